#include "exchange/CabHeader.h"

#include <algorithm>

namespace exchange {
namespace {

constexpr std::size_t kNameBase = 108;
constexpr std::size_t kOffsetField = 36;
constexpr int kBackwardSteps = 100;

bool Printable(std::uint8_t byte)
{
    return byte >= 0x20 && byte <= 0x7F;
}

// The end of one printable string followed by the start of the next, all
// five bytes inside the buffer.
bool StringBoundaryAt(std::span<const std::uint8_t> bytes, std::size_t p)
{
    return p + 4 < bytes.size() && Printable(bytes[p]) && Printable(bytes[p + 1]) && bytes[p + 2] == 0
        && Printable(bytes[p + 3]) && Printable(bytes[p + 4]);
}

// The zero-terminated string at `start`; false when it is empty, runs past the
// buffer, or holds a character that cannot be part of a key name.
bool TakeString(std::span<const std::uint8_t> bytes, std::size_t start, std::string& out, std::size_t& end)
{
    if (start >= bytes.size())
        return false;
    const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(start);
    const auto zero = std::find(first, bytes.end(), std::uint8_t { 0 });
    if (zero == bytes.end() || zero == first)
        return false;
    for (auto it = first; it != zero; ++it) {
        if (*it < 0x20 || *it == 0x7F || *it == '\\')
            return false;
    }
    out.assign(first, zero);
    end = static_cast<std::size_t>(zero - bytes.begin());
    return true;
}

} // namespace

CabHeaderResult ReadCabApplication(std::span<const std::uint8_t> bytes, CabApplication& out)
{
    if (bytes.size() > kCabHeaderReadSize)
        bytes = bytes.first(kCabHeaderReadSize);
    if (bytes.size() < 4 || bytes[0] != 'M' || bytes[1] != 'S' || bytes[2] != 'C' || bytes[3] != 'F')
        return CabHeaderResult::NotCab;
    if (bytes.size() < kOffsetField + 2)
        return CabHeaderResult::NoName;
    std::size_t p = kNameBase + (bytes[kOffsetField] | (std::size_t { bytes[kOffsetField + 1] } << 8));
    if (p >= bytes.size())
        return CabHeaderResult::NoName;
    if (bytes[p] == 0) {
        bool found = false;
        for (int step = 0; step < kBackwardSteps && p > 0; ++step) {
            --p;
            if (StringBoundaryAt(bytes, p)) {
                found = true;
                break;
            }
        }
        if (!found)
            return CabHeaderResult::NoName;
        while (p > 0 && bytes[p - 1] != 0)
            --p;
    }
    CabApplication application;
    std::size_t end = 0;
    if (!TakeString(bytes, p, application.first, end) || !TakeString(bytes, end + 1, application.second, end))
        return CabHeaderResult::NoName;
    out = std::move(application);
    return CabHeaderResult::Named;
}

std::string CabApplicationName(const CabApplication& application)
{
    return application.second + " " + application.first;
}

} // namespace exchange
