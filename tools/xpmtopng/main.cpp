// xpmtopng: writes an image that Qt reads (the icon's XPM images) as a PNG of the same size, so
// that the installed icons come from the same pictures as the window icon.
//
//     xpmtopng INPUT OUTPUT

#include <QImage>
#include <QImageReader>
#include <QImageWriter>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int EXIT_USAGE = 2;

int Fail(const char *what, const char *path, const QString &reason)
{
    std::fprintf(stderr, "xpmtopng: %s %s: %s\n", what, path, qPrintable(reason));
    return EXIT_FAILURE;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: xpmtopng INPUT OUTPUT\n");
        return EXIT_USAGE;
    }
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    const QImage image = reader.read();
    if (image.isNull())
        return Fail("cannot read", argv[1], reader.errorString());
    QImageWriter writer(QString::fromLocal8Bit(argv[2]), "png");
    if (!writer.write(image))
        return Fail("cannot write", argv[2], writer.errorString());
    return EXIT_SUCCESS;
}
