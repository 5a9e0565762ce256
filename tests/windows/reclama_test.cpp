#include "windows/reclama.h"

#include "services/hex_utl.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QElapsedTimer>
#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

namespace {

const QRgb kRed = qRgb(200, 30, 30);

QByteArray Picture(const char *format, QRgb colour = kRed)
{
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

bool Near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) < 24 && qAbs(qGreen(a) - qGreen(b)) < 24 && qAbs(qBlue(a) - qBlue(b)) < 24;
}

// What a person sees of one banner while it is open.
struct TSeen {
    bool shown = false;
    bool buttonVisible = false;
    QString button;
    bool noticeVisible = false;
    bool timerActive = false;
    int interval = 0;
    QSize windowSize;
    QSize pictureSize;
    bool centred = false;
    Qt::WindowFlags flags;
    QImage picture;
    bool scrollBars = true;
};

class Banner : public ::testing::Test
{
protected:
    void TearDown() override
    {
        SetBannerShownHook({});
        SetBannerInterval(0);
    }

    // Shows a banner; act is what the user does once it is on screen (it
    // gets the window), and returns what was seen.
    TSeen Show(
        const QByteArray &bytes, bool isLast, bool withButton,
        std::function<void(TfrmReclama &)> act = [](TfrmReclama &w) { w.Button1->click(); })
    {
        TSeen seen;
        SetBannerShownHook([&](TfrmReclama &w) {
            seen.shown = true;
            seen.buttonVisible = w.Button1->isVisible();
            seen.button = w.Button1->text();
            seen.noticeVisible = w.Label1->isVisible();
            seen.timerActive = w.Timer1->isActive();
            seen.interval = w.Timer1->interval();
            seen.windowSize = w.size();
            seen.pictureSize = w.HTMLViewer1->size();
            seen.flags = w.windowFlags();
            seen.scrollBars =
                w.HTMLViewer1->verticalScrollBar()->isVisible() || w.HTMLViewer1->horizontalScrollBar()->isVisible();
            if (QScreen *screen = QGuiApplication::primaryScreen())
                seen.centred = (w.geometry().center() - screen->availableGeometry().center()).manhattanLength() <= 2;
            seen.picture = w.HTMLViewer1->grab().toImage();
            if (act)
                act(w);
        });
        ShowBanner(HexEncode(bytes), isLast, withButton);
        return seen;
    }
};

} // namespace

TEST_F(Banner, ButtonSwitchChoosesButtonOrTimer)
{
    const struct {
        bool withButton;
        bool isLast;
        bool buttonVisible;
        const char16_t *button;
        bool timerActive;
    } cases[] = {
        {true, false, true, u"Далее>", false},
        {true, true, true, u"Выход", false},
        {false, false, false, nullptr, true},
        {false, true, false, nullptr, true},
    };
    for (const auto &c : cases) {
        const TSeen seen = Show(Picture("PNG"), c.isLast, c.withButton, [](TfrmReclama &w) { w.close(); });
        SCOPED_TRACE(testing::Message() << "withButton " << c.withButton << " isLast " << c.isLast);
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(seen.buttonVisible, c.buttonVisible);
        EXPECT_EQ(seen.noticeVisible, c.buttonVisible);
        if (c.button) {
            EXPECT_EQ(seen.button, QString::fromUtf16(c.button));
        }
        EXPECT_EQ(seen.timerActive, c.timerActive);
        EXPECT_EQ(seen.interval, 4000);
        EXPECT_EQ(seen.pictureSize, QSize(640, 480));
        EXPECT_FALSE(seen.scrollBars);
        EXPECT_TRUE(seen.centred);
        EXPECT_TRUE(seen.flags.testFlag(Qt::FramelessWindowHint));
        EXPECT_TRUE(seen.flags.testFlag(Qt::WindowStaysOnTopHint));
        if (c.withButton) {
            EXPECT_GT(seen.windowSize.height(), 480 + 20);
        } else {
            // Shrunk to the picture and its lowered frame.
            EXPECT_LE(seen.windowSize.width(), 640 + 6);
            EXPECT_LE(seen.windowSize.height(), 480 + 6);
        }
    }
}

TEST_F(Banner, ClosesByTimerButtonEscOrClickIntoThePicture)
{
    SetBannerInterval(500);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(Show(Picture("PNG"), false, false, nullptr).shown); // waits for the timer
    // A coarse timer may fire a few per cent early; closing at once would
    // take no time at all.
    EXPECT_GE(clock.elapsed(), 400);

    const struct {
        const char *what;
        bool withButton;
        std::function<void(TfrmReclama &)> act;
    } ways[] = {
        {"button", true, [](TfrmReclama &w) { QTest::mouseClick(w.Button1, Qt::LeftButton); }},
        {"Esc", true, [](TfrmReclama &w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {"click into the picture", true,
         [](TfrmReclama &w) { QTest::mouseClick(w.HTMLViewer1->viewport(), Qt::LeftButton, {}, QPoint(50, 50)); }},
        {"click into the picture", false,
         [](TfrmReclama &w) { QTest::mouseClick(w.HTMLViewer1->viewport(), Qt::LeftButton, {}, QPoint(50, 50)); }},
    };
    SetBannerInterval(60000);
    for (const auto &way : ways) {
        clock.restart();
        EXPECT_TRUE(Show(Picture("PNG"), false, way.withButton, way.act).shown) << way.what;
        EXPECT_LT(clock.elapsed(), 30000) << way.what;
    }
}

TEST_F(Banner, EscWithoutButtonLeavesTheBannerToItsTimer)
{
    SetBannerInterval(500);
    QElapsedTimer clock;
    clock.start();
    Show(Picture("PNG"), false, false, [](TfrmReclama &w) { QTest::keyClick(&w, Qt::Key_Escape); });
    EXPECT_GE(clock.elapsed(), 400); // a coarse timer may fire a little early
}

TEST_F(Banner, PictureComesFromTheBytesWhateverItsFormat)
{
    const QByteArray jpeg = Picture("JPG");
    const struct {
        const char *what;
        QByteArray bytes;
        bool red;
    } cases[] = {
        {"PNG", Picture("PNG"), true},
        {"JPEG", jpeg, true},
        {"BMP", Picture("BMP"), true},
        {"garbage", QByteArray("this is not a picture at all").repeated(30), false},
        {"truncated JPEG", jpeg.left(40), false},
        {"nothing", QByteArray(), false},
    };
    for (const auto &c : cases) {
        const TSeen seen = Show(c.bytes, false, true);
        ASSERT_TRUE(seen.shown) << c.what;
        ASSERT_FALSE(seen.picture.isNull()) << c.what;
        EXPECT_EQ(Near(seen.picture.pixel(150, 100), kRed), c.red) << c.what;
        EXPECT_TRUE(Near(seen.picture.pixel(500, 400), qRgb(255, 255, 255))) << c.what << ": outside the picture";
    }
}
