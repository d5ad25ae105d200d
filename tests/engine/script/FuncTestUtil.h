// Shared helpers of the script tests: the function library's type library
// beside the player program, and values as comparable text.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <stdio.h>

#include <string>

#include "PlayerBuildFiles.h"
#include "bStrConv.h"

inline std::string FuncLibPath() {
    return PlayerBuildFile("FuncLib.tlb");
}

// "I4:3", "R8:3.5" (%g), "S:text", "BOOL:-1", "EMPTY", "VT:n".
inline std::string VariantText(const VARIANT& v) {
    char buf[64];
    switch (V_VT(&v)) {
        case VT_EMPTY:
            return "EMPTY";
        case VT_I4:
            snprintf(buf, sizeof(buf), "I4:%ld", (long)V_I4(&v));
            return buf;
        case VT_R8:
            snprintf(buf, sizeof(buf), "R8:%g", V_R8(&v));
            return buf;
        case VT_BOOL:
            snprintf(buf, sizeof(buf), "BOOL:%d", (int)V_BOOL(&v));
            return buf;
        case VT_BSTR:
            return "S:" + MultibyteFromBstr(V_BSTR(&v));
        default:
            snprintf(buf, sizeof(buf), "VT:%d", (int)V_VT(&v));
            return buf;
    }
}
