// Direct calls of the built-in library methods: a table from member id to a
// plain C++ call of the dual interface, so that a script call does not pay
// for ITypeInfo::Invoke. The function manager binds an entry to a name only
// when its parameter and result types equal those of the type information;
// what the table lacks still goes through the type information.
#pragma once

#include <windows.h>
#include <oleauto.h>

// Arguments converted to the declared types, in call order (last first).
struct FuncDirectArgs {
    VARIANT* v;
    int n;
    // Parameter k in declaration order.
    LONG L(int k) const { return V_I4(&v[n - 1 - k]); }
    double D(int k) const { return V_R8(&v[n - 1 - k]); }
    BSTR B(int k) const { return V_BSTR(&v[n - 1 - k]); }
};

struct FuncDirectOut {
    LONG l = 0;
    double d = 0;
    BSTR b = nullptr;
};

typedef HRESULT (*FuncDirectCall)(void* itf, const FuncDirectArgs& args, FuncDirectOut& out);

struct FuncDirectEntry {
    MEMBERID id;
    // Parameter types in declaration order and the result type:
    // 'L' long (VT_I4), 'D' double (VT_R8), 'B' BSTR (VT_BSTR).
    const char* params;
    char result;
    FuncDirectCall call;
};

// The entry of a member of IMathFuncs, IGeneralFuncs or ISystemFuncs; null
// when the table has none.
const FuncDirectEntry* FindFuncDirectEntry(REFIID iid, MEMBERID id);

// Whether the entry takes these parameter types and gives this result type.
bool FuncDirectFits(const FuncDirectEntry& entry, const VARTYPE* params, int count, VARTYPE result);

// Calls the method on the dual interface `itf` with arguments already of
// the declared types; on success the result holds the method's value.
HRESULT CallFuncDirect(const FuncDirectEntry& entry, void* itf, VARIANT* args, int count,
                       VARIANT* result);
