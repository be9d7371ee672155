// The window of one device database, in one of two modes chosen when it is
// made: database mode shows the table tree (from the agent's schema), table
// mode the results grid of one query with the SQL panel. Every request runs
// on the device session through the window's request controller and is
// followed through signals: the window thread never waits for the device.
// The first request starts 100 ms after the window is made and asks for a
// password when the database needs one ("Open database").
//
// Each window keeps its own answer, grid and buffers: closing a window that
// another one opened never frees what its opener uses. A window that closes
// cancels its requests.
//
// Threads: window thread only.
#pragma once

#include "desktop/database/GridEditor.h"
#include "desktop/database/ResultsGrid.h"
#include "desktop/link/RequestController.h"

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QToolButton;
class QTreeView;

namespace ui {
class WindowPlacement;
}

namespace database {

class CExportDialog;
class CResultsGridView;
class CShortcutBalloon;
class TableMaintenance;

class DatabaseWindow : public QDialog {
    Q_OBJECT
public:
    // `tableName` is "<Blank table>" for a custom query. In table mode
    // `initialSql` runs first; in database mode the schema request does.
    // `askPassword`: ask (or take the remembered password) before the first
    // request when `password` is empty.
    DatabaseWindow(const QString& tableName, const QString& databasePath, const QString& password,
        bool askPassword, bool tableMode, const QString& initialSql, QWidget* parent = nullptr);
    ~DatabaseWindow() override;

    // Opens a table window over this one ("<Blank table>": a custom query)
    // and returns it; it deletes itself when closed.
    DatabaseWindow* OpenTable(const QString& name);
    // The "Export" dialog with every table ticked, or only `table`; it
    // deletes itself when closed.
    CExportDialog* OpenExport(const QString& table);
    // The Go button: runs the SQL panel's text.
    void RunSql();
    void SetStatus(const QString& text);
    // The device went away: the window stays open but inert.
    void OnDeviceDisconnected();

    QString databasePath() const { return m_controller.databasePath(); }
    QString password() const { return m_controller.password(); }
    bool tableMode() const { return m_tableMode; }
    bool isConnected() const { return m_connected; }
    // A request or a grid change runs.
    bool isBusy() const;
    devlink::RequestController* controller() { return &m_controller; }
    ResultsGrid* grid() { return &m_grid; }
    GridEditor* editor() { return &m_editor; }

    // The text of the link a desktop shortcut would hold.
    QString ShortcutLink() const;

signals:
    // The device went away (after the window made itself inert).
    void deviceDisconnected();
    // Ctrl+R in the tree or the grid, Ctrl+T in the tree or the grid.
    void registryEditorRequested();
    void logWindowRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void RunRequest();
    void StartRequest();
    void AskPassword();
    void OnResultsStarted();
    void OnRequestFinished();
    void UpdateControls();
    void ShowTreeMenu(const QPoint& position);
    void ConnectMaintenance();
    void OpenInSeparateProcess(const QString& table);
    void ShowShortcutTip();
    // Emits `request` for the main window, then gives the focus back to
    // `control` a moment later, once the other window has shown.
    void AskMainWindow(void (DatabaseWindow::*request)(), QWidget* control);
    void ReloadTable();
    void ApplySplitter();
    void SaveSplitter();

    // The window's fields.
    QString m_tableName;
    QString m_tableLabel;
    bool m_askPassword;
    bool m_tableMode;
    bool m_connected = true;
    bool m_promptShown = false;
    bool m_firstAttempt = true;
    float m_sqlPanelFraction = -1.0f;
    bool m_splitterApplied = false;

    devlink::RequestController m_controller;
    ResultsGrid m_grid;
    GridEditor m_editor;
    TableMaintenance* m_maintenance = nullptr;

    QLabel* m_pathLabel = nullptr;
    QLabel* m_tableCaption = nullptr;
    QLabel* m_tableText = nullptr;
    QSplitter* m_splitter = nullptr;
    QTreeView* m_tree = nullptr;
    CResultsGridView* m_view = nullptr;
    QWidget* m_sqlArea = nullptr;
    QLabel* m_sqlLabel = nullptr;
    QPlainTextEdit* m_sqlPanel = nullptr;
    QPushButton* m_go = nullptr;
    QPushButton* m_cancel = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_timer = nullptr;
    QPushButton* m_export = nullptr;
    QCheckBox* m_keepResults = nullptr;
    QToolButton* m_shortcutTip = nullptr;
    CShortcutBalloon* m_balloon = nullptr;
    ui::WindowPlacement* m_placement = nullptr;
};

} // namespace database
