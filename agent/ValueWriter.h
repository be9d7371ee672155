// The value texts of the results file, appended to a row's text without
// allocating per value (the row text is reused from row to row). Each text
// ends with the TAB that closes its field, as exchange/ValueText.h defines
// them; these are the same texts, built in place for the per-row path.
//
// Pure functions; safe from any thread.
#pragma once

#include "engine/Result.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace agent {

// "%d" + TAB.
void AppendInteger(std::u16string& out, long long value);

// Real-number text + TAB: "%f" with trailing zeros and then a trailing "."
// removed ("%.0f" when the text holds no "."), the "." replaced by `point`.
void AppendReal(std::u16string& out, double value, char16_t point);

// "%d/%02d/%02d  %02d:%02d:%02d" + TAB.
void AppendTimestamp(std::u16string& out, const engine::DbTimestamp& value);

// A Unicode text value: TAB -> U+0007, CR LF -> U+001D U+001E, then TAB.
void AppendUnicodeText(std::u16string& out, std::u16string_view text);

// The characters of a long text value as they go into the file: CR LF ->
// U+001D U+001E, TAB -> U+0008. Fed chunk by chunk; a CR at the end of one
// chunk waits for the next to see whether an LF follows.
class LongTextEncoder {
public:
    // Encodes `text` into `out` (cleared first).
    void Encode(std::u16string_view text, std::u16string& out);
    // What is still held back at the end of the value (a lone CR), into `out`.
    void Finish(std::u16string& out);

private:
    bool m_pendingCr = false;
};

} // namespace agent
