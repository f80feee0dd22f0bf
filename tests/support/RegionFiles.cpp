#include "support/RegionFiles.h"

#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RegionFiles
{
static std::optional<Bytes> readAll(int fd)
{
    if (fd < 0)
        return std::nullopt;
    struct stat info
    {
    };
    ::fstat(fd, &info);
    Bytes bytes(static_cast<std::size_t>(info.st_size));
    const auto got = ::pread(fd, bytes.data(), bytes.size(), 0);
    ::close(fd);
    if (got != static_cast<ssize_t>(bytes.size()))
        return std::nullopt;
    return bytes;
}

static void writeAll(int fd, const Bytes& bytes)
{
    ::ftruncate(fd, 0);
    [[maybe_unused]] const auto written = ::pwrite(fd, bytes.data(), bytes.size(), 0);
    ::close(fd);
}

std::optional<Bytes> readObject(int bus)
{
    return readAll(::shm_open(VoiceBus::objectName(bus).c_str(), O_RDONLY, 0));
}

void writeObject(int bus, const Bytes& bytes)
{
    writeAll(::shm_open(VoiceBus::objectName(bus).c_str(), O_RDWR | O_CREAT, 0666), bytes);
}

std::optional<Bytes> readFile(const std::string& path)
{
    return readAll(::open(path.c_str(), O_RDONLY));
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    writeAll(::open(path.c_str(), O_RDWR | O_CREAT, 0666), bytes);
}

Bytes patternedRegion(uint32_t magic)
{
    Bytes bytes(VoiceBus::regionSize);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    std::memcpy(bytes.data(), &magic, sizeof magic);
    return bytes;
}

uint32_t magicOf(const Bytes& bytes)
{
    uint32_t magic = 0;
    std::memcpy(&magic, bytes.data(), sizeof magic);
    return magic;
}
} // namespace RegionFiles
