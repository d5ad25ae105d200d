#include "aGlobal.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "aExtMgr.h"
#include "aUtil.h"
#include "bFileUtil.h"
#include "bTraceLog.h"

static CGlobal* g_appGlobal = nullptr;
static char g_cursorLibPath[MAX_PATH];

CGlobal* GetAppGlobal() {
    return g_appGlobal;
}
void SetAppGlobal(CGlobal* global) {
    g_appGlobal = global;
}
const char* GetCursorLibPath() {
    return g_cursorLibPath;
}

const char* const CGlobal::kClipboardFormatNames[GLOBAL_CLIPBOARD_FORMATS] = {"CF_TeskFRG",
                                                                              "CF_TeskFRM",
                                                                              "CF_TeskBKG",
                                                                              "CF_TeskFRGProperty",
                                                                              "CF_TeskFRMProperty",
                                                                              "CF_TeskBKGProperty",
                                                                              "CF_TeskObjs",
                                                                              "CF_MediaFolder",
                                                                              "CF_MediaItem",
                                                                              "CF_MediaError",
                                                                              "CF_FileItem",
                                                                              "CF_FileError",
                                                                              "CF_File",
                                                                              "CF_Material"};

static unsigned FreeMegabytes(const char* root) {
    return (unsigned)(GetDiskFree(root) >> 20);
}

CGlobal::CGlobal()
    : m_comctlVersion(0),
      m_hardware(0),
      m_pExtMgr(nullptr),
      m_fileVersion(0),
      m_hCursorLib(nullptr) {
    ZeroMemory(&m_osVersion, sizeof(m_osVersion));
    m_versionText[0] = 0;
    for (int i = 0; i < GLOBAL_CLIPBOARD_FORMATS; ++i)
        m_clipFormats[i] = (WORD)RegisterClipboardFormatA(kClipboardFormatNames[i]);
    InitializeCriticalSection(&m_cs);
}

CGlobal::~CGlobal() {
    delete m_pExtMgr;
    m_pExtMgr = nullptr;
    if (m_hCursorLib)
        FreeLibrary(m_hCursorLib);
    for (void* p : m_blocks) free(p);
    m_blocks.clear();
    DeleteCriticalSection(&m_cs);
}

void* CGlobal::AllocBlock(size_t size) {
    void* p = calloc(1, size ? size : 1);
    if (p) {
        Lock();
        m_blocks.push_back(p);
        Unlock();
    }
    return p;
}

bool CGlobal::IsWindowsNT(bool exactlyNT4) const {
    return IsWindowsNTVersion(m_osVersion, exactlyNT4);
}

BOOL CGlobal::Start() {
    TRACE_POINT();
    LogSystemInfo();

    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
    if (n == 0 || n >= sizeof(path))
        path[0] = 0;
    // A program without a version block runs as version 0.0.0.0.
    VS_FIXEDFILEINFO ffi;
    ZeroMemory(&ffi, sizeof(ffi));
    if (!path[0] || !GetFileVersion(path, &ffi))
        ZeroMemory(&ffi, sizeof(ffi));
    m_fileVersion = ((ULONGLONG)ffi.dwFileVersionMS << 32) | ffi.dwFileVersionLS;
    snprintf(m_versionText, sizeof(m_versionText), "%d.%d.%d.%d", (int)HIWORD(ffi.dwFileVersionMS),
             (int)LOWORD(ffi.dwFileVersionMS), (int)HIWORD(ffi.dwFileVersionLS),
             (int)LOWORD(ffi.dwFileVersionLS));
    LOG_MSG("Orvane Mavro Tool Version: %s", m_versionText);

    m_pExtMgr = new CExtensionManager();

    // The cursor library sits beside the program.
    char folder[MAX_PATH] = "";
    char lib[MAX_PATH] = "mavrolib.dll";
    if (path[0] && PathDirectory(path, folder, sizeof(folder)))
        PathCombine(folder, "mavrolib.dll", lib, sizeof(lib));
    std::string canonical;
    SetCanonicalPath(canonical, lib);
    lstrcpynA(g_cursorLibPath, canonical.c_str(), sizeof(g_cursorLibPath));
    m_hCursorLib = LoadLibraryA(g_cursorLibPath);
    if (!m_hCursorLib)
        LOG_WIN32_ERROR(0, "Load CursorLib Failed! (%s)", g_cursorLibPath);
    return TRUE;
}

void CGlobal::LogSystemInfo() {
    TRACE_POINT();
    ZeroMemory(&m_osVersion, sizeof(m_osVersion));
    m_osVersion.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(&m_osVersion))
        LOG_WIN32_ERROR(0, "GetVersionEx failed");

    m_hardware = 0;
    try {
        if (__builtin_cpu_supports("mmx")) {
            m_hardware |= HW_MMX;
            if (__builtin_cpu_supports("sse"))
                m_hardware |= HW_KATMAI;
        }
    } catch (CSE_Exception& e) {
        LOG_EXCEPTION(e);
    }

    VS_FIXEDFILEINFO ffi;
    if (GetFileVersion("comctl32.dll", &ffi)) {
        m_comctlVersion = HIWORD(ffi.dwFileVersionMS) * 100 + LOWORD(ffi.dwFileVersionMS);
    } else {
        m_comctlVersion = 0;
        LOG_WIN32_ERROR(0, "comctl32.dll not available");
    }

    char text[1024];
    int len =
        snprintf(text, sizeof(text), "%s Version: %d.%d Build %d %s Hardware: %s  comctl32-Ver: %d",
                 m_osVersion.dwPlatformId == 1 ? "Window9x" : "WinNT",
                 (int)m_osVersion.dwMajorVersion, (int)m_osVersion.dwMinorVersion,
                 (int)(m_osVersion.dwBuildNumber & 0xFFFF), m_osVersion.szCSDVersion,
                 (m_hardware & HW_KATMAI) ? "Katmai"
                 : (m_hardware & HW_MMX)  ? "MMX"
                                          : "MMX not available",
                 m_comctlVersion);
    if (len < 0 || len >= (int)sizeof(text))
        len = (int)strlen(text);

    DEVMODEA dm;
    ZeroMemory(&dm, sizeof(dm));
    dm.dmSize = sizeof(dm);
    if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm)) {
        int k = snprintf(text + len, sizeof(text) - len, "\n   Display: %d x %d x %d(bits)",
                         (int)dm.dmPelsWidth, (int)dm.dmPelsHeight, (int)dm.dmBitsPerPel);
        if (k > 0)
            len += k < (int)sizeof(text) - len ? k : (int)sizeof(text) - len - 1;
    }

    char winDir[MAX_PATH] = "";
    char curDir[MAX_PATH] = "";
    GetWindowsDirectoryA(winDir, sizeof(winDir));
    GetCurrentDirectoryA(sizeof(curDir), curDir);
    char sysRoot[4] = "", curRoot[4] = "";
    lstrcpynA(sysRoot, winDir, sizeof(sysRoot));
    lstrcpynA(curRoot, curDir, sizeof(curRoot));
    snprintf(text + len, sizeof(text) - len,
             "\n   DiskFreeSpace in system(%s): %d MB, in current(%s): %d MB", sysRoot,
             (int)FreeMegabytes(sysRoot), curRoot, (int)FreeMegabytes(curRoot));
    if (ITraceLog* t = GetTraceLog())
        t->LogMessage("%s", text);
}
