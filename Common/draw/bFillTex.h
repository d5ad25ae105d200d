// The texture fill (fill type 3): a midpoint-displacement height field of
// the bounds' size coloured through one of five palettes.
#pragma once

#include <windows.h>

#include "bFillShd.h"

// Parameter interface of the texture fill.
struct ITextureFillParams {
    STDMETHOD(SetTextureType)(int type) = 0;   // 0
    STDMETHOD(GetTextureType)(int* type) = 0;  // 1
};

// The texture's 256-entry palette for a type (0xAARRGGBB words, alpha in
// every entry) and its height field of width x height bytes.
void BuildTexturePalette(int type, BYTE alpha, DWORD palette[256]);
void GenerateTextureField(BYTE* field, int width, int height);
