#include "aSetupFile.h"

#include <string.h>

#include "aSetupUtility.h"
#include "bTraceLog.h"

namespace {

inline bool IsLead(char c) {
    return (BYTE)c >= 0x80 && IsDBCSLeadByte((BYTE)c);
}

// Offset of the last backslash (a real one, not a trail byte), or -1.
int LastBackslash(const char* path) {
    int last = -1;
    for (int i = 0; path[i]; ++i) {
        if (IsLead(path[i]) && path[i + 1]) {
            ++i;
            continue;
        }
        if (path[i] == '\\')
            last = i;
    }
    return last;
}

const DWORD HIDING_ATTRIBUTES =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

void ClearHidingAttributes(const char* path) {
    DWORD a = GetFileAttributesA(path);
    if (a != INVALID_FILE_ATTRIBUTES && (a & HIDING_ATTRIBUTES))
        SetFileAttributesA(path, a & ~HIDING_ATTRIBUTES);
}

HANDLE OpenForTimes(const char* path, DWORD access) {
    return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool IsExistingFile(const char* path) {
    if (!path || !*path)
        return false;
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool GetFolder(const char* path, char* out, int size) {
    if (!path || !out || size <= 0)
        return false;
    int end = LastBackslash(path);
    if (end < 0)
        end = 0;
    if (end >= size)
        return false;
    memcpy(out, path, (size_t)end);
    out[end] = 0;
    return true;
}

const char* GetFileNamePart(const char* path) {
    if (!path)
        return "";
    int last = LastBackslash(path);
    return last < 0 ? path : path + last + 1;
}

bool ReplaceExtension(char* out, const char* path, const char* ext) {
    if (!out || !path)
        return false;
    if (!ext)
        ext = "";
    // The extension starts at the last point after the last backslash.
    int nameStart = LastBackslash(path) + 1;
    int cut = -1;
    int i = nameStart;
    for (; path[i]; ++i) {
        if (IsLead(path[i]) && path[i + 1]) {
            ++i;
            continue;
        }
        if (path[i] == '.')
            cut = i;
    }
    if (cut < 0)
        cut = i;
    size_t extLength = strlen(ext);
    if ((size_t)cut + extLength >= MAX_PATH)
        return false;
    memmove(out, path, (size_t)cut);
    memcpy(out + cut, ext, extLength + 1);
    return true;
}

bool IsVersionedFile(const char* path) {
    const char* name = GetFileNamePart(path);
    const char* dot = strrchr(name, '.');
    if (!dot)
        return false;
    static const char* const kinds[] = {"exe", "dll", "drv", "shd"};
    for (const char* kind : kinds) {
        if (_stricmp(dot + 1, kind) == 0)
            return true;
    }
    return false;
}

bool CopyFileTimes(const char* target, const char* source) {
    HANDLE from = OpenForTimes(source, GENERIC_READ);
    if (from == INVALID_HANDLE_VALUE)
        return false;
    FILETIME created, accessed, written;
    bool ok = GetFileTime(from, &created, &accessed, &written) != 0;
    CloseHandle(from);
    if (!ok)
        return false;
    HANDLE to = OpenForTimes(target, GENERIC_WRITE);
    if (to == INVALID_HANDLE_VALUE)
        return false;
    ok = SetFileTime(to, &created, &accessed, &written) != 0;
    CloseHandle(to);
    return ok;
}

int CompareFileTimes(const char* source, const char* target) {
    HANDLE from = OpenForTimes(source, GENERIC_READ);
    if (from == INVALID_HANDLE_VALUE)
        return -2;
    HANDLE to = OpenForTimes(target, GENERIC_READ);
    if (to == INVALID_HANDLE_VALUE) {
        CloseHandle(from);
        return 2;
    }
    FILETIME a = {}, b = {};
    GetFileTime(from, nullptr, nullptr, &a);
    GetFileTime(to, nullptr, nullptr, &b);
    CloseHandle(from);
    CloseHandle(to);
    LONG r = CompareFileTime(&a, &b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

bool CreateDirectorys(const char* path) {
    if (!path || !*path)
        return false;
    char part[MAX_PATH];
    size_t length = strlen(path);
    if (length >= sizeof(part))
        return false;
    for (size_t i = 0; i <= length; ++i) {
        if (i < length && IsLead(path[i]) && path[i + 1]) {
            ++i;
            continue;
        }
        if (i < length && path[i] != '\\')
            continue;
        // A drive ("C:") or the empty start of "\\server" is no folder to make.
        if (i == 0 || path[i - 1] == ':' || path[i - 1] == '\\')
            continue;
        memcpy(part, path, i);
        part[i] = 0;
        DWORD a = GetFileAttributesA(part);
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        if (!CreateDirectoryA(part, nullptr))
            return false;
    }
    return true;
}

bool CopyFileReplace(const char* source, const char* target, DWORD* flag) {
    DWORD ignored = 0;
    if (!flag)
        flag = &ignored;
    if (!source || !target) {
        *flag = ERROR_INVALID_PARAMETER;
        return false;
    }
    ClearHidingAttributes(target);
    if (CopyFileA(source, target, FALSE)) {
        ClearHidingAttributes(target);
        *flag = 0;
        return true;
    }
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        *flag = error;
        return false;
    }

    // The target is in use: copy beside it and replace it at the next start.
    char shortTarget[MAX_PATH];
    DWORD n = GetShortPathNameA(target, shortTarget, sizeof(shortTarget));
    if (n == 0 || n >= sizeof(shortTarget)) {
        *flag = n ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        LOG_WIN32_ERROR(*flag, "Error GetShortPathName for: %s", target);
        return false;
    }
    const char* name = GetFileNamePart(shortTarget);
    const char* dot = strrchr(name, '.');
    char temporary[MAX_PATH];
    if (!ReplaceExtension(temporary, shortTarget,
                          dot && _stricmp(dot, ".tm!") == 0 ? ".t!!" : ".tm!")) {
        *flag = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    if (!CopyFileA(source, temporary, FALSE)) {
        *flag = GetLastError();
        return false;
    }
    if (IsWin9x()) {
        if (!WritePrivateProfileStringA("rename", shortTarget, temporary, "Wininit.ini")) {
            *flag = GetLastError();
            return false;
        }
    } else if (!MoveFileExA(target, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ||
               !MoveFileExA(temporary, target, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        *flag = GetLastError();
        return false;
    }
    *flag = 1;
    LOG_MSG("cannot replace file: %s, Add to registry: %s", target, temporary);
    return true;
}
