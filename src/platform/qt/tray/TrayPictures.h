#pragma once
// The program's two icons as Qt takes them: every size a tray asks for is the drawn picture in whole
// pixels (app/IconSizes.h), on every road, the StatusNotifierItem's list and the XEmbed icon window.

#include "app/IconSizes.h"

#include <QIcon>
#include <QImage>
#include <QString>

#include <optional>

namespace vorda::qt {

// The 16 and the 32 pixel picture of an .ico file.
struct DrawnPictures {
    IconPicture small;
    IconPicture large;
};
[[nodiscard]] std::optional<DrawnPictures> ReadDrawnPictures(const QString& icoPath);

// The picture at `size`, in the middle of an image of that size where it is not square.
[[nodiscard]] QImage TrayPicture(const DrawnPictures& drawn, QSize size);

// An icon named after the file (vorda-dictionary-text for text.ico) that lists the tray sizes and
// paints, at any size, the picture for that many device pixels: Qt's own icon window would otherwise
// smooth the nearest image to its size. Null when the file does not hold both pictures.
[[nodiscard]] QIcon TrayIconOf(const QString& icoPath);

} // namespace vorda::qt
