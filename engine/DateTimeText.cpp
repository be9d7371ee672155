#include "engine/DateTimeText.h"

#include "engine/DateMath.h"

#include <cstdio>

namespace engine::detail {

namespace {

template <typename Char> class Scanner {
public:
    explicit Scanner(std::basic_string_view<Char> text)
        : m_text(text)
    {
    }

    bool AtEnd() const { return m_pos >= m_text.size(); }
    Char Peek() const { return AtEnd() ? Char(0) : m_text[m_pos]; }
    std::size_t Pos() const { return m_pos; }
    void Skip() { ++m_pos; }
    void SkipSpaces()
    {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t'))
            ++m_pos;
    }
    // Reads 1..maxDigits digits; returns the digit count (0 when none).
    int Digits(int maxDigits, long long& value)
    {
        int n = 0;
        value = 0;
        while (!AtEnd() && n < maxDigits && Peek() >= '0' && Peek() <= '9') {
            value = value * 10 + (Peek() - '0');
            ++m_pos;
            ++n;
        }
        return n;
    }
    bool Accept(char c)
    {
        if (Peek() == Char(c)) {
            ++m_pos;
            return true;
        }
        return false;
    }
    bool AcceptWordNoCase(const char* word)
    {
        std::size_t p = m_pos;
        for (const char* w = word; *w; ++w, ++p) {
            if (p >= m_text.size())
                return false;
            Char c = m_text[p];
            if (c >= 'a' && c <= 'z')
                c = static_cast<Char>(c - 32);
            if (c != Char(*w))
                return false;
        }
        m_pos = p;
        return true;
    }

private:
    std::basic_string_view<Char> m_text;
    std::size_t m_pos = 0;
};

bool IsDateSeparator(int c)
{
    return c == '-' || c == '/' || c == '.';
}

template <typename Char> bool ParseDate(Scanner<Char>& s, DateTime& out)
{
    long long a = 0;
    int na = s.Digits(8, a);
    if (na == 8) { // YYYYMMDD
        out.year = static_cast<int>(a / 10000);
        out.month = static_cast<int>(a / 100 % 100);
        out.day = static_cast<int>(a % 100);
        return true;
    }
    if (na == 0 || na == 3 || na > 4 || !IsDateSeparator(s.Peek()))
        return false;
    Char sep = s.Peek();
    s.Skip();
    long long b = 0;
    long long c = 0;
    if (s.Digits(2, b) == 0 || s.Peek() != sep)
        return false;
    s.Skip();
    int nc = s.Digits(4, c);
    if (na == 4 && (nc == 1 || nc == 2)) {
        out.year = static_cast<int>(a);
        out.month = static_cast<int>(b);
        out.day = static_cast<int>(c);
        return true;
    }
    if (na <= 2 && nc == 4) {
        out.month = static_cast<int>(a);
        out.day = static_cast<int>(b);
        out.year = static_cast<int>(c);
        return true;
    }
    return false;
}

template <typename Char> bool ParseTime(Scanner<Char>& s, DateTime& out)
{
    long long h = 0;
    long long m = 0;
    long long sec = 0;
    if (s.Digits(2, h) == 0 || !s.Accept(':') || s.Digits(2, m) == 0)
        return false;
    if (s.Accept(':')) {
        if (s.Digits(2, sec) == 0)
            return false;
        if (s.Accept('.')) {
            long long f = 0;
            int n = s.Digits(9, f);
            if (n == 0)
                return false;
            for (int k = n; k < 9; ++k)
                f *= 10;
            long long extra = 0;
            s.Digits(100, extra); // digits beyond nanoseconds are dropped
            out.fraction = static_cast<std::uint32_t>(f);
        }
    }
    s.SkipSpaces();
    bool pm = false;
    bool twelveHour = false;
    if (s.AcceptWordNoCase("PM")) {
        pm = twelveHour = true;
    } else if (s.AcceptWordNoCase("AM")) {
        twelveHour = true;
    }
    if (twelveHour) {
        if (h < 1 || h > 12)
            return false;
        h = (h % 12) + (pm ? 12 : 0);
    }
    if (h > 23 || m > 59 || sec > 59)
        return false;
    out.hour = static_cast<int>(h);
    out.minute = static_cast<int>(m);
    out.second = static_cast<int>(sec);
    return true;
}

template <typename Char> bool Parse(std::basic_string_view<Char> text, DateTime& out)
{
    DateTime v;
    Scanner<Char> s(text);
    s.SkipSpaces();
    std::size_t start = s.Pos();
    bool haveDate = ParseDate(s, v);
    if (!haveDate) {
        // A time alone.
        Scanner<Char> t(text.substr(start));
        v = DateTime {};
        if (!ParseTime(t, v))
            return false;
        t.SkipSpaces();
        if (!t.AtEnd())
            return false;
        out = v;
        return true;
    }
    if (v.year < 1753 || v.year > 9999 || v.month < 1 || v.month > 12 || v.day < 1
        || v.day > DaysInMonth(v.year, v.month))
        return false;
    bool separated = false;
    if (s.Peek() == 'T') {
        s.Skip();
        separated = true;
    } else if (s.Peek() == ' ' || s.Peek() == '\t') {
        s.SkipSpaces();
        separated = !s.AtEnd();
    }
    if (separated && !ParseTime(s, v))
        return false;
    s.SkipSpaces();
    if (!s.AtEnd())
        return false;
    out = v;
    return true;
}

} // namespace

bool ParseDateTime(std::u16string_view text, DateTime& out)
{
    return Parse(text, out);
}
bool ParseDateTime(std::string_view text, DateTime& out)
{
    return Parse(text, out);
}

std::string FormatDateTime(const DateTime& v)
{
    char buf[40];
    if (v.fraction != 0) {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03u", v.year, v.month, v.day, v.hour,
            v.minute, v.second, v.fraction / 1000000u);
    } else {
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", v.year, v.month, v.day, v.hour,
            v.minute, v.second);
    }
    return buf;
}

std::int64_t SecondKey(const DateTime& v)
{
    return (((((static_cast<std::int64_t>(v.year) * 13 + v.month) * 32 + v.day) * 24 + v.hour) * 60
                + v.minute)
               * 60)
        + v.second;
}

DbTimestamp ToTimestamp(const DateTime& v)
{
    DbTimestamp t {};
    t.year = static_cast<std::int16_t>(v.year);
    t.month = static_cast<std::uint16_t>(v.month);
    t.day = static_cast<std::uint16_t>(v.day);
    t.hour = static_cast<std::uint16_t>(v.hour);
    t.minute = static_cast<std::uint16_t>(v.minute);
    t.second = static_cast<std::uint16_t>(v.second);
    t.fraction = v.fraction;
    return t;
}

} // namespace engine::detail
