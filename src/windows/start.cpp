#include "windows/start.h"

#include "components/replfont.h"
#include "windows/about.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include <cmath>
#include <numbers>

TfrmStart *frmStart = nullptr;

namespace {

QPixmap SplashPicture(const QSize &size)
{
    QPixmap picture(size);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor(0x16, 0x33, 0x5c));
    sky.setColorAt(1, QColor(0x2c, 0x7a, 0x8c));
    p.fillRect(picture.rect(), sky);
    // The ring of the wait cursor, large.
    for (int i = 0; i < 12; ++i) {
        const double angle = 2 * std::numbers::pi * i / 12 - std::numbers::pi / 2;
        const double fade = i / 11.0;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgbF(1.0, 1.0, 1.0, 0.95 - 0.7 * fade));
        p.drawEllipse(QPointF(56 + 32 * std::cos(angle), 58 + 32 * std::sin(angle)), 7 - 3 * fade, 7 - 3 * fade);
    }
    p.setPen(Qt::white);
    QFont title = p.font();
    title.setPixelSize(34);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(108, 26, 290, 42), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("SELBRAN"));
    QFont line = p.font();
    line.setPixelSize(14);
    line.setBold(false);
    p.setFont(line);
    p.drawText(QRect(110, 68, 290, 22), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Информационно-торговая система"));
    return picture;
}

QLabel *WhiteLabel(QWidget *parent, const QString &name, const QString &text, bool bold)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    QFont font = label->font();
    font.setPointSize(8);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

} // namespace

TfrmStart::TfrmStart(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmStart"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(400, 110);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(rect());
    Image1->setPixmap(SplashPicture(size()));
    Label1 = WhiteLabel(this, QStringLiteral("Label1"), QStringLiteral("Версия"), false);
    Label2 = WhiteLabel(this, QStringLiteral("Label2"), QStringLiteral("2.0"), true);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate();
}

void TfrmStart::FormCreate()
{
    SetFormCharsetRussian(this);
    Label2->setText(ProgramVersion());
    // Both labels in the upper right corner, whatever the version's width.
    Label2->adjustSize();
    Label1->adjustSize();
    Label2->move(width() - 8 - Label2->width(), 6);
    Label1->move(Label2->x() - 4 - Label1->width(), 6);
}

void TfrmStart::closeEvent(QCloseEvent *event)
{
    // Frees itself (WA_DeleteOnClose); the global no longer names it.
    if (frmStart == this)
        frmStart = nullptr;
    QWidget::closeEvent(event);
}
