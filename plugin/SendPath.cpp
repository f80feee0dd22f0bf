// The real-time send path: the host's audio passes through untouched while a mono, trimmed copy is
// metered and published onto the voice bus. Runs on the audio thread: no allocation, no lock, no
// system call; the scratch buffer was sized by prepareToPlay.

#include "plugin/SendPath.h"
#include "plugin/VoiceSendProcessor.h"

#include <cmath>
#include <immintrin.h>

namespace SendPath
{
float trimGain(float gainDb) noexcept
{
    if (!(gainDb > silenceFloorDb)) // also catches NaN
        return 0.0f;
    return std::pow(10.0f, gainDb * 0.05f);
}

float absolutePeak(const float* samples, int n) noexcept
{
    // maxps returns its second operand when either is NaN; keeping the running peak there means a
    // NaN sample never becomes the peak. Four independent accumulators keep maxps's latency from
    // serialising the loop.
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    __m128 peaks[4] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
    int i = 0;
    for (; i + 16 <= n; i += 16)
        for (int lane = 0; lane < 4; ++lane)
            peaks[lane] = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(samples + i + 4 * lane), absMask), peaks[lane]);
    for (; i + 4 <= n; i += 4)
        peaks[0] = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(samples + i), absMask), peaks[0]);

    alignas(16) float lanes[16];
    for (int lane = 0; lane < 4; ++lane)
        _mm_store_ps(lanes + 4 * lane, peaks[lane]);
    float peak = 0.0f;
    for (float value : lanes)
        peak = value > peak ? value : peak;
    for (; i < n; ++i)
    {
        const float magnitude = std::abs(samples[i]);
        peak = magnitude > peak ? magnitude : peak;
    }
    return peak;
}

void makeSentCopy(const juce::AudioBuffer<float>& block, float* copy, float gain) noexcept
{
    using FVO = juce::FloatVectorOperations;
    const int n = block.getNumSamples();
    const int channels = block.getNumChannels();
    const bool trim = std::abs(gain - 1.0f) > unityTolerance;

    if (channels == 1)
    {
        if (trim)
            FVO::copyWithMultiply(copy, block.getReadPointer(0), gain, n);
        else
            FVO::copy(copy, block.getReadPointer(0), n);
        return;
    }

    FVO::add(copy, block.getReadPointer(0), block.getReadPointer(1), n);
    for (int ch = 2; ch < channels; ++ch)
        FVO::add(copy, block.getReadPointer(ch), n);

    // Scaling by a power of two is exact, so for 2, 4 or 8 channels the average and the trim can
    // share one pass with the same result as two.
    const float average = 1.0f / static_cast<float>(channels);
    const bool powerOfTwo = (channels & (channels - 1)) == 0;
    if (trim && powerOfTwo)
        FVO::multiply(copy, average * gain, n);
    else
    {
        FVO::multiply(copy, average, n);
        if (trim)
            FVO::multiply(copy, gain, n);
    }
}
} // namespace SendPath

void VoiceSendProcessor::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const juce::ScopedNoDenormals noDenormals;

    const int n = buffer.getNumSamples();
    if (n <= 0 || buffer.getNumChannels() <= 0 || n > monoBuffer.getNumSamples())
        return;

    float* copy = monoBuffer.getWritePointer(0);
    SendPath::makeSentCopy(buffer, copy, SendPath::trimGain(gainDb.load()));
    sendPeak.store(SendPath::absolutePeak(copy, n));

    if (enabled.load())
        endpoint.publish(copy, n, sampleRate);
}
