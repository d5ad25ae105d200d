#include "bStrConv.h"

#include <limits.h>
#include <string.h>
#include <wchar.h>

std::wstring WideFromMultibyte(const char* text, size_t length) {
    std::wstring out;
    if (!text || length == 0 || length > INT_MAX)
        return out;
    int n = MultiByteToWideChar(CP_ACP, 0, text, (int)length, nullptr, 0);
    if (n <= 0)
        return out;
    out.resize((size_t)n);
    MultiByteToWideChar(CP_ACP, 0, text, (int)length, &out[0], n);
    return out;
}

std::wstring WideFromMultibyte(const char* text) {
    return text ? WideFromMultibyte(text, strlen(text)) : std::wstring();
}

std::string MultibyteFromWide(const WCHAR* text, size_t length) {
    std::string out;
    if (!text || length == 0 || length > INT_MAX)
        return out;
    int n = WideCharToMultiByte(CP_ACP, 0, text, (int)length, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return out;
    out.resize((size_t)n);
    WideCharToMultiByte(CP_ACP, 0, text, (int)length, &out[0], n, nullptr, nullptr);
    return out;
}

std::string MultibyteFromWide(const WCHAR* text) {
    return text ? MultibyteFromWide(text, wcslen(text)) : std::string();
}

BSTR BstrFromMultibyte(const char* text, size_t length) {
    if (!text || length == 0 || length > INT_MAX)
        return SysAllocStringLen(L"", 0);
    int n = MultiByteToWideChar(CP_ACP, 0, text, (int)length, nullptr, 0);
    BSTR s = SysAllocStringLen(nullptr, (UINT)(n > 0 ? n : 0));
    if (s && n > 0)
        MultiByteToWideChar(CP_ACP, 0, text, (int)length, s, n);
    return s;
}

std::string MultibyteFromBstr(BSTR s) {
    return MultibyteFromWide(s, s ? SysStringLen(s) : 0);
}

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

static inline bool IsLead(unsigned char c) {
    return c >= 0x80 && IsDBCSLeadByte(c);
}
static inline unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c + ('a' - 'A')) : c;
}

std::string MbFoldCase(const char* text) {
    std::string folded;
    if (!text)
        return folded;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (IsLead(*p) && p[1]) {
            folded += (char)*p++;
            folded += (char)*p;
        } else {
            folded += (char)FoldAscii(*p);
        }
    }
    return folded;
}

int MbsNICmp(const char* a, const char* b, size_t n) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a ? a : "");
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b ? b : "");
    size_t i = 0;
    bool inDouble = false;  // the previous byte was a lead byte of both texts
    while (i < n) {
        unsigned char c = p[i], d = q[i];
        if (!inDouble) {
            c = FoldAscii(c);
            d = FoldAscii(d);
        }
        if (c != d)
            return c < d ? -1 : 1;
        if (c == 0)
            return 0;
        inDouble = !inDouble && IsLead(p[i]);
        ++i;
    }
    return 0;
}

int MbsICmp(const char* a, const char* b) {
    return MbsNICmp(a, b, (size_t)-1);
}
