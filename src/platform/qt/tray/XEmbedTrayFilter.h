#pragma once
// What Qt's own icon window on an XEmbed tray does differently from the notification area the
// program was made for, put right:
//   - its tooltip reads a text that looks like markup as markup ("<h1>x" shows a heading); the
//     tooltip shows the clipboard's first characters as they are;
//   - it reports the context click on the right button's press; the popup opens on its release.
// A StatusNotifierItem host draws the icon itself and decides both by itself; nothing here applies.

#include <QObject>

#include <functional>

class QSystemTrayIcon;

namespace vorda::qt {

class XEmbedTrayFilter final : public QObject {
public:
    // Watches every widget of the application; `onRightRelease` runs from the event loop.
    XEmbedTrayFilter(const QSystemTrayIcon& tray, std::function<void()> onRightRelease);

    // Whether the icon is Qt's own window docked in an XEmbed tray.
    [[nodiscard]] static bool IsXEmbedIcon(const QObject& object);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const QSystemTrayIcon& tray_;
    std::function<void()> onRightRelease_;
};

} // namespace vorda::qt
