#include "windows/about.h"

#include "components/replfont.h"
#include "services/tools_viewer.h"

#include <QFrame>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <cmath>
#include <numbers>

QString ProgramVersion()
{
    return QStringLiteral("2.09");
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

namespace {

// Left picture: the name on a band of the program's colours.
QPixmap NamePicture(const QSize &size)
{
    QPixmap picture(size);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, size.width(), 0);
    band.setColorAt(0, QColor(0x16, 0x33, 0x5c));
    band.setColorAt(1, QColor(0x2c, 0x7a, 0x8c));
    p.fillRect(QRect(0, size.height() - 12, size.width(), 8), band);
    p.setPen(QColor(0x16, 0x33, 0x5c));
    QFont font = p.font();
    font.setPixelSize(20);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(0, 0, size.width(), size.height() - 12), Qt::AlignCenter, QStringLiteral("SELBRAN"));
    return picture;
}

// Right picture: the ring of the wait cursor.
QPixmap RingPicture(const QSize &size)
{
    QPixmap picture(size);
    picture.fill(Qt::white);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(size.width() / 2.0, size.height() / 2.0);
    const double radius = std::min(size.width(), size.height()) / 2.0 - 7;
    for (int i = 0; i < 12; ++i) {
        const double angle = 2 * std::numbers::pi * i / 12 - std::numbers::pi / 2;
        const double fade = i / 11.0;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgbF(0.10 + 0.70 * fade, 0.30 + 0.55 * fade, 0.62 + 0.33 * fade));
        p.drawEllipse(centre + radius * QPointF(std::cos(angle), std::sin(angle)), 5 - 2 * fade, 5 - 2 * fade);
    }
    return picture;
}

QLabel *PictureOnPanel(QWidget *parent, const QString &panel, const QString &name, const QRect &place,
                       const QPixmap &picture)
{
    auto *frame = new QFrame(parent);
    frame->setObjectName(panel);
    frame->setGeometry(place);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, Qt::white);
    frame->setPalette(palette);
    auto *image = new QLabel(frame);
    image->setObjectName(name);
    image->setGeometry(frame->contentsRect());
    image->setPixmap(picture);
    return image;
}

QLabel *Text(QWidget *parent, const QString &name, const QString &text, const QPoint &at)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(at);
    return label;
}

TLinkLabel *Link(QWidget *parent, const QString &name, const QString &text, const QPoint &at)
{
    auto *label = new TLinkLabel(text, parent);
    label->setObjectName(name);
    label->move(at);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("SELBRAN - о программе ..."));
    setFixedSize(259, 215);
    Image1 = PictureOnPanel(this, QStringLiteral("Panel1"), QStringLiteral("Image1"), QRect(8, 8, 118, 58),
                            NamePicture(QSize(114, 54)));
    Image2 = PictureOnPanel(this, QStringLiteral("Panel2"), QStringLiteral("Image2"), QRect(133, 8, 118, 58),
                            RingPicture(QSize(114, 54)));
    Label1 = Text(this, QStringLiteral("Label1"), QStringLiteral("Распространяется бесплатно."), QPoint(8, 72));
    Label6 = Text(this, QStringLiteral("Label6"), QStringLiteral("Версия"), QPoint(8, 94));
    lblVersion = Text(this, QStringLiteral("lblVersion"), QStringLiteral("2.0"), QPoint(56, 94));
    QFont bold = lblVersion->font();
    bold.setBold(true);
    lblVersion->setFont(bold);
    auto *bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(8, 114, 243, 4);
    Label3 = Text(this, QStringLiteral("Label3"), QStringLiteral("Домашняя страница: "), QPoint(8, 122));
    Label2 = Link(this, QStringLiteral("Label2"), HomePageAddress(), QPoint(20, 138));
    Label4 = Text(this, QStringLiteral("Label4"), QStringLiteral("Отзывы и предложения:"), QPoint(8, 156));
    Label5 = Link(this, QStringLiteral("Label5"), FeedbackAddress(), QPoint(20, 172));
    Button1 = new QPushButton(QStringLiteral("Выход"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(92, 188, 75, 23);
    connect(Button1, &QPushButton::clicked, this, &TfrmAbout::Button1Click);
    connect(Label2, &TLinkLabel::clicked, this, &TfrmAbout::Label2Click);
    connect(Label5, &TLinkLabel::clicked, this, &TfrmAbout::Label5Click);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate();
}

void TfrmAbout::FormCreate()
{
    SetFormCharsetRussian(this);
    lblVersion->setText(ProgramVersion());
    lblVersion->adjustSize();
}

void TfrmAbout::Button1Click()
{
    close();
}

void TfrmAbout::Label2Click()
{
    OpenDocument(HomePageAddress());
}

void TfrmAbout::Label5Click()
{
    OpenDocument(QStringLiteral("mailto:") + FeedbackAddress());
}
