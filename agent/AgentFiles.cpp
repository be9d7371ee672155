#include "agent/AgentFiles.h"

#include "platform/store/DeviceFolder.h"
#include "platform/store/Resolver.h"
#include "platform/store/ShareLock.h"
#include "platform/store/Store.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <stdio.h>
#include <string>
#include <unistd.h>

namespace agent {

namespace {

// The host folder a descriptor is open on.
bool FolderOf(int fd, std::filesystem::path& folder)
{
    std::error_code ec;
    folder = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
    return !ec && !folder.empty();
}

store::UniqueFd OpenForGate(const store::Target& t)
{
    return store::UniqueFd(
        openat(t.dir.get(), t.entry.hostName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
}

} // namespace

std::unique_ptr<StoreFiles> StoreFiles::Open(std::string* error)
{
    const char* dir = std::getenv(device::kEnvDeviceDir);
    if (!dir || !*dir) {
        if (error)
            *error = std::string(device::kEnvDeviceDir) + " is not set";
        return nullptr;
    }
    device::DeviceFolder folder { dir };
    auto store = store::Store::Open(folder.Files(), error);
    if (!store)
        return nullptr;
    return std::unique_ptr<StoreFiles>(new StoreFiles(std::move(store)));
}

StoreFiles::StoreFiles(std::unique_ptr<store::Store> store)
    : m_store(std::move(store))
{
}

StoreFiles::~StoreFiles() = default;

bool StoreFiles::HostPath(std::u16string_view devicePath, std::filesystem::path& hostPath)
{
    store::Target target;
    if (store::Locate(m_store->rootFd(), devicePath, store::PathKind::Name, &target) != ERROR_SUCCESS
        || target.IsRoot())
        return false;
    if (target.entry.kind != store::EntryKind::File && target.entry.kind != store::EntryKind::Missing)
        return false;
    std::filesystem::path folder;
    if (!FolderOf(target.dir.get(), folder))
        return false;
    hostPath = folder / target.entry.hostName;
    return true;
}

DWORD StoreFiles::ReplaceFile(std::u16string_view replacement, std::u16string_view target)
{
    store::Target from, to;
    DWORD error = store::Locate(m_store->rootFd(), replacement, store::PathKind::Name, &from);
    if (error != ERROR_SUCCESS)
        return error;
    error = store::Locate(m_store->rootFd(), target, store::PathKind::Name, &to);
    if (error != ERROR_SUCCESS)
        return error;
    if (from.IsRoot() || to.IsRoot())
        return ERROR_ACCESS_DENIED;
    if (from.entry.kind != store::EntryKind::File)
        return from.entry.kind == store::EntryKind::Missing ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    if (to.entry.kind == store::EntryKind::Missing) {
        return m_store->MoveFile(replacement, target);
    }
    if (to.entry.kind != store::EntryKind::File)
        return ERROR_ACCESS_DENIED;
    DWORD attributes = 0;
    if (m_store->GetAttributes(target, &attributes) != ERROR_SUCCESS)
        return ERROR_ACCESS_DENIED;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_INROM))
        return ERROR_ACCESS_DENIED;
    if (m_store->GetAttributes(replacement, &attributes) == ERROR_SUCCESS
        && (attributes & FILE_ATTRIBUTE_INROM))
        return ERROR_ACCESS_DENIED;

    store::UniqueFd fromFd = OpenForGate(from);
    store::UniqueFd toFd = OpenForGate(to);
    if (!fromFd.valid() || !toFd.valid())
        return ERROR_ACCESS_DENIED;
    // Both gates stay shut until the rename is done, so no new open can slip
    // in between the check and the replacement.
    store::DeleteGate fromGate(fromFd.get());
    store::DeleteGate toGate(toFd.get());
    if ((error = fromGate.Check()) != ERROR_SUCCESS || (error = toGate.Check()) != ERROR_SUCCESS)
        return error;
    if (renameat(from.dir.get(), from.entry.hostName.c_str(), to.dir.get(), to.entry.hostName.c_str()) != 0)
        return errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

} // namespace agent
