// The texture fill (fill type 3).
#include "bFillInner.h"

FillBase* CreateTextureFill() {
    return nullptr;
}
