#include "components/PreviewForm.h"

#include "components/Progress.h"
#include "components/replfont.h"
#include "components/viewicon.h"
#include "platform/application.h"
#include "platform/htmlview.h"
#include "platform/metafileprinter.h"
#include "platform/screen.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>

namespace {

const char16_t *const ZoomEntries[] = {u"Вся страница", u"По ширине", u"Прочее", u"25%",  u"50%",  u"75%",
                                       u"100%",         u"125%",      u"150%",   u"200%", u"300%", u"400%"};
const double ZoomScales[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0}; // entries 3 to 11

QToolButton *AddButton(QToolBar *bar, const char *name, const char16_t *hint, const QIcon &icon)
{
    auto *button = new QToolButton(bar);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(QString::fromUtf16(hint));
    button->setIcon(icon);
    button->setAutoRaise(true);
    bar->addWidget(button);
    return button;
}

// One or two small sheets side by side.
QIcon SheetsIcon(int sheets)
{
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    const int w = sheets == 1 ? 11 : 8;
    for (int i = 0; i < sheets; ++i)
        p.drawRect(sheets == 1 ? 4 : 1 + i * 10, 3, w, 14);
    p.setPen(Qt::gray);
    for (int i = 0; i < sheets; ++i)
        for (int y = 6; y < 16; y += 3)
            p.drawLine(sheets == 1 ? 6 : 3 + i * 10, y, (sheets == 1 ? 4 : 1 + i * 10) + w - 2, y);
    return QIcon(pixmap);
}

QIcon CursorIcon(const QString &name)
{
    return QIcon(
        Screen::LoadProgramCursor(name).pixmap().scaled(20, 20, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

// A scroll box that reports its own resizing once its client area is laid
// out again.
class TScrollBox : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;
    std::function<void()> OnResize;

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QScrollArea::resizeEvent(event);
        if (OnResize)
            OnResize();
    }
};

} // namespace

TPreviewForm::TPreviewForm(QWidget *owner, THTMLViewer *view, bool &aborted)
    : QDialog(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                         Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("PreviewForm"));
    setWindowTitle(QStringLiteral("Просмотр печати"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(640, 480);
    resize(800, 600);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    BuildControls();
    SetFormCharsetRussian(this);

    ZoomBox->setCurrentIndex(6);
    Screen::SetCursor(crZoomCursor, Screen::LoadProgramCursor(QStringLiteral("ZOOM_CURSOR")));
    Screen::SetCursor(crHandCursor, Screen::LoadProgramCursor(QStringLiteral("HAND_CURSOR")));
    ZoomCursorButClick();

    Viewer = view;
    PageRecorder = std::make_unique<TMetaFilePrinter>();
    RunWithProgress(0, QStringLiteral("Подготовка данных..."), [this](QObject *sender) { BuildPages(sender); });
    aborted = Aborted;
}

TPreviewForm::~TPreviewForm() = default;

void TPreviewForm::BuildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(20, 20));
    QStyle *st = style();
    FirstPageSpeed =
        AddButton(ToolBar1, "FirstPageSpeed", u"На первую страницу", st->standardIcon(QStyle::SP_MediaSkipBackward));
    PrevPageSpeed =
        AddButton(ToolBar1, "PrevPageSpeed", u"Предыдущая страница", st->standardIcon(QStyle::SP_MediaSeekBackward));
    NextPageSpeed =
        AddButton(ToolBar1, "NextPageSpeed", u"Следующая страница", st->standardIcon(QStyle::SP_MediaSeekForward));
    LastPageSpeed =
        AddButton(ToolBar1, "LastPageSpeed", u"На последнюю страницу", st->standardIcon(QStyle::SP_MediaSkipForward));
    ToolBar1->addSeparator();
    ZoomBox = new QComboBox(ToolBar1);
    ZoomBox->setObjectName(QStringLiteral("ZoomBox"));
    for (const char16_t *entry : ZoomEntries)
        ZoomBox->addItem(QString::fromUtf16(entry));
    ToolBar1->addWidget(ZoomBox);
    ToolBar1->addSeparator();
    ZoomCursorBut =
        AddButton(ToolBar1, "ZoomCursorBut", u"Режим масштабирования", CursorIcon(QStringLiteral("ZOOM_CURSOR")));
    HandCursorBut =
        AddButton(ToolBar1, "HandCursorBut", u"Режим перемещения", CursorIcon(QStringLiteral("HAND_CURSOR")));
    ToolBar1->addSeparator();
    OnePageBut = AddButton(ToolBar1, "OnePageBut", u"Одна страница", SheetsIcon(1));
    TwoPageBut = AddButton(ToolBar1, "TwoPageBut", u"Две страницы", SheetsIcon(2));
    ToolBar1->addSeparator();
    ToolButton4 = AddButton(ToolBar1, "ToolButton4", u"Печать", ViewIcon(TViewIcon::Print));
    for (auto [first, second] : {std::pair{ZoomCursorBut, HandCursorBut}, std::pair{OnePageBut, TwoPageBut}}) {
        auto *group = new QButtonGroup(this);
        first->setCheckable(true);
        second->setCheckable(true);
        group->addButton(first);
        group->addButton(second);
        first->setChecked(true);
    }
    layout->addWidget(ToolBar1);

    auto *scrollBox = new TScrollBox(this);
    scrollBox->OnResize = [this] { ScrollBox1Resize(); };
    ScrollBox1 = scrollBox;
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setBackgroundRole(QPalette::Dark);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ContainPanel = new QWidget;
    ContainPanel->setObjectName(QStringLiteral("ContainPanel"));
    ContainPanel->setBackgroundRole(QPalette::Dark);
    ContainPanel->setAutoFillBackground(true);
    QWidget **panels[2][2] = {{&PagePanel, &PB1}, {&PagePanel2, &PB2}};
    const char *names[2][2] = {{"PagePanel", "PB1"}, {"PagePanel2", "PB2"}};
    for (int i = 0; i < 2; ++i) {
        QWidget *panel = new QWidget(ContainPanel);
        panel->setObjectName(QLatin1String(names[i][0]));
        QPalette p = panel->palette();
        p.setColor(QPalette::Window, Qt::white);
        panel->setPalette(p);
        panel->setAutoFillBackground(true);
        auto *fill = new QVBoxLayout(panel);
        fill->setContentsMargins(0, 0, 0, 0);
        QWidget *box = new QWidget(panel);
        box->setObjectName(QLatin1String(names[i][1]));
        box->installEventFilter(this);
        fill->addWidget(box);
        *panels[i][0] = panel;
        *panels[i][1] = box;
    }
    PagePanel2->hide();
    ScrollBox1->setWidget(ContainPanel);
    layout->addWidget(ScrollBox1, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(100);
    StatusBar1->addWidget(StatusPanel0);
    layout->addWidget(StatusBar1);

    PrintDialog1.FromPage = 1;
    PrintDialog1.MinPage = 1;

    connect(FirstPageSpeed, &QToolButton::clicked, this, &TPreviewForm::FirstPageSpeedClick);
    connect(PrevPageSpeed, &QToolButton::clicked, this, &TPreviewForm::PrevPageSpeedClick);
    connect(NextPageSpeed, &QToolButton::clicked, this, &TPreviewForm::NextPageSpeedClick);
    connect(LastPageSpeed, &QToolButton::clicked, this, &TPreviewForm::LastPageSpeedClick);
    // A choice of the user only; the program's own selections do not lay out.
    connect(ZoomBox, &QComboBox::activated, this, &TPreviewForm::ZoomBoxChange);
    connect(ZoomCursorBut, &QToolButton::clicked, this, &TPreviewForm::ZoomCursorButClick);
    connect(HandCursorBut, &QToolButton::clicked, this, &TPreviewForm::HandCursorButClick);
    connect(OnePageBut, &QToolButton::released, this, &TPreviewForm::OnePageButMouseUp);
    connect(OnePageBut, &QToolButton::clicked, this, &TPreviewForm::ScrollBox1Resize);
    connect(TwoPageBut, &QToolButton::clicked, this, &TPreviewForm::TwoPageButClick);
    // A print that fails says so here, not inside the button's signal.
    connect(ToolButton4, &QToolButton::clicked, this, GuardedSlot(this, &TPreviewForm::ToolButton4Click));
}

void TPreviewForm::BuildPages(QObject *)
{
    Viewer->OnPageEvent = [this](QObject *sender, int page, bool &stop) { ShowPageProgress(sender, page, stop); };
    Viewer->PrintPreview(*PageRecorder);
    Viewer->OnPageEvent = nullptr;
    Aborted = ProgressStopFlag;
    StopProgress();
}

void TPreviewForm::PrintPages(QObject *)
{
    Viewer->OnPageEvent = [this](QObject *sender, int page, bool &stop) { ShowPageProgress(sender, page, stop); };
    Viewer->Print(FromPage, ToPage, PageRecorder.get());
    Viewer->OnPageEvent = nullptr;
    Aborted = ProgressStopFlag;
    StopProgress();
}

void TPreviewForm::ShowPageProgress(QObject *, int page, bool &stop)
{
    if (ProgressStopFlag)
        stop = true;
    else if (page == 0)
        SetProgressText(QStringLiteral("Разбивка на листы..."));
    else
        SetProgressText(QStringLiteral("Лист ") + QString::number(page));
    // The cancel button of the progress window is seen here.
    QCoreApplication::processEvents();
}

void TPreviewForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TPreviewForm::FormShow()
{
    SetCurPage(0);
    CheckEnable();
}

void TPreviewForm::SetCurPage(int n)
{
    CurPage = n;
    StatusPanel0->setText(QStringLiteral("Лист %1 из %2").arg(n + 1).arg(PageRecorder->PageCount()));
    PB1->update();
    PB2->update();
}

void TPreviewForm::CheckEnable()
{
    const int count = PageRecorder->PageCount();
    NextPageSpeed->setEnabled(CurPage + 1 < count);
    LastPageSpeed->setEnabled(CurPage + 1 < count);
    PrevPageSpeed->setEnabled(CurPage > 0);
    FirstPageSpeed->setEnabled(CurPage > 0);
}

void TPreviewForm::FirstPageSpeedClick()
{
    SetCurPage(0);
    CheckEnable();
}

void TPreviewForm::PrevPageSpeedClick()
{
    SetCurPage(CurPage - 1);
    CheckEnable();
}

void TPreviewForm::NextPageSpeedClick()
{
    SetCurPage(CurPage + 1);
    CheckEnable();
}

void TPreviewForm::LastPageSpeedClick()
{
    SetCurPage(PageRecorder->PageCount() - 1);
    CheckEnable();
}

void TPreviewForm::ScrollBox1Resize()
{
    // Showing or hiding the scroll bars resizes the box again from inside
    // the layout; that resize only asks for one more pass. The bars are
    // decided from the box's own size, never from what the bars left of it:
    // a fitted page that needs them would stop needing them once they
    // shrink it, and so on without end.
    if (InLayout) {
        LayoutAgain = true;
        return;
    }
    InLayout = true;
    for (int pass = 0; pass < 2; ++pass) {
        LayoutAgain = false;
        // Without bars first; a page that then needs them is laid out in
        // the room they leave, and they stay.
        const bool bars = LayoutPages(false);
        if (bars)
            LayoutPages(true);
        const Qt::ScrollBarPolicy policy = bars ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
        ScrollBox1->setHorizontalScrollBarPolicy(policy);
        ScrollBox1->setVerticalScrollBarPolicy(policy);
        if (!LayoutAgain)
            break;
    }
    InLayout = false;
}

bool TPreviewForm::LayoutPages(bool bars)
{
    if (ZoomBox->currentIndex() < 0)
        ZoomBox->setCurrentIndex(0);
    const TMetaFilePrinter &pages = *PageRecorder;
    if (pages.PaperWidth <= 0 || pages.PaperHeight <= 0)
        return false; // nothing laid out
    const int extent = bars ? ScrollBox1->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ScrollBox1) : 0;
    const QSize client = ScrollBox1->size() - QSize(extent, extent);
    const double ppi = logicalDpiY();
    const int entry = ZoomBox->currentIndex();
    double scale;
    if (entry == 0)
        scale = (client.height() - 20) / ppi / (double(pages.PaperHeight) / pages.PixelsPerInchY);
    else if (entry == 1)
        scale = (client.width() - 20) / ppi / (double(pages.PaperWidth) / pages.PixelsPerInchX);
    else if (entry == 2)
        scale = Zoom;
    else
        scale = ZoomScales[entry - 3];
    // Two pages only at the whole-page zoom.
    if (entry != 0)
        OnePageBut->setChecked(true);

    const int pageHeight = int(ppi * scale * pages.PaperHeight / pages.PixelsPerInchY);
    const int pageWidth = int(scale * ppi * pages.PaperWidth / pages.PixelsPerInchX);
    PagePanel->resize(pageWidth, pageHeight);
    const bool two = TwoPageBut->isChecked();
    PagePanel2->setVisible(two);
    PagePanel2->resize(PagePanel->size());

    const int w = pageWidth + 20 + (two ? PagePanel2->width() + 20 : 0);
    const int h = pageHeight + 20;
    ContainPanel->resize(w < client.width() ? client.width() - 1 : w, h < client.height() ? client.height() - 1 : h);

    const int top = pageHeight + 20 < ContainPanel->height() ? ContainPanel->height() / 2 - pageHeight / 2 : 10;
    const int left = w < ContainPanel->width() ? ContainPanel->width() / 2 - (w - 20) / 2 : 10;
    PagePanel->move(left, top);
    PagePanel2->move(left + pageWidth + 20, top);

    Zoom = scale;
    // Tested against the whole width needed, so the second page of two can
    // be scrolled to as well.
    return ScrollBox1->width() < w || ScrollBox1->height() < h;
}

void TPreviewForm::ZoomBoxChange()
{
    // The second pass sees the scroll bars the first one set.
    ScrollBox1Resize();
    ScrollBox1Resize();
}

void TPreviewForm::FitPageButClick()
{
    ZoomBox->setCurrentIndex(0);
    ZoomBoxChange();
}

void TPreviewForm::FitWidthButClick()
{
    ZoomBox->setCurrentIndex(1);
    ZoomBoxChange();
}

void TPreviewForm::ZoomCursorButClick()
{
    PB1->setCursor(Screen::Cursor(crZoomCursor));
    PB2->setCursor(Screen::Cursor(crZoomCursor));
}

void TPreviewForm::HandCursorButClick()
{
    PB1->setCursor(Screen::Cursor(crHandCursor));
    PB2->setCursor(Screen::Cursor(crHandCursor));
}

void TPreviewForm::OnePageButMouseUp()
{
    ZoomBox->setCurrentIndex(0);
    ScrollBox1Resize();
}

void TPreviewForm::TwoPageButClick()
{
    ZoomBox->setCurrentIndex(0);
    ScrollBox1Resize();
}

void TPreviewForm::ToolButton4Click()
{
    PrintWithDialog();
}

void TPreviewForm::PrintWithDialog()
{
    const int count = PageRecorder->PageCount();
    PrintDialog1.MaxPage = count;
    PrintDialog1.ToPage = count;
    PrintDialog1.AllowPageNums = true;
    if (!PrintDialog1.Execute(this))
        return;
    if (PrintDialog1.PrintRange == prPageNums) {
        FromPage = PrintDialog1.FromPage;
        ToPage = PrintDialog1.ToPage;
    } else {
        // All pages are all pages, whatever range was typed in an earlier run.
        FromPage = 1;
        ToPage = count;
    }
    RunWithProgress(0, QStringLiteral("Подготовка данных..."), [this](QObject *sender) { PrintPages(sender); });
}

void TPreviewForm::DrawPage(QPainter &painter, int page)
{
    // A page states no colour where the text is black; the grey box around
    // must not lend it its light pen.
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    PageRecorder->MetaFile(page).play(&painter);
}

void TPreviewForm::PBPaint(QWidget *box)
{
    QPainter painter(box);
    painter.fillRect(box->rect(), Qt::white); // the sheet, with or without a page on it
    const int page = box == PB1 ? CurPage : CurPage + 1;
    if (box == PB2 && !TwoPageBut->isChecked())
        return;
    if (page < 0 || page >= PageRecorder->PageCount())
        return;
    const TMetaFilePrinter &pages = *PageRecorder;
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    painter.setViewport(box->rect());
    painter.setWindow(-pages.OffsetX, -pages.OffsetY, pages.PaperWidth, pages.PaperHeight);
    DrawPage(painter, page);
}

void TPreviewForm::PB1MouseDown(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (ZoomCursorBut->isChecked()) {
        const float fx = float(pos.x()) / float(PagePanel->width());
        const float fy = float(pos.y()) / float(PagePanel->height());
        if (event->buttons() & Qt::LeftButton) {
            if (Zoom < 20)
                Zoom *= 1.5;
        } else if (event->buttons() & Qt::RightButton) {
            if (Zoom > 0.1)
                Zoom /= 1.5;
        }
        ZoomBox->setCurrentIndex(2);
        ScrollBox1Resize();
        // The clicked point comes to the middle.
        ScrollBox1->horizontalScrollBar()->setValue(int(PagePanel->width() * fx) - ScrollBox1->width() / 2);
        ScrollBox1->verticalScrollBar()->setValue(int(PagePanel->height() * fy) - ScrollBox1->height() / 2);
    } else if (HandCursorBut->isChecked()) {
        HandDragging = true;
        DragX = pos.x();
        DragY = pos.y();
    }
}

void TPreviewForm::PB1MouseMove(QMouseEvent *event)
{
    if (!HandDragging)
        return;
    const QPoint pos = event->position().toPoint();
    QScrollBar *hb = ScrollBox1->horizontalScrollBar();
    QScrollBar *vb = ScrollBox1->verticalScrollBar();
    hb->setValue(hb->value() + (DragX - pos.x()));
    vb->setValue(vb->value() + (DragY - pos.y()));
}

void TPreviewForm::PB1MouseUp()
{
    HandDragging = false;
}

bool TPreviewForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == PB1 || watched == PB2) {
        auto *box = static_cast<QWidget *>(watched);
        switch (event->type()) {
        case QEvent::Paint: PBPaint(box); return true;
        case QEvent::MouseButtonPress:
            if (box == PB1)
                PB1MouseDown(static_cast<QMouseEvent *>(event));
            return true;
        case QEvent::MouseMove:
            if (box == PB1)
                PB1MouseMove(static_cast<QMouseEvent *>(event));
            return true;
        case QEvent::MouseButtonRelease:
            if (box == PB1)
                PB1MouseUp();
            return true;
        default: break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
