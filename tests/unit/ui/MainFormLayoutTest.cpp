#include <gtest/gtest.h>

#include "ui/main/MainForm.h"

namespace wrenpost {
namespace {

constexpr int kScrollBar = 17;

// The resize formulas worked by hand for a client area of 884 x 925 (the smallest window at
// 96 DPI): lower area 153, tree 84, log 59.
TEST(MainFormLayout, FollowsTheFormulasAtTheMinimumWindowSize) {
    const FormLayout layout = LayoutMainForm(884, 925, 96, kScrollBar);
    const std::pair<int, FormRect> expected[] = {
        {kIdProfileName, {180, 20, 436, 25}},
        {kIdAbout, {764, 18, 100, 29}},
        {kIdVault, {812, 178, 52, 29}},
        {kIdTokenHelp, {786, 178, 22, 29}},
        {kIdCheckBot, {718, 178, 60, 29}},
        {kIdAccessToken, {180, 180, 530, 25}},
        {kIdNotificationTitle, {160, 365, 704, 25}},
        {kIdFolderTitleList, {20, 365, 844, 110}},
        {kIdSetFolderTitle, {800, 480, 64, 29}},
        {kIdFolderTitle, {110, 482, 682, 25}},
        {kIdStartMonitor, {246, 514, 180, 45}},
        {kIdStopMonitor, {458, 514, 180, 45}},
        {kIdMonitorLamp, {430, 524, 25, 25}},
        {kIdSave, {242, 574, 100, 35}},
        {kIdLoad, {352, 574, 100, 35}},
        {kIdDetectFolders, {462, 574, 180, 35}},
        {kIdFolderTree, {20, 694, 844, 84}},
        {kIdLogView, {20, 788, 844, 59}},
        {kIdDetachButton, {787, 792, 22, 22}},
        {kIdStatusLine, {20, 855, 844, 25}},
        {kIdLaunchAtStartup, {20, 888, 260, 25}},
        {kIdTest, {654, 894, 100, 25}},
        {kIdClear, {764, 894, 100, 25}},
        {kIdCheckSeconds, {818, 294, 60, 25}},
        {kIdSendExistingUnread, {420, 332, 242, 25}},
        {kIdMessageOptions, {670, 330, 88, 29}},
        {kIdRules, {764, 330, 72, 29}},
        {kIdRulesHelp, {842, 330, 22, 29}},
    };
    for (const auto& [id, place] : expected) {
        const FormRect* got = layout.Find(id);
        ASSERT_NE(got, nullptr) << id;
        EXPECT_EQ(*got, place) << id;
    }
    EXPECT_EQ(layout.formHeight, 925);
    EXPECT_EQ(layout.firstTitleColumnWidth, 462);
    EXPECT_EQ(layout.secondTitleColumnWidth, 378);
    EXPECT_EQ(layout.controls.size(), MainFormControls().size());
    for (const PlacedControl& control : layout.controls) {
        EXPECT_LE(control.place.x + control.place.width, 884) << control.id;
    }
}

struct LowerCase {
    int clientHeight;
    int tree;
    int log;
    int formHeight;  // more than the client height: the form scrolls
};

TEST(MainFormLayout, SharesTheLowerAreaAndScrollsOnlyWhenTheFormCannotFit) {
    const LowerCase cases[] = {
        {1100, 180, 138, 1100},  // A = 328: 55 % and the rest
        {902, 71, 49, 902},      // A = 130: the formula's own minimum
        {901, 71, 49, 901},      // below 902: the fixed 71 / 49
        {894, 71, 49, 894},      // the status line right under the log
        {850, 44, 32, 850},      // a small screen: tree and log shrink first
        {700, 40, 30, 844},      // at their minimums the form scrolls
    };
    for (const LowerCase& c : cases) {
        const FormLayout layout = LayoutMainForm(900, c.clientHeight, 96, kScrollBar);
        const FormRect* tree = layout.Find(kIdFolderTree);
        const FormRect* log = layout.Find(kIdLogView);
        ASSERT_NE(tree, nullptr);
        EXPECT_EQ(tree->height, c.tree) << c.clientHeight;
        EXPECT_EQ(log->height, c.log) << c.clientHeight;
        EXPECT_EQ(log->y, 704 + c.tree) << c.clientHeight;
        EXPECT_EQ(layout.formHeight, c.formHeight) << c.clientHeight;
        // Nothing below the log overlaps it, and everything is inside the form.
        EXPECT_GE(layout.Find(kIdStatusLine)->y, log->y + log->height) << c.clientHeight;
        for (const PlacedControl& control : layout.controls) {
            EXPECT_LE(control.place.y + control.place.height, layout.formHeight)
                << c.clientHeight << " id " << control.id;
        }
    }
}

TEST(MainFormLayout, LeavesControlsAloneWhenTheClientAreaIsTooSmall) {
    EXPECT_TRUE(LayoutMainForm(139, 900, 96, kScrollBar).controls.empty());
    EXPECT_TRUE(LayoutMainForm(900, 199, 96, kScrollBar).controls.empty());
    EXPECT_FALSE(LayoutMainForm(140, 200, 96, kScrollBar).controls.empty());
}

}  // namespace
}  // namespace wrenpost
