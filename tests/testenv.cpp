#include "testenv.h"

#include "catgen/catgen.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testenv {

QString SampleCatalogue()
{
    static QTemporaryDir dir;
    static QString path;
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("trevin.dat"));
        CatalogueOptions options;
        WriteSqliteCatalogue(path, options);
    }
    return path;
}

MysqlServer Mysql()
{
    MysqlServer s;
    s.port = qEnvironmentVariableIntValue("TREVIN_MYSQL_PORT");
    if (s.port <= 0)
        return s;
    s.host = qEnvironmentVariable("TREVIN_MYSQL_HOST", QStringLiteral("127.0.0.1"));
    s.user = qEnvironmentVariable("TREVIN_MYSQL_USER", QStringLiteral("mysql_user"));
    s.password = qEnvironmentVariable("TREVIN_MYSQL_PASSWORD", QStringLiteral("trevin"));
    s.master = qEnvironmentVariable("TREVIN_MYSQL_MASTER", QStringLiteral("trevin"));
    s.catalogue = qEnvironmentVariable("TREVIN_MYSQL_CATALOGUE", QStringLiteral("trevin_cat"));
    s.stat = qEnvironmentVariable("TREVIN_MYSQL_STAT", QStringLiteral("trevin_stat"));
    return s;
}

bool HaveMysql()
{
    return Mysql().port > 0;
}

} // namespace testenv

// ---- the private server ----

namespace testenv {
namespace {

int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

bool Run(const QString &program, const QStringList &args, const QString &input, QString *output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!input.isEmpty())
        p.setStandardInputFile(input);
    p.start(program, args);
    const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return ok;
}

} // namespace

TPrivateMysql *TPrivateMysql::Instance(QString *why)
{
    // The folder outlives the server that uses it.
    static QTemporaryDir dir(QStringLiteral("/tmp/trevin-mysqld.XXXXXX"));
    static std::unique_ptr<TPrivateMysql> server;
    static QString failure;
    if (!server && failure.isEmpty()) {
        std::unique_ptr<TPrivateMysql> s(new TPrivateMysql);
        s->m_dir = dir.path();
        s->m_port = FreePort();
        if (!dir.isValid() || s->m_port == 0)
            failure = QStringLiteral("no folder or port");
        else if (QStandardPaths::findExecutable(QStringLiteral("mariadbd"),
                                                {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")})
                     .isEmpty() &&
                 QStandardPaths::findExecutable(QStringLiteral("mariadbd")).isEmpty())
            failure = QStringLiteral("mariadbd not installed");
        else if (QDir().mkpath(s->m_dir + QStringLiteral("/data")) && s->Start(&failure) && s->Load(&failure))
            server = std::move(s);
        else if (failure.isEmpty())
            failure = QStringLiteral("could not start");
    }
    if (why)
        *why = failure;
    return server.get();
}

MysqlServer TPrivateMysql::Server() const
{
    MysqlServer s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = m_port;
    s.user = QStringLiteral("mysql_user");
    s.password = QStringLiteral("trevin");
    s.master = QStringLiteral("trevin");
    s.catalogue = QStringLiteral("trevin_cat");
    s.stat = QStringLiteral("trevin_stat");
    return s;
}

bool TPrivateMysql::Exec(const QString &sql, QString *error)
{
    return Run(QStringLiteral("mariadb"),
               {QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + m_dir + QStringLiteral("/mysqld.sock"),
                QStringLiteral("-uroot"), QStringLiteral("-e"), sql},
               QString(), error);
}

bool TPrivateMysql::Start(QString *why)
{
    if (m_pid > 0)
        return true;
    // Without grant tables and InnoDB the server starts in a few seconds on
    // an empty folder; any login is accepted.
    const QByteArray server =
        QStandardPaths::findExecutable(QStringLiteral("mariadbd"),
                                       {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")})
            .toLocal8Bit();
    const passwd *account = ::getpwuid(::getuid());
    const QByteArray user(account ? account->pw_name : "root");
    const QList<QByteArray> args = {
        server.isEmpty() ? QByteArray("mariadbd") : server,
        "--no-defaults",
        "--user=" + user,
        "--datadir=" + m_dir.toLocal8Bit() + "/data",
        "--port=" + QByteArray::number(m_port),
        "--bind-address=127.0.0.1",
        "--socket=" + m_dir.toLocal8Bit() + "/mysqld.sock",
        "--pid-file=" + m_dir.toLocal8Bit() + "/mysqld.pid",
        "--log-error=" + m_dir.toLocal8Bit() + "/mysqld.err",
        "--skip-grant-tables",
        "--skip-log-bin",
        "--innodb=OFF",
        "--default-storage-engine=Aria",
        "--default-tmp-storage-engine=Aria",
        "--sql-mode=",
    };
    std::vector<char *> argv;
    for (const QByteArray &a : args)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The server goes with the test process, however that ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid < 0) {
        if (why)
            *why = QStringLiteral("fork failed");
        return false;
    }
    m_pid = pid;
    for (int i = 0; i < 600; ++i) {
        if (Exec(QStringLiteral("select 1")))
            return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            break;
        }
        QThread::msleep(100);
    }
    if (why) {
        QFile err(m_dir + QStringLiteral("/mysqld.err"));
        *why = QStringLiteral("mariadbd did not start: ") +
               (err.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(err.readAll().right(2000)) : QString());
    }
    Stop();
    return false;
}

bool TPrivateMysql::Stop()
{
    if (m_pid <= 0)
        return true;
    ::kill(m_pid, SIGTERM);
    for (int i = 0; i < 600; ++i) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return true;
        }
        QThread::msleep(50);
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
    return true;
}

bool TPrivateMysql::Load(QString *why)
{
    const QString script = m_dir + QStringLiteral("/trevin.sql");
    try {
        WriteMysqlScript(script, CatalogueOptions(), QStringLiteral("trevin"), QStringLiteral("trevin_cat"),
                         QStringLiteral("trevin_stat"));
    } catch (const std::exception &e) {
        if (why)
            *why = QString::fromLocal8Bit(e.what());
        return false;
    }
    QString output;
    const bool ok =
        Run(QStringLiteral("mariadb"),
            {QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + m_dir + QStringLiteral("/mysqld.sock"),
             QStringLiteral("-uroot"), QStringLiteral("--default-character-set=cp1251")},
            script, &output);
    if (!ok && why)
        *why = QStringLiteral("loading the catalogue failed: ") + output;
    return ok;
}

TPrivateMysql::~TPrivateMysql()
{
    Stop();
}

} // namespace testenv
