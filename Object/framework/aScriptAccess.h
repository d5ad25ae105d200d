// Script access to objects: the type library that describes the object
// classes, and the dispatch steps every object class shares. Names of the
// form ability, "->", member reach a member of one of the object's abilities
// with the identifier (index << 16) + (member | 0x80000000).
#pragma once

#include "aObjItf.h"

class AbilityContainer;

// Bits of an ability member's dispatch identifier.
enum : DWORD {
    ABILITY_DISPID_FLAG = 0x80000000,
    ABILITY_DISPID_SHIFT = 16,
    ABILITY_MEMBER_LIMIT = 0x10000,  // member ids must stay below the index bits
    ABILITY_INDEX_LIMIT = 0x8000,
};

// Type library 1 (Mavro 1.0): from the registry, else from resource 1 of the
// running program. Loaded once and kept; null (logged) when neither works.
ITypeLib* GetObjectTypeLib();
// The type information of an interface or class of the library, kept.
HRESULT GetObjectTypeInfo(REFGUID guid, ITypeInfo** out);

// The dispatch identifier of an ability member; false when the index or the
// member id does not fit its bits.
bool ComposeAbilityDispId(int index, DISPID member, DISPID* out);

// GetIDsOfNames of an object class: the type information first, then the
// ability path.
HRESULT ObjectGetIDsOfNames(ITypeInfo* info, AbilityContainer* abilities, REFIID iid,
                            LPOLESTR* names, UINT count, LCID locale, DISPID* ids);
// Invoke of an object class: ability members by their index, the rest on
// `self` (the dispatch interface) through the type information.
HRESULT ObjectInvoke(ITypeInfo* info, void* self, AbilityContainer* abilities, DISPID id,
                     REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception, UINT* argError);
