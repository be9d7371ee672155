#include "platform/store/Profile.h"

#include "platform/store/Names.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace device {
namespace {

// Identifier bytes as the device's identifier request returns them: a
// 20-byte header (total size, preset id offset and size, platform id offset
// and size) followed by the two ids, derived from `seed` so each profile has
// its own, stable identifier.
std::vector<std::uint8_t> MakeIdentifier(std::string_view seed)
{
    constexpr std::uint32_t kSize = 96, kPresetOffset = 20, kPresetBytes = 16, kPlatformOffset = 36,
                            kPlatformBytes = 60;
    std::vector<std::uint8_t> id;
    for (std::uint32_t v : { kSize, kPresetOffset, kPresetBytes, kPlatformOffset, kPlatformBytes })
        for (int i = 0; i < 4; ++i)
            id.push_back(std::uint8_t(v >> (8 * i)));
    std::uint64_t h = 14695981039346656037ull;
    for (char c : seed)
        h = (h ^ std::uint8_t(c)) * 1099511628211ull;
    while (id.size() < kSize) {
        h ^= h >> 29;
        h *= 0xBF58476D1CE4E5B9ull;
        h ^= h >> 32;
        id.push_back(std::uint8_t(h));
    }
    return id;
}

Profile Make(std::string name, DWORD major, DWORD minor, DWORD build, std::u16string platform,
    std::u16string oem, std::u16string csd)
{
    Profile p;
    p.identifier = MakeIdentifier(name);
    p.name = std::move(name);
    p.major = major;
    p.minor = minor;
    p.build = build;
    p.platformType = std::move(platform);
    p.oemInfo = std::move(oem);
    p.csdVersion = std::move(csd);
    return p;
}

const std::vector<Profile>& BuiltIns()
{
    static const std::vector<Profile> all = {
        Make("pocketpc", 5, 1, 1700, u"PocketPC", u"Quorvane Pocket PC (Windows Mobile 5.0)", u""),
        Make("pocketpc2003", 4, 20, 1081, u"PocketPC", u"Quorvane Pocket PC 2003", u""),
        Make("smartphone", 5, 1, 1700, u"SmartPhone", u"Quorvane Smartphone (Windows Mobile 5.0)", u""),
        Make("wince", 4, 20, 0, u"Windows CE", u"Quorvane WinCE Handheld", u""),
        Make("ppc2002", 3, 0, 11171, u"PocketPC", u"Quorvane Pocket PC 2002", u""),
    };
    return all;
}

std::string Trim(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return std::string(s.substr(b, e - b));
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool ParseVersion(const std::string& v, Profile* p)
{
    unsigned long parts[3];
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        std::size_t end = at;
        while (end < v.size() && std::isdigit(static_cast<unsigned char>(v[end])))
            ++end;
        if (end == at || end - at > 9)
            return false;
        parts[i] = std::stoul(v.substr(at, end - at));
        if (i < 2) {
            if (end >= v.size() || v[end] != '.')
                return false;
            at = end + 1;
        } else if (end != v.size()) {
            return false;
        }
    }
    p->major = DWORD(parts[0]);
    p->minor = DWORD(parts[1]);
    p->build = DWORD(parts[2]);
    return true;
}

bool ParseHex(const std::string& v, std::vector<std::uint8_t>* out)
{
    std::string digits;
    for (char c : v) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        digits.push_back(c);
    }
    if (digits.size() % 2 != 0)
        return false;
    out->clear();
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out->push_back(std::uint8_t(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return true;
}

bool ValidName(const std::string& n)
{
    return !n.empty() && n.size() <= 64 && std::all_of(n.begin(), n.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '_' || c == '.';
    });
}

std::string Utf8(const std::u16string& s)
{
    return store::HostName(s).value_or("");
}

} // namespace

const std::vector<std::string>& BuiltInProfileNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n;
        for (const auto& p : BuiltIns())
            n.push_back(p.name);
        return n;
    }();
    return names;
}

std::optional<Profile> BuiltInProfile(std::string_view name)
{
    for (const auto& p : BuiltIns())
        if (p.name == name)
            return p;
    return std::nullopt;
}

bool ParseProfile(std::string_view text, Profile* profile, std::string* error)
{
    Profile p;
    p.engine20 = p.engine30 = true;
    enum Field { kName = 1, kOs = 2, kPlatform = 4, kOem = 8, kIdentifier = 16, kAll = 31 };
    int seen = 0;
    int lineNo = 0;
    bool first = true;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    std::istringstream in { std::string(text) };
    std::string raw;
    while (std::getline(in, raw)) {
        ++lineNo;
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            return fail("expected \"key = value\"");
        std::string key = Lower(Trim(line.substr(0, eq)));
        std::string value = Trim(line.substr(eq + 1));
        if (key == "base") {
            if (!first)
                return fail("\"base\" must come first");
            auto base = BuiltInProfile(value);
            if (!base)
                return fail("no built-in profile named \"" + value + "\"");
            p = *base;
            seen = kAll;
        } else if (key == "name") {
            if (!ValidName(value))
                return fail("a name is 1 to 64 letters, digits, '-', '_' or '.'");
            p.name = value;
            seen |= kName;
        } else if (key == "os") {
            if (!ParseVersion(value, &p))
                return fail("os is major.minor.build, for example 5.1.1700");
            seen |= kOs;
        } else if (key == "platform" || key == "oem" || key == "csd") {
            auto text16 = store::DeviceName(value);
            if (!text16 || text16->size() > 127)
                return fail(key + " must be UTF-8 text of at most 127 characters");
            if (key != "csd" && text16->empty())
                return fail(key + " must not be empty");
            (key == "platform" ? p.platformType : key == "oem" ? p.oemInfo : p.csdVersion) = *text16;
            seen |= key == "platform" ? kPlatform : key == "oem" ? kOem : 0;
        } else if (key == "identifier") {
            if (!ParseHex(value, &p.identifier))
                return fail("identifier must be pairs of hex digits");
            if (p.identifier.size() < kMinIdentifierBytes || p.identifier.size() > kMaxIdentifierBytes)
                return fail("identifier must hold 80 to 4096 bytes");
            seen |= kIdentifier;
        } else if (key == "runtimes") {
            p.engine20 = p.engine30 = false;
            std::istringstream words(value);
            std::string w;
            bool none = false;
            while (words >> w) {
                if (w == "2.0")
                    p.engine20 = true;
                else if (w == "3.0")
                    p.engine30 = true;
                else if (Lower(w) == "none")
                    none = true;
                else
                    return fail("runtimes are \"2.0\", \"3.0\" or \"none\"");
            }
            if (none && (p.engine20 || p.engine30))
                return fail("\"none\" stands alone");
            if (!none && !p.engine20 && !p.engine30)
                return fail("runtimes are \"2.0\", \"3.0\" or \"none\"");
        } else {
            return fail("unknown key \"" + key + "\"");
        }
        first = false;
    }
    if (seen != kAll) {
        lineNo = 0;
        if (error)
            *error = "a profile without \"base\" needs name, os, platform, oem and identifier";
        return false;
    }
    *profile = std::move(p);
    return true;
}

std::string FormatProfile(const Profile& p)
{
    static const char* kHex = "0123456789ABCDEF";
    std::string hex;
    for (std::uint8_t b : p.identifier) {
        hex.push_back(kHex[b >> 4]);
        hex.push_back(kHex[b & 15]);
    }
    std::string runtimes = p.engine20 && p.engine30 ? "2.0 3.0"
        : p.engine20                                ? "2.0"
        : p.engine30                                ? "3.0"
                                                    : "none";
    return "name = " + p.name + "\nos = " + std::to_string(p.major) + "." + std::to_string(p.minor) + "."
        + std::to_string(p.build) + "\nplatform = " + Utf8(p.platformType) + "\noem = " + Utf8(p.oemInfo)
        + "\ncsd = " + Utf8(p.csdVersion) + "\nidentifier = " + hex + "\nruntimes = " + runtimes + "\n";
}

bool LoadProfile(const std::string& nameOrFile, Profile* profile, std::string* error)
{
    if (auto builtIn = BuiltInProfile(nameOrFile)) {
        *profile = *builtIn;
        return true;
    }
    std::ifstream in(nameOrFile, std::ios::binary);
    if (!in) {
        std::string names;
        for (const auto& n : BuiltInProfileNames())
            names += (names.empty() ? "" : ", ") + n;
        if (error)
            *error = "no profile \"" + nameOrFile + "\": not a built-in profile (" + names
                + ") nor a readable file";
        return false;
    }
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::string why;
    if (!ParseProfile(text, profile, &why)) {
        if (error)
            *error = "profile file " + nameOrFile + ": " + why;
        return false;
    }
    return true;
}

bool operator==(const Profile& a, const Profile& b)
{
    return a.name == b.name && a.major == b.major && a.minor == b.minor && a.build == b.build
        && a.platformType == b.platformType && a.oemInfo == b.oemInfo && a.csdVersion == b.csdVersion
        && a.identifier == b.identifier && a.engine20 == b.engine20 && a.engine30 == b.engine30;
}

} // namespace device
