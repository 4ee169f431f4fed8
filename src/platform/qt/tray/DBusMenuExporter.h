#pragma once
// The popup as an exported menu (com.canonical.dbusmenu, object /MenuBar), so that a
// StatusNotifierItem host draws it by the icon: each action of the QMenu is an item whose id is the
// action's data, with its caption, access key and enabled state as they are now. A change of an action
// reaches the host as one ItemsPropertiesUpdated from the event loop; nothing is sent while nothing
// changes. The host's click on an item is handed to `onClicked` with the item's id.

#include "platform/qt/tray/DBusTrayTypes.h"

#include <QDBusContext>
#include <QObject>

#include <functional>
#include <set>

class QAction;
class QMenu;

namespace vorda::qt {

class DBusMenuExporter final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ Version)
    Q_PROPERTY(QString TextDirection READ TextDirection)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(QStringList IconThemePath READ IconThemePath)

public:
    DBusMenuExporter(const QMenu& menu, std::function<void(int id)> onClicked);

    // "&Look up..." is "_Look up..." to a host: dbusmenu marks the access key with "_".
    [[nodiscard]] static QString HostLabel(const QString& caption);

    uint Version() const { return 3; }
    QString TextDirection() const { return QStringLiteral("ltr"); }
    QString Status() const { return QStringLiteral("normal"); }
    QStringList IconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   vorda::qt::MenuLayoutItem& layout);
    vorda::qt::MenuItemPropertiesList GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const vorda::qt::MenuEventList& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

signals:
    void ItemsPropertiesUpdated(const vorda::qt::MenuItemPropertiesList& updatedProps,
                                const vorda::qt::MenuItemRemovedPropertiesList& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    [[nodiscard]] const QAction* ActionOf(int id) const;
    [[nodiscard]] QVariantMap PropertiesOf(int id, const QStringList& names) const;
    bool Click(int id, const QString& eventId);
    void Refuse(const QString& why); // the host's call gets an error instead of its answer
    void SendChanges();

    const QMenu& menu_;
    std::function<void(int id)> onClicked_;
    std::set<int> changed_; // ids whose properties the hosts have not been told yet
};

} // namespace vorda::qt
