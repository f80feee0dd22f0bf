// tonquill-demo: shows the installed plug-in working without a DAW. A headless VST3 host loads the
// bundle, plays a test tone through it in real time, checks that the track came back untouched and
// prints what a receiver reads from the bus meanwhile.

#include "tools/host/PluginHost.h"
#include "voicebus/RegionView.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
constexpr float toneHz = 440.0f;
constexpr float toneLevel = 0.25f; // -12 dBFS

struct Options
{
    juce::File bundle = PluginHost::installedBundle();
    double seconds = 3.0;
    bool realTime = true;
};

void printUsage()
{
    std::puts("usage: tonquill-demo [--bundle PATH] [--seconds N] [--fast]\n"
              "Loads the plug-in (default ~/.vst3/Tonquill FX.vst3) in a headless VST3 host, plays a\n"
              "440 Hz tone at -12 dBFS through it on bus A and prints what a receiver reads there.\n"
              "--fast pushes the blocks without waiting for real time.");
}

bool parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const juce::String arg(argv[i]);
        if (arg == "--bundle" && i + 1 < argc)
            options.bundle = juce::File::getCurrentWorkingDirectory().getChildFile(argv[++i]);
        else if (arg == "--seconds" && i + 1 < argc)
            options.seconds = juce::String(argv[++i]).getDoubleValue();
        else if (arg == "--fast")
            options.realTime = false;
        else
            return false;
    }
    return options.seconds > 0.0;
}

float decibels(float peak)
{
    return peak > 0.0f ? 20.0f * std::log10(peak) : -std::numeric_limits<float>::infinity();
}

// What a receiver sees: everything published since it attached.
struct Receiver
{
    uint32_t readPos = 0;
    uint64_t firstBlock = 0;
    float peak = 0.0f;
    uint64_t samples = 0;

    void attach(const VoiceBus::Region& region)
    {
        readPos = VoiceBus::shared(const_cast<uint32_t&>(region.writePos)).load(std::memory_order_acquire);
        firstBlock = VoiceBus::shared(const_cast<uint64_t&>(region.blockCounter)).load();
    }

    void read(const VoiceBus::Region& region)
    {
        const uint32_t end =
            VoiceBus::shared(const_cast<uint32_t&>(region.writePos)).load(std::memory_order_acquire);
        for (; readPos != end; ++readPos, ++samples)
            peak = std::max(peak, std::abs(region.ring[readPos & VoiceBus::ringMask]));
    }
};
} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // keep our lines in order with a receiver's beside them
    Options options;
    if (!parse(argc, argv, options))
    {
        printUsage();
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juce;
    juce::String error;
    auto plugin = PluginHost::load(options.bundle, sampleRate, blockSize, error);
    if (plugin == nullptr)
    {
        std::fprintf(stderr, "tonquill-demo: cannot load %s: %s\n",
                     options.bundle.getFullPathName().toRawUTF8(), error.toRawUTF8());
        return 1;
    }
    const auto& info = plugin->getPluginDescription();
    std::printf("Loaded %s %s by %s (%s) from %s\n", info.name.toRawUTF8(), info.version.toRawUTF8(),
                info.manufacturerName.toRawUTF8(), info.category.toRawUTF8(),
                options.bundle.getFullPathName().toRawUTF8());

    auto view = VoiceBus::RegionView::open(0, VoiceBus::RegionView::Access::readOnly);
    if (view.region == nullptr)
    {
        std::fprintf(stderr, "tonquill-demo: bus A has no usable region (%s)\n",
                     VoiceBus::describe(view.state));
        return 1;
    }
    Receiver receiver;
    receiver.attach(*view.region);

    const int blocks = static_cast<int>(options.seconds * sampleRate / blockSize);
    std::printf("Playing a %.0f Hz tone at %.1f dBFS for %.1f s (%d blocks of %d samples, stereo, %.0f Hz)\n",
                toneHz, decibels(toneLevel), options.seconds, blocks, blockSize, sampleRate);

    juce::AudioBuffer<float> block(2, blockSize), original(2, blockSize);
    juce::MidiBuffer midi;
    bool untouched = true;
    auto next = std::chrono::steady_clock::now();
    const auto blockTime = std::chrono::duration<double>(blockSize / sampleRate);
    for (int b = 0; b < blocks; ++b)
    {
        for (int i = 0; i < blockSize; ++i)
        {
            const double t = (b * blockSize + i) / sampleRate;
            const float sample =
                toneLevel * static_cast<float>(std::sin(2.0 * juce::MathConstants<double>::pi * toneHz * t));
            block.setSample(0, i, sample);
            block.setSample(1, i, sample);
        }
        original.makeCopyOf(block);
        plugin->processBlock(block, midi);
        for (int ch = 0; ch < 2; ++ch)
            untouched =
                untouched && std::equal(block.getReadPointer(ch), block.getReadPointer(ch) + blockSize,
                                        original.getReadPointer(ch));
        receiver.read(*view.region);

        if (options.realTime)
        {
            next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(blockTime);
            std::this_thread::sleep_until(next);
        }
    }

    const auto& region = *view.region;
    const uint64_t blocksSeen =
        VoiceBus::shared(const_cast<uint64_t&>(region.blockCounter)).load() - receiver.firstBlock;
    std::printf("Track audio: %s\n", untouched ? "passed through unchanged" : "CHANGED");
    std::printf("Receiver on bus A read: %.0f Hz, %llu blocks, %llu samples, level %.1f dBFS\n",
                region.sampleRate, static_cast<unsigned long long>(blocksSeen),
                static_cast<unsigned long long>(receiver.samples), decibels(receiver.peak));

    const bool arrived = blocksSeen == static_cast<uint64_t>(blocks) &&
                         receiver.samples == static_cast<uint64_t>(blocks) * blockSize;
    std::puts(untouched && arrived ? "OK: the voice arrived on bus A." : "FAILED: see above.");
    return untouched && arrived ? 0 : 1;
}
