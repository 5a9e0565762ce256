// The SQL log against special files and crafted texts: nothing may stall
// the start, land outside the program folder, or forge a log line.
#include "windows/main_catalogue.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
class MainLog : public TSampleWindow
{};
} // namespace

TEST_F(MainLog, FifoInPlaceOfTheLogDoesNotHoldTheStart)
{
    ::signal(SIGPIPE, SIG_IGN);
    // Which file is a FIFO, and whether the program would read or write it
    // (the files it reads are tried in the banner tests).
    const struct {
        QString fifo;
        bool written;
    } cases[] = {
        {u"trevin.log"_s, true},
    };
    for (const auto &c : cases) {
        QTemporaryDir app;
        ASSERT_TRUE(app.isValid());
        ASSERT_TRUE(QFile::copy(testenv::SampleCatalogue(), app.filePath(u"trevin.dat"_s)));
        ASSERT_TRUE(QDir(app.path()).mkpath(u"city_sp"_s));
        const QString fifo = app.filePath(c.fifo);
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        if (c.fifo != u"trevin.ini"_s) {
            QFile ini(app.filePath(u"trevin.ini"_s));
            ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
            ini.write("[main]\nprotocol=sqlite\nlogger=1\n");
        }
        // Should the program wait on the FIFO, the other end turns up after
        // fifteen seconds (and keeps turning up), so the test ends and fails.
        std::atomic<qint64> received = 0;
        std::atomic<bool> stop = false;
        std::thread other([&] {
            for (int i = 0; i < 1500 && !stop; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            while (!stop) {
                const int fd =
                    ::open(QFile::encodeName(fifo).constData(), (c.written ? O_RDONLY : O_WRONLY) | O_NONBLOCK);
                if (fd >= 0) {
                    char buffer[4096];
                    for (int i = 0; c.written && i < 20; ++i) {
                        const ssize_t n = ::read(fd, buffer, sizeof buffer);
                        if (n > 0)
                            received += n;
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    }
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        shown.clear();
        QElapsedTimer clock;
        clock.start();
        auto w = std::make_unique<TfrmMain>(app.path() + u'/');
        const qint64 elapsed = clock.elapsed();
        stop = true;
        other.join();
        EXPECT_LT(elapsed, 10000) << c.fifo.toStdString();
        EXPECT_TRUE(shown.isEmpty()) << c.fifo.toStdString() << ": " << shown.join(u'|').toStdString();
        ASSERT_NE(Peer(*w).GoodRootNode(), nullptr) << c.fifo.toStdString();
        EXPECT_GT(Peer(*w).GoodRootNode()->childCount(), 0) << c.fifo.toStdString();
        EXPECT_EQ(received, 0) << c.fifo.toStdString();
    }
}

TEST_F(MainLog, RelativeLogFileIsInTheProgramFolder)
{
    MakeCatalogue();
    WriteIni(u"[main]\nprotocol=sqlite\nlogger=1\nlogger_file=sql.log\n"_s);
    QTemporaryDir elsewhere;
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    Start();
    QDir::setCurrent(saved);
    EXPECT_GT(QFileInfo(Path(u"sql.log"_s)).size(), 0);
    EXPECT_FALSE(QFileInfo::exists(elsewhere.filePath(u"sql.log"_s)));
}

TEST_F(MainLog, EachSqlLogEventStaysOnOneLine)
{
    REQUIRE_MYSQL();
    UseNetworkSample(u"logger=1\n"_s);
    auto w = Start();
    // A pasted text that would otherwise forge an event of its own.
    const QString forged = u"1999-01-01 00:00:00.000 cat: Execute, proto: , msg: forged"_s;
    Get<QComboBox>(*w, "cbFindGoodName")->setEditText(u"шуруп\n"_s + forged + u"\r\nx"_s);
    Get<QPushButton>(*w, "btnFindGood")->click();
    Get<QComboBox>(*w, "cbFindEnprName")->setEditText(u"a\rb\nc"_s);
    Get<QPushButton>(*w, "btnFindEnpr")->click();
    QFile log(Path(u"trevin.log"_s));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = FromCp1251(log.readAll());
    ASSERT_TRUE(text.endsWith(u"\r\n"_s));
    const QStringList lines = text.chopped(2).split(u"\r\n"_s);
    EXPECT_GE(lines.size(), 2);
    const QRegularExpression event(u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} cat: "_s);
    for (const QString &line : lines) {
        EXPECT_TRUE(event.match(line).hasMatch()) << line.toStdString();
        EXPECT_FALSE(line.startsWith(forged.left(10))) << line.toStdString();
        EXPECT_FALSE(line.contains(u'\r') || line.contains(u'\n')) << line.toStdString();
    }
    EXPECT_TRUE(text.contains(u"шуруп\\n1999"_s));
}
