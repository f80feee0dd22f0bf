#include "voicebus/RegionView.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace VoiceBus
{
namespace
{
// Looks at what the descriptor refers to and maps it when it holds a region of this layout. Takes
// the descriptor over: the mapping does not need it once made.
void inspect(RegionView& view, int fd, RegionView::Access access)
{
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0)
    {
        view.error = errno;
        view.state = RegionState::unusable;
        ::close(fd);
        return;
    }

    view.size = static_cast<uint64_t>(info.st_size);
    // Same rule as the endpoint: a FIFO, a device or a second name of some other file is no region.
    if (!S_ISREG(info.st_mode) || info.st_nlink != 1)
        view.state = RegionState::unusable;
    else if (view.size < regionSize)
        view.state = RegionState::tooShort;
    else
    {
        const int protection = access == RegionView::Access::readWrite ? PROT_READ | PROT_WRITE : PROT_READ;
        void* mapping = ::mmap(nullptr, regionSize, protection, MAP_SHARED, fd, 0);
        if (mapping == MAP_FAILED)
        {
            view.error = errno;
            view.state = RegionState::unusable;
        }
        else
        {
            auto* region = static_cast<Region*>(mapping);
            view.magic = shared(region->magic).load();
            if (view.magic == layoutMagic)
            {
                view.region = region;
                view.state = RegionState::current;
            }
            else
            {
                // Another layout's bytes are not ours to touch, not even by accident later.
                ::munmap(mapping, regionSize);
                view.state = view.magic == 0 ? RegionState::neverInitialised : RegionState::foreign;
            }
        }
    }
    ::close(fd);
}
} // namespace

RegionView::~RegionView()
{
    release();
}

RegionView::RegionView(RegionView&& other) noexcept
{
    *this = std::move(other);
}

RegionView& RegionView::operator=(RegionView&& other) noexcept
{
    if (this != &other)
    {
        release();
        state = other.state;
        source = other.source;
        location = std::move(other.location);
        size = other.size;
        magic = other.magic;
        error = other.error;
        region = std::exchange(other.region, nullptr);
    }
    return *this;
}

void RegionView::release() noexcept
{
    if (region != nullptr)
        ::munmap(region, regionSize);
    region = nullptr;
}

RegionView RegionView::open(int bus, Access access)
{
    RegionView view;
    const int mode = access == Access::readWrite ? O_RDWR : O_RDONLY;

    view.source = RegionSource::sharedMemory;
    view.location = objectName(bus);
    int fd = ::shm_open(view.location.c_str(), mode, 0);
    if (fd < 0)
    {
        const int objectError = errno;

        // An endpoint falls back to the file only when shared memory fails it, so a file found here
        // is the bus of a sender that could not use shared memory. The directory is usually
        // world-writable: never follow a link planted under the region's name, never block on a FIFO.
        const auto path = fallbackPath(bus, std::getenv("TMPDIR"));
        fd = ::open(path.c_str(), mode | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT)
        {
            // No file either: whatever the object's trouble was is the answer.
            view.error = objectError == ENOENT ? 0 : objectError;
            view.state = objectError == ENOENT ? RegionState::missing : RegionState::unusable;
            if (view.state == RegionState::missing)
                view.source = RegionSource::none;
            return view;
        }

        view.source = RegionSource::file;
        view.location = path;
        if (fd < 0)
        {
            view.error = errno;
            view.state = RegionState::unusable;
            return view;
        }
    }

    inspect(view, fd, access);
    return view;
}

const char* describe(RegionState state) noexcept
{
    switch (state)
    {
    case RegionState::missing:
        return "no region";
    case RegionState::unusable:
        return "unusable";
    case RegionState::tooShort:
        return "too short";
    case RegionState::neverInitialised:
        return "never initialised";
    case RegionState::current:
        return "current";
    case RegionState::foreign:
        return "foreign layout";
    }
    return "unknown";
}
} // namespace VoiceBus
