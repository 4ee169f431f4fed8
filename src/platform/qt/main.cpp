// vorda-dictionary: the Linux desktop program, the same program as Dictionary.exe over Qt 6.

#include "app/frmDictionary.h"
#include "platform/qt/QtPlatform.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Under Wayland a program without the focus cannot read the clipboard; through XWayland it can.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // closing a box must not end the program
    QApplication::setApplicationName(QStringLiteral("vorda-dictionary"));
    QGuiApplication::setDesktopFileName(QStringLiteral("vorda-dictionary"));

    vorda::qt::QtPlatform platform;
    return vorda::RunDictionary(platform);
}
