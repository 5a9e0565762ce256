#include "services/hex_utl.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

TEST(HexEncode, UpperCaseDigitsHighHalfFirst)
{
    EXPECT_EQ(HexEncode(QByteArray("\x00\xAB\xFF", 3)), QStringLiteral("00ABFF"));
    EXPECT_EQ(HexEncode(QByteArray("\x12\x9c", 2)), QStringLiteral("129C"));
    EXPECT_EQ(HexEncode(QByteArray()), QString());
}

TEST(HexDecode, Rules)
{
    const struct {
        const char16_t *text;
        QByteArray bytes;
    } cases[] = {
        {u"00ABFF", QByteArray("\x00\xAB\xFF", 3)},
        {u"00abff", QByteArray("\x00\xAB\xFF", 3)},
        {u"00aBfF1", QByteArray("\x00\xAB\xFF", 3)}, // odd last character ignored
        {u"", QByteArray()},
        {u"7", QByteArray()},
        // Inside "0".."f" but not a digit: 255, modulo 256 after the sum.
        {u"Z1", QByteArray("\xF1", 1)}, // 255 * 16 + 1 = 4081
        {u"1:", QByteArray("\x0F", 1)}, // 16 + 255 = 271
        {u"@@", QByteArray("\xEF", 1)}, // 255 * 16 + 255 = 4335
        // A character outside the range stops the decoding; the rest is zero.
        {u"41g142", QByteArray("\x41\x00\x00", 3)},
        {u"41 142", QByteArray("\x41\x00\x00", 3)},
        {u"41/142", QByteArray("\x41\x00\x00", 3)},
        {u"41\u0410142", QByteArray("\x41\x00\x00", 3)},
        {u"g1", QByteArray("\x00", 1)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(HexDecode(QString::fromUtf16(c.text)), c.bytes) << QString::fromUtf16(c.text).toStdString();
}

TEST(HexDecode, RandomTextsStayInsideTheirBuffers)
{
    // Run under the sanitizer build to see any access outside the buffers.
    QRandomGenerator rng(20261209);
    for (int n = 0; n < 100000; ++n) {
        const int length = int(rng.bounded(41));
        QString text(length, Qt::Uninitialized);
        for (QChar &c : text) {
            // Mostly the interesting range, sometimes anything.
            c = rng.bounded(8) ? QChar(char16_t(40 + rng.bounded(70))) : QChar(char16_t(rng.bounded(0xD800)));
        }
        ASSERT_EQ(HexDecode(text).size(), length / 2) << text.toStdString();
    }
}

TEST(HexDecode, EncodedBytesComeBackInEitherCase)
{
    QRandomGenerator rng(7);
    for (int n = 0; n < 2000; ++n) {
        QByteArray bytes(int(rng.bounded(64)), Qt::Uninitialized);
        for (char &b : bytes)
            b = char(rng.bounded(256));
        const QString text = HexEncode(bytes);
        ASSERT_EQ(text.size(), bytes.size() * 2);
        ASSERT_EQ(HexDecode(text), bytes);
        ASSERT_EQ(HexDecode(text.toLower()), bytes);
    }
}
