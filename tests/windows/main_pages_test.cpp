#include "windows/main_catalogue.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextLayout>
#include <QTextTable>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class MainPages : public TSampleWindow
{
protected:
    void Page(const QString &folder, const QString &body, const QString &head = QString())
    {
        WriteFile(QStringLiteral("pages/") + folder + QStringLiteral("/index.html"),
                  QStringLiteral("<html><head><meta charset=\"windows-1251\">") + head +
                      QStringLiteral("</head><body>") + body + QStringLiteral("</body></html>"));
    }
    QStringList Tabs(TfrmMain &w)
    {
        QStringList out;
        if (auto *tabs = w.findChild<QTabWidget *>(QStringLiteral("PagesControl")))
            for (int i = 0; i < tabs->count(); ++i)
                out << tabs->tabText(i);
        return out;
    }
    static bool MenusEnabled(TfrmMain &w)
    {
        return w.findChild<QMenu *>(QStringLiteral("N2"))->menuAction()->isEnabled() &&
               w.findChild<QMenu *>(QStringLiteral("N3"))->menuAction()->isEnabled();
    }
    static QTextBrowser *Viewer(TfrmMain &w)
    {
        return w.findChild<QTabWidget *>(QStringLiteral("PagesControl"))
            ->currentWidget()
            ->findChild<QTextBrowser *>(QStringLiteral("PageViewer"));
    }
    // Types the text as key presses (the test library types only ASCII).
    static void Type(QWidget *widget, const QString &text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, c.toUpper().unicode(), Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, c.toUpper().unicode(), Qt::NoModifier, QString(c));
            QApplication::sendEvent(widget, &press);
            QApplication::sendEvent(widget, &release);
        }
    }
    static QString Selected(QTextBrowser *viewer) { return viewer->textCursor().selectedText(); }
    static int SelectionStart(QTextBrowser *viewer) { return viewer->textCursor().selectionStart(); }
    // The point of the page where the character at position is shown.
    static QPoint PointOf(QTextBrowser *viewer, int position)
    {
        QTextCursor cursor(viewer->document());
        cursor.setPosition(position);
        return viewer->cursorRect(cursor).center() + QPoint(2, 0);
    }
    // How many pixels of the shown page have exactly this colour.
    static int Pixels(QTextBrowser *viewer, QRgb colour)
    {
        const QImage image = viewer->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
        return n;
    }
    void Picture(const QString &name, QRgb colour)
    {
        QDir().mkpath(QFileInfo(Path(name)).path());
        QImage image(40, 40, QImage::Format_RGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(Path(name), "PNG"));
    }
    TfrmMain *StartOnFirstTab(std::unique_ptr<TfrmMain> &w)
    {
        w = Start();
        w->resize(900, 600);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        w->findChild<QTabWidget *>(QStringLiteral("PagesControl"))->setCurrentIndex(1);
        return w.get();
    }
    // What a user does after changing a page: "Обновить".
    static void Reload(TfrmMain &w)
    {
        QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("Button2")), Qt::LeftButton);
        QApplication::processEvents();
    }
};

constexpr QRgb kRed = 0xFF0000;
constexpr QRgb kGreen = 0x00FF00;

} // namespace

TEST_F(MainPages, NoTabsWithoutInformationFolders)
{
    const struct {
        const char *what;
        bool network;
        bool pagesFolder;
        bool subfolder;
    } cases[] = {
        {"local version", false, true, true},
        {"network version without pages/", true, false, false},
        {"network version with an empty pages/", true, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.network && !testenv::HaveMysql())
            continue;
        QDir(Path(QStringLiteral("pages"))).removeRecursively();
        if (c.pagesFolder)
            QDir().mkpath(Path(QStringLiteral("pages")));
        if (c.subfolder)
            Page(QStringLiteral("A"), QStringLiteral("страница"));
        Use(c.network);
        auto w = Start();
        ASSERT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
        EXPECT_EQ(w->findChild<QTabWidget *>(), nullptr);
        EXPECT_TRUE(MenusEnabled(*w));
        EXPECT_TRUE(w->findChild<QWidget *>(QStringLiteral("pnlPagesFind"))->isHidden());
    }
}

TEST_F(MainPages, OneTabPerFolderInReverseListingOrder)
{
    REQUIRE_MYSQL();
    UseNetworkSample();
    for (const char *name : {"A", "B", "C"})
        Page(QString::fromLatin1(name), QStringLiteral("Папка ") + QString::fromLatin1(name));
    Page(QStringLiteral(".hidden"), QStringLiteral("скрыта"));
    Page(QStringLiteral("locked"), QStringLiteral("только чтение"));
    QDir().mkpath(Path(QStringLiteral("pages/Пусто"))); // no index.html: an empty tab
    const QString locked = Path(QStringLiteral("pages/locked"));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    QStringList expected{QStringLiteral("Selbran")};
    for (const auto &entry : std::filesystem::directory_iterator(Path(QStringLiteral("pages")).toStdString())) {
        const QString name = QString::fromStdString(entry.path().filename().string());
        if (!name.startsWith(u'.') && name != QStringLiteral("locked"))
            expected.insert(1, name);
    }
    auto w = Start();
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    w->show();
    EXPECT_EQ(Tabs(*w), expected);
    auto *tabs = w->findChild<QTabWidget *>(QStringLiteral("PagesControl"));
    // The catalogue's controls live on the first tab.
    EXPECT_TRUE(tabs->widget(0)->isAncestorOf(w->findChild<QTreeWidget *>(QStringLiteral("TreeView"))));
    EXPECT_TRUE(tabs->widget(0)->isAncestorOf(w->findChild<QWidget *>(QStringLiteral("ToolBar1"))));
    EXPECT_TRUE(tabs->widget(0)->isAncestorOf(w->findChild<QWidget *>(QStringLiteral("StatusBar1"))));
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_TRUE(MenusEnabled(*w));
    QWidget *bar = w->findChild<QWidget *>(QStringLiteral("pnlPagesFind"));
    EXPECT_FALSE(bar->isVisible());

    for (int i = 1; i < tabs->count(); ++i) {
        SCOPED_TRACE(tabs->tabText(i).toStdString());
        tabs->setCurrentIndex(i);
        EXPECT_TRUE(bar->isVisible());
        EXPECT_TRUE(tabs->widget(i)->isAncestorOf(bar));
        EXPECT_FALSE(MenusEnabled(*w));
        const QString text = Viewer(*w)->toPlainText();
        EXPECT_EQ(text, tabs->tabText(i) == QStringLiteral("Пусто") ? QString()
                                                                    : QStringLiteral("Папка ") + tabs->tabText(i));
    }
    tabs->setCurrentIndex(0);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(MenusEnabled(*w));
}

TEST_F(MainPages, FindAsYouTypeF3WrapsAndReloadKeepsThePlace)
{
    REQUIRE_MYSQL();
    UseNetworkSample();
    QString body = QStringLiteral("<p>Альфа бета АЛЬФА гамма</p>");
    for (int i = 0; i < 200; ++i)
        body += QStringLiteral("<p>строка %1</p>").arg(i);
    body += QStringLiteral("<p>альфа в конце</p>");
    Page(QStringLiteral("A"), body);
    auto w = Start();
    w->resize(900, 600);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    auto *tabs = w->findChild<QTabWidget *>(QStringLiteral("PagesControl"));
    tabs->setCurrentIndex(1);
    QTextBrowser *viewer = Viewer(*w);
    auto *edit = w->findChild<QLineEdit *>(QStringLiteral("Edit1"));

    // Every keystroke searches; the match grows with the word.
    Type(edit, QStringLiteral("аль"));
    EXPECT_EQ(Selected(viewer), QStringLiteral("Аль"));
    EXPECT_EQ(SelectionStart(viewer), 0);
    Type(edit, QStringLiteral("фа"));
    EXPECT_EQ(Selected(viewer), QStringLiteral("Альфа"));
    EXPECT_EQ(SelectionStart(viewer), 0);

    // F3 in the field, F3 in the page and "Найти": the next match, then
    // from the top again.
    const int second = viewer->toPlainText().indexOf(QStringLiteral("АЛЬФА"));
    const int last = viewer->toPlainText().lastIndexOf(QStringLiteral("альфа"));
    QTest::keyClick(edit, Qt::Key_F3);
    EXPECT_EQ(SelectionStart(viewer), second);
    QTest::keyClick(viewer, Qt::Key_F3);
    EXPECT_EQ(SelectionStart(viewer), last);
    EXPECT_GT(viewer->verticalScrollBar()->value(), 0);
    QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("btnPagesFind")), Qt::LeftButton);
    EXPECT_EQ(SelectionStart(viewer), 0);
    EXPECT_EQ(Selected(viewer), QStringLiteral("Альфа"));
    EXPECT_EQ(viewer->verticalScrollBar()->value(), 0);

    // A word that is not there: the top, nothing selected.
    QTest::keyClick(viewer, Qt::Key_F3);
    Type(edit, QStringLiteral("щщ"));
    EXPECT_EQ(Selected(viewer), QString());
    EXPECT_EQ(viewer->verticalScrollBar()->value(), 0);

    // Ctrl+F in the page: into the field with its text selected.
    viewer->setFocus();
    QTest::keyClick(viewer, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->selectedText(), QStringLiteral("альфащщ"));

    // "Обновить": the changed page at the same place.
    viewer->verticalScrollBar()->setValue(300);
    Page(QStringLiteral("A"), body + QStringLiteral("<p>новая строка</p>"));
    QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("Button2")), Qt::LeftButton);
    EXPECT_TRUE(viewer->toPlainText().contains(QStringLiteral("новая строка")));
    EXPECT_EQ(viewer->verticalScrollBar()->value(), 300);
}

TEST_F(MainPages, APageReadsOnlyRegularFilesOfItsOwnFolder)
{
    REQUIRE_MYSQL();
    UseNetworkSample();
    // Red things lie outside the page's folder, green ones inside.
    Picture(QStringLiteral("outside/red.png"), kRed);
    WriteFile(QStringLiteral("outside/red.css"), QStringLiteral("p { background-color: #ff0000 }"));
    WriteFile(QStringLiteral("outside/page.html"), QStringLiteral("<p>Чужая страница</p>"));
    Picture(QStringLiteral("pages/A/green.png"), kGreen);
    WriteFile(QStringLiteral("pages/A/green.css"), QStringLiteral("p { background-color: #00ff00 }"));
    WriteFile(QStringLiteral("pages/A/inner.html"), QStringLiteral("<p>Своя страница</p>"));
    const QString outside = Path(QStringLiteral("outside"));
    const QString folder = Path(QStringLiteral("pages/A"));
    ASSERT_TRUE(QFile::link(outside + QStringLiteral("/red.png"), folder + QStringLiteral("/out.png")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), folder + QStringLiteral("/zero.png")));
    const QByteArray pipe = QFile::encodeName(folder + QStringLiteral("/pipe.png"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    // A real picture, padded past any size a page may need.
    Picture(QStringLiteral("pages/A/big.png"), kRed);
    {
        QFile big(folder + QStringLiteral("/big.png"));
        ASSERT_TRUE(big.resize(17 * 1024 * 1024));
    }
    Page(QStringLiteral("A"), QStringLiteral("страница"));

    std::unique_ptr<TfrmMain> window;
    TfrmMain &w = *StartOnFirstTab(window);
    QTextBrowser *viewer = Viewer(w);

    const struct {
        const char *what;
        QString body;
        QString head;
        QRgb shown;   // a colour the page shows
        QRgb refused; // a colour it must not show
    } cases[] = {
        {"a picture of its own folder", QStringLiteral("<img src=\"green.png\">"), {}, kGreen, kRed},
        {"a style sheet of its own folder", QStringLiteral("<p>текст</p>"),
         QStringLiteral("<link rel=\"stylesheet\" type=\"text/css\" href=\"green.css\">"), kGreen, kRed},
        {"a picture up and out",
         QStringLiteral("<img src=\"green.png\"><img src=\"../../outside/red.png\">"),
         {},
         kGreen,
         kRed},
        {"a picture by absolute path",
         QStringLiteral("<img src=\"green.png\"><img src=\"%1/red.png\">").arg(outside),
         {},
         kGreen,
         kRed},
        {"a file:// picture",
         QStringLiteral("<img src=\"green.png\"><img src=\"%1\">")
             .arg(QUrl::fromLocalFile(outside + QStringLiteral("/red.png")).toString()),
         {},
         kGreen,
         kRed},
        {"a link in the folder that leads out",
         QStringLiteral("<img src=\"green.png\"><img src=\"out.png\">"),
         {},
         kGreen,
         kRed},
        {"a file:// style sheet", QStringLiteral("<img src=\"green.png\"><p>текст</p>"),
         QStringLiteral("<link rel=\"stylesheet\" type=\"text/css\" href=\"%1\">")
             .arg(QUrl::fromLocalFile(outside + QStringLiteral("/red.css")).toString()),
         kGreen, kRed},
        {"a picture too big to read", QStringLiteral("<img src=\"green.png\"><img src=\"big.png\">"), {}, kGreen, kRed},
        {"a picture that is a FIFO", QStringLiteral("<img src=\"green.png\"><img src=\"pipe.png\">"), {}, kGreen, kRed},
        {"endless devices",
         QStringLiteral("<img src=\"green.png\"><img src=\"/dev/zero\"><img src=\"file:///dev/zero\">"
                        "<img src=\"zero.png\">"),
         {},
         kGreen,
         kRed},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        // Whoever opens the FIFO to read would wait for a writer for ever;
        // this one comes after a while and tells.
        std::atomic<bool> loaded{false};
        std::atomic<bool> waited{false};
        std::thread writer([&] {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            while (!loaded && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const int fd = ::open(pipe.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                waited = true;
                ::close(fd);
            }
        });
        Page(QStringLiteral("A"), c.body, c.head);
        Reload(w);
        const int shown = Pixels(viewer, c.shown);
        const int refused = Pixels(viewer, c.refused);
        loaded = true;
        writer.join();
        EXPECT_FALSE(waited) << "the page waited for a FIFO";
        EXPECT_GT(shown, 200);
        EXPECT_EQ(refused, 0);
    }

    // Names the page might use, and what the view hands it for each.
    for (const QString &name : {QStringLiteral("file:///etc/hostname"), QStringLiteral("/etc/group"),
                                QStringLiteral("../../outside/page.html")}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(viewer->loadResource(QTextDocument::StyleSheetResource, QUrl(name)).toByteArray().isEmpty());
    }
    EXPECT_FALSE(viewer->loadResource(QTextDocument::StyleSheetResource, QUrl(QStringLiteral("green.css")))
                     .toByteArray()
                     .isEmpty());

    // Links: a page of the folder opens, one outside does not.
    Page(QStringLiteral("A"), QStringLiteral("<p><a href=\"../../outside/page.html\">чужая</a> и "
                                             "<a href=\"%1\">по адресу</a> и <a href=\"inner.html\">своя</a></p>")
                                  .arg(QUrl::fromLocalFile(outside + QStringLiteral("/page.html")).toString()));
    Reload(w);
    const QString page = viewer->toPlainText();
    for (const QString &link : {QStringLiteral("чужая"), QStringLiteral("по адресу")}) {
        SCOPED_TRACE(link.toStdString());
        QTest::mouseClick(viewer->viewport(), Qt::LeftButton, {}, PointOf(viewer, page.indexOf(link) + 1));
        EXPECT_EQ(viewer->toPlainText(), page);
    }
    QTest::mouseClick(viewer->viewport(), Qt::LeftButton, {},
                      PointOf(viewer, page.indexOf(QStringLiteral("своя")) + 1));
    EXPECT_EQ(viewer->toPlainText(), QStringLiteral("Своя страница"));
}

TEST_F(MainPages, NarrowColumnsKeepTheirWordsWhole)
{
    REQUIRE_MYSQL();
    UseNetworkSample();
    QFile card(QStringLiteral(TREVIN_TEST_DATA "/card/all_sections.table.network.html"));
    ASSERT_TRUE(card.open(QIODevice::ReadOnly));
    const QString savedCard = QString::fromUtf8(card.readAll());
    Page(QStringLiteral("A"), QStringLiteral("страница"));
    std::unique_ptr<TfrmMain> window;
    TfrmMain &w = *StartOnFirstTab(window);
    QTextBrowser *viewer = Viewer(w);

    const struct {
        const char *what;
        QString body;
        QString label;
    } cases[] = {
        {"a publisher's table",
         QStringLiteral("<table width=\"100%\"><tr><td width=\"1%\"><b>Адрес</b></td><td>г. Екатеринбург, "
                        "ул. Шевченко 83, оф. 290, вход со двора, третий этаж, направо от лестницы</td></tr></table>"),
         QStringLiteral("Адрес")},
        {"a saved organisation card", savedCard, QStringLiteral("Адрес")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        Page(QStringLiteral("A"), c.body);
        Reload(w);
        const QTextCursor found = viewer->document()->find(c.label);
        ASSERT_FALSE(found.isNull());
        const QTextBlock block = found.block();
        ASSERT_EQ(block.text(), c.label);
        ASSERT_NE(block.layout(), nullptr);
        EXPECT_EQ(block.layout()->lineCount(), 1);
    }
}

TEST_F(MainPages, TypingSearchesOnFromWhereTheUserIs)
{
    REQUIRE_MYSQL();
    UseNetworkSample();
    Page(QStringLiteral("A"), QStringLiteral("<p>Альфа бета АЛЬФА гамма</p><p>альфа в конце</p>"));
    std::unique_ptr<TfrmMain> window;
    TfrmMain &w = *StartOnFirstTab(window);
    QTextBrowser *viewer = Viewer(w);
    auto *edit = w.findChild<QLineEdit *>(QStringLiteral("Edit1"));
    const QString text = viewer->toPlainText();
    const int second = text.indexOf(QStringLiteral("АЛЬФА"));
    const int last = text.lastIndexOf(QStringLiteral("альфа"));

    // The user picks the second word with a double click and types: the
    // search goes on after it.
    QTest::mouseDClick(viewer->viewport(), Qt::LeftButton, {}, PointOf(viewer, second + 2));
    ASSERT_EQ(Selected(viewer), QStringLiteral("АЛЬФА"));
    edit->setFocus();
    Type(edit, QStringLiteral("аль"));
    EXPECT_EQ(SelectionStart(viewer), last);
    // Typing on refines the match it found rather than jumping past it.
    Type(edit, QStringLiteral("фа"));
    EXPECT_EQ(SelectionStart(viewer), last);
    EXPECT_EQ(Selected(viewer), QStringLiteral("альфа"));
    // Taking letters back keeps it too.
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(SelectionStart(viewer), last);
    EXPECT_EQ(Selected(viewer), QStringLiteral("альф"));
    // F3 goes on from the top; the next letter refines what it found.
    QTest::keyClick(edit, Qt::Key_F3);
    EXPECT_EQ(SelectionStart(viewer), 0);
    Type(edit, QStringLiteral("а"));
    EXPECT_EQ(SelectionStart(viewer), 0);
    EXPECT_EQ(Selected(viewer), QStringLiteral("Альфа"));
}
