#include "engine/StatementText.h"

namespace engine::detail {

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
