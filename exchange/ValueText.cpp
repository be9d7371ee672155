#include "exchange/ValueText.h"

#include "exchange/Text.h"
#include "exchange/TransportCodes.h"

#include <cmath>
#include <cstring>

namespace exchange {
namespace {

// Little-endian unsigned read of `size` bytes at `offset`; missing bytes are 0.
std::uint64_t ReadLe(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        std::uint64_t byte = offset + i < bytes.size() ? bytes[offset + i] : 0;
        value |= byte << (8 * i);
    }
    return value;
}

double ReadDouble(std::span<const std::uint8_t> bytes)
{
    std::uint64_t raw = ReadLe(bytes, 0, 8);
    double value;
    std::memcpy(&value, &raw, sizeof value);
    return value;
}

float ReadFloat(std::span<const std::uint8_t> bytes)
{
    auto raw = static_cast<std::uint32_t>(ReadLe(bytes, 0, 4));
    float value;
    std::memcpy(&value, &raw, sizeof value);
    return value;
}

// Days since 1970-01-01 -> proleptic Gregorian year, month, day.
void CivilFromDays(long long z, long long& year, unsigned& month, unsigned& day)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<long long>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

std::u16string WithTab(std::u16string text)
{
    text += u'\t';
    return text;
}

std::u16string TextUpToNul(std::u16string text)
{
    if (std::size_t nul = text.find(u'\0'); nul != std::u16string::npos)
        text.resize(nul);
    return text;
}

} // namespace

std::u16string_view TypesLineWord(std::uint16_t typeCode)
{
    switch (typeCode) {
    case kDbR4:
    case kDbR8:
        return u"real";
    case kDbTimestamp:
    case kDbDate:
        return u"datetime";
    case kDbStr:
    case kDbWStr:
        return u"nvarchar";
    default:
        return u"int";
    }
}

char16_t DecimalPoint(std::u16string_view decimalPointSetting)
{
    return decimalPointSetting.size() == 1 ? decimalPointSetting[0] : u'.';
}

std::u16string FormatReal(double x, std::u16string_view decimalPointSetting)
{
    std::u16string text = Format(u"%f", x);
    if (text.find(u'.') == std::u16string::npos) {
        text = Format(u"%.0f", x);
    } else {
        while (!text.empty() && text.back() == u'0')
            text.pop_back();
        if (!text.empty() && text.back() == u'.')
            text.pop_back();
    }
    const char16_t point = DecimalPoint(decimalPointSetting);
    for (char16_t& c : text)
        if (c == u'.')
            c = point;
    return WithTab(std::move(text));
}

std::u16string FormatInteger(long long value)
{
    return Format(u"%d\t", value);
}

std::u16string FormatBool(std::uint8_t firstByte)
{
    return firstByte != 0 ? u"true\t" : u"false\t";
}

std::u16string FormatCurrency(std::int64_t scaled, std::u16string_view decimalPointSetting)
{
    return FormatReal(static_cast<double>(scaled) / 10000.0, decimalPointSetting);
}

std::u16string FormatGuid(std::span<const std::uint8_t, 16> bytes)
{
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string text = u"{";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0x0F];
        if (i == 3 || i == 5 || i == 7 || i == 9)
            text += u'-';
    }
    text += u"}\t";
    return text;
}

std::u16string FormatNumeric(const DbNumeric& value, std::u16string_view decimalPointSetting)
{
    double unscaled = 0;
    for (std::size_t i = value.value.size(); i-- > 0;)
        unscaled = unscaled * 256.0 + value.value[i];
    double result = unscaled / std::pow(10.0, value.scale);
    if (value.sign == 0)
        result = -result;
    return FormatReal(result, decimalPointSetting);
}

std::u16string FormatTimestamp(const DbTimestamp& v)
{
    return Format(u"%d/%02d/%02d  %02d:%02d:%02d\t", v.year, v.month, v.day, v.hour, v.minute, v.second);
}

std::u16string FormatOleDate(double days)
{
    // From 100-01-01 to 9999-12-31, the range an automation date covers.
    if (!(days >= -657434.0 && days < 2958466.0))
        return FormatReal(days, u".");
    double whole = std::trunc(days);
    long long seconds = std::llround(std::fabs(days - whole) * 86400.0);
    auto day = static_cast<long long>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        day += 1;
    }
    long long year = 0;
    unsigned month = 0;
    unsigned dayOfMonth = 0;
    // 1899-12-30 is day -25569 counted from 1970-01-01.
    CivilFromDays(day - 25569, year, month, dayOfMonth);
    return Format(u"%d/%02d/%02d  %02d:%02d:%02d\t", year, month, dayOfMonth, seconds / 3600,
        (seconds / 60) % 60, seconds % 60);
}

std::u16string FormatStrValue(std::u16string_view text)
{
    return WithTab(EncodeLineBreaks(text));
}

std::u16string FormatWstrValue(std::u16string_view text)
{
    return WithTab(EncodeUnicodeValue(text));
}

std::u16string FormatBinaryPlaceholder(std::uint64_t byteCount)
{
    return Format(u"%c%lu bytes\t", kBinaryCode, byteCount);
}

std::u16string FormatFirstFourBytes(std::span<const std::uint8_t> bytes)
{
    return FormatInteger(static_cast<std::int32_t>(static_cast<std::uint32_t>(ReadLe(bytes, 0, 4))));
}

std::u16string FormatNull()
{
    return u"(null)\t";
}

std::u16string FormatBlobUnavailable()
{
    return u"<BLOB>\t";
}

bool LongValueBuffer::AddChunk(std::span<const std::uint8_t> chunk)
{
    m_total += chunk.size();
    if (!m_full && m_retained.size() + chunk.size() < kCapacityBytes)
        m_retained.insert(m_retained.end(), chunk.begin(), chunk.end());
    else
        m_full = true;
    return chunk.size() > kChunkBytes - 3;
}

void LongValueBuffer::Clear()
{
    m_retained.clear();
    m_total = 0;
    m_full = false;
}

bool IsLongValueText(std::span<const std::uint8_t> retained)
{
    if (retained.empty() || retained.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < retained.size(); i += 2) {
        const std::uint8_t low = retained[i];
        if (retained[i + 1] != 0)
            return false;
        if (low != '\t' && low != '\n' && low != '\r' && low < 0x20)
            return false;
    }
    return true;
}

std::u16string FormatLongValue(std::span<const std::uint8_t> retained, std::uint64_t total)
{
    if (IsLongValueText(retained))
        return WithTab(EncodeLineBreaksAndTabs(FromUtf16LeBytes(retained)));
    if (total != 0)
        return FormatBinaryPlaceholder(total);
    return FormatNull();
}

std::u16string FormatLongValue(const LongValueBuffer& buffer)
{
    return FormatLongValue(buffer.retained(), buffer.total());
}

std::u16string FormatValue(std::uint16_t typeCode, std::span<const std::uint8_t> value, std::uint32_t status,
    std::u16string_view decimalPointSetting)
{
    if (typeCode == kDbLongValue)
        return FormatLongValue(value, value.size());
    if ((status & 3) != 0)
        return FormatNull();
    switch (typeCode) {
    case kDbI2:
        return FormatInteger(static_cast<std::int16_t>(ReadLe(value, 0, 2)));
    case kDbI4:
        return FormatInteger(static_cast<std::int32_t>(ReadLe(value, 0, 4)));
    case kDbUI1:
        return FormatInteger(static_cast<std::uint8_t>(ReadLe(value, 0, 1)));
    case kDbI8:
        return FormatInteger(static_cast<std::int64_t>(ReadLe(value, 0, 8)));
    case kDbR4:
        return FormatReal(ReadFloat(value), decimalPointSetting);
    case kDbR8:
        return FormatReal(ReadDouble(value), decimalPointSetting);
    case kDbCurrency:
        return FormatCurrency(static_cast<std::int64_t>(ReadLe(value, 0, 8)), decimalPointSetting);
    case kDbBool:
        return FormatBool(static_cast<std::uint8_t>(ReadLe(value, 0, 1)));
    case kDbGuid: {
        std::array<std::uint8_t, 16> guid {};
        for (std::size_t i = 0; i < guid.size(); ++i)
            guid[i] = static_cast<std::uint8_t>(ReadLe(value, i, 1));
        return FormatGuid(guid);
    }
    case kDbStr: {
        std::string_view bytes(reinterpret_cast<const char*>(value.data()), value.size());
        return FormatStrValue(TextUpToNul(WidenLatin1(bytes)));
    }
    case kDbWStr:
        return FormatWstrValue(TextUpToNul(FromUtf16LeBytes(value)));
    case kDbNumeric: {
        DbNumeric numeric;
        numeric.precision = static_cast<std::uint8_t>(ReadLe(value, 0, 1));
        numeric.scale = static_cast<std::uint8_t>(ReadLe(value, 1, 1));
        numeric.sign = static_cast<std::uint8_t>(ReadLe(value, 2, 1));
        for (std::size_t i = 0; i < numeric.value.size(); ++i)
            numeric.value[i] = static_cast<std::uint8_t>(ReadLe(value, 3 + i, 1));
        return FormatNumeric(numeric, decimalPointSetting);
    }
    case kDbTimestamp: {
        DbTimestamp stamp;
        stamp.year = static_cast<std::int16_t>(ReadLe(value, 0, 2));
        stamp.month = static_cast<std::uint16_t>(ReadLe(value, 2, 2));
        stamp.day = static_cast<std::uint16_t>(ReadLe(value, 4, 2));
        stamp.hour = static_cast<std::uint16_t>(ReadLe(value, 6, 2));
        stamp.minute = static_cast<std::uint16_t>(ReadLe(value, 8, 2));
        stamp.second = static_cast<std::uint16_t>(ReadLe(value, 10, 2));
        stamp.fraction = static_cast<std::uint32_t>(ReadLe(value, 12, 4));
        return FormatTimestamp(stamp);
    }
    case kDbDate:
        return FormatOleDate(ReadDouble(value));
    case kDbBytes:
        return FormatBinaryPlaceholder(value.size());
    default:
        return FormatFirstFourBytes(value);
    }
}

} // namespace exchange
