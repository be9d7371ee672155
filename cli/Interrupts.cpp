#include "cli/Interrupts.h"

#include "desktop/link/AgentInvocation.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cli {
namespace {

std::atomic<int> g_signals { 0 };
std::atomic<int> g_scopes { 0 };
int g_pipe[2] = { -1, -1 };
std::function<void()> g_onInterrupt; // main thread only
std::string g_notice; // main thread only; empty: kFirst

constexpr char kFirst[] = "quorvane-cli: interrupted; stopping the request on the device "
                          "(interrupt again to quit at once)\n";
constexpr char kAgain[] = "quorvane-cli: interrupted again; quitting now: the device may still be busy "
                          "with the request\n";

void Say(const char* text, std::size_t size)
{
    // Only write(2) is safe in a signal handler; a short write is let go.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, text, size);
}

void OnSignal(int)
{
    const int count = ++g_signals;
    if (count > 1) {
        Say(kAgain, sizeof kAgain - 1);
        _exit(130);
    }
    if (g_scopes.load() == 0)
        _exit(130);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
}

void OnNotified()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t read = ::read(g_pipe[0], &byte, 1);
    if (g_notice.empty())
        Say(kFirst, sizeof kFirst - 1);
    else
        Say(g_notice.data(), g_notice.size());
    if (g_onInterrupt)
        g_onInterrupt();
    else
        devlink::RequestCancel();
}

} // namespace

void InstallInterruptHandling()
{
    if (g_pipe[0] >= 0 || pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [] { OnNotified(); });
    struct sigaction action { };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : { SIGINT, SIGTERM, SIGHUP })
        sigaction(signal, &action, nullptr);
}

bool Interrupted()
{
    return g_signals.load() > 0;
}

InterruptScope::InterruptScope(std::function<void()> onInterrupt, std::string notice)
    : m_previous(std::move(g_onInterrupt))
    , m_previousNotice(std::move(g_notice))
{
    g_onInterrupt = std::move(onInterrupt);
    g_notice = std::move(notice);
    ++g_scopes;
}

InterruptScope::~InterruptScope()
{
    --g_scopes;
    g_onInterrupt = std::move(m_previous);
    g_notice = std::move(m_previousNotice);
}

} // namespace cli
