// Subject figure records for the figure tests: the writers' figure record
// (field by field, independent of the figures' own Save) and its fills.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "ObjectRecordWriter.h"
#include "ProjectWriter.h"

// A fill holder's record: the fill object's own, solid, as a new fill
// object keeps its pattern colour.
inline std::vector<uint8_t> FigureFill(COLORREF color) {
    const std::string s = SolidFillRecord(color, 1, 0, 0xFFFFFF);
    return std::vector<uint8_t>(s.begin(), s.end());
}
