// Bytes of the work's routine tables ("FunctionTable", "ProcessTable") and of
// stored action lists, from compact descriptions.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>
#include <utility>
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

// A stored variable list of 32-bit integers: u32 count; per variable u32
// name length, the name, then the current and the initial value (u16
// VT_I4 and the 4 bytes each).
std::string IntVariableListBytes(const std::vector<std::pair<std::string, int32_t>>& vars);

// A page's event record with a PageEnter list: the page stock entries in
// order (Timer, KeyDown, KeyUp, KeyPress stored empty, u32 0 each), then
// PageEnter's list.
std::string PageEnterRecord(const std::vector<ActionSpec>& actions);

// The application's event record with one KeyPress list: the application
// stock entries in order (Timer, KeyDown, KeyUp stored empty, u32 0 each),
// then KeyPress: u32 0x10001 (one sub-entry, descriptors stored), the
// sub-entry's u32 id (the character), u32 name length and "KeyPress" + the
// character, u32 1 parameter: u32 length and "charCode", u32 VT_I2; its list.
std::string AppKeyPressRecord(char key, const std::vector<ActionSpec>& actions);

// The application's event record with one Timer list: Timer first, u32
// 0x10001 (one sub-entry, descriptors stored), the sub-entry's u32 id (its
// delay in ms), u32 name length and "Timer" + the delay, u32 1 parameter:
// u32 length and "timerId", u32 VT_I4; its list; then KeyDown, KeyUp and
// KeyPress stored empty (u32 0 each).
std::string AppTimerRecord(DWORD ms, const std::vector<ActionSpec>& actions);

// An object's event record with one Timer list: u32 1 (the Timer entry, the
// first of the object's stock entries), then its stored form as above.
std::string ObjectTimerRecord(DWORD ms, const std::vector<ActionSpec>& actions);
