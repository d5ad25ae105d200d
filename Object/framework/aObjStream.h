// Checked reads of object records from a stream: every count and length is
// measured against what remains before it is used.
#pragma once

#include "bStorage.h"

// Bytes left from the current position.
inline ULONGLONG StreamRemaining(ITeskStream* stream) {
    ULONGLONG size = stream->GetSize(), pos = stream->GetPosition();
    return pos < size ? size - pos : 0;
}
inline bool StreamHas(ITeskStream* stream, ULONGLONG n) {
    return n <= StreamRemaining(stream);
}
// A 32-bit value; false (nothing read) when the stream holds fewer bytes.
template <class T>
inline bool StreamReadValue(ITeskStream* stream, T* value) {
    static_assert(sizeof(T) == 4 || sizeof(T) == 2 || sizeof(T) == 1, "small values only");
    if (!StreamHas(stream, sizeof(T)))
        return false;
    stream->Read(value, sizeof(T));
    return true;
}
template <class T>
inline void StreamWriteValue(ITeskStream* stream, T value) {
    stream->Write(&value, sizeof(T));
}
