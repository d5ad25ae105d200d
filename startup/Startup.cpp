// The launcher a finished work ships as: the work's package is appended to
// this program's file, and the installed player is started on it.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "aRegKey.h"
#include "aSetupFile.h"
#include "aSetupVersion.h"
#include "bMsgBox.h"
#include "bTraceLog.h"
#include "resource.h"

namespace {

const char RUNTIME_RECORD[] = "HKCU\\SoftWare\\Orvane\\Orvane Mavro Tool\\RunTime\\6.5";
const char DEFAULT_PLAYER[] = "mavrort.exe";

// The player's path from the launcher ini and the runtime record; 1 when
// found, else 0 with the default name (left to WinExec's search).
int LocatePlayer(const char* iniPath, char* player, DWORD size) {
    player[0] = 0;
    bool iniFound = false;
    char iniVersion[MAX_PATH] = "";
    if (IsExistingFile(iniPath)) {
        GetPrivateProfileStringA("mavrort", "mavrort.exe", DEFAULT_PLAYER, player, size, iniPath);
        iniFound = IsExistingFile(player);
        GetPrivateProfileStringA("mavrort", "Version", "", iniVersion, sizeof(iniVersion), iniPath);
    }
    char recordPath[MAX_PATH], recordVersion[MAX_PATH];
    if (GetRegistryValueByPath(RUNTIME_RECORD, nullptr, recordPath, sizeof(recordPath)) &&
        GetRegistryValueByPath(RUNTIME_RECORD, "Version", recordVersion, sizeof(recordVersion)) &&
        IsExistingFile(recordPath)) {
        int g1 = 0, g2 = 0, g3 = 0;
        // The ini's player stays only when it is newer in one of the file groups.
        if (!iniFound || (CompareVersionStrings(iniVersion, recordVersion, &g1, &g2, &g3) &&
                          g2 <= 0 && g3 <= 0)) {
            lstrcpynA(player, recordPath, (int)size);
            char shortPath[MAX_PATH];
            DWORD n = GetShortPathNameA(player, shortPath, sizeof(shortPath));
            if (n > 0 && n < size)
                lstrcpynA(player, shortPath, (int)size);
        }
        return 1;
    }
    if (iniFound)
        return 1;
    lstrcpynA(player, DEFAULT_PLAYER, (int)size);
    return 0;
}

int Launch() {
    char own[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, own, MAX_PATH);
    char ini[MAX_PATH] = "";
    ReplaceExtension(ini, own, ".ini");
    LOG_MSG("Ini file: %s", ini);

    char player[MAX_PATH];
    if (LocatePlayer(ini, player, sizeof(player)))
        LOG_MSG("MavroRT found at: %s", player);
    else
        LOG_MSG("cannot locate MavroRT: %s", player);

    // A path with a blank is quoted: unquoted, "C:\Program Files\..." would
    // start C:\Program.exe when such a file exists.
    char command[3 * MAX_PATH];
    const char* quote = strchr(player, ' ') ? "\"" : "";
    snprintf(command, sizeof(command), "%s%s%s /r \"%s\"", quote, player, quote, own);
    LOG_MSG("Execute : %s\n", command);
    UINT result = WinExec(command, SW_SHOWNORMAL);
    if (result > 31)
        return 0;

    HINSTANCE instance = GetModuleHandleA(nullptr);
    char title[64] = "", text[512] = "", detail[256] = "";
    LoadStringA(instance, IDS_ERROR_TITLE, title, sizeof(title));
    LoadStringA(instance, IDS_CANNOT_START, text, sizeof(text));
    if (result == 0 || result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND ||
        result == ERROR_BAD_FORMAT)
        LoadStringA(instance, IDS_RUNTIME_NOT_FOUND, detail, sizeof(detail));
    else
        snprintf(detail, sizeof(detail), "Error: %d", (int)result);
    size_t used = strlen(text);
    lstrcpynA(text + used, detail, (int)(sizeof(text) - used));
    LOG_MSG("%s", text);
    SysMessageBox(nullptr, text, title, MB_OK | MB_ICONERROR);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return Launch();
}
