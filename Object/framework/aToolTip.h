// CToolTipWnd: the player's one tooltip: shown for the object under the
// pointer after its show delay, moved with the pointer, hidden after the
// hide delay or when the pointer leaves. Drawn into the back buffer after
// every redraw.
#pragma once

#include "aObjItf.h"

HRESULT CreateToolTipWnd(IToolTipWnd** out);
// The play site the window schedules and invalidates through (borrowed).
void SetToolTipWndSite(IToolTipWnd* window, IPlayerSite* site);
