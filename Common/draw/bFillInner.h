// The inner fills behind the fill object, by type (used by bFillShd only).
#pragma once

#include "bFillShd.h"

// A new inner fill of a type (0..3) with its defaults, or null.
FillBase* CreateInnerFill(int type);
FillBase* CreateGradientFill();
FillBase* CreatePictureFill();
FillBase* CreateTextureFill();
// The picture fill's media name into a 260-byte buffer (empty for others).
void ReportPictureName(FillBase* fill, char* name);
