#include "platform/curfile.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QRandomGenerator>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

void U16(QByteArray &b, quint32 v)
{
    b.append(char(v & 0xff));
    b.append(char((v >> 8) & 0xff));
}

void U32(QByteArray &b, quint32 v)
{
    U16(b, v & 0xffff);
    U16(b, v >> 16);
}

QByteArray Chunk(const char *id, const QByteArray &body, qint64 claimedSize = -1)
{
    QByteArray b(id, 4);
    U32(b, quint32(claimedSize >= 0 ? claimedSize : body.size()));
    b.append(body);
    if (body.size() % 2)
        b.append('\0');
    return b;
}

// A one-image CUR file of side x side. 32 bit: each pixel's colour is
// (marker, x, y) and alpha as given (0 everywhere leaves the mask in
// charge); 1 bit: left half white, right half black, top row masked out.
QByteArray Cur(int side, int bpp, int hotX, int hotY, int marker = 0, int alpha = 255)
{
    QByteArray dib;
    U32(dib, 40);
    U32(dib, quint32(side));
    U32(dib, quint32(2 * side));
    U16(dib, 1);
    U16(dib, quint32(bpp));
    for (int i = 0; i < 4; ++i)
        U32(dib, 0);
    U32(dib, bpp == 1 ? 2 : 0);
    U32(dib, 0);
    if (bpp == 1) {
        U32(dib, 0x000000);
        U32(dib, 0xffffff);
    }
    const int maskStride = (side + 31) / 32 * 4;
    for (int y = side - 1; y >= 0; --y) {
        if (bpp == 32) {
            for (int x = 0; x < side; ++x) {
                dib.append(char(y));
                dib.append(char(x));
                dib.append(char(marker));
                dib.append(char(alpha));
            }
        } else {
            QByteArray row(maskStride, '\0');
            for (int x = 0; x < side / 2; ++x)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            dib.append(row);
        }
    }
    for (int y = side - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        if (y == 0)
            row.fill('\xff');
        dib.append(row);
    }
    QByteArray b;
    U16(b, 0);
    U16(b, 2);
    U16(b, 1);
    b.append(char(side));
    b.append(char(side));
    U16(b, 0);
    U16(b, quint32(hotX));
    U16(b, quint32(hotY));
    U32(b, quint32(dib.size()));
    U32(b, 22);
    return b + dib;
}

QByteArray Dwords(const QList<quint32> &values)
{
    QByteArray b;
    for (quint32 v : values)
        U32(b, v);
    return b;
}

QByteArray Anih(quint32 frames, quint32 steps, quint32 rate, quint32 flags = 1)
{
    return Chunk("anih", Dwords({36, frames, steps, 0, 0, 0, 0, rate, flags}));
}

QByteArray Fram(const QList<QByteArray> &icons)
{
    QByteArray body("fram", 4);
    for (const QByteArray &icon : icons)
        body += Chunk("icon", icon);
    return Chunk("LIST", body);
}

QByteArray Riff(const QByteArray &chunks, qint64 claimedSize = -1)
{
    QByteArray b("RIFF", 4);
    U32(b, quint32(claimedSize >= 0 ? claimedSize : chunks.size() + 4));
    return b + "ACON" + chunks;
}

// Three frames, told apart by the marker in their colour and their hot spot.
QList<QByteArray> ThreeIcons()
{
    return {Cur(32, 32, 1, 2, 10), Cur(32, 32, 3, 4, 20), Cur(16, 1, 40, 40)};
}

QByteArray CursorFile()
{
    QFile f(QStringLiteral(TREVIN_TEST_DATA "/../../src/windows/cursors/selbran.ani"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(CursorFile, AnimationStepsFromHeaderSequenceAndRates)
{
    struct Case {
        const char *name;
        QByteArray file;
        QList<int> sequence;
        QList<int> jiffies;
    };
    const QList<QByteArray> icons = ThreeIcons();
    // An odd-sized chunk the reader does not know comes first: the pad byte
    // after it must be skipped.
    const QByteArray odd = Chunk("LIST", QByteArray("INFOx", 5));
    const Case cases[] = {
        {"frames in order at the header's rate", Riff(Anih(3, 3, 7) + Fram(icons)), {0, 1, 2}, {7, 7, 7}},
        {"no step count means one step per frame", Riff(Anih(3, 0, 4) + Fram(icons)), {0, 1, 2}, {4, 4, 4}},
        {"sequence and rates per step",
         Riff(Anih(3, 5, 9, 3) + Chunk("seq ", Dwords({2, 0, 1, 0, 2})) + Chunk("rate", Dwords({1, 2, 3, 4, 5})) +
              Fram(icons)),
         {2, 0, 1, 0, 2},
         {1, 2, 3, 4, 5}},
        {"rates without a sequence, after an odd chunk",
         Riff(odd + Anih(3, 3, 9) + Fram(icons) + Chunk("rate", Dwords({6, 0, 8}))),
         {0, 1, 2},
         {6, 0, 8}},
        {"fewer steps than frames", Riff(Anih(3, 2, 5) + Fram(icons)), {0, 1}, {5, 5}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TCursorFileData data;
        QString error;
        ASSERT_TRUE(ReadAniFile(c.file, data, &error)) << error.toStdString();
        ASSERT_EQ(data.Frames.size(), 3);
        EXPECT_EQ(data.Sequence, c.sequence);
        EXPECT_EQ(data.Jiffies, c.jiffies);
        EXPECT_EQ(data.Frames[0].HotSpot, QPoint(1, 2));
        EXPECT_EQ(data.Frames[1].HotSpot, QPoint(3, 4));
        EXPECT_EQ(data.Frames[2].HotSpot, QPoint(15, 15)); // beyond the 16 x 16 image: its last pixel
        EXPECT_EQ(qRed(data.Frames[1].Image.pixel(0, 0)), 20);
        EXPECT_EQ(data.Frames[2].Image.size(), QSize(16, 16));
    }
}

TEST(CursorFile, RefusesWhatItCannotRead)
{
    const QList<QByteArray> icons = ThreeIcons();
    const QByteArray good = Riff(Anih(3, 3, 7) + Fram(icons));
    QByteArray badOffset = Cur(32, 32, 0, 0);
    badOffset[21] = '\x7f'; // image offset far beyond the file
    QByteArray hugeCount = Cur(32, 32, 0, 0);
    hugeCount[4] = '\xff';
    hugeCount[5] = '\xff';
    QByteArray tallBitmap = Cur(32, 32, 0, 0);
    tallBitmap[22 + 8] = '\x00'; // height 2 * 0x100 + 64 rows: more rows than bytes
    tallBitmap[22 + 9] = '\x02';
    const struct {
        const char *name;
        QByteArray file;
    } cases[] = {
        {"empty", QByteArray()},
        {"header only", good.left(12)},
        {"cut inside the frames", good.left(good.size() - 100)},
        {"cut inside a chunk header", good.left(12 + 44 + 4)},
        {"file size larger than the file", Riff(Anih(3, 3, 7) + Fram(icons), good.size())},
        {"chunk size beyond the file", Riff(Chunk("anih", Dwords({36, 3, 3, 0, 0, 0, 0, 7, 1}), 1000) + Fram(icons))},
        {"frame size beyond its list",
         Riff(Anih(1, 1, 7) + Chunk("LIST", QByteArray("fram", 4) + Chunk("icon", icons[0], icons[0].size() + 9)))},
        {"short header", Riff(Chunk("anih", Dwords({36, 3, 3})) + Fram(icons))},
        {"two headers", Riff(Anih(3, 3, 7) + Anih(3, 3, 7) + Fram(icons))},
        {"no header", Riff(Fram(icons))},
        {"frames are raw bitmaps", Riff(Anih(3, 3, 7, 0) + Fram(icons))},
        {"no frames", Riff(Anih(0, 0, 7))},
        {"fewer frames than the header says", Riff(Anih(4, 4, 7) + Fram(icons))},
        {"more steps than frames, no sequence", Riff(Anih(3, 4, 7) + Fram(icons))},
        {"sequence names a missing frame", Riff(Anih(3, 2, 7, 3) + Chunk("seq ", Dwords({0, 3})) + Fram(icons))},
        {"sequence shorter than the steps", Riff(Anih(3, 3, 7, 3) + Chunk("seq ", Dwords({0, 1})) + Fram(icons))},
        {"rates shorter than the steps", Riff(Anih(3, 3, 7) + Chunk("rate", Dwords({1, 2})) + Fram(icons))},
        {"step count beyond the sequence", Riff(Anih(3, 0x40000000, 7, 3) + Chunk("seq ", Dwords({0})) + Fram(icons))},
        {"frame image outside its file", Riff(Anih(1, 1, 7) + Fram({badOffset}))},
        {"frame directory longer than the frame", Riff(Anih(1, 1, 7) + Fram({hugeCount}))},
        {"bitmap taller than its bytes", Riff(Anih(1, 1, 7) + Fram({tallBitmap}))},
        {"frame is not an icon", Riff(Anih(1, 1, 7) + Fram({QByteArray("BM not an icon")}))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TCursorFileData data;
        QString error;
        EXPECT_FALSE(ReadCursorFile(c.file, data, &error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(CursorFile, PixelsFromAlphaOrMask)
{
    struct Case {
        const char *name;
        QByteArray file;
        QPoint at;
        int alpha;
        int red;
    };
    const Case cases[] = {
        {"alpha kept", Cur(32, 32, 0, 0, 200, 255), QPoint(5, 9), 255, 200},
        {"half alpha, premultiplied", Cur(32, 32, 0, 0, 200, 128), QPoint(5, 9), 128, 100},
        {"no alpha: the mask decides, opaque", Cur(32, 32, 0, 0, 200, 0), QPoint(5, 9), 255, 200},
        {"no alpha: the mask decides, top row transparent", Cur(32, 32, 0, 0, 0, 0), QPoint(0, 0), 0, 0},
        {"1 bit white", Cur(32, 1, 0, 0), QPoint(3, 5), 255, 255},
        {"1 bit black", Cur(32, 1, 0, 0), QPoint(20, 5), 255, 0},
        {"1 bit masked", Cur(32, 1, 0, 0), QPoint(20, 0), 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TCursorFrame frame;
        ASSERT_TRUE(ReadIconFile(c.file, frame, nullptr));
        const QRgb p = frame.Image.pixel(c.at); // the image is top-down
        EXPECT_EQ(qAlpha(p), c.alpha);
        EXPECT_NEAR(qRed(p), c.red, 2);
    }
    // Colour rows run bottom-up in the file: green is x, blue is y.
    TCursorFrame frame;
    ASSERT_TRUE(ReadIconFile(Cur(32, 32, 0, 0), frame, nullptr));
    EXPECT_EQ(qGreen(frame.Image.pixel(7, 3)), 7);
    EXPECT_EQ(qBlue(frame.Image.pixel(7, 3)), 3);
}

TEST(CursorFile, ProgramsWaitCursor)
{
    const QByteArray bytes = CursorFile();
    ASSERT_FALSE(bytes.isEmpty());
    TCursorFileData data;
    QString error;
    ASSERT_TRUE(ReadCursorFile(bytes, data, &error)) << error.toStdString();
    EXPECT_EQ(data.Frames.size(), 12);
    EXPECT_EQ(data.Sequence.size(), 12);
    for (const TCursorFrame &f : data.Frames) {
        EXPECT_EQ(f.Image.size(), QSize(32, 32));
        EXPECT_EQ(f.HotSpot, QPoint(16, 16));
    }
    // Consecutive frames differ: the picture moves.
    EXPECT_NE(data.Frames[0].Image, data.Frames[1].Image);
}

// Mutated copies of a real cursor file: whatever the reader answers, it
// must not read outside the bytes (the sanitizer build checks this).
TEST(CursorFile, MutatedCopiesAreReadSafely)
{
    const QByteArray original = CursorFile();
    ASSERT_FALSE(original.isEmpty());
    QRandomGenerator random(20261209);
    const auto offset = [&](const QByteArray &b) { return b.isEmpty() ? 0 : int(random.bounded(b.size())); };
    const std::function<void(QByteArray &)> mutations[] = {
        [&](QByteArray &b) {
            for (int n = 1 + random.bounded(8); n > 0 && !b.isEmpty(); --n)
                b[offset(b)] = char(random.bounded(256));
        },
        [&](QByteArray &b) { b.truncate(offset(b)); },
        [&](QByteArray &b) {
            // A size or count field made extreme.
            static const quint32 values[] = {0, 1, 0x7fffffff, 0x80000000, 0xffffffff, 0xfffffff0, 4096};
            const int at = offset(b) & ~3;
            if (at + 4 <= b.size()) {
                const quint32 v = values[random.bounded(int(std::size(values)))];
                for (int i = 0; i < 4; ++i)
                    b[at + i] = char((v >> (8 * i)) & 0xff);
            }
        },
        [&](QByteArray &b) { b.insert(offset(b), QByteArray(1 + random.bounded(64), char(random.bounded(256)))); },
        [&](QByteArray &b) { b.remove(offset(b), 1 + random.bounded(64)); },
    };
    int read = 0;
    for (int i = 0; i < 10000; ++i) {
        QByteArray copy = original;
        for (int n = 1 + random.bounded(3); n > 0; --n)
            mutations[random.bounded(int(std::size(mutations)))](copy);
        // A copy of its own, exactly as long as the bytes: reading past it
        // is caught.
        const std::unique_ptr<char[]> exact(new char[std::max<size_t>(size_t(copy.size()), 1)]);
        std::copy(copy.cbegin(), copy.cend(), exact.get());
        TCursorFileData data;
        if (ReadCursorFile(QByteArrayView(exact.get(), copy.size()), data, nullptr)) {
            ++read;
            ASSERT_FALSE(data.Frames.isEmpty());
            ASSERT_EQ(data.Sequence.size(), data.Jiffies.size());
            for (int frame : data.Sequence)
                ASSERT_LT(frame, data.Frames.size());
        }
    }
    // Flipped colour bytes still read: the reader is not refusing everything.
    EXPECT_GT(read, 100);
}
