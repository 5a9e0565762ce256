// Draws the program's cursors and its splash picture and writes them as the
// files the windows keep as resources: the animated wait cursor (12 frames
// of 32 x 32, 32-bit with alpha), the static hand cursor 1003 (32 x 32,
// 1-bit with mask) and the splash window's picture (drawn here once: its
// text would cost the start-up a millisecond on every run).
//   trevin_mkcursor OUTDIR

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QString>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

constexpr int kSide = 32;
constexpr int kFrames = 12;

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

void Chunk(QByteArray &b, const char *id, const QByteArray &body)
{
    b.append(id, 4);
    U32(b, quint32(body.size()));
    b.append(body);
    if (body.size() % 2)
        b.append('\0');
}

QByteArray InfoHeader(int bpp, int colours)
{
    QByteArray b;
    U32(b, 40);
    U32(b, kSide);
    U32(b, 2 * kSide); // colour rows and mask rows
    U16(b, 1);
    U16(b, quint32(bpp));
    U32(b, 0);
    U32(b, 0);
    U32(b, 0);
    U32(b, 0);
    U32(b, quint32(colours));
    U32(b, 0);
    return b;
}

// Mask rows, bottom-up: a set bit lets the screen through.
QByteArray MaskRows(const QImage &image)
{
    QByteArray b;
    for (int y = kSide - 1; y >= 0; --y)
        for (int x0 = 0; x0 < kSide; x0 += 8) {
            uchar bits = 0;
            for (int x = x0; x < x0 + 8; ++x)
                if (qAlpha(image.pixel(x, y)) == 0)
                    bits |= uchar(0x80 >> (x - x0));
            b.append(char(bits));
        }
    return b;
}

QByteArray Dib32(const QImage &argb)
{
    QByteArray b = InfoHeader(32, 0);
    for (int y = kSide - 1; y >= 0; --y)
        for (int x = 0; x < kSide; ++x) {
            const QRgb c = argb.pixel(x, y);
            b.append(char(qBlue(c)));
            b.append(char(qGreen(c)));
            b.append(char(qRed(c)));
            b.append(char(qAlpha(c)));
        }
    return b + MaskRows(argb);
}

// Black and white only; the image is either opaque black, opaque white or
// transparent.
QByteArray Dib1(const QImage &argb)
{
    QByteArray b = InfoHeader(1, 2);
    U32(b, 0x000000); // palette: black, white
    U32(b, 0xffffff);
    for (int y = kSide - 1; y >= 0; --y)
        for (int x0 = 0; x0 < kSide; x0 += 8) {
            uchar bits = 0;
            for (int x = x0; x < x0 + 8; ++x) {
                const QRgb c = argb.pixel(x, y);
                if (qAlpha(c) && qGray(c) > 127)
                    bits |= uchar(0x80 >> (x - x0));
            }
            b.append(char(bits));
        }
    return b + MaskRows(argb);
}

QByteArray CurFile(const QByteArray &dib, int hotX, int hotY)
{
    QByteArray b;
    U16(b, 0);
    U16(b, 2); // cursor
    U16(b, 1);
    b.append(char(kSide));
    b.append(char(kSide));
    b.append(char(0));
    b.append(char(0));
    U16(b, quint32(hotX));
    U16(b, quint32(hotY));
    U32(b, quint32(dib.size()));
    U32(b, 6 + 16);
    return b + dib;
}

// Twelve dots on a ring; the dark head moves one place per frame and the
// tail fades behind it.
QImage WaitFrame(int frame)
{
    QImage image(kSide, kSide, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < kFrames; ++i) {
        const double angle = 2 * std::numbers::pi * i / kFrames - std::numbers::pi / 2;
        const QPointF centre(16 + 11 * std::cos(angle), 16 + 11 * std::sin(angle));
        const int age = (frame - i + kFrames) % kFrames; // 0 = head
        const double fade = age / double(kFrames - 1);
        const QColor fill = QColor::fromRgbF(0.10 + 0.70 * fade, 0.30 + 0.55 * fade, 0.62 + 0.33 * fade);
        p.setPen(QPen(QColor(255, 255, 255, 230), 1.0));
        p.setBrush(fill);
        const double r = 3.4 - 1.2 * fade;
        p.drawEllipse(centre, r, r);
    }
    // A small dark core marks the hot spot.
    p.setPen(QPen(Qt::white, 1.0));
    p.setBrush(QColor(30, 40, 60));
    p.drawEllipse(QPointF(16, 16), 2.0, 2.0);
    p.end();
    return image;
}

QByteArray WaitCursor()
{
    QByteArray header;
    U32(header, 36);
    U32(header, kFrames); // frames
    U32(header, kFrames); // steps
    U32(header, 0);
    U32(header, 0);
    U32(header, 0);
    U32(header, 0);
    U32(header, 5); // default rate, jiffies
    U32(header, 1); // frames are icons, no sequence
    // The head lingers a little at the top of the ring.
    QByteArray rates;
    for (int i = 0; i < kFrames; ++i)
        U32(rates, i == 0 ? 8 : 5);
    QByteArray frames("fram", 4);
    for (int i = 0; i < kFrames; ++i)
        Chunk(frames, "icon", CurFile(Dib32(WaitFrame(i)), 16, 16));
    QByteArray body("ACON", 4);
    Chunk(body, "anih", header);
    Chunk(body, "rate", rates);
    Chunk(body, "LIST", frames);
    QByteArray file;
    Chunk(file, "RIFF", body);
    return file;
}

// A pointing hand: '#' black, '.' white, blank transparent.
const char *const kHand[] = {
    "     ##          ", "    #..#         ", "    #..#         ", "    #..#         ", "    #..#         ",
    "    #..###       ", "    #..#..###    ", "    #..#..#..##  ", "    #..#..#..#.# ", "### #........#..#",
    "#..##...........#", "#...#...........#", " #..............#", "  #.............#", "  #.............#",
    "   #...........# ", "   #...........# ", "    #.........#  ", "    #.........#  ", "    ###########  ",
};

QByteArray HandCursor()
{
    QImage image(kSide, kSide, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    int y = 0;
    for (const char *row : kHand) {
        for (int x = 0; row[x]; ++x) {
            if (row[x] == '#')
                image.setPixel(x + 8, y + 6, qRgba(0, 0, 0, 255));
            else if (row[x] == '.')
                image.setPixel(x + 8, y + 6, qRgba(255, 255, 255, 255));
        }
        ++y;
    }
    return CurFile(Dib1(image), 13, 6); // the fingertip
}

// The splash window's picture, 400 x 110.
QImage SplashPicture()
{
    QImage picture(400, 110, QImage::Format_RGB32);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, picture.width(), picture.height());
    sky.setColorAt(0, QColor(0x16, 0x33, 0x5c));
    sky.setColorAt(1, QColor(0x2c, 0x7a, 0x8c));
    p.fillRect(picture.rect(), sky);
    // The ring of the wait cursor, large.
    for (int i = 0; i < 12; ++i) {
        const double angle = 2 * std::numbers::pi * i / 12 - std::numbers::pi / 2;
        const double fade = i / 11.0;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgbF(1.0, 1.0, 1.0, 0.95 - 0.7 * fade));
        p.drawEllipse(QPointF(56 + 32 * std::cos(angle), 58 + 32 * std::sin(angle)), 7 - 3 * fade, 7 - 3 * fade);
    }
    p.setPen(Qt::white);
    QFont title = p.font();
    title.setPixelSize(34);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(108, 26, 290, 42), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("SELBRAN"));
    QFont line = p.font();
    line.setPixelSize(14);
    line.setBold(false);
    p.setFont(line);
    p.drawText(QRect(110, 68, 290, 22), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Информационно-торговая система"));
    p.end();
    return picture;
}

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    std::printf("%s: %lld bytes\n", qPrintable(path), static_cast<long long>(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Text needs the fonts of a GUI application; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: trevin_mkcursor OUTDIR\n", stderr);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!Write(dir.filePath(QStringLiteral("selbran.ani")), WaitCursor()) ||
        !Write(dir.filePath(QStringLiteral("1003.cur")), HandCursor()))
        return 1;
    const QString splash = dir.filePath(QStringLiteral("splash.png"));
    if (!SplashPicture().save(splash, "PNG"))
        return 1;
    std::printf("%s written\n", qPrintable(splash));
    return 0;
}
