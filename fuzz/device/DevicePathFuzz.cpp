// Resolves arbitrary device paths against a scratch store and checks that
// nothing can reach outside it: whatever the path, the folder holding the
// store keeps exactly its two entries, the file beside the store keeps its
// content, and a parsed path always has valid components and a bounded length.
#include "device/store/DevicePath.h"
#include "device/store/Store.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

struct Scratch {
    std::filesystem::path dir;
    std::unique_ptr<store::Store> store;

    Scratch()
    {
        char tmpl[] = "/tmp/qvfuzz-XXXXXX";
        dir = mkdtemp(tmpl);
        std::filesystem::create_directory(dir / "files");
        std::ofstream(dir / "beside") << "beside";
        std::filesystem::create_directory(dir / "files" / "sub");
        std::filesystem::create_symlink(dir / "beside", dir / "files" / "link");
        std::filesystem::create_symlink(dir, dir / "files" / "sub" / "up");
        std::string error;
        store = store::Store::Open(dir / "files", &error);
        if (!store)
            std::abort();
    }
    void CheckConfined() const
    {
        int entries = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir)) {
            (void)e;
            ++entries;
        }
        std::ifstream in(dir / "beside");
        std::string content((std::istreambuf_iterator<char>(in)), {});
        if (entries != 2 || content != "beside")
            std::abort();
    }
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
    if (size < 1)
        return 0;
    std::u16string path;
    for (std::size_t i = 1; i + 1 < size; i += 2)
        path.push_back(char16_t(data[i] | (data[i + 1] << 8)));

    store::DevicePath parsed;
    if (store::ParseDevicePath(path, store::PathKind::Pattern, &parsed) == ERROR_SUCCESS) {
        if (parsed.Text().size() > store::kMaxPathLength)
            std::abort();
        for (std::size_t i = 0; i < parsed.components.size(); ++i)
            if (!(parsed.wildcard && i + 1 == parsed.components.size())
                && !store::IsValidComponent(parsed.components[i]))
                std::abort();
    }

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
    return 0;
}
