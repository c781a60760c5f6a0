#pragma once
// Sound output through SDL2's audio: the alarm tone and alarm sound files. Playback is queued
// and returns at once; one output device is opened on first use and kept.

#include <QString>
#include <cstdint>
#include <vector>

namespace AudioOut {

constexpr int kSampleRate = 44100;

// Mono signed 16-bit samples at kSampleRate. False (with a reason) when no audio output is
// available, e.g. on a machine without a sound device.
bool playSamples(const std::vector<int16_t>& samples, QString* pError = nullptr);
// A WAV file, converted to the output's format. False with a reason when the file cannot be
// read or no output is available.
bool playWavFile(const QString& qStrPath, QString* pError = nullptr);

} // namespace AudioOut
