// Bytes of the work's routine tables ("FunctionTable", "ProcessTable") and of
// stored action lists, from compact descriptions.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One action: kind and two texts (null: no text).
struct ActionSpec {
    DWORD kind;
    const char* text0;
    const char* text1;
};

struct RoutineParamSpec {
    WORD vt;
    std::string name;
};

struct RoutineSpec {
    std::string name;
    std::vector<RoutineParamSpec> params;
    std::vector<ActionSpec> actions;
};

// u32 count; per item u32 kind, u32 length (NUL included, 0 none) and bytes
// of each text.
std::string ActionListBytes(const std::vector<ActionSpec>& actions);

// A table stream: 32-byte header (u32 entry count at 20, u32 body mode 0 at
// 24), then the entries (u32 unused, u32 parameter count, u32 name length
// and name with NUL, per parameter u32 type, u32 name length and name),
// then each entry's action list.
std::string RoutineTableBytes(const std::vector<RoutineSpec>& routines);
