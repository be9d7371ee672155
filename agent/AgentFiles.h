// The agent's reach into the device's object store beyond the plain file
// calls: the host path of a database file for the engine, and the atomic
// replacement of one file by another.
//
// StoreFiles works on the store of the device the agent runs on (the
// device folder the device host names in the environment). One object
// belongs to one thread.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace store {
class Store;
}

namespace agent {

class AgentFiles {
public:
    virtual ~AgentFiles() = default;

    // The host path of device file `devicePath`, for the engine. The file
    // need not exist, but its folder must; a folder, a link or a path that
    // cannot be resolved gives false. A result never lies outside the store.
    virtual bool HostPath(std::u16string_view devicePath, std::filesystem::path& hostPath) = 0;

    // Puts file `replacement` in the place of file `target` in one step: the
    // target path holds either the old or the new content at every moment.
    // ERROR_SUCCESS, or the reason it could not (ERROR_ACCESS_DENIED for a
    // read-only or ROM target, ERROR_SHARING_VIOLATION when an open of
    // either file does not share deleting, ERROR_FILE_NOT_FOUND, ...); on
    // failure both files stay as they were.
    virtual DWORD ReplaceFile(std::u16string_view replacement, std::u16string_view target) = 0;
};

class StoreFiles : public AgentFiles {
public:
    // Opens the store of the device folder named by QUORVANE_DEVICE_DIR.
    // Null with a reason in *error when there is none.
    static std::unique_ptr<StoreFiles> Open(std::string* error);
    ~StoreFiles() override;

    bool HostPath(std::u16string_view devicePath, std::filesystem::path& hostPath) override;
    DWORD ReplaceFile(std::u16string_view replacement, std::u16string_view target) override;

private:
    explicit StoreFiles(std::unique_ptr<store::Store> store);
    std::unique_ptr<store::Store> m_store;
};

} // namespace agent
