// An object module as the factory loads one by path: a DLL whose
// DllGetClassObject serves the solid-colour test kind.
#include "SolidObject.h"

namespace {

HRESULT CreateSolid(REFIID iid, void** ppv) {
    return ComCreateInstance<SolidObject>(iid, ppv);
}

const ComClassEntry kClasses[] = {
    {&CLSID_SolidObject, CreateSolid, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** ppv) {
    return ComDllGetClassObject(kClasses, clsid, iid, ppv);
}
