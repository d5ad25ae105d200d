// Helpers of the drawing library tests: buffers, streams, the CJK face.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aGDIBuf.h"
#include "aStorage.h"
#include "StreamFixtures.h"
#include "bComBase.h"

namespace drawtest {

// "宋体" in code page 936; the test machines map it to WenQuanYi Micro Hei.
constexpr const char* kSongTi = "\xCB\xCE\xCC\xE5";

inline BufferInfo Info(IPixelBuffer* buffer) {
    return ReadBufferInfo(buffer);
}

inline DWORD& Pixel(IPixelBuffer* buffer, int x, int y) {
    BufferInfo info = Info(buffer);
    return reinterpret_cast<DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch)[x];
}

inline CComPtr<IPixelBuffer> MakeBuffer(int width, int height, DWORD fill) {
    CComPtr<IPixelBuffer> buffer;
    buffer.Attach(CreateGDIBuffer(width, height));
    EXPECT_TRUE(buffer != nullptr);
    if (buffer)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) Pixel(buffer, x, y) = fill;
    return buffer;
}

inline std::vector<DWORD> Pixels(IPixelBuffer* buffer) {
    BufferInfo info = Info(buffer);
    std::vector<DWORD> out;
    for (int y = 0; y < info.nHeight; ++y)
        for (int x = 0; x < info.nWidth; ++x) out.push_back(Pixel(buffer, x, y));
    return out;
}

inline CComPtr<ITeskStream> NewStream() {
    CComPtr<ITeskStream> s;
    CreateMemStream(&s, 4096);
    return s;
}

// A Load through the stream interface: its answer, or E_ABORT when the
// stream threw on a short read.
template <class T>
HRESULT LoadFrom(T* object, const std::string& bytes, ULONGLONG* position = nullptr) {
    CComPtr<ITeskStream> s = MemStreamOf(bytes);
    HRESULT hr;
    try {
        hr = object->Load(s);
    } catch (const CTeskStreamExcept&) {
        hr = E_ABORT;
    }
    if (position)
        *position = s->GetPosition();
    return hr;
}

template <class T>
std::string SavedBytes(T* object) {
    CComPtr<ITeskStream> s = NewStream();
    EXPECT_EQ(S_OK, object->Save(s));
    return Contents(s);
}

inline void PutU32(std::string& s, size_t at, DWORD v) {
    for (int i = 0; i < 4; ++i) s[at + i] = (char)((v >> (8 * i)) & 0xFF);
}
inline std::string U32(DWORD v) {
    std::string s(4, '\0');
    PutU32(s, 0, v);
    return s;
}

}  // namespace drawtest
