#include <initguid.h>

#include "SolidObject.h"

HRESULT CreateSolidObject(IUnknown** out) {
    return ComCreateInstance<SolidObject>(IID_IUnknown, reinterpret_cast<void**>(out));
}
