// The client's transport behaviour against no device and against a fake
// device that answers wrongly.
#include "platform/rapi/ErrorText.h"
#include "platform/rapi/Protocol.h"
#include "platform/rapi/Rapi.h"
#include "tests/support/TempDir.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace proto = rapi::proto;

namespace {

// A socket path in a fresh folder of its own.
class TempSocket {
public:
    std::filesystem::path path() const { return m_dir.path() / "s"; }

private:
    testsupport::TempDir m_dir { "qvrc" };
};

// A one-connection fake device: answers Hello, then runs `script` on the
// connection's descriptor.
class FakeDevice {
public:
    template <typename Script> FakeDevice(const std::filesystem::path& path, Script script)
    {
        m_listen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, path.c_str());
        bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(m_listen, 1);
        m_thread = std::thread([this, script] {
            int fd = accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                return;
            proto::FrameHeader h;
            std::vector<std::uint8_t> payload;
            proto::HelloMsg hello;
            auto answer = proto::Encode(hello);
            if (proto::ReadFrame(fd, &h, &payload) == proto::IoResult::Ok)
                proto::SendAll(fd, answer.data(), answer.size());
            script(fd);
            close(fd);
        });
    }
    ~FakeDevice()
    {
        shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        close(m_listen);
    }

private:
    int m_listen = -1;
    std::thread m_thread;
};

TEST(RapiClient, NoDeviceReportsNotConnected)
{
    TempSocket s;
    RapiConnection c;
    c.SetSocketPath(s.path());
    RAPIINIT init { sizeof(RAPIINIT), -1, 0 };
    ASSERT_EQ(c.CeRapiInitEx(&init), S_OK);
    ASSERT_GE(init.heRapiInit, 0);
    EXPECT_EQ(CeRapiWaitForInit(init.heRapiInit, 1500), WAIT_OBJECT_0);
    EXPECT_EQ(init.hrRapiInit, RAPI_E_NOT_CONNECTED);
    EXPECT_EQ(DWORD(init.hrRapiInit), 0x80072736u);
    EXPECT_EQ(c.CeRapiGetError(), RAPI_E_NOT_CONNECTED);
    EXPECT_EQ(c.CeGetFileAttributes(u"\\"), INVALID_FILE_ATTRIBUTES);
    HKEY key = 0;
    EXPECT_EQ(c.CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"x", 0, 0, &key), LONG(ERROR_NOT_CONNECTED));
    DWORD count = 5;
    CE_FIND_DATA* data = reinterpret_cast<CE_FIND_DATA*>(1);
    EXPECT_FALSE(c.CeFindAllFiles(u"\\*", FAF_NAME, &count, &data));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(c.CeRapiUninit(), S_OK);
    EXPECT_EQ(c.CeRapiGetError(), S_OK);
    EXPECT_EQ(c.CeRapiInit(), RAPI_E_NOT_CONNECTED);
}

TEST(RapiClient, AReplyOfTheWrongKindBreaksTheConnection)
{
    TempSocket s;
    FakeDevice device(s.path(), [](int fd) {
        proto::FrameHeader h;
        std::vector<std::uint8_t> payload;
        proto::ReadFrame(fd, &h, &payload);
        proto::GetLastErrorReply wrong; // not what was asked
        auto frame = proto::Encode(wrong);
        proto::SendAll(fd, frame.data(), frame.size());
        proto::ReadFrame(fd, &h, &payload);
    });
    RapiConnection c;
    c.SetSocketPath(s.path());
    ASSERT_EQ(c.CeRapiInit(), S_OK);
    EXPECT_EQ(c.CeGetFileAttributes(u"\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(c.CeRapiGetError(), RAPI_E_CONNECTION_LOST);
    EXPECT_EQ(DWORD(c.CeRapiGetError()), 0x80072775u);
    // Broken stays broken, without touching the socket.
    EXPECT_FALSE(c.CeDeleteFile(u"\\x"));
    EXPECT_EQ(c.CeRapiGetError(), RAPI_E_CONNECTION_LOST);
}

TEST(RapiClient, ADataReplyLongerThanAskedBreaksTheConnection)
{
    TempSocket s;
    FakeDevice device(s.path(), [](int fd) {
        proto::FrameHeader h;
        std::vector<std::uint8_t> payload;
        proto::ReadFrame(fd, &h, &payload);
        proto::ReadFileReply reply;
        reply.status = { 1, 0 };
        reply.data.assign(100, 'x'); // 10 were asked for
        auto frame = proto::Encode(reply);
        proto::SendAll(fd, frame.data(), frame.size());
    });
    RapiConnection c;
    c.SetSocketPath(s.path());
    ASSERT_EQ(c.CeRapiInit(), S_OK);
    char buffer[10];
    DWORD read = 99;
    EXPECT_FALSE(c.CeReadFile(HANDLE(0x101), buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(c.CeRapiGetError(), RAPI_E_CONNECTION_LOST);
}

TEST(RapiClient, ADeviceThatClosesMidReplyIsALostConnection)
{
    TempSocket s;
    FakeDevice device(s.path(), [](int fd) {
        proto::FrameHeader h;
        std::vector<std::uint8_t> payload;
        proto::ReadFrame(fd, &h, &payload);
        proto::FindAllFilesReply part;
        part.status = { 1, 0 };
        part.records.resize(3);
        auto frame = proto::Encode(part, proto::kFlagMore); // promises more, then goes away
        proto::SendAll(fd, frame.data(), frame.size());
    });
    RapiConnection c;
    c.SetSocketPath(s.path());
    ASSERT_EQ(c.CeRapiInit(), S_OK);
    DWORD count = 0;
    CE_FIND_DATA* data = nullptr;
    EXPECT_FALSE(c.CeFindAllFiles(u"\\*", FAF_NAME, &count, &data));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(c.CeRapiGetError(), RAPI_E_CONNECTION_LOST);
}

TEST(RapiClient, SystemTextsForTheCodesCallersShow)
{
    EXPECT_EQ(SystemErrorText(0), u"The operation completed successfully.");
    EXPECT_EQ(SystemErrorText(2), u"The system cannot find the file specified.");
    EXPECT_EQ(SystemErrorText(32),
        u"The process cannot access the file because it is being used by another process.");
    EXPECT_EQ(SystemErrorText(123), u"The filename, directory name, or volume label syntax is incorrect.");
    EXPECT_EQ(SystemErrorText(0x80072775u), u"The remote party has initiated a graceful shutdown sequence.");
    EXPECT_EQ(SystemErrorText(77777), u"");
}

} // namespace
