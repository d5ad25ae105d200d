// Owners of system handles release what they hold on every way out of a
// scope, and hand it over untouched when detached.
#include <gtest/gtest.h>

#include <thread>

#include "bHandles.h"

namespace {

bool HandleIsOpen(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

TEST(Handles, KernelHandlesCloseUnlessDetached) {
    HANDLE seen = nullptr;
    {
        CHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event.IsValid());
        seen = event.Get();
        EXPECT_TRUE(HandleIsOpen(seen));
    }
    EXPECT_FALSE(HandleIsOpen(seen));

    HANDLE kept = nullptr;
    {
        CHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        kept = event.Detach();
        EXPECT_FALSE(event.IsValid());
    }
    EXPECT_TRUE(HandleIsOpen(kept));
    CloseHandle(kept);

    // A failed open leaves an owner that closes nothing.
    CHandle none(
        CreateFileA("Z:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(none.IsValid());
    EXPECT_TRUE(none.Close());
}

TEST(Handles, GlobalBlocksUnlockAndFree) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_TRUE(block);
    {
        CGlobalLock<BYTE> locked(block);
        ASSERT_TRUE(locked.Get());
        EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 1u);
    }
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);
    { CGlobalBlock owned(block); }
    EXPECT_EQ(GlobalSize(block), 0u);  // freed

    CGlobalBlock handed(GlobalAlloc(GMEM_MOVEABLE, 8));
    HGLOBAL taken = handed.Detach();
    EXPECT_EQ(handed.Get(), nullptr);
    EXPECT_EQ(GlobalSize(taken), 8u);
    GlobalFree(taken);
    CGlobalLock<> nothing(nullptr);
    EXPECT_EQ(nothing.Get(), nullptr);
}

TEST(Handles, DeviceContextsAndGdiObjectsAreGivenBack) {
    HDC memory = nullptr;
    HBITMAP bitmap = nullptr;
    {
        CClientDC screen;
        ASSERT_TRUE(screen.Get());
        CMemoryDC dc(CreateCompatibleDC(screen.Get()));
        ASSERT_TRUE(dc.Get());
        memory = dc.Get();
        CBitmapHandle owned(CreateCompatibleBitmap(screen.Get(), 4, 4));
        ASSERT_TRUE(owned.Get());
        bitmap = owned.Get();
        HGDIOBJ before = GetCurrentObject(memory, OBJ_BITMAP);
        {
            CSelectedObject selected(memory, bitmap);
            EXPECT_EQ(GetCurrentObject(memory, OBJ_BITMAP), (HGDIOBJ)bitmap);
        }
        EXPECT_EQ(GetCurrentObject(memory, OBJ_BITMAP), before);
    }
    EXPECT_EQ(GetObjectType(memory), 0u);
    EXPECT_EQ(GetObjectType(bitmap), 0u);
}

TEST(Handles, CriticalSectionsAreLeftOnEveryWayOut) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    auto leaveEarly = [&](bool early) {
        CCriticalSectionLock lock(&cs);
        if (early)
            return 1;
        return 2;
    };
    EXPECT_EQ(leaveEarly(true), 1);
    EXPECT_EQ(leaveEarly(false), 2);
    try {
        CCriticalSectionLock lock(&cs);
        throw 3;
    } catch (int) {
    }
    // Another thread can take it: nothing is still held.
    bool taken = false;
    std::thread other([&] {
        taken = TryEnterCriticalSection(&cs) != FALSE;
        if (taken)
            LeaveCriticalSection(&cs);
    });
    other.join();
    EXPECT_TRUE(taken);
    DeleteCriticalSection(&cs);
}

}  // namespace
