// Small helpers for the pixel buffer tests: buffers with given pixels and
// direct reads of what a blit left behind.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "PixelFixtures.h"
#include "aGDIBuf.h"
#include "aKernels.h"

namespace pixtest {

// The two spare rows after the last one, which nothing may write.
inline void FillSpareRows(IPixelBuffer* buffer, DWORD value) {
    BufferInfo info = Info(buffer);
    for (int y = info.nHeight; y < info.nHeight + 2; ++y)
        for (int x = 0; x < info.nWidth; ++x) Row(buffer, y)[x] = value;
}
inline bool SpareRowsAre(IPixelBuffer* buffer, DWORD value) {
    BufferInfo info = Info(buffer);
    for (int y = info.nHeight; y < info.nHeight + 2; ++y)
        for (int x = 0; x < info.nWidth; ++x)
            if (Row(buffer, y)[x] != value)
                return false;
    return true;
}

inline RECT Rect(int l, int t, int r, int b) {
    return RECT{l, t, r, b};
}

// A new object of class T held by its concrete type.
template <class T>
CComPtr<CComObject<T>> Make() {
    CComPtr<CComObject<T>> p;
    CComObject<T>* object = nullptr;
    EXPECT_EQ(S_OK, CComObject<T>::CreateInstance(&object));
    p = object;
    return p;
}

// The kernel paths a test runs on: plain, the SSE2 kernels alone, and the
// SSE2 kernels with their AVX2 code (skipped where the processor lacks it).
enum KernelPath { kPathPlain, kPathSse2, kPathAvx2 };

class KernelPathTest : public testing::TestWithParam<KernelPath> {
protected:
    void SetUp() override {
        oldVector_ = SetBlitKernelVector(GetParam() != kPathPlain);
        oldAvx2_ = SetBlitKernelAvx2(GetParam() == kPathAvx2);
        if (GetParam() == kPathAvx2 && !IsBlitKernelAvx2())
            GTEST_SKIP() << "no AVX2 on this processor";
    }
    void TearDown() override {
        SetBlitKernelVector(oldVector_);
        SetBlitKernelAvx2(oldAvx2_);
    }
    bool oldVector_ = true, oldAvx2_ = true;
};

inline std::string KernelPathName(const testing::TestParamInfo<KernelPath>& p) {
    return p.param == kPathPlain ? "Plain" : p.param == kPathSse2 ? "Sse2" : "Avx2";
}

#define INSTANTIATE_KERNEL_PATHS(suite)                                               \
    INSTANTIATE_TEST_SUITE_P(                                                         \
        Paths, suite,                                                                 \
        testing::Values(pixtest::kPathPlain, pixtest::kPathSse2, pixtest::kPathAvx2), \
        pixtest::KernelPathName)

}  // namespace pixtest
