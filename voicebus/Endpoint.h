#pragma once

// One process's mapping of one voice bus region. The message thread opens, re-opens and closes it;
// the audio thread publishes blocks into it at the same time. See Endpoint.cpp for how the two are
// kept apart without the audio thread ever waiting.

#include "voicebus/Region.h"

#include <atomic>
#include <cstdint>

namespace VoiceBus
{
class Endpoint
{
public:
    Endpoint() = default;
    ~Endpoint();

    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;

    /** Message thread. Drops the current mapping, then maps the region of `bus` (0 ... 7): a new
        object is sized and initialised, an existing one of this layout is used as it is, one of
        another layout is mapped untouched with versionMismatch set. Shared memory first, the file
        under $TMPDIR when shared memory cannot be opened. On failure the endpoint stays closed. */
    void open(int bus);

    /** Message thread. Unmaps and closes; the object or file itself stays for later endpoints. */
    void close();

    /** Audio thread. Publishes one block: sender id, sample rate, block counter, the samples, then
        the write position (release). Skips the block, without waiting, when nothing usable is mapped
        or a re-open is in progress. Never allocates, locks or makes a system call. */
    bool publish(const float* samples, int numSamples, double sampleRate) noexcept;

    /** Message thread, while versionMismatch is set: lays the mapped region out afresh in this
        layout (zero-fill, tag) and only then clears the flag, so the audio thread never sees the
        flag clear on a half-initialised region. */
    void takeOver() noexcept;

    Region* region = nullptr; // written on the message thread only, with the audio side held off
    int32_t openBus = -1;
    uint64_t senderId = 0;
    std::atomic<int32_t> collisionCount{0};
    std::atomic<bool> versionMismatch{false};
    int64_t lastActivity = -1;         // kept by the status monitor while a mismatch is pending
    double lastActivityChangeMs = 0.0; // likewise
    int32_t fd = -1;

private:
    class AudioSideHeldOff;

    void unmap() noexcept;

    std::atomic<bool> audioInside{false}; // the audio thread is between its check and its last store
    std::atomic<bool> remapping{false};   // the message thread is changing the mapping
};
} // namespace VoiceBus
