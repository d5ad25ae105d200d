// The function manager: resolves a script call by name against the built-in
// function libraries of type library 2 (math, general, system, in that
// order), then against the work's own functions.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "aExprEval.h"
#include "aFuncDirect.h"
#include "aFuncLib.h"

class CRoutineTables;

class CFunctionManager : public IExprFunctionAccess {
public:
    CFunctionManager();
    virtual ~CFunctionManager();
    CFunctionManager(const CFunctionManager&) = delete;
    CFunctionManager& operator=(const CFunctionManager&) = delete;

    // Loads the type library (registering it), makes the three library
    // objects and seeds the random generator. The library is the player's own
    // "<module>\2" unless a path is given. False (logged) when it cannot load.
    bool LoadLibraries(const char* typeLibPath = nullptr);
    // Kept for libraries loaded later too.
    void SetSystemHost(ISystemFuncHost* host);
    void SetRoutineTables(CRoutineTables* tables) { m_routines = tables; }

    int GetLibraryCount() const { return (int)m_libs.size(); }
    int GetFunctionCount(int library) const;
    IDispatch* GetLibrary(int library) const { return m_libs[(size_t)library].disp; }

    // Arguments in call order (last argument first), converted in place to
    // the declared parameter types.
    bool Execute(const char* name, VARIANT* args, int count, VARIANT* result) override;

    // Built-in methods are called directly where the direct table fits the
    // type information; off, every call goes through ITypeInfo::Invoke
    // (tests compare the two paths).
    void SetDirectCalls(bool on) { m_direct = on; }
    // Whether the named built-in has a direct call bound.
    bool HasDirectCall(const char* name) const;

private:
    struct Library {
        IDispatch* disp;  // counted
        void* itf;        // the dual interface the type information describes
        ITypeInfo* info;  // counted
    };
    struct Function {
        int library;
        MEMBERID id;
        std::vector<VARTYPE> params;    // declaration order
        const FuncDirectEntry* direct;  // null: through the type information
    };
    bool AddLibrary(ITypeLib* lib, REFIID iid, IDispatch* disp);

    std::vector<Library> m_libs;
    // Names resolved once when the libraries load; the first match decides.
    std::unordered_map<std::string, Function> m_functions;
    CSystemFuncs* m_system;   // held through m_libs
    ISystemFuncHost* m_host;  // given to the system library when it loads
    CRoutineTables* m_routines;
    bool m_direct;
    const Function* m_last;  // the function found last, under m_lastName
    std::string m_lastName;
};
