// Tests on a real DirectDraw object, behind an owner record whose
// capabilities are zero: every blit goes through the software kernels
// unless a test sets them.
#pragma once

#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "aDXBuf.h"

// IID_IDirectDraw4, without the dxguid library.
const IID kIDirectDraw4 = {
    0x9C59509A, 0x39BD, 0x11D1, {0x8C, 0x4A, 0x00, 0xC0, 0x4F, 0xD9, 0x30, 0xC5}};

class DirectDrawFixture : public testing::Test {
protected:
    void SetUp() override {
        memset(&owner, 0, sizeof(owner));
        IDirectDraw* dd = nullptr;
        ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
        ASSERT_EQ(dd->QueryInterface(kIDirectDraw4, (void**)&owner.pDirectDraw), S_OK);
        dd->Release();
        ASSERT_EQ(owner.pDirectDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
        owner.caps.dwSize = sizeof(DDCAPS);
    }
    void TearDown() override {
        if (owner.pDirectDraw)
            owner.pDirectDraw->Release();
    }
    // The top-left w x h pixels, read through a lock.
    static std::vector<DWORD> Read(IPixelBuffer* b, int w, int h) {
        std::vector<DWORD> out;
        EXPECT_EQ(b->Lock(PIXLOCK_READ), S_OK);
        BufferInfo info = ReadBufferInfo(b, BIM_GEOMETRY);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                out.push_back(((DWORD*)(info.pPixels + (size_t)y * info.nPitch))[x]);
        b->Unlock();
        return out;
    }

    DXOwner owner;
};
