#include "engine/DateStyles.h"

#include "engine/Utf.h"

#include <cstdio>

namespace engine::detail {

namespace {

enum class Order { MonthDayYear, DayMonthYear, YearMonthDay };

constexpr std::u16string_view kMonths[] = { u"January", u"February", u"March", u"April", u"May", u"June",
    u"July", u"August", u"September", u"October", u"November", u"December" };
constexpr std::u16string_view kWeekdays[]
    = { u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday" };

// The styles that write a date alone: the order of its fields and what
// stands between them. Style n writes a two-digit year, style 100 + n four digits.
struct NumericStyle {
    int style;
    Order order;
    const char* separator;
};

constexpr NumericStyle kNumericStyles[] = {
    { 1, Order::MonthDayYear, "/" },
    { 2, Order::YearMonthDay, "." },
    { 3, Order::DayMonthYear, "/" },
    { 4, Order::DayMonthYear, "." },
    { 5, Order::DayMonthYear, "-" },
    { 10, Order::MonthDayYear, "-" },
    { 11, Order::YearMonthDay, "/" },
    { 12, Order::YearMonthDay, "" },
};

const NumericStyle* FindNumericStyle(int style)
{
    for (const auto& s : kNumericStyles) {
        if (s.style == style || s.style + 100 == style)
            return &s;
    }
    return nullptr;
}

// The order of day and month a style reads: month first without one.
Order OrderOf(int style)
{
    if (const NumericStyle* numeric = FindNumericStyle(style))
        return numeric->order;
    bool canonical = style == 20 || style == 120 || style == 21 || style == 121 || style == 126;
    return canonical ? Order::YearMonthDay : Order::MonthDayYear;
}

std::u16string Widen(const char* text)
{
    std::u16string out;
    for (; *text; ++text)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
    return out;
}

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool IsLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

int FullYear(long value, std::size_t digits)
{
    if (digits > 2)
        return static_cast<int>(value);
    return static_cast<int>(value < 50 ? 2000 + value : 1900 + value);
}

// A month by its English name or its first three letters.
int MonthByName(std::u16string_view word)
{
    for (int m = 0; m < 12; ++m) {
        if (EqualsNoCase(word, kMonths[m])
            || (word.size() == 3 && EqualsNoCase(word, kMonths[m].substr(0, 3))))
            return m + 1;
    }
    return 0;
}

struct Reader {
    std::u16string_view text;
    std::size_t pos = 0;

    void Spaces()
    {
        while (pos < text.size() && (text[pos] == u' ' || text[pos] == u'\t'))
            ++pos;
    }
    std::size_t Digits(long& value)
    {
        std::size_t start = pos;
        value = 0;
        while (pos < text.size() && IsDigit(text[pos]) && pos - start < 9)
            value = value * 10 + (text[pos++] - u'0');
        return pos - start;
    }
    std::u16string_view Word()
    {
        std::size_t start = pos;
        while (pos < text.size() && IsLetter(text[pos]))
            ++pos;
        return text.substr(start, pos - start);
    }
    bool Accept(char16_t c)
    {
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
};

// The date part of "Jan 1 2005 ...", "1 Jan 2005 ..." or "January 1, 2005 ...".
bool MonthNameDate(Reader& r, int& year, int& month, int& day)
{
    long first = 0;
    long second = 0;
    std::size_t yearDigits = 0;
    if (r.pos < r.text.size() && IsLetter(r.text[r.pos])) {
        month = MonthByName(r.Word());
        r.Spaces();
        if (!month || r.Digits(first) == 0)
            return false;
        r.Accept(u',');
        r.Spaces();
        yearDigits = r.Digits(second);
        day = static_cast<int>(first);
    } else {
        if (r.Digits(first) == 0)
            return false;
        r.Spaces();
        month = MonthByName(r.Word());
        r.Accept(u',');
        r.Spaces();
        yearDigits = r.Digits(second);
        day = static_cast<int>(first);
        if (!month)
            return false;
    }
    if (yearDigits != 2 && yearDigits != 4)
        return false;
    year = FullYear(second, yearDigits);
    return true;
}

// The date part of "a/b/c" (any of / - . between) or "yyyymmdd" / "yymmdd".
bool NumericDate(Reader& r, Order order, int& year, int& month, int& day)
{
    long a = 0;
    std::size_t na = r.Digits(a);
    if (na == 8 || na == 6) {
        year = na == 8 ? static_cast<int>(a / 10000) : FullYear(a / 10000, 2);
        month = static_cast<int>(a / 100 % 100);
        day = static_cast<int>(a % 100);
        return true;
    }
    if (na == 0 || na > 4 || r.pos >= r.text.size())
        return false;
    char16_t sep = r.text[r.pos];
    if (sep != u'/' && sep != u'-' && sep != u'.')
        return false;
    ++r.pos;
    long b = 0;
    long c = 0;
    std::size_t nb = r.Digits(b);
    if (nb == 0 || nb > 2 || !r.Accept(sep))
        return false;
    std::size_t nc = r.Digits(c);
    if (nc == 0 || nc == 3 || nc > 4)
        return false;
    if (na == 4 || (order == Order::YearMonthDay && nc <= 2)) {
        year = FullYear(a, na);
        month = static_cast<int>(b);
        day = static_cast<int>(c);
        return na != 3;
    }
    if (nc == 1 || na > 2)
        return false;
    year = FullYear(c, nc);
    month = static_cast<int>(order == Order::DayMonthYear ? b : a);
    day = static_cast<int>(order == Order::DayMonthYear ? a : b);
    return true;
}

} // namespace

std::u16string_view MonthName(int month)
{
    return month >= 1 && month <= 12 ? kMonths[month - 1] : std::u16string_view();
}

std::u16string_view WeekdayName(int weekday)
{
    return weekday >= 1 && weekday <= 7 ? kWeekdays[weekday - 1] : std::u16string_view();
}

bool FormatDateStyle(const DateTime& v, int style, std::u16string& out)
{
    char buf[64];
    const unsigned ms = v.fraction / 1000000u;
    if (const NumericStyle* numeric = FindNumericStyle(style)) {
        char year[8];
        std::snprintf(year, sizeof year, style > 100 ? "%04d" : "%02d", style > 100 ? v.year : v.year % 100);
        char month[4];
        char day[4];
        std::snprintf(month, sizeof month, "%02d", v.month);
        std::snprintf(day, sizeof day, "%02d", v.day);
        const char* fields[3] = { month, day, year };
        if (numeric->order == Order::DayMonthYear) {
            fields[0] = day;
            fields[1] = month;
        } else if (numeric->order == Order::YearMonthDay) {
            fields[0] = year;
            fields[1] = month;
            fields[2] = day;
        }
        std::snprintf(buf, sizeof buf, "%s%s%s%s%s", fields[0], numeric->separator, fields[1],
            numeric->separator, fields[2]);
        out = Widen(buf);
        return true;
    }
    switch (style) {
    case 0:
    case 100: {
        std::string month = ToUtf8(MonthName(v.month).substr(0, 3));
        int hour12 = v.hour % 12 == 0 ? 12 : v.hour % 12;
        std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", month.c_str(), v.day, v.year, hour12,
            v.minute, v.hour < 12 ? "AM" : "PM");
        break;
    }
    case 20:
    case 120:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", v.year, v.month, v.day, v.hour,
            v.minute, v.second);
        break;
    case 21:
    case 121:
    case 126: {
        // 126 is ISO 8601: a T between date and time, milliseconds only when there are any.
        const char* format = style != 126
            ? "%04d-%02d-%02d %02d:%02d:%02d.%03u"
            : (ms ? "%04d-%02d-%02dT%02d:%02d:%02d.%03u" : "%04d-%02d-%02dT%02d:%02d:%02d");
        std::snprintf(buf, sizeof buf, format, v.year, v.month, v.day, v.hour, v.minute, v.second, ms);
        break;
    }
    default:
        return false;
    }
    out = Widen(buf);
    return true;
}

bool ParseDateStyle(std::u16string_view text, int style, DateTime& out)
{
    Reader r { text };
    r.Spaces();
    std::size_t start = r.pos;
    int year = 0;
    int month = 0;
    int day = 0;
    bool found = MonthNameDate(r, year, month, day);
    if (!found) {
        r.pos = start;
        found = NumericDate(r, OrderOf(style), year, month, day);
    }
    if (!found || (r.pos < text.size() && text[r.pos] != u' ' && text[r.pos] != u'T' && text[r.pos] != u'\t'))
        return ParseDateTime(text, out);
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    // The date in the form ParseDateTime reads, which also checks the day and
    // reads the time that follows.
    char head[32];
    std::snprintf(head, sizeof head, "%04d-%02d-%02d", year, month, day);
    std::u16string normal = Widen(head);
    normal.append(text.substr(r.pos));
    return ParseDateTime(normal, out);
}

} // namespace engine::detail
