#include "platform/registry/Names.h"

#include "exchange/CaseFold.h"
#include "platform/registry/Hive.h"

namespace reg::names {
namespace {

struct Digest {
    std::uint64_t a = 0xcbf29ce484222325ull;
    std::uint64_t b = 0x9e3779b97f4a7c15ull;
    void Add(std::uint16_t unit)
    {
        a = (a ^ unit) * 0x100000001b3ull;
        b = (b ^ (unit + 0x5bd1e995u)) * 0xff51afd7ed558ccdull;
        b ^= b >> 29;
    }
};

void PutUnit(std::uint8_t* out, std::size_t unitIndex, char16_t unit)
{
    out[unitIndex * 2] = static_cast<std::uint8_t>(unit >> 8);
    out[unitIndex * 2 + 1] = static_cast<std::uint8_t>(unit & 0xFF);
}

// Calls `emit(unit)` for each folded UTF-16 unit of `name`.
template <typename F> void FoldUnits(std::u16string_view name, F&& emit)
{
    for (std::size_t i = 0; i < name.size(); ++i) {
        char16_t u = name[i];
        if (u < 0x80) {
            emit(static_cast<char16_t>(u >= 'a' && u <= 'z' ? u - 32 : u));
        } else if (u >= 0xD800 && u < 0xDC00 && i + 1 < name.size() && name[i + 1] >= 0xDC00
            && name[i + 1] < 0xE000) {
            char32_t cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(name[i + 1]) - 0xDC00);
            cp = exchange::FoldCase(cp);
            emit(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            emit(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            ++i;
        } else {
            emit(static_cast<char16_t>(exchange::FoldCase(u)));
        }
    }
}

} // namespace

std::size_t Encode(std::u16string_view name, std::uint8_t* out)
{
    constexpr std::size_t kUnits = kMaxEncoded / 2;
    constexpr std::size_t kPrefixUnits = 240;
    // Names of up to kUnits units never grow when folded (no plane changes).
    if (name.size() <= kUnits) {
        std::size_t n = 0;
        FoldUnits(name, [&](char16_t u) { PutUnit(out, n++, u); });
        return n * 2;
    }
    std::size_t n = 0;
    Digest digest;
    FoldUnits(name, [&](char16_t u) {
        if (n < kPrefixUnits)
            PutUnit(out, n, u);
        ++n;
        digest.Add(u);
    });
    std::uint8_t* tail = out + kPrefixUnits * 2;
    for (int i = 0; i < 8; ++i) {
        tail[i] = static_cast<std::uint8_t>(digest.a >> (56 - 8 * i));
        tail[8 + i] = static_cast<std::uint8_t>(digest.b >> (56 - 8 * i));
    }
    tail[16] = 0xFF;
    return kPrefixUnits * 2 + 17;
}

bool ValidKeyName(std::u16string_view name)
{
    if (name.empty() || name.size() > kMaxKeyNameLength)
        return false;
    return name.find(u'\0') == std::u16string_view::npos && name.find(u'\\') == std::u16string_view::npos;
}

bool ValidValueName(std::u16string_view name)
{
    return name.size() <= kMaxValueNameLength && name.find(u'\0') == std::u16string_view::npos;
}

} // namespace reg::names

namespace reg {

bool NamesEqual(std::u16string_view a, std::u16string_view b)
{
    std::u16string_view::size_type i = 0, j = 0;
    auto next = [](std::u16string_view s, std::u16string_view::size_type& k) -> char32_t {
        char16_t u = s[k++];
        if (u >= 0xD800 && u < 0xDC00 && k < s.size() && s[k] >= 0xDC00 && s[k] < 0xE000)
            return 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(s[k++]) - 0xDC00);
        return u;
    };
    while (i < a.size() && j < b.size()) {
        if (exchange::FoldCase(next(a, i)) != exchange::FoldCase(next(b, j)))
            return false;
    }
    return i == a.size() && j == b.size();
}

Root RootFromName(std::u16string_view name)
{
    struct Entry {
        std::u16string_view shortName, longName;
        Root root;
    };
    static constexpr Entry kRoots[] = {
        { u"HKCR", u"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT },
        { u"HKCU", u"HKEY_CURRENT_USER", HKEY_CURRENT_USER },
        { u"HKLM", u"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE },
    };
    for (const Entry& e : kRoots) {
        if (NamesEqual(name, e.shortName) || NamesEqual(name, e.longName))
            return e.root;
    }
    return 0;
}

std::u16string_view RootName(Root root)
{
    switch (root) {
    case HKEY_CLASSES_ROOT:
        return u"HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
        return u"HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
        return u"HKEY_LOCAL_MACHINE";
    default:
        return {};
    }
}

} // namespace reg
