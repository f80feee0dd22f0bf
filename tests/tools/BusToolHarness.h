#pragma once

// Runs the built tonquill-bus as a separate program and plays a sender in a child process, so the
// tool is tested the way a user meets it: against a real bus that another process publishes on.

#include "support/RegionFiles.h"
#include "voicebus/Region.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace BusToolHarness
{
using Bytes = RegionFiles::Bytes;

/** Waits, polling, until `condition` holds. The deadline only keeps a broken build from hanging. */
bool waitUntil(const std::function<bool()>& condition);

struct ToolResult
{
    int exitCode = -1; // -1: killed by a signal or never ended
    std::string out;
    std::string err;
};

/** One run of the tool, with the run's region prefix and TMPDIR, its output going to files. */
class ToolProcess
{
public:
    explicit ToolProcess(const std::vector<std::string>& args);
    ~ToolProcess();
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    void signal(int number);
    std::string outputSoFar() const;
    ToolResult finish();

private:
    pid_t pid = -1;
    std::string outPath, errPath;
};

ToolResult runTool(const std::vector<std::string>& args);

/** The sample the test sender publishes at position k of a burst: distinct, signed, not round. */
float sentSample(uint32_t k);

/** A sender in a child process: an Endpoint on the bus, publishing only when told. */
class Sender
{
public:
    Sender(int bus, uint64_t senderId);
    ~Sender();
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    /** Publishes sentSample(0 ... count - 1) in blocks of 512 and returns once all are published. */
    void burst(uint32_t count, double rate);

    /** From now on publishes blocks of `value` every few milliseconds, until destroyed. */
    void steady(float value, double rate);

    bool opened = false;

private:
    pid_t pid = -1;
    int commandPipe = -1;
    int replyPipe = -1;
};

/** Removes every region and fallback file of the run's buses. */
void clearBuses();

std::string fallbackFile(int bus);
bool objectExists(int bus);
using RegionFiles::readFile;
using RegionFiles::readObject;
using RegionFiles::writeFile;
using RegionFiles::writeObject;

/** Changes the tag of a region in place, under the feet of whoever has it mapped. */
void setObjectMagic(int bus, uint32_t magic);

/** Full-size region bytes of this layout with the given header fields and an empty ring. */
Bytes currentRegion(double sampleRate, uint32_t writePos, uint64_t blockCounter, uint64_t senderId);

/** Bytes with the tag in front and a pattern behind it, `size` long. */
Bytes taggedBytes(uint32_t magic, std::size_t size = VoiceBus::regionSize);

/** receiverHeartbeat of the bus's region as the tool finds it, or nothing while it is not current. */
std::optional<uint64_t> heartbeat(int bus);

/** Waits for the heartbeat to change `times` times: the receiver has run that many full rounds. */
bool heartbeatMoves(int bus, int times = 1);

struct Wav
{
    int format = 0; // 3: IEEE float
    int channels = 0;
    uint32_t sampleRate = 0;
    int bitsPerSample = 0;
    std::vector<float> samples;
};

/** Parses a whole WAV file strictly: the RIFF size and the data size must match the file. */
std::optional<Wav> readWav(const std::string& path, std::string& problem);
} // namespace BusToolHarness
