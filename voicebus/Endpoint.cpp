#include "voicebus/Endpoint.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace VoiceBus
{
// Re-opening while the audio thread publishes is a Dekker-style handshake on two sequentially
// consistent flags. The audio thread raises audioInside and then looks at remapping; the message
// thread raises remapping and then waits for audioInside to fall. Sequential consistency forbids both
// from missing the other's flag: either the block sees remapping and is skipped, or the message thread
// waits for that one block's publish to finish before it unmaps or zero-fills anything. Only the
// message thread ever waits, and for at most one block.
class Endpoint::AudioSideHeldOff
{
public:
    explicit AudioSideHeldOff(Endpoint& e) : endpoint(e)
    {
        endpoint.remapping.store(true);
        while (endpoint.audioInside.load())
            std::this_thread::yield();
    }

    ~AudioSideHeldOff() { endpoint.remapping.store(false); }

    AudioSideHeldOff(const AudioSideHeldOff&) = delete;
    AudioSideHeldOff& operator=(const AudioSideHeldOff&) = delete;

private:
    Endpoint& endpoint;
};

namespace
{
// A region must be a plain file with one name: anything else found under a region's name (a FIFO, a
// device, a second hard link to some other file) is not ours to size and fill.
bool isPlainSingleFile(int fd)
{
    struct stat info
    {
    };
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
}

// Grows a short object to the region size; never shrinks a longer one (it may be a larger layout
// that another program relies on). Fails when the object stays too short to map safely.
bool hasRegionSize(int fd)
{
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0)
        return false;
    if (info.st_size >= static_cast<off_t>(regionSize))
        return true;
    return ::ftruncate(fd, static_cast<off_t>(regionSize)) == 0 && ::fstat(fd, &info) == 0 &&
           info.st_size >= static_cast<off_t>(regionSize);
}

// The fallback directory is usually world-writable: never follow a link planted under the region's
// name, and never block on a FIFO planted there.
int openFallbackFile(int bus)
{
    const auto path = fallbackPath(bus, std::getenv("TMPDIR"));
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
}
} // namespace

Endpoint::~Endpoint()
{
    close();
}

void Endpoint::unmap() noexcept
{
    if (region != nullptr)
        ::munmap(region, regionSize);
    if (fd >= 0)
        ::close(fd);
    region = nullptr;
    fd = -1;
    openBus = -1;
}

void Endpoint::close()
{
    AudioSideHeldOff heldOff(*this);
    unmap();
}

void Endpoint::open(int bus)
{
    AudioSideHeldOff heldOff(*this);
    unmap();
    versionMismatch.store(false);

    const auto name = objectName(bus);
    int descriptor = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
    const bool created = descriptor >= 0;
    if (!created)
        descriptor = ::shm_open(name.c_str(), O_RDWR | O_CREAT, 0666);
    if (descriptor < 0)
        descriptor = openFallbackFile(bus);
    if (descriptor < 0)
        return;

    if (!isPlainSingleFile(descriptor) || !hasRegionSize(descriptor))
    {
        ::close(descriptor);
        return;
    }

    void* mapping = ::mmap(nullptr, regionSize, PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (mapping == MAP_FAILED)
    {
        ::close(descriptor);
        return;
    }

    region = static_cast<Region*>(mapping);
    fd = descriptor;

    const uint32_t magic = created ? 0u : shared(region->magic).load();
    if (magic == 0)
        initialise(*region);
    else if (magic != layoutMagic)
    {
        // Another layout: leave every byte alone; the window may take it over once it is idle.
        versionMismatch.store(true);
        lastActivity = -1;
        lastActivityChangeMs = 0.0;
    }

    openBus = bus;
}

bool Endpoint::publish(const float* samples, int numSamples, double sampleRate) noexcept
{
    audioInside.store(true);
    bool published = false;

    if (!remapping.load() && region != nullptr && !versionMismatch.load())
    {
        Region& r = *region;

        const uint64_t previousSender = shared(r.senderId).load(std::memory_order_relaxed);
        if (previousSender != 0 && previousSender != senderId)
            collisionCount.fetch_add(1, std::memory_order_relaxed);

        shared(r.senderId).store(senderId, std::memory_order_relaxed);
        shared(r.sampleRate).store(sampleRate, std::memory_order_relaxed);
        shared(r.blockCounter).fetch_add(1);

        const uint32_t start = shared(r.writePos).load(std::memory_order_relaxed);
        writeRing(r, start, samples, numSamples);
        shared(r.writePos).store(start + static_cast<uint32_t>(numSamples), std::memory_order_release);
        published = true;
    }

    audioInside.store(false, std::memory_order_release);
    return published;
}

void Endpoint::takeOver() noexcept
{
    if (region == nullptr)
        return;
    AudioSideHeldOff heldOff(*this);
    initialise(*region);
    versionMismatch.store(false);
}
} // namespace VoiceBus
