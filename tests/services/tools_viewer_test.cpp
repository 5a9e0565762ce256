#include "services/tools_viewer.h"

#include "components/SDialogs.h"
#include "platform/sessionbus.h"

#include "silentsocket.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextCursor>
#include <QThread>

#include <functional>
#include <stdexcept>
#include <vector>

namespace {

class HtmlViewerKeys : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_viewer.setHtml(QStringLiteral("<p><b>Телефоны</b><br>(343) 371-25-40<br>222-33-44</p>"));
        QGuiApplication::clipboard()->setText(QStringLiteral("прежнее"));
    }

    void SelectFirstWord()
    {
        QTextCursor c(m_viewer.document());
        c.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
        m_viewer.setTextCursor(c);
    }

    QTextBrowser m_viewer;
};

TEST_F(HtmlViewerKeys, CtrlASelectsTheWholePage)
{
    HandleHtmlViewerKeys(&m_viewer, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(m_viewer.textCursor().selectionStart(), 0);
    EXPECT_EQ(m_viewer.textCursor().selectionEnd(), m_viewer.document()->characterCount() - 1);
}

TEST_F(HtmlViewerKeys, CopyKeysPutTheSelectionAsLines)
{
    HandleHtmlViewerKeys(&m_viewer, Qt::Key_A, Qt::ControlModifier);
    HandleHtmlViewerKeys(&m_viewer, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Телефоны\n(343) 371-25-40\n222-33-44"));

    SelectFirstWord();
    HandleHtmlViewerKeys(&m_viewer, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Телефоны"));
}

TEST_F(HtmlViewerKeys, ShiftOrAltWithCtrlDoNotMatterButCtrlIsNeeded)
{
    SelectFirstWord();
    HandleHtmlViewerKeys(&m_viewer, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Телефоны"));

    QGuiApplication::clipboard()->setText(QStringLiteral("прежнее"));
    HandleHtmlViewerKeys(&m_viewer, Qt::Key_C, Qt::ShiftModifier);
    HandleHtmlViewerKeys(&m_viewer, Qt::Key_A, Qt::NoModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("прежнее"));
    EXPECT_EQ(m_viewer.textCursor().selectedText(), QStringLiteral("Телефоны"));
}

TEST_F(HtmlViewerKeys, EmptySelectionCopiesNothing)
{
    HandleHtmlViewerKeys(&m_viewer, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("прежнее"));
    HandleHtmlViewerKeys(nullptr, Qt::Key_C, Qt::ControlModifier); // no viewer: nothing happens
}

class OpenDocuments : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetOpenDocumentHook([this](const QUrl &url) { m_opened.push_back(url); });
    }
    void TearDown() override { SetOpenDocumentHook({}); }

    std::vector<QUrl> m_opened;
};

TEST_F(OpenDocuments, LinksMailAndFilesReachTheDesktopAsUrls)
{
    OpenDocument(QStringLiteral("http://www.alfa.ru"));
    OpenDocument(QStringLiteral("mailto:info@alfa.ru"));
    OpenDocument(QStringLiteral("/opt/trevin/pages/help/index.html"));
    ASSERT_EQ(m_opened.size(), 3u);
    EXPECT_EQ(m_opened[0], QUrl(QStringLiteral("http://www.alfa.ru")));
    EXPECT_EQ(m_opened[1].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(m_opened[1].path(), QStringLiteral("info@alfa.ru"));
    EXPECT_TRUE(m_opened[2].isLocalFile());
    EXPECT_EQ(m_opened[2].toLocalFile(), QStringLiteral("/opt/trevin/pages/help/index.html"));
}

TEST_F(OpenDocuments, FailuresOnTheWayAreSwallowed)
{
    SetOpenDocumentHook([](const QUrl &) { throw std::runtime_error("no handler"); });
    EXPECT_NO_THROW(OpenDocument(QStringLiteral("http://www.alfa.ru")));
}

TEST_F(OpenDocuments, FeedbackOpensANewMailToTheMaker)
{
    OpenFeedbackMail();
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(m_opened[0].path(), FeedbackAddress());
    EXPECT_TRUE(FeedbackAddress().contains(u'@'));
}

// The start put a stand-in in place of a silent session bus; the browser or
// mail program opened for a link must still reach the user's own bus. A
// stand-in for xdg-open, first in PATH, tells what it was given.
TEST(OpenDocumentOnDesktop, ProgramsOpenedAfterASilentBusGetTheUsersBus)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    testbus::TSilentSocket silent(dir.filePath(QStringLiteral("bus")));
    ASSERT_TRUE(silent.Listening());
    const QString seen = dir.filePath(QStringLiteral("seen"));
    {
        QFile opener(dir.filePath(QStringLiteral("xdg-open")));
        ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
        opener.write(
            "#!/bin/sh\nprintf '%s\\n%s\\n' \"$DBUS_SESSION_BUS_ADDRESS\" \"$1\" > \"$0.part\" && mv \"$0.part\" '" +
            QFile::encodeName(seen) + "'\n");
        opener.close();
        ASSERT_TRUE(opener.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    }
    // Everything is put back however the test ends.
    struct TRestore {
        QByteArray path = qgetenv("PATH");
        bool hadAddress = qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS");
        QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        ~TRestore()
        {
            SetMessageBoxHook(nullptr);
            qputenv("PATH", path);
            if (hadAddress)
                qputenv("DBUS_SESSION_BUS_ADDRESS", address);
            else
                qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        }
    } restore;
    qputenv("PATH", QFile::encodeName(dir.path()) + ':' + restore.path);
    qputenv("DBUS_SESSION_BUS_ADDRESS", silent.Address().toUtf8());
    ASSERT_TRUE(DropSilentSessionBus(1000));
    SetOpenDocumentHook({});
    QStringList shown;
    SetMessageBoxHook([&shown](const TMessageBoxCall &call) {
        shown << call.text;
        return 1;
    });

    const QString page = dir.filePath(QStringLiteral("page.html"));
    const struct {
        const char *link;
        std::function<void()> open;
        QString argument;
    } cases[] = {
        {"web link", [] { OpenDocument(QStringLiteral("http://www.alfa.ru/")); },
         QStringLiteral("http://www.alfa.ru/")},
        {"feedback mail", [] { OpenFeedbackMail(); }, QStringLiteral("mailto:") + FeedbackAddress()},
        {"file", [&page] { OpenDocument(page); }, QUrl::fromLocalFile(page).toString(QUrl::FullyEncoded)},
    };
    for (const auto &c : cases) {
        QFile::remove(seen);
        c.open();
        const QDeadlineTimer deadline(10000);
        while (!QFile::exists(seen) && !deadline.hasExpired())
            QThread::msleep(20);
        QFile file(seen);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.link << ": the opener did not run";
        const QList<QByteArray> lines = file.readAll().split('\n');
        ASSERT_GE(lines.size(), 2) << c.link;
        EXPECT_EQ(QString::fromUtf8(lines[0]), silent.Address()) << c.link;
        EXPECT_EQ(QString::fromUtf8(lines[1]), c.argument) << c.link;
    }
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
}

} // namespace

// A page that names a red picture and a red style sheet on disk, by file
// address, by plain path and relative to the viewer's search path.
TEST(CardViewer, LoadsNothingThePageNames)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage red(40, 40, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString picture = dir.filePath(QStringLiteral("red.png"));
    ASSERT_TRUE(red.save(picture));
    const QString sheet = dir.filePath(QStringLiteral("red.css"));
    {
        QFile f(sheet);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("p { color: #ff0000; font-size: 40px; font-weight: bold }");
    }
    const QString pages[] = {
        QStringLiteral("<img src=") + QUrl::fromLocalFile(picture).toString() + QStringLiteral(">"),
        QStringLiteral("<img src=\"") + picture + QStringLiteral("\">"),
        QStringLiteral("<img src=red.png>"),
        QStringLiteral("<html><head><link rel=\"stylesheet\" type=\"text/css\" href=\"") +
            QUrl::fromLocalFile(sheet).toString() +
            QStringLiteral("\"></head><body><p>Текст карточки</p></body></html>"),
    };
    const auto redPixels = [&dir](QTextBrowser &viewer, const QString &page) {
        viewer.setSearchPaths({dir.path()});
        viewer.resize(300, 200);
        viewer.setHtml(page);
        const QImage shot = viewer.grab().toImage();
        int n = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                n += shot.pixel(x, y) == qRgb(255, 0, 0);
        return n;
    };
    for (const QString &page : pages) {
        QTextBrowser plain;
        ASSERT_GT(redPixels(plain, page), 0) << "a plain viewer reads it: " << page.toStdString();
        TCardViewer card;
        EXPECT_EQ(redPixels(card, page), 0) << page.toStdString();
    }
}
