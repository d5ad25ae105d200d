#include "ByteWriter.h"

#include <windows.h>

std::wstring ByteWriterWide(const char* text) {
    std::wstring wide;
    int n = MultiByteToWideChar(CP_ACP, 0, text ? text : "", -1, nullptr, 0);
    if (n > 0) {
        wide.resize((size_t)n);
        MultiByteToWideChar(CP_ACP, 0, text ? text : "", -1, &wide[0], n);
    }
    return wide;
}
