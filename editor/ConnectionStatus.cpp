#include "editor/ConnectionStatus.h"

#include "voicebus/Region.h"

#include <cmath>

namespace ConnectionStatus
{
// The rate comes from shared memory that anyone may write: anything but a finite number in range
// shows as 0 rather than reaching an undefined conversion.
static int64_t wholeHertz(double sampleRate)
{
    return std::isfinite(sampleRate) && std::abs(sampleRate) < 9.0e18 ? static_cast<int64_t>(sampleRate) : 0;
}

Verdict decide(const Watch& before, const Reading& now)
{
    Verdict verdict;
    Watch& watch = verdict.watch;
    watch = before;

    // A receiver keeps changing its heartbeat; it counts as gone only after a few still ticks.
    bool receiverPresent = true;
    if (now.receiverHeartbeat == before.lastHeartbeat)
        receiverPresent = ++watch.staleTicks <= heartbeatGraceTicks;
    else
    {
        watch.lastHeartbeat = now.receiverHeartbeat;
        watch.staleTicks = 0;
    }

    // Another sender shows as a collision count that moved since the last tick.
    const bool collision = now.collisionCount != before.lastCollisionCount;
    watch.lastCollisionCount = now.collisionCount;

    if (now.versionMismatch)
    {
        bool idleLongEnough = false;
        if (now.regionMapped)
        {
            const auto activity = static_cast<int64_t>(now.blockCounter + now.receiverHeartbeat);
            if (activity != before.lastActivity)
            {
                watch.lastActivity = activity;
                watch.lastActivityChangeMs = now.nowMs;
            }
            else
                idleLongEnough = now.nowMs - before.lastActivityChangeMs >= takeOverAfterMs;
        }
        if (!idleLongEnough)
        {
            verdict.text = "Tonquill / FX version mismatch - update BOTH plugins";
            verdict.colour = red;
            return verdict;
        }
        verdict.takeOver = true;
    }

    const juce::String letter =
        juce::String::charToString(static_cast<juce::juce_wchar>(VoiceBus::busLetter(now.bus)));
    if (!now.enabled)
    {
        verdict.text = "Send paused";
        verdict.colour = grey;
    }
    else if (collision)
    {
        verdict.text = "Another Tonquill FX is sending on bus " + letter + " - pick different buses";
        verdict.colour = red;
    }
    else if (receiverPresent)
    {
        // A region taken over in this tick has just been zeroed: its rate is 0, not what was read.
        const auto rate = now.regionMapped && !verdict.takeOver ? wholeHertz(now.sampleRate) : int64_t{0};
        verdict.text = "Connected  -  " + juce::String(rate) + " Hz";
        verdict.colour = green;
    }
    else
    {
        verdict.text = "No Tonquill on bus " + letter;
        verdict.colour = amber;
    }
    return verdict;
}

Verdict tick(VoiceBus::Endpoint& endpoint, const Watch& before, bool enabled, int bus, double nowMs)
{
    Reading reading;
    if (auto* region = endpoint.region)
    {
        reading.regionMapped = true;
        reading.receiverHeartbeat =
            VoiceBus::shared(region->receiverHeartbeat).load(std::memory_order_relaxed);
        reading.blockCounter = VoiceBus::shared(region->blockCounter).load(std::memory_order_relaxed);
        reading.sampleRate = VoiceBus::shared(region->sampleRate).load(std::memory_order_relaxed);
    }
    reading.collisionCount = endpoint.collisionCount.load();
    reading.versionMismatch = endpoint.versionMismatch.load();
    reading.enabled = enabled;
    reading.bus = bus;
    reading.nowMs = nowMs;

    Watch watch = before;
    watch.lastActivity = endpoint.lastActivity;
    watch.lastActivityChangeMs = endpoint.lastActivityChangeMs;
    auto verdict = decide(watch, reading);
    endpoint.lastActivity = verdict.watch.lastActivity;
    endpoint.lastActivityChangeMs = verdict.watch.lastActivityChangeMs;
    if (verdict.takeOver)
        endpoint.takeOver();
    return verdict;
}
} // namespace ConnectionStatus
