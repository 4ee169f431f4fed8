#pragma once
// The structures that a StatusNotifierItem and its exported menu (com.canonical.dbusmenu) send over
// D-Bus, with their wire signatures. RegisterDBusTrayTypes must run before any of them is sent.

#include <QByteArray>
#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace vorda::qt {

// One picture of the icon: width, height and ARGB32 pixels in network byte order, "(iiay)".
struct IconPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using IconPixmapList = QList<IconPixmap>; // "a(iiay)"

// "(sa(iiay)ss)": icon name, pictures, title, description.
struct ItemToolTip {
    QString iconName;
    IconPixmapList pictures;
    QString title;
    QString description;
};

// A menu item and, where asked for, its children, "(ia{sv}av)": each child is a variant holding one.
struct MenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<MenuLayoutItem> children;
};

// "(ia{sv})" and "(ias)": an item's properties, and the names of those it no longer has.
struct MenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using MenuItemPropertiesList = QList<MenuItemProperties>;
struct MenuItemRemovedProperties {
    int id = 0;
    QStringList names;
};
using MenuItemRemovedPropertiesList = QList<MenuItemRemovedProperties>;

// "(isvu)": an event on an item, as a host sends several at once.
struct MenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using MenuEventList = QList<MenuEvent>;

void RegisterDBusTrayTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const IconPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, IconPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const ItemToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, ItemToolTip& toolTip);
QDBusArgument& operator<<(QDBusArgument& argument, const MenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, MenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const MenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, MenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const MenuItemRemovedProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, MenuItemRemovedProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const MenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, MenuEvent& event);

} // namespace vorda::qt

Q_DECLARE_METATYPE(vorda::qt::IconPixmap)
Q_DECLARE_METATYPE(vorda::qt::ItemToolTip)
Q_DECLARE_METATYPE(vorda::qt::MenuLayoutItem)
Q_DECLARE_METATYPE(vorda::qt::MenuItemProperties)
Q_DECLARE_METATYPE(vorda::qt::MenuItemRemovedProperties)
Q_DECLARE_METATYPE(vorda::qt::MenuEvent)
