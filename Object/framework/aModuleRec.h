// The records of the module registry that the object factory reads: module
// types, the creator record of each module (how to make an instance: a
// built-in creator, a loaded module or a module to load by path), the module
// entry and the search state. The extension manager (engine) owns the records
// and implements IModuleRegistry; the factory sits below it and walks it
// through that interface.
#pragma once

#include <windows.h>

// Module types.
enum ModuleType : WORD {
    MODULE_OBJECT = 1,
    MODULE_ABILITY = 2,
    MODULE_PLUGIN = 3,
    MODULE_PAGE = 4,
};

// Match flags of a search.
enum ModuleMatch : WORD {
    MODULE_MATCH_CLSID = 0x1,
    MODULE_MATCH_IID = 0x2,
};

// Kinds of a creator record (its first word).
enum ModuleKind : DWORD {
    MODULE_KIND_BUILTIN = 0,  // pfnCreate makes the instance
    MODULE_KIND_LOADED = 1,   // dwArgument is the module handle
    MODULE_KIND_TO_LOAD = 2,  // dwArgument is the owned path (char*)
};

// Makes a new instance of a module's class and stores its IUnknown in *out.
typedef HRESULT (*PFNMODULECREATE)(IUnknown** out);

// The creator record of a module (16 bytes in the 32-bit program).
struct ModuleCreator {
    DWORD dwFirst;  // ModuleKind; 0 for built-in modules
    PFNMODULECREATE pfnCreate;
    DWORD_PTR dwArgument;  // built-in: the creator's argument; else handle or path
    DWORD dwLast;          // 1 when the factory loaded the module: freed with the record
};

// One module (208 bytes in the 32-bit program).
struct ModuleEntry {
    DWORD dwFlag;  // 1 for built-in modules
    WORD wType;    // ModuleType
    WORD wReserved;
    CLSID clsid;
    IID iid;  // interface or category identifier
    ModuleCreator* pCreator;
    DWORD dwZero;             // 0 for built-in modules
    char szName[32];          // from the string table, when a name id is given
    char szDescription[128];  // likewise
};

// Object and ability modules carry an object type code (212 bytes).
struct ObjectModuleEntry : ModuleEntry {
    DWORD dwObjectType;
};

#if defined(__i386__)
static_assert(sizeof(ModuleCreator) == 16, "creator record is 16 bytes");
static_assert(sizeof(ModuleEntry) == 208, "module entry is 208 bytes");
static_assert(sizeof(ObjectModuleEntry) == 212, "object module entry is 212 bytes");
#endif

// The state of a search: the caller fills the identifiers to match, FindFirst
// the rest.
struct ModuleSearch {
    WORD wType;
    WORD wFlags;  // ModuleMatch bits
    IID iid;
    CLSID clsid;
    int nCurrent;
    int nEnd;
};

// The registry as the factory sees it.
class IModuleRegistry {
public:
    // The first module of `type` that matches the identifiers the caller put
    // into `search` (as `flags` asks), or null.
    virtual ModuleEntry* FindFirst(WORD type, WORD flags, ModuleSearch* search) = 0;
    // The next match after the current one, or null.
    virtual ModuleEntry* FindNext(ModuleSearch* search) = 0;

protected:
    ~IModuleRegistry() {}
};

// A creator record for a module loaded by path on first use (kind 2, the
// path copied and owned by the record).
ModuleCreator* NewModuleRecordForPath(const char* path);
// Frees what the record owns: the path of a module not yet loaded, the module
// the factory loaded. The record itself stays.
void ReleaseModuleRecord(ModuleCreator* record);

// Makes an instance of the module's class: kind 0 calls the creator, kind 1
// asks the module's DllGetClassObject, kind 2 loads the module first (once;
// the record becomes kind 1). Logs and answers E_FAIL for a module that
// cannot be loaded or has no DllGetClassObject.
HRESULT CreateFromModule(REFCLSID clsid, ModuleCreator* record, IUnknown** out);
