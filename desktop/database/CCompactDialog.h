// The "Compact a database" dialog, opened from the explorer for a database
// file: it shows where the database is, takes its password (the remembered
// one when there is one), compacts it with an elapsed-time line while the
// agent works, reports the outcome and closes.
//
// Threads: window thread only.
#pragma once

#include "desktop/database/DatabaseCompaction.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace database {

class CCompactDialog : public QDialog {
    Q_OBJECT
public:
    CCompactDialog(const QString& devicePath, QWidget* parent = nullptr);

    // "C&ompact".
    void Compact();

protected:
    void reject() override;

private:
    void ShowElapsed();
    void OnCompacted();

    QString m_devicePath;
    QString m_fileName;
    DatabaseCompaction m_compaction;
    QLineEdit* m_password = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_compact = nullptr;
    QPushButton* m_cancel = nullptr;
    QTimer m_timer;
    QElapsedTimer m_started;
};

} // namespace database
