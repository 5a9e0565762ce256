#include "data/codec.h"

#include <array>

namespace {

// 0x80..0xBF; 0x98 is unassigned and kept as the C1 control for a lossless trip.
constexpr char16_t kHigh[64] = {0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
                                0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
                                0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
                                0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
                                0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char16_t ByteToUnicode(unsigned char b)
{
    if (b < 0x80)
        return b;
    if (b >= 0xC0)
        return char16_t(0x0410 + (b - 0xC0));
    return kHigh[b - 0x80];
}

struct Tables {
    std::array<unsigned char, 256> upper{};
    std::array<unsigned char, 256> lower{};
    Tables()
    {
        for (int i = 0; i < 256; ++i) {
            upper[i] = lower[i] = static_cast<unsigned char>(i);
        }
        for (int i = 0; i < 256; ++i) {
            const QChar c(ByteToUnicode(static_cast<unsigned char>(i)));
            const QChar u = c.toUpper();
            const QChar l = c.toLower();
            if (u != c) {
                const QByteArray b = ToCp1251(QString(u));
                if (b.size() == 1 && b[0] != '?')
                    upper[i] = static_cast<unsigned char>(b[0]);
            }
            if (l != c) {
                const QByteArray b = ToCp1251(QString(l));
                if (b.size() == 1 && b[0] != '?')
                    lower[i] = static_cast<unsigned char>(b[0]);
            }
        }
    }
};

const Tables &CaseTables()
{
    static const Tables t;
    return t;
}

int UnicodeToByte(char16_t u)
{
    if (u < 0x80)
        return u;
    if (u >= 0x0410 && u <= 0x044F)
        return 0xC0 + (u - 0x0410);
    for (int i = 0; i < 64; ++i) {
        if (kHigh[i] == u)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

QByteArray ToCp1251(const QString &text)
{
    QByteArray out;
    out.resize(text.size());
    char *p = out.data();
    for (QChar c : text) {
        const int b = UnicodeToByte(c.unicode());
        *p++ = b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}

QString FromCp1251(const char *bytes, qsizetype length)
{
    QString out(length, Qt::Uninitialized);
    QChar *p = out.data();
    for (qsizetype i = 0; i < length; ++i)
        p[i] = QChar(ByteToUnicode(static_cast<unsigned char>(bytes[i])));
    return out;
}

QString FromCp1251(const QByteArray &bytes)
{
    return FromCp1251(bytes.constData(), bytes.size());
}

unsigned char Cp1251Upper(unsigned char c)
{
    return CaseTables().upper[c];
}

unsigned char Cp1251Lower(unsigned char c)
{
    return CaseTables().lower[c];
}

bool IsCp1251Encodable(const QString &text)
{
    for (QChar c : text) {
        if (UnicodeToByte(c.unicode()) < 0)
            return false;
    }
    return true;
}
