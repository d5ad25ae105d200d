// The bodies of plain property methods of COM objects: a set
// stores the value, a get copies it out.
#pragma once

#include <windows.h>

template <class T>
HRESULT SetProperty(T& field, T v) {
    field = v;
    return S_OK;
}

template <class T>
HRESULT GetProperty(const T& field, T* v) {
    if (!v)
        return E_POINTER;
    *v = field;
    return S_OK;
}
