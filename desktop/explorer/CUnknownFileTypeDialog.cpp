#include "desktop/explorer/CUnknownFileTypeDialog.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/PromptFromWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>

namespace explorer {
namespace {

// A default value of the device's HKEY_CLASSES_ROOT; empty when missing.
QString ReadClassesDefault(const QString& key, DWORD byteSize)
{
    QByteArray buffer(int(byteSize) + 2, '\0');
    DWORD read = 0;
    if (!devlink::ReadDeviceRegValue(
            HKEY_CLASSES_ROOT, key, QString(), buffer.data(), byteSize, nullptr, &read))
        return QString();
    QString text
        = QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer.constData()), qsizetype(read / 2));
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

} // namespace

DeviceAssociation ReadDeviceAssociation(const QString& extension)
{
    DeviceAssociation found;
    const QString type = ReadClassesDefault(QLatin1Char('.') + extension, 520);
    if (type.isEmpty())
        return found;
    found.description = ReadClassesDefault(type, 520);
    const QString command = ReadClassesDefault(type + QStringLiteral("\\Shell\\Open\\Command"), 6000);
    if (command.isEmpty())
        return found;
    if (devlink::DeviceFileExists(ProgramFileOf(command)))
        found.application = command;
    else if (!command.contains(QLatin1Char('\\'))
        && devlink::DeviceFileExists(ProgramFileOf(QStringLiteral("\\Windows\\") + command)))
        found.application = QStringLiteral("\\Windows\\") + command;
    return found;
}

CUnknownFileTypeDialog::CUnknownFileTypeDialog(
    const QString& extension, const DeviceAssociation& association, QWidget* parent)
    : QDialog(parent)
    , m_extension(extension)
{
    setObjectName(QStringLiteral("unknownFileTypeDialog"));
    setWindowTitle(QStringLiteral("Unknown file type"));
    auto* layout = new QVBoxLayout(this);
    auto* description = new QLabel(association.description.isEmpty()
            ? QStringLiteral("How should *.%1 files be opened ?").arg(extension)
            : QStringLiteral("*.%1: %2").arg(extension, association.description));
    description->setObjectName(QStringLiteral("descriptionLine"));
    layout->addWidget(description);
    m_methods = new QButtonGroup(this);
    const QStringList texts
        = { QStringLiteral("Copy to PC and open it from there."), QStringLiteral("Open it on the device."),
              QStringLiteral("Open this file using the built-in text editor."),
              QStringLiteral("Do not attempt to open this type of file.") };
    for (int m = 0; m < texts.size(); ++m) {
        auto* button = new QRadioButton(texts[m]);
        button->setObjectName(QStringLiteral("method%1Button").arg(m));
        m_methods->addButton(button, m);
        layout->addWidget(button);
        if (m == int(OpenMethod::OnDevice)) {
            m_application = new QLineEdit;
            m_application->setObjectName(QStringLiteral("applicationField"));
            layout->addWidget(m_application);
        }
        if (m == int(OpenMethod::Editor)) {
            m_separate = new QCheckBox(QStringLiteral("Start editor in a separate process."));
            m_separate->setObjectName(QStringLiteral("separateProcessBox"));
            layout->addWidget(m_separate);
        }
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QPushButton* ok = ui::NamedButton(QStringLiteral("OK"), "okButton");
    ok->setDefault(true);
    QPushButton* cancel = ui::NamedButton(QStringLiteral("Cancel"), "cancelButton");
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CUnknownFileTypeDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    const std::optional<QString> stored = StoredApplication(extension);
    m_application->setText(stored && !stored->isEmpty() ? *stored : association.application);
    m_separate->setChecked(StoredSeparateProcess(extension));
    OpenMethod method = association.application.isEmpty() ? OpenMethod::CopyToPc : OpenMethod::OnDevice;
    if (const std::optional<OpenMethod> remembered = StoredOpenMethod(extension))
        method = *remembered;
    m_methods->button(int(method))->setChecked(true);
    connect(m_methods, &QButtonGroup::idToggled, this, [this] { UpdateFields(); });
    UpdateFields();
}

OpenMethod CUnknownFileTypeDialog::method() const
{
    return OpenMethod(m_methods->checkedId());
}

QString CUnknownFileTypeDialog::application() const
{
    return m_application->text();
}

void CUnknownFileTypeDialog::UpdateFields()
{
    m_application->setEnabled(method() == OpenMethod::OnDevice);
    m_separate->setEnabled(method() == OpenMethod::Editor);
}

void CUnknownFileTypeDialog::Store()
{
    StoreApplication(m_extension, m_application->text());
    StoreSeparateProcess(m_extension, m_separate->isChecked());
    StoreOpenMethod(m_extension, method());
}

void CUnknownFileTypeDialog::accept()
{
    if (m_checking)
        return;
    if (method() != OpenMethod::OnDevice) {
        Store();
        QDialog::accept();
        return;
    }
    // The program must be on the device before it is remembered.
    m_checking = true;
    const QString program = ProgramFileOf(m_application->text());
    auto exists = std::make_shared<bool>(false);
    devlink::DeviceSession::Instance().Start(
        this, [program, exists](devlink::RequestContext&) { *exists = devlink::DeviceFileExists(program); },
        [this, program, exists](devlink::RequestEnd) {
            m_checking = false;
            if (!*exists) {
                ui::TellFromWindow(this, QStringLiteral("Error"),
                    QStringLiteral("The application \"%1\" does not exist on the device.").arg(program),
                    devlink::PromptIcon::Warning);
                return;
            }
            Store();
            QDialog::accept();
        });
}

} // namespace explorer
