// Reading a results file from the device as it streams gives exactly what a
// whole read gives: the same lines (longer than a block, a CR LF cut by a
// block's end, a lone CR inside a line, an empty line that ends them all)
// and the same rows.
#include "LinkFixture.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/AnswerStream.h"
#include "desktop/link/ResultsLoader.h"
#include "exchange/ResultsReader.h"

namespace linktest {
namespace {

const QString kDatabase = QStringLiteral("\\My Documents\\a.sdf");

class AnswerStream : public LinkTest {
protected:
    void SetUp() override
    {
        LinkTest::SetUp();
        StartAndConnect();
        ASSERT_TRUE(Device().CeCreateDirectory(u"\\Quorvane", nullptr));
    }

    // The lines of `text` written as a device file, read in blocks.
    std::vector<std::u16string> Streamed(const std::u16string& text)
    {
        EXPECT_TRUE(PutDeviceFile(QStringLiteral("\\Temp\\lines.txt"), Bytes16(text)));
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

    void PlantResults(std::u16string_view text)
    {
        ASSERT_TRUE(PutDeviceFile(devlink::kResultsFilePath, Bytes16(text)));
    }
};

TEST_F(AnswerStream, BlocksGiveTheLinesOfAWholeRead)
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

TEST_F(AnswerStream, RowsAreThoseOfAWholeRead)
{
    // Rows a table window streams must be those the whole read finds: short
    // and long rows, a cell of a megabyte across many blocks, and an answer
    // cut off before "<end>".
    std::u16string text = u"<Success>\r\nCols: 3\r\nA\tB\tC\t\r\nint\tntext\tint\t\r\n\t\t\t\r\n";
    text += u"1\tshort\t\r\n";
    text += u"2\tlong\t3\t4\t5\t\r\n";
    text += u"3\t" + std::u16string(1 << 20, u'x') + u"\t9\t\r\n";
    text += u"4\t(null)\tTab\u0007and\u001D\u001Ebreak\t\r\n";
    text += u"5\t\u0006 12\t7\t";
    const auto streamed = [&](devlink::RowForm form) {
        std::vector<devlink::QueryResult> parts;
        const devlink::StreamEnd end = devlink::StreamQueryAnswer(
            kDatabase, 5, [&](devlink::QueryResult part) { parts.push_back(std::move(part)); }, 2, form);
        EXPECT_EQ(end, devlink::StreamEnd::Streamed);
        devlink::QueryResult all = parts.empty() ? devlink::QueryResult() : parts.front();
        for (std::size_t i = 1; i < parts.size(); ++i)
            all.AppendRows(std::move(parts[i]));
        return all;
    };
    PlantResults(text);
    const devlink::QueryResult fromStream = streamed(devlink::RowForm::Strings);
    EXPECT_FALSE(DeviceFileThere(devlink::kResultsFilePath));
    PlantResults(text);
    devlink::DatabaseRequest request;
    request.databasePath = kDatabase;
    devlink::ResultsLoader loader(request);
    ASSERT_TRUE(loader.LoadResults(5, false));
    const devlink::QueryResult& whole = loader.answer().result;
    ASSERT_EQ(fromStream.rows.size(), 5);
    EXPECT_EQ(fromStream.rows[2][1].size(), devlink::kMaxCellCharacters);
    EXPECT_TRUE(fromStream == whole);

    // Packed for a grid: the same cells and kinds, a short row padded.
    PlantResults(text);
    const devlink::QueryResult packed = streamed(devlink::RowForm::Packed);
    ASSERT_TRUE(packed.rows.isEmpty());
    ASSERT_EQ(packed.packed.rowCount, 5);
    ASSERT_EQ(packed.packed.bounds.size(), 5u * 4u);
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 3; ++c) {
            const quint32 begin = packed.packed.bounds[std::size_t(r * 4 + c)];
            const quint32 end = packed.packed.bounds[std::size_t(r * 4 + c + 1)];
            const QString cell = QString::fromUtf16(packed.packed.text.data() + begin, end - begin);
            EXPECT_EQ(cell, whole.rows[r].value(c)) << r << "," << c;
            const char kind = c < whole.cellKinds[r].size() ? whole.cellKinds[r][c] : char(0);
            EXPECT_EQ(packed.packed.kinds[std::size_t(r * 3 + c)], kind) << r << "," << c;
        }
    }
    EXPECT_EQ(whole.rows[3][2], QStringLiteral("Tab\tand\r\nbreak"));
    EXPECT_EQ(whole.KindOf(3, 1), devlink::CellKind::Null);
    EXPECT_EQ(whole.KindOf(4, 1), devlink::CellKind::Binary);

    // No columns line: unreadable, and the file stays for no one to misread.
    PlantResults(u"<Success>\r\n");
    EXPECT_EQ(devlink::StreamQueryAnswer(kDatabase, 1, [](devlink::QueryResult) {}),
        devlink::StreamEnd::Unreadable);
    // A failure is left whole for the loader and its questions.
    PlantResults(u"<Failed>\r\nSyntax error\r\n");
    EXPECT_EQ(devlink::StreamQueryAnswer(kDatabase, 1, [](devlink::QueryResult) {}),
        devlink::StreamEnd::NotSuccess);
    EXPECT_TRUE(DeviceFileThere(devlink::kResultsFilePath));
}

} // namespace
} // namespace linktest
