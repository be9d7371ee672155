#include "desktop/tools/CRunApplicationDialog.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/tools/RunCommandModel.h"
#include "desktop/ui/ProgramPicture.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tools {

CRunApplicationDialog::CRunApplicationDialog(
    const QString& programPath, const QString& parameters, QObject* runner, QWidget* parent)
    : QDialog(parent)
    , m_programPath(programPath)
    , m_runner(runner)
{
    setObjectName(QStringLiteral("runApplicationDialog"));
    setWindowTitle(QStringLiteral("Run an application"));
    setWindowIcon(ui::ProgramIcon());

    auto* intro = new QLabel(QStringLiteral("This will run the following application on your device."));
    auto* program = new QLabel(programPath);
    program->setObjectName(QStringLiteral("programName"));
    QFont bold = program->font();
    bold.setBold(true);
    program->setFont(bold);
    program->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_parameters = new QLineEdit(parameters);
    m_parameters->setObjectName(QStringLiteral("parametersEdit"));
    m_alwaysBox = new QCheckBox(QStringLiteral(
        "Don't ask me this again - always use these parameters whenever I run this application."));
    m_alwaysBox->setObjectName(QStringLiteral("alwaysCheckBox"));
    auto* click = new QLabel(QStringLiteral("Click on OK to run this application on your device."));

    QString kept;
    if (RememberedParameters(programPath, &kept)) {
        m_parameters->setText(kept);
        m_alwaysBox->setChecked(true);
    }
    m_parameters->selectAll();
    m_parameters->setFocus();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Parameters:"), m_parameters);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(program);
    layout->addLayout(fields);
    layout->addWidget(m_alwaysBox);
    layout->addWidget(click);
    layout->addWidget(buttons);
    setMinimumWidth(480);
}

void CRunApplicationDialog::accept()
{
    const QString parameters = m_parameters->text();
    RememberParameters(m_programPath, parameters, m_alwaysBox->isChecked());
    const QString program = m_programPath;
    devlink::DeviceSession::Instance().Start(m_runner ? m_runner : QCoreApplication::instance(),
        [program, parameters](devlink::RequestContext&) { devlink::RunDeviceCommand(program, parameters); },
        {});
    QDialog::accept();
}

} // namespace tools
