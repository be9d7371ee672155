// UTF-16 text helpers shared by every Quorvane component.
//
// Both sides of the device link speak UTF-16 (std::u16string here). These
// helpers convert to and from UTF-8 and to and from the little-endian bytes
// of the exchanged files, format the system's fixed printf-style texts into
// UTF-16, and compare ASCII case-insensitively the way the system's switches
// and request texts are matched.
//
// All functions are pure and safe from any thread.
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace exchange {

// ---- Conversions ----------------------------------------------------------

// UTF-16 -> UTF-8. A lone surrogate (not part of a valid pair) becomes
// U+FFFD, so the result is always valid UTF-8.
std::string ToUtf8(std::u16string_view text);

// UTF-8 -> UTF-16. Malformed sequences (bad lead or continuation bytes,
// overlong forms, surrogates, values above U+10FFFF, a truncated tail) each
// become one U+FFFD.
std::u16string FromUtf8(std::string_view text);

// The same conversions for names that must round-trip exactly (host file
// names): empty instead of any replacement, when `text` holds a lone
// surrogate or malformed UTF-8.
std::optional<std::string> ToUtf8Strict(std::u16string_view text);
std::optional<std::u16string> FromUtf8Strict(std::string_view text);

// Each byte becomes one UTF-16 unit of the same value (ISO 8859-1 widening,
// no code-page conversion). Used for ASCII literals and 8-bit device text.
std::u16string WidenLatin1(std::string_view bytes);

// The UTF-16 units of `text` as little-endian bytes, without byte-order mark
// or terminator: what every exchanged file holds.
std::string ToUtf16LeBytes(std::u16string_view text);

// Little-endian bytes -> UTF-16 units; a trailing odd byte is dropped.
std::u16string FromUtf16LeBytes(std::span<const std::uint8_t> bytes);
std::u16string FromUtf16LeBytes(std::string_view bytes);

// ---- Comparison and search ------------------------------------------------

// 'a'..'z' -> 'A'..'Z'; every other unit unchanged.
char16_t ToUpperAscii(char16_t c);
std::u16string ToUpperAscii(std::u16string_view text);

// True when a and b have the same length and agree after ToUpperAscii.
bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);

// True when `needle` occurs in `text` (an empty needle always occurs).
bool Contains(std::u16string_view text, std::u16string_view needle);

// Every occurrence of `from` (not empty) replaced by `to`, scanning left to
// right without rescanning replaced text. An empty `from` returns `text`.
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from, std::u16string_view to);

// ---- printf-style formatting ----------------------------------------------

// One argument of Format: a UTF-16 string, an 8-bit string (widened byte by
// byte, meant for ASCII), a character (char16_t only: a plain char counts as
// an integer), a signed or unsigned integer, or a double. Implicitly built
// from the argument; holds views, so it must not outlive the call.
class FormatArg {
public:
    enum class Kind { Text, Narrow, Char, Signed, Unsigned, Real };

    FormatArg(std::u16string_view v)
        : m_kind(Kind::Text)
        , m_text(v)
    {
    }
    FormatArg(const std::u16string& v)
        : m_kind(Kind::Text)
        , m_text(v)
    {
    }
    FormatArg(const char16_t* v)
        : m_kind(Kind::Text)
        , m_text(v ? v : u"")
    {
    }
    FormatArg(std::string_view v)
        : m_kind(Kind::Narrow)
        , m_narrow(v)
    {
    }
    FormatArg(const std::string& v)
        : m_kind(Kind::Narrow)
        , m_narrow(v)
    {
    }
    FormatArg(const char* v)
        : m_kind(Kind::Narrow)
        , m_narrow(v ? v : "")
    {
    }
    FormatArg(char16_t v)
        : m_kind(Kind::Char)
        , m_unsigned(v)
    {
    }
    FormatArg(double v)
        : m_kind(Kind::Real)
        , m_real(v)
    {
    }
    template <std::integral T>
    requires(!std::same_as<T, char16_t> && !std::same_as<T, bool>) FormatArg(T v)
    {
        if constexpr (std::is_signed_v<T>) {
            m_kind = Kind::Signed;
            m_signed = v;
        } else {
            m_kind = Kind::Unsigned;
            m_unsigned = v;
        }
    }

    Kind kind() const { return m_kind; }
    std::u16string_view text() const { return m_text; }
    std::string_view narrow() const { return m_narrow; }
    long long asSigned() const;
    unsigned long long asUnsigned() const;
    double asReal() const;

private:
    Kind m_kind = Kind::Signed;
    std::u16string_view m_text;
    std::string_view m_narrow;
    long long m_signed = 0;
    unsigned long long m_unsigned = 0;
    double m_real = 0;
};

// Formats like C's printf into UTF-16, for the system's fixed formats.
// Conversions: %d %i %u %x %X %c %s %f %%, with the flags '-' (left align),
// '0' (zero pad) and '+', a decimal width and a precision (digits for %f,
// at most that many characters for %s, minimum digits for integers).
// Length modifiers (h, l, ll, z) are accepted and ignored: the argument's own
// type decides. %f is locale-independent ('.' as decimal point). An argument
// of another kind is converted (an integer for %s prints its digits, a
// string for %d prints 0); a missing argument prints nothing; an unknown
// conversion is copied literally. Never reads beyond `args`.
std::u16string FormatText(std::u16string_view format, std::initializer_list<FormatArg> args);

template <typename... Args> std::u16string Format(std::u16string_view format, const Args&... args)
{
    return FormatText(format, { FormatArg(args)... });
}

} // namespace exchange
