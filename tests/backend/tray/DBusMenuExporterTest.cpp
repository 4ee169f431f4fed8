// The popup as a tray host sees it through the exported menu: ids, labels with their access keys,
// separators and enabled states, one update for a burst of changes, and which clicks choose.

#include "platform/qt/tray/DBusMenuExporter.h"

#include "../OffscreenApplication.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vorda::qt {
namespace {

QApplication& Application() { return OffscreenApplication(); }

class ExportedMenu : public testing::Test {
protected:
    void SetUp() override
    {
        Add(1, "&Dictionary look up 'tide'");
        Add(2, "-");
        Add(3, "&Cancel");
        Add(4, "Quotes containing 'tide'", false);
        exporter = std::make_unique<DBusMenuExporter>(menu, [this](int id) { clicked.push_back(id); });
    }

    QAction* Add(int id, const char* caption, bool enabled = true)
    {
        QAction* action = menu.addAction(QString::fromUtf8(caption));
        action->setSeparator(caption == std::string_view("-"));
        action->setEnabled(enabled);
        action->setData(id);
        actions.push_back(action);
        return action;
    }

    QApplication& application = Application(); // before any widget
    QMenu menu;
    std::vector<QAction*> actions;
    std::vector<int> clicked;
    std::unique_ptr<DBusMenuExporter> exporter;
};

TEST(HostLabel, AccessKeysBecomeUnderscoresAndLiteralCharactersSurvive)
{
    const struct {
        const char* caption;
        const char* label;
    } cases[] = {
        {"&Look up...", "_Look up..."},       {"E&xit", "E_xit"},
        {"rock && roll", "rock & roll"},      {"snake_case", "snake__case"},
        {"Quotes containing...", "Quotes containing..."}, {"trailing &", "trailing &"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DBusMenuExporter::HostLabel(QString::fromUtf8(c.caption)).toStdString(), c.label) << c.caption;
    }
}

TEST_F(ExportedMenu, TheLayoutHoldsEveryItemUnderTheRootWithItsStateNow)
{
    MenuLayoutItem layout;
    EXPECT_EQ(exporter->GetLayout(0, -1, {}, layout), 1U);
    EXPECT_EQ(layout.id, 0);
    ASSERT_EQ(layout.children.size(), 4);
    EXPECT_EQ(layout.children[0].id, 1);
    EXPECT_EQ(layout.children[0].properties.value("label").toString(), "_Dictionary look up 'tide'");
    EXPECT_TRUE(layout.children[0].properties.value("enabled").toBool());
    EXPECT_EQ(layout.children[1].properties.value("type").toString(), "separator");
    EXPECT_FALSE(layout.children[1].properties.contains("label"));
    EXPECT_FALSE(layout.children[3].properties.value("enabled").toBool());

    MenuLayoutItem labelsOnly;
    exporter->GetLayout(0, -1, {"label"}, labelsOnly);
    EXPECT_EQ(labelsOnly.children[0].properties.keys(), QStringList{"label"});

    MenuLayoutItem rootOnly;
    exporter->GetLayout(0, 0, {}, rootOnly);
    EXPECT_TRUE(rootOnly.children.isEmpty());
}

TEST_F(ExportedMenu, OnlyAClickOnAnEnabledItemChoosesIt)
{
    exporter->Event(1, "clicked", QDBusVariant(0), 0);
    exporter->Event(1, "hovered", QDBusVariant(0), 0);
    exporter->Event(2, "clicked", QDBusVariant(0), 0); // a separator
    exporter->Event(4, "clicked", QDBusVariant(0), 0); // disabled
    exporter->Event(99, "clicked", QDBusVariant(0), 0);
    EXPECT_EQ(clicked, (std::vector<int>{1}));

    const QList<int> notFound = exporter->EventGroup({{3, "clicked", QDBusVariant(0), 0}, {42, "clicked", QDBusVariant(0), 0}});
    EXPECT_EQ(clicked, (std::vector<int>{1, 3}));
    EXPECT_EQ(notFound, QList<int>{42});
}

TEST_F(ExportedMenu, ABurstOfChangesReachesTheHostsAsOneUpdateWithTheNewState)
{
    std::vector<MenuItemPropertiesList> updates;
    QObject::connect(exporter.get(), &DBusMenuExporter::ItemsPropertiesUpdated,
                     [&](const MenuItemPropertiesList& updated, const MenuItemRemovedPropertiesList&) {
                         updates.push_back(updated);
                     });
    actions[0]->setText("&Dictionary look up 'rock'");
    actions[0]->setEnabled(false);
    actions[3]->setText("Quotes containing 'rock'");
    EXPECT_TRUE(updates.empty()); // sent from the event loop, once
    QCoreApplication::processEvents();
    ASSERT_EQ(updates.size(), 1U);
    ASSERT_EQ(updates[0].size(), 2);
    EXPECT_EQ(updates[0][0].id, 1);
    EXPECT_EQ(updates[0][0].properties.value("label").toString(), "_Dictionary look up 'rock'");
    EXPECT_FALSE(updates[0][0].properties.value("enabled").toBool());
    EXPECT_EQ(updates[0][1].id, 4);

    QCoreApplication::processEvents();
    EXPECT_EQ(updates.size(), 1U); // nothing more while nothing changes
}

TEST_F(ExportedMenu, GroupPropertiesAnswerForKnownItemsOnly)
{
    const MenuItemPropertiesList found = exporter->GetGroupProperties({3, 77}, {"label"});
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].properties.value("label").toString(), "_Cancel");
    EXPECT_EQ(exporter->GetGroupProperties({}, {}).size(), 5); // the root and every item
}

} // namespace
} // namespace vorda::qt
