// CursorAbility: the mouse cursor an object shows while the pointer is over
// it: a cursor of the player's cursor library by number, or a cursor file.
#pragma once

#include "aObjItf.h"

// The cursor library module (mavrolib.dll), set by the application-global
// object when it loads the library; numbered cursors come from it.
void SetCursorLibrary(HMODULE module);
HMODULE GetCursorLibrary();

HRESULT CreateCursorAbility(IPlayerSite* site, ICursorAbility** out);
void SetCursorSite(ICursorAbility* cursor, IPlayerSite* site);

// Cuts a text to at most `limit` bytes without splitting a double-byte
// character; answers the kept length.
size_t CutMultibyteText(const char* text, size_t limit, char* out);
