// The device a device program is attached to, and the process-wide tables of
// its handles. Internal to qv_ce.
#pragma once

#include "platform/ce/Ce.h"
#include "platform/ce/HostLink.h"
#include "platform/registry/Hive.h"
#include "platform/registry/KeyHandle.h"
#include "platform/store/Profile.h"
#include "platform/store/Store.h"

#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ce::detail {

// Environment variable names (documented in Ce.h).
inline constexpr const char* kEnvHostFd = "QUORVANE_CE_HOST_FD";
inline constexpr const char* kEnvModule = "QUORVANE_CE_MODULE";
inline constexpr const char* kEnvProcessId = "QUORVANE_CE_PROCESS_ID";

// An open registry key: where it points.
using KeyObject = reg::KeyRef;

struct FileObject {
    std::unique_ptr<store::File> file;
};
struct FindObject {
    std::vector<store::FindEntry> entries;
    std::size_t next = 0;
};
struct SnapshotObject {
    std::vector<link::LinkProcess> processes;
    std::size_t next = 0;
};
struct ProcessObject {
    DWORD id = 0;
};
using HandleObject = std::variant<FileObject, FindObject, SnapshotObject, ProcessObject>;

// Numbered objects. Lookups hand out pointers that stay valid until the
// handle is closed; closing a handle another thread still uses is the
// caller's fault, as on Windows.
class HandleTable {
public:
    HANDLE Add(HandleObject object);
    template <typename T> T* Get(HANDLE handle)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_objects.find(handle);
        return it == m_objects.end() ? nullptr : std::get_if<T>(it->second.get());
    }
    // Removes the handle when it holds a T; false otherwise.
    template <typename T> bool Remove(HANDLE handle)
    {
        std::unique_ptr<HandleObject> gone;
        std::lock_guard lock(m_mutex);
        auto it = m_objects.find(handle);
        if (it == m_objects.end() || !std::holds_alternative<T>(*it->second))
            return false;
        gone = std::move(it->second);
        m_objects.erase(it);
        return true;
    }

private:
    std::mutex m_mutex;
    std::map<HANDLE, std::unique_ptr<HandleObject>> m_objects;
    HANDLE m_next = 0x1000;
};

// Open registry keys, by HKEY. Lookup is a bounds check and an index: the
// program's hottest path (a status value per output row) goes through here.
class KeyTable {
public:
    KeyTable();
    HKEY Add(reg::KeyRef key);
    // The key behind `key`: a root gives {root, ""}. Null for unknown handles.
    const KeyObject* Get(HKEY key);
    bool Remove(HKEY key);

    static constexpr HKEY kFirstKey = 0x100;

private:
    std::mutex m_mutex;
    std::vector<std::unique_ptr<KeyObject>> m_keys; // slot i is HKEY kFirstKey + i
    std::vector<std::size_t> m_free;
    KeyObject m_roots[3];
};

struct Device {
    std::filesystem::path dir;
    std::unique_ptr<reg::Hive> hive;
    std::unique_ptr<store::Store> store;
    std::optional<device::Profile> profile;
    std::u16string module; // the program's device path
    DWORD processId = 0;

    int hostFd = -1;
    std::mutex hostMutex; // one request at a time on the link
    std::atomic<bool> cleanReboot { false };

    KeyTable keys;
    HandleTable handles;

    ~Device();

    // Sends one request to the host and reads its reply payload. A Win32
    // error when there is no host (ERROR_NOT_SUPPORTED) or the link broke
    // (ERROR_BROKEN_PIPE); ERROR_SUCCESS with *reply filled otherwise.
    DWORD Ask(link::LinkOp op, const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>* reply);
};

// The attached device, attaching from the environment on first use. Null
// when that fails; the thread's last error is then ERROR_NOT_CONNECTED.
Device* Current();

// The calling thread's last error slot.
DWORD& LastErrorSlot();

inline BOOL Fail(DWORD error)
{
    LastErrorSlot() = error;
    return FALSE;
}
inline BOOL Succeed(DWORD error = ERROR_SUCCESS)
{
    LastErrorSlot() = error;
    return TRUE;
}

// A NUL-terminated argument as a view; empty for null.
std::u16string_view View(LPCWSTR text);

} // namespace ce::detail
