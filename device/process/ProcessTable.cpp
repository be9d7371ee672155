#include "device/process/ProcessTable.h"

#include "device/process/Launcher.h"
#include "exchange/Text.h"
#include "platform/ce/HostLink.h"
#include "platform/store/DeviceFolder.h"
#include "platform/store/DevicePath.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef P_PIDFD
#define P_PIDFD 3
#endif

namespace device {

struct ProcessTable::Entry {
    ProcessInfo info;
    int pidfd = -1; // programs: the child's process descriptor
    int linkFd = -1; // programs: the host's end of the link; closed by the service thread
    ~Entry()
    {
        if (pidfd >= 0)
            ::close(pidfd);
        if (linkFd >= 0)
            ::close(linkFd);
    }
};

namespace {

using LinkOp = ce::link::LinkOp;
using ce::link::LinkReader;
using ce::link::LinkWriter;

// A link request must arrive whole within this time once it has begun.
constexpr int kLinkReceiveSeconds = 5;

// Scatters sequence numbers over 32-bit ids the way a device's look: an odd
// multiplier is a bijection modulo 2^30, so ids never repeat; the low bits
// are binary 10, so no id is 0 or 0xFFFFFFFF.
DWORD IdFromSequence(std::uint32_t seq)
{
    std::uint32_t scattered = (seq * 0x2545F491u) & 0x3FFFFFFFu;
    return DWORD(scattered << 2 | 2u);
}

// True when the program has ended (and is now reaped), false while it runs.
bool HasEnded(const ProcessTable::Entry& e, bool wait)
{
    siginfo_t info {};
    int options = WEXITED | (wait ? 0 : WNOHANG);
    long r;
    do {
        r = e.pidfd >= 0 ? syscall(SYS_waitid, P_PIDFD, e.pidfd, &info, options, nullptr)
                         : syscall(SYS_waitid, P_PID, e.info.hostPid, &info, options, nullptr);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return true; // ECHILD: already collected (or never ours)
    return info.si_pid != 0;
}

// Kills the program and its process group. The group is signalled only
// while the program is not yet collected: its id then still names the group.
void Kill(const ProcessTable::Entry& e)
{
    bool ours = e.pidfd >= 0 ? syscall(SYS_pidfd_send_signal, e.pidfd, SIGKILL, nullptr, 0) == 0
                             : ::kill(e.info.hostPid, SIGKILL) == 0;
    if (ours)
        ::kill(-e.info.hostPid, SIGKILL);
}

} // namespace

const std::vector<std::u16string>& ProcessTable::SystemProcessNames()
{
    static const std::vector<std::u16string> names { u"NK.EXE", u"filesys.exe", u"device.exe", u"gwes.exe",
        u"services.exe", u"shell32.exe", u"connmgr.exe", u"repllog.exe" };
    return names;
}

ProcessTable::ProcessTable(Config config)
    : m_config(std::move(config))
{
    DWORD kernel = 0;
    for (const auto& name : SystemProcessNames()) {
        auto e = std::make_shared<Entry>();
        e->info.id = NextId();
        e->info.parentId = kernel;
        e->info.name = name;
        e->info.kind = ProcessInfo::Kind::System;
        if (!kernel)
            kernel = e->info.id;
        m_entries.push_back(std::move(e));
    }
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_service = std::thread([this] { Serve(); });
}

ProcessTable::~ProcessTable()
{
    m_stop = true;
    Wake();
    if (m_service.joinable())
        m_service.join();
    EndAll();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

DWORD ProcessTable::NextId()
{
    return IdFromSequence(m_nextSeq++);
}

void ProcessTable::Wake()
{
    std::uint64_t one = 1;
    ssize_t ignored = ::write(m_wakeFd, &one, sizeof one);
    (void)ignored;
}

DWORD ProcessTable::CreateProcess(
    std::u16string_view application, std::u16string_view commandLine, ProcessStart* started)
{
    return Start(application, commandLine, 0, started);
}

DWORD ProcessTable::Start(
    std::u16string_view application, std::u16string_view commandLine, DWORD parentId, ProcessStart* started)
{
    store::DevicePath path;
    DWORD error = store::ParseDevicePath(application, store::PathKind::Name, &path);
    if (error != ERROR_SUCCESS)
        return error;
    if (path.IsRoot())
        return ERROR_ACCESS_DENIED;
    // The program's path as the store spells it, component by component.
    store::DevicePath stored;
    std::vector<store::FindEntry> found;
    for (const auto& component : path.components) {
        stored.components.push_back(component);
        error = m_config.store->Find(stored.Text(), FAF_ATTRIBUTES | FAF_NAME, &found);
        if (error != ERROR_SUCCESS)
            return error;
        if (found.empty())
            return stored.components.size() == path.components.size() ? ERROR_FILE_NOT_FOUND
                                                                      : ERROR_PATH_NOT_FOUND;
        stored.components.back() = found[0].name;
    }
    if (found[0].attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ERROR_ACCESS_DENIED;
    std::u16string module = stored.Text();

    std::unique_ptr<store::File> file;
    bool existed = false;
    error = m_config.store->CreateFile(
        module, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0, &file, &existed);
    if (error != ERROR_SUCCESS)
        return error;

    auto e = std::make_shared<Entry>();
    e->info.parentId = parentId;
    e->info.name = found[0].name;
    std::lock_guard launchLock(m_launchMutex);
    DWORD threadId;
    {
        std::lock_guard lock(m_mutex);
        e->info.id = NextId();
        threadId = NextId();
    }
    if (IsHostExecutable(file->fd())) {
        // A command line ends at its first NUL, as the device reads it.
        std::u16string_view line = commandLine.substr(0, commandLine.find(u'\0'));
        LaunchPlan plan;
        plan.imageFd = file->fd();
        plan.argv0 = exchange::ToUtf8(found[0].name);
        plan.commandLine = exchange::ToUtf8(line);
        plan.environment.push_back(std::string(kEnvDeviceDir) + "=" + m_config.deviceDir.string());
        if (!m_config.rapiSocket.empty())
            plan.environment.push_back(std::string(kEnvDeviceSocket) + "=" + m_config.rapiSocket.string());
        plan.environment.push_back("QUORVANE_CE_MODULE=" + exchange::ToUtf8(module));
        plan.environment.push_back(std::string(kEnvProcessId) + "=" + std::to_string(e->info.id));
        plan.scratchDir = m_config.deviceDir;
        Launched launched;
        error = m_launcher.Launch(plan, &launched);
        if (error != ERROR_SUCCESS)
            return error;
        struct timeval timeout {
            kLinkReceiveSeconds, 0
        };
        setsockopt(launched.linkFd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        e->info.kind = ProcessInfo::Kind::Program;
        e->info.hostPid = launched.pid;
        e->pidfd = launched.pidfd;
        e->linkFd = launched.linkFd;
    } else if (found[0].attributes & FILE_ATTRIBUTE_INROM) {
        e->info.kind = ProcessInfo::Kind::Simulated;
    } else {
        return ERROR_BAD_EXE_FORMAT;
    }
    if (started) {
        started->processId = e->info.id;
        started->threadId = threadId;
    }
    {
        std::lock_guard lock(m_mutex);
        m_entries.push_back(std::move(e));
    }
    Wake();
    return ERROR_SUCCESS;
}

bool ProcessTable::Collect(const std::shared_ptr<Entry>& entry)
{
    if (entry->info.kind != ProcessInfo::Kind::Program || !HasEnded(*entry, false))
        return false;
    std::lock_guard lock(m_mutex);
    std::erase(m_entries, entry);
    return true;
}

void ProcessTable::CollectEnded()
{
    std::vector<std::shared_ptr<Entry>> programs;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& e : m_entries)
            if (e->info.kind == ProcessInfo::Kind::Program)
                programs.push_back(e);
    }
    for (const auto& e : programs)
        Collect(e);
}

std::vector<ProcessInfo> ProcessTable::Snapshot()
{
    CollectEnded();
    std::vector<ProcessInfo> out;
    std::lock_guard lock(m_mutex);
    out.reserve(m_entries.size());
    for (const auto& e : m_entries)
        out.push_back(e->info);
    return out;
}

DWORD ProcessTable::ListProcesses(std::vector<ProcessEntry>* processes)
{
    processes->clear();
    for (const auto& p : Snapshot())
        processes->push_back({ p.id, p.parentId, p.name });
    return ERROR_SUCCESS;
}

DWORD ProcessTable::Find(DWORD id)
{
    CollectEnded();
    std::lock_guard lock(m_mutex);
    for (const auto& e : m_entries)
        if (e->info.id == id)
            return ERROR_SUCCESS;
    return ERROR_INVALID_PARAMETER;
}

DWORD ProcessTable::Terminate(DWORD id)
{
    std::shared_ptr<Entry> target;
    {
        std::lock_guard lock(m_mutex);
        auto it = std::find_if(
            m_entries.begin(), m_entries.end(), [&](const auto& e) { return e->info.id == id; });
        if (it == m_entries.end())
            return ERROR_INVALID_PARAMETER;
        if ((*it)->info.kind == ProcessInfo::Kind::System)
            return ERROR_ACCESS_DENIED;
        target = *it;
        if (target->info.kind == ProcessInfo::Kind::Simulated) {
            m_entries.erase(it);
            return ERROR_SUCCESS;
        }
    }
    Kill(*target);
    HasEnded(*target, true);
    std::lock_guard lock(m_mutex);
    std::erase(m_entries, target);
    return ERROR_SUCCESS;
}

void ProcessTable::EndAll()
{
    std::lock_guard launchLock(m_launchMutex);
    std::vector<std::shared_ptr<Entry>> programs;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& e : m_entries)
            if (e->info.kind == ProcessInfo::Kind::Program)
                programs.push_back(e);
        std::erase_if(m_entries, [](const auto& e) { return e->info.kind != ProcessInfo::Kind::System; });
    }
    for (const auto& e : programs)
        Kill(*e);
    for (const auto& e : programs)
        HasEnded(*e, true);
}

DWORD ProcessTable::RequestReboot(bool clean)
{
    if (!m_config.reboot)
        return ERROR_NOT_SUPPORTED;
    return m_config.reboot(clean);
}

void ProcessTable::Serve()
{
    while (!m_stop) {
        std::vector<std::shared_ptr<Entry>> programs;
        {
            std::lock_guard lock(m_mutex);
            for (const auto& e : m_entries)
                if (e->info.kind == ProcessInfo::Kind::Program)
                    programs.push_back(e);
        }
        // Slot 0 wakes; then per program its process descriptor and its link.
        std::vector<pollfd> fds { { m_wakeFd, POLLIN, 0 } };
        for (const auto& e : programs) {
            fds.push_back({ e->pidfd, POLLIN, 0 });
            fds.push_back({ e->linkFd, POLLIN, 0 });
        }
        // A program without a process descriptor is checked now and then.
        int timeout
            = std::any_of(programs.begin(), programs.end(), [](const auto& e) { return e->pidfd < 0; }) ? 200
                                                                                                        : -1;
        int n = poll(fds.data(), fds.size(), timeout);
        if (n < 0 && errno != EINTR)
            break;
        if (fds[0].revents) {
            std::uint64_t drained;
            while (::read(m_wakeFd, &drained, sizeof drained) > 0) { }
        }
        for (std::size_t i = 0; i < programs.size(); ++i) {
            const auto& e = programs[i];
            if (fds[2 * i + 2].revents) {
                if (!HandleLink(e)) {
                    std::lock_guard lock(m_mutex);
                    ::close(e->linkFd);
                    e->linkFd = -1;
                }
            }
            if (fds[2 * i + 1].revents || e->pidfd < 0)
                Collect(e);
        }
    }
}

bool ProcessTable::HandleLink(const std::shared_ptr<Entry>& entry)
{
    int fd = entry->linkFd;
    LinkOp op;
    std::vector<std::uint8_t> payload;
    if (ce::link::ReadLinkFrame(fd, &op, &payload) != ce::link::LinkIo::Ok)
        return false;
    LinkReader r(payload);
    LinkWriter w;
    switch (op) {
    case LinkOp::Snapshot: {
        if (!r.Done())
            return false;
        std::vector<ce::link::LinkProcess> list;
        for (const auto& p : Snapshot())
            list.push_back({ p.id, p.parentId, p.name });
        w.U32(ERROR_SUCCESS);
        ce::link::WriteProcesses(w, list);
        break;
    }
    case LinkOp::OpenProcess:
    case LinkOp::TerminateProcess: {
        std::uint32_t id = 0;
        r.U32(id);
        if (!r.Done())
            return false;
        w.U32(op == LinkOp::OpenProcess ? Find(id) : Terminate(id));
        break;
    }
    case LinkOp::CreateProcess: {
        std::u16string image, commandLine;
        r.Str(image);
        r.Str(commandLine);
        if (!r.Done())
            return false;
        ProcessStart started;
        DWORD error = Start(image, commandLine, entry->info.id, &started);
        w.U32(error);
        w.U32(error == ERROR_SUCCESS ? started.processId : 0);
        w.U32(error == ERROR_SUCCESS ? started.threadId : 0);
        break;
    }
    case LinkOp::Reboot: {
        std::uint32_t clean = 0;
        r.U32(clean);
        if (!r.Done() || clean > 1)
            return false;
        DWORD error = RequestReboot(clean == 1);
        // A restart under way ends the caller; it hears back only when none came.
        if (error == ERROR_SUCCESS)
            return true;
        w.U32(error);
        break;
    }
    }
    return ce::link::SendLinkFrame(fd, op, w.bytes());
}

} // namespace device
