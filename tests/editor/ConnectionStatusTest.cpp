#include "editor/ConnectionStatus.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace ConnectionStatus;

namespace
{
const juce::String mismatchText = "Tonquill / FX version mismatch - update BOTH plugins";

Reading connectedReading()
{
    Reading r;
    r.regionMapped = true;
    r.receiverHeartbeat = 1;
    r.sampleRate = 44100.0;
    return r;
}

// Runs ticks in order, carrying the watch along as the window does.
struct Monitor
{
    Watch watch;
    Verdict tick(const Reading& reading)
    {
        auto verdict = decide(watch, reading);
        watch = verdict.watch;
        return verdict;
    }
};
} // namespace

TEST(ConnectionStatus, DecisionTable)
{
    struct Case
    {
        const char* what;
        Watch before;
        Reading now;
        juce::String text;
        juce::Colour colour;
    };
    auto with = [](auto change) {
        Reading r = connectedReading();
        change(r);
        return r;
    };
    const Case cases[] = {
        {"receiver present", {}, connectedReading(), "Connected  -  44100 Hz", green},
        {"rate truncated", {}, with([](Reading& r) { r.sampleRate = 44100.9; }), "Connected  -  44100 Hz", green},
        {"unmapped rate shows 0", {}, with([](Reading& r) { r.regionMapped = false; r.sampleRate = 48000; }),
         "Connected  -  0 Hz", green},
        {"hostile rate shows 0", {}, with([](Reading& r) { r.sampleRate = std::numeric_limits<double>::quiet_NaN(); }),
         "Connected  -  0 Hz", green},
        {"huge rate shows 0", {}, with([](Reading& r) { r.sampleRate = 1e300; }), "Connected  -  0 Hz", green},
        {"paused", {}, with([](Reading& r) { r.enabled = false; }), "Send paused", grey},
        {"collision", {}, with([](Reading& r) { r.collisionCount = 3; }),
         "Another Tonquill FX is sending on bus A - pick different buses", red},
        {"collision names bus H", {}, with([](Reading& r) { r.collisionCount = 1; r.bus = 7; }),
         "Another Tonquill FX is sending on bus H - pick different buses", red},
        {"no receiver", {1, 2, 0}, with([](Reading& r) { r.receiverHeartbeat = 1; }), "No Tonquill on bus A", amber},
        {"bus 7 is H", {1, 2, 0}, with([](Reading& r) { r.bus = 7; }), "No Tonquill on bus H", amber},
        {"bus above 7 shows H", {1, 2, 0}, with([](Reading& r) { r.bus = 12; }), "No Tonquill on bus H", amber},
        {"bus below 0 shows A", {1, 2, 0}, with([](Reading& r) { r.bus = -2; }), "No Tonquill on bus A", amber},
        {"paused beats collision and receiver", {}, with([](Reading& r) { r.enabled = false; r.collisionCount = 5; }),
         "Send paused", grey},
        {"collision beats receiver", {}, with([](Reading& r) { r.collisionCount = 1; }),
         "Another Tonquill FX is sending on bus A - pick different buses", red},
        {"mismatch beats paused", {}, with([](Reading& r) { r.versionMismatch = true; r.enabled = false; }),
         mismatchText, red},
        {"mismatch without mapping", {}, with([](Reading& r) { r.versionMismatch = true; r.regionMapped = false; }),
         mismatchText, red},
    };
    for (const auto& c : cases)
    {
        const auto verdict = decide(c.before, c.now);
        EXPECT_EQ(c.text, verdict.text) << c.what;
        EXPECT_EQ(c.colour, verdict.colour) << c.what;
        EXPECT_FALSE(verdict.takeOver) << c.what;
    }
}

TEST(ConnectionStatus, AFrozenHeartbeatStillCountsForTwoTicks)
{
    Monitor monitor;
    auto reading = connectedReading();
    reading.receiverHeartbeat = 41;
    EXPECT_EQ(green, monitor.tick(reading).colour); // changed
    const juce::String expected[] = {"Connected  -  44100 Hz", "Connected  -  44100 Hz", "No Tonquill on bus A",
                                     "No Tonquill on bus A"};
    for (const auto& text : expected)
        EXPECT_EQ(text, monitor.tick(reading).text);

    reading.receiverHeartbeat = 42; // the receiver is back
    EXPECT_EQ("Connected  -  44100 Hz", monitor.tick(reading).text);
}

TEST(ConnectionStatus, OpeningOnASilentBusShowsConnectedForTwoTicksThenNoReceiver)
{
    Monitor monitor;
    Reading reading = connectedReading();
    reading.receiverHeartbeat = 0;
    EXPECT_EQ(green, monitor.tick(reading).colour);
    EXPECT_EQ(green, monitor.tick(reading).colour);
    EXPECT_EQ("No Tonquill on bus A", monitor.tick(reading).text);
}

TEST(ConnectionStatus, TheCollisionMessageLastsWhileTheCountMoves)
{
    Monitor monitor;
    Reading reading = connectedReading();
    reading.collisionCount = 4; // counted before the window opened: shown once
    EXPECT_EQ(red, monitor.tick(reading).colour);
    reading.receiverHeartbeat = 2;
    EXPECT_EQ(green, monitor.tick(reading).colour);
    reading.collisionCount = 5;
    reading.receiverHeartbeat = 3;
    EXPECT_EQ(red, monitor.tick(reading).colour);
    reading.receiverHeartbeat = 4;
    EXPECT_EQ(green, monitor.tick(reading).colour);
}

TEST(ConnectionStatus, AnIdleForeignRegionIsTakenOverAfterTwoSeconds)
{
    Monitor monitor;
    Reading reading = connectedReading();
    reading.versionMismatch = true;
    reading.blockCounter = 10;
    reading.receiverHeartbeat = 7;

    reading.nowMs = 1000.0;
    auto verdict = monitor.tick(reading); // first activity value recorded: the count starts here
    EXPECT_EQ(mismatchText, verdict.text);
    EXPECT_EQ(17, verdict.watch.lastActivity);
    EXPECT_EQ(1000.0, verdict.watch.lastActivityChangeMs);

    reading.nowMs = 2999.0;
    verdict = monitor.tick(reading);
    EXPECT_EQ(mismatchText, verdict.text);
    EXPECT_FALSE(verdict.takeOver);

    reading.nowMs = 3000.0;
    verdict = monitor.tick(reading);
    EXPECT_TRUE(verdict.takeOver);
    // The same tick already shows the normal status, with the rate of the wiped region.
    EXPECT_EQ("Connected  -  0 Hz", verdict.text);
}

TEST(ConnectionStatus, ActivityRestartsTheTakeOverCount)
{
    Monitor monitor;
    Reading reading = connectedReading();
    reading.versionMismatch = true;
    reading.nowMs = 0.0;
    monitor.tick(reading);

    struct Step
    {
        double nowMs;
        uint64_t blockCounter, heartbeat;
        bool takeOver;
    };
    const Step steps[] = {
        {1500.0, 1, 1, false},  // a block: count restarts at 1500
        {3000.0, 1, 1, false},  // 1500 ms idle
        {3200.0, 1, 2, false},  // the other side's heartbeat moved: restart at 3200
        {5199.0, 1, 2, false},  // 1999 ms
        {5200.0, 1, 2, true},   // 2000 ms
    };
    for (const auto& step : steps)
    {
        reading.nowMs = step.nowMs;
        reading.blockCounter = step.blockCounter;
        reading.receiverHeartbeat = step.heartbeat;
        EXPECT_EQ(step.takeOver, monitor.tick(reading).takeOver) << step.nowMs;
    }
}

TEST(ConnectionStatus, NoTakeOverWithoutAMapping)
{
    Monitor monitor;
    Reading reading;
    reading.versionMismatch = true;
    for (double t : {0.0, 5000.0, 100000.0})
    {
        reading.nowMs = t;
        const auto verdict = monitor.tick(reading);
        EXPECT_FALSE(verdict.takeOver);
        EXPECT_EQ(mismatchText, verdict.text);
    }
}
