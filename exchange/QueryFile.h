// The query file "SQLquery.txt": one request from the desktop to the agent.
//
// Layout: three lines, each ended by CR LF -- the database path, the
// password (scrambled, see Password.h) and the request text (CR LF written as
// U+001D U+001E, TAB as U+0008, see TransportCodes.h) -- as UTF-16LE bytes
// without byte-order mark. The agent reads at most 20,000 bytes; content whose
// bytes at odd offsets below half the byte count are not all zero is taken
// for 8-bit text and widened byte by byte (at most 10,000 characters).
//
// The desktop builds the bytes with BuildQueryFile and writes them to the
// device; the agent reads the file itself and hands its bytes to
// ReadQueryFile. Pure functions, safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace exchange {

inline constexpr std::size_t kQueryFileMaxBytes = 20000;
inline constexpr std::size_t kQueryFileMaxEightBitChars = 10000;

// The request as the agent uses it: password unscrambled, request text with
// its line breaks and tabs restored.
struct QueryRequest {
    std::u16string databasePath;
    std::u16string password;
    std::u16string requestText;

    bool operator==(const QueryRequest&) const = default;
};

// Outcome of reading a query file. `NotFound` is never returned by
// ReadQueryFile; the agent uses it when it cannot open the file, so that all
// four messages come from QueryFileMessage.
enum class QueryFileResult {
    Ok,
    NotFound, // "doesn't exist."
    NoFilename, // no first CR LF
    NoPassword, // no second CR LF
    NoQuery, // no third CR LF
};

// Reads the raw bytes of a query file (any length; only the first 20,000
// bytes count). Decodes them as described above; the text ends at its first
// U+0000, since no field may hold one. Then splits the three lines: the text
// before the first CR LF is the database path, the text up to the next CR LF
// the password (unscrambled when it begins with "_"), the text up to the next
// CR LF the request text (codes restored); anything after the third CR LF is
// ignored. On a result other than Ok, `request` holds the fields read so far.
QueryFileResult ReadQueryFile(std::span<const std::uint8_t> bytes, QueryRequest& request);
QueryFileResult ReadQueryFile(std::string_view bytes, QueryRequest& request);

// The text the agent works on: the first 20,000 bytes as UTF-16LE (a trailing
// odd byte dropped) when there are at most 3 bytes or every byte at an odd
// offset below half the byte count is 0; otherwise the first 10,000 bytes
// widened one character per byte. Cut at the first U+0000.
std::u16string DecodeQueryFileText(std::span<const std::uint8_t> bytes);

// True when the agent would take `bytes` for UTF-16 text (the test above).
bool LooksLikeUtf16(std::span<const std::uint8_t> bytes);

// The agent's error text for a failed read, with `path` the query file's
// device path, for example
//   "Query file: \"\\Quorvane\\SQLquery.txt\" doesn't contain a filename."
// Ok gives the empty string.
std::u16string QueryFileMessage(QueryFileResult result, std::u16string_view path);

// Outcome of building a query file.
enum class QueryFileBuild {
    Ok,
    PathNotWritable, // the path holds CR LF or U+0000
    PasswordNotWritable, // the scrambled password holds CR LF or U+0000
    RequestNotWritable, // the request text holds U+0000
    TooLarge, // more than 20,000 bytes: the agent would cut the request
    ReadAsEightBit, // characters above U+00FF early in the file would make
                    // the agent take it for 8-bit text
};

// The desktop's query file: `databasePath`, CR LF, ScramblePassword(password),
// CR LF, `requestText` with CR LF -> U+001D U+001E and TAB -> U+0008, CR LF,
// as UTF-16LE bytes into `bytes`. Returns Ok only when the agent will read
// exactly these fields back (with the codes of TransportCodes.h standing for
// what they mean); `bytes` is left empty otherwise.
QueryFileBuild BuildQueryFile(std::u16string_view databasePath, std::u16string_view password,
    std::u16string_view requestText, std::string& bytes);

} // namespace exchange
