#include "desktop/shell/CAboutBox.h"

#include "desktop/ui/ProgramPicture.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace shell {

QString ProgramVersionText()
{
    return QStringLiteral("Version %1").arg(QStringLiteral(QUORVANE_VERSION));
}

CAboutBox::CAboutBox(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(QStringLiteral("About Quorvane"));

    QLabel* picture = ui::ProgramPictureLabel(72);
    QLabel* name = ui::ProgramNameLabel(1.6);
    auto* version = new QLabel(ProgramVersionText());
    version->setObjectName(QStringLiteral("versionLabel"));
    auto* maker = new QLabel(QStringLiteral("Brackenloft\n"
                                            "Tools for handheld devices and their databases\n\n"
                                            "Support: %1")
                                 .arg(kSupportAddress));
    maker->setObjectName(QStringLiteral("makerLabel"));
    maker->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(version);
    texts->addSpacing(10);
    texts->addWidget(maker);
    texts->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addWidget(buttons);
    setMinimumWidth(360);
}

} // namespace shell
