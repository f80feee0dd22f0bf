#pragma once

// The layout of one voice bus region: a fixed 131192-byte block of shared memory that a sending
// instance publishes into and a receiving instance reads. Other programs map the same bytes, so the
// layout is pinned field by field below. Plain POSIX and the standard library only.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace VoiceBus
{
constexpr int numBuses = 8;
constexpr uint32_t layoutMagic = 0x53564232; // bytes 32 42 56 53 in memory
constexpr int ringLength = 32768;
constexpr uint32_t ringMask = 0x7FFF;
constexpr std::size_t headerSize = 120;
constexpr std::size_t regionSize = 131192;

/** The name prefix of the product's regions; tests substitute their own (see setNamePrefix). */
constexpr const char* productNamePrefix = "TonquillVoiceBus_";

struct Region
{
    uint32_t magic;             // 0: never initialised; layoutMagic: this layout; else another layout
    uint32_t writePos;          // free-running sample count, wraps at 2^32
    uint8_t reservedA[8];       // left to the receiver
    double sampleRate;          // sender's sample rate in Hz
    uint64_t blockCounter;      // +1 per published block
    uint64_t receiverHeartbeat; // changed by an attached receiver; only read by senders
    uint64_t senderId;          // who published last; 0 since initialisation
    uint8_t reservedB[72];      // left to the receiver
    float ring[ringLength];     // mono samples, slot = position & ringMask
};

static_assert(offsetof(Region, magic) == 0);
static_assert(offsetof(Region, writePos) == 4);
static_assert(offsetof(Region, reservedA) == 8);
static_assert(offsetof(Region, sampleRate) == 16);
static_assert(offsetof(Region, blockCounter) == 24);
static_assert(offsetof(Region, receiverHeartbeat) == 32);
static_assert(offsetof(Region, senderId) == 40);
static_assert(offsetof(Region, reservedB) == 48);
static_assert(offsetof(Region, ring) == headerSize);
static_assert(sizeof(Region) == regionSize);
static_assert(regionSize == 0x20078);

/** Fields that other processes read or write while we do are accessed as lock-free atomics of their
    own width, straight in the mapping. */
template <typename T>
std::atomic_ref<T> shared(T& field) noexcept
{
    static_assert(std::atomic_ref<T>::is_always_lock_free);
    return std::atomic_ref<T>(field);
}

/** 'A' for bus 0 ... 'H' for bus 7; out-of-range indices are clamped first. */
char busLetter(int bus) noexcept;

/** Clamps a bus index to 0 ... 7. */
int clampBus(int bus) noexcept;

/** The prefix used for region names in this process: productNamePrefix unless a test changed it. */
const std::string& namePrefix();

/** Lets a test give this process's regions names of their own, so that it never touches the buses
    of a running DAW. Call before any endpoint opens. */
void setNamePrefix(std::string prefix);

/** "/" + prefix + letter: the shared-memory object of a bus. */
std::string objectName(int bus, const std::string& prefix = namePrefix());

/** The fallback file of a bus: tmpDir (or "/tmp" when null), a "/" unless it already ends in one,
    then prefix + letter. An empty tmpDir puts the file directly under the root directory. */
std::string fallbackPath(int bus, const char* tmpDir, const std::string& prefix = namePrefix());

/** Zero-fills all bytes, then stores layoutMagic (sequentially consistent) so that a peer that sees
    the tag also sees the cleared header. */
void initialise(Region& region) noexcept;

/** Writes n samples into the ring from position writePos on, as sample-by-sample writing would:
    at most two contiguous copies; a block longer than the ring leaves only its last ringLength
    samples, each in its slot. */
void writeRing(Region& region, uint32_t writePos, const float* samples, int n) noexcept;
} // namespace VoiceBus
