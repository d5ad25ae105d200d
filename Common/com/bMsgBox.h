// Every message box and question of the system passes through here, so that
// tests and unattended runs answer without a window.
#pragma once

#include <windows.h>

typedef int (*PFNMESSAGEBOXHANDLER)(HWND window, const char* text, const char* caption, UINT type);

// Shows (or answers) a message box; the answer is an ID* value.
int SysMessageBox(HWND window, const char* text, const char* caption, UINT type);

// Installs a handler that answers instead of a window; returns the previous
// one. Null restores the real message box.
PFNMESSAGEBOXHANDLER SetMessageBoxHandler(PFNMESSAGEBOXHANDLER handler);

// The answer an unattended run gives to a box of this type: the environment
// variable MAVRO_AUTOANSWER ("yes", "no", "ok", "cancel" or a number) chooses
// it; without it the box is shown.
int UnattendedAnswer(UINT type, bool* answered);
