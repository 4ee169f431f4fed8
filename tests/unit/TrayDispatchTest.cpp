#include "TestSupport.h"
#include "lookup/LookupService.h"
#include "text/Utf16.h"
#include "tray/TrayEventDecode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vorda::test {
namespace {

struct DecodeCase {
    float x;
    std::int16_t scaleMode;
    float twipsPerPixel;
    std::optional<std::int32_t> expected;
};

class DecodeTrayEvent : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTrayEvent, RecoversTheEventNumber)
{
    const auto& c = GetParam();
    EXPECT_EQ(DecodeTrayEventNumber(c.x, c.scaleMode, c.twipsPerPixel), c.expected);
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeTrayEvent,
    testing::Values(DecodeCase{515.0F, 3, 15.0F, 515}, DecodeCase{515.0F, 3, 0.0F, 515},
                    DecodeCase{7725.0F, 1, 15.0F, 515}, DecodeCase{7755.0F, 1, 15.0F, 517},
                    DecodeCase{6180.0F, 1, 12.0F, 515}, DecodeCase{6204.0F, 1, 12.0F, 517},
                    DecodeCase{2.5F, 3, 15.0F, 2}, DecodeCase{3.5F, 3, 15.0F, 4},
                    DecodeCase{-2.5F, 3, 15.0F, -2}, DecodeCase{37.5F, 1, 15.0F, 2},
                    DecodeCase{22.5F, 1, 15.0F, 2}, DecodeCase{7732.0F, 1, 15.0F, 515},
                    DecodeCase{7725.0F, 1, 0.0F, std::nullopt}, DecodeCase{kNaN, 1, 15.0F, std::nullopt},
                    DecodeCase{kInf, 3, 15.0F, std::nullopt}, DecodeCase{515.0F, 1, kNaN, std::nullopt},
                    DecodeCase{3.0e9F, 3, 15.0F, std::nullopt}, DecodeCase{-3.0e9F, 1, 1.0F, std::nullopt},
                    DecodeCase{3.0e38F, 1, 1.0e-30F, std::nullopt}));

class TrayDispatch : public testing::Test {
protected:
    void SetUp() override { fake.LoadAndClearLog(); }

    void Events(std::initializer_list<int> numbers)
    {
        for (const int n : numbers) {
            fake.window.OnMouseMove(0, 0, static_cast<float>(n) * 15.0F, 0.0F);
        }
    }

    WindowOverFake fake;
};

TEST_F(TrayDispatch, DoubleClickRunsExactlyOneDictionaryLookUp)
{
    fake.platform.clipboard = u"word";
    Events({512, 513, 514, 515, 514, 512});
    EXPECT_EQ(fake.platform.OpenedAddresses(),
              std::vector<std::string>{ToUtf8(kDictionaryService.BaseAddress()) + "word"});
    EXPECT_TRUE(fake.platform.LogOf("ShowPopupMenu").empty());
}

TEST_F(TrayDispatch, RightButtonShowsThePopupOnReleaseOnly)
{
    Events({516});
    EXPECT_TRUE(fake.platform.LogOf("ShowPopupMenu").empty());
    Events({517});
    EXPECT_EQ(fake.platform.LogOf("ShowPopupMenu").size(), 1U);
}

TEST_F(TrayDispatch, OtherEventsDoNothing)
{
    fake.platform.clipboard = u"word";
    Events({512, 513, 514, 516, 518, 519, 0, -515});
    EXPECT_TRUE(fake.platform.log.empty()) << fake.platform.log.front();
}

TEST_F(TrayDispatch, DoubleClickLooksUpEvenWhileTheItemIsDisabled)
{
    fake.platform.clipboard = u"";
    fake.window.tmrCheckClipboard_Timer();
    ASSERT_FALSE(fake.platform.enabled.at(MenuItem::mnuLookup));
    fake.platform.clipboard = u"copied since the last tick";
    Events({515});
    ASSERT_EQ(fake.platform.launches.size(), 1U);
    EXPECT_TRUE(fake.platform.launches[0].file.ends_with("copied%20since%20the%20last%20tick"));
}

TEST_F(TrayDispatch, PopupChoiceRunsThatItemsHandler)
{
    fake.platform.clipboard = u"word";
    fake.platform.popupChoice = MenuItem::mnuThesaurus;
    Events({517});
    EXPECT_EQ(fake.platform.OpenedAddresses(),
              std::vector<std::string>{ToUtf8(LookupServiceFor(MenuItem::mnuThesaurus).BaseAddress()) + "word"});
}

TEST_F(TrayDispatch, AnItemChosenFromAHostsMenuRunsThatItemsHandlerWithoutAPopup)
{
    fake.platform.clipboard = u"word";
    fake.window.OnMenuItemChosen(MenuItem::mnuRyhme);
    fake.window.OnMenuItemChosen(MenuItem::mnuCancel);
    EXPECT_EQ(fake.platform.OpenedAddresses(),
              std::vector<std::string>{ToUtf8(LookupServiceFor(MenuItem::mnuRyhme).BaseAddress()) + "word"});
    EXPECT_TRUE(fake.platform.LogOf("ShowPopupMenu").empty());
}

TEST_F(TrayDispatch, NoItemRunsOnceTheProgramHasEnded)
{
    fake.platform.clipboard = u"word";
    fake.window.OnMenuItemChosen(MenuItem::mnuExit);
    ASSERT_TRUE(fake.window.HasEnded());
    fake.platform.log.clear();
    fake.window.OnMenuItemChosen(MenuItem::mnuLookup);
    EXPECT_TRUE(fake.platform.log.empty()) << fake.platform.log.front();
}

TEST_F(TrayDispatch, CancelOrClosingThePopupChangesNothing)
{
    for (const auto choice : {std::optional<MenuItem>{MenuItem::mnuCancel}, std::optional<MenuItem>{}}) {
        fake.platform.popupChoice = choice;
        fake.platform.log.clear();
        Events({517});
        EXPECT_EQ(fake.platform.log, std::vector<std::string>{"ShowPopupMenu"});
    }
}

TEST_F(TrayDispatch, PixelScaleModeTakesXAsItIs)
{
    fake.platform.scaleMode = 3;
    fake.platform.clipboard = u"word";
    fake.window.OnMouseMove(0, 0, 515.0F, 0.0F);
    EXPECT_EQ(fake.platform.launches.size(), 1U);
}

TEST_F(TrayDispatch, AFailedDecodeLeavesTheEventAtZero)
{
    fake.platform.clipboard = u"word";
    fake.platform.scaleModeFails = true;
    Events({515, 517});
    fake.platform.scaleModeFails = false;
    fake.platform.twipsPerPixel = 0.0F;
    Events({515, 517});
    EXPECT_TRUE(fake.platform.log.empty());
}

TEST_F(TrayDispatch, TrayEventNumbersFromHostsWithoutMouseMovesTakeTheSameRoad)
{
    fake.platform.clipboard = u"word";
    fake.window.OnTrayEvent(515);
    fake.window.OnTrayEvent(517);
    fake.window.OnTrayEvent(513);
    EXPECT_EQ(fake.platform.launches.size(), 1U);
    EXPECT_EQ(fake.platform.LogOf("ShowPopupMenu").size(), 1U);
}

} // namespace
} // namespace vorda::test
