#include "windows/main_catalogue.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

#include <filesystem>

namespace {

class MainPages : public TSampleWindow
{
protected:
    void Page(const QString &folder, const QString &body)
    {
        WriteFile(QStringLiteral("pages/") + folder + QStringLiteral("/index.html"),
                  QStringLiteral("<html><head><meta charset=\"windows-1251\"></head><body>") + body +
                      QStringLiteral("</body></html>"));
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
};

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
