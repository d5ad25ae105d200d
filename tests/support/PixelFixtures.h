// Pixel buffers with given pixels, and direct reads of what drawing left in
// them, for the buffer, fill and object tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "aGDIBuf.h"

namespace pixtest {

inline BufferInfo Info(IPixelBuffer* buffer, WORD mask = BIM_ALL) {
    return ReadBufferInfo(buffer, mask);
}

inline DWORD* Row(IPixelBuffer* buffer, int y) {
    BufferInfo info = Info(buffer);
    return reinterpret_cast<DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch);
}

inline DWORD& Pixel(IPixelBuffer* buffer, int x, int y) {
    return Row(buffer, y)[x];
}

// A created CGDIBuffer of width x height whose pixels are given row by row
// (or all set to fill when fewer are given).
inline CComPtr<IPixelBuffer> MakeBuffer(int width, int height,
                                        std::initializer_list<DWORD> pixels = {}, DWORD fill = 0) {
    CComPtr<IPixelBuffer> buffer;
    buffer.Attach(CreateGDIBuffer(width, height));
    EXPECT_TRUE(buffer != nullptr);
    if (!buffer)
        return buffer;
    auto it = pixels.begin();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) Pixel(buffer, x, y) = it != pixels.end() ? *it++ : fill;
    return buffer;
}

inline std::vector<DWORD> Pixels(IPixelBuffer* buffer) {
    BufferInfo info = Info(buffer);
    std::vector<DWORD> out;
    for (int y = 0; y < info.nHeight; ++y)
        for (int x = 0; x < info.nWidth; ++x) out.push_back(Pixel(buffer, x, y));
    return out;
}

// The colours (0x00RRGGBB) of a rectangle of a buffer that has to be
// locked to be read, row by row; empty when the lock fails.
inline std::vector<DWORD> LockedPixels(IPixelBuffer* buffer, const RECT& r) {
    std::vector<DWORD> out;
    if (!buffer || FAILED(buffer->Lock(PIXLOCK_READ)))
        return out;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) out.push_back(Pixel(buffer, x, y) & 0xFFFFFF);
    buffer->Unlock();
    return out;
}

// One pixel read so; 0xFFFFFFFF when the lock fails.
inline DWORD LockedPixel(IPixelBuffer* buffer, int x, int y) {
    const std::vector<DWORD> p = LockedPixels(buffer, RECT{x, y, x + 1, y + 1});
    return p.empty() ? 0xFFFFFFFF : p[0];
}

}  // namespace pixtest
