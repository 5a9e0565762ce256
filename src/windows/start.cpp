#include "windows/start.h"

#include "components/replfont.h"
#include "windows/about.h"

#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>

// The picture lives with the cursors' resources.
static void InitPictureResources()
{
    Q_INIT_RESOURCE(cursors);
}

TfrmStart *frmStart = nullptr;

namespace {

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
    InitPictureResources();
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(rect());
    Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/splash.png")));
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

void TfrmStart::ShowPainted(int timeoutMs)
{
    show();
    const auto exposed = [this] { return windowHandle() && windowHandle()->isExposed(); };
    const QDeadlineTimer deadline(timeoutMs);
    // The window system may map the window and expose it only later; until
    // then a repaint draws nothing. Wait for both, user input held back.
    while (!(exposed() && m_paintCount > 0) && !deadline.hasExpired()) {
        if (exposed())
            repaint();
        if (m_paintCount > 0)
            break;
        QEventLoop loop;
        QTimer::singleShot(int(qBound(qint64(1), deadline.remainingTime(), qint64(20))), &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

void TfrmStart::paintEvent(QPaintEvent *event)
{
    if (windowHandle() && windowHandle()->isExposed())
        ++m_paintCount;
    QWidget::paintEvent(event);
}

void TfrmStart::closeEvent(QCloseEvent *event)
{
    // Frees itself (WA_DeleteOnClose); the global no longer names it.
    if (frmStart == this)
        frmStart = nullptr;
    QWidget::closeEvent(event);
}
