#include "platform/registry/KeyOps.h"

#include "platform/registry/Names.h"

#include <algorithm>
#include <cstring>

namespace reg::ops {

using namespace records;

namespace {

// Names longer than this are kept in LMDB keys as a prefix and a digest, so
// a found record must also be compared by name.
constexpr std::size_t kDirectUnits = names::kMaxEncoded / 2;

bool SameName(const std::uint8_t* stored, std::size_t units, std::u16string_view name)
{
    if (name.size() <= kDirectUnits)
        return true;
    return NamesEqual(NameOf(stored, units), name);
}

class Cursor {
public:
    explicit Cursor(Txn& t)
        : t_(t)
    {
        if (int rc = mdb_cursor_open(t.txn, t.dbi, &cursor_)) {
            t.failure = t.failure ? t.failure : rc;
            cursor_ = nullptr;
        }
    }
    ~Cursor()
    {
        if (cursor_)
            mdb_cursor_close(cursor_);
    }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    // mdb_cursor_get; true when positioned, false at the end or on failure.
    bool Get(MDB_val* key, MDB_val* data, MDB_cursor_op op)
    {
        if (!cursor_)
            return false;
        int rc = mdb_cursor_get(cursor_, key, data, op);
        if (rc && rc != MDB_NOTFOUND && !t_.failure)
            t_.failure = rc;
        return rc == 0;
    }

    // Calls visit(key, data) for each entry that begins with `prefix`.
    template <typename F> void Scan(const EntryKey& prefix, F&& visit)
    {
        MDB_val key = prefix.Val(), data;
        for (bool ok = Get(&key, &data, MDB_SET_RANGE); ok && prefix.HasPrefixOf(key);
             ok = Get(&key, &data, MDB_NEXT)) {
            if (!visit(key, data))
                return;
        }
    }

private:
    Txn& t_;
    MDB_cursor* cursor_ = nullptr;
};

// Splits a non-root path into its parent path and last component.
void SplitLast(std::u16string_view path, std::u16string_view* parent, std::u16string_view* last)
{
    path = names::Trim(path);
    std::size_t cut = path.rfind(u'\\');
    if (cut == std::u16string_view::npos) {
        *parent = {};
        *last = path;
    } else {
        *parent = path.substr(0, cut);
        *last = path.substr(cut + 1);
    }
}

// Deletes every entry with `tag` owned by `owner`; sub-key ids go to `found`.
bool DeleteOwned(Txn& t, std::uint8_t tag, std::uint64_t owner, std::vector<std::uint64_t>* found)
{
    Cursor cursor(t);
    EntryKey prefix(tag, owner);
    while (!t.failure) {
        MDB_val key = prefix.Val(), data;
        if (!cursor.Get(&key, &data, MDB_SET_RANGE) || !prefix.HasPrefixOf(key))
            break;
        if (found) {
            KeyRecord rec;
            if (!ParseKeyRecord(data, &rec)) {
                Damaged(t);
                return false;
            }
            found->push_back(rec.id);
        }
        // Copy the key: the page it lies on changes with the deletion.
        EntryKey copy(tag, owner);
        std::memcpy(copy.bytes, key.mv_data, key.mv_size);
        copy.size = key.mv_size;
        if (!t.Del(copy.Val()))
            return false;
    }
    return !t.failure;
}

} // namespace

Result CheckKey(Root root, std::u16string_view path)
{
    if (!RootId(root))
        return ERROR_INVALID_HANDLE;
    if (!names::ForEachComponent(path, [](std::u16string_view) { return true; }))
        return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

Result CheckValue(Root root, std::u16string_view path, std::u16string_view name)
{
    if (Result r = CheckKey(root, path))
        return r;
    return names::ValidValueName(name) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

Result Damaged(Txn& t)
{
    if (!t.failure)
        t.failure = MDB_CORRUPTED;
    return ERROR_CANTREAD;
}

Result Walk(Txn& t, Root root, std::u16string_view path, std::uint64_t* id)
{
    std::uint64_t current = RootId(root);
    if (!current)
        return ERROR_INVALID_HANDLE;
    bool missing = false;
    bool ok = names::ForEachComponent(path, [&](std::u16string_view part) {
        EntryKey key(kKeyTag, current, part);
        MDB_val data;
        KeyRecord rec;
        if (!t.Get(key.Val(), &data) || !ParseKeyRecord(data, &rec)
            || !SameName(rec.name, rec.nameUnits, part)) {
            missing = true;
            return false;
        }
        current = rec.id;
        return true;
    });
    if (t.failure)
        return ERROR_CANTREAD;
    if (missing)
        return ERROR_FILE_NOT_FOUND;
    if (!ok)
        return ERROR_INVALID_PARAMETER;
    *id = current;
    return ERROR_SUCCESS;
}

Result Spell(Txn& t, Root root, std::u16string_view path, std::u16string* stored)
{
    std::uint64_t current = RootId(root);
    if (!current)
        return ERROR_INVALID_HANDLE;
    std::u16string out;
    bool missing = false;
    names::ForEachComponent(path, [&](std::u16string_view part) {
        EntryKey key(kKeyTag, current, part);
        MDB_val data;
        KeyRecord rec;
        if (!t.Get(key.Val(), &data) || !ParseKeyRecord(data, &rec)
            || !SameName(rec.name, rec.nameUnits, part)) {
            missing = true;
            return false;
        }
        if (!out.empty())
            out += u'\\';
        out += NameOf(rec.name, rec.nameUnits);
        current = rec.id;
        return true;
    });
    if (t.failure)
        return ERROR_CANTREAD;
    if (missing)
        return ERROR_FILE_NOT_FOUND;
    *stored = std::move(out);
    return ERROR_SUCCESS;
}

Result CreatePath(Txn& t, std::uint64_t start, std::u16string_view path, std::uint64_t* id, bool* created)
{
    std::uint64_t current = start;
    *created = false;
    bool ok = names::ForEachComponent(path, [&](std::u16string_view part) {
        EntryKey key(kKeyTag, current, part);
        MDB_val data;
        if (t.Get(key.Val(), &data)) {
            KeyRecord rec;
            if (!ParseKeyRecord(data, &rec) || !SameName(rec.name, rec.nameUnits, part)) {
                Damaged(t);
                return false;
            }
            current = rec.id;
            *created = false;
            return true;
        }
        std::uint64_t child;
        if (t.failure || !NextId(t, &child))
            return false;
        MDB_val record { KeyRecordSize(part), nullptr };
        if (!t.Put(key.Val(), &record, MDB_RESERVE))
            return false;
        WriteKeyRecord(static_cast<std::uint8_t*>(record.mv_data), child, part);
        current = child;
        *created = true;
        return true;
    });
    if (t.failure)
        return ERROR_CANTWRITE;
    if (!ok)
        return ERROR_INVALID_PARAMETER;
    *id = current;
    return ERROR_SUCCESS;
}

Result FindValue(Txn& t, Root root, std::u16string_view path, std::u16string_view name, ValueRecord* out)
{
    std::uint64_t id;
    if (Result r = Walk(t, root, path, &id))
        return r;
    EntryKey key(kValueTag, id, name);
    MDB_val data;
    if (!t.Get(key.Val(), &data))
        return t.failure ? ERROR_CANTREAD : ERROR_FILE_NOT_FOUND;
    if (!ParseValueRecord(data, out))
        return Damaged(t);
    if (!SameName(out->name, out->nameUnits, name))
        return ERROR_FILE_NOT_FOUND;
    return ERROR_SUCCESS;
}

Result PutValue(Txn& t, std::uint64_t id, std::u16string_view name, std::uint32_t type, const void* data,
    std::uint32_t size)
{
    EntryKey key(kValueTag, id, name);
    std::u16string_view spelling = name;
    std::u16string kept;
    MDB_val old;
    if (t.Get(key.Val(), &old)) {
        ValueRecord rec;
        if (!ParseValueRecord(old, &rec) || !SameName(rec.name, rec.nameUnits, name))
            return Damaged(t);
        if (!SameSpelling(rec.name, rec.nameUnits, name)) {
            kept = NameOf(rec.name, rec.nameUnits);
            spelling = kept;
        }
    } else if (t.failure) {
        return ERROR_CANTWRITE;
    }
    MDB_val record { ValueRecordSize(spelling.size(), size), nullptr };
    if (!t.Put(key.Val(), &record, MDB_RESERVE))
        return ERROR_CANTWRITE;
    WriteValueRecord(static_cast<std::uint8_t*>(record.mv_data), type, spelling, data, size);
    return ERROR_SUCCESS;
}

Result RemoveKey(Txn& t, Root root, std::u16string_view path)
{
    std::u16string_view parentPath, last;
    SplitLast(path, &parentPath, &last);
    std::uint64_t parent;
    if (Result r = Walk(t, root, parentPath, &parent))
        return r;
    EntryKey key(kKeyTag, parent, last);
    MDB_val data;
    KeyRecord rec;
    if (!t.Get(key.Val(), &data))
        return t.failure ? ERROR_CANTWRITE : ERROR_FILE_NOT_FOUND;
    if (!ParseKeyRecord(data, &rec))
        return Damaged(t);
    std::vector<std::uint64_t> pending { rec.id };
    if (!t.Del(key.Val()))
        return ERROR_CANTWRITE;
    while (!pending.empty()) {
        std::uint64_t id = pending.back();
        pending.pop_back();
        if (!DeleteOwned(t, kValueTag, id, nullptr) || !DeleteOwned(t, kKeyTag, id, &pending))
            return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
}

Result Rename(Txn& t, Root root, std::u16string_view path, std::u16string_view newName)
{
    std::u16string_view parentPath, last;
    SplitLast(path, &parentPath, &last);
    std::uint64_t parent;
    if (Result r = Walk(t, root, parentPath, &parent))
        return r;
    EntryKey oldKey(kKeyTag, parent, last);
    EntryKey newKey(kKeyTag, parent, newName);
    MDB_val data;
    KeyRecord rec;
    if (!t.Get(oldKey.Val(), &data))
        return t.failure ? ERROR_CANTWRITE : ERROR_FILE_NOT_FOUND;
    if (!ParseKeyRecord(data, &rec))
        return Damaged(t);
    std::uint64_t id = rec.id;
    bool sameSlot = oldKey.size == newKey.size && std::memcmp(oldKey.bytes, newKey.bytes, oldKey.size) == 0;
    if (!sameSlot) {
        MDB_val existing;
        if (t.Get(newKey.Val(), &existing))
            return ERROR_ALREADY_EXISTS;
        if (t.failure || !t.Del(oldKey.Val()))
            return ERROR_CANTWRITE;
    }
    MDB_val record { KeyRecordSize(newName), nullptr };
    if (!t.Put(newKey.Val(), &record, MDB_RESERVE))
        return ERROR_CANTWRITE;
    WriteKeyRecord(static_cast<std::uint8_t*>(record.mv_data), id, newName);
    return ERROR_SUCCESS;
}

Result EnumEntry(
    Txn& t, Hive::Env& env, std::uint8_t tag, std::uint64_t owner, std::uint32_t index, MDB_val* data)
{
    Hive::Env::EnumHint& hint = tag == kKeyTag ? env.keyHint : env.valueHint;
    std::size_t snapshot = mdb_txn_id(t.txn);
    EntryKey prefix(tag, owner);
    EntryKey resume(tag, owner);
    std::uint32_t position = 0;
    bool resumed = false;
    {
        std::lock_guard<std::mutex> guard(env.hintMutex);
        // Valid only for the same snapshot: then nothing changed in between.
        if (hint.snapshot == snapshot && hint.index <= index && hint.key.size() <= kMaxLmdbKey
            && hint.key.size() >= kPrefixSize
            && std::memcmp(hint.key.data(), prefix.bytes, kPrefixSize) == 0) {
            std::memcpy(resume.bytes, hint.key.data(), hint.key.size());
            resume.size = hint.key.size();
            position = hint.index;
            resumed = true;
        }
    }
    Cursor cursor(t);
    MDB_val key;
    bool ok;
    if (resumed) {
        key = resume.Val();
        ok = cursor.Get(&key, data, MDB_SET_KEY);
    } else {
        key = prefix.Val();
        ok = cursor.Get(&key, data, MDB_SET_RANGE);
    }
    while (ok && prefix.HasPrefixOf(key) && position < index) {
        ok = cursor.Get(&key, data, MDB_NEXT);
        ++position;
    }
    if (t.failure)
        return ERROR_CANTREAD;
    if (!ok || !prefix.HasPrefixOf(key))
        return ERROR_NO_MORE_ITEMS;
    std::lock_guard<std::mutex> guard(env.hintMutex);
    hint.snapshot = snapshot;
    hint.index = index;
    hint.key.assign(static_cast<const char*>(key.mv_data), key.mv_size);
    return ERROR_SUCCESS;
}

Result Info(Txn& t, std::uint64_t id, KeyInfo* info)
{
    KeyInfo result;
    Cursor cursor(t);
    bool damaged = false;
    cursor.Scan(EntryKey(kKeyTag, id), [&](const MDB_val&, const MDB_val& data) {
        KeyRecord rec;
        if (!ParseKeyRecord(data, &rec))
            return !(damaged = true);
        ++result.subKeys;
        result.maxSubKeyNameLen = std::max<std::uint32_t>(result.maxSubKeyNameLen, rec.nameUnits);
        return true;
    });
    cursor.Scan(EntryKey(kValueTag, id), [&](const MDB_val&, const MDB_val& data) {
        ValueRecord rec;
        if (!ParseValueRecord(data, &rec))
            return !(damaged = true);
        ++result.values;
        result.maxValueNameLen = std::max<std::uint32_t>(result.maxValueNameLen, rec.nameUnits);
        result.maxValueDataLen = std::max<std::uint32_t>(result.maxValueDataLen, rec.dataSize);
        return true;
    });
    if (damaged)
        return Damaged(t);
    if (t.failure)
        return ERROR_CANTREAD;
    *info = result;
    return ERROR_SUCCESS;
}

Result CollectTree(Txn& t, std::uint64_t id, std::vector<KeyEntry>* keys)
{
    struct Pending {
        std::uint64_t id;
        std::u16string path;
    };
    std::vector<Pending> stack { { id, {} } };
    Cursor cursor(t);
    bool damaged = false;
    while (!stack.empty() && !damaged && !t.failure) {
        Pending item = std::move(stack.back());
        stack.pop_back();
        KeyEntry entry;
        entry.path = item.path;
        cursor.Scan(EntryKey(kValueTag, item.id), [&](const MDB_val&, const MDB_val& data) {
            ValueRecord rec;
            if (!ParseValueRecord(data, &rec))
                return !(damaged = true);
            entry.values.push_back(
                { NameOf(rec.name, rec.nameUnits), rec.type, { rec.data, rec.data + rec.dataSize } });
            return true;
        });
        keys->push_back(std::move(entry));
        std::size_t firstChild = stack.size();
        cursor.Scan(EntryKey(kKeyTag, item.id), [&](const MDB_val&, const MDB_val& data) {
            KeyRecord rec;
            if (!ParseKeyRecord(data, &rec))
                return !(damaged = true);
            std::u16string name = NameOf(rec.name, rec.nameUnits);
            stack.push_back({ rec.id, item.path.empty() ? name : item.path + u'\\' + name });
            return true;
        });
        // Children were pushed in order; reverse them so the first is taken first.
        std::reverse(stack.begin() + static_cast<std::ptrdiff_t>(firstChild), stack.end());
    }
    if (damaged)
        return Damaged(t);
    return t.failure ? ERROR_CANTREAD : ERROR_SUCCESS;
}

} // namespace reg::ops
