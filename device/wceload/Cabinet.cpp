// libmspack reads and writes through an mspack_system of our own that serves
// two kinds of "file": the cabinet (the caller's bytes, read-only) and one
// output buffer per extracted member. Nothing touches the disk.
#include "device/wceload/Cabinet.h"

#include <mspack.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace wceload {
namespace {

constexpr const char* kCabinetName = "cabinet";
constexpr const char* kOutputName = "output";

// The base struct must come first: libmspack passes mspack_file pointers.
struct MemoryFile {
    mspack_file base {};
    const std::vector<std::uint8_t>* input = nullptr; // the cabinet
    std::vector<std::uint8_t>* output = nullptr; // the member being extracted
    std::size_t position = 0;
};

struct MemorySystem {
    mspack_system base {};
    const std::vector<std::uint8_t>* cabinet = nullptr;
    std::vector<std::uint8_t>* output = nullptr;
};

mspack_file* Open(mspack_system* self, const char* filename, int mode)
{
    auto* sys = reinterpret_cast<MemorySystem*>(self);
    auto* file = new (std::nothrow) MemoryFile;
    if (!file)
        return nullptr;
    if (std::string_view(filename) == kCabinetName && mode == MSPACK_SYS_OPEN_READ) {
        file->input = sys->cabinet;
    } else if (std::string_view(filename) == kOutputName && mode == MSPACK_SYS_OPEN_WRITE && sys->output) {
        file->output = sys->output;
        file->output->clear();
    } else {
        delete file;
        return nullptr;
    }
    return &file->base;
}

void Close(mspack_file* file)
{
    delete reinterpret_cast<MemoryFile*>(file);
}

int Read(mspack_file* file, void* buffer, int bytes)
{
    auto* f = reinterpret_cast<MemoryFile*>(file);
    if (!f->input || bytes < 0)
        return -1;
    std::size_t left = f->input->size() - std::min(f->position, f->input->size());
    std::size_t n = std::min<std::size_t>(left, std::size_t(bytes));
    if (n)
        std::memcpy(buffer, f->input->data() + f->position, n);
    f->position += n;
    return int(n);
}

int Write(mspack_file* file, void* buffer, int bytes)
{
    auto* f = reinterpret_cast<MemoryFile*>(file);
    if (!f->output || bytes < 0)
        return -1;
    if (f->output->size() + std::size_t(bytes) > kMaxExtractedBytes)
        return -1;
    auto* p = static_cast<const std::uint8_t*>(buffer);
    f->output->insert(f->output->end(), p, p + bytes);
    return bytes;
}

int Seek(mspack_file* file, off_t offset, int mode)
{
    auto* f = reinterpret_cast<MemoryFile*>(file);
    std::size_t size = f->input ? f->input->size() : f->output->size();
    off_t base = mode == MSPACK_SYS_SEEK_START ? 0
        : mode == MSPACK_SYS_SEEK_CUR          ? off_t(f->position)
        : mode == MSPACK_SYS_SEEK_END          ? off_t(size)
                                               : -1;
    if (base < 0 || base + offset < 0 || std::size_t(base + offset) > size)
        return -1;
    f->position = std::size_t(base + offset);
    return 0;
}

off_t Tell(mspack_file* file)
{
    return off_t(reinterpret_cast<MemoryFile*>(file)->position);
}

void Message(mspack_file*, const char*, ...) { }

void* Alloc(mspack_system*, size_t bytes)
{
    return std::malloc(bytes);
}

void Free(void* ptr)
{
    std::free(ptr);
}

void Copy(void* src, void* dest, size_t bytes)
{
    std::memmove(dest, src, bytes);
}

std::string ErrorText(int code)
{
    switch (code) {
    case MSPACK_ERR_SIGNATURE:
        return "not a cabinet";
    case MSPACK_ERR_DATAFORMAT:
        return "the cabinet is damaged";
    case MSPACK_ERR_CHECKSUM:
        return "a data block of the cabinet fails its checksum";
    case MSPACK_ERR_DECRUNCH:
        return "the cabinet's data cannot be decompressed";
    case MSPACK_ERR_NOMEMORY:
        return "not enough memory";
    case MSPACK_ERR_READ:
    case MSPACK_ERR_SEEK:
        return "the cabinet ends too early";
    case MSPACK_ERR_WRITE:
        return "a member is too large";
    default:
        return "the cabinet cannot be read (libmspack error " + std::to_string(code) + ")";
    }
}

struct Decompressor {
    mscab_decompressor* d = nullptr;
    ~Decompressor()
    {
        if (d)
            mspack_destroy_cab_decompressor(d);
    }
};

} // namespace

bool ReadCabinet(const std::vector<std::uint8_t>& bytes, std::vector<CabMember>* members, std::string* error)
{
    members->clear();
    if (bytes.size() > kMaxCabinetBytes) {
        *error = "the cabinet is too large";
        return false;
    }
    int selftest = MSPACK_ERR_OK;
    MSPACK_SYS_SELFTEST(selftest);
    if (selftest != MSPACK_ERR_OK) {
        *error = "libmspack does not match this program";
        return false;
    }
    MemorySystem sys;
    sys.base = { Open, Close, Read, Write, Seek, Tell, Message, Alloc, Free, Copy, nullptr };
    sys.cabinet = &bytes;
    Decompressor cab;
    cab.d = mspack_create_cab_decompressor(&sys.base);
    if (!cab.d) {
        *error = "not enough memory";
        return false;
    }
    mscabd_cabinet* cabinet = cab.d->open(cab.d, const_cast<char*>(kCabinetName));
    if (!cabinet) {
        *error = ErrorText(cab.d->last_error(cab.d));
        return false;
    }
    bool ok = true;
    if (cabinet->prevcab || cabinet->nextcab || cabinet->prevname || cabinet->nextname) {
        *error = "the cabinet belongs to a set of several cabinets";
        ok = false;
    }
    std::size_t total = 0;
    for (mscabd_file* f = cabinet->files; ok && f; f = f->next) {
        total += f->length;
        if (total > kMaxExtractedBytes) {
            *error = "the cabinet's members are too large";
            ok = false;
            break;
        }
        CabMember member;
        member.name = f->filename ? f->filename : "";
        sys.output = &member.data;
        int r = cab.d->extract(cab.d, f, const_cast<char*>(kOutputName));
        sys.output = nullptr;
        if (r != MSPACK_ERR_OK || member.data.size() != f->length) {
            *error = "member \"" + member.name
                + "\": " + ErrorText(r == MSPACK_ERR_OK ? MSPACK_ERR_DATAFORMAT : r);
            ok = false;
            break;
        }
        members->push_back(std::move(member));
    }
    cab.d->close(cab.d, cabinet);
    if (!ok)
        members->clear();
    return ok;
}

} // namespace wceload
