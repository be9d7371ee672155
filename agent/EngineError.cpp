#include "agent/EngineError.h"

#include "agent/AgentStatus.h"
#include "exchange/Text.h"
#include "exchange/Trace.h"

namespace agent {

namespace {

constexpr engine::HRESULT kLoginFailed = engine::DB_SEC_E_AUTH_FAILED;

struct Slot {
    std::size_t begin;
    std::size_t end;
};

// The slots inside the first "[...]" of a description: slot 0 from after
// "[" to the first comma, slot i from after the i-th comma to the next one;
// the last runs to the closing "]" (or the end), leaving a space before "]"
// in place.
std::vector<Slot> BracketSlots(std::u16string_view description)
{
    std::vector<Slot> slots;
    std::size_t open = description.find(u'[');
    if (open == std::u16string_view::npos)
        return slots;
    std::size_t close = description.find(u']', open);
    if (close == std::u16string_view::npos)
        close = description.size();
    std::size_t begin = open + 1;
    while (true) {
        std::size_t comma = description.find(u',', begin);
        if (comma == std::u16string_view::npos || comma > close) {
            std::size_t end = close;
            while (end > begin && description[end - 1] == u' ')
                --end;
            slots.push_back({ begin, end });
            break;
        }
        slots.push_back({ begin, comma });
        begin = comma + 1;
    }
    return slots;
}

} // namespace

std::u16string DescribeRecord(const engine::ErrorRecord& record, AgentStatus& log)
{
    const std::u16string& description = record.description;
    const bool bracketed = description.find(u'[') != std::u16string::npos;
    std::vector<Slot> slots = BracketSlots(description);
    std::vector<const std::u16string*> filled(slots.size(), nullptr);
    std::u16string list;
    for (std::size_t i = 0; i < record.parameters.size(); ++i) {
        const std::u16string& parameter = record.parameters[i];
        if (parameter.empty())
            continue;
        log.LogLine(exchange::Format(u"Error argument %d:  %s", static_cast<int>(i), parameter));
        if (bracketed && i < slots.size()) {
            filled[i] = &parameter;
            continue;
        }
        // A parameter without a slot of its own is still worth showing.
        if (!list.empty())
            list += u", ";
        list += parameter;
    }
    std::u16string text;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (!filled[i])
            continue;
        text.append(description, pos, slots[i].begin - pos);
        text += *filled[i];
        pos = slots[i].end;
    }
    text.append(description, pos);
    if (!list.empty())
        text += u" (" + list + u")";
    return text;
}

std::u16string FormatErrorRecords(
    const std::vector<engine::ErrorRecord>& records, const EngineErrorScope& scope)
{
    scope.log.LogLine(u"\r\n");
    scope.log.LogLine(exchange::Format(u"Number of error records: %d", static_cast<int>(records.size())));
    std::u16string message;
    for (std::size_t index = 0; index < records.size(); ++index) {
        const engine::ErrorRecord& record = records[index];
        const auto code = static_cast<std::uint32_t>(record.result);
        scope.log.LogLine(exchange::Format(u"Error record %d: 0x%lx", static_cast<int>(index), code));
        if (scope.checkNotValidDatabase && scope.needsEngine3
            && exchange::Contains(
                exchange::ToUpperAscii(record.description), u"THE FILE IS NOT A VALID DATABASE FILE"))
            *scope.needsEngine3 = true;
        std::u16string description = DescribeRecord(record, scope.log);
        if (!description.empty()) {
            message = exchange::Format(u"0x%lx\r\n%s.", code, description);
        } else if (record.result == kLoginFailed) {
            message = exchange::Format(u"0x%lx\r\nLogin failed.  Check your password.", code);
            if (scope.needsEngine3)
                *scope.needsEngine3 = false;
        } else {
            message = exchange::Format(u"0x%lx\r\nUnknown error", code);
        }
    }
    return message;
}

int FormatEngineError(const EngineErrorScope& scope, std::u16string& message)
{
    message.clear();
    std::vector<engine::ErrorRecord> records;
    if (engine::GetErrorInfo(records) != engine::S_OK)
        return 1;
    message = FormatErrorRecords(records, scope);
    return 1;
}

bool AppendEngineError(const EngineErrorScope& scope, std::u16string& text)
{
    std::u16string message;
    int status = FormatEngineError(scope, message);
    if (status) {
        text += u"\r\n";
        text += message;
    }
    exchange::DebugOutput(u"\r\n\r\nAn error occurred:\r\n\r\n" + text + u"\r\n\r\n");
    return status != 0;
}

} // namespace agent
