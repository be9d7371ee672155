// The tidier's rules and quote handling, and which files count as SQL, as
// exact texts.
#include "desktop/database/SqlTidy.h"

#include <gtest/gtest.h>

using database::LooksLikeSql;
using database::TidySql;

TEST(SqlTidy, OneLineSelectKeepsQuotedCommasAndBreaksBeforeItsKeywords)
{
    const QString tidy = TidySql(QStringLiteral("select a,b from t where x='a,b' and y=1"));
    EXPECT_EQ(tidy,
        QStringLiteral(
            "SELECT\r\n   a,\r\n   b \r\n\r\nFROM\r\n   t \r\n\r\nWHERE\r\n   x='a,b' \r\n  AND y=1"))
        << tidy.toStdString();
}

TEST(SqlTidy, KeywordsMatchOnlyAfterABreakOrSpaceAndAtTheEnd)
{
    // "SELECTED" after a space matches; "xfrom" does not; a keyword that
    // ends the text is replaced and gets its one space.
    EXPECT_EQ(TidySql(QStringLiteral("x SELECTED")), QStringLiteral("x \r\n\r\nSELECT\r\n   ED"));
    EXPECT_EQ(TidySql(QStringLiteral("xfrom")), QStringLiteral("xfrom"));
    EXPECT_EQ(TidySql(QStringLiteral("a from")), QStringLiteral("a \r\n\r\nFROM\r\n   "));
    // "OR " needs its space: "ORDER" is not an OR, but is not ORDER BY either.
    EXPECT_EQ(TidySql(QStringLiteral("a or b ORDER x")), QStringLiteral("a \r\n  OR b ORDER x"));
}

TEST(SqlTidy, QuotesHideKeywordsUntilTheyClose)
{
    EXPECT_EQ(TidySql(QStringLiteral("'a from b' from 'c,d'")),
        QStringLiteral("'a from b' \r\n\r\nFROM\r\n   'c,d'"));
    // Every rule walks the text anew, so an unclosed quote hides the rest
    // from each of them.
    EXPECT_EQ(TidySql(QStringLiteral("x='it where y")), QStringLiteral("x='it where y"));
}

TEST(SqlTidy, TidyingATidyTextAddsBreaksAgain)
{
    const QString once = TidySql(QStringLiteral("delete from t"));
    EXPECT_EQ(once, QStringLiteral("DELETE\r\n   \r\n\r\nFROM\r\n   t"));
    EXPECT_NE(TidySql(once), once);
    EXPECT_TRUE(TidySql(once).startsWith(QStringLiteral("DELETE\r\n")));
}

TEST(SqlTidy, SqlFilesAreDatabasesOrStartWithAStatementVerb)
{
    EXPECT_FALSE(LooksLikeSql(QStringLiteral("orders.sql"), QStringLiteral("-- select * from t\r\n")));
    EXPECT_TRUE(LooksLikeSql(QStringLiteral("notes.txt"), QStringLiteral("\r\n\r\n \tUpdate t set a=1")));
    EXPECT_TRUE(LooksLikeSql(QStringLiteral("ORDERS.SDF"), QString()));
    EXPECT_FALSE(LooksLikeSql(QStringLiteral("a.txt"), QStringLiteral("selection")));
    EXPECT_TRUE(LooksLikeSql(QStringLiteral("a.txt"), QStringLiteral("INSERT into t values (1)")));
    // Only the first 200 characters are looked at.
    EXPECT_FALSE(LooksLikeSql(QStringLiteral("a.txt"), QString(199, u' ') + QStringLiteral("delete from t")));
}
