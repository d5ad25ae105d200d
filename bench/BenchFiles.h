// Where the benchmarks keep the files they write: the temporary folder.
#pragma once

#include <windows.h>

#include <string>

inline std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof(dir), dir);
    return std::string(dir) + name;
}
