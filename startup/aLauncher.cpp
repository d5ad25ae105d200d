#include "aLauncher.h"

#include <stdio.h>
#include <string.h>

#include "aRegKey.h"
#include "aSetupFile.h"
#include "aSetupVersion.h"
#include "resource.h"

namespace {

const char RUNTIME_RECORD[] = "HKCU\\SoftWare\\Orvane\\Orvane Mavro Tool\\RunTime\\6.5";
const char DEFAULT_PLAYER[] = "mavrort.exe";

}  // namespace

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

void FormatLaunchCommand(const char* player, const char* own, char* out, int size) {
    const char* quote = strchr(player, ' ') ? "\"" : "";
    snprintf(out, (size_t)size, "%s%s%s /r \"%s\"", quote, player, quote, own);
}

void LaunchErrorText(HMODULE module, UINT result, char* title, int titleSize, char* text,
                     int textSize) {
    title[0] = text[0] = 0;
    LoadStringA(module, IDS_ERROR_TITLE, title, titleSize);
    LoadStringA(module, IDS_CANNOT_START, text, textSize);
    char detail[256] = "";
    if (result == 0 || result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND ||
        result == ERROR_BAD_FORMAT)
        LoadStringA(module, IDS_RUNTIME_NOT_FOUND, detail, sizeof(detail));
    else
        snprintf(detail, sizeof(detail), "Error: %d", (int)result);
    int used = (int)strlen(text);
    if (used < textSize - 1)
        lstrcpynA(text + used, detail, textSize - used);
}
