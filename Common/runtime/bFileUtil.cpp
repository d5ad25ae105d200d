#include "bFileUtil.h"

#include <io.h>
#include <string.h>

#include <string>

#include "bHandles.h"
#include "bStrConv.h"
#include "bTraceLog.h"

namespace {

inline bool IsSep(char c) {
    return c == '\\' || c == '/';
}

// The parts of a path as _splitpath cuts them: drive ("X:"), folder (up to
// and including the last separator), name (up to the last point of the
// file part) and extension (from that point). Offsets into the path.
struct PathParts {
    size_t driveEnd, dirEnd, nameEnd, end;
};

PathParts SplitPath(const char* path) {
    PathParts p = {0, 0, 0, 0};
    size_t len = strlen(path);
    if (len >= 2 && path[1] == ':' && !IsDBCSLeadByte((BYTE)path[0]))
        p.driveEnd = 2;
    size_t lastSep = (size_t)-1, lastDot = (size_t)-1;
    for (size_t i = p.driveEnd; i < len; ++i) {
        if (IsDBCSLeadByte((BYTE)path[i]) && i + 1 < len) {
            ++i;
            continue;
        }
        if (IsSep(path[i])) {
            lastSep = i;
            lastDot = (size_t)-1;
        } else if (path[i] == '.') {
            lastDot = i;
        }
    }
    p.dirEnd = lastSep == (size_t)-1 ? p.driveEnd : lastSep + 1;
    p.nameEnd = lastDot == (size_t)-1 ? len : lastDot;
    p.end = len;
    return p;
}

// True when the text's last character is a separator (not a trail byte).
bool EndsWithSep(const char* text) {
    bool last = false;
    for (size_t i = 0; text[i]; ++i) {
        if (IsDBCSLeadByte((BYTE)text[i]) && text[i + 1]) {
            ++i;
            last = false;
        } else {
            last = IsSep(text[i]);
        }
    }
    return last;
}

bool CopyIfFits(const std::string& text, char* dest, int size) {
    if (!dest || size <= 0 || text.size() + 1 > (size_t)size)
        return false;
    memcpy(dest, text.c_str(), text.size() + 1);
    return true;
}

bool IsFolder(const char* path) {
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool PathAccessible(const char* path) {
    return path && _access(path, 0) == 0;
}

bool FileExists(const char* path) {
    if (!path || !*path)
        return false;
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathFileName(const char* path, char* dest, int size) {
    if (!path)
        return false;
    PathParts p = SplitPath(path);
    std::string name(path + p.dirEnd, p.end - p.dirEnd);
    if (name.empty())
        return false;
    return CopyIfFits(name, dest, size);
}

bool PathExtension(const char* path, char* dest, int size) {
    if (!path || !dest || size <= 0)
        return false;
    PathParts p = SplitPath(path);
    const char* ext = path + p.nameEnd;
    size_t len = p.end - p.nameEnd;
    if (len + 1 <= (size_t)size) {
        memcpy(dest, ext, len + 1);
        return true;
    }
    size_t n = MbCutLength(ext, (size_t)size - 1);  // cuts inside the extension
    memcpy(dest, ext, n);
    dest[n] = 0;
    return false;
}

bool PathDirectory(const char* path, char* dest, int size) {
    if (!path)
        return false;
    PathParts p = SplitPath(path);
    std::string dir(path, p.dirEnd);
    if (p.dirEnd > p.driveEnd)
        dir.pop_back();  // the final separator
    return CopyIfFits(dir, dest, size);
}

bool PathCombine(const char* dir, const char* name, char* dest, int size) {
    std::string out = dir ? dir : "";
    if (!out.empty() && !EndsWithSep(out.c_str()))
        out += '\\';
    out += name ? name : "";
    return CopyIfFits(out, dest, size);
}

bool PathReplaceExtension(const char* path, const char* ext, char* dest, int size) {
    if (!path)
        return false;
    PathParts p = SplitPath(path);
    std::string out(path, p.nameEnd);
    if (ext && *ext) {
        if (*ext != '.')
            out += '.';
        out += ext;
    }
    return CopyIfFits(out, dest, size);
}

DWORD FileSizeOf(const char* path, DWORD* high) {
    if (high)
        *high = 0;
    if (!path || !*path)
        return (DWORD)-1;
    CHandle h(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.IsValid())
        return (DWORD)-1;
    DWORD hi = 0;
    DWORD lo = GetFileSize(h.Get(), &hi);
    if (high)
        *high = hi;
    return lo;
}

ULONGLONG GetDiskFree(const char* path) {
    char root[128];
    const char* src = path ? path : "";
    size_t len = strlen(src);
    // Keep the text up to the last ":" and one character more (the root).
    size_t colon = (size_t)-1;
    for (size_t i = 0; i < len; ++i) {
        if (IsDBCSLeadByte((BYTE)src[i]) && i + 1 < len) {
            ++i;
            continue;
        }
        if (src[i] == ':')
            colon = i;
    }
    if (colon != (size_t)-1 && colon + 2 < len)
        len = colon + 2;
    len = MbCutLength(src, len < sizeof(root) - 1 ? len : sizeof(root) - 1);
    memcpy(root, src, len);
    root[len] = 0;

    ULARGE_INTEGER avail;
    if (GetDiskFreeSpaceExA(root, &avail, nullptr, nullptr))
        return avail.QuadPart;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return (ULONGLONG)sectorsPerCluster * bytesPerSector * freeClusters;
    LOG_WIN32_ERROR(0, "GetDiskFreeSpace");
    return 0;
}

bool IsValidFileName(const char* path) {
    if (!path)
        return false;
    size_t len = strlen(path);
    if (len <= 2)
        return false;
    if (path[0] == ' ' || path[len - 1] == ' ')
        return false;
    size_t i;
    BYTE c0 = (BYTE)path[0];
    if (((c0 >= 'A' && c0 <= 'Z') || (c0 >= 'a' && c0 <= 'z')) && path[1] == ':' && path[2] == '\\')
        i = 3;
    else if (path[0] == '\\' && path[1] == '\\')
        i = 2;
    else
        return false;
    // The previous character that is not a blank was a backslash (or the
    // rest has only just begun).
    bool afterBackslash = true;
    for (; i < len; ++i) {
        char c = path[i];
        if (IsDBCSLeadByte((BYTE)c) && i + 1 < len) {
            ++i;
            afterBackslash = false;
            continue;
        }
        if (c == '\\') {
            if (afterBackslash)
                return false;
            afterBackslash = true;
            continue;
        }
        if (c == ' ')
            continue;
        if (strchr(",;<>[]*?|/\"'\t", c))
            return false;
        afterBackslash = false;
    }
    return true;
}

bool CreateDirectoryPath(const char* path) {
    if (!path || !*path)
        return false;
    size_t len = strlen(path);
    size_t start = 0;
    if (len >= 2 && IsSep(path[0]) && IsSep(path[1])) {
        // \\server\share\: the first folder to create comes after the share.
        int seps = 0;
        for (start = 2; start < len && seps < 2; ++start) {
            if (IsDBCSLeadByte((BYTE)path[start]) && start + 1 < len) {
                ++start;
                continue;
            }
            if (IsSep(path[start]))
                ++seps;
        }
    } else if (len >= 2 && path[1] == ':' && !IsDBCSLeadByte((BYTE)path[0])) {
        start = (len >= 3 && IsSep(path[2])) ? 3 : 2;
    } else if (IsSep(path[0])) {
        start = 1;
    }
    std::string part;
    for (size_t i = start; i < len; ++i) {
        if (IsDBCSLeadByte((BYTE)path[i]) && i + 1 < len) {
            ++i;
            continue;
        }
        if (IsSep(path[i]) && i > start) {
            part.assign(path, i);
            if (!IsFolder(part.c_str()))
                CreateDirectoryA(part.c_str(), nullptr);
        }
    }
    if (!IsFolder(path))
        CreateDirectoryA(path, nullptr);
    return IsFolder(path);
}

void* MapFileView(const char* path, DWORD* size) {
    return MapFileReadOnly(path, size, true);
}

void* MapFileReadOnly(const char* path, DWORD* size, bool readOnly) {
    TRACE_POINT();
    if (size)
        *size = 0;
    if (!path)
        path = "";
    CHandle file(CreateFileA(path, readOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                             readOnly ? FILE_SHARE_READ : 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        LOG_WIN32_ERROR(0, "Cannot open file: %s", path);
        return nullptr;
    }
    // The size is reported in 32 bits: a file of 4 GB or more is refused.
    DWORD high = 0;
    DWORD fileSize = GetFileSize(file.Get(), &high);
    if (high != 0 || fileSize == INVALID_FILE_SIZE) {
        LOG_MSG("Cannot open file: %s -- too large", path);
        return nullptr;
    }
    if (size)
        *size = fileSize;
    CHandle mapping(CreateFileMappingA(file.Get(), nullptr,
                                       readOnly ? PAGE_READONLY : PAGE_READWRITE, 0, 0, nullptr));
    if (!mapping.IsValid()) {
        LOG_WIN32_ERROR(0, "CreateFileMapping failed: %s", path);
        return nullptr;
    }
    void* view = MapViewOfFile(mapping.Get(), readOnly ? FILE_MAP_READ : FILE_MAP_WRITE, 0, 0, 0);
    if (!view)
        LOG_WIN32_ERROR(0, "MapViewOfFile failed: %s", path);
    return view;
}

bool IsWindowsNTVersion(const OSVERSIONINFOA& version, bool exactlyNT4) {
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT)
        return false;
    return exactlyNT4 ? version.dwMajorVersion == 4 : version.dwMajorVersion > 3;
}

bool IsWindowsNT(bool exactlyNT4) {
    OSVERSIONINFOA vi;
    ZeroMemory(&vi, sizeof(vi));
    vi.dwOSVersionInfoSize = sizeof(vi);
    if (!GetVersionExA(&vi))
        return false;
    return IsWindowsNTVersion(vi, exactlyNT4);
}
