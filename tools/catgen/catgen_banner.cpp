#include "catgen/catgen_generator.h"

#include <QBuffer>
#include <QImage>

#include <stdexcept>

namespace catgen
{

QByteArray MakeBannerHex(int variant)
{
    // A small picture drawn pixel by pixel: no fonts, no window system needed.
    const int w = 64, h = 48;
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int r = variant == 1 ? 40 + x * 3 : 200 - y * 3;
            const int g = variant == 1 ? 90 + y * 2 : 60 + x * 2;
            const int b = ((x / 8 + y / 8) % 2) ? 200 : 120;
            image.setPixel(x, y, qRgb(r, g, b));
        }
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG", 80) || jpeg.isEmpty())
        throw std::runtime_error("cannot encode the banner picture as JPEG");
    return jpeg.toHex().toUpper();
}

} // namespace catgen
