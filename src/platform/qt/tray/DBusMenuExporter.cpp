#include "platform/qt/tray/DBusMenuExporter.h"

#include <QAction>
#include <QDBusConnection>
#include <QMenu>
#include <QTimer>

#include <utility>

namespace vorda::qt {
namespace {

constexpr int kRootId = 0;

int IdOf(const QAction& action) { return action.data().toInt(); }

} // namespace

DBusMenuExporter::DBusMenuExporter(const QMenu& menu, std::function<void(int id)> onClicked)
    : menu_(menu), onClicked_(std::move(onClicked))
{
    for (QAction* action : menu_.actions()) {
        connect(action, &QAction::changed, this, [this, action] {
            const bool first = changed_.empty();
            changed_.insert(IdOf(*action));
            if (first) {
                // Nine captions change at once with the clipboard: one message for them all.
                QTimer::singleShot(0, this, &DBusMenuExporter::SendChanges);
            }
        });
    }
}

QString DBusMenuExporter::HostLabel(const QString& caption)
{
    QString label;
    label.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption[i];
        if (c == QLatin1Char('&') && i + 1 < caption.size()) {
            ++i;
            label += caption[i] == QLatin1Char('&') ? QStringLiteral("&") : QStringLiteral("_") + caption[i];
        } else if (c == QLatin1Char('_')) {
            label += QStringLiteral("__");
        } else {
            label += c;
        }
    }
    return label;
}

void DBusMenuExporter::Refuse(const QString& why)
{
    if (calledFromDBus()) {
        sendErrorReply(QDBusError::InvalidArgs, why);
    }
}

const QAction* DBusMenuExporter::ActionOf(int id) const
{
    for (const QAction* action : menu_.actions()) {
        if (IdOf(*action) == id) {
            return action;
        }
    }
    return nullptr;
}

QVariantMap DBusMenuExporter::PropertiesOf(int id, const QStringList& names) const
{
    QVariantMap properties;
    if (id == kRootId) {
        properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    } else if (const QAction* action = ActionOf(id)) {
        if (action->isSeparator()) {
            properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
        } else {
            properties.insert(QStringLiteral("label"), HostLabel(action->text()));
        }
        properties.insert(QStringLiteral("enabled"), action->isEnabled());
        properties.insert(QStringLiteral("visible"), action->isVisible());
    }
    if (!names.isEmpty()) {
        for (auto it = properties.begin(); it != properties.end();) {
            it = names.contains(it.key()) ? std::next(it) : properties.erase(it);
        }
    }
    return properties;
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                 MenuLayoutItem& layout)
{
    if (parentId != kRootId && ActionOf(parentId) == nullptr) {
        Refuse(QStringLiteral("no menu item %1").arg(parentId));
        return 0;
    }
    layout = {parentId, PropertiesOf(parentId, propertyNames), {}};
    if (parentId == kRootId && recursionDepth != 0) {
        for (const QAction* action : menu_.actions()) {
            layout.children << MenuLayoutItem{IdOf(*action), PropertiesOf(IdOf(*action), propertyNames), {}};
        }
    }
    return 1; // the items never change places, only their properties
}

MenuItemPropertiesList DBusMenuExporter::GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames)
{
    MenuItemPropertiesList found;
    const auto add = [&](int id) { found << MenuItemProperties{id, PropertiesOf(id, propertyNames)}; };
    if (ids.isEmpty()) { // every item
        add(kRootId);
        for (const QAction* action : menu_.actions()) {
            add(IdOf(*action));
        }
    }
    for (const int id : ids) {
        if (id == kRootId || ActionOf(id) != nullptr) {
            add(id);
        }
    }
    return found;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name)
{
    const QVariantMap properties = PropertiesOf(id, {name});
    if (!properties.contains(name)) {
        Refuse(QStringLiteral("item %1 has no property %2").arg(id).arg(name));
        return {};
    }
    return QDBusVariant(properties.value(name));
}

bool DBusMenuExporter::Click(int id, const QString& eventId)
{
    const QAction* action = ActionOf(id);
    if (id != kRootId && action == nullptr) {
        return false;
    }
    if (eventId == QLatin1String("clicked") && action != nullptr && action->isEnabled() && !action->isSeparator()) {
        onClicked_(id);
    }
    return true;
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant& /*data*/, uint /*timestamp*/)
{
    if (!Click(id, eventId)) {
        Refuse(QStringLiteral("no menu item %1").arg(id));
    }
}

QList<int> DBusMenuExporter::EventGroup(const MenuEventList& events)
{
    QList<int> notFound;
    for (const MenuEvent& event : events) {
        if (!Click(event.id, event.eventId)) {
            notFound << event.id;
        }
    }
    return notFound;
}

bool DBusMenuExporter::AboutToShow(int /*id*/) { return false; } // the hosts are always told at once

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors)
{
    for (const int id : ids) {
        if (id != kRootId && ActionOf(id) == nullptr) {
            idErrors << id;
        }
    }
    return {};
}

void DBusMenuExporter::SendChanges()
{
    MenuItemPropertiesList updated;
    for (const int id : std::exchange(changed_, {})) {
        updated << MenuItemProperties{id, PropertiesOf(id, {})};
    }
    if (!updated.isEmpty()) {
        emit ItemsPropertiesUpdated(updated, {});
    }
}

} // namespace vorda::qt
