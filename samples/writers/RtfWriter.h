// Pieces of rich-text documents for the sample work, tests and benchmarks.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// Bytes as RTF picture data: two lower-case hex digits a byte, a line break
// every 64 bytes.
inline std::string RtfHexData(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2 + bytes.size() / 32);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i && i % 64 == 0)
            out += "\r\n";
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

// A picture group: kind word ("pngblip", "jpegblip", "wmetafile8"), goal
// size in twips, the data.
inline std::string RtfPictureGroup(const char* kind, int goalWidth, int goalHeight,
                                   const std::vector<uint8_t>& data) {
    return std::string("{\\pict\\") + kind + "\\picwgoal" + std::to_string(goalWidth) +
           "\\pichgoal" + std::to_string(goalHeight) + " " + RtfHexData(data) + "}";
}
