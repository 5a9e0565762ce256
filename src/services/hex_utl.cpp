#include "services/hex_utl.h"

namespace {

constexpr char16_t kFirst = u'0';
constexpr char16_t kLast = u'f';

bool InRange(char16_t c)
{
    return c >= kFirst && c <= kLast;
}

int DigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return 255;
}

} // namespace

QString HexEncode(const QByteArray &bytes)
{
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    QString text(bytes.size() * 2, Qt::Uninitialized);
    QChar *out = text.data();
    for (const char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        *out++ = QChar(digits[byte >> 4]);
        *out++ = QChar(digits[byte & 0x0F]);
    }
    return text;
}

QByteArray HexDecode(const QString &text)
{
    const qsizetype count = text.size() / 2;
    QByteArray bytes(count, '\0');
    const char16_t *in = reinterpret_cast<const char16_t *>(text.constData());
    for (qsizetype i = 0; i < count; ++i) {
        const char16_t high = in[2 * i];
        const char16_t low = in[2 * i + 1];
        if (!InRange(high) || !InRange(low))
            break;
        bytes[i] = static_cast<char>((DigitValue(high) * 16 + DigitValue(low)) % 256);
    }
    return bytes;
}
