// Memory streams holding test bytes, and what a stream holds or throws.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aStorage.h"
#include "bComBase.h"

// An empty memory stream set for writing.
inline CComPtr<ITeskStream> NewMemStream() {
    CComPtr<ITeskStream> s;
    EXPECT_EQ(CreateMemStream(&s, 4096), S_OK);
    s->SetMode(1);
    return s;
}

// Sets a written stream for reading from its start.
inline void SetForReading(ITeskStream* s) {
    s->Seek(0, TESK_SEEK_SET);
    s->SetMode(0);
}

// A memory stream holding the bytes, set for reading from the start.
inline CComPtr<ITeskStream> MemStreamOf(const void* bytes, size_t size) {
    CComPtr<ITeskStream> s = NewMemStream();
    if (size)
        s->Write(bytes, (ULONG)size);
    SetForReading(s);
    return s;
}

inline CComPtr<ITeskStream> MemStreamOf(const std::string& bytes) {
    return MemStreamOf(bytes.data(), bytes.size());
}

inline CComPtr<ITeskStream> MemStreamOf(const std::vector<BYTE>& bytes) {
    return MemStreamOf(bytes.data(), bytes.size());
}

// Everything a stream holds, read from its start.
inline std::string Contents(ITeskStream* s) {
    std::string out((size_t)s->GetSize(), '\0');
    s->Seek(0, TESK_SEEK_SET);
    if (!out.empty())
        s->Read(&out[0], (ULONG)out.size());
    return out;
}

// The same as bytes, the stream left set for reading.
inline std::vector<BYTE> ContentBytes(ITeskStream* s) {
    std::vector<BYTE> out((size_t)s->GetSize());
    s->Seek(0, TESK_SEEK_SET);
    s->SetMode(0);
    if (!out.empty())
        s->Read(out.data(), (ULONG)out.size());
    return out;
}

// The code of the stream exception the call throws; -1 when it throws none.
template <class Call>
int StreamExceptCode(Call call) {
    try {
        call();
    } catch (const CTeskStreamExcept& e) {
        return e.GetCode();
    }
    return -1;
}
