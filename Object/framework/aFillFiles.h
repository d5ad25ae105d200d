// The files of fills: a fill reports its media to a collector of the draw
// layer, an object its files to one of the render part. Both take (kind,
// name) in their first own slot, so a fill's report is passed on unchanged.
#pragma once

#include "aObjItf.h"
#include "bFillShd.h"

// Lets the fill report its files to the object's collector. A null fill
// reports nothing.
HRESULT CollectFillFiles(FillObject* fill, IFileCollector* collector);
