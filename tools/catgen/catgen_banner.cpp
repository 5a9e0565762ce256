#include "catgen/catgen_generator.h"

#include <QBuffer>
#include <QImage>

#include <stdexcept>

namespace catgen {

QByteArray MakeBannerHex(int variant)
{
    // A picture the size of the banner window, drawn pixel by pixel: no
    // fonts, no window system needed.
    const int w = 640, h = 480;
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int r = variant == 1 ? 40 + x * 192 / w : 200 - y * 144 / h;
            const int g = variant == 1 ? 90 + y * 96 / h : 60 + x * 128 / w;
            const int b = ((x / 80 + y / 80) % 2) ? 200 : 120;
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
