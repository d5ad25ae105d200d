// The application-global object: one per process, owned by the module.
#pragma once

#include <windows.h>

#include <vector>

class CExtensionManager;

enum { GLOBAL_CLIPBOARD_FORMATS = 14 };

// Hardware flags.
enum { HW_MMX = 0x01, HW_KATMAI = 0x02 };

class CGlobal {
public:
    CGlobal();
    ~CGlobal();

    BOOL Start();
    void LogSystemInfo();

    CExtensionManager* GetExtensionManager() const { return m_pExtMgr; }
    ULONGLONG GetFileVersion64() const { return m_fileVersion; }
    const char* GetVersionText() const { return m_versionText; }
    HMODULE GetCursorLib() const { return m_hCursorLib; }
    UINT GetClipboardFormat(int index) const {
        return index >= 0 && index < GLOBAL_CLIPBOARD_FORMATS ? m_clipFormats[index] : 0;
    }
    int GetComctlVersion() const { return m_comctlVersion; }
    BYTE GetHardwareFlags() const { return m_hardware; }
    const OSVERSIONINFOA& GetOSVersion() const { return m_osVersion; }
    // Heap blocks that live as long as this object.
    void* AllocBlock(size_t size);
    void Lock() { EnterCriticalSection(&m_cs); }
    void Unlock() { LeaveCriticalSection(&m_cs); }

    // NT with a major version above 3; with exactlyNT4, NT 4 only.
    bool IsWindowsNT(bool exactlyNT4) const;

    static const char* const kClipboardFormatNames[GLOBAL_CLIPBOARD_FORMATS];

private:
    OSVERSIONINFOA m_osVersion;
    int m_comctlVersion;
    BYTE m_hardware;
    WORD m_clipFormats[GLOBAL_CLIPBOARD_FORMATS];
    CExtensionManager* m_pExtMgr;
    ULONGLONG m_fileVersion;
    char m_versionText[32];
    std::vector<void*> m_blocks;
    HMODULE m_hCursorLib;
    CRITICAL_SECTION m_cs;
};

// The one CGlobal (null before the module starts and after it ends).
CGlobal* GetAppGlobal();
void SetAppGlobal(CGlobal* global);
// The full path of the cursor library, once the global object has started.
const char* GetCursorLibPath();
