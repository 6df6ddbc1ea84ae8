// The frame loop's rules and the frame timer, with a counter that the test
// advances instead of real time.
#include "app/FrameLoop.h"
#include "app/FrameTimer.h"
#include "app/Settings.h"
#include "display/Display.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ORV;
using namespace ORV::Demo;

namespace {

// A counter at 1000 ticks per second that moves on by `step` on every read.
struct SteppingCounter {
    std::uint64_t now = 5000;
    std::uint64_t step = 1000;
    static std::uint64_t read(void* self)
    {
        auto* c = static_cast<SteppingCounter*>(self);
        const std::uint64_t value = c->now;
        c->now += c->step;
        return value;
    }
    Core::ClockSource clock()
    {
        Core::ClockSource source;
        source.readCounter = &SteppingCounter::read;
        source.context = this;
        return source;
    }
};

struct Frame {
    float time, delta;
};
std::vector<Frame> frames;
float playUntil = 0.0f;
int escapeAtFrame = -1;

bool recordFrame(float time, float delta)
{
    frames.push_back({time, delta});
    if (int(frames.size()) == escapeAtFrame)
        Display::window().postMessage({Platform::WindowMessage::KeyDown, Platform::VirtualKeyEscape});
    return time < playUntil;
}

class FrameLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frames.clear();
        playUntil = 0.0f;
        escapeAtFrame = -1;
        ASSERT_TRUE(display.createWindow(8, 8, false, false, Platform::VideoMode::Offscreen)) << Display::lastError();
    }
    Display display;
    SteppingCounter counter;
};

} // namespace

TEST_F(FrameLoopTest, FirstFrameHasZeroTimeAndDelta)
{
    FrameTimer timer(counter.clock(), 1000);
    timer.start();
    runFrameLoop(display, timer, recordFrame);
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0].time, 0.0f);
    EXPECT_EQ(frames[0].delta, 0.0f);
    // The delta of a frame is the length of the frame before it, tick to tick.
    EXPECT_EQ(frames[1].delta, 1.0f);
    EXPECT_EQ(frames[1].time, 1.0f);
}

TEST_F(FrameLoopTest, DemoThatEndsEarlyRunsEmptyFramesUntilTheEndTime)
{
    FrameTimer timer(counter.clock(), 1000);
    timer.start();
    const float end = runFrameLoop(display, timer, recordFrame);
    EXPECT_EQ(end, demoEndTime);
    EXPECT_EQ(frames.size(), 149u); // T = 0, 1, ..., 148
    // Every frame but the last was presented by the following nextFrame.
    EXPECT_EQ(Display::device().presentCount(), 148u);
}

TEST_F(FrameLoopTest, DemoLongerThanTheEndTimeRunsUntilItStops)
{
    counter.step = 4000; // four seconds a frame
    playUntil = 200.0f;
    FrameTimer timer(counter.clock(), 1000);
    timer.start();
    const float end = runFrameLoop(display, timer, recordFrame);
    EXPECT_EQ(end, 200.0f);
    EXPECT_EQ(frames.back().time, 200.0f);
}

TEST_F(FrameLoopTest, EscapeEndsTheLoopAfterTheFrameInProgress)
{
    escapeAtFrame = 10; // posted while frame 10 draws
    FrameTimer timer(counter.clock(), 1000);
    timer.start();
    runFrameLoop(display, timer, recordFrame);
    // Frame 11 was begun by the nextFrame that saw Escape, drawn, and then
    // presented by the call that ended the loop.
    EXPECT_EQ(frames.size(), 11u);
    EXPECT_EQ(Display::device().presentCount(), 11u);
}

TEST_F(FrameLoopTest, WindowClosedBeforeTheLoopRunsNoFrame)
{
    ASSERT_TRUE(display.nextFrame()); // the loading screen's frame
    Display::window().postMessage({Platform::WindowMessage::Close});
    ASSERT_TRUE(display.nextFrame());
    ASSERT_FALSE(display.nextFrame());
    FrameTimer timer(counter.clock(), 1000);
    timer.start();
    runFrameLoop(display, timer, recordFrame);
    EXPECT_TRUE(frames.empty());
}

TEST(FrameTimer, DeltaIsConvertedOncePerTickAndRoundedToSingle)
{
    SteppingCounter counter;
    counter.step = 1;
    FrameTimer timer(counter.clock(), 3);
    timer.start();
    EXPECT_EQ(timer.deltaSeconds(), 0.0f);
    timer.tick(); // one tick at 3 per second
    const float first = timer.deltaSeconds();
    EXPECT_EQ(first, static_cast<float>(1.0L / 3.0L));
    counter.now += 100; // time passes, but no tick: the same value
    EXPECT_EQ(timer.deltaSeconds(), first);
    timer.tick();
    EXPECT_EQ(timer.deltaSeconds(), static_cast<float>(101.0L / 3.0L));
}

TEST(FrameTimer, TickCountsPastTwoToTheTwentyFourAreDividedExactly)
{
    // Past 2^24 a float no longer holds every tick count, nor a GHz rate:
    // the division is made on exact values and only its quotient is rounded
    // to single precision.
    struct Row {
        std::uint64_t ticks, ticksPerSecond;
    };
    const Row rows[] = {
        {48'000'003, 2'893'012'345}, // a 60 Hz frame on a 2.9 GHz counter
        {123'456'789, 3'000'000'007},
        {16'777'217, 16'777'219},
        {(std::uint64_t{1} << 33) + 1, 3'000'000'000}, // a pause of some seconds
        {(std::uint64_t{1} << 24) + 1, 1},
    };
    for (const Row& row : rows) {
        SteppingCounter counter;
        counter.step = row.ticks;
        FrameTimer timer(counter.clock(), row.ticksPerSecond);
        timer.start();
        timer.tick();
        const float expected = static_cast<float>(double(row.ticks) / double(row.ticksPerSecond));
        EXPECT_EQ(timer.deltaSeconds(), expected) << row.ticks << " ticks at " << row.ticksPerSecond << " per second";
    }
}
