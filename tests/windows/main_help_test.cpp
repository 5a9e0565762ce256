#include "main_fixture.h"

#include "services/globals.h"
#include "services/tools_dbdate.h"
#include "services/tools_viewer.h"
#include "windows/cursor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

class MainHelpTest : public TMainWindowFixture
{
protected:
    void SetUp() override
    {
        TMainWindowFixture::SetUp();
        MakeCatalogue();
        WriteIni(QString());
        SetOpenDocumentHook([this](const QUrl &url) { opened.append(url.toString()); });
    }
    void TearDown() override
    {
        SetOpenDocumentHook({});
        FreeAnimatedCursors();
        DetectWine({QStringLiteral("trevin")});
        Screen::ClearCursor(crSQLWait);
        Screen::ClearCursor(1);
        TMainWindowFixture::TearDown();
    }
    static QAction *Entry(QMenu *menu, const QString &name)
    {
        for (QAction *a : menu->actions())
            if (a->objectName() == name)
                return a;
        return nullptr;
    }
    QStringList opened;
};

} // namespace

TEST_F(MainHelpTest, HelpMenuAndRemarksButtonOpenTheMakersAddresses)
{
    auto w = Start();
    auto *help = w->findChild<QMenu *>(QStringLiteral("mnuHelp"));
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->title(), QStringLiteral("Справка"));
    QStringList entries;
    for (QAction *a : help->actions())
        entries.append(a->isSeparator() ? QStringLiteral("-") : a->objectName() + u'=' + a->text());
    EXPECT_EQ(entries,
              QStringList({QStringLiteral("N8=SELBRAN домашняя страница"), QStringLiteral("N11=Отзывы и предложения"),
                           QStringLiteral("-"), QStringLiteral("N10=О программе ...")}));

    Entry(help, QStringLiteral("N8"))->trigger();
    Entry(help, QStringLiteral("N11"))->trigger();
    auto *remarks = w->findChild<QToolButton *>(QStringLiteral("ToolButton7"));
    ASSERT_NE(remarks, nullptr);
    EXPECT_EQ(remarks->text(), QStringLiteral("Замечения"));
    EXPECT_EQ(remarks->toolTip(), QStringLiteral("Замечания"));
    QTest::mouseClick(remarks, Qt::LeftButton);
    const QString mail = QStringLiteral("mailto:") + FeedbackAddress();
    EXPECT_EQ(opened, QStringList({HomePageAddress(), mail, mail}));
    EXPECT_TRUE(HomePageAddress().contains(QStringLiteral("example.org")));
}

namespace {

// A desktop without a web browser or mail program: no launcher on the
// search path, no BROWSER.
class TNoBrowser
{
public:
    TNoBrowser()
        : m_path(qgetenv("PATH")), m_browser(qgetenv("BROWSER")), m_hadBrowser(qEnvironmentVariableIsSet("BROWSER"))
    {
        qputenv("PATH", QFile::encodeName(m_empty.path()));
        qunsetenv("BROWSER");
    }
    ~TNoBrowser()
    {
        qputenv("PATH", m_path);
        if (m_hadBrowser)
            qputenv("BROWSER", m_browser);
    }

private:
    QTemporaryDir m_empty;
    QByteArray m_path, m_browser;
    bool m_hadBrowser;
};

} // namespace

// The links of the help menu and the remarks button say so when the desktop
// has nothing to open them with.
TEST_F(MainHelpTest, LinksThatCannotBeOpenedSaySo)
{
    auto w = Start();
    SetOpenDocumentHook({});
    const TNoBrowser noBrowser;
    auto *help = w->findChild<QMenu *>(QStringLiteral("mnuHelp"));
    ASSERT_NE(help, nullptr);
    shown.clear();
    Entry(help, QStringLiteral("N8"))->trigger();
    Entry(help, QStringLiteral("N11"))->trigger();
    QTest::mouseClick(w->findChild<QToolButton *>(QStringLiteral("ToolButton7")), Qt::LeftButton);
    ASSERT_EQ(shown.size(), 3) << shown.join(u'|').toStdString();
    EXPECT_TRUE(shown[0].contains(QStringLiteral("Не удалось открыть"))) << shown[0].toStdString();
    EXPECT_TRUE(shown[0].contains(HomePageAddress())) << shown[0].toStdString();
    for (const QString &text : shown.mid(1)) {
        EXPECT_TRUE(text.contains(QStringLiteral("почтовую программу"))) << text.toStdString();
        EXPECT_TRUE(text.contains(FeedbackAddress())) << text.toStdString();
    }
}

TEST_F(MainHelpTest, AboutBoxFromTheMenuIsANewOneEachTime)
{
    auto w = Start();
    QAction *about = Entry(w->findChild<QMenu *>(QStringLiteral("mnuHelp")), QStringLiteral("N10"));
    ASSERT_NE(about, nullptr);
    QList<QPointer<QWidget>> boxes;
    for (int round = 0; round < 2; ++round) {
        QTimer::singleShot(0, [&] {
            QWidget *box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            boxes.append(box);
            EXPECT_EQ(box->windowTitle(), QStringLiteral("SELBRAN - о программе ..."));
            EXPECT_EQ(box->findChild<QLabel *>(QStringLiteral("lblVersion"))->text(), QStringLiteral("2.09"));
            QTest::mouseClick(box->findChild<QAbstractButton *>(QStringLiteral("Button1")), Qt::LeftButton);
        });
        about->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_EQ(boxes.size(), round + 1);
        EXPECT_TRUE(boxes.last().isNull()); // freed when closed
    }
}

TEST_F(MainHelpTest, StartInstallsTheWaitCursorUnlessUnderWine)
{
    for (const bool wine : {false, true}) {
        SCOPED_TRACE(wine ? "wine" : "plain");
        QStringList arguments{QStringLiteral("trevin")};
        if (wine)
            arguments.append(QStringLiteral("-Wine"));
        DetectWine(arguments);
        FreeAnimatedCursors();
        Screen::ClearCursor(crSQLWait);
        Screen::ClearCursor(1);
        auto w = Start();
        const TCursorHandle wait = Screen::CursorHandle(crSQLWait);
        const TCursorHandle one = Screen::CursorHandle(1);
        if (wine) {
            EXPECT_EQ(frmcursor, nullptr);
            EXPECT_FALSE(wait);
            EXPECT_EQ(Screen::Cursor(crSQLWait).shape(), Qt::WaitCursor);
            EXPECT_FALSE(one);
        } else {
            ASSERT_TRUE(wait);
            EXPECT_EQ(wait->StepCount(), 12);
            // The static cursor, not the animated one the cursor window put there.
            ASSERT_TRUE(one);
            EXPECT_FALSE(one->IsAnimated());
        }
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}
