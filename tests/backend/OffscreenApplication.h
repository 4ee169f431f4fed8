#pragma once
// The one application a backend test binary needs, on Qt's offscreen platform: no display.

#include <QApplication>

namespace vorda::qt {

inline QApplication& OffscreenApplication()
{
    static int argc = 3;
    static char name[] = "test";
    static char option[] = "-platform";
    static char platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    static QApplication application(argc, argv);
    return application;
}

} // namespace vorda::qt
