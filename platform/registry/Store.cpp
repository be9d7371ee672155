#include "platform/registry/Store.h"

#include "platform/registry/Records.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace reg {
namespace {

// Enough reader slots for the device host and every device program with a
// few threads each; a slot costs 64 bytes of the lock file.
constexpr unsigned kMaxReaders = 510;
constexpr std::size_t kDefaultMapBytes = std::size_t(4) << 20;
constexpr int kMaxAttempts = 40;

struct Registry {
    std::mutex mutex;
    std::map<std::pair<dev_t, ino_t>, std::weak_ptr<Hive::Env>> open;
};

Registry& OpenEnvs()
{
    static Registry* registry = new Registry; // never destroyed: Envs may outlive static destruction
    return *registry;
}

std::size_t RoundUp(std::size_t bytes)
{
    constexpr std::size_t kGranule = 64 * 1024;
    return (bytes + kGranule - 1) / kGranule * kGranule;
}

// Holds the folder's grow lock (an flock on "grow.lock") while alive.
class GrowLock {
public:
    explicit GrowLock(int fd)
        : fd_(fd)
    {
        while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) { }
    }
    ~GrowLock() { Release(); }
    void Release()
    {
        if (fd_ >= 0)
            ::flock(fd_, LOCK_UN);
        fd_ = -1;
    }

private:
    int fd_;
};

std::string Describe(const std::filesystem::path& dir, const std::string& what, int rc)
{
    return "cannot open registry hive " + dir.string() + ": " + what + (rc ? mdb_strerror(rc) : "");
}

} // namespace

bool Txn::Get(const MDB_val& key, MDB_val* data)
{
    int rc = mdb_get(txn, dbi, const_cast<MDB_val*>(&key), data);
    if (rc == 0)
        return true;
    if (rc != MDB_NOTFOUND && !failure)
        failure = rc;
    return false;
}

bool Txn::Put(const MDB_val& key, MDB_val* data, unsigned flags)
{
    int rc = mdb_put(txn, dbi, const_cast<MDB_val*>(&key), data, flags);
    if (rc && !failure)
        failure = rc;
    return rc == 0;
}

bool Txn::Del(const MDB_val& key)
{
    int rc = mdb_del(txn, dbi, const_cast<MDB_val*>(&key), nullptr);
    if (rc && rc != MDB_NOTFOUND && !failure)
        failure = rc;
    return rc == 0;
}

Result StorageResult(int mdbError, bool writing)
{
    if (mdbError == ENOMEM)
        return ERROR_NOT_ENOUGH_MEMORY;
    return writing ? ERROR_CANTWRITE : ERROR_CANTREAD;
}

std::shared_ptr<Hive::Env> Hive::Env::Acquire(
    const std::filesystem::path& dir, reg::Sync sync, std::size_t initialMapBytes, std::string* error)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    struct stat st { };
    if (::stat(dir.c_str(), &st) != 0) {
        *error = "cannot open registry hive " + dir.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    if (!S_ISDIR(st.st_mode)) {
        *error = "cannot open registry hive " + dir.string() + ": not a folder";
        return nullptr;
    }
    Registry& registry = OpenEnvs();
    std::lock_guard<std::mutex> guard(registry.mutex);
    auto id = std::make_pair(st.st_dev, st.st_ino);
    if (auto it = registry.open.find(id); it != registry.open.end()) {
        std::shared_ptr<Env> env = it->second.lock();
        // An environment inherited through fork() belongs to the parent.
        if (env && env->pid_ == getpid()) {
            if (sync == reg::Sync::EveryCommit && env->lazy_) {
                pthread_rwlock_wrlock(&env->mapLock_);
                mdb_env_set_flags(env->env_, MDB_NOSYNC, 0);
                mdb_env_sync(env->env_, 1);
                env->lazy_ = false;
                pthread_rwlock_unlock(&env->mapLock_);
            }
            return env;
        }
    }
    std::shared_ptr<Env> env(new Env);
    if (env->Open(dir, sync, initialMapBytes, error) != ERROR_SUCCESS)
        return nullptr;
    registry.open[id] = env;
    return env;
}

// The map is written directly (MDB_WRITEMAP): a write transaction then costs
// no system call, which the agent's once-per-row status writes need. With a
// writable map LMDB sets the data file's length to the map size, so two rules
// keep every process safe:
//   - a map size is only ever set under the grow lock, and never below the
//     data file's current length, so no process's map reaches past the end
//     of the file;
//   - the file's blocks are allocated before a map covers them, so a write
//     through the map cannot fault when the disk is full; a full disk makes
//     the growth fail and the write report ERROR_CANTWRITE instead.
Result Hive::Env::Open(
    const std::filesystem::path& dir, reg::Sync sync, std::size_t initialMapBytes, std::string* error)
{
    pid_ = getpid();
    lazy_ = sync == reg::Sync::Lazy;
    pthread_rwlockattr_t attr;
    pthread_rwlockattr_init(&attr);
    // A waiting resize must not starve behind a stream of readers.
    pthread_rwlockattr_setkind_np(&attr, PTHREAD_RWLOCK_PREFER_WRITER_NONRECURSIVE_NP);
    pthread_rwlock_init(&mapLock_, &attr);
    pthread_rwlockattr_destroy(&attr);

    if (initialMapBytes == 0)
        initialMapBytes = kDefaultMapBytes;
    initialMapBytes = RoundUp(initialMapBytes);
    growFd_ = ::open((dir / "grow.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (growFd_ < 0) {
        *error = "cannot open registry hive " + dir.string() + ": " + std::strerror(errno);
        return ERROR_CANTREAD;
    }
    int rc = mdb_env_create(&env_);
    if (rc) {
        *error = Describe(dir, "", rc);
        env_ = nullptr;
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    mdb_env_set_maxreaders(env_, kMaxReaders);

    GrowLock lock(growFd_);
    struct stat st { };
    std::size_t fileBytes = 0;
    if (::stat((dir / "data.mdb").c_str(), &st) == 0)
        fileBytes = static_cast<std::size_t>(st.st_size);
    std::size_t mapBytes = std::max(initialMapBytes, fileBytes);
    mdb_env_set_mapsize(env_, mapBytes);
    unsigned flags = MDB_NOTLS | MDB_WRITEMAP | (lazy_ ? MDB_NOSYNC : 0);
    // LMDB checks the file's header before it touches the file's length.
    rc = mdb_env_open(env_, dir.c_str(), flags, 0600);
    if (rc == 0) {
        int fd = -1;
        mdb_env_get_fd(env_, &fd);
        if (!Reserve(fd, mapBytes)) {
            // An existing hive is never refused for want of room: it keeps
            // its present size and fails only the writes that need more.
            if (fileBytes == 0 || mdb_env_set_mapsize(env_, fileBytes) != 0)
                rc = ENOSPC;
        }
    }
    if (rc) {
        *error = Describe(dir, "", rc);
        mdb_env_close(env_);
        env_ = nullptr;
        return ERROR_CANTREAD;
    }
    int dead = 0;
    mdb_reader_check(env_, &dead);
    lock.Release();

    std::string problem;
    auto check = [&](Txn& t) -> Result {
        if (int r = mdb_dbi_open(t.txn, nullptr, 0, &t.dbi)) {
            t.failure = r;
            return ERROR_CANTREAD;
        }
        dbi_ = t.dbi;
        return records::CheckFormat(t, &problem);
    };
    // The main database's handle is the same in every transaction, so the
    // first read finds it and checks that this is a hive.
    Result result = Read(check);
    if (result == ERROR_FILE_NOT_FOUND) {
        auto init = [&](Txn& t) { return records::InitFormat(t, &problem); };
        result = Write(init);
    }
    if (result != ERROR_SUCCESS) {
        *error = Describe(dir, problem.empty() ? std::string("the hive cannot be read") : problem, 0);
        return result;
    }
    return ERROR_SUCCESS;
}

bool Hive::Env::Reserve(int fd, std::size_t bytes)
{
    if (::fallocate(fd, 0, 0, static_cast<off_t>(bytes)) == 0)
        return true;
    // Without fallocate the file stays sparse, as plain LMDB leaves it.
    return errno == EOPNOTSUPP || errno == ENOSYS;
}

Hive::Env::~Env()
{
    if (pid_ != getpid())
        return; // inherited through fork(): the parent's, not ours to close
    if (env_) {
        for (MDB_txn* txn : readers_)
            mdb_txn_abort(txn);
        mdb_env_close(env_);
    }
    if (growFd_ >= 0)
        ::close(growFd_);
    pthread_rwlock_destroy(&mapLock_);
}

MDB_txn* Hive::Env::TakeReader()
{
    std::lock_guard<std::mutex> guard(poolMutex_);
    if (readers_.empty())
        return nullptr;
    MDB_txn* txn = readers_.back();
    readers_.pop_back();
    return txn;
}

void Hive::Env::GiveReader(MDB_txn* txn)
{
    std::lock_guard<std::mutex> guard(poolMutex_);
    readers_.push_back(txn);
}

Result Hive::Env::Read(TxnFn fn)
{
    bool checkedReaders = false;
    for (int attempt = 0;; ++attempt) {
        pthread_rwlock_rdlock(&mapLock_);
        std::uint64_t generation = mapGeneration_;
        MDB_txn* txn = TakeReader();
        int rc = 0;
        if (txn) {
            rc = mdb_txn_renew(txn);
            if (rc) {
                mdb_txn_abort(txn);
                txn = nullptr;
            }
        } else {
            rc = mdb_txn_begin(env_, nullptr, MDB_RDONLY, &txn);
        }
        Result result = ERROR_SUCCESS;
        if (rc == 0) {
            Txn t { txn, dbi_ };
            result = fn(t);
            rc = t.failure;
            mdb_txn_reset(txn);
            GiveReader(txn);
        }
        pthread_rwlock_unlock(&mapLock_);
        if (rc == 0)
            return result;
        if (rc == MDB_MAP_RESIZED && attempt < kMaxAttempts && Resize(generation, false))
            continue;
        if (rc == MDB_READERS_FULL && !checkedReaders) {
            // Slots of killed processes are freed here, not only at open.
            int dead = 0;
            mdb_reader_check(env_, &dead);
            checkedReaders = true;
            continue;
        }
        return StorageResult(rc, false);
    }
}

Result Hive::Env::Write(TxnFn fn)
{
    for (int attempt = 0;; ++attempt) {
        pthread_rwlock_rdlock(&mapLock_);
        std::uint64_t generation = mapGeneration_;
        MDB_txn* txn = nullptr;
        int rc = mdb_txn_begin(env_, nullptr, 0, &txn);
        Result result = ERROR_SUCCESS;
        if (rc == 0) {
            Txn t { txn, dbi_ };
            result = fn(t);
            if (t.failure) {
                mdb_txn_abort(txn);
                rc = t.failure;
            } else if (result != ERROR_SUCCESS) {
                mdb_txn_abort(txn);
            } else {
                rc = mdb_txn_commit(txn);
            }
        }
        pthread_rwlock_unlock(&mapLock_);
        if (rc == 0)
            return result;
        if ((rc == MDB_MAP_FULL || rc == MDB_MAP_RESIZED) && attempt < kMaxAttempts
            && Resize(generation, rc == MDB_MAP_FULL))
            continue;
        return StorageResult(rc, true);
    }
}

bool Hive::Env::Resize(std::uint64_t seenGeneration, bool grow)
{
    bool ok = true;
    pthread_rwlock_wrlock(&mapLock_);
    // Another thread may have resized the map while this one waited.
    if (mapGeneration_ == seenGeneration) {
        GrowLock lock(growFd_);
        int fd = -1;
        mdb_env_get_fd(env_, &fd);
        struct stat st { };
        ::fstat(fd, &st);
        MDB_envinfo info {};
        mdb_env_info(env_, &info);
        std::size_t fileBytes = static_cast<std::size_t>(st.st_size);
        std::size_t want = std::max(fileBytes, info.me_mapsize);
        if (grow) {
            int dead = 0;
            mdb_reader_check(env_, &dead);
            want = std::max(fileBytes, RoundUp(info.me_mapsize * 2));
        }
        if (want > fileBytes)
            ok = Reserve(fd, want);
        if (ok && want != info.me_mapsize && mdb_env_set_mapsize(env_, want) != 0) {
            // The old size is mapped again so the hive stays usable.
            mdb_env_set_mapsize(env_, info.me_mapsize);
            ok = false;
        }
        ++mapGeneration_;
    }
    pthread_rwlock_unlock(&mapLock_);
    return ok;
}

Result Hive::Env::Sync()
{
    pthread_rwlock_rdlock(&mapLock_);
    int rc = mdb_env_sync(env_, 1);
    pthread_rwlock_unlock(&mapLock_);
    return rc ? ERROR_CANTWRITE : ERROR_SUCCESS;
}

} // namespace reg
