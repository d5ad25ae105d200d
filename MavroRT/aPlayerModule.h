// The player's application module: the base module plus the one CGlobal.
#pragma once

#include "bAppModule.h"

class CGlobal;
class CPlayerSite;

class CPlayerModule : public CAppModuleBase {
public:
    HRESULT Init(HINSTANCE instance);
    void Term();
};

extern CPlayerModule _Module;

// Runs the presentation's message loop; returns the WM_QUIT parameter.
int RunMessageLoop(CPlayerSite* site);
