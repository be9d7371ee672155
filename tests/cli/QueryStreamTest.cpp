// Reading a results file from the device in blocks gives exactly the lines a
// whole read gives: lines longer than a block, a CR LF cut by a block's
// end, a lone CR inside a line, and an empty line that ends them all.
#include "desktop/link/AnswerStream.h"
#include "exchange/ResultsReader.h"
#include "exchange/Text.h"
#include "tests/cli/CliFixture.h"

using testsupport::WriteHostFile;

namespace {

class DeviceLines : public testing_device::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        CeRapiSetSocketPath(socket());
        ASSERT_EQ(CeRapiInit(), S_OK);
    }
    void TearDown() override
    {
        CeRapiUninit();
        DeviceTest::TearDown();
    }

    // The lines of `text` written as a device file, read in blocks.
    std::vector<std::u16string> Streamed(const std::u16string& text)
    {
        WriteHostFile(files() / "Temp" / "lines.txt", exchange::ToUtf16LeBytes(text));
        devlink::DeviceLineReader reader;
        EXPECT_TRUE(reader.Open(QStringLiteral("\\Temp\\lines.txt")));
        std::vector<std::u16string> lines;
        while (const std::optional<std::u16string_view> line = reader.Next())
            lines.emplace_back(*line);
        EXPECT_FALSE(reader.failed());
        return lines;
    }

    static std::vector<std::u16string> Whole(const std::u16string& text)
    {
        std::vector<std::u16string> lines;
        for (std::u16string_view line : exchange::SplitDeviceLines(text))
            lines.emplace_back(line);
        return lines;
    }
};

TEST_F(DeviceLines, BlocksGiveTheLinesOfAWholeRead)
{
    // A block is 60000 bytes: 30000 characters.
    std::u16string text = u"<Success>\r\nCols: 1\r\n";
    text += std::u16string(29999 - text.size(), u'a')
        + u"\r\n"; // its CR ends one block, its LF starts the next
    text += std::u16string(70000, u'b') + u"\r\n"; // longer than a block
    text += u"cr\rinside\r\nlast";
    const std::vector<std::u16string> whole = Whole(text);
    ASSERT_EQ(whole.size(), 6u);
    EXPECT_EQ(Streamed(text), whole);

    // An empty line ends the lines; what follows it is no line.
    const std::u16string ended = u"one\r\ntwo\r\n\r\nthree\r\n";
    EXPECT_EQ(Streamed(ended), Whole(ended));
    EXPECT_EQ(Streamed(ended).size(), 2u);
    EXPECT_TRUE(Streamed(u"\r\nnothing\r\n").empty());
    EXPECT_TRUE(Streamed(u"").empty());
}

} // namespace
