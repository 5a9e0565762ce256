// Leaks on purpose after loading an image plugin whose library keeps
// thread-local storage: the sanitizer run must still report the leak with the
// options the test script uses, and must not crash while looking for it.
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPG"))
        std::fputs("leak_canary: no JPEG plugin\n", stderr);

    char *lost = new char[4242];
    std::memset(lost, 1, 4242);
    std::printf("leak_canary: %d\n", lost[7]);
    lost = nullptr;
    return 0;
}
