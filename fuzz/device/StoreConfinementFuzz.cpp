// Runs store operations on arbitrary device paths against a scratch store
// and checks that nothing reaches outside it: the folder holding the store
// and the file beside it stay exactly as they were, links inside the store
// included (one points at that file, one at the folder above).
#include "FuzzScratch.h"
#include "platform/store/Store.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Scratch {
    std::filesystem::path dir;
    std::unique_ptr<store::Store> store;

    Scratch()
    {
        dir = fuzzscratch::MakeFolder();
        std::filesystem::create_directory(dir / "files");
        std::ofstream(dir / "beside") << "beside";
        Reset();
        std::string error;
        store = store::Store::Open(dir / "files", &error);
        if (!store)
            std::abort();
        Remember();
    }
    void Reset()
    {
        fuzzscratch::Empty(dir / "files");
        std::filesystem::create_directory(dir / "files" / "sub");
        std::filesystem::create_symlink(dir / "beside", dir / "files" / "link");
        std::filesystem::create_symlink(dir, dir / "files" / "sub" / "up");
    }
    // A stat of each is enough and cheap: an entry added to or removed from
    // the folder changes its modification time, a write to the file changes
    // the file's.
    void CheckConfined() const
    {
        struct stat folder;
        struct stat file;
        if (stat(dir.c_str(), &folder) != 0 || stat((dir / "beside").c_str(), &file) != 0
            || !Same(folder, m_folder) || !Same(file, m_beside))
            std::abort();
    }
    void Remember()
    {
        if (stat(dir.c_str(), &m_folder) != 0 || stat((dir / "beside").c_str(), &m_beside) != 0)
            std::abort();
    }
    static bool Same(const struct stat& a, const struct stat& b)
    {
        return a.st_ino == b.st_ino && a.st_size == b.st_size && a.st_nlink == b.st_nlink
            && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
    }
    struct stat m_folder;
    struct stat m_beside;
    ~Scratch()
    {
        store.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Scratch& Store()
{
    static Scratch scratch;
    return scratch;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Paths past the longest a device accepts only test the length check.
    if (size < 1 || size > 1024)
        return 0;
    std::u16string path;
    for (std::size_t i = 1; i + 1 < size; i += 2)
        path.push_back(char16_t(data[i] | (data[i + 1] << 8)));

    Scratch& s = Store();
    store::Store& st = *s.store;
    std::vector<store::FindEntry> found;
    DWORD attributes;
    std::unique_ptr<store::File> file;
    bool existed;
    switch (data[0] % 8) {
    case 0:
        st.Find(path, FAF_NAME | FAF_ATTRIBUTES | FAF_SIZE_LOW, &found);
        break;
    case 1:
        st.GetAttributes(path, &attributes);
        break;
    case 2:
        if (st.CreateFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, &file, &existed)
            == 0) {
            std::uint32_t done;
            file->Write("fuzz", 4, &done);
        }
        break;
    case 3:
        st.CreateDirectory(path);
        break;
    case 4:
        st.DeleteFile(path);
        break;
    case 5:
        st.RemoveDirectory(path);
        break;
    case 6:
        st.MoveFile(path, u"\\sub\\moved");
        st.MoveFile(u"\\sub\\moved", path);
        break;
    default:
        st.SetAttributes(path, FILE_ATTRIBUTE_HIDDEN);
        st.CopyFile(u"\\link", path, false);
        break;
    }
    s.CheckConfined();
    if (fuzzscratch::NowAndThen())
        s.Reset();
    return 0;
}
