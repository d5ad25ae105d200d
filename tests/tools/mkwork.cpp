// Writes the sample work: a runtime package with a project header, a small
// page tree over two backgrounds and a foreground, a media folder and an
// embedded sound. Usage: mkwork <package path>
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
        fprintf(stderr, "usage: mkwork <package path>\n");
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
    HRESULT hr = WriteWork(argv[1], w);
    CoUninitialize();
    if (FAILED(hr)) {
        fprintf(stderr, "mkwork: writing %s failed: %08lX\n", argv[1], (unsigned long)hr);
        return 1;
    }
    printf("mkwork: wrote %s\n", argv[1]);
    return 0;
}
