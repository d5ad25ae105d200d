// Version checks of the setup programs: the version resource of a file and
// the runtime version texts "%d.%d-%d.%d.%d.%d-%d.%d.%d.%d" (three groups:
// fields 1-2, 3-6 and 7-10).
#pragma once

#include <windows.h>

// The file's 52-byte fixed version information; false when the file has
// no version resource.
bool GetFileVersionRecord(const char* path, VS_FIXEDFILEINFO* out);

// 1 the source is newer, 0 equal, -1 older. When the target is a versioned
// file (IsVersionedFile) and both records can be read, by file version;
// otherwise (logged when a record cannot be read) CompareFileTimes: -2 the
// source cannot be opened, 2 the target cannot.
int CompareFileVersions(const char* source, const char* target);

// Compares two runtime version texts group by group: each of g1, g2, g3
// becomes -1 when the first text is smaller in that group, 1 when larger,
// 0 when equal or not given. An empty first text gives all -1 (true only
// when the second is not empty), an empty second one all 1. False for a
// null text.
bool CompareVersionStrings(const char* first, const char* second, int* g1, int* g2, int* g3);
