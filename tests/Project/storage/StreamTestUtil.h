// Memory-stream helpers shared by the project tests.
#pragma once

#include <string>

#include "aStorage.h"
#include "bComBase.h"

// A memory stream holding bytes, set for reading from the start.
inline CComPtr<ITeskStream> MemStreamOf(const std::string& bytes) {
    CComPtr<ITeskStream> s;
    CreateMemStream(&s, 32000);
    if (!bytes.empty())
        s->Write(bytes.data(), (ULONG)bytes.size());
    s->SetMode(0);
    s->Seek(0, TESK_SEEK_SET);
    return s;
}

// Everything a stream holds, read from its start.
inline std::string Contents(ITeskStream* s) {
    std::string out((size_t)s->GetSize(), '\0');
    s->Seek(0, TESK_SEEK_SET);
    if (!out.empty())
        s->Read(&out[0], (ULONG)out.size());
    return out;
}
