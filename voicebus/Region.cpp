#include "voicebus/Region.h"

#include <algorithm>
#include <cstring>

namespace VoiceBus
{
int clampBus(int bus) noexcept
{
    return std::clamp(bus, 0, numBuses - 1);
}

char busLetter(int bus) noexcept
{
    return static_cast<char>('A' + clampBus(bus));
}

static std::string& prefixStorage()
{
    static std::string prefix = productNamePrefix;
    return prefix;
}

const std::string& namePrefix()
{
    return prefixStorage();
}

void setNamePrefix(std::string prefix)
{
    prefixStorage() = std::move(prefix);
}

std::string objectName(int bus, const std::string& prefix)
{
    return "/" + prefix + busLetter(bus);
}

std::string fallbackPath(int bus, const char* tmpDir, const std::string& prefix)
{
    std::string path = tmpDir != nullptr ? tmpDir : "/tmp";
    if (path.empty() || path.back() != '/')
        path += '/';
    return path + prefix + busLetter(bus);
}

void initialise(Region& region) noexcept
{
    std::memset(static_cast<void*>(&region), 0, regionSize);
    shared(region.magic).store(layoutMagic, std::memory_order_seq_cst);
}

void writeRing(Region& region, uint32_t writePos, const float* samples, int n) noexcept
{
    if (n <= 0)
        return;

    auto count = static_cast<uint32_t>(n);
    if (count > static_cast<uint32_t>(ringLength))
    {
        // Only the last ringLength samples survive sample-by-sample writing; skip straight to them.
        const uint32_t skipped = count - ringLength;
        samples += skipped;
        writePos += skipped;
        count = ringLength;
    }

    const uint32_t start = writePos & ringMask;
    const uint32_t firstRun = std::min(count, static_cast<uint32_t>(ringLength) - start);
    std::memcpy(region.ring + start, samples, firstRun * sizeof(float));
    std::memcpy(region.ring, samples + firstRun, (count - firstRun) * sizeof(float));
}
} // namespace VoiceBus
