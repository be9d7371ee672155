// How keys and values lie in the hive's one LMDB database. Internal to the
// registry library.
//
//   'K' parent-id name  ->  key-id, name as written       (one sub-key)
//   'V' key-id name     ->  type, name length, name, data  (one value)
//   'M' "format"        ->  layout version (1)
//   'M' "nextid"        ->  next free key id
//
// Ids are 64-bit, big-endian in LMDB keys so that one key's entries are
// adjacent; names in LMDB keys are their folded form (Names.h), names in the
// data keep their spelling (UTF-16LE). The three roots have the fixed ids 1-3
// and no record. Ids are never reused, so a stale id finds nothing.
#pragma once

#include "platform/registry/Hive.h"
#include "platform/registry/Store.h"

#include <lmdb.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace reg::records {

inline constexpr std::uint8_t kKeyTag = 'K';
inline constexpr std::uint8_t kValueTag = 'V';
inline constexpr std::uint8_t kMetaTag = 'M';
inline constexpr std::size_t kPrefixSize = 9; // tag and owner id
inline constexpr std::size_t kMaxLmdbKey = 511;
inline constexpr std::size_t kKeyRecordHead = 8; // child id
inline constexpr std::size_t kValueRecordHead = 8; // type, name length

// The id of a root key, 0 for an unknown root.
std::uint64_t RootId(Root root);

// An LMDB key on the stack: the tag, the owner id and optionally a name.
struct EntryKey {
    std::uint8_t bytes[kMaxLmdbKey];
    std::size_t size = 0;

    EntryKey(std::uint8_t tag, std::uint64_t owner);
    EntryKey(std::uint8_t tag, std::uint64_t owner, std::u16string_view name);
    MDB_val Val() const { return MDB_val { size, const_cast<std::uint8_t*>(bytes) }; }
    bool HasPrefixOf(const MDB_val& key) const
    {
        return key.mv_size >= kPrefixSize && std::memcmp(key.mv_data, bytes, kPrefixSize) == 0;
    }
};

inline std::uint64_t LoadU64(const void* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
inline std::uint32_t LoadU32(const void* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The parts of a key record.
struct KeyRecord {
    std::uint64_t id = 0;
    const std::uint8_t* name = nullptr; // UTF-16LE, unaligned
    std::size_t nameUnits = 0;
};
bool ParseKeyRecord(const MDB_val& data, KeyRecord* out);

// The parts of a value record.
struct ValueRecord {
    std::uint32_t type = 0;
    const std::uint8_t* name = nullptr; // UTF-16LE, unaligned
    std::size_t nameUnits = 0;
    const std::uint8_t* data = nullptr;
    std::size_t dataSize = 0;
};
bool ParseValueRecord(const MDB_val& data, ValueRecord* out);

std::u16string NameOf(const std::uint8_t* name, std::size_t units);
bool SameSpelling(const std::uint8_t* stored, std::size_t units, std::u16string_view name);

// Writes a key record / value record into `out` (of the sizes below).
std::size_t KeyRecordSize(std::u16string_view name);
void WriteKeyRecord(std::uint8_t* out, std::uint64_t id, std::u16string_view name);
std::size_t ValueRecordSize(std::size_t nameUnits, std::size_t dataSize);
void WriteValueRecord(
    std::uint8_t* out, std::uint32_t type, std::u16string_view name, const void* data, std::size_t dataSize);

// SUCCESS for a hive of our layout; FILE_NOT_FOUND for an empty database (a
// new hive); otherwise a read error with *problem saying why.
Result CheckFormat(Txn& t, std::string* problem);
// Marks an empty database as a hive.
Result InitFormat(Txn& t, std::string* problem);
// Takes the next free key id.
bool NextId(Txn& t, std::uint64_t* id);

} // namespace reg::records
