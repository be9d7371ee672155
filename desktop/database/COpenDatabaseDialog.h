// The "Open database" dialog: asks for a database's password, offers the
// remembered one, and remembers or forgets it as its box says on OK.
//
// Threads: window thread only.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace database {

class COpenDatabaseDialog : public QDialog {
    Q_OBJECT
public:
    COpenDatabaseDialog(const QString& databasePath, QWidget* parent = nullptr);

    QString password() const;

    // Stores or forgets the password as the box says, then closes.
    void accept() override;

private:
    QString m_databasePath;
    bool m_hadRemembered = false;
    QLineEdit* m_password;
    QCheckBox* m_remember;
};

} // namespace database
