#include "agent/RequestText.h"

#include "exchange/AgentContract.h"
#include "exchange/Text.h"

#include <vector>

namespace agent {

namespace {

bool IsTrimmed(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

bool IsWordChar(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_'
        || c == u'@' || c == u'#' || c == u'$' || c > 0x7F;
}

struct Word {
    std::size_t begin;
    std::size_t end;
};

// The words of `text` outside literals, quoted and bracketed names, comments
// and parentheses, in order.
std::vector<Word> TopLevelWords(std::u16string_view text)
{
    std::vector<Word> words;
    int depth = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto skipTo = [&](char16_t close) {
        // Past the closing character; a doubled closing character is an
        // escaped one inside the literal or name.
        ++i;
        while (i < n) {
            if (text[i] == close) {
                if (i + 1 < n && text[i + 1] == close) {
                    i += 2;
                    continue;
                }
                ++i;
                return;
            }
            ++i;
        }
    };
    while (i < n) {
        char16_t c = text[i];
        if (c == u'\'' || c == u'"') {
            skipTo(c);
        } else if (c == u'[') {
            skipTo(u']');
        } else if (c == u'-' && i + 1 < n && text[i + 1] == u'-') {
            while (i < n && text[i] != u'\n')
                ++i;
        } else if (c == u'/' && i + 1 < n && text[i + 1] == u'*') {
            std::size_t close = text.find(u"*/", i + 2);
            i = close == std::u16string_view::npos ? n : close + 2;
        } else if (c == u'(') {
            ++depth;
            ++i;
        } else if (c == u')') {
            if (depth > 0)
                --depth;
            ++i;
        } else if (IsWordChar(c)) {
            std::size_t begin = i;
            while (i < n && IsWordChar(text[i]))
                ++i;
            if (depth == 0)
                words.push_back({ begin, i });
        } else {
            ++i;
        }
    }
    return words;
}

bool WordIs(std::u16string_view text, const Word& word, std::u16string_view keyword)
{
    return exchange::EqualsIgnoreAsciiCase(text.substr(word.begin, word.end - word.begin), keyword);
}

// Where a clause starting at `word` is cut: at the white space just before
// it, so that the text before keeps no trailing separator of its own.
std::size_t CutBefore(std::u16string_view text, const Word& word)
{
    return word.begin > 0 && IsSpace(text[word.begin - 1]) ? word.begin - 1 : word.begin;
}

} // namespace

bool IsSelectStatement(std::u16string_view text)
{
    std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos)
        return false;
    text.remove_prefix(first);
    constexpr std::u16string_view kSelect = u"SELECT ";
    return text.size() >= kSelect.size() && exchange::ToUpperAscii(text.substr(0, kSelect.size())) == kSelect;
}

std::optional<TableView> ParseTableView(std::u16string_view requestText)
{
    std::size_t begin = 0;
    std::size_t end = requestText.size();
    while (begin < end && IsTrimmed(requestText[begin]))
        ++begin;
    while (end > begin && IsTrimmed(requestText[end - 1]))
        --end;
    std::u16string_view text = requestText.substr(begin, end - begin);
    constexpr std::u16string_view kPrefix = u"SELECT * FROM ";
    if (!text.starts_with(kPrefix))
        return std::nullopt;
    std::u16string_view rest = text.substr(kPrefix.size());
    if (rest.find(u' ') != std::u16string_view::npos)
        return std::nullopt;
    TableView view;
    view.source = std::u16string(rest);
    if (rest.size() >= 2 && rest.front() == u'[' && rest.back() == u']')
        rest = rest.substr(1, rest.size() - 2);
    view.tableName = std::u16string(rest);
    return view;
}

bool IsRenameRequest(std::u16string_view text)
{
    return text.find(contract::kRenameMarker) != std::u16string_view::npos;
}

bool RenameNames(std::u16string_view text, std::u16string& from, std::u16string& to)
{
    std::size_t quotes[4];
    std::size_t pos = 0;
    for (auto& q : quotes) {
        q = text.find(u'\'', pos);
        if (q == std::u16string_view::npos)
            return false;
        pos = q + 1;
    }
    from = std::u16string(text.substr(quotes[0] + 1, quotes[1] - quotes[0] - 1));
    to = std::u16string(text.substr(quotes[2] + 1, quotes[3] - quotes[2] - 1));
    return true;
}

bool IsGuardedChange(std::u16string_view text)
{
    return text.ends_with(contract::kGuardSuffix);
}

std::u16string_view WithoutGuard(std::u16string_view text)
{
    return text.substr(
        0, text.size() >= contract::kGuardSuffix.size() ? text.size() - contract::kGuardSuffix.size() : 0);
}

std::optional<std::u16string> GuardedCountQuery(std::u16string_view statement)
{
    std::vector<Word> words = TopLevelWords(statement);
    if (words.empty())
        return std::nullopt;
    const Word& first = words[0];
    std::u16string query(statement.substr(0, first.begin));
    query += kCountQueryHead;
    if (WordIs(statement, first, u"UPDATE")) {
        const Word* set = nullptr;
        const Word* where = nullptr;
        for (std::size_t i = 1; i < words.size(); ++i) {
            if (!set && WordIs(statement, words[i], u"SET")) {
                set = &words[i];
            } else if (set && WordIs(statement, words[i], u"WHERE")) {
                where = &words[i];
                break;
            }
        }
        if (!set) {
            // Not an UPDATE the engine would run; the count query fails with
            // it and so refuses the change.
            query += statement.substr(first.end);
            return query;
        }
        query += statement.substr(first.end, CutBefore(statement, *set) - first.end);
        if (where)
            query += statement.substr(CutBefore(statement, *where));
        return query;
    }
    if (WordIs(statement, first, u"DELETE")) {
        std::size_t restBegin = first.end;
        if (words.size() > 1 && WordIs(statement, words[1], u"FROM"))
            restBegin = words[1].end;
        query += statement.substr(restBegin);
        return query;
    }
    return std::nullopt;
}

} // namespace agent
