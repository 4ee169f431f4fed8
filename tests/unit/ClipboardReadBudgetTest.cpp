// The read budget that every clipboard reader carries out: a transfer scripted piece by piece over a
// clock that moves only when the transfer waits, the cut at a whole character, the secret marks, and
// the marked texts known again on the other side of a shared clipboard.

#include "clipboard/ClipboardReadBudget.h"
#include "clipboard/MarkedTexts.h"
#include "lookup/LookupService.h"
#include "text/Utf16.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace vorda::test {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using Next = TextTransfer::Next;

struct FakeClock {
    milliseconds now{0};
    [[nodiscard]] SteadyNow Function()
    {
        return [this] { return Clock::time_point{} + now; };
    }
};

// An owner's transfer: `piece(n)` says what the n-th wait gets and after how long (a piece that does
// not come within the wait uses the whole wait and times out).
class ScriptedTransfer final : public TextTransfer {
public:
    struct Step {
        milliseconds after;
        Next next;
        std::string bytes;
    };

    ScriptedTransfer(FakeClock& clock, std::function<Step(int)> piece) : clock_(clock), piece_(std::move(piece)) {}

    std::vector<milliseconds> timeouts; // what each wait was allowed
    std::vector<std::size_t> mosts;     // how many bytes each wait could take

    Next NextPiece(milliseconds timeout, std::size_t most, std::string& bytes) override
    {
        timeouts.push_back(timeout);
        mosts.push_back(most);
        const Step step = piece_(static_cast<int>(timeouts.size()) - 1);
        if (step.after > timeout) {
            clock_.now += timeout;
            return Next::TimedOut;
        }
        clock_.now += step.after;
        if (step.next == Next::Piece) {
            bytes.append(step.bytes.substr(0, most));
        }
        return step.next;
    }

private:
    FakeClock& clock_;
    std::function<Step(int)> piece_;
};

std::string ExpectFailure(const ClipboardRead& read, TextTransfer& transfer)
{
    try {
        read.Receive(transfer);
    } catch (const ReadStopped& stopped) {
        return std::string("stopped: ") + stopped.what();
    } catch (const PlatformError& error) {
        return error.what();
    }
    ADD_FAILURE() << "the read did not fail";
    return {};
}

TEST(ClipboardReadBudget, TheNumbersFitWhatTheProgramNeeds)
{
    EXPECT_GE(kReadBudget.mostBytes, kLongestAddress) << "a look-up can carry all it read";
    EXPECT_LE(kReadBudget.mostBytes, std::size_t{1} << 20) << "a text is never held in megabytes";
    EXPECT_LT(kReadBudget.pieceWait, 250ms) << "an owner that does not answer is given up before a look-up stops waiting";
    EXPECT_LE(kReadBudget.wholeWait, 1000ms) << "the next copy is followed within a second";
    EXPECT_LT(kReadBudget.heldWait + kReadBudget.heldRetry, ClipboardPipeline::kLookupWait)
        << "a clipboard held for a moment is read before a look-up stops waiting";
    EXPECT_GE(kReadBudget.heldWait, 100ms) << "a hold of a hundred milliseconds is waited out";
    EXPECT_LE(kReadBudget.heldRetry, 20ms) << "a clipboard let go is taken within a few tens of milliseconds";
}

TEST(ClipboardReadBudget, AWholeTextInPiecesIsReadWhole)
{
    FakeClock clock;
    const ClipboardRead read(clock.Function());
    ScriptedTransfer transfer(clock, [](int n) -> ScriptedTransfer::Step {
        if (n < 3) {
            return {10ms, Next::Piece, "part" + std::to_string(n) + " "};
        }
        return {1ms, Next::Ended, {}};
    });
    const ReceivedBytes received = read.Receive(transfer);
    EXPECT_EQ(received.bytes, "part0 part1 part2 ");
    EXPECT_FALSE(received.cut);
    EXPECT_EQ(transfer.timeouts, (std::vector<milliseconds>{100ms, 100ms, 100ms, 100ms}));
}

TEST(ClipboardReadBudget, APieceThatNeverComesFailsTheReadAfterThePieceWait)
{
    FakeClock clock;
    const ClipboardRead read(clock.Function());
    ScriptedTransfer transfer(clock, [](int n) -> ScriptedTransfer::Step {
        return n == 0 ? ScriptedTransfer::Step{5ms, Next::Piece, "first"} : ScriptedTransfer::Step{24h, Next::Ended, {}};
    });
    EXPECT_EQ(ExpectFailure(read, transfer), "the clipboard's owner stopped sending its text");
    EXPECT_EQ(clock.now, 105ms);
}

TEST(ClipboardReadBudget, ATrickleIsGivenUpAtTheWholeReadsEnd)
{
    FakeClock clock;
    const ClipboardRead read(clock.Function());
    ScriptedTransfer transfer(clock, [](int) { return ScriptedTransfer::Step{90ms, Next::Piece, "x"}; });
    EXPECT_EQ(ExpectFailure(read, transfer), "the clipboard's owner takes too long to send its text");
    EXPECT_LE(clock.now, kReadBudget.wholeWait) << "never waits past the whole read's end";
    EXPECT_GE(clock.now, kReadBudget.wholeWait - kReadBudget.pieceWait);
    // The last wait shrinks to what is left of the read: 11 pieces at 90 ms, then 1000 - 990 = 10 ms.
    ASSERT_FALSE(transfer.timeouts.empty());
    EXPECT_EQ(transfer.timeouts.front(), 100ms);
    EXPECT_EQ(transfer.timeouts.back(), 10ms);
}

TEST(ClipboardReadBudget, AnEndlessStreamIsCutAtTheByteBudgetAndNeverReadPastIt)
{
    FakeClock clock;
    const ClipboardRead read(clock.Function());
    ScriptedTransfer transfer(clock, [](int) { return ScriptedTransfer::Step{0ms, Next::Piece, std::string(5000, 'e')}; });
    const ReceivedBytes received = read.Receive(transfer);
    EXPECT_TRUE(received.cut);
    EXPECT_EQ(received.bytes.size(), kReadBudget.mostBytes);
    // Each wait may take only what is left of the budget.
    for (std::size_t i = 0; i < transfer.mosts.size(); ++i) {
        EXPECT_EQ(transfer.mosts[i], kReadBudget.mostBytes - std::min(kReadBudget.mostBytes, i * 5000)) << "wait " << i;
    }
}

TEST(ClipboardReadBudget, AStopDuringAReadEndsItAtOnce)
{
    FakeClock clock;
    const ClipboardRead read(clock.Function());
    ScriptedTransfer transfer(clock, [](int n) -> ScriptedTransfer::Step {
        return n < 2 ? ScriptedTransfer::Step{90ms, Next::Piece, "x"} : ScriptedTransfer::Step{3ms, Next::Stopped, {}};
    });
    EXPECT_EQ(ExpectFailure(read, transfer), "stopped: the read of the clipboard was stopped");
    EXPECT_EQ(clock.now, 183ms);
    EXPECT_EQ(transfer.timeouts.size(), 3U);
}

TEST(ClipboardReadBudget, TheQuestionsOfOneReadShareItsClock)
{
    FakeClock clock;
    const ClipboardRead read(clock.Function());
    EXPECT_EQ(read.NextWait(), 100ms);
    clock.now = 950ms; // the forms and a password mark were asked for meanwhile
    EXPECT_EQ(read.NextWait(), 50ms);
    clock.now = 1000ms;
    EXPECT_THROW((void)read.NextWait(), PlatformError);
    ScriptedTransfer transfer(clock, [](int) { return ScriptedTransfer::Step{0ms, Next::Ended, {}}; });
    EXPECT_THROW(read.Receive(transfer), PlatformError) << "no question is asked once the time is up";
    EXPECT_TRUE(transfer.timeouts.empty());
}

// A text of every kind of character: 1, 2, 3 and 4 bytes in UTF-8.
const std::string kMixedUtf8 = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z"; // a é 中 😀 z
const std::vector<std::size_t> kCharacterEnds = {0, 1, 3, 6, 10, 11};    // after each whole character

TEST(ClipboardReadBudget, ACutReadEndsAtTheLastWholeCharacterWhereverTheCutFalls)
{
    for (std::size_t cut = 0; cut <= kMixedUtf8.size(); ++cut) {
        std::size_t whole = 0;
        for (const std::size_t end : kCharacterEnds) {
            if (end <= cut) {
                whole = end;
            }
        }
        const std::string_view bytes = std::string_view(kMixedUtf8).substr(0, cut);
        EXPECT_EQ(CutUtf8AtWholeCharacter(bytes), bytes.substr(0, whole)) << "cut after byte " << cut;
        EXPECT_EQ(DecodeText(bytes, TextEncoding::Utf8, true), FromUtf8(kMixedUtf8.substr(0, whole)))
            << "cut after byte " << cut;
    }
}

TEST(ClipboardReadBudget, OnlyACutReadLosesItsLastBytesAndInvalidBytesStayReplaced)
{
    const std::string unfinished = "ok\xE4\xB8"; // the owner's own text ends in half a character
    EXPECT_EQ(DecodeText(unfinished, TextEncoding::Utf8, false), u"ok\uFFFD\uFFFD");
    EXPECT_EQ(DecodeText(unfinished, TextEncoding::Utf8, true), u"ok");
    EXPECT_EQ(DecodeText("\xFF\xFE ok", TextEncoding::Utf8, true), u"\uFFFD\uFFFD ok");
    EXPECT_EQ(DecodeText("x\x80", TextEncoding::Utf8, true), u"x\uFFFD") << "a stray continuation byte is no cut";
    EXPECT_EQ(DecodeText("caf\xE9", TextEncoding::Latin1, true), u"caf\u00E9") << "in ISO 8859-1 every byte is one";
}

TEST(ClipboardReadBudget, AUtf16CutNeverSplitsASurrogatePair)
{
    const std::u16string text = u"ab\U0001F600c";
    EXPECT_EQ(CutAtWholeCharacter(text, 2), u"ab");
    EXPECT_EQ(CutAtWholeCharacter(text, 3), u"ab") << "not half of the emoji";
    EXPECT_EQ(CutAtWholeCharacter(text, 4), u"ab\U0001F600");
    EXPECT_EQ(CutAtWholeCharacter(text, 99), text);
    const std::u16string lone = u"a\xD800";
    EXPECT_EQ(CutAtWholeCharacter(lone, 2), lone) << "a lone surrogate at the end is the whole text";
}

TEST(ClipboardReadBudget, APasswordHintMarksSecretWhenItSaysSoOrCannotBeRead)
{
    EXPECT_TRUE(PasswordHintMarksSecret(std::string("secret")));
    EXPECT_TRUE(PasswordHintMarksSecret(std::nullopt));
    EXPECT_FALSE(PasswordHintMarksSecret(std::string("public")));
    EXPECT_FALSE(PasswordHintMarksSecret(std::string("")));
}

TEST(ClipboardReadBudget, MarkedTextsKnowTheLastPasswordsAgainAndNoOtherText)
{
    MarkedTexts marked;
    EXPECT_FALSE(marked.Holds(u"hunter2")) << "nothing noted yet";
    marked.Remember(u"");
    EXPECT_FALSE(marked.Holds(u"")) << "no text is no password";
    marked.Remember(u"hunter2");
    EXPECT_TRUE(marked.Holds(u"hunter2"));
    EXPECT_FALSE(marked.Holds(u"hunter3"));
    EXPECT_FALSE(marked.Holds(u"hunter2 ")) << "the text as it is, not trimmed";
    // Later passwords keep the earlier ones up to kKept; one noted again takes no second place.
    for (std::size_t i = 1; i < MarkedTexts::kKept; ++i) {
        marked.Remember(u"password " + std::u16string(1, static_cast<char16_t>(u'a' + i)));
        marked.Remember(u"hunter2");
    }
    EXPECT_TRUE(marked.Holds(u"hunter2"));
    EXPECT_TRUE(marked.Holds(u"password b"));
    marked.Remember(u"one more");
    EXPECT_TRUE(marked.Holds(u"one more"));
    EXPECT_FALSE(marked.Holds(u"hunter2")) << "the oldest gives way";
    EXPECT_TRUE(marked.Holds(u"password b"));
}

TEST(ClipboardReadBudget, AWindowsPermissionForbidsWithZeroAndAllowsWithAnyOtherValue)
{
    const auto dword = [](std::uint32_t value) {
        std::vector<std::uint8_t> bytes(sizeof value);
        std::memcpy(bytes.data(), &value, sizeof value);
        return bytes;
    };
    const auto zero = dword(0);
    const auto one = dword(1);
    const auto other = dword(0x100);
    EXPECT_TRUE(PermissionMarksSecret(std::span<const std::uint8_t>(zero)));
    EXPECT_FALSE(PermissionMarksSecret(std::span<const std::uint8_t>(one)));
    EXPECT_FALSE(PermissionMarksSecret(std::span<const std::uint8_t>(other)));
    EXPECT_TRUE(PermissionMarksSecret(std::nullopt)) << "offered but unreadable";
    const std::vector<std::uint8_t> shortData{1, 0};
    EXPECT_TRUE(PermissionMarksSecret(std::span<const std::uint8_t>(shortData))) << "too short for a DWORD";
    EXPECT_EQ(kWindowsPermissionFormats[0], u"CanIncludeInClipboardHistory");
    EXPECT_EQ(kWindowsPermissionFormats[1], u"CanUploadToCloudClipboard");
}

} // namespace
} // namespace vorda::test
