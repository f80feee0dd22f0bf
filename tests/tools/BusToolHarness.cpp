#include "BusToolHarness.h"

#include "support/TestEnvironment.h"
#include "voicebus/Endpoint.h"
#include "voicebus/RegionView.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace BusToolHarness
{
namespace
{
// Generous: only there so that a tool that never ends fails the test instead of hanging the run.
constexpr auto deadline = std::chrono::seconds(120);

void pause()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool readExactly(int fd, void* data, std::size_t size)
{
    auto* bytes = static_cast<char*>(data);
    while (size > 0)
    {
        const auto got = ::read(fd, bytes, size);
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

void writeExactly(int fd, const void* data, std::size_t size)
{
    [[maybe_unused]] const auto written = ::write(fd, data, size);
}

struct Command
{
    char kind; // 'b': burst, 's': steady
    uint32_t count;
    float value;
    double rate;
};

[[noreturn]] void runSender(int bus, uint64_t senderId, int commands, int replies)
{
    VoiceBus::Endpoint endpoint;
    endpoint.senderId = senderId;
    endpoint.open(bus);
    const char opened = endpoint.region != nullptr ? 1 : 0;
    writeExactly(replies, &opened, 1);

    std::vector<float> block(512);
    Command command{};
    while (readExactly(commands, &command, sizeof command))
    {
        if (command.kind == 'b')
        {
            for (uint32_t done = 0; done < command.count;)
            {
                const auto n = std::min<uint32_t>(512, command.count - done);
                for (uint32_t i = 0; i < n; ++i)
                    block[i] = sentSample(done + i);
                endpoint.publish(block.data(), static_cast<int>(n), command.rate);
                done += n;
            }
            writeExactly(replies, "b", 1);
        }
        else
        {
            std::fill(block.begin(), block.end(), command.value);
            for (;;)
            {
                endpoint.publish(block.data(), 512, command.rate);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }
    ::_exit(0);
}
} // namespace

bool waitUntil(const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        pause();
    }
    return true;
}

//==============================================================================
ToolProcess::ToolProcess(const std::vector<std::string>& args)
{
    static int runs = 0;
    const auto folder = TestEnvironment::makeFolder("tool-run-" + std::to_string(++runs));
    outPath = folder + "/out.txt";
    errPath = folder + "/err.txt";

    std::vector<std::string> words{TONQUILL_BUS_TOOL, "--prefix", VoiceBus::namePrefix()};
    words.insert(words.end(), args.begin(), args.end());

    pid = ::fork();
    if (pid == 0)
    {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
}

ToolProcess::~ToolProcess()
{
    if (pid > 0)
    {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

void ToolProcess::signal(int number)
{
    ::kill(pid, number);
}

std::string ToolProcess::outputSoFar() const
{
    return slurp(outPath);
}

ToolResult ToolProcess::finish()
{
    ToolResult result;
    int status = 0;
    const bool ended = waitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; });
    if (!ended)
    {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    pid = -1;
    if (ended && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
}

ToolResult runTool(const std::vector<std::string>& args)
{
    return ToolProcess(args).finish();
}

//==============================================================================
float sentSample(uint32_t k)
{
    uint32_t x = k * 2654435761u + 12345u;
    x ^= x >> 15;
    return static_cast<float>(static_cast<int32_t>(x)) / 2147483648.0f;
}

Sender::Sender(int bus, uint64_t senderId)
{
    int commands[2];
    int replies[2];
    if (::pipe(commands) != 0 || ::pipe(replies) != 0)
        return;
    pid = ::fork();
    if (pid == 0)
    {
        ::close(commands[1]);
        ::close(replies[0]);
        runSender(bus, senderId, commands[0], replies[1]);
    }
    ::close(commands[0]);
    ::close(replies[1]);
    commandPipe = commands[1];
    replyPipe = replies[0];
    char reply = 0;
    opened = readExactly(replyPipe, &reply, 1) && reply == 1;
}

Sender::~Sender()
{
    if (pid > 0)
    {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    ::close(commandPipe);
    ::close(replyPipe);
}

void Sender::burst(uint32_t count, double rate)
{
    const Command command{'b', count, 0.0f, rate};
    writeExactly(commandPipe, &command, sizeof command);
    char reply = 0;
    readExactly(replyPipe, &reply, 1);
}

void Sender::steady(float value, double rate)
{
    const Command command{'s', 0, value, rate};
    writeExactly(commandPipe, &command, sizeof command);
}

//==============================================================================
std::string fallbackFile(int bus)
{
    return VoiceBus::fallbackPath(bus, std::getenv("TMPDIR"));
}

void clearBuses()
{
    TestEnvironment::removeRegions();
    for (int bus = 0; bus < VoiceBus::numBuses; ++bus)
        ::unlink(fallbackFile(bus).c_str());
}

bool objectExists(int bus)
{
    const int fd = ::shm_open(VoiceBus::objectName(bus).c_str(), O_RDONLY, 0);
    if (fd >= 0)
        ::close(fd);
    return fd >= 0;
}

void setObjectMagic(int bus, uint32_t magic)
{
    const int fd = ::shm_open(VoiceBus::objectName(bus).c_str(), O_RDWR, 0);
    void* mapping = ::mmap(nullptr, VoiceBus::regionSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (mapping == MAP_FAILED)
        return;
    VoiceBus::shared(static_cast<VoiceBus::Region*>(mapping)->magic).store(magic);
    ::munmap(mapping, VoiceBus::regionSize);
}

Bytes currentRegion(double sampleRate, uint32_t writePos, uint64_t blockCounter, uint64_t senderId)
{
    Bytes bytes(VoiceBus::regionSize);
    const auto put = [&](std::size_t offset, const auto& value)
    { std::memcpy(&bytes[offset], &value, sizeof value); };
    put(offsetof(VoiceBus::Region, magic), VoiceBus::layoutMagic);
    put(offsetof(VoiceBus::Region, writePos), writePos);
    put(offsetof(VoiceBus::Region, sampleRate), sampleRate);
    put(offsetof(VoiceBus::Region, blockCounter), blockCounter);
    put(offsetof(VoiceBus::Region, senderId), senderId);
    return bytes;
}

Bytes taggedBytes(uint32_t magic, std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    std::memcpy(bytes.data(), &magic, std::min(size, sizeof magic));
    return bytes;
}

std::optional<uint64_t> heartbeat(int bus)
{
    auto view = VoiceBus::RegionView::open(bus, VoiceBus::RegionView::Access::readOnly);
    if (view.region == nullptr)
        return std::nullopt;
    return VoiceBus::shared(view.region->receiverHeartbeat).load(std::memory_order_relaxed);
}

bool heartbeatMoves(int bus, int times)
{
    auto last = heartbeat(bus);
    for (int i = 0; i < times; ++i)
    {
        if (!waitUntil([&] { return heartbeat(bus) != last; }))
            return false;
        last = heartbeat(bus);
    }
    return true;
}

//==============================================================================
std::optional<Wav> readWav(const std::string& path, std::string& problem)
{
    const auto bytes = readFile(path);
    if (!bytes)
    {
        problem = "cannot read " + path;
        return std::nullopt;
    }
    const auto& b = *bytes;
    const auto u32 = [&](std::size_t at)
    {
        uint32_t v = 0;
        std::memcpy(&v, &b[at], 4);
        return v;
    };
    const auto u16 = [&](std::size_t at)
    {
        uint16_t v = 0;
        std::memcpy(&v, &b[at], 2);
        return v;
    };

    if (b.size() < 12 || std::memcmp(&b[0], "RIFF", 4) != 0 || std::memcmp(&b[8], "WAVE", 4) != 0)
    {
        problem = "no RIFF/WAVE header";
        return std::nullopt;
    }
    if (u32(4) != b.size() - 8)
    {
        problem = "RIFF size " + std::to_string(u32(4)) + " but file has " + std::to_string(b.size());
        return std::nullopt;
    }

    Wav wav;
    bool haveFormat = false;
    for (std::size_t at = 12; at + 8 <= b.size();)
    {
        const auto size = u32(at + 4);
        const auto body = at + 8;
        if (body + size > b.size())
        {
            problem = "chunk runs past the end of the file";
            return std::nullopt;
        }
        if (std::memcmp(&b[at], "fmt ", 4) == 0 && size >= 16)
        {
            wav.format = u16(body);
            if (wav.format == 0xFFFE && size >= 40)
                wav.format = u16(body + 24); // the sub-format's leading tag
            wav.channels = u16(body + 2);
            wav.sampleRate = u32(body + 4);
            wav.bitsPerSample = u16(body + 14);
            haveFormat = true;
        }
        else if (std::memcmp(&b[at], "data", 4) == 0)
        {
            if (!haveFormat || size % 4 != 0)
            {
                problem = "data chunk before fmt, or not whole 32-bit samples";
                return std::nullopt;
            }
            wav.samples.resize(size / 4);
            if (size > 0)
                std::memcpy(wav.samples.data(), &b[body], size);
            return wav;
        }
        at = body + size + (size & 1);
    }
    problem = "no data chunk";
    return std::nullopt;
}
} // namespace BusToolHarness
