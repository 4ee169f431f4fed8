// Where the popup goes for the pointer or a point a tray host asks for: its corner at the point, on
// the side that has room, inside the work area of the screen holding the point, never over it.

#include "platform/qt/tray/PopupPlacement.h"

#include <gtest/gtest.h>

#include <climits>

namespace vorda::qt {
namespace {

struct PlacementCase {
    const char* what;
    QList<PopupScreen> screens;
    QPoint at;
    QPoint expected;
    bool pointOutside = true; // false where the work area leaves no side with room on either axis
};

const QSize kPopup(255, 294);
const QRect kLaptop(0, 0, 1280, 800);
// The laptop's screen with a 24-pixel panel along one edge, and the part it leaves free.
const QList<PopupScreen> kPanelTop{{kLaptop, QRect(0, 24, 1280, 776)}};
const QList<PopupScreen> kPanelBottom{{kLaptop, QRect(0, 0, 1280, 776)}};
const QList<PopupScreen> kPanelLeft{{kLaptop, QRect(24, 0, 1256, 800)}};
const QList<PopupScreen> kPanelRight{{kLaptop, QRect(0, 0, 1256, 800)}};
// Panels on every side, and a work area lower than the popup's height with the pointer.
const QList<PopupScreen> kFramed{{kLaptop, QRect(100, 50, 1000, 600)}};
const QList<PopupScreen> kLow{{kLaptop, QRect(0, 0, 1280, 400)}};
// Two screens side by side, the right one smaller and lower, a panel at the bottom of each.
const QList<PopupScreen> kTwo{{kLaptop, QRect(0, 0, 1280, 776)},
                              {QRect(1280, 200, 1024, 600), QRect(1280, 200, 1024, 576)}};

class PopupPlacement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PopupPlacement, OpensBesideThePointInsideTheWorkArea)
{
    const PlacementCase& c = GetParam();
    const QPoint placed = PopupPosition(c.at, kPopup, c.screens);
    EXPECT_EQ(placed, c.expected) << c.what;
    const QRect popup(placed, kPopup);
    bool inside = false;
    for (const PopupScreen& screen : c.screens) {
        const QRect area = (screen.workArea & screen.geometry).isEmpty() ? screen.geometry : screen.workArea;
        inside = inside || area.contains(popup);
    }
    EXPECT_TRUE(inside) << c.what << ": not inside a work area";
    if (c.pointOutside) {
        EXPECT_FALSE(popup.contains(c.at)) << c.what << ": over the point";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Edges, PopupPlacement,
    ::testing::Values(
        // The pointer on the tray's icon in the panel's far corner, at each edge of the screen.
        PlacementCase{"panel at the bottom, icon at the right", kPanelBottom, {1268, 788}, {1013, 482}},
        PlacementCase{"panel at the bottom, icon at the left", kPanelBottom, {12, 788}, {13, 482}},
        PlacementCase{"panel at the top, icon at the right", kPanelTop, {1268, 12}, {1013, 24}},
        PlacementCase{"panel at the top, icon at the left", kPanelTop, {12, 12}, {13, 24}},
        PlacementCase{"panel at the left, icon at the bottom", kPanelLeft, {12, 788}, {24, 494}},
        PlacementCase{"panel at the left, icon at the top", kPanelLeft, {12, 12}, {24, 13}},
        PlacementCase{"panel at the right, icon at the bottom", kPanelRight, {1268, 788}, {1001, 494}},
        PlacementCase{"panel at the right, icon at the top", kPanelRight, {1268, 12}, {1001, 13}},
        // Inside the work area: right of and below the pointer where that fits, else flipped.
        PlacementCase{"in the middle", kPanelBottom, {600, 400}, {601, 401}},
        PlacementCase{"near the right edge", kPanelBottom, {1100, 100}, {845, 101}},
        PlacementCase{"near the work area's bottom", kPanelBottom, {100, 700}, {101, 406}},
        PlacementCase{"at the work area's last pixel", kPanelBottom, {1279, 775}, {1024, 481}},
        PlacementCase{"at the screen's first pixel", kPanelBottom, {0, 0}, {1, 1}}));

INSTANTIATE_TEST_SUITE_P(
    WorkAreas, PopupPlacement,
    ::testing::Values(
        PlacementCase{"below and right of a framed work area", kFramed, {1200, 700}, {845, 356}},
        PlacementCase{"above and left of it", kFramed, {20, 10}, {100, 50}},
        PlacementCase{"inside it", kFramed, {500, 300}, {501, 301}},
        PlacementCase{"no room above or below: clear of the pointer sideways", kLow, {600, 200}, {601, 0}},
        PlacementCase{"no room on either axis", {{QRect(0, 0, 400, 400), QRect(0, 0, 400, 400)}}, {200, 200},
                      {0, 0}, false},
        PlacementCase{"no work area: the whole screen", {{kLaptop, QRect()}}, {1268, 788}, {1013, 494}},
        PlacementCase{"a work area off its screen: the whole screen", {{kLaptop, QRect(5000, 0, 10, 10)}},
                      {1268, 788}, {1013, 494}}));

INSTANTIATE_TEST_SUITE_P(
    Screens, PopupPlacement,
    ::testing::Values(
        PlacementCase{"on the second screen's panel", kTwo, {2290, 790}, {2035, 482}},
        PlacementCase{"at the first screen's right edge: it stays on that screen", kTwo, {1279, 400}, {1024, 401}},
        PlacementCase{"at the second screen's left edge", kTwo, {1280, 400}, {1281, 401}},
        PlacementCase{"above the second screen", kTwo, {1500, 50}, {1501, 200}},
        PlacementCase{"left of everything", kTwo, {-5000, 300}, {0, 301}},
        PlacementCase{"below the first screen", kTwo, {640, 5000}, {641, 482}},
        PlacementCase{"the ends of the range", kTwo, {INT_MAX, INT_MIN}, {2049, 200}},
        PlacementCase{"the other ends", kTwo, {INT_MIN, INT_MAX}, {0, 482}}));

TEST(PopupPlacementSize, APopupLargerThanTheWorkAreaStartsAtItsCorner)
{
    EXPECT_EQ(PopupPosition({900, 700}, QSize(2000, 1000), kFramed), QPoint(100, 50));
}

TEST(PopupPlacementSize, WithoutScreensThePointStays)
{
    EXPECT_EQ(PopupPosition({INT_MAX, 5}, kPopup, {}), QPoint(INT_MAX, 5));
    EXPECT_EQ(PopupPosition({7, 5}, kPopup, {{QRect(), QRect()}}), QPoint(7, 5));
}

} // namespace
} // namespace vorda::qt
