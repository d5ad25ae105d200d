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

std::string MbFoldCase(const char* text) {
    std::string folded;
    if (!text)
        return folded;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (MbIsLeadByte(*p) && p[1]) {
            folded += (char)*p++;
            folded += (char)*p;
        } else {
            folded += (char)MbFoldByte(*p);
        }
    }
    return folded;
}
