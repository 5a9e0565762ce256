#include "services/htmlpage.h"

#include "components/PreviewForm.h"
#include "components/Progress.h"
#include "components/SDialogs.h"
#include "data/codec.h"
#include "data/dberror.h"
#include "platform/dialogs.h"
#include "platform/htmlview.h"
#include "platform/metafileprinter.h"
#include "platform/printers.h"
#include "tmpfs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPrinter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString S(const char16_t *text)
{
    return QString::fromUtf16(text);
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Records the message boxes and answers them.
struct TBoxes {
    QStringList texts;
    int answer = mrOk;
    TBoxes()
    {
        SetMessageBoxHook([this](const TMessageBoxCall &call) {
            texts << call.text;
            return answer;
        });
    }
    ~TBoxes() { SetMessageBoxHook({}); }
};

// "Привет" and "мир" as the code page's bytes.
const QByteArray Privet("\xCF\xF0\xE8\xE2\xE5\xF2");
const QByteArray Mir("\xEC\xE8\xF0");

// A folder in which no file can be made or renamed while the files in it
// stay writable: immutable for as long as this lives.
struct TLockedFolder {
    QByteArray path;
    bool locked = false;
    explicit TLockedFolder(const QString &folder) : path(QFile::encodeName(folder))
    {
        const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            locked = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        if (fd >= 0)
            ::close(fd);
    }
    ~TLockedFolder()
    {
        const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0)
            ::close(fd);
    }
    TLockedFolder(const TLockedFolder &) = delete;
    TLockedFolder &operator=(const TLockedFolder &) = delete;
};

} // namespace

TEST(HtmlPage, HeadAndFootFrameThePage)
{
    // The head line's date is Russian in the C locale too.
    const QLocale saved;
    QLocale::setDefault(QLocale::c());
    QString head, foot;
    BuildHtmlPageHead(head);
    QLocale::setDefault(saved);
    EXPECT_EQ(head, S(u"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">"
                      u"<table width=\"100%\" border=0><tr><td><i>SELBRAN - Информационно-торговая система</i>"
                      u"</td><td align=right><i>") +
                        QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")) + S(u"</i></td></tr></table>"));
    BuildHtmlPageFoot(foot);
    EXPECT_TRUE(foot.contains(QStringLiteral("SELBRAN")));
    EXPECT_TRUE(foot.endsWith(QStringLiteral("</table>")));
}

TEST(HtmlPage, DocumentsFolderIsAnExistingFolderOrEmpty)
{
    QString path = QStringLiteral("x");
    GetMyDocumentsFolder(path);
    EXPECT_TRUE(path.isEmpty() || QFileInfo(path).isDir()) << path.toStdString();
}

TEST(HtmlPage, NoPrinterGivesOnlyTheMessage)
{
    SetPrinterNamesHook([] { return QStringList(); });
    for (bool preview : {true, false}) {
        TBoxes boxes;
        PrintOrPreviewHtml(nullptr, QStringLiteral("<p>x</p>"), preview, {});
        EXPECT_EQ(boxes.texts, QStringList{S(u"          Принтер не установлен.          ")});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget *w : QApplication::topLevelWidgets())
            EXPECT_EQ(qobject_cast<TPreviewForm *>(w), nullptr);
    }
    SetPrinterNamesHook({});
}

TEST(HtmlPage, PreviewShowsTheFramedPageInVerdana)
{
    TBoxes boxes;
    QString seen, status;
    qreal pointSize = 0;
    QString family;
    // Looks in once the preview window is the modal one.
    QTimer look;
    look.setInterval(5);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto *form = qobject_cast<TPreviewForm *>(QApplication::activeModalWidget());
        if (!form || !form->isVisible())
            return;
        look.stop();
        status = form->findChild<QLabel *>(QStringLiteral("StatusPanel0"))->text();
        // What the pages were laid out from.
        const QTextDocument *doc = form->Pages().Document();
        seen = doc->toPlainText();
        family = doc->defaultFont().family();
        pointSize = doc->defaultFont().pointSizeF();
        form->close();
    });
    look.start();
    PrintOrPreviewHtml(nullptr, S(u"<p>Тело страницы</p>"), true, {});
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_EQ(status, S(u"Лист 1 из 1"));
    EXPECT_TRUE(seen.trimmed().startsWith(S(u"SELBRAN - Информационно-торговая система"))) << seen.toStdString();
    EXPECT_TRUE(seen.contains(QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"))));
    EXPECT_TRUE(seen.contains(S(u"Тело страницы")));
    EXPECT_TRUE(seen.trimmed().endsWith(S(u"Все права защищены."))) << seen.toStdString();
    EXPECT_EQ(family, QStringLiteral("Verdana"));
    EXPECT_EQ(pointSize, 6);
    // The view is gone with the call.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int views = 0;
    for (QWidget *w : QApplication::allWidgets())
        views += qobject_cast<THTMLViewer *>(w) != nullptr;
    EXPECT_EQ(views, 0);
}

// A long report is parsed only where it is laid out: from the choice to the
// preview and back, the window answers all along, its progress shown at once.
TEST(HtmlPage, ALongPreviewKeepsTheWindowAnswering)
{
    QString body = QStringLiteral("<table border=0 width=\"100%\" bgcolor=gray cellpadding=1 cellspacing=1>");
    for (int i = 0; i < 8000; ++i)
        body += S(u"<tr bgcolor=white><td valign=top>Хлеб ржаной %1</td><td align=right valign=top>&nbsp;%2 руб</td>"
                  u"<td valign=top>ООО \"Пекарня %3\"</td></tr>")
                    .arg(i)
                    .arg(i % 997)
                    .arg(i % 300);
    body += QStringLiteral("</table>");
    TBoxes boxes;
    QElapsedTimer clock;
    qint64 last = 0, longest = 0, progressAt = -1, shownAt = -1;
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
        if (progressAt < 0 && frmProgress && frmProgress->isVisible())
            progressAt = now;
        auto *form = qobject_cast<TPreviewForm *>(QApplication::activeModalWidget());
        if (shownAt < 0 && form && form->isVisible()) {
            shownAt = now;
            form->close();
        }
    });
    clock.start();
    tick.start();
    PrintOrPreviewHtml(nullptr, body, true, {});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    tick.stop();
    longest = std::max(longest, clock.elapsed() - last);
    ASSERT_GT(shownAt, 0) << "no preview";
    EXPECT_TRUE(boxes.texts.isEmpty());
    // Against the preview's own length, so that any machine tells: a parse
    // on this thread is a gap of a good part of it.
    ASSERT_GT(shownAt, 20 * tick.interval()) << "the page is too short to tell";
    EXPECT_GE(progressAt, 0);
    EXPECT_LT(progressAt, shownAt / 4) << "the progress window came late";
    EXPECT_LT(longest, shownAt / 4) << "the window went unanswered";
}

TEST(HtmlPage, PrintGoesToTheChosenFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.pdf"));
    int dialogs = 0;
    SetPrintDialogHook([&](TPrintDialog &d) {
        ++dialogs;
        EXPECT_EQ(d.MaxPage, 1);
        Printer()->setOutputFormat(QPrinter::PdfFormat);
        Printer()->setOutputFileName(path);
        return true;
    });
    TBoxes boxes;
    PrintOrPreviewHtml(nullptr, S(u"<p>Тело</p>"), false, {});
    SetPrintDialogHook({});
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(ReadAll(path).startsWith("%PDF"));
    EXPECT_TRUE(boxes.texts.isEmpty());
}

TEST(HtmlPage, SaveWritesTheBodyBytesAsChosen)
{
    struct Case {
        const char *name;
        std::optional<QByteArray> before; // the file's bytes, none: no file
        QString body;
        int answer;       // to "already exists"
        QByteArray after; // the file's bytes afterwards
        bool cancelled;
    };
    const Case cases[] = {
        {"new file", std::nullopt, S(u"Привет"), mrNone, Privet, false},
        {"append", Privet, S(u"мир"), mrYesToAll, Privet + Mir, false},
        {"append again", Privet + Mir, S(u"мир"), mrYesToAll, Privet + Mir + Mir, false},
        {"clear", Privet + Mir, S(u"мир"), mrNoToAll, Mir, false},
        {"cancel", Privet, S(u"мир"), mrCancel, Privet, true},
        {"empty appended", Privet, QString(), mrYesToAll, Privet, false},
        {"empty cleared", Privet, QString(), mrNoToAll, QByteArray(), false},
        {"empty new", std::nullopt, QString(), mrNone, QByteArray(), false},
    };
    QTemporaryDir dir;
    for (const Case &c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name).replace(u' ', u'_') + QStringLiteral(".htm"));
        if (c.before) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(*c.before);
        }
        TSaveDialog asked;
        SetSaveDialogHook([&](TSaveDialog &d) {
            asked = d;
            d.FileName = path;
            return true;
        });
        TBoxes boxes;
        boxes.answer = c.answer;
        bool cancelled = !c.cancelled;
        SaveHtmlToFile(nullptr, c.body, cancelled, {});
        SetSaveDialogHook({});
        EXPECT_EQ(cancelled, c.cancelled) << c.name;
        EXPECT_EQ(ReadAll(path), c.after) << c.name;
        const QStringList question{S(u"Файл ") + path + S(u" уже существует. ")};
        EXPECT_EQ(boxes.texts, c.before ? question : QStringList()) << c.name;
        EXPECT_EQ(asked.FileName, QStringLiteral("*.htm"));
        EXPECT_EQ(asked.DefaultExt, QStringLiteral("htm"));
        EXPECT_EQ(asked.Filter, S(u"Веб-страница (*.htm;*.html)|htm"));
        EXPECT_FALSE(asked.OverwritePrompt);
    }
}

TEST(HtmlPage, SaveWritesOnlyARegularFileOrANewOneAndNeverWaits)
{
    // A FIFO with no reader, a device, a folder and a socket, each answered
    // with "Очистить" and with "Дополнить": the message, nothing written,
    // and the call comes back at once.
    ::signal(SIGPIPE, SIG_IGN);
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.htm"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = dir.filePath(QStringLiteral("taken.htm"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString socketPath = dir.filePath(QStringLiteral("sock.htm"));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray socketName = QFile::encodeName(socketPath);
    ASSERT_LT(std::size_t(socketName.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketName.constData(), std::size_t(socketName.size()));
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);

    for (const QString &target : {fifo, QStringLiteral("/dev/null"), folder, socketPath}) {
        for (const int answer : {mrNoToAll, mrYesToAll}) {
            const std::string what = target.toStdString() + (answer == mrNoToAll ? " cleared" : " appended");
            // Should the save wait on the FIFO, a reader comes after ten
            // seconds and takes what it gets, so the test ends either way.
            std::mutex lock;
            std::condition_variable done;
            bool finished = false;
            QByteArray taken;
            std::thread reader([&] {
                std::unique_lock<std::mutex> guard(lock);
                if (done.wait_for(guard, std::chrono::seconds(10), [&] { return finished; }))
                    return;
                const int fd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
                for (int i = 0; fd >= 0 && i < 300 && !finished; ++i) {
                    guard.unlock();
                    char buffer[256];
                    const ssize_t n = ::read(fd, buffer, sizeof buffer);
                    if (n > 0)
                        taken.append(buffer, n);
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    guard.lock();
                }
                if (fd >= 0)
                    ::close(fd);
            });
            SetSaveDialogHook([&](TSaveDialog &d) {
                d.FileName = target;
                return true;
            });
            TBoxes boxes;
            boxes.answer = answer;
            bool cancelled = false;
            QElapsedTimer clock;
            clock.start();
            EXPECT_NO_THROW(SaveHtmlToFile(nullptr, S(u"мир"), cancelled, {})) << what;
            const qint64 took = clock.elapsed();
            {
                std::lock_guard<std::mutex> guard(lock);
                finished = true;
            }
            done.notify_all();
            reader.join();
            SetSaveDialogHook({});
            EXPECT_LT(took, 5000) << what;
            EXPECT_TRUE(taken.isEmpty()) << what;
            EXPECT_TRUE(cancelled) << what;
            EXPECT_EQ(boxes.texts.value(1), S(u" Ошибка открытия файла ") + target) << what;
        }
    }
    ::close(listener);
    EXPECT_TRUE(QDir(folder).isEmpty());
    struct stat after;
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &after), 0);
    EXPECT_TRUE(S_ISFIFO(after.st_mode));

    SetSaveDialogHook([](TSaveDialog &) { return false; });
    {
        TBoxes boxes;
        bool cancelled = false;
        SaveHtmlToFile(nullptr, S(u"мир"), cancelled, {});
        EXPECT_TRUE(cancelled);
        EXPECT_TRUE(boxes.texts.isEmpty());
    }
    SetSaveDialogHook({});
}

TEST(HtmlPage, SaveOnAFullDiskSaysSoAndLeavesNoPartialPage)
{
    TSmallTmpfs disk; // 64 KiB, so that the disk really fills
    REQUIRE_TMPFS(disk);

    // One whole page, so that anything appended needs room on the disk.
    const QByteArray oldBytes = Privet + QByteArray(4096 - Privet.size(), ' ');
    const QString old = disk.Path(QStringLiteral("old.htm"));
    const QString small = S(u"<p>мир</p>");
    const QString large = QString(200 * 1024, u'ж');

    struct Case {
        const char *name;
        bool full;     // the disk is full before the save
        bool existing; // onto old.htm, else a new file
        int answer;    // to "already exists"
        const QString *body;
    };
    const Case cases[] = {
        {"small new, full disk", true, false, mrNone, &small},
        {"large new", false, false, mrNone, &large},
        {"small appended, full disk", true, true, mrYesToAll, &small},
        {"large appended", false, true, mrYesToAll, &large},
    };
    for (const Case &c : cases) {
        // Each case starts from old.htm as it was.
        disk.Free();
        {
            QFile f(old);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(oldBytes);
        }
        if (c.full)
            disk.Fill();
        const QString path = c.existing ? old : disk.Path(QStringLiteral("new.htm"));
        SetSaveDialogHook([&](TSaveDialog &d) {
            d.FileName = path;
            return true;
        });
        TBoxes boxes;
        boxes.answer = c.answer;
        bool cancelled = false;
        EXPECT_NO_THROW(SaveHtmlToFile(nullptr, *c.body, cancelled, {})) << c.name;
        SetSaveDialogHook({});
        EXPECT_TRUE(cancelled) << c.name;
        EXPECT_EQ(boxes.texts.value(c.existing ? 1 : 0), S(u" Ошибка записи файла ") + path) << c.name;
        // A new file is gone, an extended one holds what it held.
        const QStringList left = c.full ? QStringList{QStringLiteral("filler"), QStringLiteral("old.htm")}
                                        : QStringList{QStringLiteral("old.htm")};
        EXPECT_EQ(disk.Entries(), left) << c.name;
        EXPECT_EQ(ReadAll(old), oldBytes) << c.name;
    }
}

TEST(HtmlPage, ClearingReplacesTheFileOnlyOnceTheNewPageIsWhole)
{
    // "Очистить" onto a page the user keeps in pages/, reached by its name,
    // through a symbolic link, as one of two hard links, or in a folder that
    // takes no new file. A page that does not fit (a full disk, a page
    // larger than the disk) leaves the old one byte for byte, with its
    // owner and permission bits, and nothing else behind.
    TSmallTmpfs disk; // 64 KiB, so that the disk really fills
    REQUIRE_TMPFS(disk);

    const QByteArray oldBytes = Privet + QByteArray(4096 - Privet.size(), ' ');
    const QString small = S(u"<p>мир</p>");
    const QString large = QString(200 * 1024, u'ж');
    enum class TReach { Name, SymLink, HardLink, LockedFolder };
    struct Case {
        const char *name;
        TReach reach;
        bool full; // the disk is full before the save
        const QString *body;
        bool saved; // else refused with the message, the old page kept
    };
    const Case cases[] = {
        {"small, full disk", TReach::Name, true, &small, false},
        {"large", TReach::Name, false, &large, false},
        {"small", TReach::Name, false, &small, true},
        {"link, small", TReach::SymLink, false, &small, true},
        {"link, large", TReach::SymLink, false, &large, false},
        {"hard link, small, full disk", TReach::HardLink, true, &small, true},
        {"hard link, large", TReach::HardLink, false, &large, false},
        {"locked folder, small", TReach::LockedFolder, false, &small, true},
        {"locked folder, large", TReach::LockedFolder, false, &large, false},
    };
    const QString pages = disk.Path(QStringLiteral("pages"));
    const QString page = pages + QStringLiteral("/page.htm");
    const QString twin = pages + QStringLiteral("/twin.htm");
    const QString link = disk.Path(QStringLiteral("link.htm"));
    const auto statOf = [](const QString &path, bool follow = true) {
        struct stat st {};
        const QByteArray name = QFile::encodeName(path);
        EXPECT_EQ(follow ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st), 0) << name.constData();
        return st;
    };
    for (const Case &c : cases) {
        disk.Free();
        QFile::remove(link);
        ASSERT_TRUE(QDir(pages).removeRecursively());
        ASSERT_TRUE(QDir().mkpath(pages));
        {
            QFile f(page);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(oldBytes);
        }
        ASSERT_EQ(::chmod(QFile::encodeName(page).constData(), 0640), 0);
        // Another owner where the test may give the file away.
        if (::chown(QFile::encodeName(page).constData(), 12345, 12345) != 0) {
        }
        const struct stat before = statOf(page);
        QString name = page;
        QStringList inPages{QStringLiteral("page.htm")};
        if (c.reach == TReach::SymLink) {
            ASSERT_TRUE(QFile::link(page, link));
            name = link;
        } else if (c.reach == TReach::HardLink) {
            ASSERT_EQ(::link(QFile::encodeName(page).constData(), QFile::encodeName(twin).constData()), 0);
            inPages << QStringLiteral("twin.htm");
        }
        std::optional<TLockedFolder> locked;
        if (c.reach == TReach::LockedFolder) {
            locked.emplace(pages);
            if (!locked->locked) {
                std::cout << "[ NOTE     ] cannot lock a folder here, case skipped: " << c.name << '\n';
                continue;
            }
        }
        if (c.full)
            disk.Fill();
        SetSaveDialogHook([&](TSaveDialog &d) {
            d.FileName = name;
            return true;
        });
        TBoxes boxes;
        boxes.answer = mrNoToAll;
        bool cancelled = !c.saved;
        EXPECT_NO_THROW(SaveHtmlToFile(nullptr, *c.body, cancelled, {})) << c.name;
        SetSaveDialogHook({});
        locked.reset();

        QStringList texts{S(u"Файл ") + name + S(u" уже существует. ")};
        if (!c.saved)
            texts << S(u" Ошибка записи файла ") + name;
        EXPECT_EQ(cancelled, !c.saved) << c.name;
        EXPECT_EQ(boxes.texts, texts) << c.name;
        EXPECT_EQ(ReadAll(page), c.saved ? ToCp1251(*c.body) : oldBytes) << c.name;
        const struct stat after = statOf(page);
        EXPECT_EQ(after.st_mode & 07777, 0640u) << c.name;
        EXPECT_EQ(after.st_uid, before.st_uid) << c.name;
        EXPECT_EQ(after.st_gid, before.st_gid) << c.name;
        if (c.reach == TReach::SymLink) {
            EXPECT_TRUE(S_ISLNK(statOf(link, false).st_mode)) << c.name;
            EXPECT_EQ(QFileInfo(link).symLinkTarget(), page) << c.name;
        }
        if (c.reach == TReach::HardLink) {
            EXPECT_EQ(ReadAll(twin), ReadAll(page)) << c.name;
        }
        EXPECT_EQ(QDir(pages).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), inPages) << c.name;
        QStringList top{QStringLiteral("pages")};
        if (c.full)
            top << QStringLiteral("filler");
        if (c.reach == TReach::SymLink)
            top << QStringLiteral("link.htm");
        top.sort();
        EXPECT_EQ(disk.Entries(), top) << c.name;
    }
}

TEST(HtmlPage, SaveTakesTheOneFileTypedInTheDialogOrSaysItCannot)
{
    // The real dialog: the user goes to the folder, types a name and
    // presses Enter.
    struct Case {
        QString typed;
        bool saved; // else the name is refused with the message
    };
    const Case cases[] = {
        {QStringLiteral("plain.htm"), true},
        {QStringLiteral("a\"b.htm"), false},
        {QStringLiteral("\"q1.htm\" \"q2.htm\""), false},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        // Pasted rather than typed key by key, so that no completion list
        // takes the Enter key.
        const auto type = [](QLineEdit *edit, const QString &text) {
            edit->setFocus();
            edit->selectAll();
            edit->insert(text);
            QTest::keyClick(edit, Qt::Key_Return);
        };
        int step = 0;
        int ticks = 0;
        QTimer look;
        look.setInterval(20);
        QObject::connect(&look, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            if (++ticks > 250) { // five seconds at most
                dialog->reject();
                return;
            }
            auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(edit, nullptr);
            if (step == 0) {
                type(edit, dir.path());
                step = 1;
            } else if (step == 1 && QDir(dialog->directory()).canonicalPath() == QDir(dir.path()).canonicalPath()) {
                type(edit, c.typed);
                step = 2;
            } else if (step > 20) {
                dialog->reject();
            } else if (step >= 2) {
                ++step;
            }
        });
        look.start();
        TBoxes boxes;
        bool cancelled = false;
        SaveHtmlToFile(nullptr, S(u"мир"), cancelled, {});
        look.stop();
        EXPECT_EQ(step, 2) << c.typed.toStdString();
        const QStringList files = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        if (c.saved) {
            EXPECT_FALSE(cancelled);
            EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(u'|').toStdString();
            EXPECT_EQ(files, QStringList{c.typed});
            EXPECT_EQ(ReadAll(dir.filePath(c.typed)), Mir);
        } else {
            EXPECT_TRUE(cancelled) << c.typed.toStdString();
            EXPECT_EQ(boxes.texts, QStringList{S(u" Недопустимое имя файла ") + QDir(dir.path()).filePath(c.typed)})
                << c.typed.toStdString();
            EXPECT_TRUE(files.isEmpty()) << files.join(u'|').toStdString();
        }
    }
}
