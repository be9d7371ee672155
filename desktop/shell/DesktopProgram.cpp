#include "desktop/shell/DesktopProgram.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/settings/SettingsStore.h"
#include "desktop/shell/ActiveSyncRegistration.h"
#include "desktop/shell/CMainWindow.h"
#include "desktop/shell/CommandLine.h"
#include "desktop/shell/InstanceChannel.h"
#include "desktop/shell/StandaloneStart.h"
#include "desktop/tools/CRegistryEditor.h"
#include "desktop/ui/ProgramPicture.h"
#include "desktop/ui/WidgetPrompter.h"
#include "desktop/update/UpgradeHandOver.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

namespace shell {
namespace {

void Print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

bool HasDisplay()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
        || qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

// What every start with windows does once the application exists: its name
// and icon, the widget prompter for the program's questions, the ActiveSync
// registration and the remembered passwords in their current form.
struct WindowProgram {
    WindowProgram()
    {
        QApplication::setApplicationName(QStringLiteral("Quorvane"));
        QApplication::setWindowIcon(ui::ProgramIcon());
        devlink::SetPrompter(&prompter);
        RegisterWithActiveSync(QCoreApplication::applicationFilePath());
        settings::MigrateRememberedPasswords();
    }
    ui::WidgetPrompter prompter;
};

// A device file named on the command line, opened alone by `open` (which
// connects first and reports the exit status through `ended`): a database
// in its window, any other file in the built-in text editor. `what` names
// the window for the message when there is no display.
using AloneOpener = std::function<void(QApplication& app, std::function<void(int status)> ended)>;
int RunAlone(int argc, char** argv, const StartRequest& request, const QString& what, const AloneOpener& open)
{
    if (!HasDisplay()) {
        QCoreApplication app(argc, argv);
        RegisterWithActiveSync(QCoreApplication::applicationFilePath());
        Print(stderr,
            QStringLiteral("quorvane: \"%1\" opens in %2, and there is no display.\n")
                .arg(request.path, what));
        return 1;
    }
    QApplication app(argc, argv);
    const WindowProgram program;
    // Neither the connection-error dialog nor the editor (which only hides
    // when closed) decides the end: `ended` does.
    QApplication::setQuitOnLastWindowClosed(false);
    open(app, [](int status) { QCoreApplication::exit(status); });
    return app.exec();
}

int RunDatabaseWindow(int argc, char** argv, const StartRequest& request)
{
    return RunAlone(argc, argv, request, QStringLiteral("a database window"),
        [&request](QApplication& app, std::function<void(int)> ended) {
            OpenDatabaseAlone(request, &app, std::move(ended));
        });
}

int RunTextEditor(int argc, char** argv, const StartRequest& request)
{
    return RunAlone(argc, argv, request, QStringLiteral("the built-in text editor"),
        [&request](QApplication& app, std::function<void(int)> ended) {
            auto* editor = new StandaloneEditor(&app);
            QObject::connect(editor, &StandaloneEditor::finished, &app, std::move(ended));
            editor->Start(request.path);
        });
}

// "-registry": the registry editor alone; the program ends when it closes.
int RunRegistryEditor(int argc, char** argv)
{
    if (!HasDisplay()) {
        QCoreApplication app(argc, argv);
        RegisterWithActiveSync(QCoreApplication::applicationFilePath());
        Print(
            stderr, QStringLiteral("quorvane: the registry editor is a window, and there is no display.\n"));
        return 1;
    }
    QApplication app(argc, argv);
    const WindowProgram program;
    InstanceChannel channel;
    QString why;
    if (!channel.Listen(&why))
        Print(stderr, QStringLiteral("quorvane: device notices will not reach this window: %1\n").arg(why));
    auto* editor = new tools::CRegistryEditor(true);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(editor, &QDialog::finished, &app, [] { QCoreApplication::exit(0); });
    editor->open();
    return app.exec();
}

int RunWindows(int argc, char** argv, const StartRequest& request)
{
    if (request.mode == StartRequest::Mode::Database)
        return RunDatabaseWindow(argc, argv, request);
    if (request.mode == StartRequest::Mode::Registry)
        return RunRegistryEditor(argc, argv);
    if (request.mode == StartRequest::Mode::TextFile)
        return RunTextEditor(argc, argv, request);

    QApplication app(argc, argv);
    const WindowProgram program;
    InstanceChannel channel;
    QString why;
    if (!channel.Listen(&why))
        Print(stderr, QStringLiteral("quorvane: device notices will not reach this window: %1\n").arg(why));
    CMainWindow window;
    window.show();
    return app.exec();
}

// The hand-over of a downloaded release. It runs on a helper thread, so that
// its messages can be boxes of this thread's event loop (or lines on
// standard error without a display).
int RunUpgrade(int argc, char** argv)
{
    std::unique_ptr<QCoreApplication> app;
    std::optional<ui::WidgetPrompter> prompter;
    if (HasDisplay()) {
        app = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        QApplication::setApplicationName(QStringLiteral("Quorvane"));
        QApplication::setWindowIcon(ui::ProgramIcon());
        devlink::SetPrompter(&prompter.emplace());
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    auto result = update::HandOverResult::NotFromDownloads;
    QThread* worker = QThread::create([&result] {
        result = update::RunUpgradeHandOver(
            devlink::GetProgramDir(), QFileInfo(devlink::GetProgramPath()).fileName());
    });
    QObject::connect(worker, &QThread::finished, app.get(), &QCoreApplication::quit);
    worker->start();
    app->exec();
    worker->wait();
    delete worker;
    devlink::SetPrompter(nullptr);
    return result == update::HandOverResult::Installed ? 0 : 1;
}

} // namespace

int RunDesktopProgram(int argc, char** argv)
{
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words.append(QString::fromLocal8Bit(argv[i]));
    const StartRequest request = ParseCommandLine(words);
    const QString name
        = argc > 0 ? QFileInfo(QString::fromLocal8Bit(argv[0])).fileName() : QStringLiteral("quorvane");

    switch (request.mode) {
    case StartRequest::Mode::Help:
        Print(stdout, UsageText(name));
        return 0;
    case StartRequest::Mode::Version:
        Print(stdout, QStringLiteral("quorvane %1\n").arg(QStringLiteral(QUORVANE_VERSION)));
        return 0;
    case StartRequest::Mode::Invalid:
        Print(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.\n").arg(name, request.error));
        return 2;
    case StartRequest::Mode::Connected:
    case StartRequest::Mode::Disconnected: {
        QCoreApplication app(argc, argv);
        NotifyRunningInstances(request.mode == StartRequest::Mode::Connected ? DeviceNotice::Connected
                                                                             : DeviceNotice::Disconnected);
        return 0;
    }
    case StartRequest::Mode::Upgrade:
        return RunUpgrade(argc, argv);
    default:
        return RunWindows(argc, argv, request);
    }
}

} // namespace shell
