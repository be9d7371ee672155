// The "Export" dialog: which tables (a check-box list, all or one ticked at
// first), where to (a new database file, or an ODBC data source with user
// name and password), and whether rows are copied or the structure only.
// "GO !!" saves the choices as settings, asks before an existing file is
// replaced, then hides the dialog behind the progress window and closes
// when that closes.
//
// Threads: window thread only.
#pragma once

#include "desktop/database/CExportProgress.h"
#include "desktop/export/ExportRequest.h"
#include "desktop/export/OdbcSources.h"

#include <QDialog>
#include <QPointer>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStandardItemModel;
class QTreeView;

namespace database {

class CExportDialog : public QDialog {
    Q_OBJECT
public:
    // `tableNames`: the children of the database item of the window's tree
    // ("<Blank table>" among them is never exported). `singleTable`: the
    // only table ticked at first; empty ticks all.
    CExportDialog(const QStringList& tableNames, const QString& singleTable, const QString& databasePath,
        const QString& databasePassword, QWidget* parent = nullptr);

    // The request the dialog's fields make now.
    dbexport::ExportRequest Request() const;
    // The progress window, once GO !! started one.

private:
    void BuildControls();
    void TickAll(bool ticked);
    void UpdateCount();
    void UpdateTarget();
    void ShowDriver();
    void BrowseFile();
    void Go();
    void StartProgress(const dbexport::ExportRequest& request);

    QString m_databasePath;
    QString m_databasePassword;
    QVector<dbexport::OdbcSource> m_sources;
    QStandardItemModel* m_tables = nullptr;
    QTreeView* m_tableList = nullptr;
    QLabel* m_count = nullptr;
    QRadioButton* m_toFile = nullptr;
    QRadioButton* m_toOdbc = nullptr;
    QLineEdit* m_file = nullptr;
    QPushButton* m_browse = nullptr;
    QComboBox* m_source = nullptr;
    QLabel* m_driver = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QRadioButton* m_withData = nullptr;
    QRadioButton* m_structureOnly = nullptr;
    QPushButton* m_go = nullptr;
};

// "No tables exist.", "All %d tables chosen." or "%d (out of %d) tables chosen."
QString ChosenTablesText(int chosen, int total);

} // namespace database
