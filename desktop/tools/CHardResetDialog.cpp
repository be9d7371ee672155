#include "desktop/tools/CHardResetDialog.h"

#include "desktop/ui/NamedWidgets.h"
#include "desktop/ui/ProgramPicture.h"
#include "desktop/ui/PromptFromWindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tools {

QString CHardResetDialog::SoftResetAdvice()
{
    return QStringLiteral("You need to SOFT-Reset your device, rather than Hard-Reseting it.\r\n\r\n\r\n"
                          "You can do this by clicking on the following menus:\r\n\r\n"
                          "    Tools\\Reset your device\\Soft-Reset\r\n"
                          "\r\n\r\n");
}

QString CHardResetDialog::NotSureAdvice()
{
    return QStringLiteral("NEVER hard-reset your device unless you know exactly what this means.\r\n\r\n"
                          "Every file, every piece of data, every appointment, contact, email, etc that is "
                          "on your device\r\n"
                          "WILL BE DELETED forever when you hard-reset a device.\r\n\r\n"
                          "This action is not undo-able."
                          "\r\n\r\n");
}

CHardResetDialog::CHardResetDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("hardResetDialog"));
    setWindowTitle(QStringLiteral("Reset your device"));
    setWindowIcon(ui::ProgramIcon());

    auto* question = new QLabel(QStringLiteral("Hard-reset your device ?"));
    question->setObjectName(QStringLiteral("questionLine"));
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);
    auto* lastChance = new QLabel(QStringLiteral(
        "One last chance:\nPlease confirm your choice by confirming what action you wish to perform:"));
    lastChance->setObjectName(QStringLiteral("lastChanceText"));
    lastChance->setWordWrap(true);

    m_softRadio = new QRadioButton(
        QStringLiteral("I wish to temporarily soft reset my device, but I don't want to lose any data."));
    m_softRadio->setObjectName(QStringLiteral("softResetRadio"));
    m_deleteAllRadio = new QRadioButton(QStringLiteral("I wish to delete ALL the data on my device."));
    m_deleteAllRadio->setObjectName(QStringLiteral("deleteAllRadio"));
    m_notSureRadio = new QRadioButton(QStringLiteral("I'm really not sure what I'm doing."));
    m_notSureRadio->setObjectName(QStringLiteral("notSureRadio"));
    m_noValueBox
        = new QCheckBox(QStringLiteral("The data on my device has no value to me, please delete it all."));
    m_noValueBox->setObjectName(QStringLiteral("noValueCheckBox"));
    m_noValueBox->setEnabled(false);

    m_yesButton = new QPushButton(QStringLiteral("Yes, hard-reset my device."));
    m_yesButton->setObjectName(QStringLiteral("yesButton"));
    m_yesButton->setEnabled(false);
    auto* no = ui::NamedButton(QStringLiteral("&No"), "noButton");
    auto* cancel = ui::NamedButton(QStringLiteral("&Cancel"), "cancelButton");
    for (QPushButton* button : { m_yesButton, no, cancel })
        button->setAutoDefault(false);
    no->setDefault(true);
    connect(m_yesButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(no, &QPushButton::clicked, this, &QDialog::reject);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    connect(m_softRadio, &QRadioButton::clicked, this, [this] {
        UpdateControls();
        ExplainAndCancel(SoftResetAdvice());
    });
    connect(m_notSureRadio, &QRadioButton::clicked, this, [this] {
        UpdateControls();
        ExplainAndCancel(NotSureAdvice());
    });
    connect(m_deleteAllRadio, &QRadioButton::clicked, this, &CHardResetDialog::UpdateControls);
    connect(m_noValueBox, &QCheckBox::clicked, this, &CHardResetDialog::UpdateControls);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_yesButton);
    buttons->addStretch();
    buttons->addWidget(no);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(question);
    layout->addWidget(lastChance);
    layout->addSpacing(6);
    layout->addWidget(m_softRadio);
    layout->addWidget(m_deleteAllRadio);
    layout->addWidget(m_notSureRadio);
    layout->addSpacing(6);
    layout->addWidget(m_noValueBox);
    layout->addStretch();
    layout->addLayout(buttons);
    no->setFocus();
}

void CHardResetDialog::UpdateControls()
{
    const bool deleteAll = m_deleteAllRadio->isChecked();
    m_noValueBox->setEnabled(deleteAll);
    m_yesButton->setEnabled(deleteAll && m_noValueBox->isChecked());
}

void CHardResetDialog::ExplainAndCancel(const QString& text)
{
    // The window goes at once; the explanation belongs to its owner, which
    // outlives it.
    QObject* owner = parentWidget() ? static_cast<QObject*>(parentWidget()) : this;
    ui::TellFromWindow(owner, QStringLiteral("Quorvane"), text, devlink::PromptIcon::Information);
    reject();
}

} // namespace tools
