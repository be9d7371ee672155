#include "desktop/database/COpenDatabaseDialog.h"

#include "desktop/settings/SettingsStore.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace database {

COpenDatabaseDialog::COpenDatabaseDialog(const QString& databasePath, QWidget* parent)
    : QDialog(parent)
    , m_databasePath(databasePath)
{
    setObjectName(QStringLiteral("openDatabaseDialog"));
    setWindowTitle(QStringLiteral("Open database"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral("If this database is password protected, please enter the password below."));
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    auto* name = new QLineEdit(databasePath);
    name->setObjectName(QStringLiteral("databaseNameEdit"));
    name->setReadOnly(true);
    name->setMinimumWidth(260);
    form->addRow(QStringLiteral("Database name:"), name);
    m_password = new QLineEdit;
    m_password->setObjectName(QStringLiteral("passwordEdit"));
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("Password:"), m_password);
    layout->addLayout(form);
    m_remember = new QCheckBox(QStringLiteral("Remember this password."));
    m_remember->setObjectName(QStringLiteral("rememberPasswordBox"));
    layout->addWidget(m_remember);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    const QString remembered = settings::GetRememberedPassword(databasePath);
    m_hadRemembered = !remembered.isEmpty();
    if (m_hadRemembered) {
        m_password->setText(remembered);
        m_remember->setChecked(true);
    }
    m_password->setFocus();
    m_password->selectAll();
}

QString COpenDatabaseDialog::password() const
{
    return m_password->text();
}

void COpenDatabaseDialog::accept()
{
    if (m_remember->isChecked())
        settings::SetRememberedPassword(m_databasePath, m_password->text());
    else if (m_hadRemembered)
        settings::DeleteValue(settings::SdfsKey(), settings::RememberedPasswordName(m_databasePath));
    QDialog::accept();
}

} // namespace database
