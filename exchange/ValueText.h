// The value texts of the agent's results file: one function per kind of
// value, each returning the text the agent writes for it INCLUDING the
// trailing TAB that ends the field.
//
// Pure functions, safe from any thread. Multi-byte values are read as
// little-endian, as the device stores them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

// Column type codes (OLE DB numbers) that the results file distinguishes.
enum DbType : std::uint16_t {
    kDbI2 = 2,
    kDbI4 = 3,
    kDbR4 = 4,
    kDbR8 = 5,
    kDbCurrency = 6,
    kDbDate = 7,
    kDbBool = 11,
    kDbLongValue = 13, // a long column read as a stream (ntext, image, large sizes)
    kDbUI1 = 17,
    kDbI8 = 20,
    kDbGuid = 72,
    kDbBytes = 128,
    kDbStr = 129,
    kDbWStr = 130,
    kDbNumeric = 131,
    kDbTimestamp = 135,
};

// The types-line word of a plain query's column: "int", "real", "datetime"
// or "nvarchar".
std::u16string_view TypesLineWord(std::uint16_t typeCode);

// The decimal-point character: the "DecimalPointChar" setting when it is
// exactly one character long, else '.'.
char16_t DecimalPoint(std::u16string_view decimalPointSetting);

// Real-number text: x printed as "%f"; trailing '0's removed, then one
// trailing '.'; '.' replaced by DecimalPoint(setting); then TAB. A text
// without '.' (infinities, NaN) is x printed without decimals, then TAB.
// Examples with setting ",": 2.5 -> "2,5\t", 3.0 -> "3\t".
std::u16string FormatReal(double x, std::u16string_view decimalPointSetting);

// Integer "%d" text with TAB: types 2 (16-bit), 3 (32-bit), 17 (unsigned
// 8-bit) and 20 (64-bit).
std::u16string FormatInteger(long long value);

// "true\t" when firstByte is not 0, else "false\t" (type 11).
std::u16string FormatBool(std::uint8_t firstByte);

// Currency (type 6): the scaled 64-bit integer divided by 10,000, as real text.
std::u16string FormatCurrency(std::int64_t scaled, std::u16string_view decimalPointSetting);

// GUID (type 72): "{" + the 16 bytes in storage order as upper-case hex
// pairs, "-" after the 4th, 6th, 8th and 10th byte + "}" + TAB.
std::u16string FormatGuid(std::span<const std::uint8_t, 16> bytes);

// The engine's exact numeric (type 131).
struct DbNumeric {
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    std::uint8_t sign = 1; // 1 positive, 0 negative
    std::array<std::uint8_t, 16> value {}; // unscaled magnitude, little-endian
};
inline constexpr std::size_t kDbNumericBytes = 19;

// Numeric text: the unscaled value divided by 10^scale, negated when the sign
// byte is 0, as real text (computed in double precision).
std::u16string FormatNumeric(const DbNumeric& value, std::u16string_view decimalPointSetting);

// The engine's date-time (type 135).
struct DbTimestamp {
    std::int16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint32_t fraction = 0; // billionths, dropped from the text
};
inline constexpr std::size_t kDbTimestampBytes = 16;

// "%d/%02d/%02d  %02d:%02d:%02d" + TAB (two spaces; fractions dropped).
std::u16string FormatTimestamp(const DbTimestamp& value);

// Type 7: an automation date (days since 1899-12-30, the fraction being the
// time of day) as the same date-time text, rounded to the second. Values
// outside years 100 to 9999 and NaN give the real-number text with '.'.
std::u16string FormatOleDate(double days);

// 8-bit text (type 129), already widened: each CR LF -> U+001D U+001E, + TAB.
std::u16string FormatStrValue(std::u16string_view text);

// Unicode text (type 130): each TAB -> U+0007, each CR LF -> U+001D U+001E, + TAB.
std::u16string FormatWstrValue(std::u16string_view text);

// U+0006 + "%lu bytes" with `byteCount` + TAB: the placeholder of a binary
// value (type 128, and long values that are not text).
std::u16string FormatBinaryPlaceholder(std::uint64_t byteCount);

// Any other type: the first four bytes as a signed 32-bit decimal + TAB
// (missing bytes count as 0).
std::u16string FormatFirstFourBytes(std::span<const std::uint8_t> bytes);

// "(null)\t": a null value, or one the engine could not deliver.
std::u16string FormatNull();

// "<BLOB>\t": a long value whose stream could not be obtained.
std::u16string FormatBlobUnavailable();

// A long value read as a stream. The agent reads 4,096-byte chunks while a
// chunk comes back with more than 4,093 bytes. Chunks are retained while the
// retained total plus the chunk stays below 20,000 bytes; once one does not
// fit, nothing later is retained either (so the retained bytes are always the
// value's beginning). Every byte is counted.
class LongValueBuffer {
public:
    static constexpr std::size_t kChunkBytes = 4096;
    static constexpr std::size_t kCapacityBytes = 20000;

    // Adds one chunk as it came from the stream. Returns true when the agent
    // should read another chunk.
    bool AddChunk(std::span<const std::uint8_t> chunk);

    std::span<const std::uint8_t> retained() const { return m_retained; }
    std::uint64_t total() const { return m_total; }
    void Clear();

private:
    std::vector<std::uint8_t> m_retained;
    std::uint64_t m_total = 0;
    bool m_full = false;
};

// True when `retained` is text: an even, non-zero number of bytes, every
// byte at an odd offset 0, and every character TAB, LF, CR or U+0020..U+00FF.
bool IsLongValueText(std::span<const std::uint8_t> retained);

// The text of a long value (type 13): when IsLongValueText(retained), its
// characters with CR LF -> U+001D U+001E and TAB -> U+0008, + TAB (the agent
// writes it with OutputCollector::WriteLongText); else when total is not 0
// FormatBinaryPlaceholder(total); else "(null)\t".
std::u16string FormatLongValue(std::span<const std::uint8_t> retained, std::uint64_t total);
std::u16string FormatLongValue(const LongValueBuffer& buffer);

// The value text of one bound (not long) column, as the agent's FormatValue:
// "(null)\t" when status has either of its two lowest bits set; otherwise by
// type code from `value`, the value's bytes as bound (for types 129 and 130
// the text's bytes, ending at the first NUL if any; for type 128 only its
// length counts). Values shorter than their type (a broken binding) read the
// missing bytes as 0. Type 13 gives FormatLongValue(value, value.size()).
std::u16string FormatValue(std::uint16_t typeCode, std::span<const std::uint8_t> value, std::uint32_t status,
    std::u16string_view decimalPointSetting);

} // namespace exchange
