// File and path operations of the setup programs: file tests and path
// pieces, folder creation, file times, and copying a file with replacement
// at the next start of Windows when the target is in use. Paths are ANSI
// texts of at most MAX_PATH bytes; scanning is lead-byte aware.
#pragma once

#include <windows.h>

// True for a non-empty path whose attributes can be read and that is not a
// folder. (A path that may also be a folder: PathAccessible of bFileUtil.)
bool IsExistingFile(const char* path);
// Drive and folder of the path without the trailing backslash; false when
// they do not fit in size bytes (out untouched then).
bool GetFolder(const char* path, char* out, int size);
// The part after the last backslash (the whole path when there is none).
const char* GetFileNamePart(const char* path);
// The path (at most MAX_PATH bytes) with the extension of its file name
// replaced by ext, or ext appended when the name has none; a point in a
// folder name is no extension. out holds MAX_PATH bytes; false when the
// result does not fit.
bool ReplaceExtension(char* out, const char* path, const char* ext);
// True when the file name's extension is exe, dll, drv or shd, in any case.
bool IsVersionedFile(const char* path);
// Gives the target the creation, access and write times of the source;
// false when either cannot be opened.
bool CopyFileTimes(const char* target, const char* source);
// -2 when the source cannot be opened, 2 when the target cannot, else the
// last-write times compared: -1 older, 0 equal, 1 newer source.
int CompareFileTimes(const char* source, const char* target);
// Creates each missing folder along the path, level by level; false as
// soon as one creation fails.
bool CreateDirectorys(const char* path);

// Copies source over target. flag: 0 copied; 1 the target is in use and is
// replaced at the next start of Windows (the result is then true); on every
// failure the Win32 error. ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND
// when the source or target folder is missing.
bool CopyFileReplace(const char* source, const char* target, DWORD* flag);
