#include "TestSupport.h"
#include "text/Utf16.h"
#include "tray/TrayRecordFields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vorda::test {
namespace {

void ExpectFixedFields(const TrayRecordBytes& bytes)
{
    EXPECT_EQ(UInt32At(bytes, 0), 88U);
    EXPECT_EQ(UInt32At(bytes, 4), kWindowHandle);
    EXPECT_EQ(UInt32At(bytes, 8), 1U);
    EXPECT_EQ(UInt32At(bytes, 12), 7U);
    EXPECT_EQ(UInt32At(bytes, 16), 512U);
}

TEST(TrayIconRecord, StartAddsTheTextIconWithTheProgramName)
{
    WindowOverFake fake;
    fake.window.Form_Load();
    ASSERT_EQ(fake.platform.trayRequests.size(), 1U);
    const auto& add = fake.platform.trayRequests[0];
    EXPECT_EQ(add.message, 0U);
    ExpectFixedFields(add.bytes);
    EXPECT_EQ(UInt32At(add.bytes, 20), kTextIcon);
    EXPECT_EQ(TipField(add.bytes), StoredTip("Vorda Dictionary")) << "16 characters, one NUL, 47 spaces";
}

TEST(TrayIconRecord, EachStateSendsItsIconAndTooltipWithTheFixedFieldsUnchanged)
{
    WindowOverFake fake;
    fake.LoadAndClearLog();

    fake.platform.clipboard = u"";
    fake.window.tmrCheckClipboard_Timer();
    fake.platform.clipboard = u"  serendipity  ";
    fake.window.tmrCheckClipboard_Timer();

    ASSERT_EQ(fake.platform.trayRequests.size(), 2U);
    const auto& noText = fake.platform.trayRequests[0];
    EXPECT_EQ(noText.message, 1U);
    ExpectFixedFields(noText.bytes);
    EXPECT_EQ(UInt32At(noText.bytes, 20), kNoTextIcon);
    EXPECT_EQ(TipField(noText.bytes), StoredTip("Vorda Dictionary - No text in clipboard"))
        << "39 characters, one NUL, 24 spaces";

    const auto& text = fake.platform.trayRequests[1];
    EXPECT_EQ(text.message, 1U);
    ExpectFixedFields(text.bytes);
    EXPECT_EQ(UInt32At(text.bytes, 20), kTextIcon);
    EXPECT_EQ(TipField(text.bytes), StoredTip("Vorda Dictionary. Look up 'serendipity'"));
}

TEST(TrayIconRecord, TipFieldIsLeftJustifiedPaddedAndCut)
{
    TrayIconRecord record;
    record.SetTip(u"abc");
    EXPECT_TRUE(record.szTip == u"abc" + std::u16string(61, u' '));
    record.SetTip(std::u16string(70, u'x'));
    EXPECT_TRUE(record.szTip == std::u16string(64, u'x'));
}

TEST(TrayIconRecord, TooltipKeepsItsNulWhenNarrowCharactersTakeTwoBytes)
{
    FakePlatform platform;
    platform.toAnsi = [](std::u16string_view text) {
        std::string out;
        for (const char16_t c : text) {
            out += c < 0x80 ? std::string(1, static_cast<char>(c)) : std::string("\x82\xA0");
        }
        return out;
    };
    TrayIconRecord record;
    record.SetTip(u"Vorda Dictionary. Look up '" + std::u16string(20, u'\u3042') + u"...'" + u'\0');
    const auto bytes = record.ToBytes(platform);
    const std::string tip = TipField(bytes);
    ASSERT_NE(tip.find('\0'), std::string::npos);
    std::string expected = "Vorda Dictionary. Look up '";
    for (int character = 0; character < 18; ++character) {
        expected += "\x82\xA0"; // 27 + 36 bytes; a 19th would leave no room for the NUL
    }
    EXPECT_EQ(VisibleTip(bytes), expected);
}

// The field's last byte is its NUL when the text fills it: it never takes the place of part of a
// UTF-8 character.
TEST(TrayIconRecord, AFullUtf8TooltipEndsAtAWholeCharacterBeforeItsNul)
{
    struct Case {
        std::u16string tip;
        std::string visible;
    };
    const std::string x61(61, 'x');
    const std::string x62(62, 'x');
    const std::string hiragana21 = [] {
        std::string text;
        for (int character = 0; character < 21; ++character) {
            text += "\xE3\x81\x82";
        }
        return text;
    }();
    const std::vector<Case> cases = {
        {std::u16string(62, u'x') + u"\u0434", x62},
        {std::u16string(61, u'x') + u"\u0434", x61 + "\xD0\xB4"},
        {std::u16string(62, u'x') + u"\U0001F600", x62},
        {std::u16string(59, u'x') + u"\U0001F600", std::string(59, 'x') + "\xF0\x9F\x98\x80"},
        {std::u16string(21, u'\u3042') + u"x", hiragana21},
        {std::u16string(64, u'x'), std::string(63, 'x')},
    };
    FakePlatform platform;
    platform.toAnsi = [](std::u16string_view text) { return ToUtf8(text); };
    for (const Case& c : cases) {
        TrayIconRecord record;
        record.SetTip(c.tip);
        const auto bytes = record.ToBytes(platform);
        std::string padded = c.visible; // a character left out leaves spaces, as the field's padding
        padded.resize(63, ' ');
        EXPECT_EQ(VisibleTip(bytes), padded) << c.visible.size() << " bytes";
        EXPECT_EQ(bytes.back(), 0);
    }
}

TEST(TrayIconRecord, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    WindowOverFake fake;
    fake.LoadAndClearLog();
    fake.platform.clipboard = u"\u03a9mega \U0001F600";
    fake.window.tmrCheckClipboard_Timer();
    ASSERT_EQ(fake.platform.trayRequests.size(), 1U);
    EXPECT_EQ(VisibleTip(fake.platform.trayRequests[0].bytes), "Vorda Dictionary. Look up '?mega ?'");
}

} // namespace
} // namespace vorda::test

namespace vorda::test {
namespace {

// The reader is what a backend lays into its own record, so it must give back every field the
// window wrote, the tooltip up to its NUL.
TEST(TrayRecordFields, ReadsBackWhatTheWindowSent)
{
    WindowOverFake fake;
    fake.LoadAndClearLog();
    fake.platform.clipboard = u"serendipity";
    fake.window.tmrCheckClipboard_Timer();
    ASSERT_EQ(fake.platform.trayRequests.size(), 1U);

    const TrayRecordFields fields = ReadTrayRecord(fake.platform.trayRequests[0].bytes);
    EXPECT_EQ(fields.cbSize, 88U);
    EXPECT_EQ(fields.hWnd, kWindowHandle);
    EXPECT_EQ(fields.uID, 1U);
    EXPECT_EQ(fields.uFlags, 7U);
    EXPECT_EQ(fields.uCallbackMessage, 512U);
    EXPECT_EQ(fields.hIcon, kTextIcon);
    EXPECT_EQ(fields.szTip, "Vorda Dictionary. Look up 'serendipity'");
}

TEST(TrayRecordFields, HighBitsAndATipWithoutNulSurviveTheRead)
{
    TrayRecordBytes bytes{};
    bytes.fill(std::uint8_t{'x'});
    const std::uint8_t handle[] = {0x02, 0x00, 0x00, 0x80}; // 0x80000002, as a sign-carrying handle
    std::copy(std::begin(handle), std::end(handle), bytes.begin() + 4);
    const TrayRecordFields fields = ReadTrayRecord(bytes);
    EXPECT_EQ(fields.hWnd, 0x80000002U);
    EXPECT_EQ(fields.szTip, std::string(64, 'x'));
}

} // namespace
} // namespace vorda::test

namespace vorda::test {
namespace {

// The ticks (counted from 1) at which an add was sent, from the log after the Load's own add.
std::vector<int> TicksOfAdds(const std::vector<TrayRequest>& requests)
{
    std::vector<int> ticks;
    int tick = 0;
    for (const auto& request : requests) {
        if (request.message == kTrayModify) {
            ++tick;
        } else if (request.message == kTrayAdd) {
            ticks.push_back(tick);
        }
    }
    return ticks;
}

// A program started at sign-in can have its first add refused by a taskbar that is still busy, and
// no restart notice follows: the ticks' modify requests fail, and the add is made again, no more than
// once in five ticks (a second), until it is taken.
TEST(TrayIconRecord, AnAddRefusedAtStartIsMadeAgainByTheTicksAtABoundedRate)
{
    WindowOverFake fake;
    fake.platform.trayKeepsIcon = true;
    fake.platform.addsRefused = 2;
    fake.platform.clipboard = u"word";
    fake.window.Form_Load();
    ASSERT_FALSE(fake.platform.iconInTray);
    for (int tick = 0; tick < 30; ++tick) {
        fake.window.tmrCheckClipboard_Timer();
    }
    EXPECT_TRUE(fake.platform.iconInTray);
    const auto& requests = fake.platform.trayRequests;
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().message, kTrayAdd);
    EXPECT_EQ(TicksOfAdds({requests.begin() + 1, requests.end()}), (std::vector<int>{5, 10}))
        << "two adds refused, the third taken; none after";
    // The add made again carries the icon and tooltip as they stand, not those of the start.
    const auto taken = std::find_if(requests.rbegin(), requests.rend(), [](const TrayRequest& r) {
        return r.message == kTrayAdd;
    });
    EXPECT_EQ(UInt32At(taken->bytes, 20), kTextIcon);
    EXPECT_EQ(VisibleTip(taken->bytes).substr(0, 32), "Vorda Dictionary. Look up 'word'");
    EXPECT_EQ(requests.back().message, kTrayModify);
}

// A notification area that never takes the icon is asked again at the same bounded rate, for good.
TEST(TrayIconRecord, AnAreaThatRefusesEveryAddIsAskedNoMoreThanOnceInFiveTicks)
{
    WindowOverFake fake;
    fake.platform.trayAccepts = false;
    fake.window.Form_Load();
    for (int tick = 0; tick < 23; ++tick) {
        fake.window.tmrCheckClipboard_Timer();
    }
    EXPECT_EQ(TicksOfAdds({fake.platform.trayRequests.begin() + 1, fake.platform.trayRequests.end()}),
              (std::vector<int>{5, 10, 15, 20}));
}

// Where the icon is there, a tick sends its modify and nothing else.
TEST(TrayIconRecord, AnIconThatIsThereIsOnlyModified)
{
    WindowOverFake fake;
    fake.platform.trayKeepsIcon = true;
    fake.window.Form_Load();
    for (int tick = 0; tick < 12; ++tick) {
        fake.window.tmrCheckClipboard_Timer();
    }
    EXPECT_TRUE(fake.platform.iconInTray);
    EXPECT_EQ(TicksOfAdds(fake.platform.trayRequests), std::vector<int>{0});
}

} // namespace
} // namespace vorda::test
