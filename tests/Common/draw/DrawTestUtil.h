// Helpers of the drawing library tests: buffers, streams, the CJK face.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aGDIBuf.h"
#include "aStorage.h"
#include "PixelFixtures.h"
#include "StreamFixtures.h"
#include "bComBase.h"

namespace drawtest {

// "宋体" in code page 936; the test machines map it to WenQuanYi Micro Hei.
constexpr const char* kSongTi = "\xCB\xCE\xCC\xE5";

using pixtest::Info;
using pixtest::Pixel;
using pixtest::Pixels;

inline CComPtr<IPixelBuffer> MakeBuffer(int width, int height, DWORD fill) {
    return pixtest::MakeBuffer(width, height, {}, fill);
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
    CComPtr<ITeskStream> s = NewMemStream();
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
