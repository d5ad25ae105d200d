// Every message box and question of the system passes through here, so that
// tests and unattended runs answer without a window.
#pragma once

#include <windows.h>

#ifndef RC_INVOKED

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
// Starts the list over at its first answer.
void RestartUnattendedAnswers();

// The answer of the installed handler or of an unattended run; false when
// the question has to be shown. Programs with a dialog of their own in place
// of a message box ask here first, with the box type its buttons stand for.
bool AnswerWithoutWindow(HWND window, const char* text, const char* caption, UINT type,
                         int* answer);

#endif

// The "Yes to all" answer of a three-button question (Yes, Yes to all, No).
#define IDYESTOALL 0x100
