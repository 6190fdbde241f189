#include "WindowIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    // The phone.
    painter.setPen(QPen(QColor(0x1f, 0x2a, 0x44), 3));
    painter.setBrush(QColor(0x3b, 0x5b, 0x9a));
    painter.drawRoundedRect(QRectF(14, 4, 36, 56), 6, 6);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xe8, 0xf1, 0xff));
    painter.drawRect(QRectF(19, 10, 26, 30));
    painter.setBrush(QColor(0x1f, 0x2a, 0x44));
    painter.drawEllipse(QPointF(32, 50), 4, 4);

    // The arrow of a game coming down onto it.
    QPainterPath arrow;
    arrow.moveTo(28, 14);
    arrow.lineTo(36, 14);
    arrow.lineTo(36, 24);
    arrow.lineTo(41, 24);
    arrow.lineTo(32, 35);
    arrow.lineTo(23, 24);
    arrow.lineTo(28, 24);
    arrow.closeSubpath();
    painter.setBrush(QColor(0x2e, 0xa0, 0x43));
    painter.drawPath(arrow);
    return pixmap;
}

} // namespace

QIcon makeWindowIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(drawIcon(size));
    return icon;
}
