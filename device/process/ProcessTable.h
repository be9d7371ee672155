// The emulated device's processes: its process table and how device
// programs run.
//
// Three kinds of process share one table, in this order in a snapshot:
//   - the device's own system processes (NK.EXE, filesys.exe, device.exe,
//     gwes.exe, services.exe, shell32.exe, ...): always there, never ended;
//     terminating one gives ERROR_ACCESS_DENIED;
//   - ROM programs of the factory image (files with FILE_ATTRIBUTE_INROM
//     whose content is not a host program): simulated, listed until they
//     are terminated or the device restarts;
//   - device programs: store files whose content is a host executable (ELF).
//     Each runs as a child process of the device host, its image copied out
//     of the store (the store file stays free to be replaced), with
//       argv[0] = the file name, argv[1] = the whole command line as one
//       argument (absent when the command line is empty),
//       standard input from /dev/null, standard output and error inherited,
//       the environment of the host plus QUORVANE_DEVICE_DIR,
//       QUORVANE_DEVICE_SOCKET (when known), QUORVANE_CE_HOST_FD (its end of
//       its host link), QUORVANE_CE_MODULE and QUORVANE_CE_PROCESS_ID (see
//       platform/ce/Ce.h).
//     A program leaves the table the moment it ends: its end is noticed by a
//     service thread, and every snapshot first collects ended programs.
// Anything else that is asked to run fails with ERROR_BAD_EXE_FORMAT.
//
// Programs never outlive the table: each is killed, with every process of
// its process group, when it is terminated, by EndAll and by the table's
// end; and the kernel kills it when the device host dies (see LaunchThread).
//
// Process ids look like a device's (scattered 32-bit values ending in binary
// 10), are never 0, and are not reused while the table lives.
//
// The host link of each program (platform/ce/HostLink.h) is served by the
// table's service thread: snapshots, opening, terminating and starting
// processes, and the restart request, which is handed to the owner's
// reboot function.
//
// Every public function is safe from any thread.
#pragma once

#include "device/process/LaunchThread.h"
#include "device/server/ProcessHost.h"
#include "platform/store/Store.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace device {

struct ProcessInfo {
    enum class Kind { System, Simulated, Program };
    DWORD id = 0;
    DWORD parentId = 0; // 0 when started from outside the device
    std::u16string name; // the executable's file name
    Kind kind = Kind::System;
    int hostPid = 0; // programs only
};

class ProcessTable : public ProcessHost {
public:
    struct Config {
        store::Store* store = nullptr; // the device's store; outlives the table
        std::filesystem::path deviceDir; // given to programs as QUORVANE_DEVICE_DIR
        std::filesystem::path rapiSocket; // given as QUORVANE_DEVICE_SOCKET when not empty
        // Starts a restart of the device (clean: from the factory image) and
        // returns ERROR_SUCCESS, or returns why the device cannot restart.
        // Called from the service thread or a client's thread; it must not
        // wait for the restart itself (which ends every program through
        // EndAll). Null: the device cannot restart (ERROR_NOT_SUPPORTED).
        std::function<DWORD(bool clean)> reboot;
    };

    // The environment variable that gives a program its device process id;
    // with kEnvDeviceDir it marks a process as a program of one device.
    static constexpr const char* kEnvProcessId = "QUORVANE_CE_PROCESS_ID";

    explicit ProcessTable(Config config);
    // Ends every program and stops the service thread.
    ~ProcessTable() override;
    ProcessTable(const ProcessTable&) = delete;
    ProcessTable& operator=(const ProcessTable&) = delete;

    // Starts `application` for a remote client (no parent).
    DWORD CreateProcess(
        std::u16string_view application, std::u16string_view commandLine, ProcessStart* started) override;

    // The table as ListProcesses gives it to remote clients.
    DWORD ListProcesses(std::vector<ProcessEntry>* processes) override;
    DWORD TerminateProcess(DWORD processId) override { return Terminate(processId); }
    DWORD Reboot(bool clean) override { return RequestReboot(clean); }
    bool IsRunning(DWORD processId) override { return Find(processId) == ERROR_SUCCESS; }

    // Starts `application` with `commandLine` on behalf of process
    // `parentId` (0: from outside). ERROR_SUCCESS with the new ids;
    // ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_INVALID_NAME,
    // ERROR_ACCESS_DENIED (a folder), ERROR_SHARING_VIOLATION (the file is
    // open for writing), ERROR_BAD_EXE_FORMAT (neither a host program nor a
    // ROM program, or a host program that cannot be executed here),
    // ERROR_NOT_ENOUGH_MEMORY / ERROR_GEN_FAILURE when the host refused.
    DWORD Start(std::u16string_view application, std::u16string_view commandLine, DWORD parentId,
        ProcessStart* started);

    // The table as it is now, ended programs already gone.
    std::vector<ProcessInfo> Snapshot();

    // ERROR_SUCCESS when process `id` runs, else ERROR_INVALID_PARAMETER.
    DWORD Find(DWORD id);

    // Ends process `id` and removes it from the table before returning.
    // ERROR_ACCESS_DENIED for a system process, ERROR_INVALID_PARAMETER when
    // no such process runs.
    DWORD Terminate(DWORD id);

    // Ends every program and simulated process (the system processes stay)
    // and returns once all have left the table. For restarts and shutdown.
    void EndAll();

    // Asks the owner's reboot function to restart the device.
    DWORD RequestReboot(bool clean);

    // The names of the system processes, in table order.
    static const std::vector<std::u16string>& SystemProcessNames();

    struct Entry;

private:
    void Serve();
    void Wake();
    bool HandleLink(const std::shared_ptr<Entry>& entry);
    // Removes an ended program (or every entry when `entry` is null and
    // `all`); true when it had ended.
    bool Collect(const std::shared_ptr<Entry>& entry);
    void CollectEnded();
    DWORD NextId();

    Config m_config;
    std::mutex m_mutex; // guards m_entries and m_nextSeq
    std::vector<std::shared_ptr<Entry>> m_entries;
    std::uint32_t m_nextSeq = 1;
    std::mutex m_launchMutex; // one launch at a time
    LaunchThread m_launcher;
    int m_wakeFd = -1;
    std::atomic<bool> m_stop { false };
    std::thread m_service;
};

} // namespace device
