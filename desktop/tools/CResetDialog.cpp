#include "desktop/tools/CResetDialog.h"

#include "desktop/tools/CHardResetDialog.h"
#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/ProgramPicture.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tools {

CResetDialog::CResetDialog(bool hard, QWidget* parent)
    : QDialog(parent)
    , m_hard(hard)
{
    setObjectName(QStringLiteral("resetDialog"));
    setWindowTitle(QStringLiteral("Reset your device"));
    setWindowIcon(ui::ProgramIcon());

    auto* title = new QLabel(
        hard ? QStringLiteral("Hard-Reset this device.") : QStringLiteral("Soft-Reset this device."));
    title->setObjectName(QStringLiteral("titleLine"));
    auto* warning
        = new QLabel(hard ? QStringLiteral("This WILL delete ALL OF YOUR DATA on your device.")
                          : QStringLiteral("This might result in data being deleted on your device."));
    warning->setObjectName(QStringLiteral("warningLine"));
    QFont bold = warning->font();
    bold.setPixelSize(20);
    bold.setWeight(QFont::DemiBold);
    warning->setFont(bold);
    warning->setWordWrap(true);
    // The texts keep their CR LF line ends; a label wants plain line feeds.
    auto* text = new QLabel(
        (hard ? QStringLiteral(
             "All of your files and your data on your device will be permanently deleted.\r\n\r\n"
             "If you are not sure what this means, please click on \"No\".\r\n")
              : QStringLiteral("If you have any applications running on your device, "
                               "whose data hasn't been saved, this data will be permanently lost.\r\n\r\n"
                               "Are you SURE you wish to soft-reset your device ?"))
            .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    text->setObjectName(QStringLiteral("warningText"));
    text->setWordWrap(true);
    auto* note
        = new QLabel(QStringLiteral("Note:  This Soft/Hard reset function does NOT work on all devices."));
    note->setObjectName(QStringLiteral("noteLine"));
    note->setWordWrap(true);

    auto* yes = ui::NamedButton(QStringLiteral("&Yes"), "yesButton");
    auto* no = ui::NamedButton(QStringLiteral("&No"), "noButton");
    auto* cancel = ui::NamedButton(QStringLiteral("&Cancel"), "cancelButton");
    m_deleteAllButton
        = new QPushButton(QStringLiteral("&Yes, I want to delete all of the data\non my device."));
    m_deleteAllButton->setObjectName(QStringLiteral("deleteAllButton"));
    connect(yes, &QPushButton::clicked, this, &QDialog::accept);
    connect(no, &QPushButton::clicked, this, &QDialog::reject);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_deleteAllButton, &QPushButton::clicked, this, &CResetDialog::OpenSecondDialog);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(yes);
    buttons->addWidget(m_deleteAllButton);
    buttons->addStretch();
    buttons->addWidget(no);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(title);
    layout->addWidget(warning);
    layout->addWidget(text);
    layout->addSpacing(8);
    layout->addWidget(note);
    layout->addStretch();
    layout->addLayout(buttons);

    if (hard) {
        yes->hide();
        m_deleteAllButton->setEnabled(false);
        // Precise: a coarse timer may fire up to 5% early.
        QTimer::singleShot(kDeleteAllDelayMs, Qt::PreciseTimer, m_deleteAllButton,
            [button = m_deleteAllButton] { button->setEnabled(true); });
        no->setDefault(true);
        no->setFocus();
    } else {
        m_deleteAllButton->hide();
        no->setDefault(true);
    }
    setMinimumWidth(460);
}

void CResetDialog::OpenSecondDialog()
{
    if (m_second)
        return;
    m_second = new CHardResetDialog(this);
    m_second->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_second, &QDialog::finished, this, [this](int result) {
        m_second = nullptr;
        done(result == QDialog::Accepted ? QDialog::Accepted : QDialog::Rejected);
    });
    m_second->open();
}

} // namespace tools
