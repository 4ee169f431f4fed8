#pragma once
// The tray icons as a small icon theme in the session's runtime folder, for the hosts that look an
// item's icon up by name in the item's theme folder and otherwise take the largest of its pictures
// and smooth it to their size (Xfce's tray). The theme lists each tray size as a fixed size, so a
// host finds the picture of its own size. The item writes it only while it is on the bus, and removes
// it when it leaves: the program ends without running destructors.

#include <QIcon>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <set>

namespace vorda::qt {

class TrayIconTheme {
public:
    // The icon's name in the theme, its pictures written there first; empty where the icon has no
    // name or the folder cannot be written.
    QString NameOf(const QIcon& icon);
    // The folder to hand over as the item's IconThemePath; empty until an icon is in it.
    [[nodiscard]] QString Path() const;
    // Removes the folder; NameOf writes it again.
    void Remove();

private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::set<QString> written_;
};

} // namespace vorda::qt
