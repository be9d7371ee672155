// The maintenance commands of a database window: drop and rename a table,
// view the CREATE TABLE text of one table or of the whole database, compact
// the database, and export a table window's rows to a text file. Each
// device action runs on the device session through a request controller of
// its own (the window's answer and tree stay as they are); questions and
// messages go through the prompt interface, owned by the window.
//
// One command runs at a time (isBusy); the window keeps its controls idle
// meanwhile and applies the tree changes that the signals report.
//
// Threads: window thread only.
#pragma once

#include "desktop/database/DatabaseCompaction.h"
#include "desktop/link/Prompter.h"
#include "desktop/link/RequestController.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace database {

class ResultsGrid;

class TableMaintenance : public QObject {
    Q_OBJECT
public:
    // `window` gives the database path and password and owns the prompts.
    TableMaintenance(devlink::RequestController* window, QWidget* owner);

    bool isBusy() const { return m_busy; }

    // Asks, then runs "DROP TABLE %s" with the name as it is; tableDropped
    // follows a success, "Unable to delete table" a failure.
    void DropTable(const QString& table);
    // "RENAME TABLE '%s' TO '%s'": done only when it succeeds and the device
    // reports one row affected. An empty new name does nothing; a name
    // holding an apostrophe is refused without a request (it would end the
    // quoted name early).
    void RenameTable(const QString& oldName, const QString& newName);
    // The CREATE TABLE text of `table`, or of the whole database when
    // `table` is empty, written to "schema.txt" in the desktop's temporary
    // folder and opened with the desktop's viewer.
    void ShowCreateTable(const QString& table);
    // Asks, then compacts the window's database and reports the sizes.
    void CompactDatabase();
    // A table window's rows to a text file chosen in a save dialog.
    void ExportGridToText(const ResultsGrid& grid);

signals:
    void busyChanged(bool busy);
    // The window's status line and its timer label.
    void statusTextChanged(const QString& text);
    void outcomeChanged(const QString& text);
    void tableDropped(const QString& table);
    void tableRenamed(const QString& oldName, const QString& newName);
    // The schema text was written and handed to the viewer (its path).

private:
    void SetBusy(bool busy);
    void RunStatement(const QString& sql, std::function<void()> then);
    void FollowRequest(devlink::RequestController* request);
    void OnSchemaRead(const QString& table, const QString& text);
    void OnCompacted();
    void Tell(const QString& caption, const QString& text, devlink::PromptIcon icon);

    devlink::RequestController* m_window;
    QPointer<QWidget> m_owner;
    devlink::RequestController m_statement;
    DatabaseCompaction m_compaction;
    std::function<void()> m_then;
    bool m_busy = false;
};

} // namespace database
