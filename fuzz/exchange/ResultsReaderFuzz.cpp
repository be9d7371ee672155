// Any bytes as a results file: line splitting, classification, the "Cols: "
// line and field splitting must end without fault and keep their limits.

#include "exchange/ResultsReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace exchange;
    const std::u16string text = DeviceTextFromBytes(std::span<const std::uint8_t>(data, size));
    if (IsBinarySchema(text))
        return 0;
    const std::vector<std::u16string_view> lines = SplitDeviceLines(text);
    for (std::u16string_view line : lines) {
        // Every line lies inside the text and is never empty.
        if (line.empty() || line.data() < text.data()
            || line.data() + line.size() > text.data() + text.size())
            std::abort();
    }
    if (ClassifyResults(lines) != ResultsKind::Success)
        return 0;
    std::optional<TableAnswer> answer
        = ParseTableAnswer(std::span<const std::u16string_view>(lines).subspan(1));
    if (!answer)
        return 0;
    const std::size_t limit = answer->columnCount > 0 ? static_cast<std::size_t>(answer->columnCount) : 0;
    if (answer->names.size() > limit || answer->types.size() > limit || answer->attributes.size() > limit)
        std::abort();
    for (const std::vector<std::u16string>& row : answer->rows)
        if (row.size() > limit)
            std::abort();
    return 0;
}
