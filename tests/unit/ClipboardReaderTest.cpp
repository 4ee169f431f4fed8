// The reading thread's schedule, run on the test's thread over a scripted source and a clock that
// moves only when the source waits or reads.

#include "clipboard/ClipboardReader.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <map>
#include <new>
#include <stdexcept>
#include <vector>

namespace vorda::test {
namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using Wake = ClipboardSource::Wake;

class ScriptedSource final : public ClipboardSource {
public:
    explicit ScriptedSource(ClipboardPipeline& pipeline) : pipeline_(pipeline) {}

    // --- Script
    bool notices = true;
    std::map<milliseconds, Wake> events;          // what happens when, from the start
    std::function<std::u16string(int read)> content = [](int) { return u"text"; };
    milliseconds readTakes{0};

    // --- Record
    std::vector<milliseconds> readsAt;
    std::vector<std::optional<milliseconds>> waits;
    std::vector<std::u16string> ticksSeen; // what a tick got at each wait

    [[nodiscard]] Clock::time_point Now() const { return Clock::time_point{} + now_; }

    [[nodiscard]] bool NoticesChanges() const override { return notices; }

    Wake Wait(std::optional<milliseconds> timeout) override
    {
        waits.push_back(timeout);
        ticksSeen.push_back(TickText());
        const auto next = events.begin();
        if (waits.size() > 1000 || (next == events.end() && !timeout)) {
            return Wake::Stopped; // the script is over
        }
        if (next != events.end() && (!timeout || next->first <= now_ + *timeout)) {
            now_ = std::max(now_, next->first);
            const Wake wake = next->second;
            events.erase(next);
            return wake;
        }
        now_ += *timeout;
        return Wake::TimedOut;
    }

    std::u16string Read() override
    {
        readsAt.push_back(now_);
        now_ += readTakes;
        return content(static_cast<int>(readsAt.size()) - 1);
    }

private:
    std::u16string TickText()
    {
        try {
            return *pipeline_.Text(ClipboardUse::Tick);
        } catch (const PlatformError&) {
            return u"(fails)";
        }
    }

    ClipboardPipeline& pipeline_;
    milliseconds now_{0};
};

struct ReaderRun {
    ClipboardPipeline pipeline;
    ScriptedSource source{pipeline};

    void Run()
    {
        RunClipboardReader(source, pipeline, [this] { return source.Now(); });
    }
};

TEST(ClipboardReader, ReadsAtTheStartAndAtEveryChangeThenWaitsWithoutEnd)
{
    ReaderRun run;
    run.source.events = {{1000ms, Wake::Changed}, {1700ms, Wake::Changed}, {3000ms, Wake::Stopped}};
    run.source.content = [](int read) { return std::u16string(u"copy ") + static_cast<char16_t>(u'0' + read); };
    run.Run();
    EXPECT_EQ(run.source.readsAt, (std::vector<milliseconds>{0ms, 1000ms, 1700ms}));
    // After each read: a look for a change during it, then a wait for the next notice.
    EXPECT_EQ(run.source.waits, (std::vector<std::optional<milliseconds>>{0ms, std::nullopt, 0ms, std::nullopt, 0ms,
                                                                          std::nullopt}));
    EXPECT_EQ(*run.pipeline.Text(ClipboardUse::Tick), u"copy 2");
}

TEST(ClipboardReader, WithoutNoticesReadsAgainAndAgain)
{
    ReaderRun run;
    run.source.notices = false;
    run.source.events = {{1000ms, Wake::Stopped}};
    run.Run();
    EXPECT_EQ(run.source.readsAt, (std::vector<milliseconds>{0ms, 200ms, 400ms, 600ms, 800ms}));
}

TEST(ClipboardReader, AFailedReadIsTriedAgainAndFailsTheTicksMeanwhile)
{
    ReaderRun run;
    run.source.events = {{5000ms, Wake::Stopped}};
    run.source.content = [](int read) -> std::u16string {
        if (read < 2) {
            throw PlatformError("the owner does not answer");
        }
        return u"answered";
    };
    run.Run();
    EXPECT_EQ(run.source.readsAt, (std::vector<milliseconds>{0ms, 500ms, 1000ms}));
    EXPECT_EQ(run.source.ticksSeen.back(), u"answered");
    for (std::size_t wait = 0; wait + 1 < run.source.ticksSeen.size(); ++wait) {
        EXPECT_EQ(run.source.ticksSeen[wait], u"(fails)") << "wait " << wait;
    }
}

// A new owner that came while the earlier one was being read: what was read is never handed out.
TEST(ClipboardReader, AChangeDuringAReadDiscardsItAndReadsAgainAtOnce)
{
    ReaderRun run;
    run.source.readTakes = 100ms;
    run.source.events = {{50ms, Wake::Changed}, {2000ms, Wake::Stopped}};
    run.source.content = [](int read) { return read == 0 ? u"earlier owner" : u"new owner"; };
    run.Run();
    EXPECT_EQ(run.source.readsAt, (std::vector<milliseconds>{0ms, 100ms}));
    for (const std::u16string& seen : run.source.ticksSeen) {
        EXPECT_NE(seen, u"earlier owner");
    }
    EXPECT_EQ(*run.pipeline.Text(ClipboardUse::Tick), u"new owner");
}

TEST(ClipboardReader, EveryKindOfExceptionFromAReadIsAFailedRead)
{
    const std::vector<std::function<void()>> throwers = {
        [] { throw std::bad_alloc(); },
        [] { throw std::length_error("too long"); },
        [] { throw PlatformError("cannot open"); },
        [] { throw 7; },
    };
    for (std::size_t kind = 0; kind < throwers.size(); ++kind) {
        ReaderRun run;
        run.source.events = {{700ms, Wake::Stopped}};
        run.source.content = [&](int read) -> std::u16string {
            if (read == 0) {
                throwers[kind]();
            }
            return u"after";
        };
        EXPECT_NO_THROW(run.Run()) << "kind " << kind;
        EXPECT_EQ(run.source.readsAt, (std::vector<milliseconds>{0ms, 500ms})) << "kind " << kind;
        EXPECT_EQ(*run.pipeline.Text(ClipboardUse::Tick), u"after") << "kind " << kind;
    }
}

TEST(ClipboardReader, StopsAtOnceWhenToldWhileReading)
{
    ReaderRun run;
    run.source.readTakes = 100ms;
    run.source.events = {{10ms, Wake::Stopped}};
    run.Run();
    EXPECT_EQ(run.source.readsAt.size(), 1U);
    EXPECT_EQ(run.source.waits.size(), 1U);
}

// An overdue deadline is a wait that only looks; -1 would be a wait without end.
TEST(ClipboardReader, WaitMillisecondsNeverTurnsADeadlineIntoNone)
{
    const std::vector<std::pair<std::optional<milliseconds>, int>> cases = {
        {std::nullopt, -1}, {-1ms, 0}, {-5000ms, 0}, {0ms, 0}, {17ms, 17},
        {milliseconds{INT_MAX}, INT_MAX}, {milliseconds{static_cast<milliseconds::rep>(INT_MAX) * 4}, INT_MAX},
    };
    for (const auto& [timeout, expected] : cases) {
        EXPECT_EQ(WaitMilliseconds(timeout), expected) << (timeout ? timeout->count() : -999);
    }
}

} // namespace
} // namespace vorda::test
