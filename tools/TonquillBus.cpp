// tonquill-bus: shows the voice buses of this machine, and listens on one as a receiver would, so that
// a user can see whether a sender's voice gets anywhere.

#include "tools/BusExitCodes.h"
#include "tools/BusReceiver.h"
#include "voicebus/RegionView.h"

#include <JuceHeader.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
using namespace BusTool;
using VoiceBus::RegionState;
using VoiceBus::RegionView;
using Clock = std::chrono::steady_clock;

const char* const helpText = R"(Usage: tonquill-bus COMMAND [ARGUMENTS]

Looks at the Tonquill voice buses A to H on this machine.

Commands:
  status            One line per bus: where its region lives (shared memory or file),
                    its layout, sample rate, blocks published, write position, the last
                    sender, and whether a receiver's heartbeat moves and blocks arrive
                    (both watched for 200 ms). Only reads; never creates a region.
  listen BUS        Attaches to BUS as a receiver and shows the level of the voice live,
                    with the sample rate and the samples lost by falling behind.
  record BUS FILE.wav [--seconds N]
                    Attaches to BUS as a receiver and writes the voice to FILE.wav, mono
                    32-bit float at the bus's sample rate. Stops after N seconds of audio,
                    or on Ctrl-C; the file is complete either way.
  --help            Shows this text.

BUS is a letter from A to H. listen and record end cleanly on Ctrl-C.

For testing:
  --prefix P        Uses region names that start with P instead of TonquillVoiceBus_.

Exit codes:
  0  success, also when listen or record is ended with Ctrl-C
  1  unexpected failure
  2  bad usage: unknown command or option, missing or extra argument, bad value
  3  unknown bus letter
  4  the bus has no region: no sender has opened it
  5  the bus's region has a foreign layout (another version): not attached
  6  the output file cannot be written
  7  the bus's region cannot be used: too short, never initialised, not a plain
     file, or not accessible
)";

constexpr long pollMs = 10;
constexpr long statusWatchMs = 200;
constexpr int meterWidth = 30;
constexpr double meterFloorDb = -60.0;

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

void installStopHandlers()
{
    struct sigaction action
    {
    };
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a pending sleep ends at once
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    // A closed pipe on stdout must not kill us before the recording is finished.
    ::signal(SIGPIPE, SIG_IGN);
}

void sleepMs(long ms)
{
    timespec duration{ms / 1000, (ms % 1000) * 1000000L};
    ::nanosleep(&duration, nullptr);
}

int fail(int code, const std::string& message)
{
    std::fprintf(stderr, "tonquill-bus: %s\n", message.c_str());
    return code;
}

int usageError(const std::string& message)
{
    return fail(badUsage, message + " (see tonquill-bus --help)");
}

std::string format(const char* pattern, auto... values)
{
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

std::string rateText(double rate)
{
    return format("%.10g Hz", rate);
}

std::string busName(int bus)
{
    return std::string("bus ") + VoiceBus::busLetter(bus);
}

//==============================================================================
struct Arguments
{
    bool help = false;
    std::string prefix = VoiceBus::productNamePrefix;
    std::optional<std::string> seconds;
    std::vector<std::string> words;
};

std::optional<std::string> parseArguments(int argc, char** argv, Arguments& out)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
            out.help = true;
        else if (arg == "--prefix" || arg == "--seconds")
        {
            if (i + 1 >= argc)
                return arg + " needs a value";
            if (arg == "--prefix")
                out.prefix = argv[++i];
            else
                out.seconds = argv[++i];
        }
        else if (arg.size() > 1 && arg[0] == '-')
            return "unknown option '" + arg + "'";
        else
            out.words.push_back(arg);
    }
    return std::nullopt;
}

std::optional<int> parseBus(const std::string& text)
{
    if (text.size() != 1)
        return std::nullopt;
    const int letter = std::toupper(static_cast<unsigned char>(text[0]));
    if (letter < 'A' || letter >= 'A' + VoiceBus::numBuses)
        return std::nullopt;
    return letter - 'A';
}

std::optional<double> parseSeconds(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0 || !std::isfinite(seconds) ||
        seconds <= 0.0 || seconds > 1.0e7)
        return std::nullopt;
    return seconds;
}

//==============================================================================
std::string sourceText(const RegionView& view)
{
    switch (view.source)
    {
    case VoiceBus::RegionSource::sharedMemory:
        return "shm ";
    case VoiceBus::RegionSource::file:
        return "file";
    case VoiceBus::RegionSource::none:
        break;
    }
    return "-   ";
}

std::string problemText(const RegionView& view)
{
    switch (view.state)
    {
    case RegionState::unusable:
        return std::string("unusable (") +
               (view.error != 0 ? std::strerror(view.error) : "not a plain file") + ")";
    case RegionState::tooShort:
        return format("too short (%" PRIu64 " of %zu bytes)", view.size, VoiceBus::regionSize);
    case RegionState::foreign:
        return format("foreign layout (tag 0x%08" PRIx32 ")", view.magic);
    case RegionState::missing:
    case RegionState::neverInitialised:
    case RegionState::current:
        break;
    }
    return VoiceBus::describe(view.state);
}

struct Activity
{
    uint64_t heartbeat = 0;
    uint64_t blocks = 0;
};

Activity activityOf(VoiceBus::Region& r)
{
    return {VoiceBus::shared(r.receiverHeartbeat).load(std::memory_order_relaxed),
            VoiceBus::shared(r.blockCounter).load(std::memory_order_relaxed)};
}

int runStatus()
{
    std::array<RegionView, VoiceBus::numBuses> views;
    std::array<Activity, VoiceBus::numBuses> before{};
    for (std::size_t bus = 0; bus < views.size(); ++bus)
    {
        views[bus] = RegionView::open(static_cast<int>(bus), RegionView::Access::readOnly);
        if (views[bus].region != nullptr)
            before[bus] = activityOf(*views[bus].region);
    }

    sleepMs(statusWatchMs);

    for (std::size_t bus = 0; bus < views.size(); ++bus)
    {
        const auto& view = views[bus];
        std::string line =
            std::string(1, VoiceBus::busLetter(static_cast<int>(bus))) + "  " + sourceText(view) + "  ";
        if (view.region == nullptr)
            line += problemText(view);
        else
        {
            auto& r = *view.region;
            const auto after = activityOf(r);
            const uint64_t sender = VoiceBus::shared(r.senderId).load(std::memory_order_relaxed);
            line += "current  " + rateText(VoiceBus::shared(r.sampleRate).load(std::memory_order_relaxed));
            line += format("  blocks %" PRIu64 "  writePos %" PRIu32, after.blocks,
                           VoiceBus::shared(r.writePos).load(std::memory_order_acquire));
            line += sender == 0 ? std::string("  sender none") : format("  sender %016" PRIx64, sender);
            line += after.heartbeat != before[bus].heartbeat ? "  receiver attached" : "  no receiver";
            line += after.blocks != before[bus].blocks ? "  blocks arriving" : "  no blocks arriving";
        }
        std::printf("%s\n", line.c_str());
    }
    return success;
}

//==============================================================================
/** Maps the bus for a receiver, or explains in one line why it will not. */
int attach(int bus, RegionView& view)
{
    view = RegionView::open(bus, RegionView::Access::readWrite);
    const auto name = busName(bus);
    switch (view.state)
    {
    case RegionState::current:
        return success;
    case RegionState::missing:
        return fail(noRegion, name + " has no region: no sender has opened it");
    case RegionState::foreign:
        return fail(foreignLayout,
                    name + format(" is laid out by another version (tag 0x%08" PRIx32
                                  ", this tool reads 0x%08" PRIx32 "): not attaching; update both plug-ins",
                                  view.magic, VoiceBus::layoutMagic));
    case RegionState::neverInitialised:
        return fail(regionUnusable,
                    name + ": its region " + view.location + " was never initialised: not attaching");
    case RegionState::tooShort:
        return fail(regionUnusable,
                    name + ": its region " + view.location + " is " + problemText(view) + ": not attaching");
    case RegionState::unusable:
        break;
    }
    return fail(regionUnusable, name + ": cannot use its region " + view.location + ": " +
                                    (view.error != 0 ? std::strerror(view.error) : "not a plain file"));
}

/** Peak level of what arrived since the last reset. */
struct Meter
{
    float peak = 0.0f;
    uint64_t samples = 0;

    void add(const std::vector<float>& block)
    {
        for (const float sample : block)
            peak = std::max(peak, std::abs(sample)); // a NaN never wins the comparison
        samples += block.size();
    }

    std::string text() const
    {
        if (samples == 0)
            return "no blocks arriving";
        if (!(peak > 0.0f))
            return format("  -inf dBFS [%s]", std::string(meterWidth, '-').c_str());
        const double db = 20.0 * std::log10(static_cast<double>(peak));
        const double fraction = std::clamp((db - meterFloorDb) / -meterFloorDb, 0.0, 1.0);
        const auto filled = static_cast<std::size_t>(std::lround(fraction * meterWidth));
        const auto bar = std::string(filled, '#') + std::string(meterWidth - filled, '-');
        return format("%6.1f dBFS [%s]", db, bar.c_str());
    }
};

/** One line that is rewritten in place on a terminal; elsewhere (a pipe, a file) a line per second. */
class LiveLine
{
public:
    Clock::duration period() const
    {
        return interactive ? std::chrono::milliseconds(100) : std::chrono::milliseconds(1000);
    }

    void show(const std::string& text)
    {
        if (interactive)
            std::printf("\r%s\x1b[K", text.c_str());
        else
            std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }

    void finish(const std::string& text)
    {
        show(text);
        if (interactive)
            std::printf("\n");
        std::fflush(stdout);
    }

private:
    const bool interactive = ::isatty(STDOUT_FILENO) != 0;
};

//==============================================================================
/** Writes what the receiver reads to a mono 32-bit float WAV file, exactly as sent. */
class Recorder
{
public:
    enum class Result
    {
        going,
        done,
        failed
    };

    Recorder(const std::string& path, std::optional<double> secondsToRecord)
        : file(juce::File::getCurrentWorkingDirectory().getChildFile(juce::String::fromUTF8(path.c_str()))),
          seconds(secondsToRecord)
    {
    }

    /** Creates or empties the file; returns why it cannot be written. */
    std::optional<std::string> open()
    {
        if (file.isDirectory())
            return std::string("is a directory");
        stream = std::make_unique<juce::FileOutputStream>(file);
        if (stream->failedToOpen())
            return stream->getStatus().getErrorMessage().toStdString();
        // An existing file is replaced, not appended to.
        if (!stream->setPosition(0) || stream->truncate().failed())
            return std::string("cannot replace its contents");
        return std::nullopt;
    }

    Result write(const std::vector<float>& samples, double busRate)
    {
        if (samples.empty())
            return Result::going;
        if (writer == nullptr && !startWriter(busRate))
            return Result::failed;

        auto count = static_cast<int64_t>(samples.size());
        if (limit)
            count = std::min(count, *limit - written);
        const float* channels[] = {samples.data(), nullptr};
        if (!writer->writeFromFloatArrays(channels, 1, static_cast<int>(count)))
            return Result::failed;
        written += count;

        // Keep the header up to date now and then, so that even a killed recording stays readable.
        if (Clock::now() >= nextHeaderUpdate)
        {
            writer->flush();
            nextHeaderUpdate = Clock::now() + std::chrono::seconds(1);
        }
        return limit && written >= *limit ? Result::done : Result::going;
    }

    /** Completes the file (an empty recording is still a valid file); false when writing failed. */
    bool finish(double busRate)
    {
        if (writer == nullptr && !startWriter(busRate))
            return false;
        bool ok = writer->flush();
        outputStream->flush();
        ok = ok && outputStream->getStatus().wasOk();
        writer.reset(); // rewrites the header once more and closes the file
        return ok;
    }

    int64_t samplesWritten() const { return written; }
    double rate() const { return fileRate; }
    std::string path() const { return file.getFullPathName().toStdString(); }

private:
    bool startWriter(double busRate)
    {
        // The WAV header holds the rate as a 32-bit integer; a sender that never set one still gets a file.
        fileRate = std::isfinite(busRate) && busRate >= 1.0 && busRate <= 4.0e9 ? busRate : 48000.0;
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> created(
            wav.createWriterFor(stream.get(), fileRate, 1, 32, {}, 0));
        if (created == nullptr)
            return false;
        outputStream = stream.release(); // now the writer's
        writer = std::move(created);
        if (seconds)
            limit = std::max<int64_t>(1, std::llround(*seconds * fileRate));
        return true;
    }

    juce::File file;
    std::optional<double> seconds;
    std::unique_ptr<juce::FileOutputStream> stream;
    juce::FileOutputStream* outputStream = nullptr;
    std::unique_ptr<juce::AudioFormatWriter> writer;
    std::optional<int64_t> limit;
    int64_t written = 0;
    double fileRate = 0.0;
    Clock::time_point nextHeaderUpdate = Clock::now() + std::chrono::seconds(1);
};

//==============================================================================
/** Listens (and records, when given a recorder) until Ctrl-C, the recording's end or a failure. */
int receive(int bus, RegionView& view, Recorder* recorder)
{
    installStopHandlers();
    Receiver receiver(*view.region);
    LiveLine line;
    Meter meter;     // since the line was last shown
    Meter lastMeter; // what it showed
    std::vector<float> samples;
    samples.reserve(VoiceBus::ringLength);

    const auto lineText = [&]
    {
        auto text = std::string(1, VoiceBus::busLetter(bus)) + "  " + rateText(receiver.sampleRate()) + "  " +
                    (meter.samples > 0 ? meter : lastMeter).text() +
                    format("  lost %" PRIu64, receiver.lostTotal());
        if (recorder != nullptr && recorder->rate() > 0.0)
            text += format("  recorded %.2f s",
                           static_cast<double>(recorder->samplesWritten()) / recorder->rate());
        else if (recorder != nullptr)
            text += "  recorded 0.00 s";
        return text;
    };

    int code = success;
    auto nextLine = Clock::now() + line.period();
    // Each round changes the heartbeat first, then reads and hands on everything published so far, all
    // before the next round begins. So once the heartbeat has changed twice after a sample was
    // published, that sample is in the file: the tests rely on this instead of on timing.
    for (bool going = true; going && stopRequested == 0;)
    {
        samples.clear();
        if (receiver.poll(samples).layoutLost)
        {
            code = foreignLayout;
            break;
        }
        meter.add(samples);

        if (recorder != nullptr)
        {
            const auto result = recorder->write(samples, receiver.sampleRate());
            if (result == Recorder::Result::failed)
                code = outputNotWritable;
            going = result == Recorder::Result::going;
        }

        if (going && Clock::now() >= nextLine)
        {
            line.show(lineText());
            lastMeter = std::exchange(meter, {});
            nextLine = Clock::now() + line.period();
        }
        if (going)
            sleepMs(pollMs);
    }
    line.finish(lineText());

    if (recorder != nullptr)
    {
        if (!recorder->finish(receiver.sampleRate()) && code == success)
            code = outputNotWritable;
        if (code == outputNotWritable)
            fail(code, "writing " + recorder->path() + " failed; it holds what was written before");
        const double seconds =
            recorder->rate() > 0.0 ? static_cast<double>(recorder->samplesWritten()) / recorder->rate() : 0.0;
        std::printf("recorded %" PRId64 " samples (%.2f s at %s) to %s\n", recorder->samplesWritten(),
                    seconds, rateText(recorder->rate()).c_str(), recorder->path().c_str());
        if (receiver.lostTotal() > 0)
            std::printf("%" PRIu64 " samples were lost: the recording fell more than %d samples behind\n",
                        receiver.lostTotal(), VoiceBus::ringLength);
    }
    if (code == foreignLayout)
        fail(code, busName(bus) + " was laid out afresh by another version: detached");
    return code;
}

int runListen(int bus)
{
    RegionView view;
    if (const int code = attach(bus, view); code != success)
        return code;
    return receive(bus, view, nullptr);
}

int runRecord(int bus, const std::string& path, std::optional<double> seconds)
{
    RegionView view;
    if (const int code = attach(bus, view); code != success)
        return code;
    Recorder recorder(path, seconds);
    if (const auto problem = recorder.open())
        return fail(outputNotWritable, "cannot write " + recorder.path() + ": " + *problem);
    return receive(bus, view, &recorder);
}

int run(int argc, char** argv)
{
    Arguments args;
    if (const auto problem = parseArguments(argc, argv, args))
        return usageError(*problem);
    if (args.help)
    {
        std::fputs(helpText, stdout);
        return success;
    }
    // The prefix becomes part of a file name under $TMPDIR: it must not lead anywhere else.
    if (args.prefix.empty() || args.prefix.find('/') != std::string::npos || args.prefix.size() > 200)
        return usageError("--prefix needs a name without '/'");
    VoiceBus::setNamePrefix(args.prefix);

    if (args.words.empty())
        return usageError("no command given");
    const auto& command = args.words.front();
    const std::vector<std::string> rest(args.words.begin() + 1, args.words.end());
    if (args.seconds && command != "record")
        return usageError("--seconds belongs to record");

    if (command == "status")
    {
        if (!rest.empty())
            return usageError("status takes no arguments");
        return runStatus();
    }
    if (command == "listen" || command == "record")
    {
        const std::size_t expected = command == "listen" ? 1 : 2;
        if (rest.size() != expected)
            return usageError(command == "listen" ? "listen needs one bus letter"
                                                  : "record needs a bus letter and a file name");
        std::optional<double> seconds;
        if (args.seconds && !(seconds = parseSeconds(*args.seconds)))
            return usageError("--seconds needs a number of seconds above 0, not '" + *args.seconds + "'");
        const auto bus = parseBus(rest[0]);
        if (!bus)
            return fail(unknownBus, "unknown bus '" + rest[0] + "': buses are A to H");
        return command == "listen" ? runListen(*bus) : runRecord(*bus, rest[1], seconds);
    }
    return usageError("unknown command '" + command + "'");
}
} // namespace

int main(int argc, char** argv)
{
    try
    {
        return run(argc, argv);
    }
    catch (const std::exception& e)
    {
        return fail(failure, e.what());
    }
}
