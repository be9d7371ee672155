#include "platform/rapi/Protocol.h"

#include <algorithm>
#include <memory>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace proto = rapi::proto;

namespace {

std::span<const std::uint8_t> PayloadOf(const std::vector<std::uint8_t>& frame)
{
    return std::span<const std::uint8_t>(frame).subspan(proto::kHeaderSize);
}

TEST(Protocol, FramesAreLittleEndianWithAnExactHeader)
{
    proto::CreateFileRequest r;
    r.path = u"\\a";
    r.access = 0x80000000u;
    r.share = 0;
    r.disposition = 3;
    r.flagsAndAttributes = 0x80;
    auto frame = proto::Encode(r);
    const std::vector<std::uint8_t> expected = {
        24,
        0,
        0,
        0, // payload length
        3,
        0, // CreateFile
        0,
        0, // flags
        2,
        0,
        0,
        0,
        '\\',
        0,
        'a',
        0, // the path: 2 units
        0,
        0,
        0,
        0x80,
        0,
        0,
        0,
        0,
        3,
        0,
        0,
        0,
        0x80,
        0,
        0,
        0,
    };
    EXPECT_EQ(frame, expected);
    proto::FrameHeader h;
    ASSERT_TRUE(proto::DecodeHeader(frame.data(), &h));
    EXPECT_EQ(h.length, 24u);
    EXPECT_EQ(h.op, proto::Op::CreateFile);
    proto::CreateFileRequest back;
    ASSERT_TRUE(proto::Decode(PayloadOf(frame), &back));
    EXPECT_EQ(back.path, u"\\a");
    EXPECT_EQ(back.access, 0x80000000u);
    EXPECT_EQ(back.disposition, 3u);
}

TEST(Protocol, HeadersOutsideTheLimitsAreRefused)
{
    auto header = [](std::uint32_t length, std::uint16_t op, std::uint16_t flags) {
        std::vector<std::uint8_t> h(8);
        for (int i = 0; i < 4; ++i)
            h[i] = std::uint8_t(length >> (8 * i));
        h[4] = std::uint8_t(op);
        h[5] = std::uint8_t(op >> 8);
        h[6] = std::uint8_t(flags);
        h[7] = std::uint8_t(flags >> 8);
        return h;
    };
    proto::FrameHeader h;
    EXPECT_TRUE(proto::DecodeHeader(header(proto::kMaxPayload, 2, 0).data(), &h));
    EXPECT_FALSE(proto::DecodeHeader(header(proto::kMaxPayload + 1, 2, 0).data(), &h));
    EXPECT_FALSE(proto::DecodeHeader(header(0, 0, 0).data(), &h));
    EXPECT_FALSE(proto::DecodeHeader(header(0, std::uint16_t(proto::Op::Last) + 1, 0).data(), &h));
    EXPECT_TRUE(proto::DecodeHeader(header(0, 2, proto::kFlagMore).data(), &h));
    EXPECT_FALSE(proto::DecodeHeader(header(0, 2, 2).data(), &h));
}

TEST(Protocol, EveryTruncationOfAPayloadFailsToDecode)
{
    proto::RegSetValueRequest r;
    r.key = 0x80000002u;
    r.name = u"Status";
    r.type = 1;
    r.data = { 'D', 0, 'o', 0, 0, 0 };
    auto frame = proto::Encode(r);
    auto payload = PayloadOf(frame);
    for (std::size_t n = 0; n < payload.size(); ++n) {
        // Each prefix in an allocation of its own size, so that a read past
        // its end leaves the allocation (the sanitizer build reports it).
        const auto prefix = std::make_unique<std::uint8_t[]>(n);
        std::copy_n(payload.begin(), n, prefix.get());
        proto::RegSetValueRequest back;
        EXPECT_FALSE(proto::Decode(std::span<const std::uint8_t>(prefix.get(), n), &back)) << n;
    }
    std::vector<std::uint8_t> longer(payload.begin(), payload.end());
    longer.push_back(0);
    proto::RegSetValueRequest back;
    EXPECT_FALSE(proto::Decode(longer, &back)) << "trailing bytes";
    ASSERT_TRUE(proto::Decode(payload, &back));
    EXPECT_EQ(back.name, u"Status");
    EXPECT_EQ(back.data, r.data);
}

TEST(Protocol, CountsAboveTheirLimitsAreRefusedBeforeAllocating)
{
    // A string claiming more units than allowed.
    std::vector<std::uint8_t> p = { 0x00, 0x80, 0x00, 0x00 }; // 32768 units
    p.resize(4 + 2 * 32768, 'x');
    proto::DeleteFileRequest del;
    EXPECT_FALSE(proto::Decode(p, &del));
    // Bytes claiming more than the limit, with the bytes present.
    std::vector<std::uint8_t> w = { 1, 0, 0, 0 };
    std::uint32_t big = proto::kMaxBytes + 1;
    for (int i = 0; i < 4; ++i)
        w.push_back(std::uint8_t(big >> (8 * i)));
    w.resize(w.size() + big);
    proto::WriteFileRequest write;
    EXPECT_FALSE(proto::Decode(w, &write));
    // A list claiming more records than one part may hold.
    proto::FindAllFilesReply reply;
    reply.records.resize(proto::kFindRecordsPerFrame + 1);
    auto frame = proto::Encode(reply);
    proto::FindAllFilesReply back;
    EXPECT_FALSE(proto::Decode(PayloadOf(frame), &back));
    reply.records.resize(proto::kFindRecordsPerFrame);
    frame = proto::Encode(reply);
    EXPECT_TRUE(proto::Decode(PayloadOf(frame), &back));
    EXPECT_EQ(back.records.size(), proto::kFindRecordsPerFrame);
}

TEST(Protocol, FindRecordsRoundTrip)
{
    proto::FindAllFilesReply reply;
    reply.status = { 1, 0 };
    proto::FindRecord r;
    r.attributes = 0x20;
    r.creation = 1;
    r.access = 2;
    r.write = 0x0123456789ABCDEFull;
    r.sizeHigh = 3;
    r.sizeLow = 4;
    r.oid = 5;
    r.name = u"Ärger.sdf";
    reply.records = { r, r };
    auto frame = proto::Encode(reply, proto::kFlagMore);
    proto::FrameHeader h;
    ASSERT_TRUE(proto::DecodeHeader(frame.data(), &h));
    EXPECT_EQ(h.flags, proto::kFlagMore);
    proto::FindAllFilesReply back;
    ASSERT_TRUE(proto::Decode(PayloadOf(frame), &back));
    ASSERT_EQ(back.records.size(), 2u);
    EXPECT_EQ(back.records[1].write, 0x0123456789ABCDEFull);
    EXPECT_EQ(back.records[1].name, u"Ärger.sdf");
    EXPECT_EQ(back.status.result, 1u);
}

TEST(Protocol, ReadFrameTellsACleanCloseFromATruncatedFrame)
{
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    proto::HelloMsg hello;
    auto frame = proto::Encode(hello);
    ASSERT_TRUE(proto::SendAll(fds[0], frame.data(), frame.size()));
    ASSERT_TRUE(proto::SendAll(fds[0], frame.data(), frame.size() - 3));
    close(fds[0]);
    proto::FrameHeader h;
    std::vector<std::uint8_t> payload;
    EXPECT_EQ(proto::ReadFrame(fds[1], &h, &payload), proto::IoResult::Ok);
    EXPECT_EQ(h.op, proto::Op::Hello);
    EXPECT_EQ(payload.size(), 8u);
    EXPECT_EQ(proto::ReadFrame(fds[1], &h, &payload), proto::IoResult::Malformed);
    close(fds[1]);

    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    close(fds[0]);
    EXPECT_EQ(proto::ReadFrame(fds[1], &h, &payload), proto::IoResult::Closed);
    close(fds[1]);
    // Writing to a closed peer fails without a signal.
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    close(fds[1]);
    EXPECT_FALSE(proto::SendAll(fds[0], frame.data(), frame.size()));
    close(fds[0]);
}

} // namespace
