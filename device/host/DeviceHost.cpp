#include "device/host/DeviceHost.h"

#include "device/host/FactoryImage.h"
#include "device/host/FactoryReset.h"
#include "device/host/Notifications.h"
#include "device/process/LeftoverPrograms.h"
#include "device/process/ProcessTable.h"
#include "device/process/Restart.h"
#include "device/server/RapiServer.h"
#include "exchange/Home.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace device {
namespace {

RapiServer* g_server = nullptr;

void OnStopSignal(int)
{
    if (g_server)
        g_server->RequestStop();
}

// The whole-file write lock that marks the running host. An open-file-
// description lock can be tested without being taken.
struct flock WholeFile(short type)
{
    struct flock l { };
    l.l_type = type;
    l.l_whence = SEEK_SET;
    return l;
}

// Tells the starting parent how the start went, once; or, in the
// foreground, prints it.
class Readiness {
public:
    explicit Readiness(int fd)
        : m_fd(fd)
    {
    }
    ~Readiness() { Close(); }
    void Ready(const std::string& message) { Send('+', message, std::cout); }
    void Failed(const std::string& message) { Send('-', message, std::cerr); }

private:
    void Send(char kind, const std::string& message, std::ostream& out)
    {
        if (m_fd < 0) {
            if (!m_sent)
                out << "cedevice: " << message << std::endl;
        } else {
            std::string line = kind + message;
            (void)!write(m_fd, line.data(), line.size());
            Close();
        }
        m_sent = true;
    }
    void Close()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }
    int m_fd;
    bool m_sent = false;
};

std::string Describe(const DeviceFolder& folder)
{
    HostState state;
    if (!ReadHostState(folder, &state))
        return "a device already runs on store " + folder.dir.string();
    return "a device already runs on store " + folder.dir.string() + " (pid " + std::to_string(state.pid)
        + ", socket " + state.socket + ")";
}

bool ResolveProfile(
    const HostOptions& options, const DeviceFolder& folder, Profile* profile, std::string* error)
{
    if (!options.profile.empty())
        return LoadProfile(options.profile, profile, error);
    std::ifstream in(folder.ProfileFile(), std::ios::binary);
    if (in) {
        std::string text((std::istreambuf_iterator<char>(in)), {});
        if (ParseProfile(text, profile, error))
            return true;
        *error = folder.ProfileFile().string() + ": " + *error;
        return false;
    }
    *profile = *BuiltInProfile("pocketpc");
    return true;
}

void Log(const std::string& line)
{
    std::cerr << "cedevice: " << line << std::endl;
}

// The programs cedevice puts into every new store besides the ROM programs:
// the CAB installer, from beside cedevice itself (when it was built).
std::vector<ImageFile> DeviceImageFiles()
{
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::filesystem::path wceload = self.parent_path() / "wceload";
    if (ec || !std::filesystem::is_regular_file(wceload, ec))
        return {};
    return { { u"\\Windows\\wceload.exe", wceload, true } };
}

// Points standard input at /dev/null and the outputs at `log` (or /dev/null),
// so a detached host holds none of its starter's descriptors.
void RedirectOutput(const std::filesystem::path& log)
{
    int null = open("/dev/null", O_RDWR);
    int out = log.empty() ? -1 : open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (out < 0)
        out = null;
    if (null >= 0)
        dup2(null, 0);
    if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
    }
    if (out >= 0 && out != null)
        close(out);
    if (null >= 0)
        close(null);
}

int RunDevice(const HostOptions& options, int readyFd)
{
    if (readyFd >= 0)
        RedirectOutput({});
    Readiness ready(readyFd);
    DeviceFolder folder { options.storeDir };
    std::error_code ec;
    if (!std::filesystem::exists(folder.dir, ec)) {
        std::filesystem::create_directories(folder.dir, ec);
        if (ec) {
            ready.Failed("cannot create the store folder " + folder.dir.string() + ": " + ec.message());
            return 1;
        }
        chmod(folder.dir.c_str(), 0700);
    }
    int lockFd = open(folder.LockFile().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    struct flock lock = WholeFile(F_WRLCK);
    if (lockFd < 0) {
        ready.Failed("cannot open " + folder.LockFile().string() + ": " + std::strerror(errno));
        return 1;
    }
    if (fcntl(lockFd, F_OFD_SETLK, &lock) != 0) {
        ready.Failed(Describe(folder));
        return 1;
    }
    // Programs of an earlier host that was killed would go on writing to
    // the store and the registry, and answer the next request in its place.
    std::string error;
    std::vector<pid_t> leftovers;
    if (!EndLeftoverPrograms(folder.dir, &leftovers, &error)) {
        ready.Failed(error);
        return 1;
    }
    error = home::CheckSocketPath(options.socketPath);
    if (!error.empty()) {
        ready.Failed(error);
        return 1;
    }
    Profile profile;
    if (!ResolveProfile(options, folder, &profile, &error)) {
        ready.Failed(error);
        return 1;
    }
    if (!WriteFileAtomically(folder.ProfileFile(), FormatProfile(profile), &error)) {
        ready.Failed(error);
        return 1;
    }
    if (!DiscardUnfinishedRestore(folder, &error)) {
        ready.Failed("cannot discard an interrupted hard reset: " + error);
        return 1;
    }
    const std::vector<ImageFile> imageFiles = DeviceImageFiles();
    if (!EnsureFactoryImage(folder.Files(), folder.Registry(), profile, imageFiles, &error)) {
        ready.Failed("cannot lay out a new device: " + error);
        return 1;
    }
    auto store = store::Store::Open(folder.Files(), &error);
    if (!store) {
        ready.Failed(error);
        return 1;
    }
    auto hive = reg::Hive::Open(folder.Registry(), reg::Sync::Lazy, &error);
    if (!hive) {
        ready.Failed(error);
        return 1;
    }
    // Device programs ask for restarts through the process table; the
    // restarter exists only once the server does, hence the late binding.
    std::atomic<Restarter*> restarter { nullptr };
    ProcessTable::Config processConfig;
    processConfig.store = store.get();
    processConfig.deviceDir = folder.dir;
    processConfig.rapiSocket = options.socketPath;
    processConfig.reboot = [&restarter](bool clean) {
        Restarter* r = restarter.load();
        return r ? r->Request(clean) : DWORD(ERROR_NOT_SUPPORTED);
    };
    ProcessTable processes(processConfig);
    DeviceServices services { store.get(), hive.get(), &profile, &processes };
    RapiServer server(services);
    server.SetIdleTimeout(MillisecondsFromEnvironment(
        kEnvIdleTimeout, RapiServer::kDefaultIdleTimeout, std::chrono::hours(24)));
    if (!server.Listen(options.socketPath, &error)) {
        ready.Failed(error);
        return 1;
    }

    g_server = &server;
    struct sigaction sa { };
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::string state = "pid=" + std::to_string(getpid()) + "\nsocket=" + options.socketPath.string()
        + "\nprofile=" + profile.name + "\n";
    if (!WriteFileAtomically(folder.StateFile(), state, &error)) {
        ready.Failed(error);
        return 1;
    }
    if (readyFd >= 0)
        RedirectOutput(folder.LogFile());
    for (pid_t pid : leftovers)
        Log("ended device program " + std::to_string(pid)
            + ", left running by an earlier device on this store");
    std::vector<std::string> environment = { std::string(kEnvDeviceDir) + "=" + folder.dir.string(),
        std::string(kEnvDeviceSocket) + "=" + options.socketPath.string() };
    auto notify = [&environment](Notification which) {
        for (const auto& p : RunNotification(which, home::DesktopHiveDir(), environment))
            Log(std::string(which == Notification::Connect ? "connect" : "disconnect") + " notification: " + p);
    };
    Restarter::Steps steps;
    steps.closeClients = [&server] {
        server.SetAdmitting(false);
        server.DropClients();
    };
    steps.endProcesses = [&processes] { processes.EndAll(); };
    steps.syncRegistry = [&hive] {
        if (hive->Sync() != reg::ERROR_SUCCESS)
            Log("could not flush the device registry to disk");
    };
    steps.restoreFactoryImage = [&](std::string* why) {
        return RestoreFactoryImage(folder, *store, *hive, profile, imageFiles, why);
    };
    steps.disconnected = [&notify] { notify(Notification::Disconnect); };
    steps.openClients = [&server] { server.SetAdmitting(true); };
    steps.connected = [&notify] { notify(Notification::Connect); };
    steps.log = Log;
    steps.bootDelay = BootDelayFromEnvironment();
    Restarter restarts(steps);
    restarter = &restarts;

    auto connectProblems = RunNotification(Notification::Connect, home::DesktopHiveDir(), environment);

    for (const auto& p : connectProblems)
        Log("connect notification: " + p);
    ready.Ready("device ready: store " + folder.dir.string() + ", socket " + options.socketPath.string()
        + ", profile " + profile.name + ", pid " + std::to_string(getpid()));

    server.Run();
    g_server = nullptr;
    // A restart under way finishes first; then every device program ends.
    restarter = nullptr;
    restarts.Shutdown();
    processes.EndAll();

    if (hive->Sync() != reg::ERROR_SUCCESS)
        Log("could not flush the device registry to disk");
    hive.reset();
    for (const auto& p : RunNotification(Notification::Disconnect, home::DesktopHiveDir(), environment))
        Log("disconnect notification: " + p);
    unlink(folder.StateFile().c_str());
    close(lockFd);
    return 0;
}

// True when `pid` is gone or only a zombie waiting for its reaper.
bool ProcessEnded(pid_t pid)
{
    if (kill(pid, 0) != 0)
        return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

} // namespace

bool IsDeviceRunning(const DeviceFolder& folder)
{
    int fd = open(folder.LockFile().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock probe = WholeFile(F_WRLCK);
    bool held = fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    close(fd);
    return held;
}

bool ReadHostState(const DeviceFolder& folder, HostState* state)
{
    std::ifstream in(folder.StateFile());
    if (!in)
        return false;
    std::string line;
    bool havePid = false;
    while (std::getline(in, line)) {
        if (line.starts_with("pid=")) {
            state->pid = pid_t(std::atol(line.c_str() + 4));
            havePid = state->pid > 0;
        } else if (line.starts_with("socket=")) {
            state->socket = line.substr(7);
        } else if (line.starts_with("profile=")) {
            state->profile = line.substr(8);
        }
    }
    return havePid;
}

int StartDevice(const HostOptions& options)
{
    if (options.foreground)
        return RunDevice(options, -1);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        std::cerr << "cedevice: cannot create a pipe: " << std::strerror(errno) << std::endl;
        return 1;
    }
    pid_t child = fork();
    if (child < 0) {
        std::cerr << "cedevice: cannot fork: " << std::strerror(errno) << std::endl;
        return 1;
    }
    if (child == 0) {
        close(pipeFds[0]);
        setsid();
        pid_t daemon = fork();
        if (daemon != 0)
            _exit(daemon < 0 ? 1 : 0);
        if (chdir("/") != 0)
            _exit(1);
        umask(077);
        _exit(RunDevice(options, pipeFds[1]));
    }
    close(pipeFds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    std::string message;
    char buffer[512];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            message.append(buffer, std::size_t(n));
    close(pipeFds[0]);
    if (message.empty()) {
        std::cerr << "cedevice: the device ended before it was ready; see "
                  << DeviceFolder { options.storeDir }.LogFile().string() << std::endl;
        return 1;
    }
    if (message[0] == '+') {
        std::cout << "cedevice: " << message.substr(1) << std::endl;
        return 0;
    }
    std::cerr << "cedevice: " << message.substr(1) << std::endl;
    return 1;
}

int StopDevice(const std::filesystem::path& storeDir)
{
    DeviceFolder folder { storeDir };
    if (!IsDeviceRunning(folder)) {
        std::cerr << "cedevice: no device runs on store " << storeDir.string() << std::endl;
        return 1;
    }
    HostState state;
    // A device that is still starting writes its state in a moment.
    for (int i = 0; i < 100 && !ReadHostState(folder, &state); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (state.pid <= 0 || kill(state.pid, SIGTERM) != 0) {
        std::cerr << "cedevice: cannot signal the device host of store " << storeDir.string() << std::endl;
        return 1;
    }
    for (int i = 0; i < 1500; ++i) {
        if (!IsDeviceRunning(folder)) {
            // The lock goes with the host's last step; let the process finish too.
            for (int j = 0; j < 200 && !ProcessEnded(state.pid); ++j)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::cout << "cedevice: device stopped (store " << storeDir.string() << ")" << std::endl;
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::cerr << "cedevice: the device host (pid " << state.pid << ") did not end within 30 seconds"
              << std::endl;
    return 1;
}

int DeviceStatus(const std::filesystem::path& storeDir)
{
    DeviceFolder folder { storeDir };
    HostState state;
    if (!IsDeviceRunning(folder) || !ReadHostState(folder, &state)) {
        std::cout << "not running\nstore: " << storeDir.string() << std::endl;
        return 3;
    }
    std::cout << "running\npid: " << state.pid << "\nstore: " << storeDir.string()
              << "\nsocket: " << state.socket << "\nprofile: " << state.profile << std::endl;
    return 0;
}

} // namespace device
