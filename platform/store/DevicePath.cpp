#include "platform/store/DevicePath.h"

#include "platform/store/Names.h"

namespace store {
namespace {

bool IsForbidden(char16_t c, bool allowWildcards)
{
    if (c < 0x20)
        return true;
    switch (c) {
    case u'<':
    case u'>':
    case u':':
    case u'"':
    case u'/':
    case u'|':
        return true;
    case u'?':
    case u'*':
        return !allowWildcards;
    default:
        return false;
    }
}

bool WellFormedUtf16(std::u16string_view s)
{
    for (std::size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF)
                return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

std::u16string_view StripTrailingDotsAndSpaces(std::u16string_view s)
{
    while (!s.empty() && (s.back() == u'.' || s.back() == u' '))
        s.remove_suffix(1);
    return s;
}

bool HasWildcard(std::u16string_view s)
{
    return s.find_first_of(u"?*") != std::u16string_view::npos;
}

// Glob match with * and ?, on folded code points.
bool Glob(const std::u32string& p, std::size_t pi, const std::u32string& n, std::size_t ni)
{
    std::size_t starP = std::u32string::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == U'?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == U'*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::u32string::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'*')
        ++pi;
    return pi == p.size();
}

} // namespace

std::u16string DevicePath::Text() const
{
    if (components.empty())
        return u"\\";
    std::u16string out;
    for (const auto& c : components) {
        out.push_back(u'\\');
        out += c;
    }
    return out;
}

bool IsValidComponent(std::u16string_view name)
{
    if (name.empty() || name.size() > kMaxComponentLength || name == u"." || name == u"..")
        return false;
    if (name.back() == u'.' || name.back() == u' ')
        return false;
    for (char16_t c : name)
        if (c == u'\\' || IsForbidden(c, false))
            return false;
    return WellFormedUtf16(name);
}

DWORD ParseDevicePath(std::u16string_view path, PathKind kind, DevicePath* out)
{
    out->components.clear();
    out->wildcard = false;
    if (path.size() > 32767)
        return ERROR_FILENAME_EXCED_RANGE;

    // Split first: wildcards are allowed only in the last component.
    std::vector<std::u16string_view> raw;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos)
            end = path.size();
        if (end > start)
            raw.push_back(path.substr(start, end - start));
        start = end + 1;
    }

    for (std::size_t i = 0; i < raw.size(); ++i) {
        std::u16string_view c = raw[i];
        bool last = i + 1 == raw.size();
        bool wild = kind == PathKind::Pattern && last && HasWildcard(c);
        for (char16_t ch : c)
            if (IsForbidden(ch, wild))
                return ERROR_INVALID_NAME;
        if (!WellFormedUtf16(c))
            return ERROR_INVALID_NAME;
        if (c == u".")
            continue;
        if (c == u"..") {
            if (!out->components.empty())
                out->components.pop_back();
            continue;
        }
        // A pattern keeps its trailing dots: "*." means names without an extension.
        std::u16string_view name = wild ? c : StripTrailingDotsAndSpaces(c);
        if (name.empty())
            return ERROR_INVALID_NAME;
        if (name.size() > kMaxComponentLength)
            return ERROR_FILENAME_EXCED_RANGE;
        out->components.emplace_back(name);
        out->wildcard = wild;
    }
    if (!out->components.empty() && !HasWildcard(out->components.back()))
        out->wildcard = false;

    std::size_t length = 0;
    for (const auto& c : out->components)
        length += 1 + c.size();
    if (length > kMaxPathLength)
        return ERROR_PATH_NOT_FOUND;
    return ERROR_SUCCESS;
}

bool MatchesPattern(std::u16string_view pattern, std::u16string_view name)
{
    return MatchesFolded(Fold(pattern), Fold(name));
}

bool MatchesFolded(const std::u32string& p, const std::u32string& n)
{
    if (p == U"*" || p == U"*.*")
        return true;
    if (Glob(p, 0, n, 0))
        return true;
    bool nameHasDot = n.find(U'.') != std::u32string::npos;
    if (nameHasDot)
        return false;
    // "abc.*" matches "abc"; "*." matches names without an extension.
    if (p.size() >= 2 && p.ends_with(U".*"))
        return Glob(p.substr(0, p.size() - 2), 0, n, 0);
    if (p.size() >= 1 && p.back() == U'.')
        return Glob(p.substr(0, p.size() - 1), 0, n, 0);
    return false;
}

} // namespace store
