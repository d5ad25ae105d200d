// What every part of MavroDB shares: its own module (strings, dialogs), the
// host's trace log, message boxes through the seam, and the last core made.
#pragma once

#include <windows.h>

#include <string>

#include "bTraceLog.h"

class CDBCore;

// The module holding MavroDB's resources: the DLL, or the program that links
// the library statically.
HINSTANCE GetDBModule();
void SetDBModule(HINSTANCE module);

// A string of the module's table as ANSI text ("" when missing).
std::string DBLoadString(UINT id);
// ANSI text of a UTF-8 literal.
std::string DBAnsi(const char* utf8);

// A message box of the library (no caption text), through the seam.
int DBMessageBox(const std::string& text, UINT type = MB_OK);
int DBMessageBox(UINT stringId, UINT type = MB_OK);

// The host's trace log, kept for the life of the process; null when the host
// gave none.
ITraceLog* GetDBTraceLog();
ITraceLog** GetDBTraceLogSlot();

// The last core made, for the manager windows; cleared with its core.
CDBCore* GetDBCore();
void SetDBCore(CDBCore* core);

#define DB_TRACE_POINT()                                \
    do {                                                \
        if (ITraceLog* dbTrace_ = GetDBTraceLog())      \
            dbTrace_->TracePoint("BaseCore", __LINE__); \
    } while (0)

#define DB_LOG(...)                                             \
    do {                                                        \
        if (ITraceLog* dbTrace_ = GetDBTraceLog())              \
            dbTrace_->LogAt("BaseCore", __LINE__, __VA_ARGS__); \
    } while (0)
