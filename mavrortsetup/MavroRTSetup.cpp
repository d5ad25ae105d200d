// The runtime setup: copies the player's files listed in its ini with
// version checks, registers the listed COM servers and records the
// installed player in the runtime registry record the launcher reads.
#include <windows.h>
#include <ole2.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "aRegKey.h"
#include "aSetupFile.h"
#include "aSetupUtility.h"
#include "aSetupVersion.h"
#include "bMsgBox.h"
#include "bTraceLog.h"
#include "resource.h"

namespace {

const char RUNTIME_KEY[] = "SOFTWARE\\Orvane\\Orvane Mavro Tool\\RunTime";
const char OLD_LINE_KEY[] = "SOFTWARE\\Orvane\\Orvane Mavro Tool\\5.0\\RunTime";
const char OWN_VERSION_KEY[] = "6.5";
const int MACRO_RESERVE = 10;  // an expansion leaves this much of the buffer
const int MAX_GROUPS = 4;
const int MAX_REGSVR = 100;

// Program state.
HINSTANCE g_instance;
bool g_silent;
bool g_rebootNeeded;
char g_iniFile[MAX_PATH];
char g_srcPath[MAX_PATH];
char g_dstPath[MAX_PATH];
char g_version[MAX_PATH];
char g_playerPath[MAX_PATH];
std::vector<std::string> g_versionKeys;

// Installation results.
enum {
    SETUP_OK = 0,
    SETUP_RESTART = 3010,
    SETUP_NO_INI = -100,
    SETUP_COPY_ABORTED = -103,
    SETUP_DAMAGED_INI = -104,
    SETUP_NO_FOLDER = -105,
    SETUP_NO_OLE = -106,
};

// A message made of string-table texts and literals: pairs of (id, text)
// until an id of -1; an id of 0 adds the literal alone.
std::string BuildText(va_list args) {
    std::string text;
    for (;;) {
        int id = va_arg(args, int);
        if (id == -1)
            break;
        const char* literal = va_arg(args, const char*);
        if (id) {
            char part[1024] = "";
            LoadStringA(g_instance, (UINT)id, part, sizeof(part));
            text += part;
        }
        if (literal)
            text += literal;
    }
    if (text.size() > 2047)
        text.resize(2047);
    return text;
}

std::string LoadText(UINT id, int size) {
    char buffer[1024] = "";
    LoadStringA(g_instance, id, buffer, size < (int)sizeof(buffer) ? size : (int)sizeof(buffer));
    return buffer;
}

int ShowMessageIds(HWND window, UINT titleId, UINT type, ...) {
    va_list args;
    va_start(args, type);
    std::string text = BuildText(args);
    va_end(args);
    std::string title = LoadText(titleId, 65);
    return SysMessageBox(window, text.c_str(), title.c_str(), type);
}

// A string-table format with one text argument.
std::string FormatId(UINT id, const char* argument) {
    std::string format = LoadText(id, 1024);
    char text[2048];
    snprintf(text, sizeof(text), format.c_str(), argument);
    return text;
}

// The three-button question (Yes, Yes to all, No) of dialog 3100.
struct ChoiceDialog {
    std::string title, text;
};

INT_PTR CALLBACK ChoiceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const ChoiceDialog* choice = reinterpret_cast<const ChoiceDialog*>(lParam);
            SetWindowTextA(dialog, choice->title.c_str());
            SetDlgItemTextA(dialog, IDC_CHOICE_TEXT, choice->text.c_str());
            SetDlgItemTextA(dialog, IDYES, LoadText(IDS_YES, 64).c_str());
            SetDlgItemTextA(dialog, IDYESTOALL, LoadText(IDS_YES_TO_ALL, 64).c_str());
            SetDlgItemTextA(dialog, IDNO, LoadText(IDS_NO, 64).c_str());
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDYES:
                case IDYESTOALL:
                case IDNO:
                    EndDialog(dialog, LOWORD(wParam));
                    return TRUE;
                case IDCANCEL:  // closing keeps the newer target
                    EndDialog(dialog, IDYES);
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

int ShowChoiceIds(UINT titleId, ...) {
    ChoiceDialog choice;
    va_list args;
    va_start(args, titleId);
    choice.text = BuildText(args);
    va_end(args);
    choice.title = LoadText(titleId, 65);
    int answer = 0;
    if (AnswerWithoutWindow(nullptr, choice.text.c_str(), choice.title.c_str(),
                            MB_YESNOCANCEL | MB_ICONQUESTION, &answer))
        return answer;
    return (int)DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_CHOICE), nullptr, ChoiceProc,
                                reinterpret_cast<LPARAM>(&choice));
}

bool StartsWithIgnoringCase(const char* text, const char* prefix) {
    return _strnicmp(text, prefix, strlen(prefix)) == 0;
}

// Appends text to out (used bytes of MAX_PATH); false when fewer than
// MACRO_RESERVE bytes would be left (reserve 0: the text must fit).
bool Append(char* out, size_t* used, const char* text, size_t length, size_t reserve) {
    if (*used + length + reserve >= MAX_PATH)
        return false;
    memcpy(out + *used, text, length);
    *used += length;
    out[*used] = 0;
    return true;
}

// Expands the path macros of value into out (MAX_PATH bytes); false when
// the result does not fit.
bool ExpandPath(const char* value, char* out) {
    static const char* const macros[] = {"$system",  "$Windows", "$Temp",
                                         "$CurPath", "$SrcPath", "$DstPath"};
    size_t used = 0;
    out[0] = 0;
    for (const char* p = value; *p;) {
        if ((BYTE)*p >= 0x80 && IsDBCSLeadByte((BYTE)*p) && p[1]) {
            if (!Append(out, &used, p, 2, 0))
                return false;
            p += 2;
            continue;
        }
        if (*p != '$') {
            if (!Append(out, &used, p, 1, 0))
                return false;
            ++p;
            continue;
        }
        int which = -1;
        for (int i = 0; i < 6 && which < 0; ++i) {
            if (StartsWithIgnoringCase(p, macros[i]))
                which = i;
        }
        if (which < 0) {
            ++p;  // an unknown "$" is dropped, the text after it kept
            continue;
        }
        char expansion[MAX_PATH + 1] = "";
        switch (which) {
            case 0:
                GetSystemDirectoryA(expansion, MAX_PATH);
                break;
            case 1:
                GetWindowsDirectoryA(expansion, MAX_PATH);
                break;
            case 2:
                GetTempPathA(MAX_PATH, expansion);
                break;
            case 3:
                GetCurrentDirectoryA(MAX_PATH, expansion);
                break;
            case 4:
                lstrcpynA(expansion, g_srcPath, MAX_PATH);
                break;
            case 5:
                lstrcpynA(expansion, g_dstPath, MAX_PATH);
                break;
        }
        if (!Append(out, &used, expansion, strlen(expansion), MACRO_RESERVE))
            return false;
        p += strlen(macros[which]);
        if (*p == '\\' && used > 0 && out[used - 1] == '\\')
            ++p;
    }
    return true;
}

// An ini text; false when the key is missing (default given back) or the
// value fills the buffer (too long to be trusted).
std::string ReadIni(const char* section, const char* key, const char* fallback,
                    bool* overlong = nullptr) {
    char value[MAX_PATH];
    DWORD n = GetPrivateProfileStringA(section, key, fallback, value, sizeof(value), g_iniFile);
    if (overlong)
        *overlong = n >= sizeof(value) - 1;
    return value;
}

bool InitRtSetup(const char* commandLine) {
    while (*commandLine == ' ' || *commandLine == '\t') ++commandLine;
    g_silent = StartsWithIgnoringCase(commandLine, "-s");
    char own[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, own, MAX_PATH);
    if (!ReplaceExtension(g_iniFile, own, ".ini") || !IsExistingFile(g_iniFile))
        return false;
    return GetFolder(g_iniFile, g_srcPath, sizeof(g_srcPath));
}

// Two numbers "%d.%d" and nothing else; false for any other name.
bool ParseVersionKey(const char* name, int* major, int* minor) {
    int used = 0;
    if (sscanf(name, "%d.%d%n", major, minor, &used) != 2)
        return false;
    return name[used] == 0;
}

// A version key against another, number by number: -1, 0 or 1; false when
// a name is not a version key.
bool CompareVersionKeys(const char* key, const char* other, int* result) {
    int a1, a2, b1, b2;
    if (!ParseVersionKey(key, &a1, &a2) || !ParseVersionKey(other, &b1, &b2))
        return false;
    *result = a1 != b1 ? (a1 < b1 ? -1 : 1) : (a2 != b2 ? (a2 < b2 ? -1 : 1) : 0);
    return true;
}

enum CopyOutcome { COPY_DONE, COPY_RETRY, COPY_ABORT, COPY_IGNORE };

CopyOutcome AskAbortRetryIgnore(const std::string& text) {
    if (g_silent)
        return COPY_ABORT;
    std::string title = LoadText(IDS_SETUP_TITLE, 65);
    int answer = SysMessageBox(nullptr, text.c_str(), title.c_str(),
                               MB_ABORTRETRYIGNORE | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
    return answer == IDRETRY ? COPY_RETRY : (answer == IDIGNORE ? COPY_IGNORE : COPY_ABORT);
}

// Copies one file with the version checks; error receives the Win32 error
// of a failed copy.
CopyOutcome CopyWithVersionCheck(const char* source, const char* target, bool* noMoreQuestions,
                                 DWORD* error) {
    *error = 0;
    if (IsExistingFile(target)) {
        switch (CompareFileVersions(source, target)) {
            case 0:
                LOG_MSG("CopyFile: %s not copyed -- file equal", target);
                return COPY_DONE;
            case -2: {
                *error = ERROR_FILE_NOT_FOUND;
                std::string text = LoadText(IDS_FILE, 256) + source + LoadText(IDS_NOT_EXIST, 256);
                return AskAbortRetryIgnore(text);
            }
            case -1: {
                bool keep = true;
                if (!g_silent && !*noMoreQuestions) {
                    int answer = ShowChoiceIds(IDS_SETUP_TITLE, IDS_TARGET_NEWER, target,
                                               IDS_ASK_IGNORE, "", -1);
                    if (answer == IDYESTOALL)
                        *noMoreQuestions = true;
                    else if (answer == IDNO)
                        keep = false;
                }
                if (keep) {
                    LOG_MSG("CopyFile: %s skipped by user, src is old", target);
                    return COPY_DONE;
                }
                break;
            }
            default:  // 1 newer source, 2 target unreadable
                break;
        }
    }
    DWORD flag = 0;
    bool copied = CopyFileReplace(source, target, &flag);
    if (copied && flag == 1)
        g_rebootNeeded = true;
    CopyFileTimes(target, source);
    if (copied)
        return COPY_DONE;
    *error = flag;
    LOG_WIN32_ERROR(flag, "CopyFile: (%s) to (%s) failed", source, target);
    std::string text =
        LoadText(IDS_CANNOT_COPY, 256) + source + "\n" + LoadText(IDS_COPY_TO, 256) + target;
    return AskAbortRetryIgnore(text);
}

int InstallFiles() {
    std::string num = ReadIni("InstallFiles", "num", "1");
    if (num.empty()) {
        LOG_MSG(
            "key (%s) with section (%s) in (%s) g_szIniFile is null, ini file has been damaged ! "
            "install terminated!!",
            "num", "InstallFiles", g_iniFile);
        return SETUP_DAMAGED_INI;
    }
    int groups[MAX_GROUPS];
    int groupCount =
        sscanf(num.c_str(), "%d,%d,%d,%d", &groups[0], &groups[1], &groups[2], &groups[3]);
    if (groupCount < 0)
        groupCount = 0;

    std::vector<std::string> toRegister;
    int listed = 0;
    for (int g = 0; g < groupCount; ++g) {
        char key[32];
        snprintf(key, sizeof(key), "install%d", groups[g]);
        std::string section = ReadIni("InstallFiles", key, "");
        std::string regsvr = ReadIni(section.c_str(), "Regsvr", "");
        std::vector<int> registerNumbers;
        for (const char* p = regsvr.c_str(); *p && registerNumbers.size() < MAX_REGSVR;) {
            char* end = nullptr;
            long n = strtol(p, &end, 10);
            if (end == p) {
                ++p;
                continue;
            }
            registerNumbers.push_back((int)n);
            p = end;
        }
        int fileNum = (int)GetPrivateProfileIntA(section.c_str(), "FileNum", 260, g_iniFile);
        bool noMoreQuestions = false;

        for (int i = 1; i <= fileNum; ++i) {
            char srcKey[32], dstKey[32];
            snprintf(srcKey, sizeof(srcKey), "SrcFile%d", i);
            snprintf(dstKey, sizeof(dstKey), "DstFile%d", i);
            bool srcLong = false, dstLong = false;
            std::string srcValue = ReadIni(section.c_str(), srcKey, "", &srcLong);
            std::string dstValue = ReadIni(section.c_str(), dstKey, "", &dstLong);
            // FileNum is a bound: the first entry with neither key ends the group.
            if (srcValue.empty() && dstValue.empty())
                break;
            ++listed;
            char source[MAX_PATH], target[MAX_PATH];
            bool expanded = !srcLong && !dstLong && ExpandPath(srcValue.c_str(), source) &&
                            ExpandPath(dstValue.c_str(), target);
            if (!expanded) {
                LOG_MSG("path too long: %s, %s", srcKey, dstKey);
                if (AskAbortRetryIgnore(LoadText(IDS_CANNOT_COPY, 256) + srcValue + "\n" +
                                        LoadText(IDS_COPY_TO, 256) + dstValue) == COPY_IGNORE)
                    continue;
                LOG_MSG("CopyFile: %s  to %s", srcValue.c_str(), dstValue.c_str());
                return SETUP_COPY_ABORTED;
            }
            char folder[MAX_PATH];
            if (GetFolder(target, folder, sizeof(folder)) && folder[0]) {
                DWORD a = GetFileAttributesA(folder);
                if ((a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) &&
                    !CreateDirectorys(folder)) {
                    LOG_WIN32_ERROR(0, "CreateDirectorys failed: %s", folder);
                    if (!g_silent)
                        ShowMessageIds(nullptr, IDS_SETUP_TITLE, MB_OK | MB_ICONERROR, 0, folder,
                                       IDS_CREATE_FOLDER_FAILED, "", -1);
                    return SETUP_NO_FOLDER;
                }
            }

            CopyOutcome outcome;
            DWORD error = 0;
            do {
                outcome = CopyWithVersionCheck(source, target, &noMoreQuestions, &error);
            } while (outcome == COPY_RETRY);
            if (outcome == COPY_ABORT) {
                DWORD code = error ? error : (DWORD)ERROR_GEN_FAILURE;
                LOG_WIN32_ERROR(code, "CopyFile: %s  to %s", source, target);
                return SETUP_COPY_ABORTED;
            }
            if (outcome == COPY_DONE) {
                // The player counts as installed only once its copy is done:
                // an ignored failure must not leave records pointing at nothing.
                if (StartsWithIgnoringCase(GetFileNamePart(target), "MavroRt.exe"))
                    lstrcpynA(g_playerPath, target, MAX_PATH);
                for (int n : registerNumbers) {
                    if (n == i) {
                        toRegister.push_back(target);
                        break;
                    }
                }
            }
        }
    }

    // A list that names no file (an ini cut short, empty or not text) fails
    // as an empty first entry would, not as a finished install.
    if (listed == 0) {
        LOG_MSG("no file to install in (%s), install terminated!!", g_iniFile);
        return SETUP_NO_FOLDER;
    }
    if (toRegister.empty())
        return SETUP_OK;
    HRESULT hr = OleInitialize(nullptr);
    if (FAILED(hr)) {
        LOG_HRESULT(hr, "OleInitialize failed");
        if (!g_silent) {
            std::string text = LoadText(IDS_OLE_FAILED, 256);
            char shown[300];
            snprintf(shown, sizeof(shown), text.c_str(), (unsigned)hr);
            SysMessageBox(nullptr, shown, LoadText(IDS_SETUP_TITLE, 65).c_str(),
                          MB_OK | MB_ICONERROR);
        }
        return SETUP_NO_OLE;
    }
    for (const std::string& path : toRegister) {
        HRESULT result = S_OK;
        if (!RegisterServerDll(path.c_str(), false, &result)) {
            LOG_HRESULT(result, "register file failed :(%s)", path.c_str());
            if (!g_silent)
                SysMessageBox(nullptr, FormatId(IDS_REGISTER_FAILED, path.c_str()).c_str(),
                              LoadText(IDS_SETUP_TITLE, 65).c_str(), MB_OK | MB_ICONERROR);
        } else {
            LOG_MSG("RegisterFile %s succeeded", path.c_str());
        }
    }
    OleUninitialize();
    return SETUP_OK;
}

void Collect(const char* versionKey) {
    g_versionKeys.push_back(versionKey);
}

int CheckAndInstall() {
    CRegKey runtime;
    if (!runtime.Open(HKEY_CURRENT_USER, RUNTIME_KEY, true, KEY_ALL_ACCESS)) {
        LOG_MSG("reg.Open orvane runtime failed! install terminate!!");
        return SETUP_OK;
    }
    bool ownKeyFound = false;
    DWORD count = runtime.GetSubkeyCount();
    for (DWORD k = 0; k < count; ++k) {
        char name[MAX_PATH];
        if (!runtime.EnumSubkey(k, name, sizeof(name)))
            continue;
        int order = 0;
        // Only "%d.%d" names take part: "abc" is no runtime version.
        if (!CompareVersionKeys(name, OWN_VERSION_KEY, &order) || order > 0)
            continue;
        std::string path = std::string(RUNTIME_KEY) + "\\" + name;
        CRegKey item;
        if (!item.Open(HKEY_CURRENT_USER, path.c_str(), false, KEY_ALL_ACCESS)) {
            LOG_MSG("regItem.Open %s failed, ignore it.", name);
            continue;
        }
        char stored[MAX_PATH] = "";
        item.ReadString("Version", stored, sizeof(stored));
        int g1 = 0, g2 = 0, g3 = 0;
        bool compared = CompareVersionStrings(stored, g_version, &g1, &g2, &g3);
        if (order == 0) {
            ownKeyFound = true;
            if (g_silent || (compared && g2 < 0)) {
                Collect(name);
            } else {
                std::string text = FormatId(IDS_NEWER_INSTALLED, stored);
                if (SysMessageBox(nullptr, text.c_str(), LoadText(IDS_SETUP_TITLE, 65).c_str(),
                                  MB_YESNO | MB_ICONQUESTION) == IDYES)
                    Collect(name);
            }
        } else if (!compared || g1 <= 0 || g2 <= 0 || g3 <= 0) {
            Collect(name);
        } else {
            char player[MAX_PATH] = "";
            item.ReadString(nullptr, player, sizeof(player));
            if (!IsExistingFile(player))
                Collect(name);
        }
    }
    if (!ownKeyFound) {
        Collect(OWN_VERSION_KEY);
    } else if (g_versionKeys.empty()) {
        LOG_MSG("need not install rt");
        return SETUP_OK;
    }
    LOG_MSG("begin install rt");
    return InstallFiles();
}

// Writes the runtime records; 0 or the Win32 error of a record that could
// not be opened.
int RecordRuntime() {
    // Without a player there is nothing to point the records at: an empty
    // path would only break the launchers of installed works.
    if (!g_playerPath[0]) {
        LOG_MSG("no player installed, runtime records left as they are");
        return 0;
    }
    int result = 0;
    for (const std::string& versionKey : g_versionKeys) {
        std::string path = std::string(RUNTIME_KEY) + "\\" + versionKey;
        CRegKey key;
        if (!key.Open(HKEY_CURRENT_USER, path.c_str(), true, KEY_ALL_ACCESS)) {
            result = key.GetLastResult();
            LOG_MSG("RegInformation FAILED, nRet = %d", result);
            continue;
        }
        key.WriteString("Version", g_version);
        key.WriteString(nullptr, g_playerPath);
    }

    CRegKey old;
    if (!old.Open(HKEY_CURRENT_USER, OLD_LINE_KEY, true, KEY_ALL_ACCESS)) {
        LOG_MSG("Open 5.0 item failed, skip this item!");
        return result;
    }
    char stored[MAX_PATH] = "";
    old.ReadString("Version", stored, sizeof(stored));
    int g1 = 0, g2 = 0, g3 = 0;
    if (CompareVersionStrings(stored, g_version, &g1, &g2, &g3) && g1 > 0 && g2 > 0 && g3 > 0)
        return result;
    old.WriteString(nullptr, g_playerPath);
    old.WriteString("Version", g_version);
    return result;
}

int RtSetup(const char* commandLine) {
    if (!InitRtSetup(commandLine)) {
        LOG_MSG("InitRtSetup failed");
        if (!g_silent) {
            std::string text = FormatId(IDS_INI_MISSING, g_iniFile);
            SysMessageBox(nullptr, text.c_str(), LoadText(IDS_SETUP_TITLE, 65).c_str(),
                          MB_OK | MB_ICONERROR);
        }
        return SETUP_NO_INI;
    }
    bool dstLong = false;
    std::string dst = ReadIni("InstallFiles", "DstPath", "", &dstLong);
    g_dstPath[0] = 0;
    char expanded[MAX_PATH];
    if (dstLong || !ExpandPath(dst.c_str(), expanded)) {
        LOG_MSG("DstPath too long: %s", dst.c_str());
        return SETUP_NO_FOLDER;
    }
    lstrcpynA(g_dstPath, expanded, MAX_PATH);
    lstrcpynA(g_version, ReadIni("Register", "Version", "").c_str(), MAX_PATH);

    if (!g_silent && ShowMessageIds(nullptr, IDS_SETUP_TITLE, MB_YESNO | MB_ICONQUESTION,
                                    IDS_CONFIRM, "", -1) != IDYES) {
        LOG_MSG("already installed, or canceled by user");
        return SETUP_OK;
    }

    int result = CheckAndInstall();
    if (result == SETUP_OK)
        result = RecordRuntime();
    if (result != SETUP_OK) {
        LOG_MSG("Install failed");
        if (!g_silent)
            ShowMessageIds(nullptr, IDS_SETUP_TITLE, MB_OK | MB_ICONERROR, IDS_RUNTIME, "",
                           IDS_NOT_INSTALLED, "", -1);
        g_versionKeys.clear();
        return result;
    }

    if (g_rebootNeeded && !g_silent) {
        LOG_MSG("Rebooting windows");
        if (ShowMessageIds(nullptr, IDS_SETUP_TITLE, MB_YESNO | MB_ICONQUESTION, IDS_RUNTIME, "",
                           IDS_FILES_IN_USE, "", IDS_RESTART_NOW, "", -1) == IDYES) {
            if (!RebootWindows()) {
                LOG_MSG("reboot failed");
                ShowMessageIds(nullptr, IDS_SETUP_TITLE, MB_OK | MB_ICONERROR, IDS_CANNOT_RESTART,
                               "", -1);
            }
        } else {
            LOG_MSG("reboot canceled by user");
        }
    }
    if (!g_silent)
        ShowMessageIds(nullptr, IDS_SETUP_TITLE, MB_OK | MB_ICONINFORMATION, IDS_RUNTIME, "",
                       IDS_INSTALLED, "", -1);
    g_versionKeys.clear();
    return g_rebootNeeded ? SETUP_RESTART : SETUP_OK;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    g_instance = instance;
    char log[MAX_PATH + 32] = "";
    DWORD n = GetTempPathA(MAX_PATH, log);
    if (n > 0 && n < MAX_PATH) {
        lstrcatA(log, "~mavrortsetup.lg0");
        CreateTraceLog(log, TRACE_OPTION_KEEP_REPEATS);
    }
    LOG_MSG("Orvane Mavro Tool RunTime setup ...");
    int result = RtSetup(commandLine ? commandLine : "");
    ReleaseTraceLog();
    return result;
}
