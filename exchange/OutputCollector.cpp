#include "exchange/OutputCollector.h"

#include "exchange/Text.h"

namespace exchange {

bool MemorySink::Write(const char* bytes, std::size_t size)
{
    m_bytes.append(bytes, size);
    ++m_writes;
    return true;
}

OutputCollector::OutputCollector(OutputSink& sink)
    : m_sink(sink)
{
    m_buffer.reserve(kCapacityBytes);
}

OutputCollector::~OutputCollector()
{
    FlushOutput();
}

void OutputCollector::WriteText(std::u16string_view text)
{
    if (text.empty())
        return;
    std::string bytes = ToUtf16LeBytes(text);
    if (m_buffer.size() + bytes.size() > kCapacityBytes)
        FlushOutput();
    if (bytes.size() > kCapacityBytes)
        WriteDirect(bytes);
    else
        m_buffer += bytes;
}

void OutputCollector::WriteLongText(std::u16string_view text)
{
    FlushOutput();
    if (!text.empty())
        WriteDirect(ToUtf16LeBytes(text));
}

bool OutputCollector::FlushOutput()
{
    if (!m_buffer.empty()) {
        WriteDirect(m_buffer);
        m_buffer.clear();
    }
    return m_ok;
}

void OutputCollector::WriteDirect(const std::string& bytes)
{
    if (!m_sink.Write(bytes.data(), bytes.size()))
        m_ok = false;
}

} // namespace exchange
