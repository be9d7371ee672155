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

Order OrderOf(int style)
{
    switch (style) {
    case 3:
    case 103:
    case 4:
    case 104:
    case 5:
    case 105:
        return Order::DayMonthYear;
    case 2:
    case 102:
    case 11:
    case 111:
    case 12:
    case 112:
    case 20:
    case 120:
    case 21:
    case 121:
    case 126:
        return Order::YearMonthDay;
    default:
        return Order::MonthDayYear;
    }
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
    const int yy = v.year % 100;
    const unsigned ms = v.fraction / 1000000u;
    switch (style) {
    case 0:
    case 100: {
        std::string month = ToUtf8(MonthName(v.month).substr(0, 3));
        int hour12 = v.hour % 12 == 0 ? 12 : v.hour % 12;
        std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", month.c_str(), v.day, v.year, hour12,
            v.minute, v.hour < 12 ? "AM" : "PM");
        break;
    }
    case 1:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", v.month, v.day, yy);
        break;
    case 101:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", v.month, v.day, v.year);
        break;
    case 2:
        std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", yy, v.month, v.day);
        break;
    case 102:
        std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", v.year, v.month, v.day);
        break;
    case 3:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", v.day, v.month, yy);
        break;
    case 103:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", v.day, v.month, v.year);
        break;
    case 4:
        std::snprintf(buf, sizeof buf, "%02d.%02d.%02d", v.day, v.month, yy);
        break;
    case 104:
        std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", v.day, v.month, v.year);
        break;
    case 5:
        std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", v.day, v.month, yy);
        break;
    case 105:
        std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", v.day, v.month, v.year);
        break;
    case 10:
        std::snprintf(buf, sizeof buf, "%02d-%02d-%02d", v.month, v.day, yy);
        break;
    case 110:
        std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", v.month, v.day, v.year);
        break;
    case 11:
        std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", yy, v.month, v.day);
        break;
    case 111:
        std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", v.year, v.month, v.day);
        break;
    case 12:
        std::snprintf(buf, sizeof buf, "%02d%02d%02d", yy, v.month, v.day);
        break;
    case 112:
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", v.year, v.month, v.day);
        break;
    case 20:
    case 120:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", v.year, v.month, v.day, v.hour,
            v.minute, v.second);
        break;
    case 21:
    case 121:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03u", v.year, v.month, v.day, v.hour,
            v.minute, v.second, ms);
        break;
    case 126:
        if (ms)
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03u", v.year, v.month, v.day,
                v.hour, v.minute, v.second, ms);
        else
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", v.year, v.month, v.day, v.hour,
                v.minute, v.second);
        break;
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
