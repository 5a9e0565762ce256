#include "platform/curfile.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

// Widest and tallest bitmap a cursor file may carry.
constexpr int kMaxSide = 256;
// Longest step of an animation, in jiffies (about an hour).
constexpr quint32 kMaxJiffies = 60 * 60 * 60;

// A window on the bytes; every read is checked against its size.
class TBytes
{
public:
    TBytes(const char *data, qint64 size) : m_data(reinterpret_cast<const uchar *>(data)), m_size(size) {}
    explicit TBytes(QByteArrayView v) : TBytes(v.data(), v.size()) {}

    qint64 Size() const { return m_size; }
    bool Has(qint64 offset, qint64 length) const
    {
        return offset >= 0 && length >= 0 && offset <= m_size && length <= m_size - offset;
    }
    quint16 U16(qint64 at) const { return quint16(m_data[at] | (m_data[at + 1] << 8)); }
    quint32 U32(qint64 at) const
    {
        return quint32(m_data[at]) | (quint32(m_data[at + 1]) << 8) | (quint32(m_data[at + 2]) << 16) |
               (quint32(m_data[at + 3]) << 24);
    }
    qint32 I32(qint64 at) const { return qint32(U32(at)); }
    uchar Byte(qint64 at) const { return m_data[at]; }
    bool Tag(qint64 at, const char (&tag)[5]) const { return Has(at, 4) && std::equal(tag, tag + 4, m_data + at); }
    TBytes Sub(qint64 offset, qint64 length) const
    {
        return TBytes(reinterpret_cast<const char *>(m_data + offset), length);
    }
    QByteArrayView View() const { return QByteArrayView(reinterpret_cast<const char *>(m_data), m_size); }

private:
    const uchar *m_data;
    qint64 m_size;
};

bool Fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

QRgb PaletteColor(const TBytes &b, qint64 palette, qint64 count, int index)
{
    if (index >= count)
        return qRgb(0, 0, 0);
    const qint64 at = palette + 4 * qint64(index);
    return qRgb(b.Byte(at + 2), b.Byte(at + 1), b.Byte(at));
}

// A bitmap of an ICO/CUR image: header, palette, colour rows, AND mask rows,
// both bottom-up.
bool ReadDib(const TBytes &b, QImage &out, QString *error)
{
    if (!b.Has(0, 40))
        return Fail(error, QStringLiteral("bitmap header truncated"));
    const quint32 headerSize = b.U32(0);
    const qint32 width = b.I32(4);
    const qint32 doubleHeight = b.I32(8);
    const int bpp = b.U16(14);
    const quint32 compression = b.U32(16);
    const quint32 colorsUsed = b.U32(32);
    if (headerSize < 40 || !b.Has(0, headerSize))
        return Fail(error, QStringLiteral("bad bitmap header size"));
    if (width < 1 || width > kMaxSide || doubleHeight < 2 || doubleHeight > 2 * kMaxSide)
        return Fail(error, QStringLiteral("bad bitmap size"));
    if (compression != 0)
        return Fail(error, QStringLiteral("compressed bitmap"));
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        return Fail(error, QStringLiteral("unsupported colour depth"));
    const int height = doubleHeight / 2;
    qint64 paletteCount = 0;
    if (bpp <= 8) {
        const quint32 full = 1u << bpp;
        if (colorsUsed > full)
            return Fail(error, QStringLiteral("bad palette size"));
        paletteCount = colorsUsed ? colorsUsed : full;
    }
    const qint64 palette = headerSize;
    const qint64 xorRows = palette + 4 * paletteCount;
    const qint64 xorStride = (qint64(width) * bpp + 31) / 32 * 4;
    const qint64 andRows = xorRows + xorStride * height;
    const qint64 andStride = (qint64(width) + 31) / 32 * 4;
    if (!b.Has(0, andRows + andStride * height))
        return Fail(error, QStringLiteral("bitmap data truncated"));

    bool alpha = false;
    if (bpp == 32) {
        for (qint64 y = 0; y < height && !alpha; ++y)
            for (qint64 x = 0; x < width && !alpha; ++x)
                alpha = b.Byte(xorRows + y * xorStride + 4 * x + 3) != 0;
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        const qint64 row = xorRows + qint64(height - 1 - y) * xorStride;
        const qint64 maskRow = andRows + qint64(height - 1 - y) * andStride;
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            QRgb c = 0;
            switch (bpp) {
            case 1: c = PaletteColor(b, palette, paletteCount, (b.Byte(row + x / 8) >> (7 - x % 8)) & 1); break;
            case 4: c = PaletteColor(b, palette, paletteCount, (b.Byte(row + x / 2) >> (x % 2 ? 0 : 4)) & 15); break;
            case 8: c = PaletteColor(b, palette, paletteCount, b.Byte(row + x)); break;
            case 24: c = qRgb(b.Byte(row + 3 * x + 2), b.Byte(row + 3 * x + 1), b.Byte(row + 3 * x)); break;
            case 32:
                c = qRgba(b.Byte(row + 4 * x + 2), b.Byte(row + 4 * x + 1), b.Byte(row + 4 * x),
                          b.Byte(row + 4 * x + 3));
                break;
            }
            if (!alpha) {
                const bool transparent = (b.Byte(maskRow + x / 8) >> (7 - x % 8)) & 1;
                // A set mask bit over a coloured pixel inverts the screen,
                // which a plain image cannot; it is drawn black.
                if (transparent)
                    c = (c & 0xffffff) ? qRgba(0, 0, 0, 255) : qRgba(0, 0, 0, 0);
                else
                    c = c | 0xff000000u;
            }
            line[x] = qPremultiply(c);
        }
    }
    out = image;
    return true;
}

bool ReadImage(const TBytes &b, QImage &out, QString *error)
{
    static const char png[] = "\x89PNG";
    if (b.Has(0, 4) && std::equal(png, png + 4, b.View().data())) {
        out = QImage::fromData(b.View(), "PNG");
        if (out.isNull() || out.width() > kMaxSide || out.height() > kMaxSide)
            return Fail(error, QStringLiteral("bad PNG image"));
        out = out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        return true;
    }
    return ReadDib(b, out, error);
}

} // namespace

int JiffiesToMs(int jiffies)
{
    return (std::max(jiffies, 1) * 1000 + 30) / 60;
}

bool ReadIconFile(QByteArrayView bytes, TCursorFrame &frame, QString *error, int size)
{
    const TBytes b(bytes);
    if (!b.Has(0, 6) || b.U16(0) != 0 || (b.U16(2) != 1 && b.U16(2) != 2))
        return Fail(error, QStringLiteral("not an icon or cursor"));
    const bool cursor = b.U16(2) == 2;
    const int count = b.U16(4);
    if (count == 0)
        return Fail(error, QStringLiteral("no images"));
    if (!b.Has(6, 16 * qint64(count)))
        return Fail(error, QStringLiteral("image directory truncated"));

    int best = -1;
    long bestDistance = std::numeric_limits<long>::max();
    int bestDepth = -1;
    for (int i = 0; i < count; ++i) {
        const qint64 e = 6 + 16 * qint64(i);
        const int w = b.Byte(e) ? b.Byte(e) : 256;
        const int h = b.Byte(e + 1) ? b.Byte(e + 1) : 256;
        const long distance = std::labs(long(w) - size) + std::labs(long(h) - size);
        const int depth = cursor ? 0 : b.U16(e + 6);
        if (distance < bestDistance || (distance == bestDistance && depth > bestDepth)) {
            best = i;
            bestDistance = distance;
            bestDepth = depth;
        }
    }
    const qint64 e = 6 + 16 * qint64(best);
    const quint32 length = b.U32(e + 8);
    const quint32 offset = b.U32(e + 12);
    if (!b.Has(offset, length))
        return Fail(error, QStringLiteral("image outside the file"));
    QImage image;
    if (!ReadImage(b.Sub(offset, length), image, error))
        return false;
    QPoint hot(image.width() / 2, image.height() / 2);
    if (cursor)
        hot = QPoint(std::min<int>(b.U16(e + 4), image.width() - 1), std::min<int>(b.U16(e + 6), image.height() - 1));
    frame.Image = image;
    frame.HotSpot = hot;
    return true;
}

bool ReadAniFile(QByteArrayView bytes, TCursorFileData &data, QString *error, int size)
{
    const TBytes b(bytes);
    if (!b.Tag(0, "RIFF") || !b.Tag(8, "ACON"))
        return Fail(error, QStringLiteral("not an animated cursor"));
    const quint32 riffSize = b.U32(4);
    if (riffSize < 4 || !b.Has(8, riffSize))
        return Fail(error, QStringLiteral("file size does not match its header"));
    const qint64 end = 8 + qint64(riffSize);

    bool header = false;
    quint32 frames = 0, steps = 0, rate = 0, flags = 0;
    qint64 seqAt = -1, seqSize = 0, rateAt = -1, rateSize = 0;
    QList<TBytes> icons;
    for (qint64 pos = 12; pos + 8 <= end;) {
        const quint32 chunkSize = b.U32(pos + 4);
        const qint64 body = pos + 8;
        if (chunkSize > end - body)
            return Fail(error, QStringLiteral("chunk runs past the end of the file"));
        if (b.Tag(pos, "anih")) {
            if (header || chunkSize < 36)
                return Fail(error, QStringLiteral("bad animation header"));
            header = true;
            frames = b.U32(body + 4);
            steps = b.U32(body + 8);
            rate = b.U32(body + 28);
            flags = b.U32(body + 32);
        } else if (b.Tag(pos, "seq ")) {
            seqAt = body;
            seqSize = chunkSize;
        } else if (b.Tag(pos, "rate")) {
            rateAt = body;
            rateSize = chunkSize;
        } else if (b.Tag(pos, "LIST") && chunkSize >= 4 && b.Tag(body, "fram")) {
            const qint64 listEnd = body + chunkSize;
            for (qint64 sub = body + 4; sub + 8 <= listEnd;) {
                const quint32 subSize = b.U32(sub + 4);
                if (subSize > listEnd - sub - 8)
                    return Fail(error, QStringLiteral("frame runs past the end of its list"));
                if (b.Tag(sub, "icon"))
                    icons.append(b.Sub(sub + 8, subSize));
                sub += 8 + qint64(subSize) + (subSize & 1);
            }
        }
        pos = body + qint64(chunkSize) + (chunkSize & 1);
    }
    if (!header)
        return Fail(error, QStringLiteral("no animation header"));
    if (!(flags & 1))
        return Fail(error, QStringLiteral("frames are not icons"));
    if (frames == 0 || frames > quint32(icons.size()))
        return Fail(error, QStringLiteral("fewer frames than the header says"));
    if (steps == 0)
        steps = frames;
    if (seqAt < 0 && steps > frames)
        return Fail(error, QStringLiteral("more steps than frames"));
    if (seqAt >= 0 && seqSize < 4 * qint64(steps))
        return Fail(error, QStringLiteral("sequence shorter than the steps"));
    if (rateAt >= 0 && rateSize < 4 * qint64(steps))
        return Fail(error, QStringLiteral("rates shorter than the steps"));

    TCursorFileData result;
    for (quint32 i = 0; i < steps; ++i) {
        const quint32 frame = seqAt >= 0 ? b.U32(seqAt + 4 * qint64(i)) : i;
        if (frame >= frames)
            return Fail(error, QStringLiteral("sequence names a missing frame"));
        const quint32 jiffies = rateAt >= 0 ? b.U32(rateAt + 4 * qint64(i)) : rate;
        result.Sequence.append(int(frame));
        result.Jiffies.append(int(std::min(jiffies, kMaxJiffies)));
    }
    for (quint32 i = 0; i < frames; ++i) {
        TCursorFrame frame;
        QString why;
        if (!ReadIconFile(icons[qsizetype(i)].View(), frame, &why, size))
            return Fail(error, QStringLiteral("frame %1: %2").arg(i + 1).arg(why));
        result.Frames.append(frame);
    }
    data = std::move(result);
    return true;
}

bool ReadCursorFile(QByteArrayView bytes, TCursorFileData &data, QString *error, int size)
{
    if (bytes.startsWith("RIFF"))
        return ReadAniFile(bytes, data, error, size);
    TCursorFrame frame;
    if (!ReadIconFile(bytes, frame, error, size))
        return false;
    data = TCursorFileData();
    data.Frames.append(frame);
    data.Sequence.append(0);
    data.Jiffies.append(0);
    return true;
}
