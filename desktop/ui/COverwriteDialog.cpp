#include "desktop/ui/COverwriteDialog.h"

#include "desktop/ui/NamedWidgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace ui {

COverwriteDialog::COverwriteDialog(const devlink::OverwriteRequest& request, QWidget* parent)
    : QDialog(parent)
{
    using devlink::PromptAnswer;
    setObjectName(QStringLiteral("overwriteDialog"));
    setWindowTitle(QStringLiteral("Overwrite existing file ?"));

    auto* heading
        = NamedLabel(QStringLiteral("The file \"%1\" already exists in the directory:").arg(request.fileName),
            "headingLabel");
    auto* directory = NamedLabel(request.deviceDir, "directoryLabel");
    directory->setIndent(16);

    auto* files = new QGridLayout;
    files->setHorizontalSpacing(16);
    files->addWidget(new QLabel(QStringLiteral("File on your PC:")), 0, 0);
    files->addWidget(NamedLabel(request.pcSizeText, "pcSizeLabel"), 0, 1, Qt::AlignRight);
    files->addWidget(NamedLabel(request.pcTimeText, "pcTimeLabel"), 0, 2);
    files->addWidget(new QLabel(QStringLiteral("File on your device:")), 1, 0);
    files->addWidget(NamedLabel(request.deviceSizeText, "deviceSizeLabel"), 1, 1, Qt::AlignRight);
    files->addWidget(NamedLabel(request.deviceTimeText, "deviceTimeLabel"), 1, 2);
    files->setColumnStretch(3, 1);

    auto* always = new QCheckBox(
        QStringLiteral("Always overwrite a file on the device, if the server's copy is newer."));
    always->setObjectName(QStringLiteral("alwaysOverwriteCheck"));
    if (request.alwaysOverwriteChanged)
        connect(always, &QCheckBox::toggled, this, request.alwaysOverwriteChanged);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    const struct {
        const char* text;
        const char* name;
        PromptAnswer answer;
    } kButtons[] = {
        { "&Yes", "yesButton", PromptAnswer::Yes },
        { "Yes to &all", "yesToAllButton", PromptAnswer::YesToAll },
        { "&No", "noButton", PromptAnswer::No },
        { "No to all", "noToAllButton", PromptAnswer::NoToAll },
        { "&Cancel", "cancelButton", PromptAnswer::Cancel },
    };
    const PromptAnswer focused = request.focusOnNo ? PromptAnswer::No : PromptAnswer::Yes;
    for (const auto& entry : kButtons) {
        QPushButton* button = NamedButton(QString::fromLatin1(entry.text), entry.name);
        const PromptAnswer answer = entry.answer;
        connect(button, &QPushButton::clicked, this, [this, answer] { Finish(answer); });
        buttons->addWidget(button);
        if (answer == focused) {
            button->setDefault(true);
            button->setFocus();
        }
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(directory);
    layout->addSpacing(8);
    layout->addLayout(files);
    layout->addSpacing(8);
    layout->addWidget(always);
    layout->addLayout(buttons);
}

void COverwriteDialog::reject()
{
    Finish(devlink::PromptAnswer::Cancel);
}

void COverwriteDialog::Finish(devlink::PromptAnswer answer)
{
    if (m_finished)
        return;
    m_finished = true;
    emit answered(answer);
    done(answer == devlink::PromptAnswer::Cancel ? QDialog::Rejected : QDialog::Accepted);
}

} // namespace ui
