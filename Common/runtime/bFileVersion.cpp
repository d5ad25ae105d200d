#include "bFileVersion.h"

#include <string.h>

int GetFileVersion(const char* path, VS_FIXEDFILEINFO* out) {
    if (!path || !out)
        return 0;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (!size)
        return 0;
    // Plain heap memory: the launcher links this without the C++ library.
    void* block = HeapAlloc(GetProcessHeap(), 0, size);
    if (!block)
        return 0;
    int ok = 0;
    void* info = nullptr;
    UINT len = 0;
    if (GetFileVersionInfoA(path, 0, size, block) && VerQueryValueA(block, "\\", &info, &len) &&
        info && len >= sizeof(VS_FIXEDFILEINFO)) {
        memcpy(out, info, sizeof(VS_FIXEDFILEINFO));
        ok = 1;
    }
    HeapFree(GetProcessHeap(), 0, block);
    return ok;
}
