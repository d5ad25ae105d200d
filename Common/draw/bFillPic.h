// The picture fill (fill type 2): a picture of the work's media or a picture
// file, tiled, centred or stretched over the fill's bounds.
#pragma once

#include <windows.h>

#include "bComBase.h"
#include "bFillShd.h"

struct IMediaManager;
struct IPictureCodecSite;

// Picture placement modes.
enum PictureFillMode { PICFILL_TILE = 0, PICFILL_CENTRE = 1, PICFILL_STRETCH = 2 };

// What the picture fill needs of the play site it draws for: the project's
// media manager and the picture codec list. The play site answers it through
// QueryInterface; both pointers are borrowed (no reference).
// {6B0F3C41-2E7A-4D55-9C1E-8A4D2F6B7E10}
struct IFillMediaSite : public IUnknown {
    STDMETHOD(GetMediaManager)(IMediaManager** manager) = 0;  // 3
    STDMETHOD(GetCodecSite)(IPictureCodecSite** codecs) = 0;  // 4
};
DECLARE_IID(IFillMediaSite, 0x6B0F3C41, 0x2E7A, 0x4D55, 0x9C, 0x1E, 0x8A, 0x4D, 0x2F, 0x6B, 0x7E,
            0x10);

// Parameter interface of the picture fill.
struct IPictureFillParams {
    // A name over 31 bytes is refused (E_INVALIDARG).
    STDMETHOD(SetPictureName)(const char* name) = 0;         // 0
    STDMETHOD(GetPictureName)(char* buffer) = 0;             // 1 (32 bytes or more)
    STDMETHOD(SetPicturePath)(const char* path) = 0;         // 2
    STDMETHOD(GetPicturePath)(char* buffer) = 0;             // 3 (260 bytes); S_FALSE when empty
    STDMETHOD(SetMode)(int mode) = 0;                        // 4
    STDMETHOD(GetMode)(int* mode) = 0;                       // 5
    STDMETHOD(ReportMedia)(IMediaCollector* collector) = 0;  // 6
};
