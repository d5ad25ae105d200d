// Enhanced metafiles from stored bits (see bMetaFile.h).
#include "bMetaFile.h"

#include <string.h>

#include "bTraceLog.h"
#include "bdxfpars.h"

namespace {

DWORD U32At(const BYTE* p) {
    DWORD v;
    memcpy(&v, p, 4);
    return v;
}

// Bytes of a Windows metafile header up to and including its size field.
enum { WMF_HEADER_SIZE_END = 10 };

}  // namespace

HENHMETAFILE WinMetaFileToEnh(HDC dc, const BYTE* bits, const PlaceableMetaHeader* header) {
    if (!bits || !header)
        return nullptr;
    UINT size = 2 * U32At(bits + 6);
    METAFILEPICT pict = {};
    const METAFILEPICT* described = nullptr;
    if (header->inch != 0) {
        pict.mm = MM_ANISOTROPIC;
        pict.xExt = (header->right - header->left) * 2540 / header->inch;
        pict.yExt = (header->bottom - header->top) * 2540 / header->inch;
        described = &pict;
    }
    HENHMETAFILE handle = SetWinMetaFileBits(size, bits, dc, described);
    if (!handle)
        LOG_WIN32_ERROR(0, "SetWinMetaFileBits failed.");
    return handle;
}

HENHMETAFILE MetaFileFromBits(const BYTE* data, DWORD size, HDC dc, int kind) {
    if (!data || size == 0)
        return nullptr;
    // The signature is read only where the data holds it.
    if (kind == METAKIND_EMF && size >= 44 && U32At(data + 40) == EMF_SIGNATURE)
        return SetEnhMetaFileBits(size, data);
    if (kind == METAKIND_WMF && size >= 4 && U32At(data) == PLACEABLE_KEY) {
        if (size < sizeof(PlaceableMetaHeader) + WMF_HEADER_SIZE_END) {
            LOG_MSG("MetaFileFromBits: placeable metafile of %u bytes too short", (unsigned)size);
            return nullptr;
        }
        PlaceableMetaHeader header;
        memcpy(&header, data, sizeof(header));
        const BYTE* bits = data + sizeof(header);
        unsigned long long words = U32At(bits + 6);
        if (words * 2 > size - sizeof(header)) {
            LOG_MSG("MetaFileFromBits: metafile of %llu words beyond its %u bytes", words,
                    (unsigned)(size - sizeof(header)));
            return nullptr;
        }
        return WinMetaFileToEnh(dc, bits, &header);
    }
    if (kind == METAKIND_DXF)
        return DXFParse(data, size);
    return SetWinMetaFileBits(size, data, nullptr, nullptr);
}

BOOL DrawEnhMetaFile(HDC dc, HENHMETAFILE handle, const RECT* rect) {
    return PlayEnhMetaFile(dc, handle, rect);
}
