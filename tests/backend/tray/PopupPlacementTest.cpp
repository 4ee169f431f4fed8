// Where the popup goes for a point a tray host asks for: on the screen holding it, or the nearest.

#include "platform/qt/tray/PopupPlacement.h"

#include <gtest/gtest.h>

#include <climits>

namespace vorda::qt {
namespace {

struct PlacementCase {
    const char* what;
    QPoint at;
    QPoint expected;
};

// Two screens side by side, the right one smaller and lower: 0,0 1280x800 and 1280,200 1024x600.
const QList<QRect> kScreens{QRect(0, 0, 1280, 800), QRect(1280, 200, 1024, 600)};
const QSize kPopup(310, 294);

class PopupOnScreens : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PopupOnScreens, LiesWhollyOnOneScreen)
{
    const QPoint placed = PopupPosition(GetParam().at, kPopup, kScreens);
    EXPECT_EQ(placed, GetParam().expected) << GetParam().what;
    const QRect popup(placed, kPopup);
    EXPECT_TRUE(kScreens[0].contains(popup) || kScreens[1].contains(popup)) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Points, PopupOnScreens,
    ::testing::Values(PlacementCase{"where it fits", {100, 100}, {100, 100}},
                      PlacementCase{"near the corner", {1000, 745}, {970, 506}},
                      PlacementCase{"on the second screen", {1500, 300}, {1500, 300}},
                      PlacementCase{"at the second screen's edge", {2300, 790}, {1994, 506}},
                      PlacementCase{"above the second screen", {1500, 50}, {1500, 200}},
                      PlacementCase{"the ends of the range", {INT_MAX, INT_MIN}, {1994, 200}},
                      PlacementCase{"the other ends", {INT_MIN, INT_MAX}, {0, 506}},
                      PlacementCase{"left of everything", {-5000, 300}, {0, 300}},
                      PlacementCase{"below the first screen", {640, 5000}, {640, 506}}));

TEST(PopupPlacement, APopupLargerThanItsScreenStartsAtItsCorner)
{
    EXPECT_EQ(PopupPosition({900, 700}, QSize(2000, 1000), {QRect(0, 0, 1280, 800)}), QPoint(0, 0));
}

TEST(PopupPlacement, WithoutScreensThePointStays)
{
    EXPECT_EQ(PopupPosition({INT_MAX, 5}, kPopup, {}), QPoint(INT_MAX, 5));
    EXPECT_EQ(PopupPosition({7, 5}, kPopup, {QRect()}), QPoint(7, 5));
}

} // namespace
} // namespace vorda::qt
