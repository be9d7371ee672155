// The LMDB environment of one hive folder, shared by every Hive object of that
// folder in a process: transactions, reuse of read transactions, growth of
// the memory map. Internal to the registry library.
#pragma once

#include "platform/registry/Hive.h"

#include <lmdb.h>
#include <pthread.h>

#include <cstdint>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <type_traits>
#include <utility>
#include <vector>

namespace reg {

// One transaction as the operations see it. `failure` keeps the first LMDB
// error met inside the transaction; the transaction is then abandoned.
struct Txn {
    MDB_txn* txn = nullptr;
    MDB_dbi dbi = 0;
    int failure = 0;

    // mdb_get: true when found, false when missing; other errors go to `failure`.
    bool Get(const MDB_val& key, MDB_val* data);
    // mdb_put / mdb_del; false (and `failure` set) when LMDB refused.
    bool Put(const MDB_val& key, MDB_val* data, unsigned flags = 0);
    bool Del(const MDB_val& key);
};

// A non-owning reference to a callable Result(Txn&), so that the hot path
// never allocates for its closures.
class TxnFn {
public:
    template <typename F>
    TxnFn(F& f)
        : object_(&f)
        , call_([](void* o, Txn& t) -> Result {
            // Allocation failures must not unwind past the open transaction.
            try {
                return (*static_cast<F*>(o))(t);
            } catch (const std::exception&) {
                return ERROR_NOT_ENOUGH_MEMORY;
            }
        })
    {
    }
    Result operator()(Txn& t) const { return call_(object_, t); }

private:
    void* object_;
    Result (*call_)(void*, Txn&);
};

struct Hive::Env {
public:
    // The environment of folder `dir` for this process, opened when needed.
    static std::shared_ptr<Env> Acquire(
        const std::filesystem::path& dir, reg::Sync sync, std::size_t initialMapBytes, std::string* error);
    ~Env();

    // Runs `fn` in a read transaction from a fresh snapshot.
    Result Read(TxnFn fn);
    // Runs `fn` in a write transaction, committed when `fn` returns
    // ERROR_SUCCESS and aborted otherwise. A full map is grown and `fn` run
    // again, so `fn` must start from scratch each time.
    Result Write(TxnFn fn);

    Result Sync();

    // Where the last enumeration step stopped, so that the next index
    // continues from there instead of rescanning (see Hive::EnumKey).
    struct EnumHint {
        std::size_t snapshot = 0; // mdb_txn_id of the snapshot it was taken from
        std::uint32_t index = 0;
        std::string key; // the LMDB key of entry `index`
    };
    std::mutex hintMutex;
    EnumHint keyHint, valueHint;

private:
    Env() = default;
    Result Open(
        const std::filesystem::path& dir, reg::Sync sync, std::size_t initialMapBytes, std::string* error);
    MDB_txn* TakeReader();
    void GiveReader(MDB_txn* txn);
    // Enlarges the map (grow) or follows another process's larger map;
    // false when the disk has no room for it.
    bool Resize(std::uint64_t seenGeneration, bool grow);
    // Makes sure the data file has `bytes` of real disk blocks, so that a
    // write through the map can never fault on a full disk.
    bool Reserve(int fd, std::size_t bytes);

    MDB_env* env_ = nullptr;
    MDB_dbi dbi_ = 0;
    pid_t pid_ = 0;
    bool lazy_ = false;
    // flock()ed around every change of the map size: the data file must
    // never become shorter than any process's map (see Store.cpp).
    int growFd_ = -1;
    // Shared by every transaction of this process, exclusive while the map
    // is replaced (LMDB allows that only with no transaction active).
    pthread_rwlock_t mapLock_;
    std::uint64_t mapGeneration_ = 0;
    std::mutex poolMutex_;
    std::vector<MDB_txn*> readers_;

    friend class Hive;
};

// Win32 code for an LMDB or system error met while reading or writing.
Result StorageResult(int mdbError, bool writing);

} // namespace reg
