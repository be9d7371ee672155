#include "desktop/ui/ProgramPicture.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace ui {

QPixmap ProgramPicture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 64-unit square.
    painter.scale(size / 64.0, size / 64.0);

    painter.setPen(QPen(QColor(0x12, 0x33, 0x3e), 1.5));
    painter.setBrush(QColor(0x1f, 0x4e, 0x5f));
    painter.drawRoundedRect(QRectF(12, 3, 40, 58), 7, 7);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xe8, 0xf4, 0xf2));
    painter.drawRoundedRect(QRectF(17, 9, 30, 37), 2, 2);

    // The database: a cylinder of three stacked discs.
    const QColor side(0xd9, 0x8c, 0x2b), top(0xf0, 0xb5, 0x5e), rim(0x8a, 0x52, 0x10);
    QPainterPath body;
    body.moveTo(22, 18);
    body.lineTo(22, 37);
    body.arcTo(QRectF(22, 33, 20, 8), 180, 180);
    body.lineTo(42, 18);
    body.closeSubpath();
    painter.setPen(QPen(rim, 1.2));
    painter.setBrush(side);
    painter.drawPath(body);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(22, 21, 20, 8), 180 * 16, 180 * 16);
    painter.drawArc(QRectF(22, 27, 20, 8), 180 * 16, 180 * 16);
    painter.setBrush(top);
    painter.drawEllipse(QRectF(22, 14, 20, 8));

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x9f, 0xc5, 0xcf));
    painter.drawEllipse(QPointF(32, 53.5), 3.5, 3.5);
    return pixmap;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : { 16, 24, 32, 48, 64, 128, 256 })
        icon.addPixmap(ProgramPicture(size));
    return icon;
}

QLabel* ProgramPictureLabel(int size)
{
    auto* label = new QLabel;
    label->setObjectName(QStringLiteral("programPicture"));
    label->setPixmap(ProgramPicture(size));
    label->setAlignment(Qt::AlignTop);
    return label;
}

QLabel* ProgramNameLabel(double scale)
{
    auto* label = new QLabel(QStringLiteral("Quorvane"));
    label->setObjectName(QStringLiteral("programName"));
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace ui
