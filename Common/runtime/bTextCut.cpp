#include "bTextCut.h"

#include <string.h>

size_t MbCutLength(const char* text, size_t limit) {
    if (!text)
        return 0;
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
    MbCopyCutN(dest, size, text, (size_t)-1);
}

void MbCopyCutN(char* dest, size_t size, const char* text, size_t length) {
    if (!dest || size == 0)
        return;
    size_t n = text ? MbCutLength(text, length < size - 1 ? length : size - 1) : 0;
    if (n)
        memcpy(dest, text, n);
    dest[n] = 0;
}

int MbsNICmp(const char* a, const char* b, size_t n) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a ? a : "");
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b ? b : "");
    size_t i = 0;
    bool inDouble = false;  // the previous byte was a lead byte of both texts
    while (i < n) {
        unsigned char c = p[i], d = q[i];
        if (!inDouble) {
            c = MbFoldByte(c);
            d = MbFoldByte(d);
        }
        if (c != d)
            return c < d ? -1 : 1;
        if (c == 0)
            return 0;
        inDouble = !inDouble && MbIsLeadByte(p[i]);
        ++i;
    }
    return 0;
}

int MbsICmp(const char* a, const char* b) {
    return MbsNICmp(a, b, (size_t)-1);
}
