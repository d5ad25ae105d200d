// The extension manager's table of built-in modules and its searches.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "aExtMgr.h"

namespace {

// {C0BC26xx-1049-11D4-9EEB-00104B04B807}
GUID TeskId(BYTE lo) {
    GUID g = {0xC0BC2600u | lo, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
    return g;
}

std::vector<ModuleEntry*> All(CExtensionManager& m, WORD type, WORD flags, ModuleSearch s) {
    std::vector<ModuleEntry*> out;
    for (ModuleEntry* e = m.FindFirst(type, flags, &s); e; e = m.FindNext(&s)) out.push_back(e);
    return out;
}

TEST(ExtensionManager, ObjectModulesInTableOrder) {
    // First 32 bits of each class identifier and the object type code.
    const struct {
        DWORD clsid1;
        DWORD objectType;
        BYTE iidLow;  // of {C0BC26xx-...}; 0 for the two special categories
    } expect[] = {
        {0xD5738C60, 0x00F00000, 0x49}, {0xD5738C68, 0x00030000, 0x52},
        {0xD5738C6D, 0x03010000, 0},    {0xD5738C61, 0x00010000, 0x51},
        {0xD5738C62, 0x01010000, 0x4E}, {0xD5738C63, 0x01020000, 0x4D},
        {0xD5738C65, 0x01040000, 0x50}, {0xD5738C67, 0x01060000, 0x4B},
        {0xD5738C66, 0x01050000, 0x53}, {0xD5738C64, 0x01030000, 0x48},
        {0xD5738C6C, 0x00040000, 0x46}, {0xD5738C6B, 0x00020000, 0x47},
        {0xD5738C90, 0x02010001, 0x4F}, {0xD5738C91, 0x02010101, 0x4F},
        {0xD5738C92, 0x02010002, 0x4F}, {0xD5738C93, 0x02010102, 0x4F},
        {0xD5738C94, 0x02010003, 0x4F}, {0xD5738C95, 0x02010103, 0x4F},
        {0xD5738C96, 0x02010004, 0x4F}, {0xD5738C97, 0x02010104, 0x4F},
        {0xD5738C80, 0x02020001, 0x43}, {0xD5738C81, 0x02020002, 0x43},
        {0xD5738C82, 0x02020003, 0x43}, {0xD5738C83, 0x02020004, 0x43},
        {0xD5738C84, 0x02020005, 0x43}, {0x62FA0AA1, 0x04010001, 0},
        {0xD0B9E93C, 0x04010002, 0},
    };
    CExtensionManager m;
    std::vector<ModuleEntry*> found = All(m, MODULE_OBJECT, 0, ModuleSearch{});
    ASSERT_EQ(found.size(), 27u);
    EXPECT_EQ(m.GetCount(MODULE_OBJECT), 27);
    const GUID tail = {0, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
    for (size_t i = 0; i < found.size(); ++i) {
        ModuleEntry* e = found[i];
        EXPECT_EQ(e->clsid.Data1, expect[i].clsid1) << i;
        if ((e->clsid.Data1 >> 16) == 0xD573) {
            EXPECT_EQ(e->clsid.Data2, tail.Data2);
            EXPECT_EQ(memcmp(e->clsid.Data4, tail.Data4, 8), 0);
        }
        EXPECT_EQ(static_cast<ObjectModuleEntry*>(e)->dwObjectType, expect[i].objectType) << i;
        if (expect[i].iidLow) {
            EXPECT_TRUE(IsEqualGUID(e->iid, TeskId(expect[i].iidLow))) << i;
        }
        EXPECT_EQ(e->wType, MODULE_OBJECT);
        EXPECT_EQ(e->dwFlag, 1u);
        EXPECT_EQ(e->dwZero, 0u);
        EXPECT_STREQ(e->szName, "");
        ASSERT_NE(e->pCreator, nullptr);
        EXPECT_EQ(e->pCreator->dwFirst, 0u);
        EXPECT_EQ(e->pCreator->dwArgument, 0u);
        EXPECT_EQ(e->pCreator->dwLast, 0u);
    }
    // The ActiveX control and the two menus.
    const GUID ax = {0x45BD0741, 0xCA78, 0x11D5, {0x85, 0x58, 0xF8, 0xF4, 0x7C, 0x3F, 0x4C, 0x11}};
    const GUID menu = {
        0x14E97CBE, 0xABFF, 0x43B3, {0xA0, 0xBE, 0x04, 0x5A, 0x4F, 0x1E, 0x31, 0xAC}};
    EXPECT_TRUE(IsEqualGUID(found[2]->iid, ax));
    EXPECT_TRUE(IsEqualGUID(found[25]->iid, menu));
    EXPECT_TRUE(IsEqualGUID(found[26]->iid, menu));
    const GUID vert = {
        0xD0B9E93C, 0x4432, 0x44FF, {0xAC, 0x5B, 0xCB, 0x7B, 0x2C, 0xB1, 0xD4, 0xBA}};
    EXPECT_TRUE(IsEqualGUID(found[26]->clsid, vert));
}

TEST(ExtensionManager, PlugInsByCategory) {
    CExtensionManager m;
    EXPECT_EQ(m.GetCount(MODULE_PLUGIN), 13);
    struct Case {
        BYTE category;
        std::vector<DWORD> clsids;
    } cases[] = {
        {0x83, {0xBD3B11C2, 0xE96C8B80, 0xA9F0E500, 0x3C5F2920, 0xAA005240, 0x235BF460}},
        {0x82, {0x8F8B5E11, 0xA991C8A2, 0xC6D23F82}},
        {0x81, {0xF28EB081}},
        {0x84, {0x77C5CEB1, 0x691679A0}},
        {0x42, {0x0C08151E}},
        {0x49, {}},  // an object category finds no plug-in
    };
    for (const Case& c : cases) {
        ModuleSearch s = {};
        s.iid = TeskId(c.category);
        std::vector<DWORD> got;
        for (ModuleEntry* e : All(m, MODULE_PLUGIN, MODULE_MATCH_IID, s)) {
            got.push_back(e->clsid.Data1);
            EXPECT_EQ(e->wType, MODULE_PLUGIN);
        }
        EXPECT_EQ(got, c.clsids) << std::hex << (int)c.category;
    }
    // Without a flag every plug-in matches, in table order.
    std::vector<ModuleEntry*> all = All(m, MODULE_PLUGIN, 0, ModuleSearch{});
    ASSERT_EQ(all.size(), 13u);
    EXPECT_EQ(all.front()->clsid.Data1, 0xF28EB081u);
    EXPECT_EQ(all.back()->clsid.Data1, 0x0C08151Eu);
}

TEST(ExtensionManager, AbilityByClassAndNoPageModules) {
    CExtensionManager m;
    ModuleSearch s = {};
    EXPECT_EQ(m.FindFirst(MODULE_PAGE, 0, &s), nullptr);
    EXPECT_EQ(m.FindNext(&s), nullptr);
    EXPECT_EQ(m.FindFirst(0, 0, &s), nullptr);
    EXPECT_EQ(m.FindFirst(5, 0, &s), nullptr);

    s.clsid = {0xD5738C0C, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
    ModuleEntry* path = m.FindFirst(MODULE_ABILITY, MODULE_MATCH_CLSID, &s);
    ASSERT_NE(path, nullptr);
    EXPECT_TRUE(IsEqualGUID(path->iid, TeskId(0x5D)));
    EXPECT_EQ(static_cast<ObjectModuleEntry*>(path)->dwObjectType, 0xFFFFFFFFu);
    EXPECT_EQ(m.FindNext(&s), nullptr);
    // A class identifier of another module (an object's) finds nothing here.
    s.clsid.Data1 = 0xD5738C60;
    EXPECT_EQ(m.FindFirst(MODULE_ABILITY, MODULE_MATCH_CLSID, &s), nullptr);
    // Both identifiers must match when both flags are set.
    ModuleSearch both = {};
    both.clsid = {0xD5738C0C, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
    both.iid = TeskId(0x5D);
    EXPECT_NE(m.FindFirst(MODULE_ABILITY, MODULE_MATCH_CLSID | MODULE_MATCH_IID, &both), nullptr);
    both.iid = TeskId(0x5E);
    EXPECT_EQ(m.FindFirst(MODULE_ABILITY, MODULE_MATCH_CLSID | MODULE_MATCH_IID, &both), nullptr);
}

HRESULT MakeStream(IUnknown** out) {
    IStream* s = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &s);
    *out = s;
    return hr;
}

TEST(ExtensionManager, DefinedModulesJoinTheEndOfTheirGroup) {
    CExtensionManager m;
    const GUID cls = {0x11470103, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    const GUID cat = TeskId(0x99);
    EXPECT_EQ(m.DefModule(MODULE_ABILITY, cls, cat, 0, 7, 0, 0, MakeStream, 42, 0x1234), 2);
    EXPECT_EQ(m.DefModule(MODULE_PAGE, cls, cat, 0, 0, 0, 0, MakeStream, 0, 0x1234), 1);
    // Unknown types are refused.
    EXPECT_EQ(m.DefModule(0, cls, cat, 0, 0, 0, 0, MakeStream, 0, 0), 0);
    EXPECT_EQ(m.DefModule(5, cls, cat, 0, 0, 0, 0, MakeStream, 0, 0), 0);
    EXPECT_EQ(m.GetCount(MODULE_OBJECT), 27);
    EXPECT_EQ(m.GetCount(MODULE_PLUGIN), 13);

    std::vector<ModuleEntry*> abilities = All(m, MODULE_ABILITY, 0, ModuleSearch{});
    ASSERT_EQ(abilities.size(), 2u);
    EXPECT_EQ(abilities[0]->clsid.Data1, 0xD5738C0Cu);
    ModuleEntry* added = abilities[1];
    EXPECT_TRUE(IsEqualGUID(added->clsid, cls));
    EXPECT_EQ(added->dwFlag, 0u);
    EXPECT_EQ(added->dwZero, 7u);
    EXPECT_EQ(added->pCreator->dwArgument, 42u);
    EXPECT_EQ(static_cast<ObjectModuleEntry*>(added)->dwObjectType, 0x1234u);
    // The plug-in group is unchanged behind it.
    std::vector<ModuleEntry*> plugins = All(m, MODULE_PLUGIN, 0, ModuleSearch{});
    ASSERT_EQ(plugins.size(), 13u);
    EXPECT_EQ(plugins.front()->clsid.Data1, 0xF28EB081u);
    std::vector<ModuleEntry*> pages = All(m, MODULE_PAGE, 0, ModuleSearch{});
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0]->wType, MODULE_PAGE);

    IUnknown* unk = nullptr;
    ASSERT_EQ(pages[0]->pCreator->pfnCreate(&unk), S_OK);
    ASSERT_NE(unk, nullptr);
    unk->Release();
}

HRESULT MakeGroupStandIn(IUnknown** out) {
    return MakeStream(out);
}

TEST(ExtensionManager, BuiltInCreatorsAnswerThroughTheirSlots) {
    CExtensionManager m;
    std::vector<ModuleEntry*> all;
    for (WORD t = MODULE_OBJECT; t <= MODULE_PLUGIN; ++t)
        for (ModuleEntry* e : All(m, t, 0, ModuleSearch{})) all.push_back(e);
    ASSERT_EQ(all.size(), (size_t)BUILTIN_MODULE_COUNT);
    for (size_t i = 0; i < all.size(); ++i) {
        IUnknown* unk = reinterpret_cast<IUnknown*>(1);
        HRESULT hr = all[i]->pCreator->pfnCreate(&unk);
        if (g_builtinClassCreators[i]) {
            // Classes that have come fill their slots.
            EXPECT_EQ(hr, S_OK) << i;
            ASSERT_NE(unk, nullptr);
            unk->Release();
        } else {
            EXPECT_EQ(hr, CLASS_E_CLASSNOTAVAILABLE) << i;
            EXPECT_EQ(unk, nullptr);
        }
    }
    // A filled slot is used, also by a manager made before it was filled.
    g_builtinClassCreators[BUILTIN_GROUP_OBJECT] = MakeGroupStandIn;
    IUnknown* unk = nullptr;
    EXPECT_EQ(all[BUILTIN_GROUP_OBJECT]->pCreator->pfnCreate(&unk), S_OK);
    ASSERT_NE(unk, nullptr);
    unk->Release();
    // Every class has come now: an emptied slot answers as an empty one.
    const PFNMODULECREATE activeX = g_builtinClassCreators[BUILTIN_ACTIVEX_OBJECT];
    g_builtinClassCreators[BUILTIN_ACTIVEX_OBJECT] = nullptr;
    EXPECT_EQ(all[BUILTIN_ACTIVEX_OBJECT]->pCreator->pfnCreate(&unk), CLASS_E_CLASSNOTAVAILABLE);
    g_builtinClassCreators[BUILTIN_ACTIVEX_OBJECT] = activeX;
    g_builtinClassCreators[BUILTIN_GROUP_OBJECT] = nullptr;
    EXPECT_EQ(all[BUILTIN_PATH_ANIMATE_ABILITY]->wType, MODULE_ABILITY);
    EXPECT_EQ(all[BUILTIN_MOVE_PLUGIN]->clsid.Data1, 0xF28EB081u);
    EXPECT_EQ(all[BUILTIN_BLEND_PLUGIN]->clsid.Data1, 0x0C08151Eu);
}

}  // namespace
