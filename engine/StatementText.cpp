#include "engine/StatementText.h"

namespace engine::detail {

std::u16string TranslateForSqlite(std::u16string_view text, const std::vector<Token>& tokens)
{
    std::u16string out;
    out.reserve(text.size() + 16);
    std::size_t copied = 0;
    for (const Token& t : tokens) {
        std::u16string replacement;
        bool replace = true;
        switch (t.kind) {
        case TokenKind::NString:
            replacement = t.text.substr(1);
            break;
        case TokenKind::Binary: {
            std::u16string_view digits = t.text.substr(2);
            replacement = u"X'";
            if (digits.size() % 2)
                replacement += u'0';
            replacement += digits;
            replacement += u'\'';
            break;
        }
        case TokenKind::QuotedName:
            if (t.text.front() == u'[')
                replacement = QuoteName(t.Name());
            else
                replace = false;
            break;
        case TokenKind::Word:
            if (t.IsWord(u"CURRENT_TIMESTAMP"))
                replacement = u"getdate()";
            else if (t.IsWord(u"@@IDENTITY"))
                replacement = u"qv_last_identity()";
            else
                replace = false;
            break;
        default:
            replace = false;
            break;
        }
        if (!replace)
            continue;
        out.append(text.substr(copied, t.begin - copied));
        out += replacement;
        copied = t.end;
    }
    out.append(text.substr(copied));
    return out;
}

StatementKind Classify(const std::vector<Token>& tokens)
{
    if (tokens.empty())
        return StatementKind::Other;
    const Token& t = tokens[0];
    if (t.IsWord(u"SELECT"))
        return StatementKind::Select;
    if (t.IsWord(u"INSERT"))
        return StatementKind::Insert;
    if (t.IsWord(u"UPDATE"))
        return StatementKind::Update;
    if (t.IsWord(u"DELETE"))
        return StatementKind::Delete;
    if (t.IsWord(u"CREATE") || t.IsWord(u"DROP") || t.IsWord(u"ALTER"))
        return StatementKind::Definition;
    return StatementKind::Other;
}

std::size_t SecondStatement(const std::vector<Token>& tokens)
{
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].IsSymbol(u";"))
            continue;
        std::size_t j = i;
        while (j < tokens.size() && tokens[j].IsSymbol(u";"))
            ++j;
        if (j < tokens.size())
            return j;
        return tokens.size();
    }
    return tokens.size();
}

std::u16string TargetTable(const std::vector<Token>& tokens, StatementKind kind)
{
    std::size_t i = 1;
    if (kind == StatementKind::Insert || kind == StatementKind::Delete) {
        // INSERT [INTO] t / DELETE [FROM] t
        if (i < tokens.size() && (tokens[i].IsWord(u"INTO") || tokens[i].IsWord(u"FROM")))
            ++i;
    } else if (kind != StatementKind::Update) {
        return {};
    }
    if (i < tokens.size() && tokens[i].IsName())
        return tokens[i].Name();
    return {};
}

} // namespace engine::detail
