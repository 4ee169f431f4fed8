#include "platform/qt/tray/TrayIconTheme.h"

#include "app/IconSizes.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QStandardPaths>
#include <QStringList>

namespace vorda::qt {
namespace {

QString SizeFolder(int size) { return QStringLiteral("%1x%1/apps").arg(size); }

// Plasma takes the theme's base folder only where the path ends in "NAME/icons".
QString ThemeFolder(const QTemporaryDir& folder) { return folder.filePath(QStringLiteral("vorda-dictionary/icons")); }

bool WriteIndex(const QString& hicolor)
{
    QStringList folders;
    QString sections;
    for (const int size : kTrayIconSizes) {
        folders << SizeFolder(size);
        sections += QStringLiteral("\n[%1]\nSize=%2\nType=Fixed\n").arg(SizeFolder(size)).arg(size);
    }
    QFile index(hicolor + QStringLiteral("/index.theme"));
    const QByteArray text =
        (QStringLiteral("[Icon Theme]\nName=Hicolor\nDirectories=%1\n").arg(folders.join(QLatin1Char(','))) + sections)
            .toUtf8();
    return index.open(QIODevice::WriteOnly) && index.write(text) == text.size() && index.flush();
}

} // namespace

QString TrayIconTheme::NameOf(const QIcon& icon)
{
    const QString name = icon.name();
    if (name.isEmpty()) {
        return {};
    }
    if (written_.contains(name)) {
        return name;
    }
    const QString hicolor = folder_ ? ThemeFolder(*folder_) + QStringLiteral("/hicolor") : QString();
    if (!folder_) {
        QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        folder_ = std::make_unique<QTemporaryDir>((runtime.isEmpty() ? QDir::tempPath() : runtime) +
                                                  QStringLiteral("/vorda-dictionary-XXXXXX"));
        if (!folder_->isValid() || !QDir().mkpath(ThemeFolder(*folder_) + QStringLiteral("/hicolor")) ||
            !WriteIndex(ThemeFolder(*folder_) + QStringLiteral("/hicolor"))) {
            folder_.reset();
            return {};
        }
        return NameOf(icon);
    }
    for (const int size : kTrayIconSizes) {
        const QString folder = hicolor + QLatin1Char('/') + SizeFolder(size);
        if (!QDir().mkpath(folder) ||
            !icon.pixmap(QSize(size, size), 1.0).save(folder + QLatin1Char('/') + name + QStringLiteral(".png"), "PNG")) {
            return {};
        }
    }
    written_.insert(name);
    return name;
}

void TrayIconTheme::Remove()
{
    folder_.reset();
    written_.clear();
}

QString TrayIconTheme::Path() const { return folder_ && !written_.empty() ? ThemeFolder(*folder_) : QString(); }

} // namespace vorda::qt
