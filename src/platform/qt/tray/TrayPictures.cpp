#include "platform/qt/tray/TrayPictures.h"

#include <QFileInfo>
#include <QIconEngine>
#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace vorda::qt {
namespace {

IconPicture PictureOf(const QImage& read)
{
    const QImage image = read.convertToFormat(QImage::Format_ARGB32);
    IconPicture picture{image.width(), {}};
    picture.pixels.reserve(static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        picture.pixels.insert(picture.pixels.end(), line, line + image.width());
    }
    return picture;
}

class TrayIconEngine final : public QIconEngine {
public:
    TrayIconEngine(DrawnPictures drawn, QString name) : drawn_(std::move(drawn)), name_(std::move(name)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode /*mode*/, QIcon::State /*state*/) override
    {
        const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatio() : 1.0;
        QImage image = TrayPicture(drawn_, QSize(static_cast<int>(std::floor(rect.width() * ratio)),
                                                 static_cast<int>(std::floor(rect.height() * ratio))));
        image.setDevicePixelRatio(ratio);
        painter->drawImage(rect.topLeft(), image);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override
    {
        return QPixmap::fromImage(TrayPicture(drawn_, size));
    }

    QSize actualSize(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override
    {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode /*mode*/, QIcon::State /*state*/) override
    {
        QList<QSize> sizes;
        for (const int size : kTrayIconSizes) {
            sizes << QSize(size, size);
        }
        return sizes;
    }

    [[nodiscard]] QIconEngine* clone() const override { return new TrayIconEngine(drawn_, name_); }
    QString iconName() override { return name_; }
    [[nodiscard]] QString key() const override { return QStringLiteral("VordaTrayIcon"); }
    bool isNull() override { return false; }

private:
    DrawnPictures drawn_;
    QString name_;
};

} // namespace

std::optional<DrawnPictures> ReadDrawnPictures(const QString& icoPath)
{
    std::optional<IconPicture> small;
    std::optional<IconPicture> large;
    QImageReader reader(icoPath);
    do {
        const QImage image = reader.read();
        if (image.width() == 16 && image.height() == 16) {
            small = PictureOf(image);
        } else if (image.width() == 32 && image.height() == 32) {
            large = PictureOf(image);
        }
    } while (reader.jumpToNextImage());
    if (!small || !large) {
        return std::nullopt;
    }
    return DrawnPictures{std::move(*small), std::move(*large)};
}

QImage TrayPicture(const DrawnPictures& drawn, QSize size)
{
    QImage image(size.expandedTo(QSize(0, 0)), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const IconPicture picture = IconAtSize(drawn.small, drawn.large, std::min(image.width(), image.height()));
    const int left = (image.width() - picture.size) / 2;
    const int top = (image.height() - picture.size) / 2;
    for (int y = 0; y < picture.size; ++y) {
        std::memcpy(image.scanLine(top + y) + static_cast<std::ptrdiff_t>(left) * 4,
                    picture.pixels.data() + static_cast<std::ptrdiff_t>(y) * picture.size,
                    static_cast<std::size_t>(picture.size) * 4);
    }
    return image;
}

QIcon TrayIconOf(const QString& icoPath)
{
    std::optional<DrawnPictures> drawn = ReadDrawnPictures(icoPath);
    const QString name = QStringLiteral("vorda-dictionary-") + QFileInfo(icoPath).completeBaseName();
    return drawn ? QIcon(new TrayIconEngine(std::move(*drawn), name)) : QIcon();
}

} // namespace vorda::qt
