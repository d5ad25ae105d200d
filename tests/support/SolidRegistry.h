// The solid test kind in an extension manager, as the object and shell
// tests register it.
#pragma once

#include "SolidObject.h"
#include "aExtMgr.h"

// The solid test kind, made under the type id given.
inline void RegisterSolid(CExtensionManager& registry, DWORD type = kSolidType) {
    registry.DefModule(MODULE_OBJECT, CLSID_SolidObject, IID_IUnknown, 0, 0, 0, 0,
                       CreateSolidObject, 0, type);
}
