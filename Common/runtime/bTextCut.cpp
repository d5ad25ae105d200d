#include "bTextCut.h"

#include <string.h>

size_t MbCutLength(const char* text, size_t limit) {
    size_t i = 0;
    while (i < limit && text[i]) {
        if (IsDBCSLeadByte((BYTE)text[i])) {
            if (i + 1 >= limit || !text[i + 1])
                break;
            i += 2;
        } else {
            ++i;
        }
    }
    return i;
}

void MbCopyCut(char* dest, size_t size, const char* text) {
    if (!dest || size == 0)
        return;
    size_t n = text ? MbCutLength(text, size - 1) : 0;
    if (n)
        memcpy(dest, text, n);
    dest[n] = 0;
}

bool MbIEqual(const char* a, const char* b) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a ? a : "");
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b ? b : "");
    for (;;) {
        unsigned char c = *p, d = *q;
        if (c >= 0x80 && IsDBCSLeadByte(c)) {
            if (c != d || p[1] != q[1])
                return false;
            if (!p[1])
                return true;
            p += 2;
            q += 2;
            continue;
        }
        if (c >= 'A' && c <= 'Z')
            c = (unsigned char)(c + 32);
        if (d >= 'A' && d <= 'Z')
            d = (unsigned char)(d + 32);
        if (c != d)
            return false;
        if (!c)
            return true;
        ++p;
        ++q;
    }
}
