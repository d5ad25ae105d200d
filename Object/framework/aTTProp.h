// CToolTipProp: an object's tooltip properties: whether a tooltip shows, its
// text with font and colours, its fill, border, size and timing.
#pragma once

#include "aObjItf.h"

HRESULT CreateToolTipProp(IToolTipProp** out);
