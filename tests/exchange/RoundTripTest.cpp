// Writer-then-reader round trips over random texts. Each test prints its seed
// on failure; set QUORVANE_SEED to repeat a run with another seed.

#include "exchange/OutputCollector.h"
#include "exchange/Password.h"
#include "exchange/QueryFile.h"
#include "exchange/ResultsReader.h"
#include "exchange/ResultsText.h"
#include "exchange/SchemaReader.h"
#include "exchange/SchemaWriter.h"
#include "exchange/Text.h"
#include "exchange/ValueText.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>

namespace exchange {
namespace {

using test::Show;

std::uint32_t Seed()
{
    const char* value = std::getenv("QUORVANE_SEED");
    return value ? static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10)) : 20240607u;
}

// Characters chosen to hit every rule: the transport codes, line-break
// pieces, Latin-1, other BMP characters and surrogate pairs.
class TextSource {
public:
    explicit TextSource(std::uint32_t seed)
        : m_random(seed)
    {
    }

    int Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

    // A text of up to `maxLength` units. `wide` allows characters above
    // U+00FF (including surrogate pairs); `nul` allows U+0000.
    std::u16string Text(int maxLength, bool wide, bool nul)
    {
        static constexpr char16_t kSpecial[]
            = { u'\r', u'\n', u'\t', 0x1D, 0x1E, 0x08, 0x07, 0x06, 0x01, 0x05, u'_', u')', 0x11 };
        std::u16string text;
        const int length = Number(0, maxLength);
        while (static_cast<int>(text.size()) < length) {
            switch (Number(0, wide ? 9 : 6)) {
            case 0:
            case 1:
                text += kSpecial[Number(0, std::size(kSpecial) - 1)];
                break;
            case 2:
                text += u"\r\n";
                break;
            case 3:
                text += static_cast<char16_t>(Number(0x80, 0xFF));
                break;
            case 4:
                if (nul && Number(0, 20) == 0)
                    text += u'\0';
                else
                    text += static_cast<char16_t>(Number(0x20, 0x7E));
                break;
            case 7:
                text += static_cast<char16_t>(Number(0x100, 0xD7FF));
                break;
            case 8: {
                const char32_t cp = static_cast<char32_t>(Number(0x10000, 0x10FFFF)) - 0x10000;
                text += static_cast<char16_t>(0xD800 + (cp >> 10));
                text += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
                break;
            }
            case 9:
                text += static_cast<char16_t>(Number(0xE000, 0xFFFF));
                break;
            default:
                text += static_cast<char16_t>(Number(u'a', u'z'));
                break;
            }
        }
        return text;
    }

private:
    std::mt19937 m_random;
};

// What the agent must read for a request text: the codes stand for what they mean.
std::u16string CodesMeant(std::u16string_view text)
{
    return ReplaceAll(ReplaceAll(text, u"\u001D\u001E", u"\r\n"), u"\u0008", u"\t");
}

bool HasLineEndOrNul(std::u16string_view text)
{
    return Contains(text, u"\r\n") || Contains(text, std::u16string_view(u"\0", 1));
}

// Computed here, independently of the writer: the query file the writer
// should refuse, and why.
QueryFileBuild ExpectedBuild(
    const std::u16string& path, const std::u16string& password, const std::u16string& request)
{
    if (HasLineEndOrNul(path))
        return QueryFileBuild::PathNotWritable;
    std::u16string scrambled = u"_";
    for (char16_t c : password)
        scrambled += ScrambleChar(c);
    if (HasLineEndOrNul(scrambled))
        return QueryFileBuild::PasswordNotWritable;
    if (Contains(request, std::u16string_view(u"\0", 1)))
        return QueryFileBuild::RequestNotWritable;
    // Encoding keeps the length: CR LF and its code are both two characters.
    const std::size_t characters = path.size() + scrambled.size() + request.size() + 6;
    const std::size_t bytes = 2 * characters;
    if (bytes > kQueryFileMaxBytes)
        return QueryFileBuild::TooLarge;
    // The high byte of character k sits at odd offset 2k + 1.
    const std::u16string text = path + u"\r\n" + scrambled + u"\r\n" + request;
    for (std::size_t k = 0; 2 * k + 1 < bytes / 2 && k < text.size(); ++k)
        if (text[k] > 0xFF)
            return QueryFileBuild::ReadAsEightBit;
    return QueryFileBuild::Ok;
}

TEST(RoundTrip, QueryFileWriterThenReaderGivesTheRequestBack)
{
    const std::uint32_t seed = Seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    TextSource source(seed);
    int ok = 0;
    int withCodes = 0;
    std::map<QueryFileBuild, int> outcomes;
    for (int i = 0; i < 4000; ++i) {
        // Mostly narrow heads so that wide request tails are still read as UTF-16.
        // Paths hold CR LF only now and then; lone CRs and LFs stay.
        std::u16string path = u"\\" + source.Text(30, i % 10 == 0, i % 7 == 0);
        if (i % 9 != 0)
            path = ReplaceAll(path, u"\r\n", u"\n\r");
        const std::u16string password = source.Text(12, i % 10 == 1, i % 11 == 0);
        std::u16string request = source.Text(60, false, false);
        request += source.Text(request.size() / 2, i % 2 == 0, i % 13 == 0);
        if (i % 500 == 0)
            request += std::u16string(9990 - request.size() % 100, u'x');

        std::string bytes;
        const QueryFileBuild built = BuildQueryFile(path, password, request, bytes);
        ASSERT_EQ(built, ExpectedBuild(path, password, request))
            << "case " << i << ": " << Show(path) << " | " << Show(password) << " | " << Show(request);
        ++outcomes[built];
        if (built != QueryFileBuild::Ok) {
            EXPECT_TRUE(bytes.empty());
            continue;
        }
        ++ok;
        QueryRequest read;
        ASSERT_EQ(ReadQueryFile(bytes, read), QueryFileResult::Ok) << "case " << i;
        EXPECT_EQ(read.databasePath, path) << "case " << i;
        EXPECT_EQ(read.password, password) << "case " << i;
        EXPECT_EQ(read.requestText, CodesMeant(request)) << "case " << i << ": " << Show(request);
        if (read.requestText != request)
            ++withCodes;
        else
            EXPECT_EQ(CodesMeant(request), request); // only the codes themselves change
    }
    // The generator must reach both outcomes often enough to mean something.
    EXPECT_GT(ok, 2000);
    EXPECT_GT(withCodes, 200);
    for (QueryFileBuild refusal : { QueryFileBuild::PathNotWritable, QueryFileBuild::PasswordNotWritable,
             QueryFileBuild::RequestNotWritable, QueryFileBuild::TooLarge, QueryFileBuild::ReadAsEightBit })
        EXPECT_GT(outcomes[refusal], 0) << "refusal " << static_cast<int>(refusal) << " never met";
}

TEST(RoundTrip, ResultsWriterThenReaderGivesTheValuesBack)
{
    const std::uint32_t seed = Seed() + 1;
    SCOPED_TRACE("seed " + std::to_string(seed));
    TextSource source(seed);
    for (int file = 0; file < 60; ++file) {
        const int rows = source.Number(0, 60);
        std::vector<std::vector<std::u16string>> expected;
        MemorySink sink;
        {
            OutputCollector out(sink);
            const std::vector<std::u16string> names = { u"wide", u"long", u"number" };
            const std::vector<std::uint16_t> types = { kDbWStr, kDbLongValue, kDbI4 };
            out.WriteText(ResultsHeader(3, FieldsLine(names), QueryTypesLine(types), u""));
            for (int r = 0; r < rows; ++r) {
                const std::u16string wide = source.Text(40, true, false);
                // Long text values hold only TAB, LF, CR and U+0020..U+00FF.
                std::u16string longText;
                for (char16_t c : source.Text(source.Number(0, 3) == 0 ? 9000 : 50, false, false))
                    if (c == u'\t' || c == u'\r' || c == u'\n' || c >= 0x20)
                        longText += c;
                const int number = source.Number(-100000, 100000);

                out.WriteText(FormatWstrValue(wide));
                LongValueBuffer buffer;
                const std::string longBytes = ToUtf16LeBytes(longText);
                const auto* data = reinterpret_cast<const std::uint8_t*>(longBytes.data());
                std::size_t offset = 0;
                bool more = true;
                while (more) {
                    const std::size_t size
                        = std::min<std::size_t>(LongValueBuffer::kChunkBytes, longBytes.size() - offset);
                    more = buffer.AddChunk(std::span<const std::uint8_t>(data + offset, size));
                    offset += size;
                }
                out.WriteLongText(FormatLongValue(buffer));
                out.WriteText(FormatInteger(number));
                out.WriteText(kLineEnd);

                const std::u16string longExpected = longText.empty() ? u"(null)" : longText;
                expected.push_back(
                    { ReplaceAll(CodesMeant(wide), u"\u0007", u"\t"), longExpected, Format(u"%d", number) });
            }
            out.WriteText(kEndLine);
        }
        const std::u16string text = DeviceTextFromBytes(sink.bytes());
        const std::vector<std::u16string_view> lines = SplitDeviceLines(text);
        ASSERT_EQ(ClassifyResults(lines), ResultsKind::Success) << "file " << file;
        std::optional<TableAnswer> answer
            = ParseTableAnswer(std::span<const std::u16string_view>(lines).subspan(1));
        ASSERT_TRUE(answer.has_value()) << "file " << file;
        EXPECT_TRUE(answer->sawEnd) << "file " << file;
        EXPECT_EQ(answer->types, (std::vector<std::u16string> { u"nvarchar", u"int", u"int" }));
        ASSERT_EQ(answer->rows.size(), expected.size()) << "file " << file;
        for (std::size_t r = 0; r < expected.size(); ++r)
            ASSERT_EQ(answer->rows[r], expected[r])
                << "file " << file << " row " << r << ": " << Show(expected[r][0]);
    }
}

TEST(RoundTrip, SchemaWriterThenReaderGivesTheTablesBack)
{
    const std::uint32_t seed = Seed() + 2;
    SCOPED_TRACE("seed " + std::to_string(seed));
    TextSource source(seed);
    int clean = 0;
    for (int i = 0; i < 2000; ++i) {
        std::vector<SchemaTable> tables(source.Number(0, 4));
        std::vector<SchemaEntryTable> expected;
        bool hasControl = false;
        auto token = [&](int maxLength) {
            std::u16string text = source.Text(maxLength, true, i % 5 == 0);
            // Most cases keep to the characters a name can hold; the others
            // keep U+0000 and U+0007..U+000A, which can never pass for a
            // separator. (U+0001..U+0006 inside a name could.)
            std::erase_if(text, [&](char16_t c) { return (c >= 1 && c <= 6) || (i % 4 != 0 && c <= u'\n'); });
            for (char16_t c : text)
                hasControl |= c <= u'\n';
            return text;
        };
        for (SchemaTable& table : tables) {
            table.name = token(12);
            SchemaEntryTable& entry = expected.emplace_back();
            entry.name = table.name;
            const int columns = source.Number(0, 5);
            for (int c = 0; c < columns; ++c) {
                SchemaColumn column { token(10), token(8), token(12), source.Number(0, 1) == 1 };
                entry.columns.push_back(
                    { column.name, column.typeText + column.attributeText, column.isPrimaryKey });
                table.columns.push_back(std::move(column));
            }
        }
        const BinarySchema schema = ReadBinarySchema(BinarySchemaText(tables));
        ASSERT_EQ(schema.malformed, hasControl) << "case " << i;
        if (!hasControl) {
            ++clean;
            ASSERT_EQ(schema.tables, expected) << "case " << i;
        }
    }
    EXPECT_GT(clean, 1000);
}

} // namespace
} // namespace exchange
