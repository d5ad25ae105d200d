// Multibyte path and file helpers shared by the player core and the graphics
// library: splitting and joining into bounded buffers, existence tests,
// whole-file mapping, free disk space, path validation, directory creation.
//
// "size" is always the destination buffer's size in bytes including the NUL.
// A result that would not fit makes the function answer false and leaves the
// destination unchanged, unless a function says otherwise. Backslash and
// slash both separate folders; scanning is lead-byte aware, so a trail byte
// that looks like a backslash is never taken for one.
//
// (Shell's shlwapi.h defines a PathCombine macro: do not include both.)
#pragma once

#include <windows.h>

// True when the path exists (file or folder).
bool PathAccessible(const char* path);
// True when the path is non-empty, exists and is not a folder.
bool FileExists(const char* path);

// The file name with its extension; false when it does not fit or is empty.
bool PathFileName(const char* path, char* dest, int size);
// The extension with its point ("" when there is none). When it does not
// fit, its first size - 1 bytes are copied (never half a character) and the
// answer is false.
bool PathExtension(const char* path, char* dest, int size);
// Drive and folder, without a final separator: C:\a\b.txt gives C:\a, b.txt
// gives "".
bool PathDirectory(const char* path, char* dest, int size);
// dir, one backslash unless dir already ends with a separator, then name.
// An empty dir gives name alone.
bool PathCombine(const char* dir, const char* name, char* dest, int size);
// Drive, folder and name of path with ext (a point is put in front of an ext
// that has none). dest may be path itself.
bool PathReplaceExtension(const char* path, const char* ext, char* dest, int size);

// The file's size (low 32 bits; the high part through `high` when given), or
// 0xFFFFFFFF (-1) when it does not exist or cannot be opened.
DWORD FileSizeOf(const char* path, DWORD* high = nullptr);

// Free bytes available to the caller on the drive of `path`. 0 on failure
// (logged as "GetDiskFreeSpace" with the Win32 error).
ULONGLONG GetDiskFree(const char* path);

// True for a full path: longer than 2 bytes, no blank at either end,
// beginning with a drive letter, ":" and a backslash, or with two
// backslashes; after that no backslash right after another backslash or
// after the beginning (blanks between do not count), and none of
// , ; < > [ ] * ? | / " ' and tab.
bool IsValidFileName(const char* path);

// Creates every missing folder along path (for \\server\share\... the server
// and share parts are skipped); true when the whole path exists at the end.
bool CreateDirectoryPath(const char* path);

// The whole file mapped for reading; its size through `size`. The caller
// unmaps the view with UnmapViewOfFile. Null on failure (logged), also for a
// file of 4 GB or more.
void* MapFileView(const char* path, DWORD* size);
// Read-only (shared for reading) or read-write (unshared) mapping of the
// whole file; the file and mapping handles are closed at once.
void* MapFileReadOnly(const char* path, DWORD* size, bool readOnly);

// NT family (any version above 3, or exactly 4 when asked) from a version record.
bool IsWindowsNTVersion(const OSVERSIONINFOA& version, bool exactlyNT4);
// The same for the running system.
bool IsWindowsNT(bool exactlyNT4);
