// The files of fills: a fill reports its media to the draw layer's
// collector, an object to the render part's file collector. Both are told
// (kind, name) in their first own slot, so a fill's report passes through
// unchanged.
#pragma once

#include "aObjItf.h"
#include "bFillShd.h"

// Lets the fill report its files to the object's collector. A null fill
// reports nothing.
HRESULT CollectFillFiles(FillObject* fill, IFileCollector* collector);
