// Readers as strict as the programs that read the cli's output: JSON as
// RFC 8259 has it (Python's json module reads the same; integers and reals
// kept apart), CSV as RFC 4180 has it. Test helpers; any thread.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testing_readers {

struct Json {
    enum class Type { Null, Boolean, Integer, Real, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    long long integer = 0;
    double real = 0;
    std::string string; // UTF-8
    std::vector<Json> items;
    std::map<std::string, Json> members;

    const Json& operator[](std::size_t i) const { return items.at(i); }
    const Json& operator[](const std::string& name) const { return members.at(name); }
};

class JsonReader {
public:
    explicit JsonReader(const std::string& text)
        : m_text(text)
    {
    }

    // The value the whole text holds; nothing for anything RFC 8259 refuses.
    std::optional<Json> Read()
    {
        Json value;
        if (!Value(&value))
            return std::nullopt;
        Space();
        if (m_at != m_text.size())
            return std::nullopt;
        return value;
    }

private:
    void Space()
    {
        while (m_at < m_text.size() && std::string(" \t\r\n").find(m_text[m_at]) != std::string::npos)
            ++m_at;
    }
    bool Take(char c)
    {
        Space();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool Word(const char* word)
    {
        const std::string w(word);
        if (m_text.compare(m_at, w.size(), w) != 0)
            return false;
        m_at += w.size();
        return true;
    }
    bool Digits()
    {
        const std::size_t from = m_at;
        while (m_at < m_text.size() && m_text[m_at] >= '0' && m_text[m_at] <= '9')
            ++m_at;
        return m_at > from;
    }
    static void Utf8(std::string* out, std::uint32_t c)
    {
        if (c < 0x80) {
            out->push_back(char(c));
        } else if (c < 0x800) {
            out->push_back(char(0xC0 | c >> 6));
            out->push_back(char(0x80 | (c & 0x3F)));
        } else {
            out->push_back(char(0xE0 | c >> 12));
            out->push_back(char(0x80 | (c >> 6 & 0x3F)));
            out->push_back(char(0x80 | (c & 0x3F)));
        }
    }
    bool String(std::string* out)
    {
        if (!Take('"'))
            return false;
        while (m_at < m_text.size()) {
            const unsigned char c = static_cast<unsigned char>(m_text[m_at++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false; // control characters must be escaped
            if (c != '\\') {
                out->push_back(char(c));
                continue;
            }
            if (m_at >= m_text.size())
                return false;
            const char e = m_text[m_at++];
            const std::string simple = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
            if (simple.find(e) != std::string::npos) {
                out->push_back(meaning[simple.find(e)]);
                continue;
            }
            if (e != 'u' || m_at + 4 > m_text.size())
                return false;
            const std::string hex = m_text.substr(m_at, 4);
            if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return false;
            Utf8(out, std::uint32_t(std::stoul(hex, nullptr, 16)));
            m_at += 4;
        }
        return false;
    }
    bool Number(Json* value)
    {
        const std::size_t from = m_at;
        bool real = false;
        if (m_at < m_text.size() && m_text[m_at] == '-')
            ++m_at;
        if (m_at < m_text.size() && m_text[m_at] == '0')
            ++m_at; // no leading zeros
        else if (!Digits())
            return false;
        if (m_at < m_text.size() && m_text[m_at] == '.') {
            ++m_at;
            real = true;
            if (!Digits())
                return false;
        }
        if (m_at < m_text.size() && (m_text[m_at] == 'e' || m_text[m_at] == 'E')) {
            ++m_at;
            real = true;
            if (m_at < m_text.size() && (m_text[m_at] == '+' || m_text[m_at] == '-'))
                ++m_at;
            if (!Digits())
                return false;
        }
        const std::string number = m_text.substr(from, m_at - from);
        value->type = real ? Json::Type::Real : Json::Type::Integer;
        if (real)
            value->real = std::stod(number);
        else
            value->integer = std::stoll(number);
        return true;
    }
    bool Value(Json* value)
    {
        Space();
        if (m_at >= m_text.size())
            return false;
        const char c = m_text[m_at];
        if (c == '{') {
            ++m_at;
            value->type = Json::Type::Object;
            if (Take('}'))
                return true;
            do {
                std::string name;
                Json member;
                Space();
                if (!String(&name) || !Take(':') || !Value(&member) || value->members.count(name))
                    return false;
                value->members[name] = std::move(member);
            } while (Take(','));
            return Take('}');
        }
        if (c == '[') {
            ++m_at;
            value->type = Json::Type::Array;
            if (Take(']'))
                return true;
            do {
                Json item;
                if (!Value(&item))
                    return false;
                value->items.push_back(std::move(item));
            } while (Take(','));
            return Take(']');
        }
        if (c == '"') {
            value->type = Json::Type::String;
            return String(&value->string);
        }
        if (Word("null"))
            return true;
        if (Word("true") || Word("false")) {
            value->type = Json::Type::Boolean;
            value->boolean = m_text[m_at - 1] == 'e' && m_text[m_at - 2] == 'u'; // "true", not "false"
            return true;
        }
        return Number(value);
    }

    const std::string m_text;
    std::size_t m_at = 0;
};

// The records of an RFC 4180 text: fields separated by commas, records
// ending in CR LF, quoted fields doubling their quotes. False for anything
// else (a bare quote or line break, a missing CR LF at the end).
inline bool ReadCsv(const QString& text, QVector<QStringList>* records)
{
    QStringList record;
    QString field;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] == u'"') {
            for (++i;; ++i) {
                if (i >= text.size())
                    return false;
                if (text[i] == u'"') {
                    if (i + 1 < text.size() && text[i + 1] == u'"') {
                        field += u'"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += text[i];
            }
        } else {
            while (i < text.size() && text[i] != u',' && text[i] != u'\r') {
                if (text[i] == u'"' || text[i] == u'\n')
                    return false;
                field += text[i++];
            }
        }
        record << field;
        field.clear();
        if (i < text.size() && text[i] == u',') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size() || text[i] != u'\r' || text[i + 1] != u'\n')
            return false;
        i += 2;
        records->append(record);
        record.clear();
    }
    return true;
}

} // namespace testing_readers
