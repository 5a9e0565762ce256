#include "windows/reclama.h"

#include "components/replfont.h"
#include "data/regularfile.h"
#include "services/hex_utl.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kBannerInterval = 4000;
int g_interval = 0;
std::function<void(TfrmReclama &)> g_shownHook;

} // namespace

void SetBannerInterval(int milliseconds)
{
    g_interval = milliseconds;
}

void SetBannerShownHook(std::function<void(TfrmReclama &)> hook)
{
    g_shownHook = std::move(hook);
}

TBannerViewer::TBannerViewer(QWidget *parent) : QTextBrowser(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    document()->setDocumentMargin(0);
    document()->setDefaultFont(QFont(QStringLiteral("Times New Roman")));
    setOpenLinks(false);
    // Taken only by a click: the window must not close because it gave its
    // first focus here.
    setFocusPolicy(Qt::ClickFocus);
}

QVariant TBannerViewer::loadResource(int type, const QUrl &name)
{
    if (type == QTextDocument::ImageResource && OnImageRequest)
        return OnImageRequest(name);
    return QTextBrowser::loadResource(type, name);
}

void TBannerViewer::focusInEvent(QFocusEvent *event)
{
    QTextBrowser::focusInEvent(event);
    emit entered();
}

TfrmReclama::TfrmReclama(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmReclama"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);

    auto *windowLayout = new QVBoxLayout(this);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    windowLayout->addWidget(Panel2);

    auto *panelLayout = new QVBoxLayout(Panel2);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    Panel1 = new QFrame(Panel2);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto *pictureLayout = new QVBoxLayout(Panel1);
    pictureLayout->setContentsMargins(Panel1->frameWidth(), Panel1->frameWidth(), Panel1->frameWidth(),
                                      Panel1->frameWidth());
    HTMLViewer1 = new TBannerViewer(Panel1);
    HTMLViewer1->setObjectName(QStringLiteral("HTMLViewer1"));
    HTMLViewer1->setFixedSize(640, 480);
    pictureLayout->addWidget(HTMLViewer1);
    panelLayout->addWidget(Panel1, 0, Qt::AlignHCenter);

    Label1 = new QLabel(QStringLiteral("Рекламная информация. Справочник SELBRAN."), Panel2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    panelLayout->addWidget(Label1);
    Button1 = new QPushButton(Panel2);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    panelLayout->addWidget(Button1, 0, Qt::AlignHCenter);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    HTMLViewer1->OnImageRequest = [this](const QUrl &name) { return HTMLViewer1ImageRequest(name); };
    connect(HTMLViewer1, &TBannerViewer::entered, this, &TfrmReclama::HTMLViewer1Enter);
    connect(Timer1, &QTimer::timeout, this, &TfrmReclama::Timer1Timer);
    connect(Button1, &QPushButton::clicked, this, &QDialog::close);
    SetFormCharsetRussian(this);
}

QVariant TfrmReclama::HTMLViewer1ImageRequest(const QUrl &)
{
    // One picture per window: a second request gets nothing.
    const QByteArray bytes = HexDecode(HexImage);
    HexImage.clear();
    if (bytes.isEmpty())
        return {};
    // The view tells the format from the bytes, whatever the name says.
    return bytes;
}

void TfrmReclama::Timer1Timer()
{
    Timer1->stop();
    close();
}

void TfrmReclama::HTMLViewer1Enter()
{
    close();
}

void TfrmReclama::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (g_shownHook) {
        QPointer<TfrmReclama> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self && g_shownHook)
                g_shownHook(*self);
        });
    }
}

void TfrmReclama::keyPressEvent(QKeyEvent *event)
{
    // Esc presses the button; without the button it does nothing.
    if (event->key() == Qt::Key_Escape) {
        if (Button1->isVisible())
            Button1->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ReadBannerFile(const QString &path, QByteArray *bytes)
{
    return ReadRegularFile(path, bytes, MaxBannerFileSize);
}

void ShowBanner(const QString &hexImage, bool isLast, bool withButton)
{
    auto *form = new TfrmReclama();
    form->WithButton = withButton;
    form->HexImage = hexImage;
    form->HTMLViewer1->setHtml(QStringLiteral("<img src=img.gif>"));
    form->Timer1->setInterval(g_interval > 0 ? g_interval : kBannerInterval);
    if (withButton) {
        form->Button1->setText(isLast ? QStringLiteral("Выход") : QStringLiteral("Далее>"));
        form->Panel2->layout()->setContentsMargins(0, 0, 0, 6);
    } else {
        form->Label1->hide();
        form->Button1->hide();
        form->Timer1->start();
    }
    form->layout()->setSizeConstraint(QLayout::SetFixedSize);
    form->exec(); // frees itself when closed
}
