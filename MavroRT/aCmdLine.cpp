#include "aCmdLine.h"

#include <windows.h>
#include <mbstring.h>
#include <string.h>

const char* FindOneOf(const char* text, const char* set) {
    if (!text || !set)
        return nullptr;
    for (const char* p = text; *p; ++p) {
        if (IsDBCSLeadByte((BYTE)*p)) {
            if (!p[1])
                break;
            ++p;
            continue;
        }
        if (strchr(set, *p))
            return p + 1;
    }
    return nullptr;
}

static void CopyCut(char* dst, int size, const char* src, size_t n) {
    if (size <= 0)
        return;
    if (n > (size_t)(size - 1))
        n = (size_t)(size - 1);
    memcpy(dst, src, n);
    dst[n] = 0;
}

bool ParseRuntimeSwitch(const char* commandLine, char* path, int size) {
    if (path && size > 0)
        path[0] = 0;
    if (!commandLine)
        return false;
    const char* p = commandLine;
    for (;;) {
        p = FindOneOf(p, "-/");
        if (!p)
            return false;
        if (*p == 'R' || *p == 'r')
            break;
    }
    ++p;  // past the switch letter
    while (*p && _ismbcspace((unsigned char)*p)) ++p;
    if (*p == '"') {
        const char* start = p + 1;
        const char* end = reinterpret_cast<const char*>(
            _mbschr(reinterpret_cast<const unsigned char*>(start), '"'));
        if (!end)
            end = start + strlen(start);
        CopyCut(path, size, start, (size_t)(end - start));
    } else {
        CopyCut(path, size, p, strlen(p));
    }
    return true;
}

void RuntimeTitle(const char* path, char* title, int size) {
    if (!title || size <= 0)
        return;
    title[0] = 0;
    if (!path)
        return;
    const char* name = path;
    const char* dot = nullptr;
    for (const char* p = path; *p; ++p) {
        if (IsDBCSLeadByte((BYTE)*p) && p[1]) {
            ++p;
            continue;
        }
        if (*p == '\\' || *p == '/' || *p == ':') {
            name = p + 1;
            dot = nullptr;
        } else if (*p == '.') {
            dot = p;
        }
    }
    size_t n = dot ? (size_t)(dot - name) : strlen(name);
    CopyCut(title, size, name, n);
}
