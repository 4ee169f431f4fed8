// vorda-dictionary: the Linux desktop program, the same program as Dictionary.exe over Qt 6.

#include "app/FormDefinitions.h"
#include "app/frmDictionary.h"
#include "platform/qt/QtPlatform.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // With both displays the windows go to XWayland, where the popup opens at the pointer and the
    // input box takes the focus; with a Wayland display alone, to Wayland (the tray is then a
    // StatusNotifierItem). The clipboard has a reader of its own either way.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsSet("DISPLAY") ? "xcb" : "wayland");
    }
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // closing a box must not end the program
    QApplication::setApplicationName(QStringLiteral("vorda-dictionary"));
    // The name the tray hosts and the notification show.
    QApplication::setApplicationDisplayName(
        QString::fromUtf16(vorda::kDisplayName.data(), static_cast<qsizetype>(vorda::kDisplayName.size())));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.vorda.dictionary"));

    vorda::qt::QtPlatform platform;
    return vorda::RunDictionary(platform);
}
