// Arguments of a command as a script sends them: integer and text values,
// and the packet that carries them.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <vector>

#include "aCmdPacket.h"
#include "bStrConv.h"

namespace cmdargs {

inline VARIANT Int(LONG i) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = i;
    return v;
}

// A BSTR holding the text's code-page bytes, as the script engine passes it.
inline VARIANT Text(const char* s) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = BstrFromMultibyte(s);
    return v;
}

// A packet for the object with the arguments in source order (the record
// holds them last first); the packet owns them.
inline CCmdPacket* Packet(const char* object, std::vector<VARIANT> args) {
    DISPPARAMS* dp = args.empty() ? nullptr : NewArgs((UINT)args.size());
    for (size_t i = 0; i < args.size(); ++i) dp->rgvarg[args.size() - 1 - i] = args[i];
    return new CCmdPacket(object, "", dp);
}

}  // namespace cmdargs
