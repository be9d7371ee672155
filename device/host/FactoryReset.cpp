#include "device/host/FactoryReset.h"

#include <filesystem>
#include <system_error>

namespace device {
namespace {

namespace fs = std::filesystem;

std::filesystem::path Marker(const DeviceFolder& folder)
{
    return folder.dir / kRestoreMarker;
}

// Everything below `dir`, made removable first (a device's read-only
// folders may lack write permission on the host).
bool EmptyFolder(const fs::path& dir, std::string* error)
{
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    ec.clear();
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        fs::remove_all(entry.path(), ec);
        if (ec) {
            *error = "cannot remove " + entry.path().string() + ": " + ec.message();
            return false;
        }
    }
    if (ec) {
        *error = "cannot list " + dir.string() + ": " + ec.message();
        return false;
    }
    return true;
}

// One transaction that removes every key and value of every root.
bool EmptyHive(reg::Hive& hive, std::string* error)
{
    std::vector<reg::Change> changes;
    for (reg::Root root : { reg::HKEY_CLASSES_ROOT, reg::HKEY_CURRENT_USER, reg::HKEY_LOCAL_MACHINE }) {
        std::u16string name;
        for (std::uint32_t i = 0; hive.EnumKey(root, u"", i, &name) == reg::ERROR_SUCCESS; ++i)
            changes.push_back({ reg::Change::DeleteKey, root, name, {}, 0, {} });
        for (std::uint32_t i = 0; hive.EnumValue(root, u"", i, &name, nullptr, nullptr) == reg::ERROR_SUCCESS;
             ++i)
            changes.push_back({ reg::Change::DeleteValue, root, u"", name, 0, {} });
    }
    reg::Result r = hive.Apply(changes);
    if (r != reg::ERROR_SUCCESS) {
        *error = "cannot empty the device registry (error " + std::to_string(r) + ")";
        return false;
    }
    return true;
}

} // namespace

bool RestoreFactoryImage(const DeviceFolder& folder, store::Store& store, reg::Hive& hive,
    const Profile& profile, const std::vector<ImageFile>& extra, std::string* error)
{
    if (!WriteFileAtomically(Marker(folder), "a factory restore is under way\n", error))
        return false;
    if (!EmptyFolder(folder.Files(), error) || !BuildFactoryStore(store, extra, error)
        || !EmptyHive(hive, error) || !BuildFactoryRegistry(hive, profile, error))
        return false;
    std::error_code ec;
    fs::remove(Marker(folder), ec);
    return true;
}

bool DiscardUnfinishedRestore(const DeviceFolder& folder, std::string* error)
{
    std::error_code ec;
    if (!fs::exists(Marker(folder), ec))
        return true;
    for (const fs::path& dir : { folder.Files(), folder.Registry() }) {
        if (fs::exists(dir, ec)) {
            if (!EmptyFolder(dir, error))
                return false;
            fs::remove(dir, ec);
            if (ec) {
                *error = "cannot remove " + dir.string() + ": " + ec.message();
                return false;
            }
        }
    }
    fs::remove(Marker(folder), ec);
    return true;
}

} // namespace device
