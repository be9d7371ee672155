#include "platform/registry/Cereg.h"

#include "platform/registry/Hive.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/ValueText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace reg {
namespace {

const char kUsage[]
    = "Usage:\n"
      "  cereg --hive DIR query  KEY [/v NAME | /ve] [/s]\n"
      "  cereg --hive DIR add    KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n"
      "  cereg --hive DIR delete KEY [/v NAME | /ve | /va] [/f]\n"
      "  cereg --hive DIR export KEY FILE [/y]\n"
      "  cereg --hive DIR import FILE\n"
      "\n"
      "KEY    HKLM, HKCU or HKCR (or HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,\n"
      "       HKEY_CLASSES_ROOT), then \\ and the path of the key\n"
      "TYPE   REG_SZ (default), REG_EXPAND_SZ, REG_BINARY, REG_DWORD,\n"
      "       REG_DWORD_BIG_ENDIAN, REG_MULTI_SZ, REG_QWORD, REG_NONE\n"
      "DATA   REG_DWORD: decimal or 0x hex; REG_BINARY: hex digits;\n"
      "       REG_MULTI_SZ: strings separated by \\0 (or by /s SEPARATOR)\n"
      "FILE   a .reg file (\"Windows Registry Editor Version 5.00\")\n";

const char kDone[] = "The operation completed successfully.\n";
const char kInvalidSyntax[] = "ERROR: Invalid syntax.\nType \"cereg --help\" for usage.\n";
const char kInvalidKey[] = "ERROR: Invalid key name.\nType \"cereg --help\" for usage.\n";

std::string ResultText(Result r)
{
    switch (r) {
    case ERROR_FILE_NOT_FOUND:
        return "The system was unable to find the specified registry key or value.";
    case ERROR_ACCESS_DENIED:
        return "Access is denied.";
    case ERROR_INVALID_HANDLE:
        return "The handle is invalid.";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "Not enough memory resources are available to process this command.";
    case ERROR_INVALID_PARAMETER:
        return "The parameter is incorrect.";
    case ERROR_CANTREAD:
        return "The configuration registry key could not be read.";
    case ERROR_CANTWRITE:
        return "The configuration registry key could not be written.";
    default:
        return "Error " + std::to_string(r) + ".";
    }
}

bool Lower(const std::string& a, const char* b)
{
    if (a.size() != std::strlen(b))
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        if (c != b[i])
            return false;
    }
    return true;
}

// The switches and plain arguments of one command.
struct Arguments {
    std::vector<std::string> plain;
    std::map<std::string, std::optional<std::string>> switches; // "/v" -> name, "/f" -> none

    bool Has(const char* name) const { return switches.count(name) != 0; }
    std::string Get(const char* name) const
    {
        auto it = switches.find(name);
        return it != switches.end() && it->second ? *it->second : std::string();
    }
};

// Splits `args` after the command word. `withValue` lists the switches that
// take the next argument. False when a switch is repeated or lacks its
// argument; anything that is not a known switch is a plain argument.
bool Split(const std::vector<std::string>& args, std::size_t from, const std::vector<const char*>& flags,
    const std::vector<const char*>& withValue, Arguments* out)
{
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || (a[0] != '/' && a[0] != '-')) {
            out->plain.push_back(a);
            continue;
        }
        std::string name = "/" + a.substr(1);
        for (char& c : name)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        bool known = false;
        for (const char* f : withValue) {
            if (name == f) {
                if (i + 1 >= args.size() || out->switches.count(name))
                    return false;
                out->switches[name] = args[++i];
                known = true;
            }
        }
        for (const char* f : flags) {
            if (name == f) {
                if (out->switches.count(name))
                    return false;
                out->switches[name] = std::nullopt;
                known = true;
            }
        }
        if (!known)
            out->plain.push_back(a); // a path such as /tmp/a.reg
    }
    return true;
}

bool ParseKey(const std::string& text, Root* root, std::u16string* path)
{
    std::u16string key = FromUtf8(text);
    std::size_t cut = key.find(u'\\');
    *root = RootFromName(std::u16string_view(key).substr(0, cut));
    *path = cut == std::u16string::npos ? u"" : key.substr(cut + 1);
    return *root != 0;
}

std::string FullName(Root root, const std::u16string& stored)
{
    std::string name = ToUtf8(RootName(root));
    if (!stored.empty())
        name += "\\" + ToUtf8(stored);
    return name;
}

void PrintValue(std::ostream& out, const ValueEntry& v)
{
    out << ToUtf8(QueryLine(v.name, v.type, v.data)) << "\n";
}

class Command {
public:
    Command(Hive& hive, std::ostream& out, std::ostream& err)
        : hive_(hive)
        , out_(out)
        , err_(err)
    {
    }

    int Fail(Result r)
    {
        err_ << "ERROR: " << ResultText(r) << "\n";
        return 1;
    }

    int Query(const Arguments& a)
    {
        Root root;
        std::u16string path, stored;
        if (a.plain.size() != 1 || (a.Has("/v") && a.Has("/ve")))
            return Syntax();
        if (!ParseKey(a.plain[0], &root, &path))
            return InvalidKey();
        if (Result r = hive_.StoredPath(root, path, &stored))
            return r == ERROR_INVALID_PARAMETER ? InvalidKey() : Fail(r);
        std::string top = FullName(root, stored);
        if (a.Has("/v") || a.Has("/ve")) {
            ValueEntry v;
            v.name = FromUtf8(a.Get("/v"));
            if (Result r = hive_.QueryValue(root, stored, v.name, &v.type, &v.data))
                return Fail(r);
            // Show the name as stored, not as typed.
            std::u16string name;
            for (std::uint32_t i = 0;
                 hive_.EnumValue(root, stored, i, &name, nullptr, nullptr) == ERROR_SUCCESS; ++i) {
                if (NamesEqual(name, v.name)) {
                    v.name = name;
                    break;
                }
            }
            out_ << "\n" << top << "\n";
            PrintValue(out_, v);
            out_ << "\n";
            return 0;
        }
        std::vector<KeyEntry> tree;
        if (Result r = hive_.ReadTree(root, stored, &tree))
            return Fail(r);
        if (a.Has("/s")) {
            for (const KeyEntry& key : tree) {
                out_ << "\n" << (key.path.empty() ? top : top + "\\" + ToUtf8(key.path)) << "\n";
                for (const ValueEntry& v : key.values)
                    PrintValue(out_, v);
            }
            out_ << "\n";
            return 0;
        }
        out_ << "\n" << top << "\n";
        for (const ValueEntry& v : tree[0].values)
            PrintValue(out_, v);
        out_ << "\n";
        for (std::size_t i = 1; i < tree.size(); ++i) {
            if (tree[i].path.find(u'\\') == std::u16string::npos)
                out_ << top << "\\" << ToUtf8(tree[i].path) << "\n";
        }
        return 0;
    }

    int Add(const Arguments& a)
    {
        Root root;
        std::u16string path;
        if (a.plain.size() != 1 || (a.Has("/v") && a.Has("/ve")))
            return Syntax();
        if (!ParseKey(a.plain[0], &root, &path))
            return InvalidKey();
        std::uint32_t type = REG_SZ;
        if (a.Has("/t") && !TypeFromName(a.Get("/t"), &type)) {
            err_ << "ERROR: Invalid type \"" << a.Get("/t") << "\".\nType \"cereg --help\" for usage.\n";
            return 1;
        }
        bool setValue = a.Has("/v") || a.Has("/ve") || a.Has("/d") || a.Has("/t");
        std::vector<Change> changes = { { Change::CreateKey, root, path, {}, REG_NONE, {} } };
        if (setValue) {
            std::vector<std::uint8_t> data;
            std::string why;
            if (!DataFromArgument(type, FromUtf8(a.Get("/d")), FromUtf8(a.Get("/s")), &data, &why)) {
                err_ << "ERROR: " << why << "\n";
                return 1;
            }
            changes.push_back({ Change::SetValue, root, path, FromUtf8(a.Get("/v")), type, std::move(data) });
        }
        if (Result r = hive_.Apply(changes))
            return r == ERROR_INVALID_PARAMETER ? InvalidKey() : Fail(r);
        out_ << kDone;
        return 0;
    }

    int Delete(const Arguments& a)
    {
        Root root;
        std::u16string path;
        int forms = a.Has("/v") + a.Has("/ve") + a.Has("/va");
        if (a.plain.size() != 1 || forms > 1)
            return Syntax();
        if (!ParseKey(a.plain[0], &root, &path))
            return InvalidKey();
        Result r;
        if (a.Has("/va")) {
            r = hive_.OpenKey(root, path);
            std::u16string name;
            while (r == ERROR_SUCCESS
                && hive_.EnumValue(root, path, 0, &name, nullptr, nullptr) == ERROR_SUCCESS)
                r = hive_.DeleteValue(root, path, name);
        } else if (forms) {
            r = hive_.DeleteValue(root, path, FromUtf8(a.Get("/v")));
        } else {
            r = hive_.DeleteKey(root, path);
            if (r == ERROR_ACCESS_DENIED)
                return InvalidKey(); // a root cannot be deleted
        }
        if (r)
            return r == ERROR_INVALID_PARAMETER ? InvalidKey() : Fail(r);
        out_ << kDone;
        return 0;
    }

    int Export(const Arguments& a)
    {
        Root root;
        std::u16string path, stored, text;
        if (a.plain.size() != 2)
            return Syntax();
        if (!ParseKey(a.plain[0], &root, &path))
            return InvalidKey();
        std::vector<KeyEntry> tree;
        if (Result r = hive_.StoredPath(root, path, &stored))
            return r == ERROR_INVALID_PARAMETER ? InvalidKey() : Fail(r);
        if (Result r = hive_.ReadTree(root, stored, &tree))
            return Fail(r);
        std::string why;
        if (!FormatRegFile(root, stored, tree, &text, &why)) {
            err_ << "ERROR: Cannot export: " << why << ".\n";
            return 1;
        }
        if (!WriteWhole(a.plain[1], EncodeRegFile(text), &why)) {
            err_ << "ERROR: Unable to write the file " << a.plain[1] << ": " << why << "\n";
            return 1;
        }
        out_ << kDone;
        return 0;
    }

    int Import(const Arguments& a)
    {
        if (a.plain.size() != 1)
            return Syntax();
        std::ifstream in(a.plain[0], std::ios::binary);
        if (!in) {
            err_ << "ERROR: Error opening the file " << a.plain[0] << ": " << std::strerror(errno) << "\n";
            return 1;
        }
        std::vector<std::uint8_t> bytes(
            (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) {
            err_ << "ERROR: Error reading the file " << a.plain[0] << "\n";
            return 1;
        }
        std::vector<Change> changes;
        std::string why;
        if (!ParseRegFile(DecodeRegFile(bytes), &changes, &why)) {
            err_ << "ERROR: " << a.plain[0] << " is not a valid registry file: " << why << "\n";
            return 1;
        }
        if (Result r = hive_.Apply(changes)) {
            err_ << "ERROR: Error accessing the registry: " << ResultText(r) << "\n";
            return 1;
        }
        out_ << kDone;
        return 0;
    }

private:
    int Syntax()
    {
        err_ << kInvalidSyntax;
        return 1;
    }
    int InvalidKey()
    {
        err_ << kInvalidKey;
        return 1;
    }

    // Writes a temporary file beside `file` and renames it into place, so an
    // interrupted export never leaves half a file.
    static bool WriteWhole(const std::string& file, const std::vector<std::uint8_t>& bytes, std::string* why)
    {
        std::string temp = file + ".XXXXXX";
        int fd = mkstemp(temp.data());
        if (fd < 0) {
            *why = std::strerror(errno);
            return false;
        }
        mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask); // as a plainly created file, not mkstemp's 0600
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        int saved = errno;
        bool ok = done == bytes.size() && fsync(fd) == 0;
        if (!ok && done == bytes.size())
            saved = errno;
        if (close(fd) != 0 && ok) {
            ok = false;
            saved = errno;
        }
        if (ok && std::rename(temp.c_str(), file.c_str()) != 0) {
            ok = false;
            saved = errno;
        }
        if (!ok) {
            unlink(temp.c_str());
            *why = std::strerror(saved);
        }
        return ok;
    }

    Hive& hive_;
    std::ostream& out_;
    std::ostream& err_;
};

} // namespace

int RunCereg(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    std::string hiveDir;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h" || a == "/?") {
            out << kUsage;
            return 0;
        }
        if (a == "--hive" && i + 1 < args.size()) {
            hiveDir = args[++i];
        } else if (a.rfind("--hive=", 0) == 0) {
            hiveDir = a.substr(7);
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        err << kInvalidSyntax;
        return 1;
    }
    const std::string& command = args[i];
    Arguments a;
    bool ok;
    if (Lower(command, "query"))
        ok = Split(args, i + 1, { "/ve", "/s" }, { "/v" }, &a);
    else if (Lower(command, "add"))
        ok = Split(args, i + 1, { "/ve", "/f" }, { "/v", "/t", "/s", "/d" }, &a);
    else if (Lower(command, "delete"))
        ok = Split(args, i + 1, { "/ve", "/va", "/f" }, { "/v" }, &a);
    else if (Lower(command, "export"))
        ok = Split(args, i + 1, { "/y" }, {}, &a);
    else if (Lower(command, "import"))
        ok = Split(args, i + 1, {}, {}, &a);
    else
        ok = false;
    if (!ok) {
        err << kInvalidSyntax;
        return 1;
    }
    if (hiveDir.empty()) {
        err << "ERROR: No hive given: name its folder with --hive DIR.\n";
        return 1;
    }
    // Looking at a folder that holds no hive would only create an empty one.
    bool changes = Lower(command, "add") || Lower(command, "import");
    if (!changes && access((std::filesystem::path(hiveDir) / "data.mdb").c_str(), F_OK) != 0) {
        err << "ERROR: No registry hive in " << hiveDir << ".\n";
        return 1;
    }
    std::string error;
    std::unique_ptr<Hive> hive = Hive::Open(hiveDir, Sync::EveryCommit, &error);
    if (!hive) {
        err << "ERROR: " << error << "\n";
        return 1;
    }
    Command run(*hive, out, err);
    if (Lower(command, "query"))
        return run.Query(a);
    if (Lower(command, "add"))
        return run.Add(a);
    if (Lower(command, "delete"))
        return run.Delete(a);
    if (Lower(command, "export"))
        return run.Export(a);
    return run.Import(a);
}

} // namespace reg
