#include "components/Progress.h"

#include "components/givLabel.h"
#include "platform/application.h"
#include "data/dberror.h"
#include "platform/screen.h"
#include "rununtil.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>
#include <utility>

namespace {

QString S(const char16_t *text)
{
    return QString::fromUtf16(text);
}

// The shape of every job: one item, a text for the counts ProgressStep picks,
// a look at the stop flag. beforeItem runs at the start of each item.
int WalkItems(int items, const std::function<void(int)> &beforeItem = {})
{
    int n = 0;
    for (; n < items; ++n) {
        if (beforeItem)
            beforeItem(n);
        if (ProgressStep(n))
            SetProgressText(S(u" Отмечено ") + QString::number(n) + S(u" позиций"));
        if (ProgressStopFlag)
            break;
    }
    StopProgress();
    return n;
}

// Queues a user action; SetProgressText's event processing delivers it.
void Later(std::function<void()> action)
{
    QMetaObject::invokeMethod(qApp, std::move(action), Qt::QueuedConnection);
}

QString LabelText(const TgivHTMLabel *label)
{
    QString text;
    for (int i = 0; i < label->Elements().Count(); ++i)
        text += label->Elements()[i].Text;
    return text;
}

// The window the program entry makes at start, made once for this test
// program and reused by every job, as in the program.
class TProgressWindow : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_window = std::make_unique<TfrmProgress>();
        frmProgress = m_window.get();
    }
    void TearDown() override { m_window.reset(); }

private:
    std::unique_ptr<TfrmProgress> m_window;
};

[[maybe_unused]] ::testing::Environment *const kProgressWindow =
    ::testing::AddGlobalTestEnvironment(new TProgressWindow);

} // namespace

TEST(Progress, OneWindowServesEveryJobAndAJobWithoutItGetsItsOwn)
{
    TfrmProgress *const program = frmProgress;
    ASSERT_NE(program, nullptr);
    QObject *first = nullptr;
    QObject *second = nullptr;
    RunWithProgress(0, S(u"первая"), [&](QObject *sender) {
        first = sender;
        StopProgress();
    });
    RunWithProgress(0, S(u"вторая"), [&](QObject *sender) {
        second = sender;
        StopProgress();
    });
    EXPECT_EQ(first, program);
    EXPECT_EQ(second, program);

    // Before start-up has made the window.
    frmProgress = nullptr;
    QPointer<QObject> own;
    bool shown = false;
    RunWithProgress(5, S(u"своё окно"), [&](QObject *sender) {
        own = sender;
        shown = sender == frmProgress && frmProgress->isVisible();
        StopProgress();
    });
    EXPECT_TRUE(shown);
    EXPECT_TRUE(own.isNull()) << "the job's own window goes with the job";
    EXPECT_EQ(frmProgress, nullptr);
    frmProgress = program;
}

TEST(Progress, StepAnswersForTheCountsThatRefreshTheText)
{
    for (int n : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 90, 100, 200, 1000, 1500})
        EXPECT_TRUE(ProgressStep(n)) << n;
    for (int n : {11, 15, 99, 101, 150, 999, 1050})
        EXPECT_FALSE(ProgressStep(n)) << n;
}

TEST(Progress, JobRunsOnceInsideTheModalWindow)
{
    int calls = 0;
    RunWithProgress(50, S(u"Пометить позиции ..."), [&](QObject *sender) {
        ++calls;
        ASSERT_EQ(sender, frmProgress);
        EXPECT_TRUE(frmProgress->isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), frmProgress);
        EXPECT_EQ(frmProgress->windowTitle(), S(u"Пометить позиции ..."));
        EXPECT_EQ(LabelText(frmProgress->givHTMLabel1), S(u"Подготовка данных..."));
        EXPECT_FALSE(frmProgress->givHTMLabel2->isVisible());
        EXPECT_TRUE(frmProgress->ProgressBar1->isVisible());
        EXPECT_EQ(frmProgress->ProgressBar1->maximum(), 50);
        EXPECT_EQ(frmProgress->ProgressBar1->value(), 0);
        EXPECT_FALSE(ProgressStopFlag);

        // Activating the window again does not start the job again.
        frmProgress->activateWindow();
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(frmProgress, &activate);
        SetProgressText(S(u"<b>30</b> из 50"));
        EXPECT_TRUE(ProgressStep(30));
        EXPECT_EQ(frmProgress->ProgressBar1->value(), 30);
        EXPECT_FALSE(ProgressStep(31));
        EXPECT_EQ(frmProgress->ProgressBar1->value(), 30);
        ASSERT_EQ(frmProgress->givHTMLabel1->Elements().Count(), 2);
        EXPECT_EQ(frmProgress->givHTMLabel1->Elements()[0].Style, fsBold);
        QTest::qWait(20); // timer ticks during the job leave the window open
        EXPECT_TRUE(frmProgress->isVisible());
        StopProgress();
    });
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(frmProgress->isVisible());
    EXPECT_FALSE(frmProgress->Busy());
}

TEST(Progress, WindowHasNoCloseBoxAndShowsTheHourglass)
{
    RunWithProgress(0, S(u"Подготовка данных..."), [](QObject *) {
        EXPECT_FALSE(frmProgress->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_EQ(frmProgress->size(), QSize(375, 127));
        EXPECT_EQ(frmProgress->cursor().shape(), Qt::WaitCursor);
        EXPECT_EQ(frmProgress->ProgressBar1->cursor().shape(), Qt::WaitCursor);
        EXPECT_EQ(frmProgress->Button1->text(), S(u"Отмена"));
        EXPECT_EQ(frmProgress->givHTMLabel1->property("charset").toInt(), 204);
        EXPECT_TRUE(frmProgress->Button1->isVisible());
        // Max 0: only the text line.
        EXPECT_FALSE(frmProgress->ProgressBar1->isVisible());
        EXPECT_TRUE(frmProgress->givHTMLabel1->isVisible());
        // A close request stops the job instead of pulling the window away.
        frmProgress->close();
        EXPECT_TRUE(frmProgress->isVisible());
        EXPECT_TRUE(ProgressStopFlag);
    });
    EXPECT_FALSE(frmProgress->isVisible());
}

TEST(Progress, CancelButtonStopsTheJobAtTheItemReached)
{
    int stoppedAt = -1;
    RunWithProgress(1000, S(u"Пометить позиции ..."), [&](QObject *) {
        stoppedAt = WalkItems(1000, [](int n) {
            if (n == 7)
                Later([] { QTest::mouseClick(frmProgress->Button1, Qt::LeftButton); });
        });
    });
    EXPECT_EQ(stoppedAt, 7);
    EXPECT_TRUE(ProgressStopFlag);
    EXPECT_FALSE(frmProgress->isVisible());

    // A click between refreshes is only seen at the next text.
    RunWithProgress(1000, S(u"Пометить позиции ..."), [&](QObject *) {
        stoppedAt = WalkItems(1000, [](int n) {
            if (n == 15)
                Later([] { QTest::mouseClick(frmProgress->Button1, Qt::LeftButton); });
        });
    });
    EXPECT_EQ(stoppedAt, 20);
}

TEST(Progress, EscAndEnterStopTheJobLikeTheButton)
{
    struct Key {
        Qt::Key key;
        bool onButton;
    };
    for (const Key k : {Key{Qt::Key_Escape, false}, Key{Qt::Key_Return, false}, Key{Qt::Key_Enter, true},
                        Key{Qt::Key_Escape, true}}) {
        int stoppedAt = -1;
        RunWithProgress(100, S(u"Подготовка данных..."), [&](QObject *) {
            stoppedAt = WalkItems(100, [&](int n) {
                if (n == 4)
                    Later([&] {
                        QWidget *target = k.onButton ? static_cast<QWidget *>(frmProgress->Button1)
                                                     : static_cast<QWidget *>(frmProgress);
                        QTest::keyClick(target, k.key);
                    });
            });
        });
        EXPECT_EQ(stoppedAt, 4) << k.key;
        EXPECT_FALSE(frmProgress->isVisible());
    }
}

TEST(Progress, JobWithoutStopProgressStillClosesTheWindow)
{
    bool ran = false;
    RunWithProgress(3, S(u"Подготовка данных..."), [&](QObject *) { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(frmProgress->isVisible());
    EXPECT_FALSE(ProgressStopFlag);

    // Callers stop the runner again after it returned; that must be harmless.
    StopProgress();
    EXPECT_TRUE(ProgressStopFlag);
    EXPECT_TRUE(testbus::RunUntil([] { return !frmProgress->Timer1->isActive(); }));
    EXPECT_FALSE(frmProgress->isVisible());
}

TEST(Progress, SecondRunStartsClean)
{
    RunWithProgress(10, S(u"first"), [](QObject *) {
        ProgressStep(9);
        SetProgressText(QStringLiteral("nine"));
        StopProgress();
    });
    ASSERT_TRUE(ProgressStopFlag);
    RunWithProgress(20, S(u"second"), [](QObject *) {
        EXPECT_FALSE(ProgressStopFlag);
        EXPECT_EQ(frmProgress->ProgressBar1->value(), 0);
        EXPECT_EQ(frmProgress->ProgressBar1->maximum(), 20);
        EXPECT_EQ(frmProgress->windowTitle(), S(u"second"));
        EXPECT_EQ(LabelText(frmProgress->givHTMLabel1), S(u"Подготовка данных..."));
    });
}

TEST(Progress, FailingJobClosesTheWindowAndReachesTheCaller)
{
    Screen::SetActiveCursor(crDefault);
    int items = 0;
    EXPECT_THROW(RunWithProgress(100, S(u"Подготовка данных..."),
                                 [&](QObject *) {
                                     WalkItems(3, [&](int) { ++items; });
                                     Screen::SetActiveCursor(crHourGlass);
                                     throw EDatabaseError(QStringLiteral("Lost connection"));
                                 }),
                 EDatabaseError);
    EXPECT_EQ(items, 3);
    EXPECT_FALSE(frmProgress->isVisible());
    EXPECT_FALSE(frmProgress->Busy());
    EXPECT_FALSE(frmProgress->Timer1->isActive());
    EXPECT_EQ(Screen::ActiveCursor(), crDefault);

    int stoppedAt = -1;
    RunWithProgress(100, S(u"Подготовка данных..."), [&](QObject *) {
        EXPECT_FALSE(ProgressStopFlag);
        stoppedAt = WalkItems(12);
    });
    EXPECT_EQ(stoppedAt, 12);
    EXPECT_FALSE(frmProgress->isVisible());
}

TEST(Progress, FailingJobReachesTheDefaultErrorHandler)
{
    QStringList shown;
    TApplication::SetExceptionHandler([&](const QString &text) { shown << text; });
    const bool handled = TApplication::DeliverSafely([] {
        RunWithProgress(5, S(u"Подготовка данных..."),
                        [](QObject *) { throw EDatabaseError(QStringLiteral("Lost connection")); });
        return true;
    });
    TApplication::SetExceptionHandler(nullptr);
    EXPECT_FALSE(handled);
    EXPECT_EQ(shown, QStringList{QStringLiteral("Lost connection")});
    EXPECT_FALSE(frmProgress->isVisible());
}

TEST(Progress, JobCannotStartAnotherJob)
{
    bool innerRan = false;
    EXPECT_THROW(
        RunWithProgress(1, S(u"outer"),
                        [&](QObject *) { RunWithProgress(1, S(u"inner"), [&](QObject *) { innerRan = true; }); }),
        Exception);
    EXPECT_FALSE(innerRan);
    EXPECT_FALSE(frmProgress->isVisible());
    EXPECT_FALSE(frmProgress->Busy());
}

TEST(Progress, AFastJobIsPaintedAtAFrameRateAndEndsPaintedAsItStands)
{
    // Counts the label's paints and what it showed at each.
    struct TPaints : QObject {
        int count = 0;
        QString last;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Paint) {
                ++count;
                last = LabelText(static_cast<TgivHTMLabel *>(watched));
            }
            return false;
        }
    } paints;
    QString lastText;
    // A window of its own, new on the screen: the offscreen platform paints
    // a window shown again only on its first expose.
    TfrmProgress *const program = std::exchange(frmProgress, nullptr);
    RunWithProgress(100000, S(u"Подготовка данных..."), [&](QObject *sender) {
        auto *window = static_cast<TfrmProgress *>(sender);
        window->givHTMLabel1->installEventFilter(&paints);
        QElapsedTimer clock;
        clock.start();
        // Thousands of texts, far more than frames, for some 400 ms on end.
        const auto textOf = [](int n) { return S(u" Отмечено ") + QString::number(n) + S(u" позиций"); };
        int n = 0;
        for (; n < 3000 || clock.elapsed() < 400; ++n) {
            ProgressStep(n);
            SetProgressText(textOf(n));
        }
        lastText = textOf(n - 1);
        const qint64 spent = clock.elapsed();
        EXPECT_LE(paints.count, spent / 40 + 3) << spent << " ms";
        EXPECT_GE(paints.count, 3) << "painted all through a busy job, " << spent << " ms";
        EXPECT_EQ(window->givHTMLabel1->Lines(), QStringList(lastText)) << "every text is set";
        EXPECT_EQ(window->ProgressBar1->value(), (n - 1) / 100 * 100) << "and every bar position";
        // A pause in the texts: the latest one reaches the screen.
        QElapsedTimer wait;
        wait.start();
        while (paints.last != lastText && wait.elapsed() < 2000)
            QCoreApplication::processEvents();
        EXPECT_EQ(paints.last, lastText);
        EXPECT_TRUE(window->givHTMLabel1->updatesEnabled() && window->ProgressBar1->updatesEnabled());
        window->givHTMLabel1->removeEventFilter(&paints);
        StopProgress();
    });
    frmProgress = program;
}
