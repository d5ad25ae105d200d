// Writes the sample work: a runtime package with a project header, a small
// page tree over two backgrounds and a foreground, a media folder and an
// embedded sound. Usage: mkwork <package path> [damage]
// where damage is "cut-index" (the page index body's zlib header cut short)
// or "past-index" (its packed length running past the file's end).
#include <stdio.h>

#include <string>

#include "ProjectWriter.h"

// A tenth of a second of silence: 8 kHz, 8-bit mono PCM.
static std::string SilentWave() {
    const uint32_t samples = 800;
    CByteWriter w;
    w.Bytes("RIFF", 4).U32(36 + samples).Bytes("WAVE", 4);
    w.Bytes("fmt ", 4).U32(16).U16(1).U16(1).U32(8000).U32(8000).U16(1).U16(8);
    w.Bytes("data", 4).U32(samples).Bytes(std::string(samples, '\x80'));
    return w.Str();
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: mkwork <package path> [cut-index|past-index]\n");
        return 2;
    }
    CoInitialize(nullptr);
    WorkSpec w;
    w.prjInfo.minor = 16;
    w.prjInfo.holdTime = 10000;
    w.prjInfo.backgroundColor = 0x00402010;
    // Home (Part1 (Part1a) Part2) End
    w.pages = {{"Home", "Sample work", "Paper", "Bar", "Part1", "End"},
               {"Part1", "First part", "Paper", "Bar", "Part1a", "Part2"},
               {"Part1a", "A detail", "Night", "", "", ""},
               {"Part2", "Second part", "Night", "Bar", "", ""},
               {"End", "The end", "Paper", "", "", ""}};
    w.backgrounds = {"Paper", "Night"};
    w.foregrounds = {"Bar"};
    w.folders = {{"r0", ""}, {"media", "$r0\\media\\"}};
    w.items = {EmbeddedItem("beep.wav", 4, 1020), FileItem("music", "$media\\music.mid", 4, 1024)};
    w.mediaData = {{"beep.wav", SilentWave()}};
    if (argc > 2) {
        // Index header (32 bytes), then the body's 16-byte zlib header with
        // the packed length at 12.
        std::string index = MakePageIndex(w.pages);
        std::string damage = argv[2];
        if (damage == "cut-index") {
            index.resize(32 + 10);
        } else if (damage == "past-index") {
            for (int i = 0; i < 4; ++i) index[32 + 12 + i] = (char)(0x7FFFFFF0u >> (8 * i));
        } else {
            fprintf(stderr, "mkwork: unknown damage %s\n", argv[2]);
            return 2;
        }
        w.overrides["frgindex"] = index;
    }
    HRESULT hr = WriteWork(argv[1], w);
    CoUninitialize();
    if (FAILED(hr)) {
        fprintf(stderr, "mkwork: writing %s failed: %08lX\n", argv[1], (unsigned long)hr);
        return 1;
    }
    printf("mkwork: wrote %s\n", argv[1]);
    return 0;
}
