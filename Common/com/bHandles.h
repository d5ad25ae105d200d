// Owners of system handles: each releases what it holds when it goes out of
// scope, so no path out of a function has to release by hand. Not copyable;
// Detach hands the handle over to a new owner.
#pragma once

#include <windows.h>

// One owned handle; Traits names its type, when it counts as empty and how
// it is released.
template <class Traits>
class COwnedHandle {
public:
    typedef typename Traits::Type Type;
    COwnedHandle() : m_h(nullptr) {}
    explicit COwnedHandle(Type h) : m_h(h) {}
    ~COwnedHandle() { Close(); }
    COwnedHandle(const COwnedHandle&) = delete;
    COwnedHandle& operator=(const COwnedHandle&) = delete;

    bool IsValid() const { return Traits::Valid(m_h); }
    Type Get() const { return m_h; }
    Type Detach() {
        Type h = m_h;
        m_h = nullptr;
        return h;
    }
    // Releases what is held and takes h.
    void Reset(Type h = nullptr) {
        Close();
        m_h = h;
    }
    // Releases now; false when the release failed.
    bool Close() {
        bool ok = !IsValid() || Traits::Release(m_h);
        m_h = nullptr;
        return ok;
    }

private:
    Type m_h;
};

struct KernelHandleTraits {
    typedef HANDLE Type;
    static bool Valid(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }
    static bool Release(HANDLE h) { return CloseHandle(h) != FALSE; }
};
struct MemoryDCTraits {
    typedef HDC Type;
    static bool Valid(HDC dc) { return dc != nullptr; }
    static bool Release(HDC dc) { return DeleteDC(dc) != FALSE; }
};
template <class T>
struct GdiObjectTraits {
    typedef T Type;
    static bool Valid(T h) { return h != nullptr; }
    static bool Release(T h) { return DeleteObject(h) != FALSE; }
};
struct GlobalBlockTraits {
    typedef HGLOBAL Type;
    static bool Valid(HGLOBAL h) { return h != nullptr; }
    static bool Release(HGLOBAL h) { return GlobalFree(h) == nullptr; }
};

// A kernel handle (file, mapping, event, thread...) closed with CloseHandle;
// null and INVALID_HANDLE_VALUE both count as empty.
typedef COwnedHandle<KernelHandleTraits> CHandle;
// A memory device context from CreateCompatibleDC, deleted with DeleteDC.
typedef COwnedHandle<MemoryDCTraits> CMemoryDC;
// A GDI object (bitmap, brush, pen, font, region) deleted with DeleteObject.
typedef COwnedHandle<GdiObjectTraits<HBITMAP>> CBitmapHandle;
typedef COwnedHandle<GdiObjectTraits<HRGN>> CRegionHandle;
// A global memory block freed with GlobalFree unless handed on with Detach.
typedef COwnedHandle<GlobalBlockTraits> CGlobalBlock;

// A view of a file mapping, unmapped with UnmapViewOfFile.
class CMappedView {
public:
    explicit CMappedView(const void* view = nullptr) : m_view(view) {}
    ~CMappedView() {
        if (m_view)
            UnmapViewOfFile(m_view);
    }
    CMappedView(const CMappedView&) = delete;
    CMappedView& operator=(const CMappedView&) = delete;
    const void* Get() const { return m_view; }

private:
    const void* m_view;
};

// A device context of a window (null: the screen) from GetDC, given back with
// ReleaseDC.
class CClientDC {
public:
    explicit CClientDC(HWND window = nullptr) : m_window(window), m_dc(::GetDC(window)) {}
    ~CClientDC() {
        if (m_dc)
            ::ReleaseDC(m_window, m_dc);
    }
    CClientDC(const CClientDC&) = delete;
    CClientDC& operator=(const CClientDC&) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// An object selected into a device context for a scope; the previous one is
// selected back on the way out.
class CSelectedObject {
public:
    CSelectedObject(HDC dc, HGDIOBJ object)
        : m_dc(dc), m_old(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~CSelectedObject() {
        if (m_old && m_old != HGDI_ERROR)
            SelectObject(m_dc, m_old);
    }
    CSelectedObject(const CSelectedObject&) = delete;
    CSelectedObject& operator=(const CSelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// A global memory block locked for a scope (GlobalLock / GlobalUnlock).
template <class T = void>
class CGlobalLock {
public:
    explicit CGlobalLock(HGLOBAL block)
        : m_block(block), m_p(block ? static_cast<T*>(GlobalLock(block)) : nullptr) {}
    ~CGlobalLock() {
        if (m_p)
            GlobalUnlock(m_block);
    }
    CGlobalLock(const CGlobalLock&) = delete;
    CGlobalLock& operator=(const CGlobalLock&) = delete;
    T* Get() const { return m_p; }

private:
    HGLOBAL m_block;
    T* m_p;
};

// A critical section held for a scope.
class CCriticalSectionLock {
public:
    explicit CCriticalSectionLock(CRITICAL_SECTION* cs) : m_cs(cs) { EnterCriticalSection(m_cs); }
    ~CCriticalSectionLock() { LeaveCriticalSection(m_cs); }
    CCriticalSectionLock(const CCriticalSectionLock&) = delete;
    CCriticalSectionLock& operator=(const CCriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION* m_cs;
};
