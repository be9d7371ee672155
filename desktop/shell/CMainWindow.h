// The main window: menu 154, the file explorer's panes (the path field, the
// folder tree and the file list with its total line; ExplorerController
// fills them and keeps them in step with the device once the start-up
// sequence has connected; a database opened from the list gets its own
// database window), the start-up sequence behind the splash window, the tips window and
// the troubleshooting log window (Ctrl+T in the tree or the list), the
// process viewer, the registry editor, the reset confirmations and the Run
// window. Its state is MainController's; it only shows it. The device notices of running
// instances (user messages 3 and 2) arrive as the events of
// InstanceChannel.h.
//
// 800 ms after it is made (timer 8) the start-up sequence runs: "DefaultDir"
// is read into the path field, the splash window opens modally, and when it
// has closed the controller takes over. The rectangle is kept as
// "MainWndRect". A command whose window is not part of the program yet stays
// disabled with a tooltip that says so, until a handler is set for it.
//
// Threads: window thread only.
#pragma once

#include "desktop/shell/MainController.h"
#include "desktop/update/UpgradeHandOver.h"

#include <QMainWindow>
#include <QMap>

#include <functional>

class QLabel;
class QLineEdit;
class QSplitter;

namespace editor {
class CFileWatchWindow;
}
namespace explorer {
class CDatabaseSearchDialog;
class CFileDropTreeCtrl;
class CFileListCtrl;
class ExplorerController;
class FileOpener;
struct FileProperties;
} // namespace explorer

namespace tools {
class CProcessViewer;
class CRegistryEditor;
class CTroubleshooterWindow;
class DeviceResetter;
} // namespace tools

namespace shell {

class CSplashWindow;
class CTipsWindow;

class CMainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainWindow(QWidget* parent = nullptr);
    // Forgets the window's device work.
    ~CMainWindow() override;

    MainController* controller() { return &m_controller; }
    StartupSequence* startup() { return &m_startup; }
    tools::CTroubleshooterWindow* troubleshooter() { return m_troubleshooter; }
    // The process viewer once it has been opened, else null.
    tools::CProcessViewer* processViewer() { return m_processViewer; }
    // The registry editor once it has been opened, else null.
    tools::CRegistryEditor* registryEditor() { return m_registryEditor; }
    tools::DeviceResetter* resetter() { return m_resetter; }
    CTipsWindow* tipsWindow() { return m_tips; }
    // The splash window while it is open, else null.
    CSplashWindow* splash() { return m_splash; }
    explorer::ExplorerController* explorer() { return m_explorer; }
    explorer::CFileDropTreeCtrl* directoryTree() { return m_tree; }
    explorer::CFileListCtrl* fileList() { return m_list; }
    QAction* ActionOf(Command command) const { return m_actions.value(command); }

    // How the downloaded program is started for the hand-over (tests put
    // something else).
    void SetUpgradeStarter(update::ProgramStarter starter) { m_upgradeStarter = std::move(starter); }

    // Makes `command` do `handler`; its item is then offered, enabled as the
    // device's state allows.
    void SetCommandHandler(Command command, std::function<void()> handler);

    // Applies the explorer font (LoadExplorerFont) to the tree and the list.
    void ApplyExplorerFont();
    // Shows the troubleshooting log window when hidden, hides it when shown;
    // the keyboard focus returns to `returnFocusTo` 250 ms later.
    void ToggleTroubleshooter(QWidget* returnFocusTo);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildExplorerPanes();
    void StartUp();
    void OnSplashClosed();
    void UpdateCommands();
    void RunCommand(Command command);
    void ShowPreferences();
    void ShowAbout();
    void ShowProcessViewer();
    // "Registry Editor": opens the editor, and a second use hides it.
    void ToggleRegistryEditor();
    // 250 ms later, once the window just shown has taken it.
    void ReturnFocusLater(QWidget* control);
    // The reset confirmation; once confirmed, the reset.
    void ConfirmReset(bool hard);
    void ShowRunWindow();
    // A database of the file list, in its own window (database mode).
    void OpenDatabase(const QString& path);
    void ShowFileProperties(const explorer::FileProperties& properties);
    // The online-update dialog; once it has downloaded a release, the hand-over starts.
    void ShowUpdateDialog();

    MainController m_controller;
    StartupSequence m_startup;
    QMap<Command, QAction*> m_actions;
    QMap<Command, std::function<void()>> m_handlers;
    QLineEdit* m_pathField = nullptr;
    QSplitter* m_splitter = nullptr;
    explorer::ExplorerController* m_explorer = nullptr;
    explorer::FileOpener* m_opener = nullptr;
    editor::CFileWatchWindow* m_editorWindow = nullptr;
    explorer::CFileDropTreeCtrl* m_tree = nullptr;
    explorer::CFileListCtrl* m_list = nullptr;
    QLabel* m_filesTotal = nullptr;
    bool m_explorerStarted = false;
    CTipsWindow* m_tips = nullptr;
    tools::CTroubleshooterWindow* m_troubleshooter = nullptr;
    explorer::CDatabaseSearchDialog* m_databaseSearch = nullptr;
    tools::CProcessViewer* m_processViewer = nullptr;
    tools::CRegistryEditor* m_registryEditor = nullptr;
    tools::DeviceResetter* m_resetter = nullptr;
    CSplashWindow* m_splash = nullptr;
    update::ProgramStarter m_upgradeStarter;
};

} // namespace shell
