// The tray icon as hosts take it: every size a host asks for, at scale 1, 1.5 and 2, is listed and
// is the picture for that size; the theme written for hosts that look the icon up by name holds each
// listed size, and goes when removed.

#include "platform/qt/tray/TrayIconTheme.h"
#include "platform/qt/tray/TrayPictures.h"

#include "../OffscreenApplication.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vorda::qt {
namespace {

QIcon NoTextIcon()
{
    OffscreenApplication();
    return TrayIconOf(QStringLiteral(VORDA_NOTEXT_ICO));
}

class HostSize : public testing::TestWithParam<int> {};

TEST_P(HostSize, IsListedAndIsThePictureForIt)
{
    const QIcon icon = NoTextIcon();
    ASSERT_FALSE(icon.isNull());
    const int size = GetParam();
    EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
    const auto drawn = ReadDrawnPictures(QStringLiteral(VORDA_NOTEXT_ICO));
    ASSERT_TRUE(drawn);
    EXPECT_EQ(icon.pixmap(QSize(size, size), 1.0).toImage().convertToFormat(QImage::Format_ARGB32),
              TrayPicture(*drawn, QSize(size, size)));
}

// Trays of 16, 20, 22 and 24 px at scale 1, 1.5 and 2.
INSTANTIATE_TEST_SUITE_P(Scales, HostSize, testing::Values(16, 20, 22, 24, 30, 32, 33, 36, 40, 44, 48));

TEST(TrayIconTheme, HoldsEveryListedSizeUntilRemoved)
{
    const QIcon icon = NoTextIcon();
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    TrayIconTheme theme;
    EXPECT_TRUE(theme.Path().isEmpty());
    const QString name = theme.NameOf(icon);
    ASSERT_EQ(name, QStringLiteral("vorda-dictionary-notext"));
    const QString path = theme.Path();
    EXPECT_TRUE(path.startsWith(runtime.path() + QLatin1Char('/'))) << path.toStdString();
    for (const QSize size : icon.availableSizes()) {
        const QString file = QStringLiteral("%1/hicolor/%2x%2/apps/%3.png").arg(path).arg(size.width()).arg(name);
        EXPECT_EQ(QImage(file).size(), size) << file.toStdString();
    }
    theme.Remove();
    EXPECT_TRUE(theme.Path().isEmpty());
    EXPECT_TRUE(QDir(runtime.path()).isEmpty()) << "left: " << QDir(runtime.path()).entryList().join(' ').toStdString();
}

} // namespace
} // namespace vorda::qt
