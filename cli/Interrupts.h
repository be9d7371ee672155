// How quorvane-cli ends on SIGINT, SIGTERM and SIGHUP.
//
// Outside an InterruptScope the program ends at once with status 130: the
// command touches nothing that an interrupt could leave half done. Inside
// one (a command that works through the agent, a copy), the first interrupt
// runs the scope's handler on the main thread (through a self-pipe and a
// QSocketNotifier, so it waits for the main thread's event loop): the
// command cancels its device request the way the desktop's Cancel does
// ("Cancel" = 1, then the stopper; a copy removes its temporary file) and
// ends with status 130 once that is done. A second interrupt ends the
// program at once, saying that the device may still be busy.
//
// Install once, on the main thread, with a QCoreApplication alive; scopes
// live on the main thread.
#pragma once

#include <functional>
#include <string>

namespace cli {

void InstallInterruptHandling();

// True once an interrupt arrived (safe from any thread).
bool Interrupted();

class InterruptScope {
public:
    // `onInterrupt` runs on the main thread at the first interrupt; empty
    // means devlink::RequestCancel (the running request of the session).
    // `notice` is the line printed then; empty: that the request is being
    // stopped on the device.
    explicit InterruptScope(std::function<void()> onInterrupt = {}, std::string notice = {});
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    std::function<void()> m_previous;
    std::string m_previousNotice;
};

} // namespace cli
