#pragma once

// The receiving side of a voice bus, as the command-line tool needs it: attached to a mapped region
// of this layout, it keeps the heartbeat moving and reads the samples the sender publishes.

#include "voicebus/Region.h"

#include <cstdint>
#include <vector>

namespace BusTool
{
struct Arrival
{
    bool layoutLost = false; // the region no longer carries this layout's tag; nothing was touched
    uint64_t lost = 0;       // samples overwritten before they could be read; they came first
};

class Receiver
{
public:
    /** Starts at the current write position: only what is published from now on is read. */
    explicit Receiver(VoiceBus::Region& region) noexcept;

    /** One step: checks the tag, changes receiverHeartbeat, then appends the samples published since
        the previous step to `samples`. Once the tag is gone it stays detached and writes nothing. */
    Arrival poll(std::vector<float>& samples);

    double sampleRate() const noexcept;
    uint64_t lostTotal() const noexcept { return lost; }

private:
    VoiceBus::Region& region;
    uint32_t readPos;
    uint64_t lost = 0;
    bool detached = false;
};
} // namespace BusTool
