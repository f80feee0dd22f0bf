#pragma once

// The decision behind the window's status line, as a pure function of what one timer tick reads and
// the clock: the window gathers a Reading, calls decide, applies the Verdict and repaints. Keeping it
// free of timers, windows and shared memory lets every row of the decision be checked directly.

#include "voicebus/Endpoint.h"

#include <JuceHeader.h>

#include <cstdint>

namespace ConnectionStatus
{
/** What the monitor remembers from one tick to the next (the window's and the endpoint's fields). */
struct Watch
{
    uint64_t lastHeartbeat = 0;
    int32_t staleTicks = 0;
    int32_t lastCollisionCount = 0;
    int64_t lastActivity = -1;         // blockCounter + receiverHeartbeat while a mismatch is pending
    double lastActivityChangeMs = 0.0; // when lastActivity last changed
};

/** What one tick reads. Region fields are 0 when nothing is mapped. */
struct Reading
{
    bool regionMapped = false;
    uint64_t receiverHeartbeat = 0;
    uint64_t blockCounter = 0;
    double sampleRate = 0.0;
    int32_t collisionCount = 0;
    bool versionMismatch = false;
    bool enabled = true;
    int bus = 0;
    double nowMs = 0.0; // monotonic clock
};

struct Verdict
{
    juce::String text;
    juce::Colour colour;
    bool takeOver = false; // wipe the idle foreign region and lay it out in this layout now
    Watch watch;           // what to remember for the next tick
};

/** How long a region of another layout must sit idle before it is taken over. */
constexpr double takeOverAfterMs = 2000.0;

/** Ticks without a heartbeat change during which a receiver still counts as present. */
constexpr int32_t heartbeatGraceTicks = 2;

const juce::Colour grey{0xff555568};
const juce::Colour red{0xffef4444};
const juce::Colour green{0xff22c55e};
const juce::Colour amber{0xffeab308};

/** One tick of the monitor. */
Verdict decide(const Watch& before, const Reading& now);

/** One tick against a live endpoint, as the window's timer runs it: reads the mapped region,
    decides, keeps the endpoint's activity fields and takes an idle foreign region over. `before`
    supplies the window's part of the watch (heartbeat, stale ticks, collision count); the endpoint
    supplies the rest. */
Verdict tick(VoiceBus::Endpoint& endpoint, const Watch& before, bool enabled, int bus, double nowMs);
} // namespace ConnectionStatus
