#include "components/viewicon.h"

#include <QPainter>
#include <QPixmap>

QIcon ViewIcon(TViewIcon kind)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const QColor ink(0x1e, 0x5a, 0xa8);
    switch (kind) {
    case TViewIcon::Dollar: {
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(15);
        p.setFont(font);
        p.setPen(QColor(0x2e, 0x7d, 0x32));
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("$"));
        return QIcon(pixmap);
    }
    case TViewIcon::Print:
        // A printer with a sheet coming out.
        p.setPen(ink.darker(130));
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 7, 5);
        p.setBrush(ink);
        p.drawRect(1, 6, 13, 5);
        p.setBrush(Qt::white);
        p.drawRect(4, 10, 7, 5);
        return QIcon(pixmap);
    case TViewIcon::Preview:
        // A sheet under a magnifying glass.
        p.setPen(ink.darker(130));
        p.setBrush(Qt::white);
        p.drawRect(1, 1, 10, 13);
        p.setPen(QPen(ink, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(6, 6, 6, 6);
        p.drawLine(11, 11, 14, 14);
        return QIcon(pixmap);
    case TViewIcon::Save:
        // A diskette.
        p.setPen(ink.darker(130));
        p.setBrush(ink);
        p.drawRect(1, 1, 13, 13);
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 7, 5);
        p.drawRect(3, 9, 9, 5);
        return QIcon(pixmap);
    default: break;
    }
    p.setPen(ink.darker(130));
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 11);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    switch (kind) {
    case TViewIcon::ToolBar: p.drawRect(2, 3, 12, 3); break;
    case TViewIcon::StatusBar: p.drawRect(2, 10, 12, 3); break;
    case TViewIcon::RichStr:
        for (int y : {8, 10, 12})
            p.drawRect(3, y, y == 12 ? 6 : 10, 1);
        break;
    case TViewIcon::FullRecv: p.drawRect(9, 3, 5, 10); break;
    default: break;
    }
    return QIcon(pixmap);
}
