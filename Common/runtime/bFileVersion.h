// The fixed version information of a file's version resource, shared by the
// player's version texts and the setup programs' version checks.
#pragma once

#include <windows.h>

// The 52-byte fixed version information of a file; 1 on success, else 0
// (no file, no version resource, or a root block shorter than 52 bytes).
int GetFileVersion(const char* path, VS_FIXEDFILEINFO* out);
