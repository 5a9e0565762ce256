// bench_results: moving through the main window's organisation grid one row
// at a time with the card beside it, as the user does with the Down key: the
// card of each new row is built and shown and the grid repainted.
//
//   bench_results [--rows 1000] [CATALOGUE.dat]
//
// Starts the main window (local version) on the catalogue in a temporary
// program folder, runs an organisation search typed by the user and times
// each Down key until the screen is painted. Prints the median, mean and
// worst time per move with the card shown and, as the baseline, with the
// card panel hidden (the grid alone).
#include "bench_common.h"

#include "components/SDialogs.h"
#include "platform/application.h"
#include "components/DBGrid.h"
#include "windows/main/main.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QSettings>

#include <cstdio>
#include <exception>
#include <vector>

namespace {

// The rows a result grid of the window shows.
TZReadOnlyQuery &GridRows(TfrmMain &w, const char *grid)
{
    return dynamic_cast<TZReadOnlyQuery &>(*w.findChild<TDBGrid *>(QString::fromLatin1(grid))->DataSource()->DataSet());
}

// Presses Down in the grid and waits until the window is painted.
std::vector<qint64> MoveDown(TfrmMain &w, int rows)
{
    std::vector<qint64> ns;
    TZReadOnlyQuery &rows5 = GridRows(w, "DBGrid2");
    rows5.First();
    QCoreApplication::processEvents();
    for (int i = 0; i < rows && rows5.RecNo() < rows5.RecordCount(); ++i) {
        QElapsedTimer t;
        t.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QCoreApplication::sendEvent(w.findChild<TDBGrid *>(QStringLiteral("DBGrid2")), &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
        QCoreApplication::sendEvent(w.findChild<TDBGrid *>(QStringLiteral("DBGrid2")), &release);
        QCoreApplication::processEvents();
        ns.push_back(t.nsecsElapsed());
    }
    return ns;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    int rows = 1000;
    QStringList rest;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rows") && i + 1 < args.size())
            rows = args[++i].toInt();
        else
            rest << args[i];
    }
    QByteArray pathArg = rest.value(0).toLocal8Bit();
    char *catalogueArgv[] = {argv[0], pathArg.data()};
    const QString catalogue = bench::Catalogue(rest.isEmpty() ? 1 : 2, catalogueArgv);

    QTemporaryDir dir;
    const QString appDir = dir.path() + u'/';
    QFile::link(catalogue, appDir + QStringLiteral("trevin.dat"));
    QFile ini(appDir + QStringLiteral("trevin.ini"));
    if (!ini.open(QIODevice::WriteOnly) || ini.write("[main]\nprotocol=sqlite\n") < 0)
        return 1;
    ini.close();
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    SetMessageBoxHook([](const TMessageBoxCall &call) {
        std::printf("message: %s\n", qPrintable(call.text));
        return mrOk;
    });

    try {
        QElapsedTimer startTimer;
        startTimer.start();
        TfrmMain w(appDir);
        w.resize(1200, 800);
        w.show();
        QCoreApplication::processEvents();
        const qint64 startMs = startTimer.elapsed();

        w.findChild<QTreeWidget *>(QStringLiteral("TreeView"))
            ->setCurrentItem(w.findChild<QTreeWidget *>(QStringLiteral("TreeView"))->topLevelItem(1));
        w.findChild<QComboBox *>(QStringLiteral("cbFindEnprName"))->setEditText(QStringLiteral("ооо"));
        QElapsedTimer searchTimer;
        searchTimer.start();
        w.findChild<QPushButton *>(QStringLiteral("btnFindEnpr"))->click();
        QCoreApplication::processEvents();
        const qint64 searchMs = searchTimer.elapsed();
        w.findChild<TDBGrid *>(QStringLiteral("DBGrid2"))->setFocus();

        const std::vector<qint64> withCard = MoveDown(w, rows);
        const QString lastCard = w.findChild<QTextBrowser *>(QStringLiteral("HTMLViewer1"))->toPlainText();
        w.findChild<QToolButton *>(QStringLiteral("btnFullRecv"))->click(); // hidden: the grid alone
        const std::vector<qint64> gridOnly = MoveDown(w, rows);
        if (withCard.empty() || gridOnly.empty()) {
            std::fputs("bench_results: the search found no rows\n", stderr);
            return 1;
        }

        const bench::TFigures card = bench::Figures(withCard);
        const bench::TFigures grid = bench::Figures(gridOnly);
        std::printf("catalogue %s: window started in %lld ms, search found %d organisations in %lld ms\n",
                    qPrintable(catalogue), static_cast<long long>(startMs), GridRows(w, "DBGrid2").RecordCount(),
                    static_cast<long long>(searchMs));
        std::printf("%zu moves with the card: median %.3f ms, mean %.3f ms, worst %.3f ms\n", withCard.size(),
                    card.median, card.mean, card.worst);
        std::printf("baseline, %zu moves with the card hidden: median %.3f ms, mean %.3f ms, worst %.3f ms\n",
                    gridOnly.size(), grid.median, grid.mean, grid.worst);
        std::printf("with card / baseline (median): %.1f; last card %lld characters\n", card.median / grid.median,
                    static_cast<long long>(lastCard.size()));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_results: %s\n", qPrintable(TApplication::ExceptionText(std::current_exception())));
        return 1;
    }
    return 0;
}
