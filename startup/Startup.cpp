// The launcher a finished work ships as: the work's package is appended to
// this program's file, and the installed player is started on it.
#include <windows.h>

#include "aLauncher.h"
#include "aSetupFile.h"
#include "bMsgBox.h"
#include "bTraceLog.h"

namespace {

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

    char command[3 * MAX_PATH];
    FormatLaunchCommand(player, own, command, sizeof(command));
    LOG_MSG("Execute : %s\n", command);
    UINT result = WinExec(command, SW_SHOWNORMAL);
    if (result > 31)
        return 0;

    char title[64], text[512];
    LaunchErrorText(GetModuleHandleA(nullptr), result, title, sizeof(title), text, sizeof(text));
    LOG_MSG("%s", text);
    SysMessageBox(nullptr, text, title, MB_OK | MB_ICONERROR);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return Launch();
}
