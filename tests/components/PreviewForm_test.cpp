#include "components/PreviewForm.h"

#include "components/Progress.h"
#include "components/givLabel.h"
#include "components/viewicon.h"
#include "platform/application.h"
#include "platform/dialogs.h"
#include "platform/htmlview.h"
#include "platform/metafileprinter.h"
#include "platform/printers.h"
#include "platform/screen.h"
#include "fifo.h"
#include "pdfpages.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPointer>
#include <QPrintEngine>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QElapsedTimer>

#include <cmath>
#include <memory>
#include <optional>

namespace {

QString S(const char16_t *text)
{
    return QString::fromUtf16(text);
}

QString LabelText(const TgivHTMLabel *label)
{
    QString text;
    for (int i = 0; i < label->Elements().Count(); ++i)
        text += label->Elements()[i].Text;
    return text;
}

// A page of n lines in the print preview's font.
struct TView {
    THTMLViewer view;
    explicit TView(int lines)
    {
        view.SetDefFontName(QStringLiteral("Verdana"));
        view.SetDefFontSize(6);
        QString html;
        for (int i = 1; i <= lines; ++i)
            html += QStringLiteral("<p>Строка %1</p>").arg(i);
        view.LoadFromString(html);
    }
};

// The window laid out and shown as the preview shows it.
struct TShownPreview {
    TView page;
    QPointer<TPreviewForm> form;
    explicit TShownPreview(int lines, QSize size = QSize(800, 600)) : page(lines)
    {
        bool aborted = true;
        form = new TPreviewForm(nullptr, &page.view, aborted);
        EXPECT_FALSE(aborted);
        form->resize(size);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form));
    }
    ~TShownPreview()
    {
        if (form)
            form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QString Status() const { return form->findChild<QLabel *>(QStringLiteral("StatusPanel0"))->text(); }
    QToolButton *Button(const char *name) const { return form->findChild<QToolButton *>(QLatin1String(name)); }
    QComboBox *ZoomBox() const { return form->findChild<QComboBox *>(QStringLiteral("ZoomBox")); }
    QWidget *Widget(const char *name) const { return form->findChild<QWidget *>(QLatin1String(name)); }
    // Picks a zoom entry the way a user does: open the list, walk to it, Enter.
    void ChooseZoom(const QString &entry) const
    {
        QComboBox *box = ZoomBox();
        box->setFocus();
        const int target = box->findText(entry);
        const int steps = target - box->currentIndex();
        for (int i = 0; i < std::abs(steps); ++i)
            QTest::keyClick(box, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
    }
};

// Where a printer's job fails: it does not start, a page after the first is
// refused, or the job cannot be finished.
enum class TFailAt { Begin, NewPage, End };

// The engine of such a printer: the paper and resolution of the PDF file
// printer, nothing drawn anywhere.
class TFailingEngine : public QPaintEngine, public QPrintEngine
{
public:
    explicit TFailingEngine(TFailAt at) : QPaintEngine(QPaintEngine::AllFeatures), m_at(at)
    {
        m_model.setOutputFormat(QPrinter::PdfFormat);
    }

    bool begin(QPaintDevice *) override
    {
        m_state = m_at == TFailAt::Begin ? QPrinter::Error : QPrinter::Active;
        return m_at != TFailAt::Begin;
    }
    bool end() override
    {
        m_state = QPrinter::Idle;
        return m_at != TFailAt::End;
    }
    void updateState(const QPaintEngineState &) override {}
    using QPaintEngine::drawLines;
    using QPaintEngine::drawPolygon;
    using QPaintEngine::drawRects;
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    void drawImage(const QRectF &, const QImage &, const QRectF &, Qt::ImageConversionFlags) override {}
    void drawTextItem(const QPointF &, const QTextItem &) override {}
    void drawPath(const QPainterPath &) override {}
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
    void drawRects(const QRectF *, int) override {}
    void drawLines(const QLineF *, int) override {}
    Type type() const override { return QPaintEngine::User; }

    void setProperty(PrintEnginePropertyKey key, const QVariant &value) override { m_properties[key] = value; }
    QVariant property(PrintEnginePropertyKey key) const override
    {
        if (key == PPK_QPageLayout)
            return QVariant::fromValue(m_model.pageLayout());
        if (key == PPK_Resolution)
            return m_model.resolution();
        return m_properties.value(key);
    }
    bool newPage() override { return m_at != TFailAt::NewPage; }
    bool abort() override
    {
        m_state = QPrinter::Aborted;
        return true;
    }
    int metric(QPaintDevice::PaintDeviceMetric m) const override
    {
        switch (m) {
        case QPaintDevice::PdmWidth: return m_model.width();
        case QPaintDevice::PdmHeight: return m_model.height();
        case QPaintDevice::PdmWidthMM: return m_model.widthMM();
        case QPaintDevice::PdmHeightMM: return m_model.heightMM();
        case QPaintDevice::PdmNumColors: return m_model.colorCount();
        case QPaintDevice::PdmDepth: return m_model.depth();
        case QPaintDevice::PdmDpiX: return m_model.logicalDpiX();
        case QPaintDevice::PdmDpiY: return m_model.logicalDpiY();
        case QPaintDevice::PdmPhysicalDpiX: return m_model.physicalDpiX();
        case QPaintDevice::PdmPhysicalDpiY: return m_model.physicalDpiY();
        case QPaintDevice::PdmDevicePixelRatio: return 1;
        case QPaintDevice::PdmDevicePixelRatioScaled: return int(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }
    QPrinter::PrinterState printerState() const override { return m_state; }

private:
    TFailAt m_at;
    QPrinter m_model{QPrinter::HighResolution};
    QPrinter::PrinterState m_state = QPrinter::Idle;
    QHash<int, QVariant> m_properties;
};

// Holds the engine so that it outlives the printer that uses it.
struct TFailingEngineHolder {
    explicit TFailingEngineHolder(TFailAt at) : engine(at) {}
    TFailingEngine engine;
};

class TFailingPrinter : private TFailingEngineHolder, public QPrinter
{
public:
    explicit TFailingPrinter(TFailAt at) : TFailingEngineHolder(at), QPrinter(QPrinter::HighResolution)
    {
        setEngines(&engine, &engine);
    }
};

void Later(std::function<void()> action)
{
    QMetaObject::invokeMethod(qApp, std::move(action), Qt::QueuedConnection);
}

// Runs action inside the next job's first page event: the job starts from
// the first pass of the progress window's loop, the action one pass later.
void InFirstPageEvent(std::function<void()> action)
{
    Later([action = std::move(action)] { Later(action); });
}

} // namespace

TEST(PreviewForm, NavigationStatesAndStatusFollowThePage)
{
    // A one-page page disables all four; a longer one walks from first to last.
    {
        TShownPreview one(5);
        EXPECT_EQ(one.form->windowTitle(), S(u"Просмотр печати"));
        EXPECT_EQ(one.form->Pages().PageCount(), 1);
        EXPECT_EQ(one.Status(), S(u"Лист 1 из 1"));
        for (const char *name : {"FirstPageSpeed", "PrevPageSpeed", "NextPageSpeed", "LastPageSpeed"})
            EXPECT_FALSE(one.Button(name)->isEnabled()) << name;
    }
    TShownPreview many(400);
    // The page's black text shows on the white sheet.
    const QImage sheet = many.Widget("PB1")->grab().toImage();
    int ink = 0;
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x)
            ink += qGray(sheet.pixel(x, y)) < 100;
    EXPECT_GT(ink, 200);
    EXPECT_EQ(sheet.pixel(1, 1), qRgb(255, 255, 255));
    const int n = many.form->Pages().PageCount();
    ASSERT_GE(n, 3);
    struct Step {
        const char *click;
        int page; // 1-based, as shown
    };
    const Step steps[] = {
        {nullptr, 1}, {"NextPageSpeed", 2}, {"LastPageSpeed", n}, {"PrevPageSpeed", n - 1}, {"FirstPageSpeed", 1}};
    for (const Step &s : steps) {
        if (s.click)
            QTest::mouseClick(many.Button(s.click), Qt::LeftButton);
        EXPECT_EQ(many.Status(), S(u"Лист %1 из %2").arg(s.page).arg(n)) << s.click;
        EXPECT_EQ(many.Button("FirstPageSpeed")->isEnabled(), s.page > 1);
        EXPECT_EQ(many.Button("PrevPageSpeed")->isEnabled(), s.page > 1);
        EXPECT_EQ(many.Button("NextPageSpeed")->isEnabled(), s.page < n);
        EXPECT_EQ(many.Button("LastPageSpeed")->isEnabled(), s.page < n);
    }
}

TEST(PreviewForm, ToolBarHintsZoomEntriesAndCursors)
{
    TShownPreview p(5);
    const std::pair<const char *, const char16_t *> hints[] = {{"FirstPageSpeed", u"На первую страницу"},
                                                               {"PrevPageSpeed", u"Предыдущая страница"},
                                                               {"NextPageSpeed", u"Следующая страница"},
                                                               {"LastPageSpeed", u"На последнюю страницу"},
                                                               {"ZoomCursorBut", u"Режим масштабирования"},
                                                               {"HandCursorBut", u"Режим перемещения"},
                                                               {"OnePageBut", u"Одна страница"},
                                                               {"TwoPageBut", u"Две страницы"},
                                                               {"ToolButton4", u"Печать"}};
    for (const auto &[name, hint] : hints)
        EXPECT_EQ(p.Button(name)->toolTip(), S(hint)) << name;
    QStringList entries;
    for (int i = 0; i < p.ZoomBox()->count(); ++i)
        entries << p.ZoomBox()->itemText(i);
    EXPECT_EQ(entries.join(u'|'), S(u"Вся страница|По ширине|Прочее|25%|50%|75%|100%|125%|150%|200%|300%|400%"));
    EXPECT_EQ(p.ZoomBox()->currentText(), S(u"100%"));
    EXPECT_DOUBLE_EQ(p.form->CurrentZoom(), 1.0);
    EXPECT_TRUE(p.Button("ZoomCursorBut")->isChecked());
    EXPECT_TRUE(p.Button("OnePageBut")->isChecked());
    // Printing has the printer picture of the other tool bars.
    EXPECT_EQ(p.Button("ToolButton4")->icon().pixmap(16).toImage(), ViewIcon(TViewIcon::Print).pixmap(16).toImage());

    // The tools' cursors are the screen's 40 and 41, and they differ.
    const QImage zoom = Screen::Cursor(crZoomCursor).pixmap().toImage();
    const QImage hand = Screen::Cursor(crHandCursor).pixmap().toImage();
    ASSERT_FALSE(zoom.isNull());
    ASSERT_FALSE(hand.isNull());
    EXPECT_NE(zoom, hand);
    EXPECT_EQ(p.Widget("PB1")->cursor().pixmap().toImage(), zoom);
    QTest::mouseClick(p.Button("HandCursorBut"), Qt::LeftButton);
    EXPECT_EQ(p.Widget("PB1")->cursor().pixmap().toImage(), hand);
    EXPECT_EQ(p.Widget("PB2")->cursor().pixmap().toImage(), hand);
    EXPECT_FALSE(p.Button("ZoomCursorBut")->isChecked());
}

TEST(PreviewForm, ZoomToolClicksStopAtTheLimits)
{
    TShownPreview p(5);
    QWidget *pb1 = p.Widget("PB1");
    // Left clicks multiply by 1.5 until the scale reaches 20, then hold.
    double expected = 1.0;
    for (int i = 0; i < 12; ++i) {
        if (expected < 20)
            expected *= 1.5;
        QTest::mouseClick(pb1, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_DOUBLE_EQ(p.form->CurrentZoom(), expected) << i;
        EXPECT_EQ(p.ZoomBox()->currentText(), S(u"Прочее"));
    }
    EXPECT_GE(expected, 20);
    EXPECT_LT(expected, 30);
    // Right clicks divide until 0.1 or less, then hold.
    for (int i = 0; i < 25; ++i) {
        if (expected > 0.1)
            expected /= 1.5;
        QTest::mouseClick(pb1, Qt::RightButton, {}, QPoint(2, 2));
        EXPECT_DOUBLE_EQ(p.form->CurrentZoom(), expected) << i;
    }
    EXPECT_LE(expected, 0.1);
    EXPECT_GT(expected, 0.1 / 1.5);
}

TEST(PreviewForm, ZoomToolBringsTheClickedPointToTheMiddle)
{
    TShownPreview p(5);
    QWidget *pb1 = p.Widget("PB1");
    QWidget *panel = p.Widget("PagePanel");
    const QSize before = panel->size();
    const QPoint click(before.width() * 3 / 5, before.height() / 3);
    QTest::mouseClick(pb1, Qt::LeftButton, {}, click);
    auto *box = p.form->findChild<QScrollArea *>(QStringLiteral("ScrollBox1"));
    EXPECT_GT(panel->width(), before.width());
    // The point three fifths across and a third down, now mid-window.
    EXPECT_NEAR(box->horizontalScrollBar()->value(), panel->width() * 3 / 5 - box->width() / 2, 2);
    EXPECT_NEAR(box->verticalScrollBar()->value(), panel->height() / 3 - box->height() / 2, 2);
}

TEST(PreviewForm, TwoPagesOnlyAtWholePage)
{
    TShownPreview p(400);
    QWidget *second = p.Widget("PagePanel2");
    QWidget *first = p.Widget("PagePanel");
    EXPECT_FALSE(second->isVisible());
    QTest::mouseClick(p.Button("TwoPageBut"), Qt::LeftButton);
    EXPECT_EQ(p.ZoomBox()->currentText(), S(u"Вся страница"));
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(second->size(), first->size());
    EXPECT_EQ(second->x(), first->x() + first->width() + 20);
    EXPECT_EQ(second->y(), first->y());
    // Whole page: the page fits the height with 10 to spare above and below.
    auto *box = p.form->findChild<QScrollArea *>(QStringLiteral("ScrollBox1"));
    EXPECT_NEAR(first->height(), box->viewport()->height() - 20, 1);
    // Both pages sit centred in the container.
    QWidget *contain = p.Widget("ContainPanel");
    EXPECT_NEAR(first->x() + (second->x() + second->width()), contain->width(), 2);

    p.ChooseZoom(S(u"200%"));
    EXPECT_EQ(p.ZoomBox()->currentText(), S(u"200%"));
    EXPECT_DOUBLE_EQ(p.form->CurrentZoom(), 2.0);
    EXPECT_TRUE(p.Button("OnePageBut")->isChecked());
    EXPECT_FALSE(second->isVisible());

    QTest::mouseClick(p.Button("OnePageBut"), Qt::LeftButton);
    EXPECT_EQ(p.ZoomBox()->currentText(), S(u"Вся страница"));
}

TEST(PreviewForm, NarrowWindowScrollsWithThePageAtTenTen)
{
    TShownPreview p(5, QSize(640, 480));
    auto *box = p.form->findChild<QScrollArea *>(QStringLiteral("ScrollBox1"));
    QWidget *page = p.Widget("PagePanel");
    // 100%: an A4 sheet is wider and higher than this window.
    EXPECT_GT(page->width(), box->width());
    EXPECT_TRUE(box->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(box->verticalScrollBar()->isVisible());
    EXPECT_EQ(page->pos(), QPoint(10, 10));

    // The hand drags the sheet: the view moves by what the mouse moved.
    QTest::mouseClick(p.Button("HandCursorBut"), Qt::LeftButton);
    QWidget *pb1 = p.Widget("PB1");
    QTest::mousePress(pb1, Qt::LeftButton, {}, QPoint(200, 200));
    QMouseEvent move(QEvent::MouseMove, QPointF(160, 170), pb1->mapToGlobal(QPointF(160, 170)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pb1, &move);
    EXPECT_EQ(box->horizontalScrollBar()->value(), 40);
    EXPECT_EQ(box->verticalScrollBar()->value(), 30);
    QTest::mouseRelease(pb1, Qt::LeftButton, {}, QPoint(160, 170));
    QMouseEvent after(QEvent::MouseMove, QPointF(100, 100), pb1->mapToGlobal(QPointF(100, 100)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pb1, &after);
    EXPECT_EQ(box->horizontalScrollBar()->value(), 40);

    // The whole page fits: centred, no bars.
    p.ChooseZoom(S(u"Вся страница"));
    EXPECT_FALSE(box->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(box->verticalScrollBar()->isVisible());
    QWidget *contain = p.Widget("ContainPanel");
    EXPECT_NEAR(page->x() * 2 + page->width(), contain->width(), 2);
    EXPECT_NEAR(page->y() * 2 + page->height(), contain->height(), 2);
}

TEST(PreviewForm, LayoutSettlesAtEverySizeAndZoom)
{
    TShownPreview p(400);
    auto *box = p.form->findChild<QScrollArea *>(QStringLiteral("ScrollBox1"));
    QWidget *page = p.Widget("PagePanel");
    for (int width : {640, 800, 1024, 1110, 1280, 1400}) {
        for (int height : {480, 757, 840, 1013}) {
            p.form->resize(width, height);
            for (int entry = 0; entry < p.ZoomBox()->count(); ++entry) {
                for (const char *pages : {"OnePageBut", "TwoPageBut"}) {
                    QTest::mouseClick(p.Button(pages), Qt::LeftButton);
                    p.ZoomBox()->setCurrentIndex(entry);
                    p.form->ZoomBoxChange();
                    QCoreApplication::processEvents();
                    // Settled: one more pass changes nothing.
                    const QRect before = page->geometry();
                    const bool bars = box->verticalScrollBar()->isVisible();
                    p.form->ScrollBox1Resize();
                    QCoreApplication::processEvents();
                    EXPECT_EQ(page->geometry(), before) << width << "x" << height << " entry " << entry;
                    EXPECT_EQ(box->verticalScrollBar()->isVisible(), bars) << width << "x" << height;
                    EXPECT_GT(page->width(), 0);
                }
            }
        }
    }
}

TEST(PreviewForm, ALongLayoutAnswersThroughout)
{
    // One long table: its layout is one piece of work for the text engine.
    THTMLViewer view;
    view.SetDefFontName(QStringLiteral("Verdana"));
    view.SetDefFontSize(6);
    QString html = QStringLiteral("<table border=0 width=\"100%\" bgcolor=gray cellpadding=1 cellspacing=1>");
    for (int i = 0; i < 8000; ++i)
        html += QStringLiteral("<tr bgcolor=white><td>Машина стиральная %1</td><td align=right>&nbsp;%2,00</td>"
                               "<td>Организация %3</td><td>г. Город, ул. Длинная, д. %4</td></tr>")
                    .arg(i)
                    .arg(i * 7 % 10000)
                    .arg(i % 300)
                    .arg(i % 100);
    view.LoadFromString(html + QStringLiteral("</table>"));

    for (bool cancel : {false, true}) {
        QElapsedTimer clock;
        qint64 last = 0, longest = 0, cancelled = -1;
        QTimer tick;
        tick.setInterval(20);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last);
            last = now;
            // Cancelled while the table is being laid out.
            if (cancel && cancelled < 0 && now > 300 && frmProgress && frmProgress->isVisible() &&
                LabelText(frmProgress->givHTMLabel1) == S(u"Разбивка на листы...")) {
                cancelled = now;
                QTest::mouseClick(frmProgress->Button1, Qt::LeftButton);
            }
        });
        clock.start();
        tick.start();
        bool aborted = !cancel;
        QPointer<TPreviewForm> form = new TPreviewForm(nullptr, &view, aborted);
        const qint64 end = clock.elapsed();
        tick.stop();
        EXPECT_EQ(aborted, cancel);
        if (cancel) {
            ASSERT_GE(cancelled, 0) << "the layout ended before it could be cancelled";
            // A loaded machine's bound; an unanswered window waits the whole layout.
            EXPECT_LT(end - cancelled, 3000);
            EXPECT_EQ(form->Pages().PageCount(), 0);
        } else {
            EXPECT_GT(form->Pages().PageCount(), 60);
            // Measured against the layout's own length, however fast the
            // machine: a layout on this thread is one gap as long as itself.
            ASSERT_GT(end, 20 * tick.interval()) << "the layout is too short to tell";
            EXPECT_LT(longest, end / 4) << "the progress window went unanswered";
        }
        // Freeing the pages does not hold the window up either.
        QElapsedTimer closing;
        closing.start();
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!cancel) {
            EXPECT_LT(closing.elapsed(), std::max<qint64>(end / 4, 1));
        }
    }
}

TEST(PreviewForm, CancelDuringLayoutAborts)
{
    TView page(400);
    QString shown;
    InFirstPageEvent([&] {
        shown = LabelText(frmProgress->givHTMLabel1);
        QTest::mouseClick(frmProgress->Button1, Qt::LeftButton);
    });
    bool aborted = false;
    auto *form = new TPreviewForm(nullptr, &page.view, aborted);
    EXPECT_EQ(shown, S(u"Разбивка на листы..."));
    EXPECT_EQ(frmProgress->windowTitle(), S(u"Подготовка данных..."));
    EXPECT_TRUE(aborted);
    EXPECT_LT(form->Pages().PageCount(), 2);
    form->close();
}

TEST(PreviewForm, PrintsTheChosenRangeToAPdfFile)
{
    QTemporaryDir dir;
    TView page(400);
    bool aborted = true;
    QPointer<TPreviewForm> form = new TPreviewForm(nullptr, &page.view, aborted);
    ASSERT_FALSE(aborted);
    const int n = form->Pages().PageCount();
    ASSERT_GE(n, 4);

    struct Run {
        TPrintRange range;
        int from, to; // typed into the dialog
        int pages;    // in the file
        bool cancel;
    };
    // "All pages" after a typed range still prints from the first page.
    const Run runs[] = {{prPageNums, 2, 3, 2, false},
                        {prAllPages, 0, 0, n, false},
                        {prPageNums, n, n, 1, false},
                        {prAllPages, 0, 0, -1, true}};
    int i = 0;
    for (const Run &r : runs) {
        const QString path = dir.filePath(QStringLiteral("run%1.pdf").arg(i++));
        QStringList texts;
        SetPrintDialogHook([&](TPrintDialog &d) {
            EXPECT_EQ(d.MaxPage, n);
            EXPECT_EQ(d.ToPage, n);
            EXPECT_EQ(d.MinPage, 1);
            d.PrintRange = r.range;
            if (r.range == prPageNums) {
                d.FromPage = r.from;
                d.ToPage = r.to;
            }
            Printer()->setOutputFormat(QPrinter::PdfFormat);
            Printer()->setOutputFileName(path);
            return true;
        });
        // A cancel is seen at the first page event: the first printed page.
        if (r.cancel)
            InFirstPageEvent([] { QTest::mouseClick(frmProgress->Button1, Qt::LeftButton); });
        QTest::mouseClick(form->findChild<QToolButton *>(QStringLiteral("ToolButton4")), Qt::LeftButton);
        if (r.pages < 0)
            EXPECT_FALSE(QFile::exists(path)) << i;
        else if (r.range == prPageNums)
            ExpectPrintedPages(path, LaidOutPageTexts(form->Pages()), r.from, r.to);
        else
            ExpectPrintedPages(path, LaidOutPageTexts(form->Pages()), 1, n);
        EXPECT_EQ(form->WasAborted(), r.cancel) << i;
        EXPECT_EQ(frmProgress->windowTitle(), S(u"Подготовка данных..."));
        if (!r.cancel) { // the last page printed
            EXPECT_EQ(LabelText(frmProgress->givHTMLabel1), S(u"Лист %1").arg(r.range == prPageNums ? r.to : n));
        }
    }
    SetPrintDialogHook({});
    form->close();
}

TEST(PreviewForm, APrintThatFailsSaysSoAndLeavesNoFile)
{
    QTemporaryDir dir;
    TView page(400);
    bool aborted = true;
    QPointer<TPreviewForm> form = new TPreviewForm(nullptr, &page.view, aborted);
    ASSERT_FALSE(aborted);
    ASSERT_GE(form->Pages().PageCount(), 2);
    form->show();
    const QString missing = dir.filePath(QStringLiteral("missing/page.pdf"));
    const QString fifoPath = dir.filePath(QStringLiteral("page.pdf"));
    TFifo fifo(fifoPath);
    ASSERT_TRUE(fifo.Made());
    struct Case {
        std::optional<TFailAt> at; // none: the PDF file printer
        QString file;
        QString shown;
    };
    const Case cases[] = {
        // Qt's PDF printer fails at the start when its file cannot be made.
        {std::nullopt, missing, QStringLiteral("Printer selected is not valid")},
        {std::nullopt, fifoPath, S(u" Ошибка открытия файла ") + fifoPath},
        {TFailAt::Begin, QString(), QStringLiteral("Printer selected is not valid")},
        {TFailAt::NewPage, QString(), S(u"Не удалось начать лист 2 печати.")},
        {TFailAt::End, QString(), S(u"Не удалось завершить печать.")},
    };
    for (const Case &c : cases) {
        std::unique_ptr<TFailingPrinter> printer;
        if (c.at) {
            printer = std::make_unique<TFailingPrinter>(*c.at);
            SetPrinterHook([&] { return printer.get(); });
        }
        SetPrintDialogHook([&](TPrintDialog &d) {
            d.PrintRange = prAllPages;
            if (!c.at) {
                Printer()->setOutputFormat(QPrinter::PdfFormat);
                Printer()->setOutputFileName(c.file);
            }
            return true;
        });
        QStringList shown;
        TApplication::SetExceptionHandler([&](const QString &text) { shown << text; });
        QTest::mouseClick(form->findChild<QToolButton *>(QStringLiteral("ToolButton4")), Qt::LeftButton);
        TApplication::SetExceptionHandler(nullptr);
        SetPrintDialogHook({});
        SetPrinterHook({});
        EXPECT_EQ(shown, QStringList{c.shown});
        EXPECT_FALSE(frmProgress->isVisible());
        EXPECT_TRUE(form->isVisible());
    }
    EXPECT_FALSE(QFile::exists(missing));
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
