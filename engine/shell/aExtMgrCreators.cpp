// The class creators of the built-in modules, one slot per row of the
// built-in module table (see BuiltinModule). A class that exists puts its
// creator into its slot here; the others stay empty and answer
// CLASS_E_CLASSNOTAVAILABLE.
#include "aExtMgr.h"

PFNMODULECREATE g_builtinClassCreators[BUILTIN_MODULE_COUNT] = {};
