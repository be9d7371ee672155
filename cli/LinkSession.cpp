#include "cli/LinkSession.h"

#include "desktop/link/AgentDeployment.h"
#include "exchange/StepMarks.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLease.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/link/RequestController.h"
#include "desktop/settings/SettingsStore.h"
#include "exchange/Home.h"

namespace cli {

QVector<OptionSpec> AgentOptions()
{
    return {
        { QStringLiteral("yes"), QString(),
            QStringLiteral("Answer Yes to the questions the desktop would ask (default: the answer that "
                           "changes nothing).") },
        { QStringLiteral("timeout"), QStringLiteral("SECONDS"),
            QStringLiteral("Cancel the request when the device shows no progress for this long "
                           "(default %1; 0 waits without limit).")
                .arg(kDefaultTimeoutSeconds) },
    };
}

QVector<OptionSpec> PasswordOptions()
{
    return {
        { QStringLiteral("password"), QStringLiteral("P"),
            QStringLiteral("The database password (default: the remembered one, else none).") },
        { QStringLiteral("remember"), QString(),
            QStringLiteral("Remember the password used for this database on this desktop.") },
    };
}

bool ParseTimeout(const QString& text, int* seconds)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > 24 * 3600)
        return false;
    *seconds = value;
    return true;
}

QString WithDevicePaths(const QString& text)
{
    const QString store = QString::fromStdString((home::DeviceDir() / "files").string());
    if (store.isEmpty())
        return text;
    QString out;
    qsizetype from = 0;
    qsizetype at = 0;
    while ((at = text.indexOf(store, from)) >= 0) {
        const qsizetype start = at + store.size();
        if (start < text.size() && text[start] != u'/') { // another folder that only begins alike
            out += text.mid(from, start - from);
            from = start;
            continue;
        }
        // A path runs to the end of the quote, bracket or line it stands in.
        qsizetype end = start;
        while (end < text.size() && !QStringLiteral("\"']\r\n").contains(text[end]))
            ++end;
        while (end > start && text[end - 1] == u' ')
            --end;
        QString path = text.mid(start, end - start);
        path.replace(QLatin1Char('/'), QLatin1Char('\\'));
        out += text.mid(from, at - from) + (path.isEmpty() ? QStringLiteral("\\") : path);
        from = end;
    }
    return out + text.mid(from);
}

CliPrompter::CliPrompter(Mode mode, std::FILE* stream, const QString& socketPath)
    : NonInteractivePrompter(mode, stream)
    , m_stream(stream)
    , m_socketPath(socketPath)
{
}

void CliPrompter::PrintOnce(const QString& text)
{
    std::lock_guard lock(m_printedMutex);
    if (m_printed.contains(text) || !m_stream)
        return;
    m_printed << text;
    const QByteArray bytes = (QStringLiteral("quorvane-cli: ") + text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), m_stream);
    std::fflush(m_stream);
}

devlink::PromptAnswer CliPrompter::Ask(const devlink::PromptRequest& request)
{
    ++m_shown;
    // Giving up on a silent device is for --timeout to decide: a Yes here would
    // leave the agent running and the answer unread.
    if (request.text.startsWith(QStringLiteral("Your device has stopped responding."))) {
        NonInteractivePrompter safe(Mode::SafeAnswers, m_stream);
        return safe.Ask(request);
    }
    // The desktop's Abort, Retry, Ignore: there is nobody to plug the device back in.
    if (request.text.startsWith(QStringLiteral("The ActiveSync connection to the device has been lost."))) {
        PrintOnce(QStringLiteral("the connection to the device was lost"));
        return devlink::SafeAnswer(request.buttons);
    }
    devlink::PromptRequest shown = request;
    shown.text = WithDevicePaths(request.text);
    return NonInteractivePrompter::Ask(shown);
}

devlink::ConnectionErrorAnswer CliPrompter::AskConnectionError(const devlink::ConnectionErrorRequest&)
{
    ++m_shown;
    if (m_connected)
        PrintOnce(QStringLiteral("the connection to the device was lost"));
    PrintOnce(NoDeviceMessage(m_socketPath));
    return devlink::ConnectionErrorAnswer::Cancel;
}

devlink::SqlErrorAnswer CliPrompter::AskSqlError(const devlink::SqlErrorRequest& request)
{
    ++m_shown;
    devlink::SqlErrorRequest shown = request;
    shown.error = WithDevicePaths(request.error);
    shown.details = WithDevicePaths(request.details);
    return NonInteractivePrompter::AskSqlError(shown);
}

LinkSession::LinkSession(CliContext& cx, const ParsedCommand& parsed)
    : m_cx(cx)
    , m_prompter(parsed.Has(QStringLiteral("yes")) ? devlink::NonInteractivePrompter::Mode::AnswerYes
                                                   : devlink::NonInteractivePrompter::Mode::SafeAnswers,
          stderr, cx.socketPath())
    , m_interrupts([this] { OnInterrupt(); })
{
    m_remember = parsed.Has(QStringLiteral("remember"));
    m_passwordGiven = parsed.Has(QStringLiteral("password"));
    m_password = parsed.Value(QStringLiteral("password"));
    if (parsed.Has(QStringLiteral("timeout")))
        ParseTimeout(parsed.Value(QStringLiteral("timeout")), &m_timeoutSeconds);
    m_watchdog.setSingleShot(true);
    QObject::connect(&m_watchdog, &QTimer::timeout, [this] { OnTimeout(); });
    // Whatever the desktop prints must reach the terminal before our own lines.
    m_cx.err().flush();
    devlink::SetPrompter(&m_prompter);
}

LinkSession::~LinkSession()
{
    Disarm();
    m_cx.out().flush();
    m_cx.err().flush();
    devlink::UninitRapi();
    devlink::SetPrompter(nullptr);
    m_lease.reset();
}

bool LinkSession::LockDevice()
{
    if (m_lease)
        return true;
    auto lease = std::make_unique<devlink::DeviceLease>(m_cx.socketPath());
    const int waitMs = m_timeoutSeconds > 0 ? m_timeoutSeconds * 1000 : -1;
    QString holder = QStringLiteral("another program");
    if (lease->Acquire(waitMs, nullptr, [&](const QString& text) { holder = text; })
        != devlink::DeviceLease::Outcome::Held) {
        Fail(QStringLiteral("the device is busy: %1 is still working with it").arg(holder));
        return false;
    }
    m_lease = std::move(lease);
    return true;
}

bool LinkSession::Connect()
{
    if (!LockDevice() || !devlink::ConnectToDevice())
        return false;
    m_prompter.SetConnected();
    return true;
}

bool LinkSession::Open()
{
    if (!Connect())
        return false;
    exchange::MarkStep("cli: connected");
    if (!devlink::DeployAgentFiles()) {
        FailQuietly(QStringLiteral("the agent could not be copied to the device"));
        return false;
    }
    exchange::MarkStep("cli: deployment checked");
    return true;
}

QString LinkSession::Password(const QString& databasePath) const
{
    if (m_passwordGiven)
        return m_password;
    return settings::GetRememberedPassword(databasePath);
}

void LinkSession::RememberPassword(const QString& databasePath, const QString& password) const
{
    if (m_remember)
        settings::SetRememberedPassword(databasePath, password);
}

bool LinkSession::RunOnDevice(const std::function<void()>& work)
{
    // An interrupt taken while nothing ran cancelled nothing: start nothing more.
    if (Interrupted())
        return false;
    Arm(nullptr);
    const devlink::RequestEnd end
        = devlink::DeviceSession::Instance().RunAndWait([&](devlink::RequestContext&) { work(); });
    Disarm();
    return end == devlink::RequestEnd::Ran;
}

void LinkSession::Arm(devlink::RequestController* controller)
{
    Disarm();
    m_timedOut = false;
    m_controller = controller;
    m_lastProgress.clear();
    if (controller) {
        QObject::connect(controller, &devlink::RequestController::statusTextChanged, controller,
            [this](const QString& status) { OnProgress(status); });
    }
    if (m_timeoutSeconds > 0)
        m_watchdog.start(m_timeoutSeconds * 1000);
}

void LinkSession::Disarm()
{
    m_watchdog.stop();
    if (m_controller)
        QObject::disconnect(
            m_controller, &devlink::RequestController::statusTextChanged, m_controller, nullptr);
    m_controller = nullptr;
}

void LinkSession::OnProgress(const QString& status)
{
    // The status line starts with the elapsed time, which changes by itself.
    QString progress = status;
    const QString time = m_controller ? m_controller->timerText() : QString();
    if (!time.isEmpty() && progress.startsWith(time))
        progress.remove(0, time.size());
    NoteProgress(progress);
}

void LinkSession::NoteProgress(const QString& progress)
{
    if (progress == m_lastProgress)
        return;
    m_lastProgress = progress;
    if (m_watchdog.isActive())
        m_watchdog.start(m_timeoutSeconds * 1000);
}

void LinkSession::OnInterrupt()
{
    if (m_controller)
        m_controller->Cancel();
    else
        devlink::RequestCancel();
}

void LinkSession::OnTimeout()
{
    m_timedOut = true;
    if (m_controller)
        m_controller->Cancel();
    else
        devlink::RequestCancel();
}

int LinkSession::Fail(const QString& text)
{
    m_cx.out().flush();
    m_cx.err() << "quorvane-cli: " << text << Qt::endl;
    return kFailed;
}

int LinkSession::FailQuietly(const QString& text)
{
    if (m_prompter.shown() > 0)
        return kFailed;
    return Fail(text);
}

int LinkSession::FailOnce(const QString& text)
{
    m_cx.out().flush();
    m_cx.err().flush();
    m_prompter.PrintOnce(text);
    return kFailed;
}

int LinkSession::FailTimedOut()
{
    return Fail(QStringLiteral("the device showed no progress for %1 seconds; the request was cancelled")
                    .arg(m_timeoutSeconds));
}

} // namespace cli
