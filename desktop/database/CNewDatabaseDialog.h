// The "Create a new database file..." dialog, opened from the explorer with
// its current device folder: a file name (the folder and "database.sdf"),
// an optional password typed twice. "&Create" checks that both password
// fields agree, has the agent create the database (protected when a
// password was given) and closes once the device answered; a database that
// was not made is reported, never passed over.
//
// Threads: window thread only.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace database {

class CNewDatabaseDialog : public QDialog {
    Q_OBJECT
public:
    CNewDatabaseDialog(const QString& deviceDirectory, QWidget* parent = nullptr);

    // "&Create".
    void Create();

signals:
    // The database is on the device (its path).
    void databaseCreated(const QString& path);

private:
    QLineEdit* m_fileName = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_repeat = nullptr;
    QPushButton* m_create = nullptr;
    bool m_running = false;
};

} // namespace database
