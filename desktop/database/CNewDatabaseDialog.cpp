#include "desktop/database/CNewDatabaseDialog.h"

#include "desktop/link/DeviceSession.h"
#include "desktop/link/NewDatabase.h"
#include "desktop/link/Prompter.h"
#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/PromptFromWindow.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace database {
namespace {

QLineEdit* PasswordField(const char* name)
{
    auto* field = new QLineEdit;
    field->setObjectName(QLatin1String(name));
    field->setEchoMode(QLineEdit::Password);
    return field;
}

} // namespace

CNewDatabaseDialog::CNewDatabaseDialog(const QString& deviceDirectory, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("newDatabaseDialog"));
    setWindowTitle(QStringLiteral("Create a new database file..."));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("This screen allows you to create a new SQLCE database on your device.  ")));
    auto* fields = new QFormLayout;
    QString name = deviceDirectory;
    if (!name.endsWith(QLatin1Char('\\')))
        name += QLatin1Char('\\');
    m_fileName = new QLineEdit(name + QStringLiteral("database.sdf"));
    m_fileName->setObjectName(QStringLiteral("fileNameField"));
    fields->addRow(QStringLiteral("Filename:"), m_fileName);
    m_password = PasswordField("passwordField");
    fields->addRow(QStringLiteral("Password (optional) :"), m_password);
    m_repeat = PasswordField("repeatPasswordField");
    fields->addRow(QStringLiteral("Please enter your password again here:"), m_repeat);
    layout->addLayout(fields);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_create = ui::NamedButton(QStringLiteral("&Create"), "createButton");
    m_create->setDefault(true);
    QPushButton* cancel = ui::NamedButton(QStringLiteral("Cancel"), "cancelButton");
    buttons->addWidget(m_create);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    resize(500, 200);
    connect(m_create, &QPushButton::clicked, this, &CNewDatabaseDialog::Create);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CNewDatabaseDialog::Create()
{
    if (m_running)
        return;
    if (m_password->text() != m_repeat->text()) {
        ui::TellFromWindow(this, QStringLiteral("Error"),
            QStringLiteral("Error: The two passwords you have entered are not the same.\r\n\r\n"
                           "If you wish to have this database file password-protected, please make \r\n"
                           "sure these two password entries both contain your new password.\r\n\r\n"),
            devlink::PromptIcon::Warning);
        m_password->setFocus();
        m_password->selectAll();
        return;
    }
    m_running = true;
    m_create->setEnabled(false);
    const QString path = m_fileName->text().trimmed(), password = m_password->text();
    auto made = std::make_shared<devlink::NewDatabaseResult>();
    devlink::DeviceSession::Instance().Start(
        this,
        [made, path, password](
            devlink::RequestContext&) { *made = devlink::CreateNewDatabase(path, password); },
        [this, made, path](devlink::RequestEnd) {
            m_running = false;
            m_create->setEnabled(true);
            if (made->outcome != devlink::NewDatabaseResult::Outcome::Created) {
                QString text = QStringLiteral("Unable to create the database file \"%1\".").arg(path);
                if (!made->reason.isEmpty())
                    text += QStringLiteral("\r\n\r\n") + made->reason.join(QStringLiteral("\r\n"));
                ui::TellFromWindow(this, QStringLiteral("Error"), text, devlink::PromptIcon::Warning);
                return;
            }
            emit databaseCreated(path);
            accept();
        });
}

} // namespace database
