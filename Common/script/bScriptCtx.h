// The script context record of the play site (slot 11): the current owner
// that the document sets on every page change, and the running document's
// script variables, for objects that evaluate expressions of their own.
#pragma once

#include <unknwn.h>

class VariableManager;

struct CScriptContext {
    int ownerKind = 0;
    IUnknown* owner = nullptr;             // not counted
    VariableManager* variables = nullptr;  // borrowed
};
