// The picture fill (fill type 2).
#include "bFillInner.h"

FillBase* CreatePictureFill() {
    return nullptr;
}
void ReportPictureName(FillBase*, char* name) {
    name[0] = 0;
}
