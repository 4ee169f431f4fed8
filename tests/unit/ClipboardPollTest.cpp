#include "ExpectedPollTexts.h"
#include "TestSupport.h"
#include "tray/TrayRecordFields.h"
#include "text/Utf16.h"

#include <gtest/gtest.h>

namespace vorda::test {
namespace {

const auto& kPollItems = kExpectedPollCaptions;

class ClipboardPoll : public testing::Test {
protected:
    void SetUp() override { fake.LoadAndClearLog(); }

    void Tick(const std::u16string& clipboard)
    {
        fake.platform.clipboard = clipboard;
        fake.window.tmrCheckClipboard_Timer();
    }

    std::string Caption(MenuItem item) const { return ToUtf8(fake.platform.captions.at(item)); }

    WindowOverFake fake;
};

struct QuoteCase {
    std::u16string clipboard;
    std::string quoted;
};

class TextState : public ClipboardPoll, public testing::WithParamInterface<QuoteCase> {};

TEST_P(TextState, EveryItemAndTheTooltipQuoteTheText)
{
    Tick(GetParam().clipboard);
    for (const auto& poll : kPollItems) {
        EXPECT_EQ(Caption(poll.item), ToUtf8(poll.textPrefix) + GetParam().quoted) << NameOf(poll.item);
        EXPECT_TRUE(fake.platform.enabled.at(poll.item)) << NameOf(poll.item);
    }
    ASSERT_EQ(fake.platform.trayRequests.size(), 1U);
    const std::string tooltip = ToUtf8(kExpectedTextTipPrefix) + GetParam().quoted;
    EXPECT_EQ(TipField(fake.platform.trayRequests[0].bytes), StoredTip(tooltip));
    EXPECT_EQ(ReadTrayRecord(fake.platform.trayRequests[0].bytes).hIcon, kTextIcon);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextState,
    testing::Values(QuoteCase{u"  serendipity  ", "serendipity'"},
                    QuoteCase{u"The quick brown fox jumps", "The quick brown fox ...'"},
                    QuoteCase{u"exactly twenty chars", "exactly twenty chars'"},
                    QuoteCase{u"exactly twenty chars!", "exactly twenty chars...'"},
                    QuoteCase{u"\tindented", "\tindented'"}, QuoteCase{u"\r\nline", "\r\nline'"},
                    QuoteCase{u"word\n", "word\n'"}, QuoteCase{u"salt & pepper", "salt & pepper'"},
                    QuoteCase{u"x", "x'"}));

TEST_F(ClipboardPoll, NoTextStateForEmptySpacesOnlyOrNonTextClipboard)
{
    for (const auto* clipboard : {u"", u"     "}) {
        Tick(clipboard);
        for (const auto& poll : kPollItems) {
            EXPECT_EQ(Caption(poll.item), ToUtf8(poll.noTextCaption));
            EXPECT_FALSE(fake.platform.enabled.at(poll.item));
        }
        EXPECT_EQ(ReadTrayRecord(fake.platform.trayRequests.back().bytes).hIcon, kNoTextIcon);
        EXPECT_EQ(VisibleTip(fake.platform.trayRequests.back().bytes), ToUtf8(kExpectedNoTextTip));
    }
}

TEST_F(ClipboardPoll, WritesCaptionsThenStatesThenIconThenOneModifyRequest)
{
    Tick(u"word");
    std::vector<std::string> expected{"ClipboardText"};
    for (const auto& poll : kPollItems) {
        expected.push_back("SetMenuCaption " + NameOf(poll.item) + " " + ToUtf8(poll.textPrefix) + "word'");
    }
    for (const auto& poll : kPollItems) {
        expected.push_back("SetMenuEnabled " + NameOf(poll.item) + " on");
    }
    expected.emplace_back("MainWindowIcon");
    expected.emplace_back("ShellNotifyIcon 1");
    EXPECT_EQ(fake.platform.log, expected);

    fake.platform.log.clear();
    Tick(u"");
    expected = {"ClipboardText"};
    for (const auto& poll : kPollItems) {
        expected.push_back("SetMenuCaption " + NameOf(poll.item) + " " + ToUtf8(poll.noTextCaption));
    }
    for (const auto& poll : kPollItems) {
        expected.push_back("SetMenuEnabled " + NameOf(poll.item) + " off");
    }
    expected.emplace_back("LoadIconWindow Form1");
    expected.emplace_back("ShellNotifyIcon 1");
    EXPECT_EQ(fake.platform.log, expected);
}

TEST_F(ClipboardPoll, AnUnchangedClipboardStillRewritesEverythingEveryTick)
{
    for (int i = 0; i < 3; ++i) {
        Tick(u"same");
    }
    EXPECT_EQ(fake.platform.LogOf("SetMenuCaption").size(), 27U);
    EXPECT_EQ(fake.platform.LogOf("SetMenuEnabled").size(), 27U);
    EXPECT_EQ(fake.platform.trayRequests.size(), 3U);
}

TEST_F(ClipboardPoll, AClipboardThatCannotBeReadChangesNothing)
{
    Tick(u"word");
    const auto captions = fake.platform.captions;
    fake.platform.log.clear();
    fake.platform.clipboard.reset();
    fake.window.tmrCheckClipboard_Timer();
    EXPECT_EQ(fake.platform.log, std::vector<std::string>{"ClipboardText"});
    EXPECT_EQ(fake.platform.captions, captions);
    EXPECT_EQ(fake.platform.trayRequests.size(), 1U);

    Tick(u"next");
    EXPECT_EQ(Caption(MenuItem::mnuLookup), "&Dictionary look up 'next'") << "the next tick catches up";
}

TEST_F(ClipboardPoll, IconWindowIsLoadedOnceOnTheFirstNoTextTick)
{
    Tick(u"text");
    Tick(u"more text");
    EXPECT_FALSE(fake.window.IconFormLoaded());
    Tick(u"");
    Tick(u"text");
    Tick(u"  ");
    Tick(u"");
    EXPECT_TRUE(fake.window.IconFormLoaded());
    EXPECT_EQ(fake.platform.iconWindowLoads, 1);

    std::vector<IconHandle> icons;
    for (const auto& request : fake.platform.trayRequests) {
        icons.push_back(ReadTrayRecord(request.bytes).hIcon);
    }
    EXPECT_EQ(icons, (std::vector<IconHandle>{kTextIcon, kTextIcon, kNoTextIcon, kTextIcon, kNoTextIcon, kNoTextIcon}));
}

TEST_F(ClipboardPoll, TimerEventFromThePlatformRunsThePoll)
{
    fake.platform.clipboard = u"word";
    fake.window.OnTimer(TimerId::tmrCheckClipboard);
    EXPECT_EQ(fake.platform.trayRequests.size(), 1U);
}

} // namespace
} // namespace vorda::test
