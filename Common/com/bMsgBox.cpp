#include "bMsgBox.h"

#include <stdlib.h>
#include <string.h>

#include "bTraceLog.h"

static PFNMESSAGEBOXHANDLER g_handler = nullptr;

PFNMESSAGEBOXHANDLER SetMessageBoxHandler(PFNMESSAGEBOXHANDLER handler) {
    PFNMESSAGEBOXHANDLER old = g_handler;
    g_handler = handler;
    return old;
}

// The affirmative and negative answers a box of this type can give.
static int AnswerFor(UINT type, bool yes) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return yes ? IDOK : IDCANCEL;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return yes ? IDYES : IDNO;
        case MB_RETRYCANCEL:
            return yes ? IDRETRY : IDCANCEL;
        case MB_ABORTRETRYIGNORE:
            return yes ? IDIGNORE : IDABORT;
        default:
            return IDOK;
    }
}

// Questions answered so far from a list of answers.
static LONG g_asked = 0;

// The list item for the next question: the item at the count of questions
// asked, or the last one.
static void TakeListItem(char* value) {
    LONG index = InterlockedIncrement(&g_asked) - 1;
    char* item = value;
    for (LONG i = 0; i < index; ++i) {
        char* comma = strchr(item, ',');
        if (!comma)
            break;
        item = comma + 1;
    }
    char* end = strchr(item, ',');
    if (end)
        *end = 0;
    memmove(value, item, strlen(item) + 1);
}

void RestartUnattendedAnswers() {
    InterlockedExchange(&g_asked, 0);
}

// Set for unattended runs (tests, the sample's run): nothing waits for a user.
static bool UnattendedRun() {
    char value[8];
    return GetEnvironmentVariableA("MAVRO_AUTOANSWER", value, sizeof(value)) > 0;
}

int UnattendedAnswer(UINT type, bool* answered) {
    *answered = false;
    char value[256];
    DWORD n = GetEnvironmentVariableA("MAVRO_AUTOANSWER", value, sizeof(value));
    if (n == 0 || n >= sizeof(value))
        return 0;
    *answered = true;
    TakeListItem(value);
    if (_stricmp(value, "yes") == 0 || _stricmp(value, "ok") == 0)
        return AnswerFor(type, true);
    if (_stricmp(value, "no") == 0 || _stricmp(value, "cancel") == 0)
        return AnswerFor(type, false);
    int v = atoi(value);
    return v > 0 ? v : AnswerFor(type, true);
}

bool AnswerWithoutWindow(HWND window, const char* text, const char* caption, UINT type,
                         int* answer) {
    if (g_handler) {
        *answer = g_handler(window, text, caption, type);
        return true;
    }
    bool answered = false;
    *answer = UnattendedAnswer(type, &answered);
    if (answered)
        LOG_MSG("MessageBox answered unattended (%d): %s", *answer, text ? text : "");
    return answered;
}

int SysMessageBox(HWND window, const char* text, const char* caption, UINT type) {
    int answer = 0;
    if (AnswerWithoutWindow(window, text, caption, type, &answer))
        return answer;
    return MessageBoxA(window, text, caption, type);
}

static PFNDIALOGHANDLER g_dialogHandler = nullptr;
static const char kDialogResult[] = "SysDialogResult";
static const char kDialogEnded[] = "SysDialogEnded";

PFNDIALOGHANDLER SetDialogHandler(PFNDIALOGHANDLER handler) {
    PFNDIALOGHANDLER old = g_dialogHandler;
    g_dialogHandler = handler;
    return old;
}

void EndSysDialog(HWND dialog, INT_PTR result) {
    SetPropA(dialog, kDialogResult, (HANDLE)result);
    SetPropA(dialog, kDialogEnded, (HANDLE)1);
    EndDialog(dialog, result);
}

INT_PTR SysDialogBox(HINSTANCE module, int templateId, HWND parent, DLGPROC proc, LPARAM param) {
    if (g_dialogHandler) {
        HWND dialog = CreateDialogParamA(module, MAKEINTRESOURCEA(templateId), parent, proc, param);
        if (!dialog) {
            LOG_WIN32_ERROR(0, "Dialog %d not created", templateId);
            return -1;
        }
        ShowWindow(dialog, SW_HIDE);
        INT_PTR answer = g_dialogHandler(templateId, dialog);
        if (IsWindow(dialog)) {
            if (GetPropA(dialog, kDialogEnded))
                answer = (INT_PTR)GetPropA(dialog, kDialogResult);
            RemovePropA(dialog, kDialogResult);
            RemovePropA(dialog, kDialogEnded);
            DestroyWindow(dialog);
        }
        return answer;
    }
    // An unattended run cancels a dialog; its list of answers is for boxes
    // and stays untouched.
    if (UnattendedRun()) {
        LOG_MSG("Dialog %d answered unattended", templateId);
        return IDCANCEL;
    }
    return DialogBoxParamA(module, MAKEINTRESOURCEA(templateId), parent, proc, param);
}

static PFNOPENFILEHANDLER g_openFileHandler = nullptr;

PFNOPENFILEHANDLER SetOpenFileHandler(PFNOPENFILEHANDLER handler) {
    PFNOPENFILEHANDLER old = g_openFileHandler;
    g_openFileHandler = handler;
    return old;
}

BOOL SysGetOpenFileName(OPENFILENAMEA* request) {
    if (g_openFileHandler) {
        const char* path = g_openFileHandler(request);
        size_t n = path ? strlen(path) : 0;
        if (!path || !request->lpstrFile || n + 1 > request->nMaxFile)
            return FALSE;
        memcpy(request->lpstrFile, path, n + 1);
        // The offsets a real dialog reports: the name after the last
        // separator, the extension after the name's last dot (0 without).
        const char* name = path;
        for (const char* p = path; *p; p = CharNextA(p))
            if (*p == '\\' || *p == '/' || *p == ':')
                name = p + 1;
        const char* dot = strrchr(name, '.');
        request->nFileOffset = (WORD)(name - path);
        request->nFileExtension = (WORD)(dot ? dot + 1 - path : 0);
        return TRUE;
    }
    if (UnattendedRun()) {
        LOG_MSG("Open-file dialog answered unattended");
        return FALSE;
    }
    return GetOpenFileNameA(request);
}

INT_PTR SysPropertySheet(PROPSHEETHEADERA* header) {
    int id = IS_INTRESOURCE(header->pszCaption) ? (int)(INT_PTR)header->pszCaption : 0;
    if (g_dialogHandler) {
        PROPSHEETHEADERA modeless = *header;
        modeless.dwFlags |= PSH_MODELESS;
        HWND sheet = (HWND)PropertySheetA(&modeless);
        if (!sheet || sheet == (HWND)-1) {
            LOG_WIN32_ERROR(0, "Property sheet %d not created", id);
            return -1;
        }
        ShowWindow(sheet, SW_HIDE);
        INT_PTR answer = g_dialogHandler(id, sheet);
        if (IsWindow(sheet)) {
            // A sheet its buttons closed reports how it ended.
            if (!PropSheet_GetCurrentPageHwnd(sheet))
                answer = SendMessageA(sheet, PSM_GETRESULT, 0, 0);
            DestroyWindow(sheet);
        }
        return answer;
    }
    if (UnattendedRun()) {
        LOG_MSG("Property sheet %d answered unattended", id);
        return 0;
    }
    return PropertySheetA(header);
}

static PFNPOPUPMENUHANDLER g_menuHandler = nullptr;

PFNPOPUPMENUHANDLER SetPopupMenuHandler(PFNPOPUPMENUHANDLER handler) {
    PFNPOPUPMENUHANDLER old = g_menuHandler;
    g_menuHandler = handler;
    return old;
}

BOOL SysTrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner) {
    if (g_menuHandler)
        return g_menuHandler(menu, flags, x, y, owner);
    if (UnattendedRun()) {
        LOG_MSG("Pop-up menu answered unattended");
        return 0;
    }
    return TrackPopupMenu(menu, flags, x, y, 0, owner, nullptr);
}
