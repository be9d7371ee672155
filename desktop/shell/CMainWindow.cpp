#include "desktop/shell/CMainWindow.h"

#include "desktop/database/CCompactDialog.h"
#include "desktop/database/CEngineRuntimeDialog.h"
#include "desktop/database/CNewDatabaseDialog.h"
#include "desktop/database/DatabaseWindow.h"
#include "desktop/editor/CFileWatchWindow.h"
#include "desktop/explorer/CDatabaseSearchDialog.h"
#include "desktop/explorer/CFileDropTreeCtrl.h"
#include "desktop/explorer/CFileListCtrl.h"
#include "desktop/explorer/CFilePropertiesDialog.h"
#include "desktop/explorer/DeleteProgressWatch.h"
#include "desktop/explorer/ExplorerController.h"
#include "desktop/explorer/OpenItem.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/settings/SettingsStore.h"
#include "desktop/shell/CAboutBox.h"
#include "desktop/shell/CPreferencesDialog.h"
#include "desktop/shell/CSplashWindow.h"
#include "desktop/shell/CTipsWindow.h"
#include "desktop/shell/ExplorerFont.h"
#include "desktop/shell/InstanceChannel.h"
#include "desktop/tools/CProcessViewer.h"
#include "desktop/tools/CRegistryEditor.h"
#include "desktop/tools/CResetDialog.h"
#include "desktop/tools/CRunApplicationDialog.h"
#include "desktop/tools/CRunWindow.h"
#include "desktop/tools/CTroubleshooterWindow.h"
#include "desktop/tools/DeviceResetter.h"
#include "desktop/ui/ProgramPicture.h"
#include "desktop/ui/PromptFromWindow.h"
#include "desktop/ui/WindowPlacement.h"
#include "desktop/update/CUpdateDialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QSplitter>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace shell {

CMainWindow::CMainWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_controller(this)
    , m_startup(this)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Quorvane"));
    setWindowIcon(ui::ProgramIcon());

    const QList<QAction*> actions = BuildMainMenu(menuBar());
    for (QAction* action : actions) {
        const auto command = Command(action->data().toInt());
        m_actions.insert(command, action);
        connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
    }
    m_handlers.insert(Command::Preferences, [this] { ShowPreferences(); });
    m_handlers.insert(Command::Exit, [this] { close(); });
    m_handlers.insert(Command::ContactUs,
        [] { QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + kSupportAddress)); });
    m_handlers.insert(Command::About, [this] { ShowAbout(); });
    m_handlers.insert(Command::ProcessViewer, [this] { ShowProcessViewer(); });
    m_handlers.insert(Command::RegistryEditor, [this] { ToggleRegistryEditor(); });
    m_handlers.insert(Command::SoftReset, [this] { ConfirmReset(false); });
    m_handlers.insert(Command::HardReset, [this] { ConfirmReset(true); });
    m_handlers.insert(Command::Run, [this] { ShowRunWindow(); });
    m_handlers.insert(Command::CheckForUpdates, [this] { ShowUpdateDialog(); });
    m_handlers.insert(Command::CheckLibraries, [this] { database::CheckEngineRuntimes(true, this); });
    m_handlers.insert(
        Command::SearchDatabases, [this] { m_databaseSearch->ShowDatabaseSearch(QStringLiteral("\\")); });

    BuildExplorerPanes();
    ApplyExplorerFont();

    m_troubleshooter = new tools::CTroubleshooterWindow(this);
    // Made once and only shown and hidden, so that it keeps its list.
    m_databaseSearch = new explorer::CDatabaseSearchDialog(this);
    connect(m_databaseSearch, &explorer::CDatabaseSearchDialog::openDatabaseRequested, this,
        &CMainWindow::OpenDatabase);
    connect(m_explorer, &explorer::ExplorerController::databaseSearchRequested, m_databaseSearch,
        &explorer::CDatabaseSearchDialog::ShowDatabaseSearch);
    connect(&m_controller, &MainController::deviceReady, this,
        [this] { database::CheckEngineRuntimes(false, this); });
    m_tips = new CTipsWindow(centralWidget());
    m_resetter = new tools::DeviceResetter(this);
    // A restarting device is gone until the device host reports it again.
    connect(
        m_resetter, &tools::DeviceResetter::deviceGone, &m_controller, &MainController::OnDeviceDisconnected);

    connect(&m_controller, &MainController::stateChanged, this, &CMainWindow::UpdateCommands);
    connect(&m_controller, &MainController::focusTreeRequested, m_tree, [this] { m_tree->setFocus(); });
    connect(&m_controller, &MainController::startupFinished, m_tips, &CTipsWindow::ShowNextTip);
    connect(&m_controller, &MainController::closeRequested, this, &QWidget::close);
    connect(&m_controller, &MainController::updateAnnounced, m_tips, &CTipsWindow::ShowAnnouncement);
    connect(
        &m_startup, &StartupSequence::deviceMissing, &m_controller, &MainController::OnDeviceDisconnected);
    UpdateCommands();

    resize(780, 540);
    (new ui::WindowPlacement(this, QStringLiteral("MainWndRect")))->Restore();

    // A first attempt right away; the start-up sequence then goes on from
    // whatever it found.
    devlink::DeviceSession::Instance().Start(this, [](devlink::RequestContext&) { devlink::InitRapi(); }, {});
    QTimer::singleShot(800, this, &CMainWindow::StartUp);
}

CMainWindow::~CMainWindow()
{
    devlink::DeviceSession::Instance().Forget(this);
}

void CMainWindow::BuildExplorerPanes()
{
    m_pathField = new QLineEdit;
    m_pathField->setObjectName(QStringLiteral("pathField"));
    m_pathField->setReadOnly(true);

    m_explorer = new explorer::ExplorerController(this);
    m_tree = new explorer::CFileDropTreeCtrl(m_explorer);
    m_list = new explorer::CFileListCtrl(m_explorer);

    m_filesTotal = new QLabel;
    m_filesTotal->setObjectName(QStringLiteral("filesTotal"));
    connect(m_explorer, &explorer::ExplorerController::dirNameChanged, m_pathField, &QLineEdit::setText);
    connect(m_explorer, &explorer::ExplorerController::totalTextChanged, m_filesTotal, &QLabel::setText);
    m_opener = new explorer::FileOpener(this);
    connect(m_explorer, &explorer::ExplorerController::openDatabaseRequested, m_opener,
        &explorer::FileOpener::OpenDatabase);
    connect(m_opener, &explorer::FileOpener::databaseReady, this, &CMainWindow::OpenDatabase);
    connect(
        m_explorer, &explorer::ExplorerController::propertiesReady, this, &CMainWindow::ShowFileProperties);
    connect(m_explorer, &explorer::ExplorerController::waitingChanged, this, [this](bool waiting) {
        for (QWidget* pane : { static_cast<QWidget*>(m_tree), static_cast<QWidget*>(m_list) }) {
            if (waiting)
                pane->setCursor(Qt::WaitCursor);
            else
                pane->unsetCursor();
        }
    });
    connect(m_explorer, &explorer::ExplorerController::deleteStarted, this,
        [this](std::shared_ptr<explorer::DeleteProgress> progress) {
            new explorer::DeleteProgressWatch(std::move(progress), this);
        });
    connect(m_explorer, &explorer::ExplorerController::openFileRequested, m_opener,
        &explorer::FileOpener::OpenItem);
    connect(m_explorer, &explorer::ExplorerController::openFileWithRequested, m_opener,
        &explorer::FileOpener::OpenDeviceFile);
    connect(m_explorer, &explorer::ExplorerController::chooseOpenMethodRequested, m_opener,
        &explorer::FileOpener::AskMethod);
    connect(m_explorer, &explorer::ExplorerController::openDatabaseSeparatelyRequested, m_opener,
        &explorer::FileOpener::OpenDatabaseSeparately);
    connect(m_explorer, &explorer::ExplorerController::runDialogRequested, this, [this](const QString& path) {
        auto* dialog = new tools::CRunApplicationDialog(path, QString(), this, this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });
    connect(m_opener, &explorer::FileOpener::fileMissing, m_explorer, [this] { m_explorer->Refresh(true); });
    connect(m_opener, &explorer::FileOpener::editFileRequested, this, [this](const QString& path) {
        // Made once, then only hidden and shown again.
        if (!m_editorWindow)
            m_editorWindow = new editor::CFileWatchWindow(this);
        m_editorWindow->OpenFile(path);
    });
    connect(m_explorer, &explorer::ExplorerController::compactDatabaseRequested, this,
        [this](const QString& path) {
            auto* dialog = new database::CCompactDialog(path, this);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->open();
        });
    connect(
        m_explorer, &explorer::ExplorerController::newDatabaseRequested, this, [this](const QString& dir) {
            auto* dialog = new database::CNewDatabaseDialog(dir, this);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            connect(dialog, &database::CNewDatabaseDialog::databaseCreated, m_explorer,
                [this] { m_explorer->Refresh(true); });
            dialog->open();
        });

    auto* listSide = new QWidget;
    auto* listLayout = new QVBoxLayout(listSide);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(m_list, 1);
    listLayout->addWidget(m_filesTotal);

    m_splitter = new QSplitter(Qt::Horizontal);
    m_splitter->setObjectName(QStringLiteral("paneSplitter"));
    m_splitter->addWidget(m_tree);
    m_splitter->addWidget(listSide);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({ 230, 550 });

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_pathField);
    layout->addWidget(m_splitter, 1);
    setCentralWidget(central);

    m_tree->installEventFilter(this);
    m_list->installEventFilter(this);
}

bool CMainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Ctrl+T in either explorer pane: the troubleshooting log; Ctrl+R: the
    // registry editor.
    if ((watched == m_tree || watched == m_list) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_T && key->modifiers() == Qt::ControlModifier) {
            ToggleTroubleshooter(static_cast<QWidget*>(watched));
            return true;
        }
        if (key->key() == Qt::Key_R && key->modifiers() == Qt::ControlModifier) {
            ToggleRegistryEditor();
            ReturnFocusLater(static_cast<QWidget*>(watched));
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainWindow::ApplyExplorerFont()
{
    const QFont font = LoadExplorerFont();
    m_tree->setFont(font);
    m_list->setFont(font);
}

void CMainWindow::ToggleTroubleshooter(QWidget* returnFocusTo)
{
    m_troubleshooter->Toggle();
    ReturnFocusLater(returnFocusTo);
}

// Once the window just shown has taken the focus, the control gets it back.
void CMainWindow::ReturnFocusLater(QWidget* control)
{
    QTimer::singleShot(250, control, [this, control] {
        activateWindow();
        control->setFocus();
    });
}

void CMainWindow::SetCommandHandler(Command command, std::function<void()> handler)
{
    m_handlers.insert(command, std::move(handler));
    UpdateCommands();
}

void CMainWindow::UpdateCommands()
{
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        const bool built = m_handlers.contains(it.key());
        it.value()->setEnabled(built && m_controller.IsAllowed(it.key()));
        it.value()->setToolTip(built ? QString() : NotYetAvailableTip(MenuItemOf(it.key())));
    }
    m_explorer->SetEngineUsable(m_controller.canRunEngine());
    const bool enabled = m_controller.explorerEnabled();
    m_databaseSearch->SetConnected(enabled);
    m_tree->setEnabled(enabled);
    m_list->setEnabled(enabled);
    // Back from a disconnection: the explorer reads the device again.
    if (m_explorerStarted && enabled != m_explorer->isConnected())
        m_explorer->SetConnected(enabled);
}

void CMainWindow::RunCommand(Command command)
{
    const auto handler = m_handlers.value(command);
    if (handler && m_controller.IsAllowed(command))
        handler();
}

bool CMainWindow::event(QEvent* event)
{
    if (event->type() == kDeviceConnectedEvent) {
        m_controller.OnDeviceConnected();
        return true;
    }
    if (event->type() == kDeviceDisconnectedEvent) {
        m_controller.OnDeviceDisconnected();
        return true;
    }
    return QMainWindow::event(event);
}

void CMainWindow::StartUp()
{
    QString defaultDir = QStringLiteral("\\");
    settings::ReadString(QStringLiteral("DefaultDir"), &defaultDir);
    if (defaultDir.isEmpty())
        defaultDir = QStringLiteral("\\");
    m_pathField->setText(defaultDir);

    m_splash = new CSplashWindow(&m_startup, this);
    m_splash->setAttribute(Qt::WA_DeleteOnClose);
    m_splash->setWindowModality(Qt::ApplicationModal);
    connect(m_splash, &QDialog::finished, this, &CMainWindow::OnSplashClosed);
    m_splash->show();
}

void CMainWindow::OnSplashClosed()
{
    m_splash = nullptr;
    m_controller.OnStartupDone(m_startup.outcome());
    // The explorer starts in "DefaultDir" (already in the path field).
    m_explorerStarted = true;
    m_explorer->SetConnected(m_startup.outcome().connected);
    m_explorer->Start(m_pathField->text());
}

void CMainWindow::closeEvent(QCloseEvent* event)
{
    m_explorer->Stop();
    QMainWindow::closeEvent(event);
}

void CMainWindow::OpenDatabase(const QString& path)
{
    auto* window = new database::DatabaseWindow(
        QString(), path, settings::GetRememberedPassword(path), false, false, QString());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Tables"));
    // The database window gives its focus back by itself.
    connect(
        window, &database::DatabaseWindow::registryEditorRequested, this, &CMainWindow::ToggleRegistryEditor);
    connect(
        window, &database::DatabaseWindow::logWindowRequested, this, [this] { m_troubleshooter->Toggle(); });
    window->show();
}

void CMainWindow::ShowFileProperties(const explorer::FileProperties& properties)
{
    auto* dialog = new explorer::CFilePropertiesDialog(properties, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CMainWindow::ShowPreferences()
{
    auto* dialog = new CPreferencesDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this] {
        ApplyExplorerFont();
        m_list->viewport()->update();
        m_tree->viewport()->update();
    });
    dialog->open();
}

void CMainWindow::ShowAbout()
{
    auto* about = new CAboutBox(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

void CMainWindow::ShowProcessViewer()
{
    if (!m_processViewer)
        m_processViewer = new tools::CProcessViewer(this);
    m_processViewer->Open();
}

void CMainWindow::ToggleRegistryEditor()
{
    if (!m_registryEditor)
        m_registryEditor = new tools::CRegistryEditor(false, this);
    m_registryEditor->Toggle();
}

void CMainWindow::ConfirmReset(bool hard)
{
    if (m_resetter->isRunning())
        return;
    auto* dialog = new tools::CResetDialog(hard, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, m_resetter, [this, hard] { m_resetter->Start(hard); });
    dialog->open();
}

void CMainWindow::ShowRunWindow()
{
    auto* run = new tools::CRunWindow(this);
    run->setAttribute(Qt::WA_DeleteOnClose);
    run->open();
}

void CMainWindow::ShowUpdateDialog()
{
    auto* dialog = new update::CUpdateDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this] {
        const QString error = update::LaunchDownloadedProgram(m_upgradeStarter);
        if (error.isEmpty())
            close();
        else
            ui::TellFromWindow(this, QStringLiteral("Error"), error, devlink::PromptIcon::Error);
    });
    dialog->open();
}

} // namespace shell
