#include "platform/registry/RegFile.h"

#include "platform/registry/Names.h"

#include <cstdio>

namespace reg {
namespace {

constexpr std::u16string_view kHeading = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kOldHeading = u"REGEDIT4";
constexpr std::size_t kLineWidth = 78;

bool HasLineBreak(std::u16string_view text)
{
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

std::u16string Quoted(std::u16string_view text)
{
    std::u16string out = u"\"";
    for (char16_t c : text) {
        if (c == u'\\' || c == u'"')
            out.push_back(u'\\');
        out.push_back(c);
    }
    out.push_back(u'"');
    return out;
}

std::u16string Ascii(const char* text)
{
    std::u16string out;
    while (*text)
        out.push_back(static_cast<char16_t>(*text++));
    return out;
}

// True when `data` is text with exactly one terminating NUL and nothing a
// quoted string cannot carry.
bool IsWholeText(const std::vector<std::uint8_t>& data, std::u16string* text)
{
    if (data.size() < 2 || data.size() % 2)
        return false;
    std::u16string units;
    for (std::size_t i = 0; i < data.size(); i += 2)
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    if (units.back() != u'\0')
        return false;
    units.pop_back();
    if (units.find(u'\0') != std::u16string::npos || HasLineBreak(units))
        return false;
    *text = std::move(units);
    return true;
}

void AppendValue(std::u16string* out, const ValueEntry& value)
{
    std::u16string line = value.name.empty() ? u"@=" : Quoted(value.name) + u"=";
    std::u16string text;
    char buffer[32];
    if (value.type == REG_SZ && IsWholeText(value.data, &text)) {
        *out += line + Quoted(text) + u"\r\n";
        return;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        const auto& d = value.data;
        std::snprintf(buffer, sizeof buffer, "dword:%08x",
            d[0] | d[1] << 8 | d[2] << 16 | static_cast<unsigned>(d[3]) << 24);
        *out += line + Ascii(buffer) + u"\r\n";
        return;
    }
    if (value.type == REG_BINARY) {
        line += u"hex:";
    } else {
        std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
        line += Ascii(buffer);
    }
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, i + 1 < value.data.size() ? "%02x," : "%02x", value.data[i]);
        std::u16string token = Ascii(buffer);
        if (i > 0 && line.size() + token.size() > kLineWidth) {
            *out += line + u"\\\r\n";
            line = u"  ";
        }
        line += token;
    }
    *out += line + u"\r\n";
}

// ---------------------------------------------------------------------------
// Reading

std::u16string_view TrimSpace(std::u16string_view s)
{
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t'))
        s.remove_suffix(1);
    return s;
}

// Whether a line ends in a "\" that is not inside a quoted string. The scan
// goes on from where it stopped as continuation lines are joined, so that a
// large hex value costs the length of its text, not the square of it.
class ContinuationScan {
public:
    bool Continues(std::u16string_view line)
    {
        for (; at_ < line.size(); ++at_) {
            if (quoted_ && line[at_] == u'\\') {
                ++at_;
            } else if (line[at_] == u'"') {
                quoted_ = !quoted_;
            }
        }
        return !quoted_ && !line.empty() && line.back() == u'\\';
    }
    // The line lost its final "\" (outside quotes, so the state holds).
    void Dropped(std::size_t size) { at_ = size; }

private:
    std::size_t at_ = 0;
    bool quoted_ = false;
};

class LineParser {
public:
    LineParser(std::u16string_view line, bool oldFormat)
        : rest_(line)
        , oldFormat_(oldFormat)
    {
    }

    // A quoted string at the current place, without its quotes.
    bool QuotedString(std::u16string* out, std::string* why)
    {
        if (rest_.empty() || rest_.front() != u'"') {
            *why = "a quoted string was expected";
            return false;
        }
        rest_.remove_prefix(1);
        out->clear();
        while (!rest_.empty()) {
            char16_t c = rest_.front();
            rest_.remove_prefix(1);
            if (c == u'"')
                return true;
            if (c == u'\\' && !rest_.empty() && (rest_.front() == u'\\' || rest_.front() == u'"')) {
                c = rest_.front();
                rest_.remove_prefix(1);
            }
            out->push_back(c);
        }
        *why = "a quoted string is not closed";
        return false;
    }

    bool Expect(char16_t c)
    {
        rest_ = TrimSpace(rest_);
        if (rest_.empty() || rest_.front() != c)
            return false;
        rest_.remove_prefix(1);
        rest_ = TrimSpace(rest_);
        return true;
    }

    bool StartsWith(std::u16string_view prefix)
    {
        if (rest_.size() < prefix.size())
            return false;
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            char16_t c = rest_[i];
            if (c >= u'A' && c <= u'Z')
                c = static_cast<char16_t>(c + 32);
            if (c != prefix[i])
                return false;
        }
        rest_.remove_prefix(prefix.size());
        return true;
    }

    // The data after "=": fills type and bytes, or marks a deletion.
    bool Data(Change* change, std::string* why)
    {
        if (rest_ == u"-") {
            change->kind = Change::DeleteValue;
            return true;
        }
        change->kind = Change::SetValue;
        if (!rest_.empty() && rest_.front() == u'"') {
            std::u16string text;
            if (!QuotedString(&text, why))
                return false;
            if (!TrimSpace(rest_).empty()) {
                *why = "unexpected text after a quoted string";
                return false;
            }
            change->type = REG_SZ;
            for (char16_t c : text) {
                change->data.push_back(static_cast<std::uint8_t>(c & 0xFF));
                change->data.push_back(static_cast<std::uint8_t>(c >> 8));
            }
            change->data.insert(change->data.end(), { 0, 0 });
            return true;
        }
        if (StartsWith(u"dword:")) {
            std::uint32_t value = 0;
            if (rest_.empty() || rest_.size() > 8 || !HexNumber(rest_, &value)) {
                *why = "dword: needs 1 to 8 hex digits";
                return false;
            }
            change->type = REG_DWORD;
            for (int i = 0; i < 4; ++i)
                change->data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
            return true;
        }
        if (StartsWith(u"hex:")) {
            change->type = REG_BINARY;
            return HexList(change, why);
        }
        if (StartsWith(u"hex(")) {
            std::size_t close = rest_.find(u')');
            std::uint32_t type = 0;
            if (close == std::u16string_view::npos || close == 0 || close > 8
                || !HexNumber(rest_.substr(0, close), &type)) {
                *why = "hex( needs a hex type number and \")\"";
                return false;
            }
            rest_.remove_prefix(close + 1);
            if (!StartsWith(u":")) {
                *why = "\":\" was expected after hex(...)";
                return false;
            }
            change->type = type;
            return HexList(change, why);
        }
        *why = "unknown kind of data";
        return false;
    }

    std::u16string_view Rest() const { return rest_; }

private:
    static bool HexNumber(std::u16string_view text, std::uint32_t* out)
    {
        std::uint32_t value = 0;
        for (char16_t c : text) {
            int digit = c >= u'0' && c <= u'9' ? c - u'0'
                : c >= u'a' && c <= u'f'       ? c - u'a' + 10
                : c >= u'A' && c <= u'F'       ? c - u'A' + 10
                                               : -1;
            if (digit < 0)
                return false;
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        *out = value;
        return true;
    }

    bool HexList(Change* change, std::string* why)
    {
        std::u16string_view list = TrimSpace(rest_);
        while (!list.empty()) {
            std::size_t comma = list.find(u',');
            std::u16string_view token = TrimSpace(list.substr(0, comma));
            std::uint32_t byte = 0;
            if (token.empty() || token.size() > 2 || !HexNumber(token, &byte)) {
                *why = "a hex list needs bytes of two hex digits separated by commas";
                return false;
            }
            change->data.push_back(static_cast<std::uint8_t>(byte));
            if (comma == std::u16string_view::npos)
                break;
            list = TrimSpace(list.substr(comma + 1));
        }
        // The old format kept text types as 8-bit characters.
        if (oldFormat_
            && (change->type == REG_SZ || change->type == REG_EXPAND_SZ || change->type == REG_MULTI_SZ)) {
            std::vector<std::uint8_t> wide;
            for (std::uint8_t b : change->data)
                wide.insert(wide.end(), { b, 0 });
            change->data = std::move(wide);
        }
        return true;
    }

    std::u16string_view rest_;
    bool oldFormat_;
};

std::string AtLine(std::size_t line, const std::string& why)
{
    return "line " + std::to_string(line) + ": " + why;
}

} // namespace

bool FormatRegFile(Root root, std::u16string_view keyPath, const std::vector<KeyEntry>& tree,
    std::u16string* text, std::string* error)
{
    std::u16string rootName(RootName(root));
    if (rootName.empty()) {
        *error = "unknown root key";
        return false;
    }
    std::u16string top = rootName;
    keyPath = names::Trim(keyPath);
    if (!keyPath.empty())
        top += u"\\" + std::u16string(keyPath);
    std::u16string out = std::u16string(kHeading) + u"\r\n\r\n";
    for (const KeyEntry& key : tree) {
        std::u16string full = key.path.empty() ? top : top + u"\\" + key.path;
        if (HasLineBreak(full)) {
            *error = "the key name \"" + ToUtf8(full) + "\" holds a line break";
            return false;
        }
        out += u"[" + full + u"]\r\n";
        for (const ValueEntry& value : key.values) {
            if (HasLineBreak(value.name)) {
                *error = "a value name in \"" + ToUtf8(full) + "\" holds a line break";
                return false;
            }
            AppendValue(&out, value);
        }
        out += u"\r\n";
    }
    *text = std::move(out);
    return true;
}

std::vector<std::uint8_t> EncodeRegFile(std::u16string_view text)
{
    std::vector<std::uint8_t> bytes { 0xFF, 0xFE };
    bytes.reserve(2 + text.size() * 2);
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

std::u16string DecodeRegFile(const std::vector<std::uint8_t>& bytes)
{
    std::u16string text;
    if (bytes.size() >= 2
        && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        bool little = bytes[0] == 0xFF;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(little ? static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8)
                                  : static_cast<char16_t>(bytes[i] << 8 | bytes[i + 1]));
        return text;
    }
    // UTF-16LE without a mark: the first character is ASCII.
    if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
        return text;
    }
    std::size_t start = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
    std::string_view raw(reinterpret_cast<const char*>(bytes.data()) + start, bytes.size() - start);
    text = FromUtf8(raw);
    if (text.find(u'\uFFFD') != std::u16string::npos
        && std::string_view(raw).find("\xEF\xBF\xBD") == std::string_view::npos) {
        text.clear();
        for (char c : raw)
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
    return text;
}

bool ParseRegFile(std::u16string_view text, std::vector<Change>* changes, std::string* error)
{
    changes->clear();
    std::vector<std::u16string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find_first_of(u"\r\n");
        lines.push_back(text.substr(0, end));
        if (end == std::u16string_view::npos)
            break;
        std::size_t skip = text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1;
        text.remove_prefix(end + skip);
    }
    std::size_t i = 0;
    while (i < lines.size() && TrimSpace(lines[i]).empty())
        ++i;
    if (i == lines.size() || (TrimSpace(lines[i]) != kHeading && TrimSpace(lines[i]) != kOldHeading)) {
        *error = AtLine(i + 1, "the file does not begin with \"Windows Registry Editor Version 5.00\"");
        return false;
    }
    bool oldFormat = TrimSpace(lines[i]) == kOldHeading;
    bool inKey = false;
    Change key;
    for (++i; i < lines.size(); ++i) {
        std::size_t number = i + 1;
        std::u16string line(TrimSpace(lines[i]));
        if (line.empty() || line.front() == u';')
            continue;
        if (line.front() == u'[') {
            if (line.back() != u']') {
                *error = AtLine(number, "a key line must end with \"]\"");
                return false;
            }
            std::u16string_view name = std::u16string_view(line).substr(1, line.size() - 2);
            bool remove = !name.empty() && name.front() == u'-';
            if (remove)
                name.remove_prefix(1);
            std::size_t cut = name.find(u'\\');
            Root root = RootFromName(name.substr(0, cut));
            std::u16string_view path = cut == std::u16string_view::npos ? u"" : name.substr(cut + 1);
            if (!root) {
                *error = AtLine(number, "unknown root key \"" + ToUtf8(name.substr(0, cut)) + "\"");
                return false;
            }
            if (!names::ForEachComponent(path, [](std::u16string_view) { return true; })
                || (remove && names::IsRootPath(path))) {
                *error = AtLine(number, "invalid key name \"" + ToUtf8(name) + "\"");
                return false;
            }
            key = Change { remove ? Change::DeleteKey : Change::CreateKey, root, std::u16string(path), {},
                REG_NONE, {} };
            changes->push_back(key);
            inKey = !remove;
            continue;
        }
        ContinuationScan scan;
        while (scan.Continues(line) && i + 1 < lines.size()) {
            line.pop_back();
            scan.Dropped(line.size());
            line += TrimSpace(lines[++i]);
        }
        if (!inKey) {
            *error = AtLine(number, "a value outside a key");
            return false;
        }
        Change value { Change::SetValue, key.root, key.path, {}, REG_NONE, {} };
        LineParser parser(line, oldFormat);
        std::string why;
        if (parser.Rest().front() == u'@') {
            parser.Expect(u'@');
        } else if (!parser.QuotedString(&value.name, &why)) {
            *error = AtLine(number, why);
            return false;
        }
        if (!parser.Expect(u'=')) {
            *error = AtLine(number, "\"=\" was expected after the value name");
            return false;
        }
        if (!names::ValidValueName(value.name)) {
            *error = AtLine(number, "invalid value name");
            return false;
        }
        if (!parser.Data(&value, &why)) {
            *error = AtLine(number, why);
            return false;
        }
        changes->push_back(std::move(value));
    }
    return true;
}

} // namespace reg
