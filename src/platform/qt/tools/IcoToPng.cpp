// Build tool: writes each image of an .ico file as NAME-SIZE.png, the form icon themes take; given
// sizes, writes instead the tray's picture at each of them, as the program draws it.

#include "platform/qt/tray/TrayPictures.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QImageReader>

#include <cstdio>
#include <vector>

namespace {

bool Write(const QImage& image, const char* program, const char* prefix)
{
    const QString output = QStringLiteral("%1-%2.png").arg(QString::fromLocal8Bit(prefix)).arg(image.width());
    if (image.isNull() || !image.save(output, "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", program, qPrintable(output));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv); // finds the image format plugins
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ICON.ico OUTPUT-PREFIX [SIZE...]\n", argv[0]);
        return 2;
    }
    if (argc > 3) {
        const auto drawn = vorda::qt::ReadDrawnPictures(QString::fromLocal8Bit(argv[1]));
        if (!drawn) {
            std::fprintf(stderr, "%s: %s lacks the 16 or the 32 pixel picture\n", argv[0], argv[1]);
            return 1;
        }
        std::vector<int> sizes;
        for (int i = 3; i < argc; ++i) {
            bool number = false;
            sizes.push_back(QByteArray(argv[i]).toInt(&number));
            if (!number || sizes.back() <= 0 || sizes.back() > 1024) {
                std::fprintf(stderr, "%s: a size is a number of pixels from 1 to 1024, not %s\n", argv[0], argv[i]);
                return 2;
            }
        }
        for (const int size : sizes) {
            if (!Write(vorda::qt::TrayPicture(*drawn, QSize(size, size)), argv[0], argv[2])) {
                return 1;
            }
        }
        return 0;
    }
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    const int count = reader.imageCount();
    if (count <= 0) {
        std::fprintf(stderr, "%s: no image in %s\n", argv[0], argv[1]);
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        reader.jumpToImage(i);
        if (!Write(reader.read(), argv[0], argv[2])) {
            return 1;
        }
    }
    return 0;
}
