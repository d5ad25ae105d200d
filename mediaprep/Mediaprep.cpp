// The media installer: copies the C runtime and the MPEG Layer-3 codec into
// the system folder and registers the codec; before Windows 2000 it runs
// the DirectX Media redistributable unless this product is recorded as a
// user of its modules already.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "aRegKey.h"
#include "aSetupFile.h"
#include "aSetupUtility.h"
#include "aSetupVersion.h"
#include "bMsgBox.h"
#include "bTraceLog.h"
#include "resource.h"

namespace {

const char CLIENT_ID[] = "Orvane_Mavro_Tool_6";
const char MODULE_USAGE_KEY[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ModuleUsage";
const char RUN_ONCE_PATH[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char CODEC[] = "l3codecx.ax";
const DWORD RESTART_NEEDED = 3010;

bool g_silent;

// Copies one file unless the target is as new; code receives 2 for a
// missing source or the copy's flag. True when the file is handled.
bool CopyStep(const char* source, const char* target, DWORD* code) {
    switch (CompareFileVersions(source, target)) {
        case -2:
            *code = ERROR_FILE_NOT_FOUND;
            LOG_MSG("Src file: %s not found -- ignored", source);
            return true;
        case -1:
            LOG_MSG("Src file: %s is old -- ignored", source);
            return true;
        case 0:
            LOG_MSG("Src file: %s same with dst -- ignored", source);
            return true;
        default: {
            DWORD flag = 0;
            bool ok = CopyFileReplace(source, target, &flag);
            *code = flag;
            return ok;
        }
    }
}

// True when the module-usage record lists the client for the three
// DirectX Media modules.
bool CheckInstallation(const char* clientId) {
    CRegKey usage;
    if (!usage.Open(HKEY_LOCAL_MACHINE, MODULE_USAGE_KEY, false, KEY_READ)) {
        LOG_WIN32_ERROR(usage.GetLastResult(), "CheckInstallation: cannot open Registry: %s",
                        MODULE_USAGE_KEY);
        return false;
    }
    static const char* const modules[] = {"danim.dll", "quartz.dll", "ddrawex.dll"};
    int counted = 0;
    DWORD count = usage.GetSubkeyCount();
    for (DWORD i = 0; i < count; ++i) {
        char name[MAX_PATH];
        if (!usage.EnumSubkey(i, name, sizeof(name)))
            break;
        const char* slash = strrchr(name, '/');
        const char* file = slash ? slash + 1 : name;
        bool listed = false;
        for (const char* m : modules) listed = listed || _stricmp(file, m) == 0;
        if (!listed)
            continue;
        char path[2 * MAX_PATH];
        snprintf(path, sizeof(path), "%s\\%s", MODULE_USAGE_KEY, name);
        CRegKey module;
        if (!module.Open(HKEY_LOCAL_MACHINE, path, false, KEY_READ)) {
            LOG_WIN32_ERROR(module.GetLastResult(), "CheckInstallation: cannot open Registry: %s",
                            path);
            break;
        }
        if (!module.FindValue(clientId, nullptr, nullptr)) {
            LOG_MSG("CheckInstallation: cannot retrieve %s in %s", clientId, path);
            break;
        }
        ++counted;
    }
    return counted == 3;
}

int Install() {
    char current[MAX_PATH] = "", system[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(current), current);
    GetSystemDirectoryA(system, sizeof(system));

    DWORD code = 0;
    static const char* const files[] = {"msvcrt.dll", CODEC};
    for (const char* file : files) {
        char source[2 * MAX_PATH], target[2 * MAX_PATH];
        snprintf(source, sizeof(source), "%s\\%s", current, file);
        snprintf(target, sizeof(target), "%s\\%s", system, file);
        bool handled = CopyStep(source, target, &code);
        LOG_MSG(handled ? "CopyFile: %s OK" : "CopyFile: %s failed", file);
        // A codec that is not there is not registered: a failure would only
        // hide the missing file behind a restart and a RunOnce entry.
        if (handled && strcmp(file, CODEC) == 0 && IsExistingFile(target)) {
            HRESULT result = S_OK;
            if (RegisterServerDll(target, true, &result)) {
                LOG_MSG("Register %s -- OK", target);
            } else {
                LOG_MSG("RegisterFile for %s failed. add to registry when reboot", target);
                SetRegistryValueByPath(RUN_ONCE_PATH, CODEC, "regsvr32 l3codecx.ax");
                code = RESTART_NEEDED;
            }
        }
    }
    if (code != 0) {
        LOG_MSG("Install l3codecx failed, error code (0x%08x)", (unsigned)code);
        if (!g_silent) {
            MessageBoxIds(nullptr, IDS_TITLE, MB_OK | MB_ICONINFORMATION, IDS_CODEC_FAILED);
            return 0;
        }
    }

    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version))
        LOG_WIN32_ERROR(0, "GetVersionEx failed");
    LOG_MSG("OSVersion info : osVerInfo.dwPlatformId (%d), osVerInfo.dwMajorVersion (%d)",
            (int)version.dwPlatformId, (int)version.dwMajorVersion);
    if (!(version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 4)) {
        if (CheckInstallation(CLIENT_ID)) {
            LOG_MSG("DxMedia 6.0 already installed for %s", CLIENT_ID);
            if (g_silent) {
                LOG_MSG("Quit installation in silence mode");
                return 0;
            }
            if (MessageBoxIds(nullptr, IDS_TITLE, MB_YESNO | MB_ICONQUESTION, IDS_ASK_REINSTALL) !=
                IDYES) {
                LOG_MSG("Cancel installation by user");
                return 0;
            }
            LOG_MSG("Re-installation DirectXMedia6.0");
        }
        char command[64];
        snprintf(command, sizeof(command), "dxmedia.exe -id:%s", CLIENT_ID);
        if (!ExecuteCommand(nullptr, command, current, INFINITE, &code)) {
            LOG_WIN32_ERROR(code, "ExecuteCommand %s failed", command);
            if (!g_silent)
                MessageBoxIds(nullptr, IDS_TITLE, MB_OK | MB_ICONERROR, IDS_NOT_EXTRACTED,
                              (int)code, "");
            return (int)code;
        }
    }

    if (code == 0) {
        LOG_MSG("DxMedia 6.0 installed successfully.");
        if (!g_silent)
            MessageBoxIds(nullptr, IDS_TITLE, MB_OK | MB_ICONINFORMATION, IDS_INSTALLED);
    } else if (code == RESTART_NEEDED) {
        LOG_MSG("DxMedia 6.0 installed successfully. reboot required");
        if (!g_silent)
            MessageBoxIds(nullptr, IDS_TITLE, MB_OK | MB_ICONINFORMATION, IDS_RESTART_NEEDED);
    } else {
        LOG_MSG("DxMedia 6.0 installed failed, error code %d", (int)code);
        if (!g_silent)
            MessageBoxIds(nullptr, IDS_TITLE, MB_OK | MB_ICONINFORMATION, IDS_DXMEDIA_FAILED,
                          (unsigned)code);
    }
    return (int)code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    InstallSETranslator();
    char log[MAX_PATH + 32] = "";
    DWORD n = GetTempPathA(MAX_PATH, log);
    if (n > 0 && n < MAX_PATH) {
        lstrcatA(log, "~mediaprep.lg0");
        CreateTraceLog(log, TRACE_OPTION_KEEP_REPEATS);
    }
    LOG_MSG("DirectXMedia 6.0 Setup");
    char switches[16] = "";
    const char* p = commandLine ? commandLine : "";
    while (*p == ' ' || *p == '\t') ++p;
    lstrcpynA(switches, p, sizeof(switches));
    for (int i = (int)strlen(switches) - 1; i >= 0 && (switches[i] == ' ' || switches[i] == '\t');
         --i)
        switches[i] = 0;
    g_silent = _stricmp(switches, "-s") == 0;
    if (g_silent)
        LOG_MSG("Turn to silence mode");
    int result = 0;
    try {
        result = Install();
    } catch (...) {
        LOG_MSG("DirectXMedia 6.0 Setup Error -- unknown exception");
        result = 0;
    }
    ReleaseTraceLog();
    return result;
}
