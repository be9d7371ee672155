// The export's progress window ("Export"): the tables with their status,
// the target, and the time-stamped log, over an ExportSession that it
// starts 100 ms after it shows. A failing statement opens the "Export
// error" dialog over it. When the export has finished, OK is enabled,
// Cancel disabled and the header says so; for a file target "&Open this
// file..." opens the file with its desktop application.
//
// Threads: window thread only.
#pragma once

#include "desktop/export/ExportSession.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;

namespace database {

class CExportErrorDialog;

class CExportProgress : public QDialog {
    Q_OBJECT
public:
    explicit CExportProgress(const dbexport::ExportRequest& request, QWidget* parent = nullptr);

    dbexport::ExportSession* session() { return &m_session; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void OnErrorAsked(const dbexport::ExportErrorQuestion& question);
    void OnFinished();
    void OnCancel();

    dbexport::ExportSession m_session;
    QLabel* m_header = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_open = nullptr;
    QPointer<CExportErrorDialog> m_errorDialog;
    bool m_started = false;
};

} // namespace database
