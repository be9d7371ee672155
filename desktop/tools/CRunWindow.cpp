#include "desktop/tools/CRunWindow.h"

#include "desktop/ui/ProgramPicture.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tools {

CRunWindow::CRunWindow(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("runWindow"));
    setWindowTitle(QStringLiteral("Quorvane"));
    setWindowIcon(ui::ProgramIcon());

    auto* intro = new QLabel(QStringLiteral("This screen allows you to quickly run a file on your PDA."));
    intro->setObjectName(QStringLiteral("introLine"));
    m_filename = new QLineEdit(m_model.filename());
    m_filename->setObjectName(QStringLiteral("filenameEdit"));
    m_parameters = new QLineEdit(m_model.parameters());
    m_parameters->setObjectName(QStringLiteral("parametersEdit"));
    m_runButton = new QPushButton(QStringLiteral("&Run"));
    m_runButton->setObjectName(QStringLiteral("runButton"));
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("okButton"));
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("statusLine"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    connect(m_runButton, &QPushButton::clicked, this,
        [this] { m_model.Run(m_filename->text(), m_parameters->text()); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(&m_model, &RunCommandModel::runningChanged, m_runButton,
        [this](bool running) { m_runButton->setEnabled(!running); });
    connect(&m_model, &RunCommandModel::statusTextChanged, m_status, &QLabel::setText);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Filename:"), m_filename);
    fields->addRow(QStringLiteral("Parameters:"), m_parameters);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_runButton);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(fields);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    m_runButton->setDefault(true);
    setMinimumWidth(440);
    m_filename->setFocus();
}

} // namespace tools
