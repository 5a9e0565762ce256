#include "windows/about.h"
#include "windows/start.h"

#include "services/tools_viewer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QExposeEvent>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <memory>

namespace {

void FlushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class AboutTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetOpenDocumentHook([this](const QUrl &url) { opened.append(url.toString()); });
    }
    void TearDown() override { SetOpenDocumentHook({}); }
    QStringList opened;
};

} // namespace

TEST_F(AboutTest, BothWindowsShowTheProgramsVersion)
{
    frmStart = new TfrmStart();
    QPointer<TfrmStart> start = frmStart;
    start->show();
    EXPECT_EQ(start->size(), QSize(400, 110));
    EXPECT_EQ(start->Label1->text(), QStringLiteral("Версия"));
    EXPECT_EQ(start->Label2->text(), QStringLiteral("2.09"));
    EXPECT_TRUE(start->Label2->font().bold());
    // Upper right corner, on the picture.
    EXPECT_GT(start->Label1->x(), 200);
    EXPECT_LT(start->Label1->y(), 20);
    EXPECT_LE(start->Label2->geometry().right(), 400);
    start->close();
    FlushDeletes();
    EXPECT_TRUE(start.isNull());
    EXPECT_EQ(frmStart, nullptr);

    TfrmAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("SELBRAN - о программе ..."));
    EXPECT_EQ(about.size(), QSize(259, 215));
    EXPECT_EQ(about.findChild<QLabel *>(QStringLiteral("lblVersion"))->text(), QStringLiteral("2.09"));
}

// Holds the window system's first expose back for a while, as a slow
// window manager leaves a freshly mapped window unpainted.
class TLateExpose : public QObject
{
public:
    explicit TLateExpose(QWindow *window) : m_window(window) { window->installEventFilter(this); }
    bool held = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::Expose || held)
            return false;
        held = true;
        QTimer::singleShot(300, this, [this] {
            QExposeEvent late(QRegion(QRect(QPoint(), m_window->size())));
            QCoreApplication::sendEvent(m_window, &late);
        });
        return true;
    }

private:
    QWindow *m_window;
};

// The splash is on the screen, painted, when the step returns, whether the
// window system paints it by itself or not.
TEST_F(AboutTest, SplashIsExposedAndPaintedWhenItsStepReturns)
{
    for (const bool eat : {false, true}) {
        SCOPED_TRACE(eat ? "late expose" : "prompt window system");
        QPointer<TfrmStart> start = new TfrmStart();
        std::unique_ptr<TLateExpose> late;
        if (eat) {
            start->winId();
            late = std::make_unique<TLateExpose>(start->windowHandle());
        }
        QElapsedTimer clock;
        clock.start();
        start->ShowPainted();
        EXPECT_LT(clock.elapsed(), 1500);
        ASSERT_NE(start->windowHandle(), nullptr);
        EXPECT_TRUE(start->windowHandle()->isExposed());
        EXPECT_GT(start->PaintCount(), 0);
        if (late) {
            EXPECT_TRUE(late->held) << "the window system did expose it";
        }
        start->close();
        FlushDeletes();
        EXPECT_TRUE(start.isNull());
    }
}

TEST_F(AboutTest, LinksOpenTheHomePageAndAMailAndOnlyAddressesOfExample)
{
    QPointer<TfrmAbout> about = new TfrmAbout();
    about->show();
    for (const char *name : {"Label2", "Label5"}) {
        auto *link = about->findChild<QLabel *>(QLatin1String(name));
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
        EXPECT_TRUE(link->text().contains(QStringLiteral("example.org")));
        QTest::mouseClick(link, Qt::LeftButton);
    }
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], HomePageAddress());
    EXPECT_EQ(opened[1], QStringLiteral("mailto:") + FeedbackAddress());
    about->close();
    FlushDeletes();
    EXPECT_TRUE(about.isNull());
}

TEST_F(AboutTest, ExitFreesTheBoxAndTheNextIsANewOne)
{
    QPointer<TfrmAbout> first = new TfrmAbout();
    first->show();
    QTest::mouseClick(first->findChild<QPushButton *>(QStringLiteral("Button1")), Qt::LeftButton);
    FlushDeletes();
    EXPECT_TRUE(first.isNull());
    QPointer<TfrmAbout> second = new TfrmAbout();
    EXPECT_EQ(second->findChild<QLabel *>(QStringLiteral("lblVersion"))->text(), QStringLiteral("2.09"));
    delete second;
}
