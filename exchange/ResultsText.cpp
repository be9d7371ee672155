#include "exchange/ResultsText.h"

#include "exchange/Text.h"
#include "exchange/ValueText.h"

namespace exchange {

std::u16string ColsLine(int columnCount)
{
    return Format(u"Cols: %d\r\n", columnCount);
}

std::u16string ErrorBlock(
    std::u16string_view errorText, std::u16string_view engineText, std::u16string_view agentVersion)
{
    return Format(u"%s\r\n\r\nQuorvane v%s\r\nSQLCE %s", errorText, agentVersion, engineText);
}

std::u16string StatusFileText(bool ok, std::u16string_view errorText, std::u16string_view engineText)
{
    std::u16string text(ok ? kSuccessLine : kFailedLine);
    if (!errorText.empty())
        text += ErrorBlock(errorText, engineText);
    return text;
}

std::u16string RowsAffectedText(long long rowsAffected)
{
    return std::u16string(kSuccessLine) + ColsLine(0) + Format(u"%d", rowsAffected);
}

std::u16string RenameSucceededText()
{
    return std::u16string(kSuccessLine) + ColsLine(0);
}

std::u16string FieldsLine(std::span<const std::u16string> fields)
{
    std::u16string line;
    for (const std::u16string& field : fields) {
        line += field;
        line += u'\t';
    }
    return line;
}

std::u16string QueryTypesLine(std::span<const std::uint16_t> typeCodes)
{
    std::u16string line;
    for (std::uint16_t code : typeCodes) {
        line += TypesLineWord(code);
        line += u'\t';
    }
    return line;
}

std::u16string EmptyAttributesLine(int columnCount)
{
    return std::u16string(columnCount > 0 ? static_cast<std::size_t>(columnCount) : 0, u'\t');
}

std::u16string ResultsHeader(int columnCount, std::u16string_view namesLine, std::u16string_view typesLine,
    std::u16string_view attributesLine)
{
    std::u16string text(kSuccessLine);
    text += ColsLine(columnCount);
    text += namesLine;
    text += kLineEnd;
    text += typesLine;
    text += kLineEnd;
    if (attributesLine.empty())
        text += EmptyAttributesLine(columnCount);
    else
        text += attributesLine;
    text += kLineEnd;
    return text;
}

std::u16string UnableToOpenFileMessage(std::u16string_view path)
{
    return Format(u"Unable to open file \"%s\"", path);
}

} // namespace exchange
