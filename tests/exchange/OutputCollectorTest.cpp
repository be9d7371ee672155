#include "exchange/OutputCollector.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace exchange {
namespace {

using test::Bytes16;

// Records the size of every write, and can refuse them.
class RecordingSink : public OutputSink {
public:
    bool Write(const char* bytes, std::size_t size) override
    {
        sizes.push_back(size);
        if (refuse)
            return false;
        data.append(bytes, size);
        return true;
    }
    std::vector<std::size_t> sizes;
    std::string data;
    bool refuse = false;
};

TEST(OutputCollector, CollectsUntilFlushAndWritesUtf16LeOnly)
{
    RecordingSink sink;
    OutputCollector out(sink);
    out.WriteText(u"<Success>\r\n");
    out.WriteText(u"Cols: 1\r\n");
    EXPECT_TRUE(sink.sizes.empty());
    EXPECT_EQ(out.pendingBytes(), 40u);
    EXPECT_TRUE(out.FlushOutput());
    EXPECT_EQ(sink.data, Bytes16(u"<Success>\r\nCols: 1\r\n"));
    EXPECT_EQ(sink.sizes, std::vector<std::size_t> { 40 });
    EXPECT_TRUE(out.FlushOutput()); // nothing pending: no empty write
    EXPECT_EQ(sink.sizes.size(), 1u);
}

TEST(OutputCollector, WritesOutWhenTheNextPieceWouldNotFit)
{
    RecordingSink sink;
    OutputCollector out(sink);
    const std::u16string piece(12500, u'a'); // 25,000 bytes
    out.WriteText(piece);
    out.WriteText(piece); // exactly 50,000 bytes: still fits
    EXPECT_TRUE(sink.sizes.empty());
    out.WriteText(u"b"); // does not fit: the full buffer goes first
    EXPECT_EQ(sink.sizes, std::vector<std::size_t> { 50000 });
    EXPECT_EQ(out.pendingBytes(), 2u);
    out.FlushOutput();
    EXPECT_EQ(sink.data, Bytes16(piece + piece + u"b"));
}

TEST(OutputCollector, WritesAPieceLargerThanTheBufferStraightThrough)
{
    RecordingSink sink;
    OutputCollector out(sink);
    out.WriteText(u"head");
    const std::u16string big(30000, u'z'); // 60,000 bytes
    out.WriteText(big);
    EXPECT_EQ(sink.sizes, (std::vector<std::size_t> { 8, 60000 }));
    out.WriteText(u"tail");
    out.FlushOutput();
    EXPECT_EQ(sink.data, Bytes16(u"head" + big + u"tail"));
}

TEST(OutputCollector, LongTextKeepsItsPlaceBetweenCollectedPieces)
{
    RecordingSink sink;
    OutputCollector out(sink);
    out.WriteText(u"1\t");
    out.WriteLongText(u"long\u001D\u001Etext\t");
    out.WriteText(u"3\t\r\n");
    out.FlushOutput();
    EXPECT_EQ(sink.data, Bytes16(u"1\tlong\u001D\u001Etext\t3\t\r\n"));
    EXPECT_EQ(sink.sizes, (std::vector<std::size_t> { 4, 22, 8 }));
}

TEST(OutputCollector, FlushesWhatIsLeftWhenDestroyed)
{
    RecordingSink sink;
    {
        OutputCollector out(sink);
        out.WriteText(u"<end>\r\n");
    }
    EXPECT_EQ(sink.data, Bytes16(u"<end>\r\n"));
}

TEST(OutputCollector, ReportsAFailedWriteAndKeepsGoing)
{
    RecordingSink sink;
    OutputCollector out(sink);
    sink.refuse = true;
    out.WriteText(u"lost");
    EXPECT_FALSE(out.FlushOutput());
    EXPECT_FALSE(out.ok());
    sink.refuse = false;
    out.WriteText(u"kept");
    EXPECT_FALSE(out.FlushOutput()); // the earlier loss is not forgotten
    EXPECT_EQ(sink.data, Bytes16(u"kept"));
}

TEST(MemorySink, KeepsBytesAndCountsWrites)
{
    MemorySink sink;
    {
        OutputCollector out(sink);
        out.WriteText(u"\u0007");
        out.WriteLongText(u"x");
    }
    EXPECT_EQ(sink.bytes(), std::string("\x07\0x\0", 4));
    EXPECT_EQ(sink.writeCount(), 2u);
}

} // namespace
} // namespace exchange
