#include "desktop/database/CCompactDialog.h"

#include "desktop/link/CompactReport.h"
#include "desktop/settings/PathText.h"
#include "desktop/settings/SettingsStore.h"
#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/PromptFromWindow.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace database {
namespace {

QLineEdit* ReadOnlyField(const QString& text, const char* name)
{
    auto* field = new QLineEdit(text);
    field->setObjectName(QLatin1String(name));
    field->setReadOnly(true);
    return field;
}

QLabel* WrappedLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

} // namespace

CCompactDialog::CCompactDialog(const QString& devicePath, QWidget* parent)
    : QDialog(parent)
    , m_devicePath(devicePath)
    , m_compaction(this)
{
    setObjectName(QStringLiteral("compactDialog"));
    setWindowTitle(QStringLiteral("Compact a database"));
    m_compaction.setParent(this);
    QString directory = settings::DirectoryPart(devicePath);
    if (directory.isEmpty())
        directory = QStringLiteral("\\");
    m_fileName = settings::FileNamePart(devicePath);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        WrappedLabel(QStringLiteral("The \"Compact\" function can sometimes to be used to reduce the "
                                    "size of your SQLCE files, and repair problems in them.")));
    layout->addWidget(
        WrappedLabel(QStringLiteral("This process can often take a couple of minutes and, on badly "
                                    "corrupted databases, could result in your device freezing.")));
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Directory:"), ReadOnlyField(directory, "directoryField"));
    fields->addRow(QStringLiteral("Filename:"), ReadOnlyField(m_fileName, "fileNameField"));
    m_password = new QLineEdit(settings::GetRememberedPassword(devicePath));
    m_password->setObjectName(QStringLiteral("passwordField"));
    m_password->setEchoMode(QLineEdit::Password);
    fields->addRow(QStringLiteral("Password:"), m_password);
    layout->addLayout(fields);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("statusLine"));
    layout->addWidget(m_status);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_compact = ui::NamedButton(QStringLiteral("C&ompact"), "compactButton");
    m_compact->setDefault(true);
    m_cancel = ui::NamedButton(QStringLiteral("&Cancel"), "cancelButton");
    buttons->addWidget(m_compact);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    resize(520, 260);

    connect(m_compact, &QPushButton::clicked, this, &CCompactDialog::Compact);
    connect(m_cancel, &QPushButton::clicked, this, &CCompactDialog::reject);
    connect(&m_compaction, &DatabaseCompaction::finished, this, &CCompactDialog::OnCompacted);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &CCompactDialog::ShowElapsed);
    m_compaction.ReadSizeBefore(devicePath);
}

void CCompactDialog::Compact()
{
    if (m_compaction.isRunning())
        return;
    m_compact->hide();
    m_cancel->hide();
    m_compact->setEnabled(false);
    m_cancel->setEnabled(false);
    m_started.start();
    ShowElapsed();
    m_timer.start();
    m_compaction.Start(m_devicePath, m_password->text());
}

void CCompactDialog::ShowElapsed()
{
    const qint64 seconds = m_started.elapsed() / 1000;
    m_status->setText(QStringLiteral("%1:%2  Compacting \"%3\"...")
                          .arg(seconds / 60, 2, 10, QLatin1Char('0'))
                          .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                          .arg(m_fileName));
}

void CCompactDialog::OnCompacted()
{
    m_timer.stop();
    const QString report = m_compaction.succeeded()
        ? devlink::CompactReport(m_compaction.sizeBefore(), m_compaction.sizeAfter())
        : QStringLiteral("The database Compact was not successful. ");
    devlink::PromptRequest box;
    box.caption = QStringLiteral("Quorvane");
    box.text = report;
    box.icon = devlink::PromptIcon::Information;
    box.owner = this;
    // The dialog closes once its report has been read.
    ui::AskFromWindow(box, this, [this](devlink::PromptAnswer) { QDialog::accept(); });
}

void CCompactDialog::reject()
{
    // Closing while the agent works would leave the compaction without its report.
    if (!m_compaction.isRunning())
        QDialog::reject();
}

} // namespace database
