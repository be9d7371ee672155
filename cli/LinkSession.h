// What every quorvane-cli command that works through the agent shares: the
// prompter that prints the desktop's messages and answers its questions
// (safe answers, or Yes with --yes), the connection and agent deployment of
// the desktop link, the password of a database (given, or remembered), and
// a watchdog that cancels a request when the device shows no progress for
// too long (a stuck agent would otherwise be waited for without end, since
// the safe answer to "Your device has stopped responding." is No), and the
// interrupt scope: Ctrl-C cancels the request that runs (Interrupts.h).
//
// One LinkSession per command run, on the program's main thread, with a
// QCoreApplication alive.
#pragma once

#include "cli/CliContext.h"
#include "cli/CommandSyntax.h"
#include "cli/Interrupts.h"
#include "desktop/link/NonInteractivePrompter.h"

#include <QTimer>

#include <functional>
#include <memory>
#include <mutex>

namespace devlink {
class DeviceLease;
class RequestController;
} // namespace devlink

namespace cli {

// The options every agent command takes: --yes and --timeout SECONDS.
QVector<OptionSpec> AgentOptions();
// --password P and --remember, for the commands that open a database.
QVector<OptionSpec> PasswordOptions();

// Seconds without progress before a request is cancelled, unless
// --timeout says otherwise (0: wait without limit).
inline constexpr int kDefaultTimeoutSeconds = 120;

// The prompter of the cli: prints like NonInteractivePrompter and counts
// what it printed, so that a failure the desktop already explained is not
// explained twice. "Your device has stopped responding." is answered No even
// with --yes: the watchdog decides when to give up. The desktop's advice
// about its connection (ActiveSync, the taskbar icon) becomes the cli's own
// line, printed once: NoDeviceMessage when no device answers, "the
// connection to the device was lost" when it went away. Host paths of the
// device's store in the device's messages become device paths
// (WithDevicePaths).
class CliPrompter : public devlink::NonInteractivePrompter {
public:
    explicit CliPrompter(
        Mode mode = Mode::SafeAnswers, std::FILE* stream = stderr, const QString& socketPath = QString());

    devlink::PromptAnswer Ask(const devlink::PromptRequest& request) override;
    devlink::ConnectionErrorAnswer AskConnectionError(
        const devlink::ConnectionErrorRequest& request) override;
    devlink::SqlErrorAnswer AskSqlError(const devlink::SqlErrorRequest& request) override;

    int shown() const { return m_shown; }
    // Prints "quorvane-cli: <text>" the first time it is asked to.
    void PrintOnce(const QString& text);
    // The device answered once: a later failure to connect is a lost connection.
    void SetConnected() { m_connected = true; }

private:
    std::FILE* m_stream;
    QString m_socketPath;
    std::atomic<int> m_shown { 0 };
    std::atomic<bool> m_connected { false };
    std::mutex m_printedMutex;
    QStringList m_printed;
};

// `text` with every host path inside the device's store (as the device's
// engine names files in its messages) written as the device path it stands
// for: ".../device/files/My Documents/a.sdf" -> "\My Documents\a.sdf".
// Knows the store of the usual device folder (QUORVANE_HOME follows).
QString WithDevicePaths(const QString& text);

class LinkSession {
public:
    // Takes --yes and --timeout from `parsed`; becomes the program's
    // prompter until it ends.
    LinkSession(CliContext& cx, const ParsedCommand& parsed);
    ~LinkSession();
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // ConnectToDevice, then DeployAgentFiles. False (after the desktop's
    // message) when either fails. Both first wait for any other cli command
    // working through this device's agent: the query file, the results file
    // and "Status" exist once per device, so two requests must not overlap.
    bool Open();
    bool Connect();

    // The password for `databasePath`: --password when given, else the
    // remembered one (settings store), else empty.
    QString Password(const QString& databasePath) const;
    // With --remember, stores the password used for `databasePath`.
    void RememberPassword(const QString& databasePath, const QString& password) const;

    // Starts the watchdog for a request run by `controller` (progress is its
    // status text), or for a request without one (null: the time limit then
    // counts from here). Stops with Disarm or when the session ends.
    void Arm(devlink::RequestController* controller);
    void Disarm();
    bool TimedOut() const { return m_timedOut; }
    // Work that runs without a controller tells its progress here: a text
    // unlike the last one restarts the watchdog.
    void NoteProgress(const QString& progress);

    // Prints "quorvane-cli: <text>" on stderr and returns kFailed.
    int Fail(const QString& text);
    // As Fail, but only when the desktop's own messages said nothing yet.
    int FailQuietly(const QString& text);
    // As Fail, but a text this session printed already is not printed again.
    int FailOnce(const QString& text);
    // The cancelled request's message when the watchdog fired.
    int FailTimedOut();
    // Whether --password was given.
    bool passwordGiven() const { return m_passwordGiven; }

    int timeoutSeconds() const { return m_timeoutSeconds; }
    CliContext& cx() { return m_cx; }

    // Waits (up to the timeout) until no other program works with this
    // device's agent, and holds it off until the session ends (the device
    // lease). False, after saying so, when the wait was in vain.
    bool LockDevice();

    // Runs device work on the device session under the watchdog and waits
    // for it; false when it never ran (cancelled before it started, or the
    // program was interrupted).
    bool RunOnDevice(const std::function<void()>& work);

private:
    void OnProgress(const QString& status);
    void OnTimeout();
    void OnInterrupt();

    CliContext& m_cx;
    CliPrompter m_prompter;
    bool m_remember = false;
    bool m_passwordGiven = false;
    QString m_password;
    int m_timeoutSeconds = kDefaultTimeoutSeconds;
    QTimer m_watchdog;
    devlink::RequestController* m_controller = nullptr;
    QString m_lastProgress;
    bool m_timedOut = false;
    std::unique_ptr<devlink::DeviceLease> m_lease;
    InterruptScope m_interrupts;
};

// The timeout option's value: whole seconds, 0 or more. False for anything
// else.
bool ParseTimeout(const QString& text, int* seconds);

} // namespace cli
