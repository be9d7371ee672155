#include "exchange/QueryFile.h"

#include "exchange/Password.h"
#include "exchange/Text.h"
#include "exchange/TransportCodes.h"

#include <algorithm>

namespace exchange {
namespace {

constexpr std::u16string_view kLineEnd = u"\r\n";

bool HoldsLineEndOrNul(std::u16string_view text)
{
    return Contains(text, kLineEnd) || text.find(u'\0') != std::u16string_view::npos;
}

} // namespace

bool LooksLikeUtf16(std::span<const std::uint8_t> bytes)
{
    const std::size_t n = std::min(bytes.size(), kQueryFileMaxBytes);
    if (n <= 3)
        return true;
    for (std::size_t i = 1; i < n / 2; i += 2)
        if (bytes[i] != 0)
            return false;
    return true;
}

std::u16string DecodeQueryFileText(std::span<const std::uint8_t> bytes)
{
    const std::size_t n = std::min(bytes.size(), kQueryFileMaxBytes);
    std::u16string text;
    if (LooksLikeUtf16(bytes)) {
        text = FromUtf16LeBytes(bytes.first(n));
    } else {
        const std::size_t kept = std::min(n, kQueryFileMaxEightBitChars);
        text.resize(kept);
        for (std::size_t i = 0; i < kept; ++i)
            text[i] = bytes[i];
    }
    if (std::size_t nul = text.find(u'\0'); nul != std::u16string::npos)
        text.resize(nul);
    return text;
}

QueryFileResult ReadQueryFile(std::span<const std::uint8_t> bytes, QueryRequest& request)
{
    request = QueryRequest();
    const std::u16string text = DecodeQueryFileText(bytes);
    const std::u16string_view view(text);

    const std::size_t pathEnd = view.find(kLineEnd);
    if (pathEnd == std::u16string_view::npos)
        return QueryFileResult::NoFilename;
    request.databasePath = view.substr(0, pathEnd);

    const std::size_t passwordStart = pathEnd + kLineEnd.size();
    const std::size_t passwordEnd = view.find(kLineEnd, passwordStart);
    if (passwordEnd == std::u16string_view::npos)
        return QueryFileResult::NoPassword;
    request.password = UnscramblePassword(view.substr(passwordStart, passwordEnd - passwordStart));

    const std::size_t requestStart = passwordEnd + kLineEnd.size();
    const std::size_t requestEnd = view.find(kLineEnd, requestStart);
    if (requestEnd == std::u16string_view::npos)
        return QueryFileResult::NoQuery;
    request.requestText = DecodeRequestText(view.substr(requestStart, requestEnd - requestStart));
    return QueryFileResult::Ok;
}

QueryFileResult ReadQueryFile(std::string_view bytes, QueryRequest& request)
{
    return ReadQueryFile(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
        request);
}

std::u16string QueryFileMessage(QueryFileResult result, std::u16string_view path)
{
    switch (result) {
    case QueryFileResult::Ok:
        return {};
    case QueryFileResult::NotFound:
        return Format(u"Query file: \"%s\" doesn't exist.", path);
    case QueryFileResult::NoFilename:
        return Format(u"Query file: \"%s\" doesn't contain a filename.", path);
    case QueryFileResult::NoPassword:
        return Format(u"Query file: \"%s\" doesn't contain a password.", path);
    case QueryFileResult::NoQuery:
        return Format(u"Query file: \"%s\" doesn't contain an SQL Query.", path);
    }
    return {};
}

QueryFileBuild BuildQueryFile(std::u16string_view databasePath, std::u16string_view password,
    std::u16string_view requestText, std::string& bytes)
{
    bytes.clear();
    const std::u16string scrambled = ScramblePassword(password);
    const std::u16string encoded = EncodeLineBreaksAndTabs(requestText);
    if (HoldsLineEndOrNul(databasePath))
        return QueryFileBuild::PathNotWritable;
    if (HoldsLineEndOrNul(scrambled))
        return QueryFileBuild::PasswordNotWritable;
    // The encoded request holds no CR LF: every pair became U+001D U+001E.
    if (encoded.find(u'\0') != std::u16string::npos)
        return QueryFileBuild::RequestNotWritable;

    std::u16string text;
    text.reserve(databasePath.size() + scrambled.size() + encoded.size() + 6);
    text += databasePath;
    text += kLineEnd;
    text += scrambled;
    text += kLineEnd;
    text += encoded;
    text += kLineEnd;
    std::string out = ToUtf16LeBytes(text);
    if (out.size() > kQueryFileMaxBytes)
        return QueryFileBuild::TooLarge;
    if (!LooksLikeUtf16(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(out.data()), out.size())))
        return QueryFileBuild::ReadAsEightBit;
    bytes = std::move(out);
    return QueryFileBuild::Ok;
}

} // namespace exchange
