#include "exchange/CabHeader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace exchange {
namespace {

std::vector<std::uint8_t> ReadHostFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// A cabinet header whose 16-bit field at byte 36 is `offsetField`, `size`
// bytes long and zero elsewhere.
std::vector<std::uint8_t> CabBytes(std::size_t size, std::uint16_t offsetField)
{
    std::vector<std::uint8_t> bytes(size, 0);
    bytes[0] = 'M';
    bytes[1] = 'S';
    bytes[2] = 'C';
    bytes[3] = 'F';
    bytes[36] = static_cast<std::uint8_t>(offsetField & 0xFF);
    bytes[37] = static_cast<std::uint8_t>(offsetField >> 8);
    return bytes;
}

void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::string_view text)
{
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
}

CabHeaderResult Read(const std::vector<std::uint8_t>& bytes, CabApplication& out)
{
    return ReadCabApplication(std::span<const std::uint8_t>(bytes.data(), bytes.size()), out);
}

TEST(CabHeader, RuntimeCabsOfThisBuildNameTheirApplicationAndProvider)
{
    const struct {
        const char* cab;
        const char* name;
    } cases[] = {
        { "sqlce.wce4.armv4.cab", "Microsoft SQLCE 2.0" },
        { "sqlce30.ppc.wce5.armv4i.cab", "Microsoft SQL Mobile 2005" },
        { "sqlce30.repl.ppc.wce4.armv4.cab", "Microsoft SQL Mobile 2005 Replication" },
    };
    for (const auto& c : cases) {
        const auto bytes = ReadHostFile(std::filesystem::path(RUNTIME_CAB_DIR) / c.cab);
        ASSERT_GT(bytes.size(), 200u) << c.cab;
        CabApplication application;
        ASSERT_EQ(Read(bytes, application), CabHeaderResult::Named) << c.cab;
        EXPECT_EQ(CabApplicationName(application), c.name) << c.cab;
    }
}

TEST(CabHeader, ZeroAtTheNamePositionIsFoundByTheBackwardSearch)
{
    // Reserved-area size 0: the strings end before byte 108, which is zero.
    auto bytes = CabBytes(400, 0);
    Put(bytes, 60, "Tasks");
    Put(bytes, 66, "Contoso Ltd");
    CabApplication application;
    ASSERT_EQ(Read(bytes, application), CabHeaderResult::Named);
    EXPECT_EQ(application.first, "Tasks");
    EXPECT_EQ(application.second, "Contoso Ltd");
    EXPECT_EQ(CabApplicationName(application), "Contoso Ltd Tasks");

    // The backward search gives up after 100 bytes.
    auto far = CabBytes(400, 0);
    Put(far, 4, "Tasks");
    Put(far, 10, "Contoso");
    EXPECT_EQ(Read(far, application), CabHeaderResult::NoName);
}

TEST(CabHeader, OtherFilesAreNotCabs)
{
    CabApplication application;
    const std::vector<std::uint8_t> text = { 'M', 'S', 'C', 'G', 0, 0 };
    EXPECT_EQ(Read(text, application), CabHeaderResult::NotCab);
    EXPECT_EQ(Read({}, application), CabHeaderResult::NotCab);
    EXPECT_EQ(Read({ 'M', 'S', 'C' }, application), CabHeaderResult::NotCab);
    EXPECT_EQ(Read({ 'M', 'S', 'C', 'F' }, application), CabHeaderResult::NoName);
}

TEST(CabHeader, TruncatedOrHostileCabsGiveNoNameWithoutReadingPastTheBytes)
{
    const auto whole = ReadHostFile(std::filesystem::path(RUNTIME_CAB_DIR) / "sqlce.wce4.armv4.cab");
    // Cut anywhere before the provider's terminator: a name needs both
    // terminators inside the bytes read. (Vectors of the exact size let
    // AddressSanitizer see any read past the end.)
    for (std::size_t size = 0; size < 0x124 + 20; ++size) {
        const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        CabApplication application;
        EXPECT_NE(Read(cut, application), CabHeaderResult::Named) << size;
    }

    CabApplication application;
    // The name position points past the end, exactly at the end, and at the
    // last byte of a buffer of the desktop's read size.
    EXPECT_EQ(Read(CabBytes(300, 1000), application), CabHeaderResult::NoName);
    EXPECT_EQ(Read(CabBytes(300, 300 - 108), application), CabHeaderResult::NoName);
    auto full = CabBytes(kCabHeaderReadSize, kCabHeaderReadSize - 108);
    EXPECT_EQ(Read(full, application), CabHeaderResult::NoName);
    // A boundary pattern at the very end of the bytes.
    auto edge = CabBytes(113, 0);
    Put(edge, 108, "ab");
    Put(edge, 111, "cd");
    EXPECT_EQ(Read(edge, application), CabHeaderResult::NoName);
    // A name that would reach a registry key above "Software\Apps".
    auto slash = CabBytes(300, 0);
    Put(slash, 108, "App");
    Put(slash, 112, "..\\..\\System");
    EXPECT_EQ(Read(slash, application), CabHeaderResult::NoName);
    auto control = CabBytes(300, 0);
    Put(control, 108, "App\n");
    Put(control, 113, "Maker");
    EXPECT_EQ(Read(control, application), CabHeaderResult::NoName);
}

} // namespace
} // namespace exchange
