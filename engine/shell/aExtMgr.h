// The registry of the program's modules: presentation object classes,
// abilities, plug-ins (the page-transition effects) and page modules, each
// with its class identifier, interface or category identifier, object type
// code and creator. The application-global object owns the one instance.
#pragma once

#include <windows.h>

#include <vector>

#include "aModuleRec.h"

class CExtensionManager : public IModuleRegistry {
public:
    // Empty tables, then the built-in modules: objects, the ability, the
    // plug-ins.
    CExtensionManager();
    virtual ~CExtensionManager();
    CExtensionManager(const CExtensionManager&) = delete;
    CExtensionManager& operator=(const CExtensionManager&) = delete;

    // Adds a module at the end of its type's group. Types other than 1 to 4
    // are refused (nothing added; the creator record is kept all the same)
    // and answer 0; else the new count of the type. objectType is kept for
    // object and ability modules only.
    int DefModule(WORD type, REFCLSID classId, REFIID categoryId, DWORD flagWord, DWORD zeroWord,
                  UINT nameId, UINT descriptionId, PFNMODULECREATE creator, DWORD_PTR argument,
                  DWORD objectType);

    // The first module of `type` that matches the identifiers the caller put
    // into `search` (as `flags` asks), or null.
    ModuleEntry* FindFirst(WORD type, WORD flags, ModuleSearch* search) override;
    // The next match after the current one, or null.
    ModuleEntry* FindNext(ModuleSearch* search) override;

    // Adds a module whose class comes from the DLL at `path`, loaded on first
    // use (a kind-2 creator record owning the path). Answers as DefModule.
    int DefModulePath(WORD type, REFCLSID classId, REFIID categoryId, const char* path,
                      DWORD objectType);

    int GetCount(WORD type) const;

private:
    DWORD m_counts[4];
    std::vector<ModuleEntry*> m_entries;     // grouped by type, in type order
    std::vector<ModuleCreator*> m_creators;  // owned
};

// The built-in modules, in the order of definition.
enum BuiltinModule {
    BUILTIN_GROUP_OBJECT,
    BUILTIN_VECTOR_OBJECT,
    BUILTIN_ACTIVEX_OBJECT,
    BUILTIN_TEXT_OBJECT,
    BUILTIN_RTF_OBJECT,
    BUILTIN_PICTURE_OBJECT,
    BUILTIN_SOUND_OBJECT,
    BUILTIN_MOVIE_OBJECT,
    BUILTIN_VIDEO_OBJECT,
    BUILTIN_GRAPH_OBJECT,
    BUILTIN_DRAWBOARD_OBJECT,
    BUILTIN_GRID_OBJECT,
    BUILTIN_SCROLLBAR_FIXEDSLIDER_VERT,
    BUILTIN_SCROLLBAR_FIXEDSLIDER_HORZ,
    BUILTIN_SCROLLBAR_SCROLL_VERT,
    BUILTIN_SCROLLBAR_SCROLL_HORZ,
    BUILTIN_SCROLLBAR_PROGRESS_VERT,
    BUILTIN_SCROLLBAR_PROGRESS_HORZ,
    BUILTIN_SCROLLBAR_SLIDER_VERT,
    BUILTIN_SCROLLBAR_SLIDER_HORZ,
    BUILTIN_BUTTON_PUSH,
    BUILTIN_BUTTON_2VALUE,
    BUILTIN_BUTTON_3VALUE,
    BUILTIN_BUTTON_CHECK,
    BUILTIN_BUTTON_RADIO,
    BUILTIN_MENU_HORIZONTAL,
    BUILTIN_MENU_VERTICAL,
    BUILTIN_PATH_ANIMATE_ABILITY,
    BUILTIN_MOVE_PLUGIN,
    BUILTIN_REGION_PLUGIN_1,
    BUILTIN_REGION_PLUGIN_2,
    BUILTIN_REGION_PLUGIN_3,
    BUILTIN_MASK_PLUGIN_1,
    BUILTIN_MASK_PLUGIN_2,
    BUILTIN_MASK_PLUGIN_3,
    BUILTIN_MASK_PLUGIN_4,
    BUILTIN_MASK_PLUGIN_5,
    BUILTIN_MASK_PLUGIN_6,
    BUILTIN_DECORATION_PLUGIN_1,
    BUILTIN_DECORATION_PLUGIN_2,
    BUILTIN_BLEND_PLUGIN,
    BUILTIN_MODULE_COUNT
};

// The class creators behind the built-in modules. Each module's creator
// calls its slot; an empty slot answers CLASS_E_CLASSNOTAVAILABLE. The
// classes' own files fill their slots in aExtMgrCreators.cpp as they come.
extern PFNMODULECREATE g_builtinClassCreators[BUILTIN_MODULE_COUNT];
