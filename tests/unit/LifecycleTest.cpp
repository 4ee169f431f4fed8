#include "TestSupport.h"
#include "tray/TrayRecordFields.h"

#include <gtest/gtest.h>

namespace vorda::test {
namespace {

const std::string kQuestion =
    "MessageBox Vorda Dictionary | Would you like the Vorda Dictionary to automatically load next time Windows "
    "boots? | 36";
const std::string kOpenRunKey = "RegOpenKeyEx 2147483650 Software\\Microsoft\\Windows\\CurrentVersion\\Run 0 2";
const std::string kOpenUserRunKey = "RegOpenKeyEx 2147483649 Software\\Microsoft\\Windows\\CurrentVersion\\Run 0 2";

TEST(Lifecycle, LoadFillsTheRecordAddsTheIconThenWritesTheAutoStartValue)
{
    WindowOverFake fake;
    fake.platform.log.clear();
    fake.window.Form_Load();
    EXPECT_EQ(fake.platform.log,
              (std::vector<std::string>{"MainWindowHandle", "MainWindowIcon", "ShellNotifyIcon 0", kOpenRunKey,
                                        "RegSetValueEx 256 VordaDictionary 0 1 40", "RegCloseKey 256", kOpenUserRunKey,
                                        "RegDeleteValue 257 VordaDictionary", "RegCloseKey 257"}));
    EXPECT_TRUE(fake.platform.runKey.contains("VordaDictionary"));
}

TEST(Lifecycle, TheWindowLetsTheTrayRestartNoticeThroughBeforeAnythingIsShown)
{
    FakePlatform platform;
    const frmDictionary window{platform};
    EXPECT_EQ(platform.log, (std::vector<std::string>{"CreateMainWindow System Tray Form", "MainWindowHandle",
                                                      "ChangeWindowMessageFilterEx 66100 TaskbarCreated 1"}));
}

TEST(Lifecycle, AWindowHandleThatCannotBeReadLeavesTheFilterAsItIsAndTheWindowStands)
{
    FakePlatform platform;
    platform.windowHandleFails = true;
    const frmDictionary window{platform};
    EXPECT_TRUE(platform.LogOf("ChangeWindowMessageFilterEx").empty());
    EXPECT_EQ(platform.log.front(), "CreateMainWindow System Tray Form");
}

TEST(Lifecycle, RunDictionaryLoadsTheWindowThenRunsTheEventLoop)
{
    FakePlatform platform;
    EXPECT_EQ(RunDictionary(platform), 0);
    ASSERT_GE(platform.log.size(), 2U);
    EXPECT_EQ(platform.log.front(), "CreateMainWindow System Tray Form");
    EXPECT_EQ(platform.log.back(), "RunEventLoop");
    EXPECT_EQ(platform.trayRequests.size(), 1U);
}

class ExitRoad : public testing::Test {
protected:
    void SetUp() override { fake.LoadAndClearLog(); }

    // What the platform may still deliver after the end: none of it may run.
    void DeliverLateEvents()
    {
        fake.platform.clipboard = u"late";
        fake.window.OnTimer(TimerId::tmrCheckClipboard);
        fake.window.OnTimer(TimerId::tmrSetHomePage);
        fake.window.OnTrayEvent(515);
        fake.window.OnMouseMove(0, 0, 517.0F * 15.0F, 0.0F);
        fake.window.OnUnload();
        fake.window.OnTrayHostRestarted();
    }

    WindowOverFake fake;
};

TEST_F(ExitRoad, NoRemovesTheValueDeletesTheIconOnceAndEnds)
{
    fake.platform.messageBoxAnswer = 7;
    fake.window.MenuItem_Click(MenuItem::mnuExit);
    DeliverLateEvents();
    EXPECT_EQ(fake.platform.log,
              (std::vector<std::string>{kQuestion, kOpenUserRunKey, "RegDeleteValue 258 VordaDictionary",
                                        "RegCloseKey 258", kOpenRunKey, "RegDeleteValue 259 VordaDictionary",
                                        "RegCloseKey 259", "ShellNotifyIcon 2", "DoEvents", "EndProgram"}));
    EXPECT_TRUE(fake.platform.runKey.empty());
    EXPECT_TRUE(fake.window.HasEnded());
}

TEST_F(ExitRoad, YesLeavesTheValueAsWrittenAtStart)
{
    const auto written = fake.platform.runKey;
    fake.platform.messageBoxAnswer = 6;
    fake.window.mnuExit_Click();
    DeliverLateEvents();
    EXPECT_EQ(fake.platform.log, (std::vector<std::string>{kQuestion, "ShellNotifyIcon 2", "DoEvents", "EndProgram"}));
    EXPECT_EQ(fake.platform.runKey, written);
}

// Ticks first, on an area that keeps its icons as Windows' does: the tick and the restart notice
// waiting at the exit find the icon gone, and must not add it back just before the program ends.
class ExitRoadAfterTicks : public ExitRoad, public testing::WithParamInterface<bool> {};

TEST_P(ExitRoadAfterTicks, EventsAlreadyWaitingAreHandledAfterTheIconIsDeleted)
{
    fake.platform.trayKeepsIcon = GetParam();
    fake.platform.iconInTray = GetParam();
    fake.platform.clipboard = u"word";
    for (int tick = 0; tick < 10; ++tick) {
        fake.window.OnTimer(TimerId::tmrCheckClipboard);
    }
    fake.platform.log.clear();
    fake.platform.waitingEvents = [this] {
        fake.window.OnTimer(TimerId::tmrCheckClipboard);
        fake.window.OnTrayHostRestarted();
    };
    fake.window.mnuExit_Click();
    const auto requests = fake.platform.LogOf("ShellNotifyIcon");
    EXPECT_EQ(requests, (std::vector<std::string>{"ShellNotifyIcon 2", "ShellNotifyIcon 1"}));
    EXPECT_EQ(fake.platform.log.back(), "EndProgram");
}

INSTANTIATE_TEST_SUITE_P(TrayKeepsIcon, ExitRoadAfterTicks, testing::Bool());

TEST_F(ExitRoad, NoAnswerAgainstAnAbsentOrForbiddenValueStillEnds)
{
    fake.platform.registryDenied = true;
    fake.platform.messageBoxAnswer = 7;
    fake.window.mnuExit_Click();
    EXPECT_TRUE(fake.platform.ended);
    EXPECT_EQ(fake.platform.LogOf("MessageBox").size(), 1U) << "only the question is ever shown";
}

TEST_F(ExitRoad, TheNextStartWritesTheValueAgain)
{
    fake.platform.messageBoxAnswer = 7;
    fake.window.mnuExit_Click();
    ASSERT_TRUE(fake.platform.runKey.empty());
    FakePlatform& machine = fake.platform;
    frmDictionary nextRun(machine);
    nextRun.Form_Load();
    EXPECT_TRUE(machine.runKey.contains("VordaDictionary"));
}

TEST(Lifecycle, UnloadFromOutsideDeletesTheIconAndAsksNothing)
{
    WindowOverFake fake;
    fake.LoadAndClearLog();
    const auto written = fake.platform.runKey;
    fake.window.OnUnload();
    fake.window.OnUnload();
    fake.window.OnTimer(TimerId::tmrCheckClipboard);
    EXPECT_EQ(fake.platform.log, std::vector<std::string>{"ShellNotifyIcon 2"});
    EXPECT_EQ(fake.platform.runKey, written);

    std::int16_t cancel = 5;
    fake.window.Form_Unload(cancel);
    EXPECT_EQ(cancel, 5) << "the cancel flag is left as it was";
}

TEST(Lifecycle, HomePageTimerSwitchesItselfOffOnce)
{
    WindowOverFake fake;
    fake.LoadAndClearLog();
    fake.window.OnTimer(TimerId::tmrSetHomePage);
    EXPECT_EQ(fake.platform.log, std::vector<std::string>{"SetTimerEnabled tmrSetHomePage off"});
    EXPECT_FALSE(fake.platform.timerEnabled.at(TimerId::tmrSetHomePage));
    EXPECT_TRUE(fake.platform.timerEnabled.at(TimerId::tmrCheckClipboard));
}

TEST(Lifecycle, ItemsWithoutHandlersDoNothing)
{
    WindowOverFake fake;
    fake.LoadAndClearLog();
    for (const auto item : {MenuItem::mnuCancel, MenuItem::mnuSep20, MenuItem::mnuSep67, MenuItem::mnuSep70,
                            MenuItem::mnuSep30, MenuItem::mnuSysTray}) {
        fake.window.MenuItem_Click(item);
    }
    EXPECT_TRUE(fake.platform.log.empty());
}

TEST(Lifecycle, ARestartedTrayHostGetsTheIconAgainAsItStands)
{
    WindowOverFake fake;
    fake.LoadAndClearLog();
    fake.platform.clipboard = u"";
    fake.window.tmrCheckClipboard_Timer();
    fake.window.OnTrayHostRestarted();
    ASSERT_EQ(fake.platform.trayRequests.size(), 2U);
    EXPECT_EQ(fake.platform.trayRequests[1].message, 0U);
    EXPECT_EQ(fake.platform.trayRequests[1].bytes, fake.platform.trayRequests[0].bytes);
}

TEST(Lifecycle, TrayHostRestartBeforeLoadAddsNothing)
{
    FakePlatform platform;
    frmDictionary window(platform);
    window.OnTrayHostRestarted();
    EXPECT_TRUE(platform.trayRequests.empty());
}

TEST(Lifecycle, APlatformThatRejectsEveryTrayRequestLeavesTheProgramRunning)
{
    WindowOverFake fake;
    fake.platform.trayAccepts = false;
    fake.window.Form_Load();
    fake.platform.clipboard = u"word";
    fake.window.tmrCheckClipboard_Timer();
    fake.window.mnuLookup_Click();
    fake.window.OnUnload();
    EXPECT_EQ(fake.platform.LogOf("ShellNotifyIcon"),
              (std::vector<std::string>{"ShellNotifyIcon 0", "ShellNotifyIcon 1", "ShellNotifyIcon 2"}));
    EXPECT_EQ(fake.platform.launches.size(), 1U);
    EXPECT_TRUE(fake.platform.LogOf("MessageBox").empty());
}

// An allocation that fails (a huge text) is not one of the platform's failures; it ends the event it
// came in, and the program runs on as that event left it.
TEST(Lifecycle, AnExceptionOfAnotherKindEndsOnlyTheEventItCameIn)
{
    FakePlatform loading;
    loading.iconAllocationFails = true;
    EXPECT_EQ(RunDictionary(loading), 0);
    EXPECT_EQ(loading.log.back(), "RunEventLoop");
    EXPECT_TRUE(loading.trayRequests.empty());

    WindowOverFake fake;
    fake.LoadAndClearLog();
    fake.platform.clipboardAllocationFails = true;
    for (const std::int32_t event : {515, 517}) {
        fake.platform.popupChoice = MenuItem::mnuLookup;
        EXPECT_NO_THROW(fake.window.OnTrayEvent(event));
    }
    EXPECT_NO_THROW(fake.window.OnTimer(TimerId::tmrCheckClipboard));
    EXPECT_TRUE(fake.platform.launches.empty());
    EXPECT_TRUE(fake.platform.trayRequests.empty());

    fake.platform.clipboardAllocationFails = false;
    fake.platform.clipboard = u"salt";
    fake.window.OnTimer(TimerId::tmrCheckClipboard);
    fake.window.OnTrayEvent(515);
    ASSERT_EQ(fake.platform.trayRequests.size(), 1U);
    EXPECT_EQ(ReadTrayRecord(fake.platform.trayRequests.back().bytes).hIcon, kTextIcon);
    EXPECT_EQ(fake.platform.OpenedAddresses().size(), 1U);
}

} // namespace
} // namespace vorda::test
