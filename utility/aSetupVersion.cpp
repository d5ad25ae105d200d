#include "aSetupVersion.h"

#include <stdio.h>

#include "aSetupFile.h"
#include "bFileVersion.h"
#include "bTraceLog.h"

bool GetFileVersionRecord(const char* path, VS_FIXEDFILEINFO* out) {
    return GetFileVersion(path, out) != 0;
}

int CompareFileVersions(const char* source, const char* target) {
    if (IsVersionedFile(target)) {
        VS_FIXEDFILEINFO from, to;
        const char* unread = nullptr;
        if (!GetFileVersionRecord(source, &from))
            unread = source;
        else if (!GetFileVersionRecord(target, &to))
            unread = target;
        if (!unread) {
            ULONGLONG a = ((ULONGLONG)from.dwFileVersionMS << 32) | from.dwFileVersionLS;
            ULONGLONG b = ((ULONGLONG)to.dwFileVersionMS << 32) | to.dwFileVersionLS;
            return a > b ? 1 : (a < b ? -1 : 0);
        }
        LOG_WIN32_ERROR(0, "Cannot get file version for %s, using time-stamp", unread);
    }
    return CompareFileTimes(source, target);
}

namespace {

// The fields of a version text; the number read (0 when none).
int ParseVersion(const char* text, int fields[10]) {
    int n =
        sscanf(text, "%d.%d-%d.%d.%d.%d-%d.%d.%d.%d", &fields[0], &fields[1], &fields[2],
               &fields[3], &fields[4], &fields[5], &fields[6], &fields[7], &fields[8], &fields[9]);
    return n < 0 ? 0 : n;
}

}  // namespace

bool CompareVersionStrings(const char* first, const char* second, int* g1, int* g2, int* g3) {
    int ignored[3];
    int* groups[3] = {g1 ? g1 : &ignored[0], g2 ? g2 : &ignored[1], g3 ? g3 : &ignored[2]};
    if (!first || !second)
        return false;
    for (int* g : groups) *g = 0;
    if (!*first) {
        for (int* g : groups) *g = -1;
        return *second != 0;
    }
    if (!*second) {
        for (int* g : groups) *g = 1;
        return true;
    }
    int a[10], b[10];
    int na = ParseVersion(first, a), nb = ParseVersion(second, b);
    int n = na < nb ? na : nb;
    // Group of each field: 1-2, 3-6, 7-10.
    static const int groupOf[10] = {0, 0, 1, 1, 1, 1, 2, 2, 2, 2};
    for (int i = 0; i < n; ++i) {
        if (a[i] == b[i])
            continue;
        int g = groupOf[i];
        *groups[g] = a[i] < b[i] ? -1 : 1;
        if (g == 2)
            break;
        // On to the first field of the next group.
        i = g == 0 ? 1 : 5;
    }
    return true;
}
