// The "Export error" dialog: a statement the desktop database refused,
// editable, with the error text; for a row, its fields in a list that
// "&SQL view" swaps for the statement. "&Retry" hands back the edited
// statement, "&Skip this table" and "&Abort Exporting" the choice.
//
// Threads: window thread only.
#pragma once

#include "desktop/export/ExportWorker.h"

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QTreeWidget;

namespace database {

class CExportErrorDialog : public QDialog {
    Q_OBJECT
public:
    explicit CExportErrorDialog(const dbexport::ExportErrorQuestion& question, QWidget* parent = nullptr);

    // The choice made (Abort until a button was pressed).
    dbexport::ExportErrorAnswer answer() const { return m_answer; }

private:
    void Choose(dbexport::ExportChoice choice);
    void ShowSqlView(bool sqlView);

    dbexport::ExportErrorAnswer m_answer;
    QPlainTextEdit* m_statement = nullptr;
    QTreeWidget* m_fields = nullptr;
    QCheckBox* m_sqlView = nullptr;
};

} // namespace database
