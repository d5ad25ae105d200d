// Writes the sample work: a runtime package with a project header, a small
// page tree over two backgrounds (a green fill, a patterned one) and a
// foreground, a media folder and an embedded sound. Each page holds 2 s and
// goes on to the next (Part1a slides in from the left over Part1 during 1 s
// first); the last one ends the run.
// Usage: mkwork <package path> [hold=<ms>] [variant], where the variant is
// "cut-index" (the page index body's zlib header cut short) or "past-index"
// (its packed length running past the file's end); or
// "scripts": Home's entry counts the visits in the application-state ini,
// keeps the chapter, calls a process and a function and goes to Part2,
// whose entry records 300 ms of sound, saves it as C:\mavrorec\rec.wav and
// ends the run; or "db" / "db-multi": the
// project uses a single-user / multi-user database (pages hold 300 ms); or
// "showcase": the presentation of what the player shows (showcase.cpp), its
// video written into the folder "media" beside the package.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "ProjectWriter.h"
#include "SoundWriter.h"
#include "aTransition.h"
#include "showcase.h"

// An effect record whose move entry is the built-in move plug-in (kind 0:
// from the left), without region and mask.
static std::string SlideFromLeft() {
    CByteWriter w;
    w.Bytes(&CLSID_TransMove, sizeof(CLSID)).U32(0).Zeros(32);
    return w.Str();
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr,
                "usage: mkwork <package path> "
                "[hold=<ms>] [cut-index|past-index|scripts|db|db-multi|showcase]\n");
        return 2;
    }
    CoInitialize(nullptr);
    // "hold=<ms>" before the variant sets the pages' hold time (2000 by
    // default; the showcase's own times).
    uint32_t hold = 2000;
    bool holdGiven = false;
    int at = 2;  // the variant's argument
    if (argc > at && strncmp(argv[at], "hold=", 5) == 0) {
        hold = (uint32_t)strtoul(argv[at] + 5, nullptr, 10);
        holdGiven = true;
        ++at;
    }
    const std::string variant = argc > at ? argv[at] : "";
    const bool db = variant == "db" || variant == "db-multi";
    if (db)
        hold = 300;
    WorkSpec w;
    if (variant == "showcase") {
        HRESULT hr = MakeShowcase(&w, holdGiven ? hold : 0) ? WriteWork(argv[1], w) : E_FAIL;
        if (SUCCEEDED(hr) && !WriteShowcaseMedia(argv[1]))
            hr = E_FAIL;
        CoUninitialize();
        if (FAILED(hr)) {
            fprintf(stderr, "mkwork: writing %s failed: %08lX\n", argv[1], (unsigned long)hr);
            return 1;
        }
        printf("mkwork: wrote %s\n", argv[1]);
        return 0;
    }
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
    // The pages go on alone (option bit 6) after their hold time; the last
    // one ends the run (automatic action 1003).
    w.prjInfo.options = 171 | 0x40;
    CanvasSpec paper, night, bar;
    paper.kind = night.kind = 2;
    bar.kind = 3;
    paper.properties = BackgroundProperties(800, 600, SolidFillRecord(0x0000FF00));
    // Night: dark blue with a yellow pattern (mode 2, pattern 3).
    night.properties =
        BackgroundProperties(800, 600, SolidFillRecord(0x00400000, 2, 3, 0x0000FFFF));
    w.canvasInfo["Paper"] = MakeCanvasInfo(paper);
    w.canvasInfo["Night"] = MakeCanvasInfo(night);
    w.canvasInfo["Bar"] = MakeCanvasInfo(bar);
    const char* names[] = {"Home", "Part1", "Part1a", "Part2", "End"};
    for (const char* n : names) {
        CanvasSpec page;
        PageProps props;
        props.flags = 0;
        props.hold = hold;
        props.action = std::string(n) == "End" ? 1003 : 1108;
        if (std::string(n) == "Part1a") {
            props.enter = 1000;
            props.enterEffect = SlideFromLeft();
        }
        page.properties = PageProperties(props);
        w.canvasInfo[n] = MakeCanvasInfo(page);
    }
    w.items = {EmbeddedItem("beep.wav", 4, 1020), FileItem("music", "$media\\music.mid", 4, 1024)};
    w.mediaData = {{"beep.wav", SilentWave()}};
    if (variant == "scripts") {
        w.prjInfo.flags |= 0x20;  // routine tables
        w.prjInfo.tail =
            std::string(4, '\0') +
            IntVariableListBytes({{"visits", 0}, {"last", 0}, {"hit", 0}, {"miss", 0}});
        w.processes = {{"note", {{VT_I4, "by"}}, {{8, "last", "by"}}}};
        w.functions = {{"twice", {{VT_I4, "v"}}, {{9, "v * 2", nullptr}}}};
        CanvasSpec home, part2;
        PageProps props;
        props.flags = 0;
        props.hold = 2000;
        home.properties = part2.properties = PageProperties(props);
        // A board of 400 x 300 from (200, 150): the curve y = x runs to
        // (300, 300) in 31 pieces, a rectangle (the 32nd meta) covers (300,
        // 250) to (400, 350) of the page; the hit tests go where both lie
        // and beside them, and are kept with the visits.
        home.objects.push_back(DrawBoardEntry("Board", 400, 300, 400, 300));
        home.eventRecord = PageEnterRecord({{1804, nullptr, "\"visits\""},
                                            {8, "visits", "visits + 1"},
                                            {404, "note", "visits"},
                                            {8, "last", "twice(last)"},
                                            // until the board is active
                                            {6, nullptr, "100"},
                                            {403, "Board.DrawLineCurve", "\"x, x\", 0, 300, 10"},
                                            {403, "Board.DrawRect", "100, 100, 200, 200"},
                                            {8, "hit", "DrawBoardObjHitTest(\"Board\", 350, 300)"},
                                            {8, "miss", "DrawBoardObjHitTest(\"Board\", 550, 180)"},
                                            {1805, nullptr, "\"visits,hit,miss\""},
                                            {1807, "\"chapter\"", nullptr},
                                            {1105, nullptr, "\"Part2\""}});
        // Records 300 ms into memory, waits for the end and saves the recording
        // (a script's text doubles its backslashes). The stop ends a recording
        // whose worker a busy machine has not let reach the limit yet.
        part2.eventRecord = PageEnterRecord({{1903, nullptr, "300"},
                                             {6, nullptr, "600"},
                                             {1906, nullptr, nullptr},
                                             {1909, nullptr, "\"C:\\\\mavrorec\\\\rec.wav\""},
                                             {6, nullptr, "50"},
                                             {1003, nullptr, nullptr}});
        w.canvasInfo["Home"] = MakeCanvasInfo(home);
        w.objData["Home"] = MakeObjData(home);
        w.canvasInfo["Part2"] = MakeCanvasInfo(part2);
    } else if (db) {
        // Flag 0x01 uses a database, 0x02 makes it multi-user; the texts are
        // the stored path, the password and the workgroup path.
        w.prjInfo.flags |= variant == "db" ? 0x01 : 0x03;
        w.prjInfo.texts[0] = "C:\\stored\\elsewhere.mvb";
        w.prjInfo.texts[1] = "secret";
        w.prjInfo.texts[2] = "C:\\stored\\system.mdw";
    } else if (!variant.empty()) {
        // Index header (32 bytes), then the body's 16-byte zlib header with
        // the packed length at 12.
        std::string index = MakePageIndex(w.pages);
        const std::string& damage = variant;
        if (damage == "cut-index") {
            index.resize(32 + 10);
        } else if (damage == "past-index") {
            for (int i = 0; i < 4; ++i) index[32 + 12 + i] = (char)(0x7FFFFFF0u >> (8 * i));
        } else {
            fprintf(stderr, "mkwork: unknown variant %s\n", variant.c_str());
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
