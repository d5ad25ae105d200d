// Owners of system handles: each releases what it holds when it goes out of
// scope, so no path out of a function has to release by hand. Not copyable;
// Detach hands the handle over to a new owner.
#pragma once

#include <windows.h>

// A kernel handle (file, mapping, event, thread...) closed with CloseHandle.
// Null and INVALID_HANDLE_VALUE both count as empty.
class CHandle {
public:
    CHandle() : m_h(nullptr) {}
    explicit CHandle(HANDLE h) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    bool IsValid() const { return m_h && m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }
    void Attach(HANDLE h) {
        Close();
        m_h = h;
    }
    HANDLE Detach() {
        HANDLE h = m_h;
        m_h = nullptr;
        return h;
    }
    // Closes now; false when CloseHandle failed.
    bool Close() {
        BOOL ok = TRUE;
        if (IsValid())
            ok = CloseHandle(m_h);
        m_h = nullptr;
        return ok != FALSE;
    }

private:
    HANDLE m_h;
};

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

// A memory device context from CreateCompatibleDC, deleted with DeleteDC.
class CMemoryDC {
public:
    CMemoryDC() : m_dc(nullptr) {}
    explicit CMemoryDC(HDC like) : m_dc(CreateCompatibleDC(like)) {}
    ~CMemoryDC() { Reset(); }
    CMemoryDC(const CMemoryDC&) = delete;
    CMemoryDC& operator=(const CMemoryDC&) = delete;
    HDC Get() const { return m_dc; }
    HDC Detach() {
        HDC dc = m_dc;
        m_dc = nullptr;
        return dc;
    }
    void Reset() {
        if (m_dc)
            DeleteDC(m_dc);
        m_dc = nullptr;
    }

private:
    HDC m_dc;
};

// A GDI object (bitmap, brush, pen, font, region) deleted with DeleteObject.
template <class T>
class CGdiObject {
public:
    explicit CGdiObject(T h = nullptr) : m_h(h) {}
    ~CGdiObject() { Reset(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    T Get() const { return m_h; }
    T Detach() {
        T h = m_h;
        m_h = nullptr;
        return h;
    }
    void Reset(T h = nullptr) {
        if (m_h)
            DeleteObject(m_h);
        m_h = h;
    }

private:
    T m_h;
};
typedef CGdiObject<HBITMAP> CBitmapHandle;
typedef CGdiObject<HRGN> CRegionHandle;

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

// A global memory block freed with GlobalFree unless handed on with Detach.
class CGlobalBlock {
public:
    explicit CGlobalBlock(HGLOBAL block = nullptr) : m_block(block) {}
    ~CGlobalBlock() {
        if (m_block)
            GlobalFree(m_block);
    }
    CGlobalBlock(const CGlobalBlock&) = delete;
    CGlobalBlock& operator=(const CGlobalBlock&) = delete;
    HGLOBAL Get() const { return m_block; }
    HGLOBAL Detach() {
        HGLOBAL block = m_block;
        m_block = nullptr;
        return block;
    }

private:
    HGLOBAL m_block;
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
