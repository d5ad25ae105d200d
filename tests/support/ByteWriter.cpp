#include "ByteWriter.h"

#include <windows.h>

CByteWriter& CByteWriter::WideFixed(const char* text, size_t units) {
    std::wstring wide;
    int n = MultiByteToWideChar(CP_ACP, 0, text ? text : "", -1, nullptr, 0);
    if (n > 0) {
        wide.resize((size_t)n);
        MultiByteToWideChar(CP_ACP, 0, text ? text : "", -1, &wide[0], n);
    }
    for (size_t i = 0; i < units; ++i)
        U16(i + 1 < units && i < wide.size() ? (uint16_t)wide[i] : 0);
    return *this;
}
