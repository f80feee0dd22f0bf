#pragma once

#include <JuceHeader.h>

/** The pieces of the send path, kept apart so that each can be checked and measured on its own. */
namespace SendPath
{
constexpr float silenceFloorDb = -100.0f;
constexpr float unityTolerance = 0.001f;

/** 10^(dB / 20) in single precision; exactly 0 at or below the silence floor (and for NaN). */
float trimGain(float gainDb) noexcept;

/** The largest |sample|, starting from 0; a NaN sample never wins. */
float absolutePeak(const float* samples, int n) noexcept;

/** Writes the average of the block's channels, times `gain` unless it is within the unity
    tolerance, into `copy` (block.getNumSamples() floats). The block itself is only read. */
void makeSentCopy(const juce::AudioBuffer<float>& block, float* copy, float gain) noexcept;
} // namespace SendPath
