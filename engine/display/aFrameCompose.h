// One frame of a running page transition: the page image and the fill
// image (what shows where the page has not come yet) composed into the
// back buffer through the effect's move, region and mask plug-ins.
#pragma once

#include "aEffectRender.h"
#include "aPixBuf.h"

// Composes the frame for the effect's present progress. The three buffers
// work at origin (0, 0) meanwhile and get the back buffer's origin back.
HRESULT ComposeTransitionFrame(IPixelBuffer* back, IPixelBuffer* fill, IPixelBuffer* page,
                               IEffectRender* effect);
