// Enhanced metafiles from stored bits: enhanced, placeable Windows and DXF
// data; and playing them.
#pragma once

#include <windows.h>

// Kinds of stored metafile data.
enum MetaFileKind { METAKIND_WMF = 1050, METAKIND_EMF = 1051, METAKIND_DXF = 1052 };

#pragma pack(push, 2)
// The 22-byte header of a placeable Windows metafile.
struct PlaceableMetaHeader {
    DWORD key;  // 0x9AC6CDD7
    WORD handle;
    short left, top, right, bottom;
    WORD inch;
    DWORD reserved;
    WORD checksum;
};
#pragma pack(pop)
static_assert(sizeof(PlaceableMetaHeader) == 22, "placeable header");

enum : DWORD { PLACEABLE_KEY = 0x9AC6CDD7, EMF_SIGNATURE = 0x464D4520 };

// An enhanced metafile from stored bits (the caller deletes it), or null.
HENHMETAFILE MetaFileFromBits(const BYTE* data, DWORD size, HDC dc, int kind);
// The Windows metafile after a placeable header, sized by its own header.
HENHMETAFILE WinMetaFileToEnh(HDC dc, const BYTE* bits, const PlaceableMetaHeader* header);
BOOL DrawEnhMetaFile(HDC dc, HENHMETAFILE handle, const RECT* rect);
