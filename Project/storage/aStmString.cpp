// Stream strings: the text encoding of every object record.
#include "aStorage.h"
#include "bByteOrder.h"

#include <string.h>
#include <vector>

bool WriteStringToStream(const char* text, ITeskStream* stream) {
    if (!stream)
        return false;
    if (!text)
        text = "";
    size_t len = strlen(text);
    // Longer texts cannot be read back (ReadWideString refuses them).
    if (len > 0xFFFF)
        return false;
    ULONG n = (ULONG)len;
    BYTE count[4];
    PutU32LE(count, n);
    stream->Write(count, 4);
    if (n)
        stream->WriteWideString(text, n);
    return true;
}

bool WriteStringToStream(const std::string& text, ITeskStream* stream) {
    return WriteStringToStream(text.c_str(), stream);
}

bool ReadStringFromStream(std::string& text, ITeskStream* stream) {
    if (!stream)
        return false;
    BYTE count[4] = {0, 0, 0, 0};
    stream->Read(count, 4);
    ULONG n = GetU32LE(count);
    if (n == 0) {
        text.clear();
        return true;
    }
    // ReadWideString throws before reading when n is above 0xFFFF.
    std::vector<char> buffer(n <= 0xFFFF ? n + 1 : 1, 0);
    stream->ReadWideString(n <= 0xFFFF ? buffer.data() : nullptr, n);
    buffer[buffer.size() - 1] = 0;
    text.assign(buffer.data());
    return true;
}
