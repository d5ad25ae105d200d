// Sound files for the sample and the tests: PCM WAV files of a given
// length and small MIDI files.
#pragma once

#include <stdint.h>

#include <string>

// A WAV file of `milliseconds` of 8-bit mono PCM at `rate` samples per
// second: silence, or a square tone when `tone` is set.
std::string WaveFile(uint32_t milliseconds, uint32_t rate = 8000, bool tone = false);
// A tenth of a second of silence at 8 kHz.
inline std::string SilentWave() {
    return WaveFile(100);
}
// A format-0 MIDI file of `notes` quarter notes (middle C, 120 beats a
// minute).
std::string MidiFile(int notes);
