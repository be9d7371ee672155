#include "desktop/explorer/CCabInstallerDialog.h"

#include "desktop/explorer/DeviceListing.h"
#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/ProgramPicture.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace explorer {

CCabInstallerDialog::CCabInstallerDialog(const QString& devicePath, QWidget* parent)
    : QDialog(parent)
    , m_controller(devicePath)
{
    setObjectName(QStringLiteral("cabInstallerDialog"));
    setWindowTitle(QStringLiteral("Install a cab file"));
    setWindowIcon(ui::ProgramIcon());

    auto* file = new QLabel(LastComponent(devicePath));
    file->setObjectName(QStringLiteral("fileName"));
    m_application = new QLabel(kUnknownApplication);
    m_application->setObjectName(QStringLiteral("applicationName"));
    m_installedNotice = new QLabel(QStringLiteral("This application is already installed on your device."));
    m_installedNotice->setObjectName(QStringLiteral("installedNotice"));
    QFont bold = m_installedNotice->font();
    bold.setBold(true);
    m_installedNotice->setFont(bold);
    m_installedNotice->setVisible(false);
    m_dontDelete = new QCheckBox(QStringLiteral("Don't delete the .cab file afterwards."));
    m_dontDelete->setObjectName(QStringLiteral("dontDeleteBox"));
    m_dontDelete->setChecked(m_controller.dontDeleteCab());
    m_skipWarning = new QCheckBox(m_controller.skipWarningText());
    m_skipWarning->setObjectName(QStringLiteral("skipWarningBox"));
    m_skipWarning->setChecked(m_controller.skipWarning());
    m_skipWarning->setVisible(false);

    m_install = ui::NamedButton(QStringLiteral("&Install"), "installButton");
    m_install->setDefault(true);
    auto* cancel = ui::NamedButton(QStringLiteral("Cancel"), "cancelButton");
    connect(m_install, &QPushButton::clicked, this, &CCabInstallerDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_controller, &CabInstallerController::loadedChanged, this, &CCabInstallerDialog::ShowPackage);
    connect(
        &m_controller, &CabInstallerController::installStarted, this, [this](bool) { QDialog::accept(); });

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("File:"), file);
    fields->addRow(QStringLiteral("Application:"), m_application);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_install);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(m_installedNotice);
    layout->addWidget(m_dontDelete);
    layout->addWidget(m_skipWarning);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setMinimumWidth(460);
    m_controller.Load();
}

void CCabInstallerDialog::ShowPackage()
{
    const CabPackage& package = m_controller.package();
    m_application->setText(package.applicationName);
    m_installedNotice->setVisible(package.alreadyInstalled);
    m_skipWarning->setText(m_controller.skipWarningText());
    m_skipWarning->setVisible(package.alreadyInstalled);
}

void CCabInstallerDialog::accept()
{
    m_install->setEnabled(false);
    m_controller.Install(m_dontDelete->isChecked(), m_skipWarning->isChecked());
}

CCabInstallerDialog* ShowCabInstaller(const QString& devicePath, QWidget* parent)
{
    auto* dialog = new CCabInstallerDialog(devicePath, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

} // namespace explorer
