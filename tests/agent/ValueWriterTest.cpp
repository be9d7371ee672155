#include "AgentTestSupport.h"

#include "agent/DeviceModes.h"
#include "agent/ValueWriter.h"
#include "exchange/ValueText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace agent;
using agenttest::S;

namespace {

std::string Real(double x, char16_t point = u'.')
{
    std::u16string out;
    AppendReal(out, x, point);
    return S(out);
}

std::span<const std::uint8_t> BytesOf(const void* p, std::size_t n)
{
    return { static_cast<const std::uint8_t*>(p), n };
}

} // namespace

TEST(ValueWriter, RealTextDropsTrailingZerosAndUsesTheDecimalPoint)
{
    EXPECT_EQ(Real(2.5), "2.5\t");
    EXPECT_EQ(Real(2.5, u','), "2,5\t");
    EXPECT_EQ(Real(3.0), "3\t");
    EXPECT_EQ(Real(-0.125), "-0.125\t");
    EXPECT_EQ(Real(1e-7), "0\t");
    EXPECT_EQ(Real(0.0000006), "0.000001\t"); // six decimals, rounded
    EXPECT_EQ(Real(1e20), "100000000000000000000\t");
    EXPECT_EQ(Real(std::numeric_limits<double>::infinity()), "inf\t");
}

TEST(ValueWriter, AgreesWithTheExchangeTextsOnRandomValues)
{
    const unsigned seed = 20240611;
    std::mt19937_64 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (int i = 0; i < 20000; ++i) {
        std::int64_t whole = static_cast<std::int64_t>(random());
        double real;
        std::uint64_t bits = random();
        std::memcpy(&real, &bits, sizeof real);
        if (i % 2)
            real = std::ldexp(
                static_cast<double>(static_cast<std::int32_t>(bits)), -static_cast<int>(bits % 40));

        std::u16string mine;
        AppendInteger(mine, whole);
        ASSERT_EQ(mine, exchange::FormatValue(exchange::kDbI8, BytesOf(&whole, 8), 0, u""));
        std::int32_t whole32 = static_cast<std::int32_t>(whole);
        mine.clear();
        AppendInteger(mine, whole32);
        ASSERT_EQ(mine, exchange::FormatValue(exchange::kDbI4, BytesOf(&whole32, 4), 0, u""));

        if (!std::isnan(real)) {
            mine.clear();
            AppendReal(mine, real, u',');
            ASSERT_EQ(mine, exchange::FormatValue(exchange::kDbR8, BytesOf(&real, 8), 0, u",")) << real;
            float single = static_cast<float>(real);
            mine.clear();
            AppendReal(mine, single, u'.');
            ASSERT_EQ(mine, exchange::FormatValue(exchange::kDbR4, BytesOf(&single, 4), 0, u"")) << single;
        }

        engine::DbTimestamp stamp {};
        stamp.year = static_cast<std::int16_t>(bits % 12000 - 1000);
        stamp.month = static_cast<std::uint16_t>(bits >> 16 & 15);
        stamp.day = static_cast<std::uint16_t>(bits >> 20 & 31);
        stamp.hour = static_cast<std::uint16_t>(bits >> 25 & 31);
        stamp.minute = static_cast<std::uint16_t>(bits >> 30 & 63);
        stamp.second = static_cast<std::uint16_t>(bits >> 36 & 63);
        mine.clear();
        AppendTimestamp(mine, stamp);
        ASSERT_EQ(mine, exchange::FormatValue(exchange::kDbTimestamp, BytesOf(&stamp, 16), 0, u""));
    }
}

TEST(ValueWriter, TimestampHasTwoSpacesAndNoFraction)
{
    engine::DbTimestamp stamp { 2005, 12, 25, 10, 0, 7, 500000000 };
    std::u16string out;
    AppendTimestamp(out, stamp);
    EXPECT_EQ(S(out), "2005/12/25  10:00:07\t");
}

TEST(ValueWriter, UnicodeTextEncodesTabsThenLineBreaks)
{
    std::u16string out;
    AppendUnicodeText(out, u"a\tb\r\nc\rd\ne");
    EXPECT_EQ(out, u"a\u0007b\u001D\u001Ec\rd\ne\t");
}

TEST(ValueWriter, LongTextEncoderJoinsALineBreakSplitAcrossChunks)
{
    LongTextEncoder encoder;
    std::u16string out, all;
    encoder.Encode(u"one\r", out);
    all += out;
    encoder.Encode(u"\ntwo\tthree\r", out);
    all += out;
    encoder.Encode(u"x", out);
    all += out;
    encoder.Encode(u"end\r", out);
    all += out;
    encoder.Finish(out);
    all += out;
    EXPECT_EQ(all, u"one\u001D\u001Etwo\u0008three\rxend\r");
}

TEST(DeviceId, SelectedFromPositions40And45And70)
{
    std::vector<std::uint8_t> bytes(48);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 17);
    // Hex text: byte i is at positions 2i and 2i+1.
    std::string hex;
    for (auto b : bytes) {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", b);
        hex += two;
    }
    EXPECT_EQ(S(SelectDeviceId(bytes)), hex.substr(40, 2) + hex.substr(45, 9) + hex.substr(70, 6));
    EXPECT_EQ(S(SelectDeviceId(bytes)).size(), 17u);
    // A short identifier yields what lies inside it.
    std::vector<std::uint8_t> shortId(bytes.begin(), bytes.begin() + 25); // 50 hex digits
    EXPECT_EQ(S(SelectDeviceId(shortId)), hex.substr(40, 2) + hex.substr(45, 5));
    EXPECT_EQ(SelectDeviceId({}), u"");
    EXPECT_EQ(S(SelectDeviceId(std::vector<std::uint8_t>(21, 0xAB))), "AB");
}
