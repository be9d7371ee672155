#include "desktop/ui/CRunningApplicationBox.h"

#include "desktop/ui/ProgramPicture.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace ui {

CRunningApplicationBox::CRunningApplicationBox(
    const devlink::RunningApplicationNotice& notice, int closeAfterMs, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("runningApplicationBox"));
    setWindowTitle(QStringLiteral("Quorvane"));

    auto* picture = new QLabel;
    picture->setPixmap(ProgramPicture(32));
    auto* label = new QLabel(QStringLiteral("Running the application:"));
    label->setObjectName(QStringLiteral("runningLabel"));
    label->setVisible(!notice.labelHidden);
    auto* program = new QLabel(notice.text.isEmpty() ? notice.programPath : notice.text);
    program->setObjectName(QStringLiteral("programLabel"));

    auto* texts = new QVBoxLayout;
    texts->addWidget(label);
    texts->addWidget(program);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(picture);
    layout->addSpacing(8);
    layout->addLayout(texts, 1);
    setMinimumWidth(300);

    QTimer::singleShot(closeAfterMs, this, &QWidget::close);
}

} // namespace ui
