#include "TestSupport.h"
#include "app/FormDefinitions.h"

#include <gtest/gtest.h>

#include <set>

namespace vorda::test {
namespace {

std::optional<char16_t> AccessKey(std::u16string_view caption)
{
    const auto amp = caption.find(u'&');
    if (amp == std::u16string_view::npos || amp + 1 >= caption.size()) {
        return std::nullopt;
    }
    return caption[amp + 1];
}

TEST(MenuDefinition, ItemsAreInMenuOrderWithTheirCreationCaptions)
{
    const std::vector<std::pair<std::string, std::u16string>> expected{
        {"mnuSysTray", u"SysTray"},
        {"mnuLookup", u"&Dictionary look up..."},
        {"mnuSearch", u"&Google Search..."},
        {"mnuThesaurus", u"&Thesauraus look up..."},
        {"mnuSpellCheck", u"S&pell Check..."},
        {"mnuAnagram", u"&Anagram lookup..."},
        {"mnuHomophone", u"&Homophone lookup..."},
        {"mnuRyhme", u"&Rhyming with..."},
        {"mnuQuotes", u"Quotes containing..."},
        {"mnuEncyclopedia", u"Encyclopedia lookup..."},
        {"mnuSep20", u"-"},
        {"mnuManualLookup", u"&Look up..."},
        {"mnuSep67", u"-"},
        {"mnuVorda", u"Go to Vorda web site..."},
        {"mnuSep70", u"-"},
        {"mnuCancel", u"&Cancel"},
        {"mnuSep30", u"-"},
        {"mnuExit", u"E&xit"},
    };
    ASSERT_EQ(kMenuDefinition.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first);
        EXPECT_EQ(static_cast<std::size_t>(kMenuDefinition[i].item), i);
        EXPECT_EQ(kMenuDefinition[i].name, expected[i].first);
        EXPECT_TRUE(kMenuDefinition[i].caption == expected[i].second);
        EXPECT_EQ(kMenuDefinition[i].level, i == 0 ? 0 : 1);
        EXPECT_TRUE(kMenuDefinition[i].enabled);
    }
}

TEST(MenuDefinition, AccessKeysAreDistinctAndOnlyChoosableItemsHaveHandlers)
{
    std::u16string keys;
    for (const auto& item : kMenuDefinition) {
        if (item.level == 0) {
            continue;
        }
        if (const auto key = AccessKey(item.caption)) {
            keys += *key;
        }
        const bool noHandler = item.IsSeparator() || item.item == MenuItem::mnuCancel;
        EXPECT_EQ(item.hasClickHandler, !noHandler) << item.name;
    }
    EXPECT_TRUE(keys == u"DGTpAHRLCx") << "access keys in menu order";
    const std::set<char16_t> distinct(keys.begin(), keys.end());
    EXPECT_EQ(distinct.size(), keys.size());
    for (const auto item : {MenuItem::mnuQuotes, MenuItem::mnuEncyclopedia, MenuItem::mnuVorda}) {
        EXPECT_FALSE(AccessKey(MenuDefinitionOf(item).caption)) << NameOf(item);
    }
}

TEST(MenuDefinition, WindowIsCreatedHiddenWithBothTimersRunning)
{
    FakePlatform platform;
    const frmDictionary window(platform);
    ASSERT_EQ(platform.log.front(), "CreateMainWindow System Tray Form");
    EXPECT_TRUE(platform.trayRequests.empty()); // nothing is shown before the window's Load
    EXPECT_TRUE(platform.timerEnabled.at(TimerId::tmrCheckClipboard));
    EXPECT_TRUE(platform.timerEnabled.at(TimerId::tmrSetHomePage));
    EXPECT_EQ(kTimerDefinition[0].periodMs, 200U);
    EXPECT_EQ(kTimerDefinition[1].periodMs, 60000U);
    EXPECT_EQ(kFrmDictionary.scaleMode, kScaleModeTwips);
    EXPECT_FALSE(window.IconFormLoaded());
}

TEST(MenuDefinition, ItemsTenToSeventeenAreNeverWrittenWhateverTheClipboardHolds)
{
    WindowOverFake fake;
    fake.window.Form_Load();
    for (const auto* text : {u"word", u"", u"  ", u"a much longer text than twenty characters"}) {
        fake.platform.clipboard = text;
        fake.window.tmrCheckClipboard_Timer();
    }
    for (const auto& line : fake.platform.log) {
        for (int i = 10; i <= 17; ++i) {
            EXPECT_EQ(line.find(NameOf(static_cast<MenuItem>(i)) + " "), std::string::npos) << line;
        }
    }
}

} // namespace
} // namespace vorda::test
