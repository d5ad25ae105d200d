// The object classes' registration records against the extension manager's
// built-in modules: the same classes, private identifiers and type ids, in
// the same order, so a kind's creator lands in the slot of its records.
#include <gtest/gtest.h>

#include <vector>

#include "aExtMgr.h"
#include "aObjClass.h"

TEST(ObjectClassRegistry, MatchesTheBuiltInModules) {
    CExtensionManager m;
    std::vector<ModuleEntry*> found;
    ModuleSearch s = {};
    for (ModuleEntry* e = m.FindFirst(MODULE_OBJECT, 0, &s); e; e = m.FindNext(&s))
        found.push_back(e);
    ASSERT_EQ((size_t)g_objectClassRegistrationCount, found.size());
    for (size_t i = 0; i < found.size(); ++i) {
        const ObjectClassRegistration& r = g_objectClassRegistrations[i];
        const ObjectClassInfo& info = g_objectClasses[r.index];
        EXPECT_TRUE(IsEqualGUID(*r.clsid, found[i]->clsid)) << i;
        EXPECT_TRUE(IsEqualGUID(*info.privateIid, found[i]->iid)) << info.name;
        EXPECT_EQ(r.typeId, static_cast<ObjectModuleEntry*>(found[i])->dwObjectType) << i;
        // A class that is not split into subtypes carries its own type id.
        if (info.typeId) {
            EXPECT_EQ(info.typeId, r.typeId) << info.name;
        }
    }
    // The path-motion ability: its class and private identifier.
    s = {};
    s.clsid = *g_objectClasses[OBJCLASS_PATHANIMATE].clsid;
    ModuleEntry* ability = m.FindFirst(MODULE_ABILITY, MODULE_MATCH_CLSID, &s);
    ASSERT_NE(nullptr, ability);
    EXPECT_TRUE(IsEqualGUID(*g_objectClasses[OBJCLASS_PATHANIMATE].privateIid, ability->iid));
}
