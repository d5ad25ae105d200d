// A canvas entry of a kind whose record is the shared object prefix alone:
// the solid test kind and the test doubles built on it.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "ObjectRecordWriter.h"
#include "ProjectWriter.h"

// (x, y) is the centre, w x h the size, as the prefix stores them.
inline CanvasObjectSpec PlacedObject(uint32_t type, const std::string& name, int32_t x, int32_t y,
                                     int32_t w, int32_t h) {
    CanvasObjectSpec o;
    o.typeId = type;
    o.name = name;
    ObjectPrefix p;
    p.x = x;
    p.y = y;
    p.width = w;
    p.height = h;
    std::vector<uint8_t> bytes = WriteObjectPrefix(p);
    o.record.assign(bytes.begin(), bytes.end());
    return o;
}
