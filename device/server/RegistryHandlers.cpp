// Request handlers for the device registry. Their result is the registry
// result code itself; the last error is left as it was, as on the device.
#include "device/server/Session.h"
#include "device/server/SessionUtil.h"

namespace device {

using namespace rapi::proto;

namespace {

bool IsRoot(std::uint32_t key)
{
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

std::u16string Join(const std::u16string& parent, std::u16string_view sub)
{
    if (!sub.empty() && sub.front() == u'\\')
        sub.remove_prefix(1);
    if (parent.empty())
        return std::u16string(sub);
    if (sub.empty())
        return parent;
    return parent + u"\\" + std::u16string(sub);
}

} // namespace

bool Session::KeyOf(std::uint32_t key, reg::Root* root, std::u16string* path)
{
    if (IsRoot(key)) {
        *root = key;
        path->clear();
        return true;
    }
    KeyObject* k = Find<KeyObject>(key);
    if (!k)
        return false;
    *root = k->root;
    *path = k->path;
    return true;
}

// A key handle whose key was deleted meanwhile reports so.
DWORD Session::KeyResult(reg::Result result, reg::Root root, const std::u16string& path)
{
    if (result == reg::ERROR_FILE_NOT_FOUND && !path.empty()
        && m_services.hive->OpenKey(root, path) == reg::ERROR_FILE_NOT_FOUND)
        return ERROR_KEY_DELETED;
    return DWORD(result);
}

template <typename Reply>
Reply Session::OpenKey(std::uint32_t key, const std::u16string& subKey, bool create, Reply reply)
{
    reg::Root root = 0;
    std::u16string path;
    if (!KeyOf(key, &root, &path)) {
        reply.status = Status { ERROR_INVALID_HANDLE, m_lastError };
        return reply;
    }
    std::u16string full = Join(path, subKey);
    bool created = false;
    // Checked first, so that a key is never created for a handle then refused.
    DWORD result = RoomForHandle(false);
    if (result == ERROR_SUCCESS)
        result = create ? DWORD(m_services.hive->CreateKey(root, full, &created))
                        : DWORD(m_services.hive->OpenKey(root, full));
    if (result == ERROR_SUCCESS)
        result = AddHandle(KeyObject { root, full }, &reply.key);
    reply.disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    reply.status = Status { result, m_lastError };
    return reply;
}

bool Session::HandleRegistry(Op op, std::span<const std::uint8_t> payload, const Sender& send)
{
    reg::Hive& hive = *m_services.hive;
    reg::Root root = 0;
    std::u16string path;
    auto status = [&](DWORD result) { return Status { result, m_lastError }; };

    switch (op) {
    case Op::RegOpenKeyEx:
        return Serve<RegOpenKeyRequest>(payload, send,
            [&](RegOpenKeyRequest& r) { return OpenKey(r.key, r.subKey, false, RegOpenKeyReply {}); });
    case Op::RegCreateKeyEx:
        return Serve<RegCreateKeyRequest>(payload, send,
            [&](RegCreateKeyRequest& r) { return OpenKey(r.key, r.subKey, true, RegCreateKeyReply {}); });
    case Op::RegQueryValueEx:
        return Serve<RegQueryValueRequest>(payload, send, [&](RegQueryValueRequest& r) {
            RegQueryValueReply reply;
            if (!KeyOf(r.key, &root, &path)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            DWORD result
                = KeyResult(hive.QueryValue(root, path, r.name, &reply.type, &reply.data), root, path);
            reply.size = std::uint32_t(reply.data.size());
            if (result == ERROR_SUCCESS && reply.size > r.bufferSize) {
                result = ERROR_MORE_DATA;
                reply.data.clear();
            }
            reply.status = status(result);
            return reply;
        });
    case Op::RegSetValueEx:
        return Serve<RegSetValueRequest>(payload, send, [&](RegSetValueRequest& r) {
            RegSetValueReply reply;
            if (!KeyOf(r.key, &root, &path)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            reply.status = status(KeyResult(
                hive.SetValue(root, path, r.name, r.type, r.data.data(), std::uint32_t(r.data.size())), root,
                path));
            return reply;
        });
    case Op::RegEnumKeyEx:
        return Serve<RegEnumKeyRequest>(payload, send, [&](RegEnumKeyRequest& r) {
            RegEnumKeyReply reply;
            if (!KeyOf(r.key, &root, &path)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            reply.status = status(KeyResult(hive.EnumKey(root, path, r.index, &reply.name), root, path));
            return reply;
        });
    case Op::RegEnumValue:
        return Serve<RegEnumValueRequest>(payload, send, [&](RegEnumValueRequest& r) {
            RegEnumValueReply reply;
            if (!KeyOf(r.key, &root, &path)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            DWORD result = KeyResult(
                hive.EnumValue(root, path, r.index, &reply.name, &reply.type, &reply.data), root, path);
            reply.size = std::uint32_t(reply.data.size());
            if (result == ERROR_SUCCESS && reply.size > r.bufferSize) {
                result = ERROR_MORE_DATA;
                reply.data.clear();
            }
            reply.status = status(result);
            return reply;
        });
    case Op::RegQueryInfoKey:
        return Serve<RegQueryInfoKeyRequest>(payload, send, [&](RegQueryInfoKeyRequest& r) {
            RegQueryInfoKeyReply reply;
            if (!KeyOf(r.handle, &root, &path)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            reg::KeyInfo info;
            reply.status = status(KeyResult(hive.QueryInfoKey(root, path, &info), root, path));
            reply.subKeys = info.subKeys;
            reply.maxSubKeyLen = info.maxSubKeyNameLen;
            reply.values = info.values;
            reply.maxValueNameLen = info.maxValueNameLen;
            reply.maxValueLen = info.maxValueDataLen;
            return reply;
        });
    case Op::RegDeleteValue:
        return Serve<RegDeleteValueRequest>(payload, send, [&](RegDeleteValueRequest& r) {
            RegDeleteValueReply reply;
            if (!KeyOf(r.key, &root, &path)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            reply.status = status(KeyResult(hive.DeleteValue(root, path, r.name), root, path));
            return reply;
        });
    case Op::RegDeleteKey:
        return Serve<RegDeleteKeyRequest>(payload, send, [&](RegDeleteKeyRequest& r) {
            RegDeleteKeyReply reply;
            if (!KeyOf(r.key, &root, &path)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            reply.status = status(DWORD(hive.DeleteKey(root, Join(path, r.name))));
            return reply;
        });
    case Op::RegCloseKey:
        return Serve<RegCloseKeyRequest>(payload, send, [&](RegCloseKeyRequest& r) {
            RegCloseKeyReply reply;
            if (IsRoot(r.handle)) {
                reply.status = status(ERROR_SUCCESS);
            } else if (Find<KeyObject>(r.handle)) {
                m_handles.erase(r.handle);
                reply.status = status(ERROR_SUCCESS);
            } else {
                reply.status = status(ERROR_INVALID_HANDLE);
            }
            return reply;
        });
    default:
        return false;
    }
}

} // namespace device
