// Records of a work's package for tests, built byte by byte from the stored
// layouts (not through the player's own writers), and a writer that puts a
// whole work into a runtime package.
//
//   WorkSpec w;
//   w.pages = {{"A", "Title A", "Bkg1"}, {"B", "", "Bkg1", "", "", "C"}};
//   w.backgrounds = {"Bkg1"};
//   w.items = {EmbeddedItem("beep.wav", 4, 1020)};
//   w.mediaData = {{"beep.wav", "RIFF..."}};
//   WriteWork(path, w);
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

#include "PackageWriter.h"
#include "RoutineTableWriter.h"

// ANSI text as exactly `units` UTF-16 units: the UTF-16 form, then zero
// units; cut to `units` when longer (no NUL then).
std::string WideUnits(const std::string& text, size_t units);
// Byte length of text in the ANSI code page (it already is ANSI).
inline size_t AnsiLength(const std::string& text) {
    return text.size();
}
// Stream string: u32 count n of ANSI bytes, then 2n bytes of UTF-16.
std::string StreamString(const std::string& text);
// Project-body text: i16 count n, then 2n bytes of UTF-16.
std::string CountedText(const std::string& text);

// "PrjInfo": the 256-byte header and the body in a compression mode.
struct PrjInfoSpec {
    uint32_t headerSize = 256;
    uint32_t magic = 0x20000331;
    int16_t major = 1;
    int16_t minor = 16;
    int16_t mode = 2;
    uint64_t created = 0x01D0000012345678ull;    // the work's identity
    uint64_t createdBy = 0x0006000500000010ull;  // 6.5.0.16
    uint32_t options = 171;
    uint32_t holdTime = 10000;
    uint32_t backgroundColor = 0;
    uint32_t flags = 0;
    std::string extraText;        // with flag 0x10
    std::string texts[3];         // database path, password, workgroup path
    std::string furtherTexts[4];  // with flag 0x40
    // Bytes after the texts: an empty event record and an empty variable list.
    std::string tail = std::string(8, '\0');
    // When set, the body exactly (the fields above are not used for it).
    bool rawBodySet = false;
    std::string rawBody;
};
std::string MakePrjInfoHeader(const PrjInfoSpec& spec);
std::string MakePrjInfoBodyRaw(const PrjInfoSpec& spec);
std::string MakePrjInfo(const PrjInfoSpec& spec);

// Index streams of the page structure and the canvas lists.
struct PageRecord {
    std::string name, title, background, foreground, child, next;
};
// 32-byte index header then the body in `mode`; count as given.
std::string MakeIndex(uint32_t count, uint32_t nextFree, const std::string& records, int mode);
std::string PageRecordBytes(const PageRecord& page);
std::string MakePageIndex(const std::vector<PageRecord>& pages, uint32_t nextFree = 1,
                          int mode = 2);
std::string MakeCanvasList(const std::vector<std::string>& names, uint32_t nextFree = 1,
                           int mode = 2);

// Media index records and streams.
struct FolderRecord {
    std::string name, location;
};
struct ItemRecord {
    std::string name;
    int32_t type = -1, subtype = -1;
    uint32_t flags = 1;
    std::string location;      // kind 1: "$folder\file"
    uint32_t streamValue = 0;  // kind 2
};
inline ItemRecord FileItem(const std::string& name, const std::string& location, int32_t type = -1,
                           int32_t subtype = -1) {
    ItemRecord r;
    r.name = name;
    r.location = location;
    r.type = type;
    r.subtype = subtype;
    r.flags = 1;
    return r;
}
inline ItemRecord EmbeddedItem(const std::string& name, int32_t type = -1, int32_t subtype = -1) {
    ItemRecord r;
    r.name = name;
    r.type = type;
    r.subtype = subtype;
    r.flags = 2;
    return r;
}
struct ExFileRecord {
    std::string name, fileName;
};
std::string FolderRecordBytes(const FolderRecord& f);
std::string ItemRecordBytes(const ItemRecord& i);
std::string ExFileRecordBytes(const ExFileRecord& e);
// 32-byte media header: size, count, mode.
std::string MakeMediaHeader(uint32_t count, int mode, uint32_t size = 32);
// Version 8 on: media header, then the body (a u32 equal to the count, then
// the records) in `mode`.
std::string MakeMPathIndex(const std::vector<FolderRecord>& folders, int mode = 2);
std::string MakeMediaIndex(const std::vector<ItemRecord>& items, int mode = 2);
std::string MakeExFileIndex(const std::vector<ExFileRecord>& files, int mode = 2);
// Below version 8: plain folder count, folders, item count, items.
std::string MakeOldMediaIndex(const std::vector<FolderRecord>& folders,
                              const std::vector<ItemRecord>& items);
// A "MediaData" stream: version 8 on, media header and body; else plain.
std::string MakeMediaStream(const std::string& bytes, int minor = 16, int mode = 2);

// A canvas's streams: "CanvasInfo" (32-byte header, then in `mode` the
// object table, the event record, the variables and the kind's properties)
// and "ObjData" (in `mode`: per object the marker 0x55667788 and its record).
struct CanvasObjectSpec {
    uint32_t kept = 0;
    uint32_t typeId = 0;
    int32_t schedule[4] = {0, 100, -1, 100};
    std::string name;
    int32_t group = -1;
    std::string record;   // the bytes after the marker
    int64_t offset = -1;  // the table's offset; -1: where the record lies
    uint32_t marker = 0x55667788;
};
struct CanvasSpec {
    int kind = 1;
    uint32_t version = 3;
    int mode = 2;
    std::vector<CanvasObjectSpec> objects;
    int64_t count = -1;                              // the header's object count; -1: the objects'
    std::string eventRecord = std::string(4, '\0');  // an event set of no lists
    std::string variables = std::string(4, '\0');    // no variables
    std::string properties;
};
std::string MakeCanvasInfo(const CanvasSpec& canvas);
std::string MakeObjData(const CanvasSpec& canvas);
// A fill record: alpha, flags, type 0 (solid), mode, pattern, pattern
// colour, inner size 4, the colour.
std::string SolidFillRecord(uint32_t color, int mode = 1, int pattern = 0,
                            uint32_t patternColor = 0, uint8_t flags = 0);
std::string BackgroundProperties(int32_t width, int32_t height, const std::string& fill);
struct PageProps {
    uint32_t flags = 3;
    uint32_t hold = 10000, enter = 0, leave = 0, action = 1108;
    std::string label;
    uint32_t soundFirst = 0;
    std::string soundPath;
    uint32_t soundValues[10] = {0, 0, 0, 0, 0, 0, 0, 0, 1000, 0};
    std::string text;                      // with flag bit 3
    std::string enterEffect, leaveEffect;  // the effects' records; empty: 48 zero bytes
};
std::string PageProperties(const PageProps& page);

// A whole work. Streams left empty are written from the lists; a stream
// named in `omit` is not written at all.
struct WorkSpec {
    PrjInfoSpec prjInfo;
    std::vector<PageRecord> pages;
    std::vector<std::string> backgrounds;
    std::vector<std::string> foregrounds;
    std::vector<FolderRecord> folders;
    std::vector<ItemRecord> items;
    std::vector<ExFileRecord> exFiles;
    std::map<std::string, std::string> mediaData;  // embedded media: name -> bytes
    // Canvas storages: stub name -> CanvasInfo bytes (ObjData is empty).
    // Without an entry a stub gets a storage with a minimal CanvasInfo.
    std::map<std::string, std::string> canvasInfo;
    std::map<std::string, std::string> objData;  // stub name -> ObjData bytes
    bool writeCanvases = true;
    std::map<std::string, std::string> overrides;  // stream name -> exact bytes
    // Stream name -> bytes of zeros that follow its content without being
    // written (a hole in the file where the file system allows).
    std::map<std::string, uint64_t> sparseTails;
    std::vector<std::string> omit;
    // "FunctionTable" and "ProcessTable", written when not empty (the
    // project then needs flag 0x20).
    std::vector<RoutineSpec> functions, processes;
    uint64_t headerOffset = 0;
    std::string prefix;  // bytes before the package (an executable)
};
// A minimal "CanvasInfo": header with no objects and an empty body.
std::string MakeEmptyCanvasInfo(int kind);
HRESULT WriteWork(const std::string& path, const WorkSpec& work);
