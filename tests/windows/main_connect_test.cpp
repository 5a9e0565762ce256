// The start-up's connection against hostile surroundings: servers that stop
// answering or restart, modes that change how the server reads text, locked
// and oddly named catalogues.
#include "windows/main_catalogue.h"

#include "services/stat.h"
#include "windows/price/firmcard.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kNothingFound = u"   По Вашему запросу ничего не найдено.   "_s;
// The limit keeps a text that gets through from fetching every
// combination of goods, addresses and firms.
const QString kOrAll = u"')\tor\t1=1\tlimit\t3#"_s;

// Short bounds for one test; the program's own are put back afterwards.
class TShortTimeouts
{
public:
    TShortTimeouts(int connect, int read) : m_saved(TZConnection::NetworkTimeouts())
    {
        TZConnection::NetworkTimeouts().connect = connect;
        TZConnection::NetworkTimeouts().read = read;
        TZConnection::NetworkTimeouts().write = read;
    }
    ~TShortTimeouts() { TZConnection::NetworkTimeouts() = m_saved; }

private:
    TZConnection::TNetworkTimeouts m_saved;
};

// Runs a job on another thread once a delay has passed, unless the test
// ends first.
class TLater
{
public:
    TLater(int ms, std::function<void()> job)
        : m_thread([this, ms, job = std::move(job)] {
              std::unique_lock<std::mutex> lock(m_mutex);
              if (!m_done.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop; }))
                  job();
          })
    {}
    ~TLater()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_stop = false;
    std::thread m_thread;
};

QByteArray Hash(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1) : QByteArray();
}

class MainConnect : public TSampleWindow
{
protected:
    void UseServer(const testenv::MysqlServer &s, const QString &extraIni = QString())
    {
        WriteIni(u"[main]\nprotocol=mysql\n"_s + extraIni + u"[protocol_mysql]\nhostname="_s + s.host + u"\nport="_s +
                 QString::number(s.port) + u"\nuser="_s + s.user + u"\npassword="_s + s.password +
                 u"\nmaster_database="_s + s.master + u"\nstat_database="_s + s.stat + u'\n');
    }
    // Runs a goods or organisation search typed by the user; the rows
    // found, -1 when the query did not open.
    int Search(TfrmMain &w, const char *box, const QString &text)
    {
        const bool goods = QByteArray(box).startsWith("cbFindGood");
        for (const char *name : {"cbFindGoodName", "cbFindGoodEnprName", "cbFindEnprName"})
            Get<QComboBox>(w, name)->setEditText(QString());
        Get<QComboBox>(w, box)->setEditText(text);
        Get<QPushButton>(w, goods ? "btnFindGood" : "btnFindEnpr")->click();
        TZReadOnlyQuery &q = goods ? Peer(w).Query4() : Peer(w).Query5();
        return q.Active() ? q.RecordCount() : -1;
    }
    // A Cyrillic word of some good's name, which finds rows only when the
    // session talks Windows-1251.
    QString CyrillicWord()
    {
        for (const QString &name : Column(u"select name from good order by id"_s))
            for (const QString &w : name.split(u' '))
                if (w.size() >= 5 && w.contains(QRegularExpression(u"^[а-дж-яА-ДЖ-Я]+$"_s)))
                    return w;
        return QString();
    }
};

} // namespace

TEST_F(MainConnect, ServerModesChangeNeitherTheEscapesNorTheQuotedLiterals)
{
    testenv::TPrivateMysql *server = nullptr;
    REQUIRE_PRIVATE_MYSQL(server);
    UseServer(server->Server());
    // A firm with a web address shown on its card.
    const QStringList web =
        Column(u"select cid||' '||fid||' '||adr_id||' '||name from web where visible='1' and tp in ('w','e') "
               "and name<>'' order by cid, fid limit 1"_s)
            .value(0)
            .split(u' ');
    ASSERT_EQ(web.size(), 4);
    const int cid = web[0].toInt(), fid = web[1].toInt(), adr = web[2].toInt();

    // Modes that read a backslash as an ordinary character, or double
    // quotes as names, alone or as part of a combined mode.
    for (const QString &mode : {u"NO_BACKSLASH_ESCAPES"_s, u"ANSI_QUOTES"_s, u"ANSI"_s}) {
        SCOPED_TRACE(mode.toStdString());
        ASSERT_TRUE(server->Exec(u"set global sql_mode=''"_s));
        ASSERT_TRUE(server->Exec(u"set global sql_mode=concat(@@sql_mode, ',"_s + mode + u"')"_s));
        shown.clear();
        auto w = Start();
        ASSERT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();

        const struct {
            const char *box;
            QString text;
        } cases[] = {
            {"cbFindGoodName", kOrAll},
            {"cbFindGoodName", u"')\tunion\tselect\t1,user(),1,343,1,1,version(),1,1,1,0,1#"_s},
            {"cbFindGoodEnprName", kOrAll},
            {"cbFindEnprName", kOrAll},
        };
        for (const auto &c : cases) {
            shown.clear();
            EXPECT_EQ(Search(*w, c.box, c.text), 0) << c.box << ' ' << c.text.toStdString();
            EXPECT_EQ(shown, QStringList{kNothingFound});
        }

        // Literals in double quotes: the working-now search, the card's
        // web addresses, the firm window's statistics row.
        shown.clear();
        Get<QCheckBox>(*w, "edFindGoodWorkNow")->setChecked(true);
        EXPECT_GE(Search(*w, "cbFindGoodName", CyrillicWord()), 0);
        Get<QCheckBox>(*w, "edFindGoodWorkNow")->setChecked(false);
        EXPECT_TRUE(shown.isEmpty() || shown == QStringList{kNothingFound}) << shown.join(u'|').toStdString();
        QString html;
        EXPECT_NO_THROW(
            BuildFirmCardHtml(Peer(*w).Query1(), cid, fid, adr, false, nullptr, TCardSections::All(), html));
        EXPECT_TRUE(html.contains(EscapeHtmlAttribute(web[3]))) << html.toStdString();
        const auto rows = [&] {
            TZReadOnlyQuery q(&Peer(*w).ZConnection1());
            QString table;
            GetStatTableName(q, table);
            q.SetSQL(u"select count(*) as n from "_s + table + u" where fid="_s + QString::number(fid));
            q.Open();
            return q.FieldByName(u"n"_s).AsInteger();
        };
        try {
            const int before = rows();
            WriteRequestStat(Peer(*w).Query1(), cid, fid, adr, 0);
            EXPECT_EQ(rows(), before + 1);
        } catch (const std::exception &e) {
            ADD_FAILURE() << e.what();
        }
    }
    server->Exec(u"set global sql_mode=''"_s);
}

TEST_F(MainConnect, SilentServerGivesTheConnectionMessageInTime)
{
    // A listener that takes connections and never says a word.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(fd, 8), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len), 0);
    const int port = ntohs(a.sin_port);
    std::atomic<bool> closed = false;
    {
        // Without a bound the start would wait for ever; closing the
        // listener at last lets the test end and fail.
        TLater hangup(8000, [&] {
            closed = true;
            ::shutdown(fd, SHUT_RDWR);
        });
        TShortTimeouts bounds(1, 1);
        testenv::MysqlServer silent;
        silent.host = u"127.0.0.1"_s;
        silent.port = port;
        silent.user = u"mysql_user"_s;
        silent.master = u"trevin"_s;
        UseServer(silent);
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(HaltCode(), 1);
        EXPECT_LT(clock.elapsed(), 6000);
    }
    ::close(fd);
    EXPECT_FALSE(closed);
    EXPECT_EQ(shown, QStringList{u"  Ошибка соединения с HostName=127.0.0.1, Port="_s + QString::number(port) +
                                 u", Database=trevin, User=mysql_user  "_s});
}

TEST_F(MainConnect, SearchesRunOnAfterTheServerRestarts)
{
    testenv::TPrivateMysql *server = nullptr;
    REQUIRE_PRIVATE_MYSQL(server);
    TShortTimeouts bounds(2, 20);
    server->Exec(u"set global sql_mode=''"_s);
    UseServer(server->Server());
    auto w = Start();
    ASSERT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    const QString word = CyrillicWord();
    ASSERT_FALSE(word.isEmpty());
    const int found = Search(*w, "cbFindGoodName", word);
    ASSERT_GT(found, 0);

    // Restarted under the open window: the next search reconnects.
    ASSERT_TRUE(server->Stop());
    QString why;
    ASSERT_TRUE(server->Start(&why)) << why.toStdString();
    EXPECT_EQ(Search(*w, "cbFindGoodName", word), found);
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();

    // Down: the search says why; up again (in the mode that reads
    // backslashes literally): the window works as before, in its own
    // character set and escaping.
    ASSERT_TRUE(server->Stop());
    EXPECT_EQ(Search(*w, "cbFindGoodName", word), -1);
    EXPECT_EQ(shown.size(), 1);
    EXPECT_NE(shown.value(0), kNothingFound);
    ASSERT_TRUE(server->Start(&why)) << why.toStdString();
    ASSERT_TRUE(server->Exec(u"set global sql_mode='NO_BACKSLASH_ESCAPES'"_s));
    shown.clear();
    EXPECT_EQ(Search(*w, "cbFindGoodName", word), found);
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    EXPECT_EQ(Search(*w, "cbFindGoodName", kOrAll), 0);
    server->Exec(u"set global sql_mode=''"_s);
}

TEST_F(MainConnect, LockedCatalogueAtStartIsWaitedFor)
{
    UseLocalSample();
    sqlite3 *writer = nullptr;
    ASSERT_EQ(sqlite3_open(Path(u"trevin.dat"_s).toUtf8().constData(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    std::unique_ptr<TfrmMain> w;
    {
        TLater release(700, [writer] { sqlite3_exec(writer, "commit", nullptr, nullptr, nullptr); });
        w = Start();
    }
    sqlite3_close(writer);
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    ASSERT_NE(Peer(*w).GoodRootNode(), nullptr);
    EXPECT_GT(Peer(*w).GoodRootNode()->childCount(), 0);
    EXPECT_GT(Search(*w, "cbFindGoodName", CyrillicWord()), 0);
}

TEST_F(MainConnect, CatalogueIsOpenedReadOnlyByItsExactName)
{
    // Names that connection strings, URIs or escapes would read otherwise;
    // a log aimed at the catalogue itself is refused.
    const struct {
        QString name;
        QString logger;
    } cases[] = {
        {u"cat\"alog.dat"_s, QString()},
        {u"cat\\alog.dat"_s, u"same"_s},
        {u"it's %41 ?mode=rwc.dat"_s, QString()},
        {u"trevin.dat"_s, u"same"_s},
    };
    for (const auto &c : cases) {
        QTemporaryDir app;
        ASSERT_TRUE(app.isValid());
        const QString db = app.filePath(c.name);
        ASSERT_TRUE(QFile::copy(testenv::SampleCatalogue(), db));
        const QByteArray before = Hash(db);
        QFile ini(app.filePath(u"trevin.ini"_s));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(ToCp1251(u"[main]\nprotocol=sqlite\n"_s +
                           (c.logger.isEmpty() ? QString() : u"logger=1\nlogger_file="_s + db + u'\n') +
                           u"[protocol_sqlite]\ndatabase="_s + c.name + u'\n'));
        ini.close();
        shown.clear();
        auto w = std::make_unique<TfrmMain>(app.path() + u'/');
        EXPECT_TRUE(shown.isEmpty()) << c.name.toStdString() << ": " << shown.join(u'|').toStdString();
        ASSERT_NE(Peer(*w).GoodRootNode(), nullptr) << c.name.toStdString();
        EXPECT_GT(Peer(*w).GoodRootNode()->childCount(), 0) << c.name.toStdString();
        EXPECT_GT(Search(*w, "cbFindGoodName", CyrillicWord()), 0) << c.name.toStdString();
        EXPECT_THROW(Peer(*w).ZConnection1().ExecuteDirect(u"create table stray(a integer)"_s), EDatabaseError);
        w.reset();
        EXPECT_EQ(Hash(db), before) << c.name.toStdString();
        EXPECT_EQ(QDir(app.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
                  (QStringList{c.name, u"trevin.ini"_s}))
            << c.name.toStdString();
    }
}
