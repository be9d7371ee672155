// The link's copy, in this process against a running device: a copy to the
// device that ends early (cancelled, refused, or its target held open)
// leaves the old file and nothing of its own; a copy from the device that
// ends early leaves no local file.
#include "desktop/link/DeviceFileCopy.h"
#include "desktop/link/AgentInvocation.h"
#include "tests/cli/CliFixture.h"

#include <QBuffer>

#include <set>

using devlink::CopyOutcome;
using testing_cli::RandomBytes;
using testsupport::ReadHostFile;
using testsupport::TempDir;
using testsupport::WriteHostFile;

namespace {

namespace fs = std::filesystem;

class DeviceFileCopy : public testing_device::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        CeRapiSetSocketPath(socket());
        ASSERT_EQ(CeRapiInit(), S_OK);
        WriteHostFile(files() / "Temp" / "t.txt", "old");
    }
    void TearDown() override
    {
        CeRapiUninit();
        devlink::ClearCancelRequest();
        DeviceTest::TearDown();
    }

    std::set<std::string> TempNames() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(files() / "Temp"))
            names.insert(entry.path().filename().string());
        return names;
    }
};

TEST_F(DeviceFileCopy, ACancelledCopyLeavesTheOldFileAndNoTemporaryOne)
{
    QByteArray bytes = QByteArray::fromStdString(RandomBytes(300000, 5));
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    int blocks = 0;
    bool sawTemporary = false;
    const CopyOutcome outcome
        = devlink::CopyToDevice(source, QStringLiteral("\\Temp\\t.txt"), [&](quint64, qint64) {
              if (++blocks == 2) { // the first block is on the device
                  sawTemporary = TempNames().size() == 2;
                  devlink::RequestCancel();
              }
          });
    EXPECT_EQ(outcome.end, CopyOutcome::End::Cancelled);
    EXPECT_TRUE(sawTemporary);
    EXPECT_EQ(ReadHostFile(files() / "Temp" / "t.txt"), "old");
    EXPECT_EQ(TempNames(), std::set<std::string> { "t.txt" });
}

TEST_F(DeviceFileCopy, ATargetHeldOpenIsRefusedBeforeAnyByteTravels)
{
    auto other = Connect();
    const HANDLE held = other->CeCreateFile(u"\\Temp\\t.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    QByteArray bytes("new");
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    int calls = 0;
    const CopyOutcome outcome
        = devlink::CopyToDevice(source, QStringLiteral("\\Temp\\t.txt"), [&](quint64, qint64) { ++calls; });
    EXPECT_EQ(outcome.end, CopyOutcome::End::Failed);
    EXPECT_EQ(outcome.step, CopyOutcome::Step::CreateTarget);
    EXPECT_EQ(outcome.deviceError, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(calls, 0);
    other->CeCloseHandle(held);
    EXPECT_EQ(ReadHostFile(files() / "Temp" / "t.txt"), "old");
    EXPECT_EQ(TempNames(), std::set<std::string> { "t.txt" });

    // Closed again, the same copy replaces it whole.
    source.seek(0);
    EXPECT_TRUE(devlink::CopyToDevice(source, QStringLiteral("\\Temp\\t.txt")).copied());
    EXPECT_EQ(ReadHostFile(files() / "Temp" / "t.txt"), "new");
    EXPECT_EQ(TempNames(), std::set<std::string> { "t.txt" });
}

TEST_F(DeviceFileCopy, ACopyFromTheDeviceThatEndsEarlyLeavesNoLocalFile)
{
    WriteHostFile(files() / "Temp" / "big.bin", RandomBytes(250000, 6));
    TempDir local;
    const QString target = QString::fromStdString((local.path() / "big.bin").string());
    int blocks = 0;
    const CopyOutcome cancelled
        = devlink::CopyFromDeviceToFile(QStringLiteral("\\Temp\\big.bin"), target, [&](quint64, qint64) {
              if (++blocks == 2)
                  devlink::RequestCancel();
          });
    EXPECT_EQ(cancelled.end, CopyOutcome::End::Cancelled);
    devlink::ClearCancelRequest();
    const CopyOutcome missing = devlink::CopyFromDeviceToFile(QStringLiteral("\\Temp\\none.bin"), target);
    EXPECT_EQ(missing.step, CopyOutcome::Step::OpenSource);
    EXPECT_EQ(missing.deviceError, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(fs::is_empty(local.path()));

    ASSERT_TRUE(devlink::CopyFromDeviceToFile(QStringLiteral("\\Temp\\big.bin"), target).copied());
    EXPECT_TRUE(ReadHostFile(local.path() / "big.bin") == ReadHostFile(files() / "Temp" / "big.bin"));
}

} // namespace
