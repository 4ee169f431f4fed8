// Build tool: writes each image of an .ico file as NAME-SIZE.png, the form icon themes take.

#include <QCoreApplication>
#include <QImageReader>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv); // finds the image format plugins
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ICON.ico OUTPUT-PREFIX\n", argv[0]);
        return 2;
    }
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    const int count = reader.imageCount();
    if (count <= 0) {
        std::fprintf(stderr, "%s: no image in %s\n", argv[0], argv[1]);
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        reader.jumpToImage(i);
        const QImage image = reader.read();
        const QString output = QStringLiteral("%1-%2.png").arg(QString::fromLocal8Bit(argv[2])).arg(image.width());
        if (image.isNull() || !image.save(output, "PNG")) {
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(output));
            return 1;
        }
    }
    return 0;
}
