// Every message box, question and modal dialog of the system passes through
// here, so that tests and unattended runs answer without a blocking window.
#pragma once

#include <windows.h>

#ifndef RC_INVOKED

#include <commctrl.h>
#include <commdlg.h>

typedef int (*PFNMESSAGEBOXHANDLER)(HWND window, const char* text, const char* caption, UINT type);

// Shows (or answers) a message box; the answer is an ID* value.
int SysMessageBox(HWND window, const char* text, const char* caption, UINT type);

// Installs a handler that answers instead of a window; returns the previous
// one. Null restores the real message box.
PFNMESSAGEBOXHANDLER SetMessageBoxHandler(PFNMESSAGEBOXHANDLER handler);

// The answer an unattended run gives to a box of this type: the environment
// variable MAVRO_AUTOANSWER ("yes", "no", "ok", "cancel" or a number) chooses
// it; without it the box is shown. A list separated by commas answers the
// questions of the process in order, its last answer every later one.
int UnattendedAnswer(UINT type, bool* answered);

// Drives a live dialog instead of the user: the dialog is created modeless
// and hidden, the handler types into it and presses its buttons (or answers
// at once), and the dialog is destroyed afterwards.
typedef INT_PTR (*PFNDIALOGHANDLER)(int templateId, HWND dialog);

// Installs a dialog handler; returns the previous one. Null shows dialogs.
PFNDIALOGHANDLER SetDialogHandler(PFNDIALOGHANDLER handler);

// Shows a modal dialog of the module's template. Under a handler the result
// is the one the dialog ended with (EndSysDialog), else the handler's own;
// an unattended run answers IDCANCEL without a window.
INT_PTR SysDialogBox(HINSTANCE module, int templateId, HWND parent, DLGPROC proc, LPARAM param);

// Ends a dialog shown by SysDialogBox with its result.
void EndSysDialog(HWND dialog, INT_PTR result);

// Starts the list over at its first answer.
void RestartUnattendedAnswers();

// Open-file dialogs: a handler sees the request (filter, title, flags) and
// answers the chosen path, or null for Cancel; an unattended run cancels.
typedef const char* (*PFNOPENFILEHANDLER)(const OPENFILENAMEA* request);

// Returns the previous handler. Null shows the dialog.
PFNOPENFILEHANDLER SetOpenFileHandler(PFNOPENFILEHANDLER handler);

// GetOpenFileNameA through the handler: the path goes into lpstrFile (with
// nFileOffset and nFileExtension); FALSE for Cancel or a path too long for
// the buffer.
BOOL SysGetOpenFileName(OPENFILENAMEA* request);

// Property sheets: under a dialog handler the sheet is created modeless and
// hidden, the handler drives it (the id is the caption's resource id, 0
// for a text caption) and answers, and the sheet is destroyed afterwards;
// an unattended run answers 0 (closed without changes) without a window.
INT_PTR SysPropertySheet(PROPSHEETHEADERA* header);

// Pop-up menus pass here too: a handler sees the menu and answers with the
// command chosen (0: none); an unattended run chooses nothing.
typedef BOOL (*PFNPOPUPMENUHANDLER)(HMENU menu, UINT flags, int x, int y, HWND owner);

// Returns the previous handler. Null shows menus.
PFNPOPUPMENUHANDLER SetPopupMenuHandler(PFNPOPUPMENUHANDLER handler);

// TrackPopupMenu through the handler; its answer.
BOOL SysTrackPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner);

// The answer of the installed handler or of an unattended run; false when
// the question has to be shown. Programs with a dialog of their own in place
// of a message box ask here first, with the box type its buttons stand for.
bool AnswerWithoutWindow(HWND window, const char* text, const char* caption, UINT type,
                         int* answer);

#endif

// The "Yes to all" answer of a three-button question (Yes, Yes to all, No).
#define IDYESTOALL 0x100
