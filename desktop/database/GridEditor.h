// Turns the user's changes in the results grid into statements on the
// device: a changed cell into an UPDATE, a removed row into a DELETE, a new
// or cloned row into an INSERT. Each runs at once on the device session
// (the editor's own request controller, so the window's answer stays as it
// is) and the grid follows only what the device reports: a change is a
// success when the device says it changed rows. Tables without a primary key
// get the guarded change, which touches one row or asks before touching
// more. One change runs at a time; the grid takes no other edit meanwhile.
//
// Threads: window thread only.
#pragma once

#include "desktop/database/ResultsGrid.h"
#include "desktop/link/RequestController.h"

#include <QObject>
#include <QPointer>

namespace database {

class GridEditor : public QObject {
    Q_OBJECT
public:
    // `grid` and `window` (the database window's controller, which gives the
    // database path and password) outlive the editor.
    GridEditor(ResultsGrid* grid, devlink::RequestController* window, QObject* parent = nullptr);

    // The window that owns the questions.
    void SetPromptOwner(QObject* owner) { m_owner = owner; }
    bool isBusy() const { return m_busy; }

    // A value typed into a cell (view row). Returns the message that keeps
    // the edit open (an invalid value, a duplicate key), or an empty text
    // when the edit was taken: the statement then runs and `finished`
    // follows; an unchanged value runs nothing.
    QString CommitCell(int row, int column, const QString& text);
    // "Delete this row": the DELETE of a row (view row).
    void DeleteRow(int row);
    // "Add a new row" and "Clone this row": an unsaved row at the end, saved
    // when one of its cells is committed. Returns its view row, or -1 while
    // another new row is unsaved or a change runs.
    int AddNewRow();
    int CloneRow(int row);

signals:
    // "Updating database.." while a change runs, then the device's count.
    void statusTextChanged(const QString& text);
    // "Update successful." or "Update failed." (the window's timer label).
    void outcomeChanged(const QString& text);
    void busyChanged(bool busy);
    // A change is over (whatever its outcome).
    void finished();

private:
    enum class Change { Update, Delete, Insert };
    struct Pending {
        Change change = Change::Update;
        int storeRow = -1;
        int column = -1;
        QString oldText, newText;
        QStringList rowTexts; // the row before the change
        QString statement;
        bool guarded = false; // the first pass of a table without a key
        bool secondPass = false; // the user agreed to change every matching row
    };

    QString SaveNewRow();
    void Run(const Pending& pending);
    void OnFinished();
    void AskGuarded(int rows);
    void End(bool success);
    void SetBusy(bool busy);

    ResultsGrid* m_grid;
    devlink::RequestController* m_window;
    devlink::RequestController m_statement;
    QPointer<QObject> m_owner;
    Pending m_pending;
    bool m_busy = false;
};

} // namespace database
