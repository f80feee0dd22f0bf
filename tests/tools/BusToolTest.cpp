// tonquill-bus against real buses: the built program, a sender in another process, and the regions
// and files they leave behind.

#include "BusToolHarness.h"
#include "support/TestEnvironment.h"
#include "tools/BusExitCodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace BusToolHarness;

namespace
{
constexpr int busA = 0, busB = 1, busC = 2, busD = 3, busE = 4, busF = 5, busG = 6, busH = 7;

std::map<char, std::string> linesByBus(const std::string& out)
{
    std::map<char, std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines[line[0]] = line;
    return lines;
}

int lineCount(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

void expectSentSamples(const Wav& wav, std::size_t count)
{
    ASSERT_EQ(count, wav.samples.size());
    for (uint32_t k = 0; k < count; ++k)
    {
        const float sent = sentSample(k);
        if (std::memcmp(&wav.samples[k], &sent, sizeof sent) != 0)
        {
            ADD_FAILURE() << "sample " << k << " is " << wav.samples[k] << ", sent " << sent;
            return;
        }
    }
}

std::optional<Wav> expectValidWav(const std::string& path, uint32_t rate)
{
    std::string problem;
    auto wav = readWav(path, problem);
    EXPECT_TRUE(wav) << problem;
    if (wav)
    {
        EXPECT_EQ(3, wav->format) << "IEEE float";
        EXPECT_EQ(1, wav->channels);
        EXPECT_EQ(32, wav->bitsPerSample);
        EXPECT_EQ(rate, wav->sampleRate);
    }
    return wav;
}

class TonquillBus : public testing::Test
{
protected:
    void SetUp() override { clearBuses(); }
    void TearDown() override { clearBuses(); }
};
} // namespace

TEST_F(TonquillBus, HelpListsTheCommandsAndEveryExitCode)
{
    const auto result = runTool({"--help"});
    EXPECT_EQ(BusTool::success, result.exitCode);
    EXPECT_EQ("", result.err);
    for (const char* command : {"status", "listen BUS", "record BUS FILE.wav [--seconds N]"})
        EXPECT_NE(std::string::npos, result.out.find(command)) << command;
    for (int code = 0; code <= 7; ++code)
        EXPECT_NE(std::string::npos, result.out.find("\n  " + std::to_string(code) + "  ")) << code;
}

TEST_F(TonquillBus, StatusSeesTheSenderTheReceiverAndEveryKindOfRegionWithoutChangingAny)
{
    Sender sender(busB, 0x1234abcd5678ef01ull);
    ASSERT_TRUE(sender.opened);
    sender.steady(0.25f, 44100.0);
    ToolProcess listener({"listen", "B"});
    ASSERT_TRUE(heartbeatMoves(busB));

    const auto foreign = taggedBytes(0x11111111);
    const auto tooShort = taggedBytes(VoiceBus::layoutMagic, 100);
    const auto neverInitialised = VoiceBus::regionSize;
    writeObject(busC, foreign);
    writeObject(busD, tooShort);
    writeObject(busE, Bytes(neverInitialised));
    const auto idleFile = currentRegion(22050.0, 5, 3, 0);
    writeFile(fallbackFile(busF), idleFile);
    // A link planted under a fallback name is never followed, not even for reading.
    const auto target = TestEnvironment::makeFolder("target") + "/region";
    writeFile(target, currentRegion(96000.0, 1, 1, 1));
    std::filesystem::create_symlink(target, fallbackFile(busG));
    // Nor is a FIFO opened in a way that could block.
    ASSERT_EQ(0, ::mkfifo(fallbackFile(busH).c_str(), 0666));

    // Status watches for 200 ms; on a busy machine one look may miss a round of the sender or the
    // listener, so look again until both show up.
    ToolResult result;
    EXPECT_TRUE(waitUntil(
        [&]
        {
            result = runTool({"status"});
            return result.exitCode != BusTool::success ||
                   linesByBus(result.out)['B'].find("receiver attached  blocks arriving") !=
                       std::string::npos;
        }))
        << result.out;
    ASSERT_EQ(BusTool::success, result.exitCode) << result.err;
    EXPECT_EQ("", result.err);
    EXPECT_EQ(8, lineCount(result.out)) << result.out;
    auto lines = linesByBus(result.out);

    EXPECT_EQ("A  -     no region", lines['A']);
    const auto& b = lines['B'];
    EXPECT_EQ(0u, b.find("B  shm   current  44100 Hz  blocks ")) << b;
    EXPECT_NE(std::string::npos, b.find("  sender 1234abcd5678ef01  receiver attached  blocks arriving"))
        << b;
    EXPECT_EQ("C  shm   foreign layout (tag 0x11111111)", lines['C']);
    EXPECT_EQ("D  shm   too short (100 of 131192 bytes)", lines['D']);
    EXPECT_EQ("E  shm   never initialised", lines['E']);
    EXPECT_EQ(
        "F  file  current  22050 Hz  blocks 3  writePos 5  sender none  no receiver  no blocks arriving",
        lines['F']);
    EXPECT_EQ(0u, lines['G'].find("G  file  unusable (")) << lines['G'];
    EXPECT_EQ("H  file  unusable (not a plain file)", lines['H']);

    EXPECT_FALSE(objectExists(busA));
    EXPECT_FALSE(std::filesystem::exists(fallbackFile(busA)));
    EXPECT_EQ(foreign, readObject(busC));
    EXPECT_EQ(tooShort, readObject(busD));
    EXPECT_EQ(Bytes(neverInitialised), readObject(busE));
    EXPECT_EQ(idleFile, readFile(fallbackFile(busF)));
    EXPECT_EQ(currentRegion(96000.0, 1, 1, 1), readFile(target));

    listener.signal(SIGINT);
    EXPECT_EQ(BusTool::success, listener.finish().exitCode);
}

TEST_F(TonquillBus, ListenKeepsTheHeartbeatMovingAndShowsTheLevelUntilCtrlC)
{
    Sender sender(busA, 7);
    ASSERT_TRUE(sender.opened);
    sender.steady(0.5f, 48000.0);

    ToolProcess listener({"listen", "A"});
    EXPECT_TRUE(heartbeatMoves(busA, 3));
    // Half of full scale is -6.0 dBFS.
    EXPECT_TRUE(waitUntil(
        [&] { return listener.outputSoFar().find("A  48000 Hz    -6.0 dBFS [") != std::string::npos; }))
        << listener.outputSoFar();

    listener.signal(SIGINT);
    const auto result = listener.finish();
    EXPECT_EQ(BusTool::success, result.exitCode);
    EXPECT_EQ("", result.err);
    EXPECT_NE(std::string::npos, result.out.find("lost 0")) << result.out;
}

TEST_F(TonquillBus, ListenAttachesToTheFallbackFileWhenThereIsNoSharedMemoryObject)
{
    writeFile(fallbackFile(busH), currentRegion(48000.0, 0, 0, 0));

    ToolProcess listener({"listen", "H"});
    EXPECT_TRUE(heartbeatMoves(busH, 2));
    EXPECT_FALSE(objectExists(busH));

    listener.signal(SIGTERM);
    EXPECT_EQ(BusTool::success, listener.finish().exitCode);
}

TEST_F(TonquillBus, RecordWritesExactlyTheSentSamplesAndStopsAfterTheRequestedSeconds)
{
    // Start just short of the 32-bit wrap, at a ring position that wraps too after 4096 samples.
    writeObject(busC, currentRegion(0.0, 0xFFFFF000u, 0, 0));
    Sender sender(busC, 99);
    ASSERT_TRUE(sender.opened);

    const auto path = TestEnvironment::makeFolder("record") + "/voice.wav";
    writeFile(path, taggedBytes(0x2a2a2a2a, 300000)); // an older, longer file is replaced whole
    ToolProcess recorder({"record", "c", path, "--seconds", "1"});
    ASSERT_TRUE(heartbeatMoves(busC));

    sender.burst(10240, 8000.0);
    const auto result = recorder.finish(); // ends by itself after 8000 samples
    EXPECT_EQ(BusTool::success, result.exitCode) << result.err;
    EXPECT_EQ("", result.err);
    EXPECT_NE(std::string::npos, result.out.find("recorded 8000 samples (1.00 s at 8000 Hz) to " + path))
        << result.out;

    if (const auto wav = expectValidWav(path, 8000))
        expectSentSamples(*wav, 8000);
}

TEST_F(TonquillBus, RecordEndedBySignalLeavesACompleteFileWithEverythingReceived)
{
    for (const int signal : {SIGINT, SIGTERM})
    {
        SCOPED_TRACE(signal);
        clearBuses();
        Sender sender(busD, 5);
        ASSERT_TRUE(sender.opened);
        const auto path = TestEnvironment::makeFolder("signal") + "/voice.wav";
        ToolProcess recorder({"record", "D", path});
        ASSERT_TRUE(heartbeatMoves(busD));

        sender.burst(3000, 22050.0);
        // Two more rounds of the receiver: the second starts only after the first handed on all 3000.
        ASSERT_TRUE(heartbeatMoves(busD, 2));
        recorder.signal(signal);
        const auto result = recorder.finish();
        EXPECT_EQ(BusTool::success, result.exitCode) << result.err;

        if (const auto wav = expectValidWav(path, 22050))
            expectSentSamples(*wav, 3000);
    }
}

TEST_F(TonquillBus, RecordEndedBeforeAnythingArrivedLeavesAValidEmptyFile)
{
    writeObject(busE, currentRegion(32000.0, 0, 0, 0));
    const auto path = TestEnvironment::makeFolder("empty") + "/voice.wav";
    ToolProcess recorder({"record", "E", path});
    ASSERT_TRUE(heartbeatMoves(busE));
    recorder.signal(SIGINT);
    EXPECT_EQ(BusTool::success, recorder.finish().exitCode);

    if (const auto wav = expectValidWav(path, 32000))
    {
        EXPECT_TRUE(wav->samples.empty());
    }
}

TEST_F(TonquillBus, RecordDetachesAndKeepsItsFileWhenAnotherVersionTakesTheBusOver)
{
    Sender sender(busA, 3);
    ASSERT_TRUE(sender.opened);
    const auto path = TestEnvironment::makeFolder("takeover") + "/voice.wav";
    ToolProcess recorder({"record", "A", path});
    ASSERT_TRUE(heartbeatMoves(busA));
    sender.burst(1000, 16000.0);
    ASSERT_TRUE(heartbeatMoves(busA, 2));

    setObjectMagic(busA, 0x22222222);
    const auto result = recorder.finish();
    EXPECT_EQ(BusTool::foreignLayout, result.exitCode);
    EXPECT_EQ(1, lineCount(result.err)) << result.err;
    EXPECT_NE(std::string::npos, result.err.find("another version")) << result.err;

    if (const auto wav = expectValidWav(path, 16000))
        expectSentSamples(*wav, 1000);
}

//==============================================================================
namespace
{
enum class Prepared
{
    nothing,
    current,
    foreign,
    tooShort,
    neverInitialised,
    linkedFile
};

struct ErrorCase
{
    const char* name;
    Prepared busA;
    std::vector<std::string> args; // "OUT" stands for a fresh output path, "DIR" for its folder
    int exitCode;
    const char* saying;
};

void prepare(Prepared what, const std::string& folder)
{
    switch (what)
    {
    case Prepared::nothing:
        break;
    case Prepared::current:
        writeObject(busA, currentRegion(48000.0, 0, 0, 0));
        break;
    case Prepared::foreign:
        writeObject(busA, taggedBytes(0x11111111));
        break;
    case Prepared::tooShort:
        writeObject(busA, taggedBytes(VoiceBus::layoutMagic, 4096));
        break;
    case Prepared::neverInitialised:
        writeObject(busA, Bytes(VoiceBus::regionSize));
        break;
    case Prepared::linkedFile:
        writeFile(folder + "/elsewhere", currentRegion(48000.0, 0, 0, 0));
        std::filesystem::create_symlink(folder + "/elsewhere", fallbackFile(busA));
        break;
    }
}

std::optional<Bytes> regionBytes(Prepared what, const std::string& folder)
{
    return what == Prepared::linkedFile ? readFile(folder + "/elsewhere") : readObject(busA);
}
} // namespace

TEST_F(TonquillBus, BadInputGetsOneLineAndItsExitCodeAndChangesNothing)
{
    const ErrorCase cases[] = {
        {"no command", Prepared::nothing, {}, BusTool::badUsage, "no command given"},
        {"unknown command",
         Prepared::nothing,
         {"frobnicate"},
         BusTool::badUsage,
         "unknown command 'frobnicate'"},
        {"unknown option",
         Prepared::nothing,
         {"status", "--loud"},
         BusTool::badUsage,
         "unknown option '--loud'"},
        {"status with a bus",
         Prepared::nothing,
         {"status", "A"},
         BusTool::badUsage,
         "status takes no arguments"},
        {"listen without a bus",
         Prepared::nothing,
         {"listen"},
         BusTool::badUsage,
         "listen needs one bus letter"},
        {"listen with two buses", Prepared::nothing, {"listen", "A", "B"}, BusTool::badUsage, "listen needs"},
        {"record without a file", Prepared::current, {"record", "A"}, BusTool::badUsage, "record needs"},
        {"zero seconds",
         Prepared::current,
         {"record", "A", "OUT", "--seconds", "0"},
         BusTool::badUsage,
         "--seconds"},
        {"seconds in words",
         Prepared::current,
         {"record", "A", "OUT", "--seconds", "ten"},
         BusTool::badUsage,
         "'ten'"},
        {"seconds without value",
         Prepared::current,
         {"record", "A", "OUT", "--seconds"},
         BusTool::badUsage,
         "--seconds needs a value"},
        {"seconds for listen",
         Prepared::current,
         {"listen", "A", "--seconds", "1"},
         BusTool::badUsage,
         "record"},
        {"prefix leaving the folder",
         Prepared::nothing,
         {"--prefix", "../x", "status"},
         BusTool::badUsage,
         "--prefix"},
        {"bus past H", Prepared::nothing, {"listen", "I"}, BusTool::unknownBus, "unknown bus 'I'"},
        {"bus as a number",
         Prepared::current,
         {"record", "1", "OUT"},
         BusTool::unknownBus,
         "unknown bus '1'"},
        {"two letters", Prepared::nothing, {"listen", "AB"}, BusTool::unknownBus, "buses are A to H"},
        {"listen without a region",
         Prepared::nothing,
         {"listen", "A"},
         BusTool::noRegion,
         "bus A has no region"},
        {"record without a region",
         Prepared::nothing,
         {"record", "A", "OUT"},
         BusTool::noRegion,
         "no region"},
        {"listen on a foreign layout",
         Prepared::foreign,
         {"listen", "A"},
         BusTool::foreignLayout,
         "bus A is laid out by another version (tag 0x11111111"},
        {"record on a foreign layout",
         Prepared::foreign,
         {"record", "A", "OUT"},
         BusTool::foreignLayout,
         "another version"},
        {"too short",
         Prepared::tooShort,
         {"listen", "A"},
         BusTool::regionUnusable,
         "too short (4096 of 131192"},
        {"never initialised",
         Prepared::neverInitialised,
         {"listen", "A"},
         BusTool::regionUnusable,
         "never initialised"},
        {"fallback name is a link",
         Prepared::linkedFile,
         {"listen", "A"},
         BusTool::regionUnusable,
         "cannot use its region"},
        {"output folder missing",
         Prepared::current,
         {"record", "A", "DIR/missing/voice.wav"},
         BusTool::outputNotWritable,
         "cannot write"},
        {"output is a folder",
         Prepared::current,
         {"record", "A", "DIR"},
         BusTool::outputNotWritable,
         "is a directory"},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        clearBuses();
        const auto folder = TestEnvironment::makeFolder("case");
        const auto out = folder + "/voice.wav";
        prepare(c.busA, folder);
        const auto before = regionBytes(c.busA, folder);

        std::vector<std::string> args;
        for (const auto& arg : c.args)
            args.push_back(arg == "OUT" ? out : arg.rfind("DIR", 0) == 0 ? folder + arg.substr(3) : arg);
        const auto result = runTool(args);

        EXPECT_EQ(c.exitCode, result.exitCode);
        EXPECT_EQ("", result.out);
        EXPECT_EQ(1, lineCount(result.err)) << result.err;
        EXPECT_EQ(0u, result.err.find("tonquill-bus: ")) << result.err;
        EXPECT_NE(std::string::npos, result.err.find(c.saying)) << result.err;

        EXPECT_EQ(before, regionBytes(c.busA, folder)) << "the region was changed";
        EXPECT_FALSE(std::filesystem::exists(out)) << "a recording was started";
        for (int bus = busB; bus <= busH; ++bus)
            EXPECT_FALSE(objectExists(bus) || std::filesystem::exists(fallbackFile(bus)));
        if (c.busA == Prepared::nothing)
        {
            EXPECT_FALSE(objectExists(busA) || std::filesystem::exists(fallbackFile(busA)));
        }
    }
}
