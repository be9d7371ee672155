// Draws the desktop program's windows into PNG files, as a user would see
// them, for `make screenshots` (scripts/make-screenshots runs it under
// xvfb-run against a demo device). Every window issue adds its windows here.
//
// Usage: quorvane_screenshots OUTPUT_FOLDER
#include "desktop/database/CCompactDialog.h"
#include "desktop/database/CEngineRuntimeDialog.h"
#include "desktop/database/CExportDialog.h"
#include "desktop/database/CExportErrorDialog.h"
#include "desktop/database/CFilterDialog.h"
#include "desktop/database/CNewDatabaseDialog.h"
#include "desktop/database/CSearchDialog.h"
#include "desktop/database/COpenDatabaseDialog.h"
#include "desktop/database/CResultsGridView.h"
#include "desktop/database/DatabaseWindow.h"
#include "desktop/editor/CFileWatchWindow.h"
#include "desktop/explorer/CCabInstallerDialog.h"
#include "desktop/explorer/CCopyProgressDialog.h"
#include "desktop/explorer/CDatabaseSearchDialog.h"
#include "desktop/explorer/ExplorerController.h"
#include "desktop/explorer/FileTransfers.h"
#include "desktop/link/DeviceFileCopy.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/link/LinkTiming.h"
#include "desktop/settings/SettingsStore.h"
#include "desktop/shell/CAboutBox.h"
#include "desktop/shell/CMainWindow.h"
#include "desktop/shell/CPreferencesDialog.h"
#include "desktop/shell/CSplashWindow.h"
#include "desktop/tools/CHardResetDialog.h"
#include "desktop/tools/CProcessViewer.h"
#include "desktop/tools/CRegistryDialogs.h"
#include "desktop/tools/CRegistryEditor.h"
#include "desktop/tools/CRegistryFindDialog.h"
#include "desktop/tools/CResetDialog.h"
#include "desktop/tools/CRunApplicationDialog.h"
#include "desktop/tools/CRunWindow.h"
#include "desktop/tools/CTroubleshooterWindow.h"
#include "desktop/ui/CConnectionErrorDialog.h"
#include "desktop/ui/WidgetPrompter.h"
#include "desktop/update/CUpdateDialog.h"
#include "desktop/update/UpdateSettings.h"
#include "exchange/Home.h"
#include "platform/rapi/Rapi.h"
#include "tests/update/LocalHttpServer.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTreeView>

#include <cstdio>
#include <functional>
#include <future>

namespace {

QString g_out;
int g_failures = 0;

template <typename T> T* ShownWindow(const QString& objectName)
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->objectName() == objectName)
            if (T* typed = qobject_cast<T*>(window))
                return typed;
    return nullptr;
}

// Waits for `condition`; a window that never gets there is reported.
template <typename F> void Await(const char* what, F condition, int milliseconds = 30000)
{
    if (!QTest::qWaitFor(condition, milliseconds)) {
        std::fprintf(stderr, "quorvane_screenshots: gave up waiting for %s\n", what);
        ++g_failures;
    }
}

void SavePixmap(const QPixmap& picture, const char* name)
{
    const QString path = g_out + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    if (picture.isNull() || !picture.save(path)) {
        std::fprintf(stderr, "quorvane_screenshots: cannot write %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

void Save(QWidget* window, const char* name)
{
    if (!window) {
        std::fprintf(stderr, "quorvane_screenshots: no window for %s\n", name);
        ++g_failures;
        return;
    }
    // Let it lay itself out and paint first.
    QTest::qWait(300);
    SavePixmap(window->grab(), name);
}

// The connection-error dialog, as a start without a device shows it.
void ConnectionError()
{
    CeRapiSetSocketPath(home::DeviceSocketPath().parent_path() / "absent.sock");
    auto connecting = std::async(std::launch::async, [] { return devlink::ConnectToDevice(); });
    ui::CConnectionErrorDialog* dialog = nullptr;
    Await("the connection-error dialog", [&] {
        return (dialog = ShownWindow<ui::CConnectionErrorDialog>(QStringLiteral("connectionErrorDialog")));
    });
    Save(dialog, "connection-error");
    if (dialog)
        dialog->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
    connecting.wait();
    CeRapiSetSocketPath(home::DeviceSocketPath());
}

// The copy progress dialog part-way through a copy, and the overwrite
// question for a file of the demo device dropped on it again.
void TransferWindows(shell::CMainWindow* window)
{
    auto job = std::make_shared<explorer::CopyJob>(true);
    job->SetTexts(
        QStringLiteral("/home/demo/Pictures/harbour.jpg"), QStringLiteral("\\My Documents\\harbour.jpg"));
    job->totalBytes = 5u << 20;
    job->copiedBytes = 2u << 20;
    job->startMs = QDateTime::currentMSecsSinceEpoch() - 6000;
    job->fileNumber = 1;
    auto* progress = new explorer::CCopyProgressDialog(job, window);
    progress->show();
    progress->Refresh();
    Save(progress, "copy-progress");
    progress->Finish();

    explorer::ExplorerController* files = window->explorer();
    QString name;
    for (int row = 0; row < files->listModel()->rowCount() && name.isEmpty(); ++row)
        if (!files->listModel()->rowAt(row).isDir)
            name = files->listModel()->rowAt(row).name;
    const QString pc = QDir(QString::fromStdString(home::DesktopCacheDir().string())).filePath(name);
    QDir().mkpath(QFileInfo(pc).path());
    QFile file(pc);
    if (name.isEmpty() || !file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "quorvane_screenshots: no file for the overwrite question\n");
        ++g_failures;
        return;
    }
    file.write("a newer copy");
    file.close();
    settings::WriteDword(QStringLiteral("CopyFilesWhen"), 0);
    files->transfers()->OnDropFiles({ pc });
    QDialog* question = nullptr;
    Await("the overwrite question",
        [&] { return (question = ShownWindow<QDialog>(QStringLiteral("overwriteDialog"))) != nullptr; });
    Save(question, "overwrite");
    if (question)
        question->findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
    Await("the end of the copy", [&] { return !files->transfers()->isBusy(); });
    QFile::remove(pc);
}

// The export's dialog, its progress window after exporting the demo
// database to a file, and its error dialog for a refused row.
void ExportWindows(database::DatabaseWindow* tables)
{
    database::CExportDialog* dialog = tables->OpenExport(QString());
    Save(dialog, "export-dialog");
    dbexport::ExportRequest request = dialog->Request();
    delete dialog;
    request.toAccess = true;
    request.accessFile = QString::fromStdString((home::Override() / "Orders.db").string());
    auto* progress = new database::CExportProgress(request, tables);
    progress->show();
    Await(
        "the export", [&] { return progress->session()->isFinished(); }, 120000);
    Save(progress, "export-progress");

    dbexport::ExportErrorQuestion question;
    question.tableName = QStringLiteral("Customers");
    question.sql = QStringLiteral(
        "INSERT INTO [Customers] (CustomerID, CompanyName, City) VALUES (12, null, 'Anchorage')");
    question.errorText
        = QStringLiteral("NOT NULL constraint failed: Customers.CompanyName Unable to fetch row");
    question.fieldNames
        = { QStringLiteral("CustomerID"), QStringLiteral("CompanyName"), QStringLiteral("City") };
    question.fieldTypes
        = { QStringLiteral("int"), QStringLiteral("nvarchar(60)"), QStringLiteral("nvarchar(20)") };
    question.fieldValues = { QStringLiteral("12"), QString(), QStringLiteral("Anchorage") };
    question.record = 12;
    question.totalRecords = 192;
    auto* error = new database::CExportErrorDialog(question, progress);
    error->show();
    Save(error, "export-error");
    delete error;
    delete progress;
}

// The database window in both modes, the password dialog and the filter.
void DatabaseWindows()
{
    const QString orders = QStringLiteral("\\My Documents\\Orders.sdf");
    auto* tables = new database::DatabaseWindow(QString(), orders, QString(), false, false, QString());
    tables->resize(520, 460);
    tables->show();
    Await("the table tree",
        [&] { return tables->controller()->state() != devlink::RequestState::Idle && !tables->isBusy(); });
    Save(tables, "database-window");
    ExportWindows(tables);

    database::DatabaseWindow* customers = tables->OpenTable(QStringLiteral("Customers"));
    customers->resize(900, 560);
    Await("the Customers table", [&] {
        return customers->controller()->state() != devlink::RequestState::Idle && !customers->isBusy();
    });
    Save(customers, "database-table-window");

    const int country = 4;
    auto* filter = new database::CFilterDialog(country, customers->grid()->columns().value(country).name,
        customers->grid()->DistinctValues(country), customers);
    filter->show();
    Save(filter, "filter-dialog");
    delete filter;
    delete customers;

    auto* password = new database::COpenDatabaseDialog(QStringLiteral("\\My Documents\\Secret.sdf"), tables);
    password->show();
    Save(password, "open-database");
    delete password;

    auto* compact = new database::CCompactDialog(orders, tables);
    compact->show();
    Save(compact, "compact-database");
    delete compact;
    auto* created = new database::CNewDatabaseDialog(QStringLiteral("\\My Documents"), tables);
    created->show();
    Save(created, "new-database");
    delete created;
    delete tables;

    // The search dialog over an editor's text, in replace mode.
    QPlainTextEdit text(QStringLiteral("SELECT *\r\nFROM Customers\r\nWHERE Country = 'Sweden'"));
    text.resize(420, 200);
    text.show();
    database::SearchState state;
    state.searchText = QStringLiteral("Sweden");
    state.replaceText = QStringLiteral("Norway");
    auto* search = new database::CSearchDialog(&text, &state, &text);
    search->ShowMode(true);
    Save(search, "search-dialog");
    delete search;
}

// The built-in editor on a one-line SQL file, tidied as it opens.
void Editor()
{
    const QString path = QStringLiteral("\\My Documents\\report.sql");
    const QString sql = QStringLiteral("select CustomerID, CompanyName, City from Customers where Country='Sweden' "
                                       "and City<>'Lule\u00e5' order by CompanyName");
    const std::u16string name = devlink::DevicePath(path);
    HANDLE file = CeCreateFile(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file != INVALID_HANDLE_VALUE) {
        devlink::WriteDeviceString(file, sql);
        CeCloseHandle(file);
    }
    auto* editor = new editor::CFileWatchWindow;
    editor->resize(620, 460);
    bool loaded = false;
    QObject::connect(editor->watch(), &editor::FileWatch::loaded, [&loaded] { loaded = true; });
    editor->OpenFile(path);
    Await("the editor's text", [&] { return loaded; });
    Save(editor, "file-watch-window");
    delete editor;
}

// The process viewer with the demo device's processes, the reset
// confirmations and the windows that run device programs.
void DeviceTools(shell::CMainWindow* window)
{
    window->ActionOf(shell::Command::ProcessViewer)->trigger();
    tools::CProcessViewer* viewer = window->processViewer();
    Await("the process list",
        [&] { return viewer && !viewer->model()->isBusy() && viewer->model()->list()->rowCount() > 0; });
    Save(viewer, "process-viewer");
    if (viewer)
        viewer->reject();

    auto* soft = new tools::CResetDialog(false, window);
    soft->show();
    Save(soft, "reset-soft");
    soft->reject();

    auto* hard = new tools::CResetDialog(true, window);
    hard->show();
    Save(hard, "reset-hard");
    auto* deleteAll = hard->findChild<QPushButton*>(QStringLiteral("deleteAllButton"));
    Await("the hard-reset button", [&] { return deleteAll->isEnabled(); });
    deleteAll->click();
    Save(hard->secondDialog(), "reset-hard-confirm");
    if (hard->secondDialog())
        hard->secondDialog()->reject();

    auto* run = new tools::CRunWindow(window);
    run->show();
    Save(run, "run");
    run->reject();

    auto* application = new tools::CRunApplicationDialog(
        QStringLiteral("\\Windows\\pword.exe"), QStringLiteral("\\My Documents\\note.pwd"), window, window);
    application->show();
    Save(application, "run-application");
    application->reject();
}

// The registry editor on the agent's key of the demo device, its edit
// dialogs for each kind of data, and its small dialogs.
// The engine runtime window as a device without runtimes shows it after
// connecting, the database search over the whole device, and the CAB
// installer on a runtime CAB copied to the device.
void InstallAndSearchWindows(shell::CMainWindow* window)
{
    auto* installer = new database::RuntimeInstaller({ false, false }, true, true, devlink::GetProgramDir());
    auto* runtimes = new database::CEngineRuntimeDialog(installer, window);
    runtimes->show();
    Save(runtimes, "runtime-window");
    delete runtimes;

    window->ActionOf(shell::Command::SearchDatabases)->trigger();
    auto* search
        = window->findChild<explorer::CDatabaseSearchDialog*>(QStringLiteral("databaseSearchDialog"));
    Await("the database search", [&] {
        return search && !search->controller()->searching() && !search->controller()->status().isEmpty();
    });
    Save(search, "database-search");
    if (search)
        search->hide();

    bool copied = false;
    QObject requester;
    devlink::DeviceSession::Instance().Start(
        &requester,
        [](devlink::RequestContext&) {
            devlink::CopyFileToDevice(devlink::GetProgramDir() + QStringLiteral("/sqlce.wce4.armv4.cab"),
                QStringLiteral("\\My Documents\\sqlce.wce4.armv4.cab"));
        },
        [&copied](devlink::RequestEnd) { copied = true; });
    Await("the CAB on the device", [&] { return copied; });
    auto* cab = explorer::ShowCabInstaller(QStringLiteral("\\My Documents\\sqlce.wce4.armv4.cab"), window);
    Await("the CAB's application", [&] { return cab->controller()->loaded(); });
    Save(cab, "cab-installer");
    cab->reject();
}

void RegistryEditor(shell::CMainWindow* window)
{
    window->ActionOf(shell::Command::RegistryEditor)->trigger();
    tools::CRegistryEditor* editor = window->registryEditor();
    if (!editor) {
        Save(nullptr, "registry-editor");
        return;
    }
    editor->resize(760, 480);
    editor->NavigateToThisRegistryKey(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Quorvane"));
    Await("the registry key",
        [&] { return !editor->model()->busy() && editor->model()->values()->rowCount() > 1; });
    Save(editor, "registry-editor");

    tools::RegistryEditorModel* model = editor->model();
    const struct {
        DWORD type;
        const char* name;
        QByteArray data;
        const char* shot;
    } kinds[] = {
        { REG_SZ, "Status", QByteArray("D\0o\0n\0e\0.\0\0\0", 12), "registry-edit-string" },
        { REG_DWORD, "Cancel", QByteArray("\x2a\0\0\0", 4), "registry-edit-dword" },
        { REG_MULTI_SZ, "Lines", QByteArray("o\0n\0e\0\0\0t\0w\0o\0\0\0\0\0", 18), "registry-edit-multi" },
        { REG_BINARY, "Font", QByteArray("\x01\x02\xff\x10\x20\x30\x40\x50\x60\x70\x80\x90", 12),
            "registry-edit-binary" },
    };
    for (const auto& kind : kinds) {
        auto* dialog = new tools::CRegistryEditDialog(
            model, false, QString::fromLatin1(kind.name), kind.type, kind.data, editor);
        dialog->show();
        Save(dialog, kind.shot);
        delete dialog;
    }

    auto* readOnly = new tools::CRegistryReadOnlyDialog(editor);
    readOnly->show();
    readOnly->findChild<QPushButton*>(QStringLiteral("howButton"))->click();
    Save(readOnly, "registry-read-only");
    delete readOnly;

    auto* confirm = new tools::CDeleteValuesDialog(3, editor);
    confirm->show();
    Save(confirm, "registry-delete-values");
    delete confirm;

    auto* find = new tools::CRegistryFindDialog(editor->finder(), editor);
    find->show();
    Save(find, "registry-find");
    delete find;
    editor->hide();
}

// The online-update dialog in its states, against releases served from this process, and
// the main window's announcement of a newer release.
void UpdateWindows(shell::CMainWindow* window)
{
    // A download must not land beside the real program.
    const QString programDir
        = QString::fromStdString((home::DesktopCacheDir() / "screenshot-program").string());
    QDir().mkpath(programDir);
    const QByteArray realProgramDir = qgetenv("QUORVANE_PROGRAM_DIR");
    qputenv("QUORVANE_PROGRAM_DIR", programDir.toLocal8Bit());
    const QStringList files = update::ReleaseFiles();
    const QByteArray features
        = "\r\nThe online update checks every file of a release before it installs it.\r\n"
          "Tables with many columns scroll faster.\r\nThe process viewer sorts by name.\r\n";

    // A release of version `version`; `stalled` is never answered.
    auto serve = [&](updatetest::LocalHttpServer* server, const QByteArray& version, const QString& stalled) {
        server->Put(QStringLiteral("Version.txt"), "v" + version + features);
        for (const QString& name : files)
            server->Put(name, "release file " + name.toUtf8());
        server->Put(QStringLiteral("SHA256SUMS"), server->ChecksumsOf(files));
        if (!stalled.isEmpty())
            server->Stall(stalled);
        settings::WriteString(QStringLiteral("UpdateLocation"), server->Location());
    };
    auto shoot = [](update::CUpdateDialog* dialog, const char* name, const std::function<bool()>& ready) {
        dialog->show();
        Await(name, ready);
        Save(dialog, name);
    };

    updatetest::LocalHttpServer silent;
    serve(&silent, "3.0", QStringLiteral("Version.txt"));
    {
        update::CUpdateDialog searching(window);
        shoot(&searching, "update-searching", [] { return true; });
    }

    updatetest::LocalHttpServer slow;
    serve(&slow, "3.0", files.at(4));
    {
        update::CUpdateDialog dialog(window);
        shoot(&dialog, "update-available", [&] { return dialog.update()->record().done; });
        dialog.findChild<QPushButton*>(QStringLiteral("downloadButton"))->click();
        // Past a tick or two of the elapsed time.
        QTest::qWait(2100);
        Save(&dialog, "update-downloading");
    }

    updatetest::LocalHttpServer full;
    serve(&full, "3.0", QString());
    {
        update::CUpdateDialog dialog(window);
        dialog.show();
        Await("the check", [&] { return dialog.update()->record().done; });
        dialog.findChild<QPushButton*>(QStringLiteral("downloadButton"))->click();
        shoot(&dialog, "update-downloaded", [&] { return dialog.update()->record().done; });
    }

    updatetest::LocalHttpServer current;
    serve(&current, QUORVANE_VERSION, QString());
    {
        update::CUpdateDialog dialog(window);
        shoot(&dialog, "update-none", [&] { return dialog.update()->record().done; });
    }

    {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        const quint16 port = closed.serverPort();
        closed.close();
        settings::WriteString(
            QStringLiteral("UpdateLocation"), QStringLiteral("http://127.0.0.1:%1/").arg(port));
        update::CUpdateDialog dialog(window);
        shoot(&dialog, "update-error", [&] { return !dialog.update()->isRunning(); });
    }

    // The start-up check's announcement in the tips window.
    settings::WriteString(QStringLiteral("UpdateLocation"), full.Location());
    settings::WriteDword(QStringLiteral("CheckForUpdates"), 1);
    update::StartUpdateCheck(window->controller()->updateCheck(), true);
    Await("the announcement", [&] { return window->controller()->updateCheck()->record().done; });
    Save(window, "main-window-update-announced");

    QDir(programDir).removeRecursively();
    qputenv("QUORVANE_PROGRAM_DIR", realProgramDir);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorvane_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);
    ui::WidgetPrompter prompter;
    devlink::SetPrompter(&prompter);
    devlink::LinkTiming timing;
    timing.connectRetryWaitMs = 100;
    devlink::SetLinkTiming(timing);
    settings::WriteDword(QStringLiteral("SmellTheFlowers"), 1);
    // The update windows are drawn on their own, against a local release.
    settings::WriteDword(QStringLiteral("CheckForUpdates"), 0);

    ConnectionError();

    auto* window = new shell::CMainWindow;
    bool started = false;
    QPixmap splash;
    QObject::connect(window->controller(), &shell::MainController::startupFinished, [&] { started = true; });
    // The splash as it shows the work's progress. The steps may be short, so
    // it is drawn as soon as it has shown the first one, and only once.
    QObject::connect(window->startup(), &shell::StartupSequence::statusChanged, [&] {
        QMetaObject::invokeMethod(
            window,
            [&] {
                shell::CSplashWindow* shown = window->splash();
                if (shown && splash.isNull()) {
                    shown->layout()->activate();
                    splash = shown->grab();
                }
            },
            Qt::QueuedConnection);
    });
    window->show();
    Await(
        "the end of the start-up", [&] { return started; }, 120000);
    SavePixmap(splash, "splash");
    // The explorer on a folder with files in it.
    explorer::ExplorerController* files = window->explorer();
    Await("the explorer's first listing", [&] { return !files->isBusy() && files->treeModel()->rootItem(); });
    files->SelectDirectory(QStringLiteral("\\My Documents"), false);
    Await("the list of My Documents", [&] { return !files->isBusy() && files->listModel()->rowCount() > 0; });
    Save(window, "main-window");
    TransferWindows(window);

    auto* preferences = new shell::CPreferencesDialog(window);
    preferences->show();
    Save(preferences, "preferences");
    preferences->reject();

    window->ToggleTroubleshooter(window->findChild<QTreeView*>(QStringLiteral("directoryTree")));
    tools::CTroubleshooterWindow* log = window->troubleshooter();
    Await("the agent's log", [&] { return !log->model()->isRefreshing() && log->model()->rowCount() > 0; });
    Save(log, "log-window");

    auto* about = new shell::CAboutBox(window);
    about->show();
    Save(about, "about");
    about->close();

    DeviceTools(window);

    RegistryEditor(window);
    InstallAndSearchWindows(window);
    UpdateWindows(window);

    DatabaseWindows();
    Editor();

    delete window;
    return g_failures == 0 ? 0 : 1;
}
