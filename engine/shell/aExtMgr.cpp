#include "aExtMgr.h"

#include <string.h>

#include <array>
#include <utility>

#include "bTraceLog.h"

namespace {

// {D57380xx-104E-11D4-9EEB-00104B04B807}: the built-in classes.
#define CLASS_ID(hi, lo)                                    \
    {                                                       \
        0xD5730000u | ((hi) << 8) | (lo), 0x104E, 0x11D4, { \
            0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07  \
        }                                                   \
    }
// {C0BC26xx-1049-11D4-9EEB-00104B04B807}: their interfaces and categories.
#define TESK_ID(lo)                                        \
    {                                                      \
        0xC0BC2600u | (lo), 0x1049, 0x11D4, {              \
            0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07 \
        }                                                  \
    }

const DWORD NO_OBJECT_TYPE = 0;

struct BuiltinRow {
    WORD type;
    GUID clsid;
    GUID iid;
    DWORD objectType;
    UINT nameId;
};

const GUID kMenuCategory = {
    0x14E97CBE, 0xABFF, 0x43B3, {0xA0, 0xBE, 0x04, 0x5A, 0x4F, 0x1E, 0x31, 0xAC}};

// In the order of definition; indices are BuiltinModule values.
const BuiltinRow kBuiltins[BUILTIN_MODULE_COUNT] = {
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x60), TESK_ID(0x49), 0x00F00000, 0},  // GroupObject
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x68), TESK_ID(0x52), 0x00030000, 0},  // VectorObject
    {MODULE_OBJECT,
     CLASS_ID(0x8C, 0x6D),
     {0x45BD0741, 0xCA78, 0x11D5, {0x85, 0x58, 0xF8, 0xF4, 0x7C, 0x3F, 0x4C, 0x11}},
     0x03010000,
     0},                                                                  // ActiveXObject
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x61), TESK_ID(0x51), 0x00010000, 0},  // TextObject
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x62), TESK_ID(0x4E), 0x01010000, 0},  // RTFObject
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x63), TESK_ID(0x4D), 0x01020000, 0},  // PictureObject
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x65), TESK_ID(0x50), 0x01040000, 0},  // SoundObject
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x67), TESK_ID(0x4B), 0x01060000, 0},  // MovieObject
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x66), TESK_ID(0x53), 0x01050000, 0},  // VideoObject
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x64), TESK_ID(0x48), 0x01030000, 0},  // GraphObject
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x6C), TESK_ID(0x46), 0x00040000, 0},  // DrawBoardObject
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x6B), TESK_ID(0x47), 0x00020000, 0},  // GridObject
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x90), TESK_ID(0x4F), 0x02010001,
     0},  // ScrollBar FixedSliderVert
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x91), TESK_ID(0x4F), 0x02010101,
     0},  // ScrollBar FixedSliderHorz
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x92), TESK_ID(0x4F), 0x02010002, 0},  // ScrollBar ScrollVert
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x93), TESK_ID(0x4F), 0x02010102, 0},  // ScrollBar ScrollHorz
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x94), TESK_ID(0x4F), 0x02010003, 0},  // ScrollBar ProgressVert
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x95), TESK_ID(0x4F), 0x02010103, 0},  // ScrollBar ProgressHorz
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x96), TESK_ID(0x4F), 0x02010004, 0},  // ScrollBar SliderVert
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x97), TESK_ID(0x4F), 0x02010104, 0},  // ScrollBar SliderHorz
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x80), TESK_ID(0x43), 0x02020001, 0},  // Button Push
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x81), TESK_ID(0x43), 0x02020002, 0},  // Button 2Value
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x82), TESK_ID(0x43), 0x02020003, 0},  // Button 3Value
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x83), TESK_ID(0x43), 0x02020004, 0},  // Button Check
    {MODULE_OBJECT, CLASS_ID(0x8C, 0x84), TESK_ID(0x43), 0x02020005, 0},  // Button Radio
    {MODULE_OBJECT,
     {0x62FA0AA1, 0xB0FC, 0x476C, {0xB1, 0xDD, 0xE5, 0xF7, 0xD7, 0xF4, 0x86, 0x2D}},
     kMenuCategory,
     0x04010001,
     0},  // Menu Horizontal
    {MODULE_OBJECT,
     {0xD0B9E93C, 0x4432, 0x44FF, {0xAC, 0x5B, 0xCB, 0x7B, 0x2C, 0xB1, 0xD4, 0xBA}},
     kMenuCategory,
     0x04010002,
     0},                                                                       // Menu Vertical
    {MODULE_ABILITY, CLASS_ID(0x8C, 0x0C), TESK_ID(0x5D), 0xFFFFFFFF, 25070},  // PathAnimateAbility
    {MODULE_PLUGIN,
     {0xF28EB081, 0x90CE, 0x11D3, {0xB4, 0x6D, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}},
     TESK_ID(0x81),
     NO_OBJECT_TYPE,
     0},  // move
    {MODULE_PLUGIN,
     {0x8F8B5E11, 0x885B, 0x11D3, {0xB4, 0x67, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}},
     TESK_ID(0x82),
     NO_OBJECT_TYPE,
     0},  // region 1
    {MODULE_PLUGIN,
     {0xA991C8A2, 0x8B6D, 0x11D3, {0xB4, 0x6C, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}},
     TESK_ID(0x82),
     NO_OBJECT_TYPE,
     0},  // region 2
    {MODULE_PLUGIN,
     {0xC6D23F82, 0x8C46, 0x11D3, {0xB4, 0x6C, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}},
     TESK_ID(0x82),
     NO_OBJECT_TYPE,
     0},  // region 3
    {MODULE_PLUGIN,
     {0xBD3B11C2, 0x8D9C, 0x11D3, {0xB4, 0x6C, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}},
     TESK_ID(0x83),
     NO_OBJECT_TYPE,
     0},  // mask 1
    {MODULE_PLUGIN,
     {0xE96C8B80, 0x8AF2, 0x11D3, {0x96, 0xF5, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}},
     TESK_ID(0x83),
     NO_OBJECT_TYPE,
     0},  // mask 2
    {MODULE_PLUGIN,
     {0xA9F0E500, 0x8D3B, 0x11D3, {0x96, 0xF5, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}},
     TESK_ID(0x83),
     NO_OBJECT_TYPE,
     0},  // mask 3
    {MODULE_PLUGIN,
     {0x3C5F2920, 0x8DDB, 0x11D3, {0x96, 0xF5, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}},
     TESK_ID(0x83),
     NO_OBJECT_TYPE,
     0},  // mask 4
    {MODULE_PLUGIN,
     {0xAA005240, 0x9044, 0x11D3, {0x96, 0xF5, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}},
     TESK_ID(0x83),
     NO_OBJECT_TYPE,
     0},  // mask 5
    {MODULE_PLUGIN,
     {0x235BF460, 0x9062, 0x11D3, {0x96, 0xF5, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}},
     TESK_ID(0x83),
     NO_OBJECT_TYPE,
     0},  // mask 6
    {MODULE_PLUGIN,
     {0x77C5CEB1, 0x9671, 0x11D3, {0xB4, 0x6F, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}},
     TESK_ID(0x84),
     NO_OBJECT_TYPE,
     0},  // decoration 1
    {MODULE_PLUGIN,
     {0x691679A0, 0x9B3C, 0x11D3, {0x96, 0xF5, 0x00, 0x10, 0x4B, 0x04, 0xBA, 0x28}},
     TESK_ID(0x84),
     NO_OBJECT_TYPE,
     0},  // decoration 2
    {MODULE_PLUGIN,
     {0x0C08151E, 0x7091, 0x11D3, {0xB4, 0x59, 0x00, 0xA0, 0xC9, 0x91, 0xE1, 0xC1}},
     TESK_ID(0x42),
     NO_OBJECT_TYPE,
     0},  // blend
};

// The creator of built-in row N: its class's slot, once filled.
template <int N>
HRESULT CreateBuiltin(IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    PFNMODULECREATE create = g_builtinClassCreators[N];
    return create ? create(out) : CLASS_E_CLASSNOTAVAILABLE;
}

template <int... N>
constexpr auto MakeCreatorTable(std::integer_sequence<int, N...>) {
    return std::array<PFNMODULECREATE, sizeof...(N)>{{&CreateBuiltin<N>...}};
}

const auto kBuiltinCreators =
    MakeCreatorTable(std::make_integer_sequence<int, BUILTIN_MODULE_COUNT>{});

bool ValidType(WORD type) {
    return type >= MODULE_OBJECT && type <= MODULE_PAGE;
}

void LoadName(UINT id, char* buffer, int size) {
    buffer[0] = 0;
    if (id)
        LoadStringA(GetModuleHandleA(nullptr), id, buffer, size);
}

}  // namespace

CExtensionManager::CExtensionManager() {
    memset(m_counts, 0, sizeof(m_counts));
    for (int i = 0; i < BUILTIN_MODULE_COUNT; ++i) {
        const BuiltinRow& row = kBuiltins[i];
        DefModule(row.type, row.clsid, row.iid, 1, 0, row.nameId, 0, kBuiltinCreators[i], 0,
                  row.objectType);
    }
}

CExtensionManager::~CExtensionManager() {
    for (ModuleEntry* e : m_entries) {
        if (e->wType == MODULE_OBJECT || e->wType == MODULE_ABILITY)
            delete static_cast<ObjectModuleEntry*>(e);
        else
            delete e;
    }
    for (ModuleCreator* c : m_creators) {
        ReleaseModuleRecord(c);
        delete c;
    }
}

int CExtensionManager::DefModule(WORD type, REFCLSID classId, REFIID categoryId, DWORD flagWord,
                                 DWORD zeroWord, UINT nameId, UINT descriptionId,
                                 PFNMODULECREATE creator, DWORD_PTR argument, DWORD objectType) {
    ModuleCreator* record = new ModuleCreator;
    record->dwFirst = 0;
    record->pfnCreate = creator;
    record->dwArgument = argument;
    record->dwLast = 0;
    m_creators.push_back(record);
    if (!ValidType(type))
        return 0;

    ModuleEntry* entry;
    if (type == MODULE_OBJECT || type == MODULE_ABILITY) {
        ObjectModuleEntry* object = new ObjectModuleEntry;
        object->dwObjectType = objectType;
        entry = object;
    } else {
        entry = new ModuleEntry;
    }
    entry->dwFlag = flagWord;
    entry->wType = type;
    entry->wReserved = 0;
    entry->clsid = classId;
    entry->iid = categoryId;
    entry->pCreator = record;
    entry->dwZero = zeroWord;
    LoadName(nameId, entry->szName, sizeof(entry->szName));
    LoadName(descriptionId, entry->szDescription, sizeof(entry->szDescription));

    size_t at = 0;
    for (WORD t = MODULE_OBJECT; t <= type; ++t) at += m_counts[t - 1];
    m_entries.insert(m_entries.begin() + at, entry);
    return (int)++m_counts[type - 1];
}

int CExtensionManager::DefModulePath(WORD type, REFCLSID classId, REFIID categoryId,
                                     const char* path, DWORD objectType) {
    if (!path || !*path)
        return 0;
    int count = DefModule(type, classId, categoryId, 0, 0, 0, 0, nullptr, 0, objectType);
    ModuleCreator* loaded = NewModuleRecordForPath(path);
    // DefModule made a built-in record last; the path record takes its place.
    ModuleCreator* made = m_creators.back();
    made->dwFirst = loaded->dwFirst;
    made->dwArgument = loaded->dwArgument;
    made->dwLast = loaded->dwLast;
    delete loaded;
    return count;
}

ModuleEntry* CExtensionManager::FindFirst(WORD type, WORD flags, ModuleSearch* search) {
    if (!search)
        return nullptr;
    search->wType = type;
    search->wFlags = flags;
    if (!ValidType(type)) {
        search->nCurrent = search->nEnd = 0;
        return nullptr;
    }
    int start = 0;
    for (WORD t = MODULE_OBJECT; t < type; ++t) start += (int)m_counts[t - 1];
    search->nCurrent = start - 1;
    search->nEnd = start + (int)m_counts[type - 1];
    return FindNext(search);
}

ModuleEntry* CExtensionManager::FindNext(ModuleSearch* search) {
    if (!search)
        return nullptr;
    int end = search->nEnd < (int)m_entries.size() ? search->nEnd : (int)m_entries.size();
    while (search->nCurrent < end) {
        ++search->nCurrent;
        if (search->nCurrent >= end)
            break;
        ModuleEntry* e = m_entries[search->nCurrent];
        if (e->wType != search->wType)
            continue;
        if ((search->wFlags & MODULE_MATCH_CLSID) && !IsEqualGUID(e->clsid, search->clsid))
            continue;
        if ((search->wFlags & MODULE_MATCH_IID) && !IsEqualGUID(e->iid, search->iid))
            continue;
        return e;
    }
    return nullptr;
}

int CExtensionManager::GetCount(WORD type) const {
    return ValidType(type) ? (int)m_counts[type - 1] : 0;
}
