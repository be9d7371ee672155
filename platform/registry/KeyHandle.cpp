#include "platform/registry/KeyHandle.h"

namespace reg {

std::u16string JoinKeyPath(const std::u16string& base, std::u16string_view sub)
{
    if (!sub.empty() && sub.front() == u'\\')
        sub.remove_prefix(1);
    std::u16string path = base;
    if (!sub.empty()) {
        if (!path.empty())
            path += u'\\';
        path += sub;
    }
    return path;
}

Result ThroughHandle(Hive& hive, const KeyRef& key, Result result)
{
    if (result == ERROR_FILE_NOT_FOUND && !key.path.empty()
        && hive.OpenKey(key.root, key.path) == ERROR_FILE_NOT_FOUND)
        return ERROR_KEY_DELETED;
    return result;
}

Result OpenSubKey(
    Hive& hive, const KeyRef& base, std::u16string_view sub, bool create, KeyRef* opened, bool* created)
{
    if (create && !base.path.empty() && hive.OpenKey(base.root, base.path) == ERROR_FILE_NOT_FOUND)
        return ERROR_KEY_DELETED;
    KeyRef key { base.root, JoinKeyPath(base.path, sub) };
    bool made = false;
    const Result result
        = create ? hive.CreateKey(key.root, key.path, &made) : hive.OpenKey(key.root, key.path);
    if (created)
        *created = made;
    if (result != ERROR_SUCCESS)
        return ThroughHandle(hive, base, result);
    *opened = std::move(key);
    return ERROR_SUCCESS;
}

Result DeleteSubKey(Hive& hive, const KeyRef& key, std::u16string_view sub)
{
    return ThroughHandle(hive, key, hive.DeleteKey(key.root, JoinKeyPath(key.path, sub)));
}

} // namespace reg
