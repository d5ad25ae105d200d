#include "SoundWriter.h"

#include "ByteWriter.h"

std::string WaveFile(uint32_t milliseconds, uint32_t rate, bool tone) {
    const uint32_t samples = (uint32_t)((uint64_t)rate * milliseconds / 1000);
    std::string data(samples, '\x80');
    if (tone) {
        for (uint32_t i = 0; i < samples; ++i) data[i] = (i / 10) % 2 ? '\xC0' : '\x40';
    }
    CByteWriter w;
    w.Bytes("RIFF", 4).U32(36 + samples).Bytes("WAVE", 4);
    w.Bytes("fmt ", 4).U32(16).U16(1).U16(1).U32(rate).U32(rate).U16(1).U16(8);
    w.Bytes("data", 4).U32(samples).Bytes(data);
    return w.Str();
}

namespace {

// MIDI numbers are big-endian.
void Be32(std::string& s, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) s += (char)(uint8_t)(v >> shift);
}

}  // namespace

std::string MidiFile(int notes) {
    std::string track;
    for (int i = 0; i < notes; ++i) {
        // Delta 0, note on; a quarter (96 ticks) later, note off.
        track += std::string("\x00\x90\x3C\x40", 4);
        track += std::string("\x60\x80\x3C\x00", 4);
    }
    track += std::string("\x00\xFF\x2F\x00", 4);
    std::string file = "MThd";
    Be32(file, 6);
    file += std::string("\x00\x00\x00\x01\x00\x60", 6);
    file += "MTrk";
    Be32(file, (uint32_t)track.size());
    return file + track;
}
