#include "desktop/database/SqlTidy.h"

#include <array>

namespace database {
namespace {

struct TidyRule {
    const char16_t* keyword;
    const char16_t* replacement;
};

// Order matters: a later rule walks over the breaks an earlier one made.
constexpr std::array<TidyRule, 13> kTidyRules = { {
    { u"SELECT", u"SELECT\r\n  " },
    { u"UPDATE", u"UPDATE\r\n  " },
    { u"INSERT INTO", u"INSERT INTO\r\n  " },
    { u"UNION", u"\r\n\r\nUNION\r\n\r\n" },
    { u"VALUES", u"\r\n\r\nVALUES\r\n  " },
    { u"DELETE", u"DELETE\r\n  " },
    { u"FROM", u"\r\n\r\nFROM\r\n  " },
    { u"ORDER BY", u"\r\n\r\nORDER BY\r\n  " },
    { u"WHERE", u"\r\n\r\nWHERE\r\n  " },
    { u"SET", u"\r\n\r\nSET\r\n  " },
    { u"OR ", u"\r\n  OR" },
    { u"AND", u"\r\n  AND" },
    { u",", u",\r\n  " },
} };

bool IsBreakOrSpace(QChar c)
{
    return c == u'\r' || c == u'\n' || c == u' ';
}

QString ApplyRule(QString text, const QString& keyword, const QString& replacement)
{
    const qsizetype length = keyword.size();
    const bool isComma = keyword == QLatin1String(",");
    const bool startsParagraph = !replacement.startsWith(u'\r') && !replacement.startsWith(u',');
    bool inQuote = false;
    qsizetype i = 0;
    while (i <= text.size() - length) {
        if (text[i] == u'\'')
            inQuote = !inQuote;
        const bool applies = !inQuote && (i == 0 || isComma || IsBreakOrSpace(text[i - 1]))
            && QStringView(text).mid(i, length).compare(keyword, Qt::CaseInsensitive) == 0;
        if (!applies) {
            ++i;
            continue;
        }
        qsizetype rest = i + length;
        while (rest < text.size() && text[rest] == u' ')
            ++rest;
        QString before = text.left(i);
        if (startsParagraph && i > 0)
            before += QStringLiteral("\r\n\r\n");
        text = before + replacement + QLatin1Char(' ') + text.mid(rest);
        // Past the replacement and the one space after it.
        i += replacement.size() + 1;
    }
    return text;
}

} // namespace

QString TidySql(const QString& text)
{
    QString tidy = text;
    for (const TidyRule& rule : kTidyRules)
        tidy = ApplyRule(
            std::move(tidy), QString::fromUtf16(rule.keyword), QString::fromUtf16(rule.replacement));
    return tidy;
}

bool LooksLikeSql(const QString& fileName, const QString& content)
{
    if (fileName.toLower().endsWith(QLatin1String("sdf")))
        return true;
    const QString start = content.left(200);
    qsizetype first = 0;
    while (first < start.size()
        && (start[first] == u' ' || start[first] == u'\t' || start[first] == u'\r' || start[first] == u'\n'))
        ++first;
    const QString words = start.mid(first).toLower();
    for (const char* verb : { "select ", "insert ", "update ", "delete " })
        if (words.startsWith(QLatin1String(verb)))
            return true;
    return false;
}

} // namespace database
