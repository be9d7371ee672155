// The agent's output collector: every file the agent writes (results file,
// DBSchema.txt, DBSchema.bin) goes through one of these.
//
// Text pieces are gathered as UTF-16LE bytes (no byte-order mark, no
// terminator) in a 50,000-byte buffer that is written to the sink whenever the
// next piece would not fit and on FlushOutput. Long text values bypass the
// buffer: the buffer is flushed first, so the file keeps the order in which
// the pieces were written.
//
// One collector belongs to one thread; the sink must outlive it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace exchange {

// Where collected bytes go: the agent's device file, or memory in tests.
class OutputSink {
public:
    virtual ~OutputSink() = default;
    // Writes all `size` bytes at the end of the output; true when all were written.
    virtual bool Write(const char* bytes, std::size_t size) = 0;
};

// A sink that keeps everything in memory, counting the writes it received.
class MemorySink : public OutputSink {
public:
    bool Write(const char* bytes, std::size_t size) override;

    const std::string& bytes() const { return m_bytes; }
    std::size_t writeCount() const { return m_writes; }

private:
    std::string m_bytes;
    std::size_t m_writes = 0;
};

class OutputCollector {
public:
    static constexpr std::size_t kCapacityBytes = 50000;

    explicit OutputCollector(OutputSink& sink);
    // Flushes what is still collected (a runner normally calls FlushOutput).
    ~OutputCollector();
    OutputCollector(const OutputCollector&) = delete;
    OutputCollector& operator=(const OutputCollector&) = delete;

    // Appends `text`. When it does not fit behind what is collected, the
    // collected bytes are written out first; a piece larger than the whole
    // buffer is then written straight to the sink.
    void WriteText(std::u16string_view text);

    // Flushes, then writes `text` straight to the sink (long text values).
    void WriteLongText(std::u16string_view text);

    // Writes out what is collected. True when every write so far succeeded.
    bool FlushOutput();

    // False once any write to the sink failed (the bytes of that write are
    // lost; later pieces are still attempted).
    bool ok() const { return m_ok; }

    // Bytes collected and not yet written.
    std::size_t pendingBytes() const { return m_buffer.size(); }

private:
    void WriteDirect(const std::string& bytes);

    OutputSink& m_sink;
    std::string m_buffer;
    bool m_ok = true;
};

} // namespace exchange
