// The program's own cursor pictures, drawn once: a magnifying glass for the
// zoom tool and an open hand for the hand tool, black outlines on white with
// a transparent surround so they read on any page.
#include "platform/screen.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap BlankCursor()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QCursor ZoomCursor()
{
    QPixmap pixmap = BlankCursor();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Handle first, then the lens over its end.
    p.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(17, 17), QPointF(27, 27));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(19, 19), QPointF(26, 26));
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(11, 11), 8, 8);
    // The plus of "enlarge".
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(7, 11), QPointF(15, 11));
    p.drawLine(QPointF(11, 7), QPointF(11, 15));
    p.end();
    return QCursor(pixmap, 11, 11);
}

QCursor HandCursor()
{
    QPixmap pixmap = BlankCursor();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hand;
    // Four fingers, a thumb and the palm, as rounded bars united into one
    // outline.
    const qreal fingers[4][2] = {{9, 6}, {13, 4}, {17, 4}, {21, 7}};
    for (const auto &f : fingers)
        hand.addRoundedRect(QRectF(f[0] - 1.5, f[1], 4, 16), 2, 2);
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(-2, -8, 4, 12), 2, 2);
    QTransform turn;
    turn.translate(7, 19);
    turn.rotate(-40);
    hand = hand.united(turn.map(thumb));
    hand.addRoundedRect(QRectF(7.5, 13, 16, 14), 5, 5);
    hand = hand.simplified();
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::white);
    p.drawPath(hand);
    // Gaps between the fingers.
    p.setPen(QPen(Qt::black, 1));
    for (int i = 1; i < 4; ++i)
        p.drawLine(QPointF(fingers[i][0] - 1.8, 13), QPointF(fingers[i][0] - 1.8, 17));
    p.end();
    return QCursor(pixmap, 15, 15);
}

} // namespace

QCursor Screen::LoadProgramCursor(const QString &name)
{
    if (name == QLatin1String("ZOOM_CURSOR"))
        return ZoomCursor();
    if (name == QLatin1String("HAND_CURSOR"))
        return HandCursor();
    return QCursor(Qt::ArrowCursor);
}
