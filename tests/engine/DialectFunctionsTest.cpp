// The dialect's date, text, number and conversion functions against the
// results SQL Server documents for them, and the messages of their misuse.
#include "EngineFixture.h"

#include "engine/FunctionCatalog.h"

namespace enginetest {
namespace {

using namespace engine;
using Cases = std::vector<std::pair<std::string, std::string>>;

class DialectFunctionsTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        CreateDatabase("functions.sdf");
    }

    void ExpectValues(const Cases& cases)
    {
        for (const auto& [expression, expected] : cases)
            EXPECT_EQ(expected, Value("SELECT " + expression)) << expression;
    }
    void ExpectErrors(const Cases& cases)
    {
        for (const auto& [expression, expected] : cases)
            EXPECT_EQ(expected, QueryFails("SELECT " + expression)) << expression;
    }
};

TEST_F(DialectFunctionsTest, DateAddClampsMonthsAndCountsEveryPart)
{
    ExpectValues({
        { "DATEADD(month, 1, '2005-01-31')", "2005/02/28  00:00:00" },
        { "DATEADD(mm, 1, '2004-01-31')", "2004/02/29  00:00:00" },
        { "DATEADD(yy, 1, '2004-02-29')", "2005/02/28  00:00:00" },
        { "DATEADD(quarter, -1, '2005-05-31')", "2005/02/28  00:00:00" },
        { "DATEADD(dd, 1, '2005-12-31 23:00')", "2006/01/01  23:00:00" },
        { "DATEADD(day, 1.9, '2005-01-01')", "2005/01/02  00:00:00" },
        { "DATEADD(wk, 2, '2005-01-01')", "2005/01/15  00:00:00" },
        { "DATEADD(hh, -24, '2005-03-01')", "2005/02/28  00:00:00" },
        { "DATEADD(mi, 90, '2005-01-01')", "2005/01/01  01:30:00" },
        { "DATEADD(s, 61, '2005-01-01')", "2005/01/01  00:01:01" },
        { "CONVERT(nvarchar(30), DATEADD(ms, 1500, '2005-01-01'), 121)", "2005-01-01 00:00:01.500" },
    });
}

TEST_F(DialectFunctionsTest, DateDiffCountsTheBoundariesCrossed)
{
    ExpectValues({
        { "DATEDIFF(year, '2005-12-31 23:59:59', '2006-01-01')", "1" },
        { "DATEDIFF(yyyy, '2005-01-01', '2005-12-31')", "0" },
        { "DATEDIFF(quarter, '2005-03-31', '2005-04-01')", "1" },
        { "DATEDIFF(month, '2005-01-31', '2005-02-01')", "1" },
        { "DATEDIFF(day, '2005-12-31 23:59', '2006-01-01 00:01')", "1" },
        { "DATEDIFF(day, '2006-01-01', '2005-12-31')", "-1" },
        { "DATEDIFF(week, '2005-01-01', '2005-01-02')", "1" }, // Saturday to Sunday
        { "DATEDIFF(wk, '2005-01-02', '2005-01-08')", "0" },
        { "DATEDIFF(hour, '2005-01-01 10:59', '2005-01-01 11:00')", "1" },
        { "DATEDIFF(ms, '2005-01-01', '2005-01-01 00:00:01.250')", "1250" },
    });
}

TEST_F(DialectFunctionsTest, DatePartKnowsEveryNameAndAbbreviation)
{
    const std::pair<const char*, const char*> parts[] = { { "year", "2005" }, { "yy", "2005" },
        { "yyyy", "2005" }, { "quarter", "1" }, { "qq", "1" }, { "q", "1" }, { "month", "1" }, { "mm", "1" },
        { "m", "1" }, { "dayofyear", "2" }, { "dy", "2" }, { "y", "2" }, { "day", "2" }, { "dd", "2" },
        { "d", "2" }, { "week", "2" }, { "wk", "2" }, { "ww", "2" }, { "weekday", "1" }, { "dw", "1" },
        { "w", "1" }, { "hour", "3" }, { "hh", "3" }, { "minute", "4" }, { "mi", "4" }, { "n", "4" },
        { "second", "5" }, { "ss", "5" }, { "s", "5" }, { "millisecond", "6" }, { "ms", "6" } };
    for (auto [part, expected] : parts)
        EXPECT_EQ(expected, Value(std::string("SELECT DATEPART(") + part + ", '2005-01-02 03:04:05.006')"))
            << part;
    ExpectValues({
        { "DATEPART(dy, '2004-12-31')", "366" },
        { "DATEPART(q, '2005-08-01')", "3" },
        { "DATENAME(month, '2005-03-01')", "March" },
        { "DATENAME(dw, '2005-01-02')", "Sunday" },
        { "DATENAME(yy, '2005-01-02')", "2005" },
        { "DATEPART('day', '2005-01-02')", "2" },
        { "YEAR('2005-03-04') * 10000 + MONTH('2005-03-04') * 100 + DAY('2005-03-04')", "20050304" },
    });
}

TEST_F(DialectFunctionsTest, TextFunctionsMatchTheirDocumentedEdges)
{
    ExpectValues({
        { "LEN('ab  ')", "2" },
        { "LEN('  ab')", "4" },
        { "LEN('')", "0" },
        { "LEN(NULL)", "(null)" },
        { "SUBSTRING('abcdef', 2, 3)", "bcd" },
        { "SUBSTRING('abc', 3, 10)", "c" },
        { "SUBSTRING('abc', 5, 2)", "" },
        { "SUBSTRING('abc', -1, 3)", "a" },
        { "SUBSTRING('abc', -9223372036854775807, 9223372036854775807)", "" },
        { "CHARINDEX('c', 'abcabc')", "3" },
        { "CHARINDEX('C', 'abcabc', 4)", "6" },
        { "CHARINDEX('z', 'abc')", "0" },
        { "PATINDEX('%b_d%', 'abcde')", "2" },
        { "PATINDEX('%[0-9]%', 'ab3')", "3" },
        { "PATINDEX('%[^a]%', 'aab')", "3" },
        { "PATINDEX('b%', 'abc')", "0" },
        { "PATINDEX('%c', 'abc')", "3" },
        { "LEFT('abc', 2) + RIGHT('abc', 2) + LEFT('abc', 10)", "abbcabc" },
        { "REPLICATE('ab', 3)", "ababab" },
        { "REPLICATE('a', -1)", "(null)" },
        { "'[' + SPACE(2) + ']'", "[  ]" },
        { "STUFF('abcdef', 2, 3, 'XY')", "aXYef" },
        { "STUFF('abc', 5, 1, 'x')", "(null)" },
        { "STR(123.456, 8, 2)", "  123.46" },
        { "STR(123.456, 5, 2)", "123.5" },
        { "STR(2.5)", "         3" },
        { "STR(1234567, 5)", "*****" },
        { "NCHAR(65) + NCHAR(9786)", "A☺" },
        { "UNICODE('Ab')", "65" },
        { "ISNULL(NULL, 'x') + ISNULL('y', 'z')", "xy" },
        { "COALESCE(NULL, N'a') + NULLIF('b', 'c')", "ab" },
        { "DATALENGTH(N'ab ') + DATALENGTH(0x0102)", "8" },
    });
    ExpectErrors({
        { "SUBSTRING('abc', 1, -1)",
            "0x80040e14 The specified argument value for the function is not valid. [ Argument #,Name of "
            "function ] [3|SUBSTRING]" },
        { "LEFT('abc', -1)",
            "0x80040e14 The specified argument value for the function is not valid. [ Argument #,Name of "
            "function ] [2|LEFT]" },
        { "REPLICATE('ab', 9223372036854775807)", "0x80004005 The value is too large for the engine" },
    });
}

TEST_F(DialectFunctionsTest, ConvertWritesAndReadsEveryDateStyle)
{
    const std::pair<int, const char*> styles[]
        = { { 0, "Jul  4 2005  1:05PM" }, { 100, "Jul  4 2005  1:05PM" }, { 1, "07/04/05" },
              { 101, "07/04/2005" }, { 2, "05.07.04" }, { 102, "2005.07.04" }, { 3, "04/07/05" },
              { 103, "04/07/2005" }, { 4, "04.07.05" }, { 104, "04.07.2005" }, { 5, "04-07-05" },
              { 105, "04-07-2005" }, { 10, "07-04-05" }, { 110, "07-04-2005" }, { 11, "05/07/04" },
              { 111, "2005/07/04" }, { 12, "050704" }, { 112, "20050704" }, { 20, "2005-07-04 13:05:09" },
              { 120, "2005-07-04 13:05:09" }, { 21, "2005-07-04 13:05:09.250" },
              { 121, "2005-07-04 13:05:09.250" }, { 126, "2005-07-04T13:05:09.250" } };
    for (auto [style, text] : styles) {
        std::string s = std::to_string(style);
        EXPECT_EQ(text,
            Value("SELECT CONVERT(nvarchar(30), CONVERT(datetime, '2005-07-04 13:05:09.250'), " + s + ")"))
            << style;
        // Read back in the same style, the text gives the same day.
        EXPECT_EQ("20050704",
            Value("SELECT CONVERT(nvarchar(8), CONVERT(datetime, '" + std::string(text) + "', " + s
                + "), 112)"))
            << style;
    }
    ExpectValues({
        { "CONVERT(datetime, 'Jul 4 2005 1:05PM')", "2005/07/04  13:05:00" },
        { "CONVERT(datetime, '4 July 2005')", "2005/07/04  00:00:00" },
        { "CONVERT(datetime, '01/02/49', 1)", "2049/01/02  00:00:00" },
        { "CONVERT(datetime, '01/02/50', 1)", "1950/01/02  00:00:00" },
        { "CONVERT(datetime, 2)", "1900/01/03  00:00:00" },
        { "CAST('2005-01-01' AS datetime) + 1", "2005/01/02  00:00:00" },
    });
}

TEST_F(DialectFunctionsTest, ConvertAndCastReachEveryType)
{
    ExpectValues({
        { "CONVERT(int, ' 12 ')", "12" },
        { "CONVERT(int, -12.7)", "-12" },
        { "CAST(1.9 AS int)", "1" },
        { "CONVERT(int, CONVERT(datetime, '1900-01-03 13:00'))", "3" },
        { "CONVERT(float, '1.5e1')", "15" },
        { "CONVERT(numeric(10,2), 3.14159)", "3.14" },
        { "CONVERT(bit, 5)", "1" },
        { "CONVERT(nvarchar(3), 'abcdef')", "abc" },
        { "CONVERT(nchar(4), 'ab') + '|'", "ab  |" },
        { "CONVERT(nvarchar, 12) + CAST(0.5 AS nvarchar(10))", "120.5" },
        { "CONVERT(varbinary(4), 258)", "00000102" },
        { "CONVERT(binary(2), 'a')", "6100" },
        { "CONVERT(uniqueidentifier, '12345678-9abc-def0-1234-56789abcdef0')",
            "12345678-9ABC-DEF0-1234-56789ABCDEF0" },
    });
    ExpectErrors({
        { "CONVERT(int, 'abc')", "0x80040e07 Data conversion failed. [ Value,Data type ] [abc|int]" },
        { "CONVERT(int, '1.5')", "0x80040e07 Data conversion failed. [ Value,Data type ] [1.5|int]" },
        { "CONVERT(tinyint, 300)",
            "0x80040e07 An overflow occurred while converting to the data type. [ Data type ] [tinyint]" },
        { "CONVERT(datetime, 'soon')",
            "0x80040e07 There was an error in a part of the date format. [ Expression ] [soon]" },
        { "CONVERT(nvarchar, GETDATE(), 7)",
            "0x80040e14 The specified argument value for the function is not valid. [ Argument #,Name of "
            "function ] [3|CONVERT]" },
        { "CONVERT(blob, 1)",
            "0x80040e14 The specified data type is not valid. [ Data type (if known) ] [blob]" },
        { "CONVERT(int)",
            "0x80040e14 The number of arguments given to the function is not valid. [ Name of function ] "
            "[CONVERT]" },
    });
}

TEST_F(DialectFunctionsTest, NumberFunctionsKeepWholeNumbersWhole)
{
    ExpectValues({
        { "CEILING(1.2) + FLOOR(-1.2)", "0" },
        { "CEILING(3) / 2", "1" },
        { "POWER(2, 10)", "1024" },
        { "POWER(2, -1)", "0" },
        { "POWER(2.0, -1)", "0.5" },
        { "SQRT(16) + SQUARE(3)", "13" },
        { "SIGN(-3) + SIGN(0.5)", "0" },
        { "ROUND(748.58, -1)", "750" },
        { "ROUND(-745, -1)", "-750" },
        { "ROUND(1.2345, 2)", "1.23" },
        { "ROUND(1.2389, 2, 1)", "1.23" },
        { "ROUND(2.5, 0)", "3" },
        { "LOG(EXP(2)) + LOG10(1000) + LOG(8, 2)", "8" },
        { "ROUND(DEGREES(PI()) + DEGREES(ATN2(1, 1) + ASIN(1) + ACOS(1) + ATAN(0)), 6)", "315" },
        { "ROUND(SIN(0) + COS(0) + TAN(0) + COT(RADIANS(45)), 6)", "2" },
    });
    ExpectErrors({
        { "SQRT(-1)",
            "0x80040e14 An invalid floating point operation occurred. [ Name of function ] [SQRT]" },
        { "LOG(0)", "0x80040e14 An invalid floating point operation occurred. [ Name of function ] [LOG]" },
        { "ASIN(2)", "0x80040e14 An invalid floating point operation occurred. [ Name of function ] [ASIN]" },
    });
}

TEST_F(DialectFunctionsTest, MisusedOrUnknownFunctionsAreNamed)
{
    Exec("CREATE TABLE T (d datetime)");
    Exec("INSERT INTO T VALUES ('2005-01-01')");
    ExpectErrors({
        { "FOO(day, 1)",
            "0x80040e14 The function is not recognized by the engine. [ Name of function ] [FOO]" },
        { "d FROM T WHERE BAR(d) = 1",
            "0x80040e14 The function is not recognized by the engine. [ Name of function ] [BAR]" },
        { "DATEADD(fortnight, 1, d) FROM T",
            "0x80040e14 The specified argument value for the function is not valid. [ Argument #,Name of "
            "function ] [1|DATEADD]" },
        { "DATEADD(day, 1, 'not a date')",
            "0x80040e07 There was an error in a part of the date format. [ Expression ] [not a date]" },
        { "DATEADD(year, 8000, d) FROM T",
            "0x80040e07 An overflow occurred while converting to the data type. [ Data type ] [datetime]" },
        { "DATEADD(ms, 9223372036854775807, d) FROM T",
            "0x80040e07 An overflow occurred while converting to the data type. [ Data type ] [datetime]" },
    });
    // SQLite's own functions stay at hand.
    EXPECT_EQ("3", Value("SELECT length('abc')"));
    // Every function the dialect lists is one the engine knows.
    for (const auto& f : detail::DialectFunctions()) {
        std::string name = S(f.name);
        std::unique_ptr<Rowset> rowset;
        std::int64_t affected = 0;
        if (Failed(m_session->Execute(U("SELECT " + name + "()"), rowset, affected))) {
            EXPECT_EQ(std::string::npos, LastError().find("not recognized")) << name;
        }
    }
}

} // namespace
} // namespace enginetest
