// Restarts: the order of their steps, one at a time, and the return of a
// used device to its factory image.
#include "DeviceFixture.h"

#include "device/host/FactoryReset.h"
#include "device/process/Restart.h"
#include "tests/support/HostFile.h"

#include <fstream>
#include <map>
#include <mutex>

namespace {

using cetest::WaitFor;
using device::Restarter;

class RestarterTest : public ::testing::Test {
protected:
    Restarter::Steps Recording()
    {
        Restarter::Steps s;
        auto note = [this](const char* what) {
            return [this, what] {
                std::lock_guard lock(m_mutex);
                m_steps.push_back(what);
            };
        };
        s.closeClients = note("close clients");
        s.endProcesses = note("end processes");
        s.syncRegistry = note("sync");
        s.restoreFactoryImage = [this](std::string*) {
            std::lock_guard lock(m_mutex);
            m_steps.push_back("factory image");
            return true;
        };
        s.disconnected = note("disconnected");
        s.openClients = note("open clients");
        s.connected = note("connected");
        s.bootDelay = std::chrono::milliseconds(300);
        return s;
    }
    std::vector<std::string> Steps()
    {
        std::lock_guard lock(m_mutex);
        return m_steps;
    }

    std::mutex m_mutex;
    std::vector<std::string> m_steps;
};

TEST_F(RestarterTest, ASoftResetRunsItsStepsInOrderAndKeepsTheImage)
{
    Restarter r(Recording());
    EXPECT_EQ(r.Request(false), ERROR_SUCCESS);
    EXPECT_TRUE(r.Running());
    EXPECT_EQ(r.Request(true), ERROR_BUSY);
    ASSERT_TRUE(WaitFor([&] { return r.Completed() == 1; }));
    EXPECT_FALSE(r.Running());
    std::vector<std::string> expected { "close clients", "end processes", "sync", "disconnected",
        "open clients", "connected" };
    EXPECT_EQ(Steps(), expected);
}

TEST_F(RestarterTest, AHardResetRestoresTheFactoryImageBeforeTheDeviceIsBack)
{
    Restarter r(Recording());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(r.Request(true), ERROR_SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return r.Completed() == 1; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    std::vector<std::string> expected { "close clients", "end processes", "sync", "factory image",
        "disconnected", "open clients", "connected" };
    EXPECT_EQ(Steps(), expected);
    // A second restart may follow the first.
    EXPECT_EQ(r.Request(false), ERROR_SUCCESS);
    r.Shutdown();
    EXPECT_EQ(r.Completed(), 2u);
    EXPECT_EQ(r.Request(false), ERROR_NOT_SUPPORTED);
}

TEST(BootDelay, ComesFromTheEnvironmentWithinLimits)
{
    setenv(device::kEnvBootDelay, "150", 1);
    EXPECT_EQ(device::BootDelayFromEnvironment(), std::chrono::milliseconds(150));
    setenv(device::kEnvBootDelay, "-1", 1);
    EXPECT_EQ(device::BootDelayFromEnvironment(), device::kDefaultBootDelay);
    setenv(device::kEnvBootDelay, "5s", 1);
    EXPECT_EQ(device::BootDelayFromEnvironment(), device::kDefaultBootDelay);
    unsetenv(device::kEnvBootDelay);
    EXPECT_EQ(device::BootDelayFromEnvironment(), device::kDefaultBootDelay);
}

// Every host file of a store with its content, and the registry's keys and values.
std::map<std::string, std::string> ImageOf(const device::DeviceFolder& folder, reg::Hive& hive)
{
    std::map<std::string, std::string> state;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder.Files()))
        state[e.path().lexically_relative(folder.Files()).string()]
            = e.is_regular_file() ? testsupport::ReadHostFile(e.path()) : "<dir>";
    for (reg::Root root : { reg::HKEY_CLASSES_ROOT, reg::HKEY_CURRENT_USER, reg::HKEY_LOCAL_MACHINE }) {
        std::vector<reg::KeyEntry> tree;
        hive.ReadTree(root, u"", &tree);
        for (const auto& k : tree) {
            std::string key = std::to_string(root) + ":" + reg::ToUtf8(k.path);
            state[key] = "<key>";
            for (const auto& v : k.values)
                state[key + "@" + reg::ToUtf8(v.name)] = std::string(v.data.begin(), v.data.end());
        }
    }
    return state;
}

TEST(FactoryRestore, AUsedDeviceLooksNewAgain)
{
    testsupport::TempDir temp { "qvce" };
    device::DeviceFolder used { temp.path() / "used" }, fresh { temp.path() / "fresh" };
    device::Profile profile = *device::BuiltInProfile("pocketpc2003");
    std::string error;
    std::filesystem::create_directories(used.dir);
    std::filesystem::create_directories(fresh.dir);
    auto extraSource = temp.path() / "tool";
    std::ofstream(extraSource) << "a tool";
    std::vector<device::ImageFile> extra { { u"\\Windows\\tool.exe", extraSource, true } };
    ASSERT_TRUE(device::EnsureFactoryImage(used.Files(), used.Registry(), profile, extra, &error)) << error;
    ASSERT_TRUE(device::EnsureFactoryImage(fresh.Files(), fresh.Registry(), profile, extra, &error)) << error;
    auto store = store::Store::Open(used.Files(), &error);
    auto hive = reg::Hive::Open(used.Registry(), reg::Sync::Lazy, &error);
    ASSERT_TRUE(store && hive) << error;

    // Use the device: files, folders (one read-only), keys, values.
    std::unique_ptr<store::File> f;
    bool existed = false;
    ASSERT_EQ(store->CreateDirectory(u"\\My Documents\\Work"), 0u);
    ASSERT_EQ(
        store->CreateFile(u"\\My Documents\\Work\\a.sdf", GENERIC_WRITE, 0, CREATE_NEW, 0, &f, &existed), 0u);
    f.reset();
    ASSERT_EQ(store->SetAttributes(u"\\My Documents\\Work", FILE_ATTRIBUTE_READONLY), 0u);
    ASSERT_EQ(store->DeleteFile(u"\\Windows\\tool.exe"), ERROR_ACCESS_DENIED);
    ASSERT_EQ(hive->CreateKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Quorvane\\Debug"), 0);
    ASSERT_EQ(hive->DeleteKey(reg::HKEY_CLASSES_ROOT, u".txt"), 0);
    std::uint32_t one = 1;
    ASSERT_EQ(hive->SetValue(reg::HKEY_CURRENT_USER, u"", u"RootValue", reg::REG_DWORD, &one, 4), 0);
    auto freshHive = reg::Hive::Open(fresh.Registry(), reg::Sync::Lazy, &error);
    ASSERT_TRUE(freshHive) << error;
    auto expected = ImageOf(fresh, *freshHive);
    ASSERT_NE(ImageOf(used, *hive), expected);

    ASSERT_TRUE(device::RestoreFactoryImage(used, *store, *hive, profile, extra, &error)) << error;
    EXPECT_EQ(ImageOf(used, *hive), expected);
    EXPECT_FALSE(std::filesystem::exists(used.dir / device::kRestoreMarker));
    // The store object still works on the restored folder.
    EXPECT_EQ(store->CreateFile(u"\\Temp\\after.txt", GENERIC_WRITE, 0, CREATE_NEW, 0, &f, &existed), 0u);
}

TEST(FactoryRestore, AnInterruptedRestoreIsDiscardedAtTheNextStart)
{
    testsupport::TempDir temp { "qvce" };
    device::DeviceFolder folder { temp.path() };
    device::Profile profile = *device::BuiltInProfile("pocketpc");
    std::string error;
    ASSERT_TRUE(device::EnsureFactoryImage(folder.Files(), folder.Registry(), profile, {}, &error)) << error;
    EXPECT_TRUE(device::DiscardUnfinishedRestore(folder, &error));
    EXPECT_TRUE(std::filesystem::exists(folder.Files() / "Windows"));
    ASSERT_TRUE(device::WriteFileAtomically(temp.path() / device::kRestoreMarker, "x", &error));
    EXPECT_TRUE(device::DiscardUnfinishedRestore(folder, &error)) << error;
    EXPECT_FALSE(std::filesystem::exists(folder.Files()));
    EXPECT_FALSE(std::filesystem::exists(folder.Registry()));
    EXPECT_FALSE(std::filesystem::exists(temp.path() / device::kRestoreMarker));
    ASSERT_TRUE(device::EnsureFactoryImage(folder.Files(), folder.Registry(), profile, {}, &error)) << error;
    EXPECT_TRUE(std::filesystem::exists(folder.Files() / "Windows"));
}

} // namespace
