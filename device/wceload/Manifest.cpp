#include "device/wceload/Manifest.h"

#include "exchange/Text.h"
#include "platform/store/DevicePath.h"

#include <algorithm>

namespace wceload {
namespace {

bool IsNameByte(std::uint8_t b)
{
    return b >= 0x20 && b != 0x7F;
}

// A zero-terminated 8-bit name starting at *pos; advances past its terminator.
bool ReadName(const std::vector<std::uint8_t>& bytes, std::size_t* pos, std::string* name)
{
    auto end = std::find(bytes.begin() + std::ptrdiff_t(*pos), bytes.end(), 0);
    if (end == bytes.end())
        return false;
    name->assign(bytes.begin() + std::ptrdiff_t(*pos), end);
    *pos = std::size_t(end - bytes.begin()) + 1;
    return !name->empty() && name->size() <= kMaxNameBytes
        && std::all_of(name->begin(), name->end(), [](char c) { return IsNameByte(std::uint8_t(c)); });
}

std::string Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return std::string(s);
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// A device path of the manifest: absolute, valid once %InstallDir% is
// replaced by a valid folder.
bool ValidTarget(const std::u16string& path)
{
    store::DevicePath parsed;
    std::u16string expanded = ExpandInstallDir(path, u"\\Program Files\\X");
    if (expanded.empty() || expanded.front() != u'\\')
        return false;
    return store::ParseDevicePath(expanded, store::PathKind::Name, &parsed) == ERROR_SUCCESS
        && !parsed.IsRoot();
}

std::u16string Widen(std::string_view s)
{
    return exchange::WidenLatin1(s);
}

} // namespace

bool ParseManifest(const std::vector<std::uint8_t>& bytes, Manifest* manifest, std::string* error)
{
    *manifest = Manifest();
    if (bytes.size() < kManifestHeaderBytes
        || !std::equal(kManifestMagic.begin(), kManifestMagic.end(), bytes.begin())) {
        *error = "the cabinet's first member is not an installation manifest";
        return false;
    }
    std::size_t pos = kManifestHeaderBytes;
    if (!ReadName(bytes, &pos, &manifest->application) || !ReadName(bytes, &pos, &manifest->provider)) {
        *error = "the manifest's application name or provider is missing or invalid";
        return false;
    }
    std::string text(bytes.begin() + std::ptrdiff_t(pos), bytes.end());
    std::size_t lineNo = 0, start = 0;
    bool haveDir = false;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trim(std::string_view(text).substr(start, end - start));
        start = end + 1;
        ++lineNo;
        if (line.empty() || line.front() == '#')
            continue;
        auto fail = [&](const std::string& why) {
            *error = "manifest line " + std::to_string(lineNo) + ": " + why;
            return false;
        };
        std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            return fail("not a directive");
        std::string key = Lower(Trim(std::string_view(line).substr(0, eq)));
        std::string value = Trim(std::string_view(line).substr(eq + 1));
        if (value.find('\0') != std::string::npos)
            return fail("a zero byte in a directive");
        if (key == "installdir") {
            if (haveDir)
                return fail("InstallDir given twice");
            manifest->installDir = exchange::FromUtf8(value);
            if (!ValidTarget(manifest->installDir) || manifest->installDir.find(u'%') != std::u16string::npos)
                return fail("InstallDir is not a device folder");
            haveDir = true;
        } else if (key == "file") {
            std::size_t bar = value.find('|');
            if (bar == std::string::npos || bar == 0)
                return fail("File needs a member and a device path");
            ManifestFile f { value.substr(0, bar), exchange::FromUtf8(value.substr(bar + 1)) };
            if (!ValidTarget(f.target))
                return fail("File target is not a device path");
            manifest->files.push_back(std::move(f));
        } else if (key == "registry") {
            if (!manifest->registryMember.empty())
                return fail("Registry given twice");
            if (value.empty())
                return fail("Registry needs a member");
            manifest->registryMember = value;
        } else {
            return fail("unknown directive \"" + key + "\"");
        }
    }
    return true;
}

std::vector<std::uint8_t> FormatManifest(const Manifest& manifest)
{
    std::vector<std::uint8_t> out(kManifestMagic.begin(), kManifestMagic.end());
    out.resize(kManifestHeaderBytes, 0);
    out.insert(out.end(), manifest.application.begin(), manifest.application.end());
    out.push_back(0);
    out.insert(out.end(), manifest.provider.begin(), manifest.provider.end());
    out.push_back(0);
    std::string text;
    if (!manifest.installDir.empty())
        text += "InstallDir=" + exchange::ToUtf8(manifest.installDir) + "\n";
    for (const auto& f : manifest.files)
        text += "File=" + f.member + "|" + exchange::ToUtf8(f.target) + "\n";
    if (!manifest.registryMember.empty())
        text += "Registry=" + manifest.registryMember + "\n";
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

std::u16string AppKeyName(const Manifest& manifest)
{
    return Widen(manifest.provider) + u" " + Widen(manifest.application);
}

std::u16string InstallDir(const Manifest& manifest)
{
    return manifest.installDir.empty() ? u"\\Program Files\\" + Widen(manifest.application)
                                       : manifest.installDir;
}

std::u16string ExpandInstallDir(std::u16string_view text, std::u16string_view installDir)
{
    static constexpr std::u16string_view kToken = u"%INSTALLDIR%";
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.size() - i >= kToken.size()
            && exchange::EqualsIgnoreAsciiCase(text.substr(i, kToken.size()), kToken)) {
            out += installDir;
            i += kToken.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

bool ParseCommandLine(std::u16string_view text, CommandLine* out, std::string* error)
{
    *out = CommandLine();
    auto skipBlanks = [&] {
        while (!text.empty() && (text.front() == u' ' || text.front() == u'\t'))
            text.remove_prefix(1);
    };
    auto word = [&] {
        skipBlanks();
        std::size_t n = 0;
        while (n < text.size() && text[n] != u' ' && text[n] != u'\t')
            ++n;
        std::u16string_view w = text.substr(0, n);
        text.remove_prefix(n);
        return w;
    };
    for (;;) {
        skipBlanks();
        if (text.empty() || (text.front() != u'/' && text.front() != u'-'))
            break;
        std::u16string_view option = word();
        std::u16string_view name = option.substr(1);
        if (exchange::EqualsIgnoreAsciiCase(name, u"noaskdest")) {
            out->noAskDest = true;
        } else if (exchange::EqualsIgnoreAsciiCase(name, u"delete")) {
            std::u16string_view value = word();
            if (value == u"0")
                out->deleteCab = false;
            else if (value == u"1")
                out->deleteCab = true;
            else {
                *error = "/delete takes 0 or 1";
                return false;
            }
        } else {
            *error = "unknown option " + exchange::ToUtf8(option);
            return false;
        }
    }
    skipBlanks();
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == u'"') {
        std::size_t close = text.find(u'"', 1);
        if (close == std::u16string_view::npos || close + 1 != text.size()) {
            *error = "the CAB path's quotes do not close at its end";
            return false;
        }
        text = text.substr(1, close - 1);
    }
    if (text.empty()) {
        *error = "no CAB file given";
        return false;
    }
    out->cabPath = std::u16string(text);
    return true;
}

} // namespace wceload
