#include "data/dberror.h"
#include "platform/application.h"
#include "platform/dialogs.h"
#include "platform/htmlview.h"
#include "platform/metafileprinter.h"
#include "platform/printers.h"
#include "fifo.h"
#include "pdfpages.h"
#include "tmpfs.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <QThread>

#include <chrono>
#include <functional>
#include <memory>
#include <new>
#include <vector>

#include <sys/stat.h>

namespace {

QString Lines(int n)
{
    QString html;
    for (int i = 1; i <= n; ++i)
        html += QStringLiteral("<p>Строка %1 печатного листа</p>").arg(i);
    return html;
}

void PrintToPdf(const QString &path)
{
    Printer()->setOutputFormat(QPrinter::PdfFormat);
    Printer()->setOutputFileName(path);
}

// The pixels of a colour on a laid-out page, drawn at a tenth of its size.
int Pixels(const TMetaFilePrinter &pages, int index, QRgb colour)
{
    QImage image(pages.PageWidth / 10, pages.PageHeight / 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(0.1, 0.1);
    pages.MetaFile(index).play(&painter);
    painter.end();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            n += std::abs(qRed(p) - qRed(colour)) < 40 && std::abs(qGreen(p) - qGreen(colour)) < 40 &&
                 std::abs(qBlue(p) - qBlue(colour)) < 40;
        }
    return n;
}

bool SavePicture(const QString &path, QColor colour)
{
    QImage picture(40, 40, QImage::Format_RGB32);
    picture.fill(colour);
    return picture.save(path, "PNG");
}

} // namespace

TEST(Printers, ListEndsWithThePdfFilePrinterAndCanBeReplaced)
{
    const QStringList names = PrinterNames();
    ASSERT_FALSE(names.isEmpty());
    EXPECT_EQ(names.last(), PdfPrinterName());
    SetPrinterNamesHook([] { return QStringList(); });
    EXPECT_TRUE(PrinterNames().isEmpty());
    SetPrinterNamesHook({});
    EXPECT_EQ(PrinterNames(), names);
}

TEST(MetaFilePrinter, RecordsOnePicturePerPageInPrinterDots)
{
    THTMLViewer view;
    view.LoadFromString(Lines(300));
    std::vector<int> events;
    view.OnPageEvent = [&](QObject *sender, int page, bool &) {
        EXPECT_EQ(sender, &view);
        events.push_back(page);
    };
    TMetaFilePrinter pages;
    ASSERT_TRUE(view.PrintPreview(pages));

    ASSERT_GT(pages.PageCount(), 2);
    // The paper is the printer's, measured at its own resolution.
    const QPrinter &printer = *Printer();
    EXPECT_NEAR(pages.PaperWidth * 25.4 / pages.PixelsPerInchX,
                printer.pageLayout().fullRect(QPageLayout::Millimeter).width(), 1);
    EXPECT_NEAR(pages.PaperHeight * 25.4 / pages.PixelsPerInchY,
                printer.pageLayout().fullRect(QPageLayout::Millimeter).height(), 1);
    EXPECT_GE(pages.OffsetX, 0);
    EXPECT_LE(pages.OffsetX + pages.PageWidth, pages.PaperWidth);
    EXPECT_LE(pages.OffsetY + pages.PageHeight, pages.PaperHeight);
    // Page 0 announces the layout (and is repeated while it runs), then
    // each laid-out page in turn.
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), 0);
    std::erase(events, 0);
    std::vector<int> expected;
    for (int i = 1; i <= pages.PageCount(); ++i)
        expected.push_back(i);
    EXPECT_EQ(events, expected);
    // Every page carries ink.
    for (int i = 0; i < pages.PageCount(); ++i) {
        QImage image(pages.PageWidth / 10, pages.PageHeight / 10, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.scale(0.1, 0.1);
        pages.MetaFile(i).play(&painter);
        painter.end();
        int ink = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ink += qGray(image.pixel(x, y)) < 128;
        EXPECT_GT(ink, 100) << i;
    }
}

TEST(MetaFilePrinter, StopInThePageEventEndsTheLayoutThere)
{
    THTMLViewer view;
    view.LoadFromString(Lines(300));
    for (int stopAt : {0, 1, 2}) {
        view.OnPageEvent = [&](QObject *, int page, bool &stop) { stop = page == stopAt; };
        TMetaFilePrinter pages;
        EXPECT_FALSE(view.PrintPreview(pages)) << stopAt;
        EXPECT_EQ(pages.PageCount(), 0) << stopAt;
        EXPECT_EQ(pages.Document(), nullptr) << stopAt;
    }
}

TEST(HtmlViewPrint, PrintedPagesAreTheLaidOutPages)
{
    // A table of the reports' kind between paragraphs, in the print's font.
    QString html =
        Lines(40) + QStringLiteral("<table border=0 width=\"100%\" bgcolor=gray cellpadding=1 cellspacing=1>");
    for (int i = 1; i <= 300; ++i)
        html +=
            QStringLiteral("<tr bgcolor=white><td valign=top>Молоко 3,2% пакет %1</td><td align=right>&nbsp;%2,50</td>"
                           "<td valign=top>Организация номер %3</td></tr>")
                .arg(i)
                .arg(i * 7)
                .arg(i % 13);
    html += QStringLiteral("</table>") + Lines(40);
    QTemporaryDir dir;
    THTMLViewer view;
    view.SetDefFontName(QStringLiteral("Verdana"));
    view.SetDefFontSize(6);
    view.LoadFromString(html);
    PrintToPdf(dir.filePath(QStringLiteral("layout.pdf")));
    TMetaFilePrinter all;
    ASSERT_TRUE(view.PrintPreview(all));
    const int n = all.PageCount();
    ASSERT_GE(n, 4);
    const QStringList texts = LaidOutPageTexts(all);

    struct Case {
        int from, to, first, last;
    };
    for (const Case &c : {Case{1, n, 1, n}, Case{2, 3, 2, 3}, Case{n, n, n, n}, Case{0, n + 5, 1, n}}) {
        const QString path = dir.filePath(QStringLiteral("range_%1_%2.pdf").arg(c.from).arg(c.to));
        PrintToPdf(path);
        // The laid-out pages print as they are: the only page events are
        // the printed pages'.
        std::vector<int> events;
        view.OnPageEvent = [&](QObject *, int page, bool &) { events.push_back(page); };
        EXPECT_TRUE(view.Print(c.from, c.to, &all));
        std::vector<int> expected;
        for (int page = c.first; page <= c.last; ++page)
            expected.push_back(page);
        EXPECT_EQ(events, expected);
        ExpectPrintedPages(path, texts, c.first, c.last);
    }
}

TEST(HtmlViewPrint, StopWhilePrintingLeavesNoFile)
{
    QTemporaryDir dir;
    THTMLViewer view;
    view.LoadFromString(Lines(400));
    // Stopped during the layout, and after two pages went to the file.
    for (int stopAfter : {0, 2}) {
        const QString path = dir.filePath(QStringLiteral("stopped_%1.pdf").arg(stopAfter));
        PrintToPdf(path);
        int printEvents = -1;
        view.OnPageEvent = [&](QObject *, int page, bool &stop) {
            if (stopAfter == 0) {
                stop = true;
                return;
            }
            if (page == 1)
                ++printEvents; // second time round: printing starts
            if (printEvents == 1 && page == stopAfter + 1)
                stop = true;
        };
        EXPECT_FALSE(view.Print(1, 4));
        EXPECT_FALSE(QFile::exists(path)) << stopAfter;
    }
}

TEST(HtmlViewPrint, AFifoPutInTheFilesPlaceDuringTheLayoutIsRefusedAtOnce)
{
    // The old page is swapped for a FIFO no one reads while the print lays
    // its pages out. Waiting on it would last until the FIFO lets go.
    constexpr std::chrono::seconds bound(20);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.pdf"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old page") == 8);
    old.close();
    THTMLViewer view;
    view.LoadFromString(Lines(100));
    PrintToPdf(path);
    std::unique_ptr<TFifo> fifo;
    QElapsedTimer clock;
    view.OnPageEvent = [&](QObject *, int page, bool &) {
        if (page == 1 && !fifo) { // the first page is laid out
            clock.start();
            QFile::remove(path);
            fifo = std::make_unique<TFifo>(path, bound);
        }
    };
    QString shown;
    try {
        view.Print(1, 100);
    } catch (const Exception &e) {
        shown = e.Message();
    }
    const qint64 took = clock.elapsed();
    ASSERT_TRUE(fifo && fifo->Made());
    EXPECT_EQ(shown, QStringLiteral(" Ошибка открытия файла ") + path);
    EXPECT_LT(took, std::chrono::milliseconds(bound).count() / 2);
    struct stat st;
    EXPECT_TRUE(::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
}

// A print over an existing file that cannot end, on a full disk or stopped
// by the user, leaves that file as it was and nothing beside it.
TEST(HtmlViewPrint, APrintThatDoesNotEndLeavesTheOldFileAsItWas)
{
    TSmallTmpfs disk;
    REQUIRE_TMPFS(disk);
    const QString path = disk.Path(QStringLiteral("page.pdf"));
    const QByteArray before("%PDF-1.4 the user's old page");
    for (bool full : {true, false}) {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate) && old.write(before) == before.size());
        old.close();
        if (full)
            disk.Fill();
        THTMLViewer view;
        view.LoadFromString(Lines(400));
        PrintToPdf(path);
        view.OnPageEvent = [full](QObject *, int page, bool &stop) { stop = !full && page == 2; };
        QString shown;
        bool printed = false;
        try {
            printed = view.Print(1, 100);
        } catch (const Exception &e) {
            shown = e.Message();
        }
        EXPECT_FALSE(printed) << "full " << full;
        EXPECT_EQ(shown, full ? QStringLiteral("Не удалось завершить печать.") : QString());
        QFile kept(path);
        EXPECT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), before) << "full " << full;
        disk.Free();
        EXPECT_EQ(disk.Entries(), QStringList{QStringLiteral("page.pdf")}) << "full " << full;
    }
}

TEST(HtmlView, AOnePercentColumnKeepsItsWordsWhole)
{
    THTMLViewer view;
    view.LoadFromString(QStringLiteral("<table width=\"100%\"><tr><td width=\"1%\"><b>Вид деятельности</b></td>"
                                       "<td>Продажа: Электротовары</td></tr></table>"));
    view.document()->setTextWidth(600);
    view.document()->documentLayout()->documentSize();
    QTextFrame *root = view.document()->rootFrame();
    ASSERT_FALSE(root->childFrames().isEmpty());
    auto *table = qobject_cast<QTextTable *>(root->childFrames().first());
    ASSERT_NE(table, nullptr);
    const QTextBlock caption = table->cellAt(0, 0).firstCursorPosition().block();
    EXPECT_EQ(caption.text(), QStringLiteral("Вид деятельности"));
    EXPECT_LE(caption.layout()->lineCount(), 2);
}

TEST(Dialogs, HookAnswersOnTheDialogObject)
{
    SetSaveDialogHook([](TSaveDialog &d) {
        d.FileName = d.InitialDir + QStringLiteral("/a.htm");
        return true;
    });
    TSaveDialog save;
    save.InitialDir = QStringLiteral("/tmp");
    EXPECT_TRUE(save.Execute());
    EXPECT_EQ(save.FileName, QStringLiteral("/tmp/a.htm"));
    SetSaveDialogHook({});

    SetPrintDialogHook([](TPrintDialog &d) {
        d.PrintRange = prPageNums;
        d.FromPage = 2;
        return false;
    });
    TPrintDialog print;
    EXPECT_FALSE(print.Execute());
    EXPECT_EQ(print.FromPage, 2);
    SetPrintDialogHook({});
}

TEST(MetaFilePrinter, StoppedLayoutsRunOneAtATimeAndTheProgramEndsWithoutThem)
{
    // Ten layouts that would run a minute each, stopped one after another.
    QProcess program;
    program.setProgram(QStringLiteral(TREVIN_PRINTING_EXIT));
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start();
    ASSERT_TRUE(program.waitForStarted(10000));
    QByteArray out;
    const QDeadlineTimer started(60000);
    while (!out.contains("closing\n") && !started.hasExpired() && program.state() == QProcess::Running) {
        program.waitForReadyRead(100);
        out += program.readAllStandardOutput();
    }
    // What the user waits for once the program has been told to close.
    QElapsedTimer closing;
    closing.start();
    const bool ended = program.waitForFinished(20000);
    const qint64 took = closing.elapsed();
    if (!ended) {
        program.kill();
        program.waitForFinished(5000);
    }
    out += program.readAllStandardOutput();
    EXPECT_TRUE(out.contains("most 1\n")) << out.toStdString();
    ASSERT_TRUE(out.contains("closing\n")) << out.toStdString();
    ASSERT_TRUE(ended) << "the program did not end";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_LT(took, TMetaFilePrinter::StoppedLayoutWaitMs + 4000);
}

TEST(HtmlViewPrint, APrintedPageUsesOnlyRegularFilesOfItsOwnFolder)
{
    QTemporaryDir folder;
    QTemporaryDir working; // the working folder while the page is printed
    ASSERT_TRUE(SavePicture(folder.filePath(QStringLiteral("red.png")), Qt::red));
    ASSERT_TRUE(SavePicture(working.filePath(QStringLiteral("blue.png")), Qt::blue));
    // A picture beyond the size a page may read, sparse on the disk.
    ASSERT_TRUE(SavePicture(folder.filePath(QStringLiteral("big.png")), Qt::red));
    {
        QFile big(folder.filePath(QStringLiteral("big.png")));
        ASSERT_TRUE(big.resize(THTMLViewer::MaxPageFileSize + 1));
    }
    TFifo fifo(folder.filePath(QStringLiteral("pipe.png")));
    ASSERT_TRUE(fifo.Made());
    const QString page = folder.filePath(QStringLiteral("page.html"));
    struct TWorkingFolder {
        const QString saved = QDir::currentPath();
        ~TWorkingFolder() { QDir::setCurrent(saved); }
    } restore;
    ASSERT_TRUE(QDir::setCurrent(working.path()));

    // Only the folder's red picture may ever show; blue is the working
    // folder's.
    struct Case {
        QString src;
        bool fromFile;
        bool shown;
    };
    const Case cases[] = {
        {QStringLiteral("red.png"), true, true},    {folder.filePath(QStringLiteral("red.png")), true, true},
        {QStringLiteral("blue.png"), true, false},  {working.filePath(QStringLiteral("blue.png")), true, false},
        {QStringLiteral("pipe.png"), true, false},  {folder.filePath(QStringLiteral("pipe.png")), true, false},
        {QStringLiteral("big.png"), true, false},   {folder.filePath(QStringLiteral("red.png")), false, false},
        {QStringLiteral("blue.png"), false, false},
    };
    int i = 0;
    for (const Case &c : cases) {
        const QString html = QStringLiteral("<p>Картинка</p><img src=\"%1\"><p>после неё</p>").arg(c.src);
        THTMLViewer view;
        if (c.fromFile) {
            QFile file(page);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(html.toUtf8());
            file.close();
            ASSERT_TRUE(view.LoadFromFile(page));
        } else {
            view.LoadFromString(html);
        }
        // Laid out and printed at once, or given up after a bound.
        QElapsedTimer clock;
        clock.start();
        view.OnPageEvent = [&](QObject *, int, bool &stop) { stop = clock.elapsed() > 10000; };
        TMetaFilePrinter pages;
        ASSERT_TRUE(view.PrintPreview(pages)) << c.src.toStdString();
        const int reds = Pixels(pages, 0, qRgb(255, 0, 0));
        if (c.shown)
            EXPECT_GT(reds, 100) << c.src.toStdString();
        else
            EXPECT_EQ(reds, 0) << c.src.toStdString() << " " << c.fromFile;
        EXPECT_EQ(Pixels(pages, 0, qRgb(0, 0, 255)), 0) << c.src.toStdString() << " " << c.fromFile;
        const QString pdf = working.filePath(QStringLiteral("page%1.pdf").arg(i++));
        PrintToPdf(pdf);
        EXPECT_TRUE(view.Print(1, 1)) << c.src.toStdString();
        EXPECT_TRUE(QFile::exists(pdf));
        EXPECT_LT(clock.elapsed(), 10000);
    }
    // Nothing is left running that the program's end would wait for.
    EXPECT_TRUE(TMetaFilePrinter::WaitForStoppedLayouts(TMetaFilePrinter::StoppedLayoutWaitMs));
}

TEST(MetaFilePrinter, ALayoutThatFailsSaysSoAndKeepsNothing)
{
    const TMetaFilePrinter::TDocumentBuilder fine = [] {
        auto *doc = new QTextDocument;
        doc->setHtml(Lines(200));
        return doc;
    };
    const struct {
        TMetaFilePrinter::TDocumentBuilder build;
        QString shown;
    } cases[] = {
        {[]() -> QTextDocument * { throw Exception(QStringLiteral("Лист не собран")); },
         QStringLiteral("Лист не собран")},
        {[]() -> QTextDocument * { throw std::bad_alloc(); }, QString::fromLatin1(std::bad_alloc().what())},
    };
    for (const auto &c : cases) {
        TMetaFilePrinter pages;
        ASSERT_TRUE(pages.Record(fine, *Printer(), {}));
        // The error reaches the default handler, as any error a job raises.
        QStringList shown;
        TApplication::SetExceptionHandler([&](const QString &text) { shown << text; });
        const bool handled = TApplication::DeliverSafely([&] { return pages.Record(c.build, *Printer(), {}); });
        TApplication::SetExceptionHandler(nullptr);
        EXPECT_FALSE(handled);
        EXPECT_EQ(shown, QStringList{c.shown});
        EXPECT_EQ(pages.PageCount(), 0);
        EXPECT_EQ(pages.Document(), nullptr);
        // The recorder lays out the next page as ever, and hands it over to
        // the thread that asked for it.
        ASSERT_TRUE(pages.Record(fine, *Printer(), {}));
        EXPECT_GT(pages.PageCount(), 1);
        ASSERT_NE(pages.Document(), nullptr);
        EXPECT_EQ(pages.Document()->thread(), QThread::currentThread());
        EXPECT_EQ(pages.Document()->documentLayout()->thread(), QThread::currentThread());
    }
}

TEST(HtmlViewPrint, AViewPrintsThePageItShows)
{
    QTemporaryDir dir;
    const auto write = [&](const char *name, const QString &text) {
        QFile file(dir.filePath(QLatin1String(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
    };
    write("first.html",
          QStringLiteral("<meta charset=\"utf-8\"><p>Первая страница</p><a href=\"second.html\">дальше</a>"));
    write("second.html", QStringLiteral("<meta charset=\"utf-8\"><p>Вторая страница</p>"));
    THTMLViewer view;
    struct Step {
        std::function<void()> action;
        QString printed;
    };
    const Step steps[] = {
        {[&] { view.LoadFromString(QStringLiteral("<p>Страница из текста</p>")); },
         QStringLiteral("Страница из текста")},
        {[&] { view.LoadFromFile(dir.filePath(QStringLiteral("first.html"))); }, QStringLiteral("Первая страница")},
        {[&] { view.setSource(QUrl(QStringLiteral("second.html"))); }, QStringLiteral("Вторая страница")},
        {[&] { view.LoadFromString(QStringLiteral("<p>Снова текст</p>")); }, QStringLiteral("Снова текст")},
    };
    for (const Step &step : steps) {
        step.action();
        ASSERT_TRUE(view.toPlainText().contains(step.printed)) << step.printed.toStdString();
        TMetaFilePrinter pages;
        ASSERT_TRUE(view.PrintPreview(pages));
        EXPECT_TRUE(pages.Document()->toPlainText().contains(step.printed)) << step.printed.toStdString();
    }
}
