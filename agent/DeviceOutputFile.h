// The agent's output files on the device (results, schema, process list).
// A file is written under a temporary name beside its final one and put in
// place when it is complete, so the desktop never reads half an answer and a
// stopped agent never leaves one.
//
// One object belongs to one thread.
#pragma once

#include "agent/AgentFiles.h"
#include "exchange/OutputCollector.h"
#include "platform/rapi/CeTypes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace agent {

class DeviceOutputFile : public exchange::OutputSink {
public:
    explicit DeviceOutputFile(AgentFiles& files);
    // Abandons a file that was not committed (its temporary copy is deleted).
    ~DeviceOutputFile() override;
    DeviceOutputFile(const DeviceOutputFile&) = delete;
    DeviceOutputFile& operator=(const DeviceOutputFile&) = delete;

    // Starts the file `path` anew. False when it cannot be created.
    bool Create(std::u16string_view path);
    bool Write(const char* bytes, std::size_t size) override;
    // Closes the file and puts it in place of `path`. False when a write or
    // the replacement failed (the old file, if any, then stays).
    bool Commit();
    // Closes and deletes the unfinished file.
    void Abandon();

    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    AgentFiles& m_files;
    std::u16string m_path;
    std::u16string m_temporary;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    bool m_ok = true;
};

// Writes `text` (UTF-16LE, no mark) as the whole file `path`. False on failure.
bool WriteDeviceTextFile(AgentFiles& files, std::u16string_view path, std::u16string_view text);

// Reads at most `maxBytes` of device file `path` (opened for reading, shared
// for reading). False when it cannot be opened.
bool ReadDeviceFile(std::u16string_view path, std::size_t maxBytes, std::string& bytes);

} // namespace agent
