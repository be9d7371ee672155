// The tree operations inside one transaction, which Hive's public functions
// wrap. Internal to the registry library.
#pragma once

#include "platform/registry/Hive.h"
#include "platform/registry/Records.h"
#include "platform/registry/Store.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace reg::ops {

// ERROR_INVALID_HANDLE / ERROR_INVALID_PARAMETER for a bad root or path
// (and value name), before any transaction.
Result CheckKey(Root root, std::u16string_view path);
Result CheckValue(Root root, std::u16string_view path, std::u16string_view name);

// Marks the transaction as met with a damaged record.
Result Damaged(Txn& t);

// The id of key `path` below `root`; ERROR_FILE_NOT_FOUND when missing.
Result Walk(Txn& t, Root root, std::u16string_view path, std::uint64_t* id);

// The stored spelling of key `path`.
Result Spell(Txn& t, Root root, std::u16string_view path, std::u16string* stored);

// Creates the keys of `path` below key `start` as needed; *id is the last,
// *created tells whether it was created.
Result CreatePath(Txn& t, std::uint64_t start, std::u16string_view path, std::uint64_t* id, bool* created);

// Finds value `name` of key `path`.
Result FindValue(
    Txn& t, Root root, std::u16string_view path, std::u16string_view name, records::ValueRecord* out);

// Stores a value in key `id`, keeping the spelling of an existing name.
Result PutValue(Txn& t, std::uint64_t id, std::u16string_view name, std::uint32_t type, const void* data,
    std::uint32_t size);

// Deletes key `path` (not a root) with everything below it.
Result RemoveKey(Txn& t, Root root, std::u16string_view path);

// Gives key `path` (not a root) the last component `newName`.
Result Rename(Txn& t, Root root, std::u16string_view path, std::u16string_view newName);

// Entry number `index` with tag kKeyTag or kValueTag of key `owner`.
Result EnumEntry(
    Txn& t, Hive::Env& env, std::uint8_t tag, std::uint64_t owner, std::uint32_t index, MDB_val* data);

Result Info(Txn& t, std::uint64_t id, KeyInfo* info);

// Key `id` and its subtree, pre-order.
Result CollectTree(Txn& t, std::uint64_t id, std::vector<KeyEntry>* keys);

} // namespace reg::ops
