// Request handlers for the device registry. Their result is the registry
// result code itself; the last error is left as it was, as on the device.
#include "device/server/Session.h"
#include "device/server/SessionUtil.h"
#include "device/server/ValueWait.h"
#include "platform/registry/KeyHandle.h"

namespace device {

using namespace rapi::proto;

bool Session::KeyOf(std::uint32_t handle, reg::KeyRef* key)
{
    if (reg::IsRootKey(handle)) {
        *key = reg::KeyRef { handle, {} };
        return true;
    }
    const KeyObject* k = Find<KeyObject>(handle);
    if (!k)
        return false;
    *key = *k;
    return true;
}

template <typename Reply>
Reply Session::OpenKey(std::uint32_t handle, const std::u16string& subKey, bool create, Reply reply)
{
    reg::KeyRef base;
    if (!KeyOf(handle, &base)) {
        reply.status = Status { ERROR_INVALID_HANDLE, m_lastError };
        return reply;
    }
    reg::KeyRef opened;
    bool created = false;
    // Checked first, so that a key is never created for a handle then refused.
    DWORD result = RoomForHandle(false);
    if (result == ERROR_SUCCESS)
        result = DWORD(reg::OpenSubKey(*m_services.hive, base, subKey, create, &opened, &created));
    if (result == ERROR_SUCCESS)
        result = AddHandle(std::move(opened), &reply.key);
    reply.disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    reply.status = Status { result, m_lastError };
    return reply;
}

bool Session::HandleRegistry(Op op, std::span<const std::uint8_t> payload, const Sender& send)
{
    reg::Hive& hive = *m_services.hive;
    reg::KeyRef key;
    auto status = [&](DWORD result) { return Status { result, m_lastError }; };
    auto through = [&](reg::Result result) { return DWORD(reg::ThroughHandle(hive, key, result)); };

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
            if (!KeyOf(r.key, &key)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            DWORD result = through(hive.QueryValue(key.root, key.path, r.name, &reply.type, &reply.data));
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
            if (!KeyOf(r.key, &key)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            reply.status = status(through(hive.SetValue(
                key.root, key.path, r.name, r.type, r.data.data(), std::uint32_t(r.data.size()))));
            return reply;
        });
    case Op::RegEnumKeyEx:
        return Serve<RegEnumKeyRequest>(payload, send, [&](RegEnumKeyRequest& r) {
            RegEnumKeyReply reply;
            if (!KeyOf(r.key, &key)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            reply.status = status(through(hive.EnumKey(key.root, key.path, r.index, &reply.name)));
            return reply;
        });
    case Op::RegEnumValue:
        return Serve<RegEnumValueRequest>(payload, send, [&](RegEnumValueRequest& r) {
            RegEnumValueReply reply;
            if (!KeyOf(r.key, &key)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            DWORD result
                = through(hive.EnumValue(key.root, key.path, r.index, &reply.name, &reply.type, &reply.data));
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
            if (!KeyOf(r.handle, &key)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            reg::KeyInfo info;
            reply.status = status(through(hive.QueryInfoKey(key.root, key.path, &info)));
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
            if (!KeyOf(r.key, &key)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            reply.status = status(through(hive.DeleteValue(key.root, key.path, r.name)));
            return reply;
        });
    case Op::RegDeleteKey:
        return Serve<RegDeleteKeyRequest>(payload, send, [&](RegDeleteKeyRequest& r) {
            RegDeleteKeyReply reply;
            if (!KeyOf(r.key, &key)) {
                reply.status = status(ERROR_INVALID_HANDLE);
                return reply;
            }
            reply.status = status(DWORD(reg::DeleteSubKey(hive, key, r.name)));
            return reply;
        });
    case Op::RegWaitValue:
        return Serve<RegWaitValueRequest>(payload, send, [&](RegWaitValueRequest& r) {
            RegWaitValueReply reply;
            if (!KeyOf(r.key, &key))
                reply.status = status(ERROR_INVALID_HANDLE);
            else
                WaitForValueChange(hive, key, r, m_services.processes, &reply);
            return reply;
        });
    case Op::RegCloseKey:
        return Serve<RegCloseKeyRequest>(payload, send, [&](RegCloseKeyRequest& r) {
            RegCloseKeyReply reply;
            if (reg::IsRootKey(r.handle)) {
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
