#include "platform/registry/Records.h"

#include "platform/registry/Names.h"

namespace reg::records {
namespace {

constexpr std::uint32_t kFormat = 1;
constexpr std::uint64_t kFirstFreeId = 16;

void PutOwner(std::uint8_t* out, std::uint8_t tag, std::uint64_t owner)
{
    out[0] = tag;
    for (int i = 0; i < 8; ++i)
        out[1 + i] = static_cast<std::uint8_t>(owner >> (56 - 8 * i));
}

MDB_val MetaKey(std::string_view name)
{
    static thread_local std::uint8_t buffer[32];
    buffer[0] = kMetaTag;
    std::memcpy(buffer + 1, name.data(), name.size());
    return MDB_val { name.size() + 1, buffer };
}

void PutName(std::uint8_t* out, std::u16string_view name)
{
    for (std::size_t i = 0; i < name.size(); ++i) {
        out[2 * i] = static_cast<std::uint8_t>(name[i] & 0xFF);
        out[2 * i + 1] = static_cast<std::uint8_t>(name[i] >> 8);
    }
}

} // namespace

std::uint64_t RootId(Root root)
{
    switch (root) {
    case HKEY_CLASSES_ROOT:
        return 1;
    case HKEY_CURRENT_USER:
        return 2;
    case HKEY_LOCAL_MACHINE:
        return 3;
    default:
        return 0;
    }
}

EntryKey::EntryKey(std::uint8_t tag, std::uint64_t owner)
{
    PutOwner(bytes, tag, owner);
    size = kPrefixSize;
}

EntryKey::EntryKey(std::uint8_t tag, std::uint64_t owner, std::u16string_view name)
{
    PutOwner(bytes, tag, owner);
    size = kPrefixSize + names::Encode(name, bytes + kPrefixSize);
}

bool ParseKeyRecord(const MDB_val& data, KeyRecord* out)
{
    if (data.mv_size < kKeyRecordHead || (data.mv_size - kKeyRecordHead) % 2)
        return false;
    auto* p = static_cast<const std::uint8_t*>(data.mv_data);
    out->id = LoadU64(p);
    out->name = p + kKeyRecordHead;
    out->nameUnits = (data.mv_size - kKeyRecordHead) / 2;
    return true;
}

bool ParseValueRecord(const MDB_val& data, ValueRecord* out)
{
    if (data.mv_size < kValueRecordHead)
        return false;
    auto* p = static_cast<const std::uint8_t*>(data.mv_data);
    out->type = LoadU32(p);
    out->nameUnits = LoadU32(p + 4);
    if (out->nameUnits > (data.mv_size - kValueRecordHead) / 2)
        return false;
    out->name = p + kValueRecordHead;
    out->data = out->name + out->nameUnits * 2;
    out->dataSize = data.mv_size - kValueRecordHead - out->nameUnits * 2;
    return true;
}

std::u16string NameOf(const std::uint8_t* name, std::size_t units)
{
    std::u16string out(units, u'\0');
    for (std::size_t i = 0; i < units; ++i)
        out[i] = static_cast<char16_t>(name[2 * i] | (name[2 * i + 1] << 8));
    return out;
}

bool SameSpelling(const std::uint8_t* stored, std::size_t units, std::u16string_view name)
{
    if (units != name.size())
        return false;
    for (std::size_t i = 0; i < units; ++i) {
        if (static_cast<char16_t>(stored[2 * i] | (stored[2 * i + 1] << 8)) != name[i])
            return false;
    }
    return true;
}

std::size_t KeyRecordSize(std::u16string_view name)
{
    return kKeyRecordHead + name.size() * 2;
}

void WriteKeyRecord(std::uint8_t* out, std::uint64_t id, std::u16string_view name)
{
    std::memcpy(out, &id, 8);
    PutName(out + kKeyRecordHead, name);
}

std::size_t ValueRecordSize(std::size_t nameUnits, std::size_t dataSize)
{
    return kValueRecordHead + nameUnits * 2 + dataSize;
}

void WriteValueRecord(
    std::uint8_t* out, std::uint32_t type, std::u16string_view name, const void* data, std::size_t dataSize)
{
    auto units = static_cast<std::uint32_t>(name.size());
    std::memcpy(out, &type, 4);
    std::memcpy(out + 4, &units, 4);
    PutName(out + kValueRecordHead, name);
    if (dataSize)
        std::memcpy(out + kValueRecordHead + name.size() * 2, data, dataSize);
}

Result CheckFormat(Txn& t, std::string* problem)
{
    MDB_val data;
    if (t.Get(MetaKey("format"), &data)) {
        if (data.mv_size == 4 && LoadU32(data.mv_data) == kFormat)
            return ERROR_SUCCESS;
        *problem = "unknown hive layout";
        return ERROR_CANTREAD;
    }
    if (t.failure)
        return ERROR_CANTREAD;
    MDB_stat stat {};
    if (int rc = mdb_stat(t.txn, t.dbi, &stat)) {
        t.failure = rc;
        return ERROR_CANTREAD;
    }
    if (stat.ms_entries != 0) {
        *problem = "the folder holds a database that is not a registry hive";
        return ERROR_CANTREAD;
    }
    return ERROR_FILE_NOT_FOUND;
}

Result InitFormat(Txn& t, std::string* problem)
{
    // Another process may have initialised it since the check.
    Result r = CheckFormat(t, problem);
    if (r != ERROR_FILE_NOT_FOUND)
        return r;
    std::uint32_t format = kFormat;
    std::uint64_t next = kFirstFreeId;
    MDB_val f { 4, &format }, n { 8, &next };
    if (!t.Put(MetaKey("format"), &f) || !t.Put(MetaKey("nextid"), &n))
        return ERROR_CANTWRITE;
    return ERROR_SUCCESS;
}

bool NextId(Txn& t, std::uint64_t* id)
{
    MDB_val data;
    if (!t.Get(MetaKey("nextid"), &data) || data.mv_size != 8) {
        if (!t.failure)
            t.failure = MDB_CORRUPTED;
        return false;
    }
    *id = LoadU64(data.mv_data);
    std::uint64_t next = *id + 1;
    MDB_val n { 8, &next };
    return t.Put(MetaKey("nextid"), &n);
}

} // namespace reg::records
