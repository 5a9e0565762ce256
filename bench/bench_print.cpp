// bench_print: printing a report to a PDF file the way the program prints
// (its page recorder lays the page out, then prints the pages from that
// layout), against Qt laying out and drawing the same page to the same
// printer by hand; for an organisation-card report and a goods table built
// from the catalogue. The two files must hold the same text page by page.
//
//   trevin_gencat --sqlite /tmp/trevin_1m.dat --goods 1000000
//   bench_print [--runs 3] [--cards 250] [--rows 1000,2000,5000,10000] [--chunk N] /tmp/trevin_1m.dat
//
// --chunk N closes the goods table and opens a new one every N rows, to see
// whether one long table is what makes the layout slower per row.
// Each measurement runs in a fresh child process so that its peak memory is
// its own; the runs of the program and of the baseline are interleaved.
// Prints pages, build and print (layout and drawing) time and peak memory,
// min and median, and their ratios to the baseline's.
#include "bench_common.h"

#include "data/connection.h"
#include "platform/htmlview.h"
#include "platform/metafileprinter.h"
#include "platform/printers.h"
#include "data/query.h"
#include "services/globals.h"
#include "services/htmlpage.h"
#include "services/pagerules.h"
#include "services/tools_format.h"
#include "windows/price/firmcard.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QPrinter>
#include <QProcess>
#include <QPainter>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <exception>
#include <map>
#include <stdexcept>
#include <vector>

namespace {

QString Escape(const QString &text)
{
    return text.toHtmlEscaped();
}

// Card report: the table layout of each address card, one below the other.
QString CardReport(TZConnection &conn, int cards)
{
    TZReadOnlyQuery keys(&conn);
    keys.SetSQL(QStringLiteral("select a.cid as cid, a.fid as fid, a.adr_id as adr_id from address a "
                               "where a.cid=343 order by a.sfn"));
    keys.Open();
    TZReadOnlyQuery scratch(&conn);
    std::vector<std::array<int, 3>> list;
    for (; !keys.Eof() && int(list.size()) < cards; keys.Next())
        list.push_back({keys.FieldByName(QStringLiteral("cid")).AsInteger(),
                        keys.FieldByName(QStringLiteral("fid")).AsInteger(),
                        keys.FieldByName(QStringLiteral("adr_id")).AsInteger()});
    QString body, card;
    for (const auto &k : list) {
        BuildFirmCardHtml(scratch, k[0], k[1], k[2], false, nullptr, TCardSections::All(), card);
        body += card + QStringLiteral("<hr>");
    }
    return body;
}

// Goods table: good, price and organisation of the first rows of a city.
QString GoodsTable(TZConnection &conn, int rows, int chunk)
{
    TZReadOnlyQuery q(&conn);
    q.SetSQL(
        QStringLiteral("select g.name as name, g.price as price, g.cur as cur, a.sfn as sfn from good g, address a "
                       "where g.cid=343 and a.cid=g.cid and a.fid=g.fid and a.adr_id=g.adr_id limit ") +
        QString::number(rows));
    q.Open();
    // The goods report's table.
    const QString table = QStringLiteral("<table border=0 width=\"100%\" bgcolor=gray cellpadding=1 cellspacing=1>");
    QString body = table + QStringLiteral("<tr bgcolor=white><td align=center valign=top><b>Товар/Услуга</b></td>"
                                          "<td align=center valign=top><b>Цена</b></td>"
                                          "<td align=center valign=top><b>Организация</b></td></tr>");
    int n = 0;
    for (; !q.Eof(); q.Next(), ++n) {
        if (chunk > 0 && n > 0 && n % chunk == 0)
            body += QStringLiteral("</table>") + table;
        body += QStringLiteral("<tr bgcolor=white><td valign=top>") +
                Escape(q.FieldByName(QStringLiteral("name")).AsString()) +
                QStringLiteral("</td><td align=right valign=top>&nbsp;") +
                FormatPrice(q.FieldByName(QStringLiteral("cur")).AsString(),
                            q.FieldByName(QStringLiteral("price")).AsFloat()) +
                QStringLiteral("</td><td valign=top>") + Escape(q.FieldByName(QStringLiteral("sfn")).AsString()) +
                QStringLiteral("</td></tr>");
    }
    if (n < rows)
        std::fprintf(stderr, "bench_print: only %d goods rows\n", n);
    return body + QStringLiteral("</table>");
}

double CpuMs()
{
    return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
}

// One measurement in this process, printing to out: prints "pages build_ms
// print_ms cpu_ms peak_kb".
int Child(const QString &path, const QString &kind, int count, bool baseline, int chunk, const QString &out)
{
    Protocol = QStringLiteral("sqlite");
    IsNetwork = false;
    TZConnection conn;
    bench::OpenSqlite(conn, path);
    QElapsedTimer t;
    t.start();
    const QString body = kind == QLatin1String("cards") ? CardReport(conn, count) : GoodsTable(conn, count, chunk);
    // As the program's print path prepares its view: the page is kept as
    // text and parsed where it is laid out.
    THTMLViewer view;
    SetPrintedReport(view, body);
    const double buildMs = double(t.nsecsElapsed()) / 1e6;

    QPrinter *printer = Printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(out);
    const double cpu0 = CpuMs();
    t.restart();
    int pages;
    if (baseline) {
        // The same page from its text, laid out for the printer and drawn
        // page by page, as Qt's own document printing does.
        QString head, foot;
        BuildHtmlPageHead(head);
        BuildHtmlPageFoot(foot);
        QTextDocument doc;
        doc.setDefaultFont(view.document()->defaultFont());
        doc.setDefaultStyleSheet(view.document()->defaultStyleSheet());
        doc.setHtml(head + body + foot);
        CutLongTexts(doc);
        PreparePrintedPage(doc);
        doc.documentLayout()->setPaintDevice(printer);
        const QRect area = printer->pageLayout().paintRectPixels(printer->resolution());
        doc.setPageSize(QSizeF(area.size()));
        pages = doc.pageCount();
        QPainter painter(printer);
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette.setColor(QPalette::Text, Qt::black);
        for (int i = 0; i < pages; ++i) {
            if (i > 0)
                printer->newPage();
            const QRectF band(0, qreal(i) * area.height(), area.width(), area.height());
            painter.save();
            painter.setClipRect(QRectF(0, 0, area.width(), area.height()));
            painter.translate(0, -band.top());
            context.clip = band;
            doc.documentLayout()->draw(&painter, context);
            painter.restore();
        }
    } else {
        // The preview's layout, then printing from it, as the program does.
        TMetaFilePrinter recorder;
        if (!view.PrintPreview(recorder) || !view.Print(1, recorder.PageCount(), &recorder))
            throw std::runtime_error("printing stopped");
        pages = recorder.PageCount();
    }
    const double printMs = double(t.nsecsElapsed()) / 1e6;
    std::printf("%d %.1f %.1f %.1f %ld\n", pages, buildMs, printMs, CpuMs() - cpu0, bench::StatusKb("VmHWM"));
    return 0;
}

// The letters of each page of a PDF file, blanks left out and sorted.
QStringList PdfPageLetters(const QString &file)
{
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
    if (!reader.waitForFinished(120000))
        throw std::runtime_error("pdftotext did not finish");
    if (reader.exitCode() != 0 || !reader.readAllStandardError().isEmpty())
        throw std::runtime_error("pdftotext found faults in " + file.toStdString());
    QStringList pages = QString::fromUtf8(reader.readAllStandardOutput()).split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    for (QString &page : pages) {
        page.remove(QRegularExpression(QStringLiteral("\\s")));
        std::sort(page.begin(), page.end());
    }
    return pages;
}

struct TRun {
    int pages = 0;
    double build = 0, layout = 0, cpu = 0;
    long peak = 0;
};

TRun RunChild(const QString &self, const QString &path, const QString &kind, int count, bool baseline,
              const QString &out)
{
    QProcess p;
    QStringList args{QStringLiteral("--child"), kind, QString::number(count), path, out};
    if (baseline)
        args << QStringLiteral("--baseline");
    p.start(self, args);
    p.waitForFinished(-1);
    const QStringList f = QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed().split(u' ');
    if (f.size() != 5)
        throw std::runtime_error("child failed: " + p.readAllStandardError().toStdString());
    return {f[0].toInt(), f[1].toDouble(), f[2].toDouble(), f[3].toDouble(), f[4].toLong()};
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QStringList args = app.arguments();
    int runs = 3, cards = 250;
    QList<int> rows{1000, 2000, 5000, 10000};
    QString path;
    try {
        if (args.size() > 5 && args[1] == QLatin1String("--child"))
            return Child(args[4], args[2], args[3].toInt(), args.contains(QStringLiteral("--baseline")),
                         qEnvironmentVariableIntValue("BENCH_PRINT_CHUNK"), args[5]);
        for (int i = 1; i < args.size(); ++i) {
            if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
                runs = args[++i].toInt();
            else if (args[i] == QLatin1String("--chunk") && i + 1 < args.size())
                qputenv("BENCH_PRINT_CHUNK", args[++i].toLatin1());
            else if (args[i] == QLatin1String("--cards") && i + 1 < args.size())
                cards = args[++i].toInt();
            else if (args[i] == QLatin1String("--rows") && i + 1 < args.size()) {
                rows.clear();
                for (const QString &r : args[++i].split(u','))
                    rows << r.toInt();
            } else
                path = args[i];
        }
        if (path.isEmpty()) {
            std::fputs("usage: bench_print [--runs N] [--cards N] [--rows N,N,...] CATALOGUE.dat\n", stderr);
            return 2;
        }
        struct TJob {
            QString kind;
            int count;
        };
        std::vector<TJob> jobs{{QStringLiteral("cards"), cards}};
        for (int r : rows)
            jobs.push_back({QStringLiteral("goods"), r});
        // results[job][baseline] over the runs
        std::map<std::pair<int, bool>, std::vector<TRun>> results;
        QTemporaryDir dir;
        for (int run = 0; run < runs; ++run)
            for (int j = 0; j < int(jobs.size()); ++j) {
                const QString files[2] = {dir.filePath(QStringLiteral("program.pdf")),
                                          dir.filePath(QStringLiteral("baseline.pdf"))};
                for (bool baseline : {false, true})
                    results[{j, baseline}].push_back(RunChild(app.applicationFilePath(), path, jobs[j].kind,
                                                              jobs[j].count, baseline, files[baseline]));
                // The program's print is the report: what Qt prints of it.
                if (run == 0 && PdfPageLetters(files[0]) != PdfPageLetters(files[1]))
                    throw std::runtime_error("the printed " + jobs[j].kind.toStdString() +
                                             " report differs from the baseline's");
            }

        std::printf("catalogue %s, %d runs each, A4 PDF printer at %d dpi\n", qPrintable(path), runs,
                    Printer()->resolution());
        std::printf("%-13s %6s %8s | %-22s | %-22s | %-13s | %-17s | %-17s | %-11s\n", "report", "pages", "build ms",
                    "program: print ms", "baseline: print ms", "time ratio", "program: peak MB", "baseline: peak MB",
                    "peak ratio");
        std::printf("%-13s %6s %8s | %-22s | %-22s | %-13s | %-17s | %-17s | %-11s\n", "", "", "median", "min / median",
                    "min / median", "min / median", "min / median", "min / median", "min / median");
        for (int j = 0; j < int(jobs.size()); ++j) {
            const auto &rec = results[{j, false}];
            const auto &base = results[{j, true}];
            auto col = [](const std::vector<TRun> &v, auto TRun::*m) {
                std::vector<double> x;
                for (const TRun &r : v)
                    x.push_back(double(r.*m));
                return std::make_pair(*std::min_element(x.begin(), x.end()), Median(x));
            };
            const auto [lmin, lmed] = col(rec, &TRun::layout);
            const auto [bmin, bmed] = col(base, &TRun::layout);
            const auto [bdmin, bdmed] = col(rec, &TRun::build);
            const auto [pmin, pmed] = col(rec, &TRun::peak);
            const auto [qmin, qmed] = col(base, &TRun::peak);
            (void)bdmin;
            std::printf("%-6s %6d %6d %8.0f | %9.0f / %-10.0f | %9.0f / %-10.0f | %5.2f / %-5.2f | %7.1f / %-7.1f | "
                        "%7.1f / %-7.1f | %4.2f / %-4.2f\n",
                        qPrintable(jobs[j].kind), jobs[j].count, rec[0].pages, bdmed, lmin, lmed, bmin, bmed,
                        lmin / bmin, lmed / bmed, pmin / 1024.0, pmed / 1024.0, qmin / 1024.0, qmed / 1024.0,
                        pmin / qmin, pmed / qmed);
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_print: %s\n", e.what());
        return 1;
    }
    return 0;
}
