// Splitting SQL script files into the statements the agent runs one by one.
#include "cli/SqlScript.h"
#include "cli/ScriptCommand.h"

#include <gtest/gtest.h>

namespace cli {
namespace {

QStringList Texts(const ScriptSplit& split)
{
    QStringList texts;
    for (const ScriptStatement& s : split.statements)
        texts.append(s.text);
    return texts;
}

TEST(SqlScriptSplit, SemicolonsInsideQuotesBracketsAndCommentsDoNotEndAStatement)
{
    const ScriptSplit split
        = SplitSqlScript(QStringLiteral("INSERT INTO [a;b] VALUES (N'x;''y', \"c;d\"); -- one; comment\n"
                                        "/* a; /* nested; */ still; */ SELECT 1;\n"
                                        "SELECT 2 -- the last one has no semicolon"));
    EXPECT_TRUE(split.error.isEmpty()) << split.error.toStdString();
    EXPECT_EQ(Texts(split),
        QStringList({ QStringLiteral("INSERT INTO [a;b] VALUES (N'x;''y', \"c;d\")"),
            QStringLiteral("SELECT 1"), QStringLiteral("SELECT 2") }));
}

TEST(SqlScriptSplit, GoOnItsOwnLineEndsAStatementInAnyCaseButNotInsideText)
{
    const ScriptSplit split = SplitSqlScript(QStringLiteral("CREATE TABLE t (n int)\n  go  \n"
                                                            "INSERT INTO t VALUES (1)\nGo\n"
                                                            "INSERT INTO t VALUES ('\nGO\n')\n"
                                                            "SELECT * FROM going\n"));
    EXPECT_EQ(Texts(split),
        QStringList({ QStringLiteral("CREATE TABLE t (n int)"), QStringLiteral("INSERT INTO t VALUES (1)"),
            QStringLiteral("INSERT INTO t VALUES ('\nGO\n')\nSELECT * FROM going") }));
}

TEST(SqlScriptSplit, EachStatementKnowsItsFirstLine)
{
    const ScriptSplit split = SplitSqlScript(QStringLiteral("-- header\n\n/* a\nlong comment */\n"
                                                            "SELECT 1;\nSELECT\n 'a\nb';  SELECT 3;"));
    ASSERT_EQ(split.statements.size(), 3);
    EXPECT_EQ(split.statements[0].firstLine, 5);
    EXPECT_EQ(split.statements[1].firstLine, 6);
    EXPECT_EQ(split.statements[2].firstLine, 8);
}

TEST(SqlScriptSplit, AnythingLeftOpenIsRefusedWithTheLineWhereItBegan)
{
    ScriptSplit split = SplitSqlScript(QStringLiteral("SELECT 1;\nSELECT 'it''s;\nmore"));
    EXPECT_TRUE(split.statements.isEmpty());
    EXPECT_EQ(split.errorLine, 2);
    EXPECT_EQ(split.error, QStringLiteral("a quoted text (') is not closed"));
    split = SplitSqlScript(QStringLiteral("SELECT 1;\n\n/* /* */ SELECT 2;"));
    EXPECT_EQ(split.errorLine, 3);
    EXPECT_EQ(split.error, QStringLiteral("a comment (/*) is not closed"));
    split = SplitSqlScript(QStringLiteral("SELECT * FROM [Order Details;"));
    EXPECT_EQ(split.errorLine, 1);
    EXPECT_FALSE(split.error.isEmpty());
    EXPECT_TRUE(SplitSqlScript(QStringLiteral(" \n-- nothing\n;;\nGO\n")).statements.isEmpty());
}

TEST(SqlScriptFile, Utf8AndUtf16WithOrWithoutAMarkReadAlike)
{
    const QString text = QStringLiteral("INSERT INTO t VALUES (N'\u00E9\u20AC');\r\nSELECT 1");
    const QString expected = QStringLiteral("INSERT INTO t VALUES (N'\u00E9\u20AC');\nSELECT 1");
    auto utf16 = [&](bool bigEndian, bool mark) {
        QByteArray bytes;
        const QString all = mark ? QChar(0xFEFF) + text : text;
        for (QChar c : all) {
            const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
            bytes.append(bigEndian ? high : low);
            bytes.append(bigEndian ? low : high);
        }
        return bytes;
    };
    for (const QByteArray& bytes : { text.toUtf8(), QByteArray("\xEF\xBB\xBF") + text.toUtf8(),
             utf16(false, true), utf16(true, true), utf16(false, false), utf16(true, false) }) {
        QString error;
        EXPECT_EQ(DecodeScriptFile(bytes, &error), expected) << bytes.toHex().toStdString();
        EXPECT_TRUE(error.isEmpty());
    }
    QString error;
    EXPECT_TRUE(DecodeScriptFile(QByteArray("SELECT '\xC3\x28'"), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST(SqlScriptProgress, CountsRateAndTimeLeft)
{
    EXPECT_EQ(ScriptProgressText(0, 15000, 0), QStringLiteral("statement 1 of 15000"));
    EXPECT_EQ(ScriptProgressText(100, 400, 4000), QStringLiteral("statement 101 of 400  25.0/s  00:12 left"));
    EXPECT_EQ(
        ScriptProgressText(10, 10010, 1000), QStringLiteral("statement 11 of 10010  10.0/s  16:40 left"));
}

} // namespace
} // namespace cli
