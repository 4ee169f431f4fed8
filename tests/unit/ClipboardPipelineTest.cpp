// The hand-over between the reading thread and the window's thread, with a real second thread.

#include "clipboard/ClipboardPipeline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace vorda::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

ClipboardContents Contents(const std::u16string& text) { return std::make_shared<const std::u16string>(text); }

// The text, or "(fails)" when the pipeline has none to give.
std::u16string TextOf(ClipboardPipeline& pipeline, ClipboardUse use)
{
    try {
        return *pipeline.Text(use);
    } catch (const PlatformError&) {
        return u"(fails)";
    }
}

// What the call gave, and how long it took.
std::pair<std::u16string, Clock::duration> Timed(ClipboardPipeline& pipeline, ClipboardUse use)
{
    const auto started = Clock::now();
    std::u16string text = TextOf(pipeline, use);
    return {std::move(text), Clock::now() - started};
}

// A pipeline that has read "old" and was then told of a new owner.
struct ChangedPipeline {
    ClipboardPipeline pipeline;
    ChangedPipeline()
    {
        pipeline.FinishRead(pipeline.BeginRead(), Contents(u"old"));
        pipeline.NoteChange();
    }
};

TEST(ClipboardPipeline, NothingIsKnownBeforeTheFirstRead)
{
    ClipboardPipeline pipeline;
    EXPECT_EQ(TextOf(pipeline, ClipboardUse::Tick), u"(fails)");
    pipeline.FinishRead(pipeline.BeginRead(), Contents(u"word"));
    EXPECT_EQ(TextOf(pipeline, ClipboardUse::Tick), u"word");
    EXPECT_EQ(TextOf(pipeline, ClipboardUse::Lookup), u"word");
}

TEST(ClipboardPipeline, ATickNeverWaitsAndNeverGetsTheEarlierOwnersText)
{
    ChangedPipeline changed;
    const auto [text, took] = Timed(changed.pipeline, ClipboardUse::Tick);
    EXPECT_EQ(text, u"(fails)");
    EXPECT_LT(took, 50ms);
}

TEST(ClipboardPipeline, ALookupWaitsForTheReadUnderWay)
{
    ChangedPipeline changed;
    const std::uint64_t read = changed.pipeline.BeginRead();
    std::thread reader([&] {
        std::this_thread::sleep_for(60ms);
        changed.pipeline.FinishRead(read, Contents(u"new"));
    });
    const auto [text, took] = Timed(changed.pipeline, ClipboardUse::Lookup);
    reader.join();
    EXPECT_EQ(text, u"new");
    EXPECT_GE(took, 50ms);
    EXPECT_LT(took, ClipboardPipeline::kLookupWait);
}

TEST(ClipboardPipeline, ALookupGivesUpAfterItsWaitAndOpensNothing)
{
    ChangedPipeline changed;
    changed.pipeline.BeginRead(); // and never finishes
    const auto [text, took] = Timed(changed.pipeline, ClipboardUse::Lookup);
    EXPECT_EQ(text, u"(fails)");
    EXPECT_GE(took, ClipboardPipeline::kLookupWait);
    EXPECT_LT(took, 2s);
}

TEST(ClipboardPipeline, AFailedReadFailsATickAndALookupAtOnceUntilTheNextReadIsUnderWay)
{
    ClipboardPipeline pipeline;
    pipeline.FailRead(pipeline.BeginRead(), "the owner does not answer");
    EXPECT_EQ(TextOf(pipeline, ClipboardUse::Tick), u"(fails)");
    const auto [text, took] = Timed(pipeline, ClipboardUse::Lookup);
    EXPECT_EQ(text, u"(fails)");
    EXPECT_LT(took, 50ms);

    // The retry: a look-up waits for it as for any read.
    const std::uint64_t retry = pipeline.BeginRead();
    std::thread reader([&] {
        std::this_thread::sleep_for(30ms);
        pipeline.FinishRead(retry, Contents(u"answered"));
    });
    EXPECT_EQ(TextOf(pipeline, ClipboardUse::Lookup), u"answered");
    reader.join();
}

TEST(ClipboardPipeline, AReadThatGivesNoTextIsTheEmptyText)
{
    ClipboardPipeline pipeline;
    pipeline.FinishRead(pipeline.BeginRead(), nullptr);
    const ClipboardContents text = pipeline.Text(ClipboardUse::Tick);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->empty());
}

// Without change notices the last text read may be another owner's already: a look-up takes only
// a text whose read began after the click.
TEST(ClipboardPipeline, WithoutNoticesALookupWaitsForAReadBegunAfterIt)
{
    ClipboardPipeline pipeline;
    pipeline.SetNoticesChanges(false);
    pipeline.FinishRead(pipeline.BeginRead(), Contents(u"old"));
    const std::uint64_t begunBefore = pipeline.BeginRead();
    EXPECT_EQ(TextOf(pipeline, ClipboardUse::Tick), u"old");

    std::thread reader([&] {
        std::this_thread::sleep_for(30ms);
        pipeline.FinishRead(begunBefore, Contents(u"old, read again"));
        std::this_thread::sleep_for(30ms);
        pipeline.FinishRead(pipeline.BeginRead(), Contents(u"new"));
    });
    const auto [text, took] = Timed(pipeline, ClipboardUse::Lookup);
    reader.join();
    EXPECT_EQ(text, u"new");
    EXPECT_GE(took, 50ms);
}

TEST(ClipboardPipeline, WithoutNoticesALookupWithNoReadAfterItOpensNothing)
{
    ClipboardPipeline pipeline;
    pipeline.SetNoticesChanges(false);
    pipeline.FinishRead(pipeline.BeginRead(), Contents(u"old"));
    EXPECT_EQ(TextOf(pipeline, ClipboardUse::Lookup), u"(fails)");
}

} // namespace
} // namespace vorda::test
