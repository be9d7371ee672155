#include "platform/registry/Hive.h"

#include "platform/registry/KeyOps.h"
#include "platform/registry/Names.h"
#include "platform/registry/Records.h"
#include "platform/registry/Store.h"

#include <cstring>

namespace reg {

using namespace records;

std::unique_ptr<Hive> Hive::Open(
    const std::filesystem::path& dir, reg::Sync sync, std::string* error, std::size_t initialMapBytes)
{
    std::string ignored;
    std::shared_ptr<Env> env = Env::Acquire(dir, sync, initialMapBytes, error ? error : &ignored);
    if (!env)
        return nullptr;
    return std::unique_ptr<Hive>(new Hive(std::move(env), dir, sync));
}

Hive::Hive(std::shared_ptr<Env> env, std::filesystem::path dir, reg::Sync sync)
    : env_(std::move(env))
    , dir_(std::move(dir))
    , sync_(sync)
{
}

Hive::~Hive() = default;

const std::filesystem::path& Hive::Dir() const
{
    return dir_;
}

Result Hive::Sync()
{
    return env_->Sync();
}

Result Hive::CreateKey(Root root, std::u16string_view path, bool* created)
{
    if (Result r = ops::CheckKey(root, path))
        return r;
    auto probe = [&](Txn& t) {
        std::uint64_t id;
        return ops::Walk(t, root, path, &id);
    };
    Result r = env_->Read(probe);
    if (r != ERROR_FILE_NOT_FOUND) {
        if (r == ERROR_SUCCESS && created)
            *created = false;
        return r;
    }
    bool made = false;
    auto create = [&](Txn& t) {
        std::uint64_t id;
        return ops::CreatePath(t, RootId(root), path, &id, &made);
    };
    r = env_->Write(create);
    if (r == ERROR_SUCCESS && created)
        *created = made;
    return r;
}

Result Hive::OpenKey(Root root, std::u16string_view path)
{
    if (Result r = ops::CheckKey(root, path))
        return r;
    auto probe = [&](Txn& t) {
        std::uint64_t id;
        return ops::Walk(t, root, path, &id);
    };
    return env_->Read(probe);
}

Result Hive::QueryValue(Root root, std::u16string_view path, std::u16string_view name, std::uint32_t* type,
    std::vector<std::uint8_t>* data)
{
    if (Result r = ops::CheckValue(root, path, name))
        return r;
    auto read = [&](Txn& t) {
        ValueRecord rec;
        if (Result r = ops::FindValue(t, root, path, name, &rec))
            return r;
        if (type)
            *type = rec.type;
        if (data)
            data->assign(rec.data, rec.data + rec.dataSize);
        return ERROR_SUCCESS;
    };
    return env_->Read(read);
}

Result Hive::QueryValue(Root root, std::u16string_view path, std::u16string_view name, std::uint32_t* type,
    void* buffer, std::uint32_t* size)
{
    if (buffer && !size)
        return ERROR_INVALID_PARAMETER;
    if (Result r = ops::CheckValue(root, path, name))
        return r;
    auto read = [&](Txn& t) {
        ValueRecord rec;
        if (Result r = ops::FindValue(t, root, path, name, &rec))
            return r;
        if (type)
            *type = rec.type;
        if (!size)
            return ERROR_SUCCESS;
        auto need = static_cast<std::uint32_t>(rec.dataSize);
        bool fits = *size >= need;
        *size = need;
        if (!buffer)
            return ERROR_SUCCESS;
        if (!fits)
            return ERROR_MORE_DATA;
        if (need)
            std::memcpy(buffer, rec.data, need);
        return ERROR_SUCCESS;
    };
    return env_->Read(read);
}

Result Hive::SetValue(Root root, std::u16string_view path, std::u16string_view name, std::uint32_t type,
    const void* data, std::uint32_t size)
{
    if (!data && size)
        return ERROR_INVALID_PARAMETER;
    if (Result r = ops::CheckValue(root, path, name))
        return r;
    auto write = [&](Txn& t) {
        std::uint64_t id;
        if (Result r = ops::Walk(t, root, path, &id))
            return r;
        return ops::PutValue(t, id, name, type, data, size);
    };
    return env_->Write(write);
}

Result Hive::DeleteValue(Root root, std::u16string_view path, std::u16string_view name)
{
    if (Result r = ops::CheckValue(root, path, name))
        return r;
    auto write = [&](Txn& t) {
        std::uint64_t id;
        if (Result r = ops::Walk(t, root, path, &id))
            return r;
        EntryKey key(kValueTag, id, name);
        if (t.Del(key.Val()))
            return ERROR_SUCCESS;
        return t.failure ? ERROR_CANTWRITE : ERROR_FILE_NOT_FOUND;
    };
    return env_->Write(write);
}

Result Hive::DeleteKey(Root root, std::u16string_view path)
{
    if (Result r = ops::CheckKey(root, path))
        return r;
    if (names::IsRootPath(path))
        return ERROR_ACCESS_DENIED;
    auto write = [&](Txn& t) { return ops::RemoveKey(t, root, path); };
    return env_->Write(write);
}

Result Hive::RenameKey(Root root, std::u16string_view path, std::u16string_view newName)
{
    if (Result r = ops::CheckKey(root, path))
        return r;
    if (!names::ValidKeyName(newName))
        return ERROR_INVALID_PARAMETER;
    if (names::IsRootPath(path))
        return ERROR_ACCESS_DENIED;
    auto write = [&](Txn& t) { return ops::Rename(t, root, path, newName); };
    return env_->Write(write);
}

Result Hive::EnumKey(Root root, std::u16string_view path, std::uint32_t index, std::u16string* name)
{
    if (Result r = ops::CheckKey(root, path))
        return r;
    auto read = [&](Txn& t) {
        std::uint64_t id;
        if (Result r = ops::Walk(t, root, path, &id))
            return r;
        MDB_val data;
        if (Result r = ops::EnumEntry(t, *env_, kKeyTag, id, index, &data))
            return r;
        KeyRecord rec;
        if (!ParseKeyRecord(data, &rec))
            return ops::Damaged(t);
        if (name)
            *name = NameOf(rec.name, rec.nameUnits);
        return ERROR_SUCCESS;
    };
    return env_->Read(read);
}

Result Hive::EnumValue(Root root, std::u16string_view path, std::uint32_t index, std::u16string* name,
    std::uint32_t* type, std::vector<std::uint8_t>* data)
{
    if (Result r = ops::CheckKey(root, path))
        return r;
    auto read = [&](Txn& t) {
        std::uint64_t id;
        if (Result r = ops::Walk(t, root, path, &id))
            return r;
        MDB_val record;
        if (Result r = ops::EnumEntry(t, *env_, kValueTag, id, index, &record))
            return r;
        ValueRecord rec;
        if (!ParseValueRecord(record, &rec))
            return ops::Damaged(t);
        if (name)
            *name = NameOf(rec.name, rec.nameUnits);
        if (type)
            *type = rec.type;
        if (data)
            data->assign(rec.data, rec.data + rec.dataSize);
        return ERROR_SUCCESS;
    };
    return env_->Read(read);
}

Result Hive::QueryInfoKey(Root root, std::u16string_view path, KeyInfo* info)
{
    if (!info)
        return ERROR_INVALID_PARAMETER;
    if (Result r = ops::CheckKey(root, path))
        return r;
    auto read = [&](Txn& t) {
        std::uint64_t id;
        if (Result r = ops::Walk(t, root, path, &id))
            return r;
        return ops::Info(t, id, info);
    };
    return env_->Read(read);
}

Result Hive::ReadTree(Root root, std::u16string_view path, std::vector<KeyEntry>* keys)
{
    if (!keys)
        return ERROR_INVALID_PARAMETER;
    if (Result r = ops::CheckKey(root, path))
        return r;
    auto read = [&](Txn& t) {
        keys->clear();
        std::uint64_t id;
        if (Result r = ops::Walk(t, root, path, &id))
            return r;
        return ops::CollectTree(t, id, keys);
    };
    return env_->Read(read);
}

Result Hive::WriteTree(Root root, std::u16string_view path, const std::vector<KeyEntry>& keys)
{
    if (Result r = ops::CheckKey(root, path))
        return r;
    for (const KeyEntry& key : keys) {
        if (!names::ForEachComponent(key.path, [](std::u16string_view) { return true; }))
            return ERROR_INVALID_PARAMETER;
        for (const ValueEntry& value : key.values) {
            if (!names::ValidValueName(value.name) || value.data.size() > UINT32_MAX)
                return ERROR_INVALID_PARAMETER;
        }
    }
    auto write = [&](Txn& t) {
        std::uint64_t top;
        bool made;
        if (Result r = ops::CreatePath(t, RootId(root), path, &top, &made))
            return r;
        for (const KeyEntry& key : keys) {
            std::uint64_t id;
            if (Result r = ops::CreatePath(t, top, key.path, &id, &made))
                return r;
            for (const ValueEntry& value : key.values) {
                Result r = ops::PutValue(t, id, value.name, value.type, value.data.data(),
                    static_cast<std::uint32_t>(value.data.size()));
                if (r)
                    return r;
            }
        }
        return ERROR_SUCCESS;
    };
    return env_->Write(write);
}

Result Hive::Apply(const std::vector<Change>& changes)
{
    for (const Change& c : changes) {
        bool onValue = c.kind == Change::SetValue || c.kind == Change::DeleteValue;
        Result r = onValue ? ops::CheckValue(c.root, c.path, c.name) : ops::CheckKey(c.root, c.path);
        if (r)
            return r;
        if (c.kind == Change::DeleteKey && names::IsRootPath(c.path))
            return ERROR_ACCESS_DENIED;
        if (c.data.size() > UINT32_MAX)
            return ERROR_INVALID_PARAMETER;
    }
    auto write = [&](Txn& t) {
        for (const Change& c : changes) {
            std::uint64_t id;
            bool made;
            Result r = ERROR_SUCCESS;
            switch (c.kind) {
            case Change::CreateKey:
                r = ops::CreatePath(t, RootId(c.root), c.path, &id, &made);
                break;
            case Change::DeleteKey:
                r = ops::RemoveKey(t, c.root, c.path);
                break;
            case Change::SetValue:
                r = ops::Walk(t, c.root, c.path, &id);
                if (r == ERROR_SUCCESS)
                    r = ops::PutValue(
                        t, id, c.name, c.type, c.data.data(), static_cast<std::uint32_t>(c.data.size()));
                break;
            case Change::DeleteValue:
                r = ops::Walk(t, c.root, c.path, &id);
                if (r == ERROR_SUCCESS) {
                    EntryKey key(kValueTag, id, c.name);
                    if (!t.Del(key.Val()) && t.failure)
                        r = ERROR_CANTWRITE;
                }
                break;
            }
            if (r == ERROR_FILE_NOT_FOUND && (c.kind == Change::DeleteKey || c.kind == Change::DeleteValue))
                r = ERROR_SUCCESS;
            if (r)
                return r;
        }
        return ERROR_SUCCESS;
    };
    return env_->Write(write);
}

Result Hive::StoredPath(Root root, std::u16string_view path, std::u16string* stored)
{
    if (!stored)
        return ERROR_INVALID_PARAMETER;
    if (Result r = ops::CheckKey(root, path))
        return r;
    auto read = [&](Txn& t) { return ops::Spell(t, root, path, stored); };
    return env_->Read(read);
}

} // namespace reg
