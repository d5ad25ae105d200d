// The extension manager's plug-in modules create the transition plug-ins.
#include <gtest/gtest.h>

#include "aExtMgr.h"
#include "aTransition.h"

namespace {

TEST(TransitionSlots, EachPluginModuleMakesItsClass) {
    for (int i = 0; i < TRANSITION_CLASS_COUNT; ++i) {
        PFNMODULECREATE create = g_builtinClassCreators[BUILTIN_MOVE_PLUGIN + i];
        ASSERT_NE(create, nullptr) << i;
        IUnknown* unk = nullptr;
        ASSERT_EQ(create(&unk), S_OK) << i;
        ASSERT_NE(unk, nullptr);
        // Its role interface names the class of the module's row.
        CLSID id = {};
        IUnknown* role = nullptr;
        const IID* iids[5] = {&__uuidof(ITransitionMove), &__uuidof(ITransitionRegion),
                              &__uuidof(ITransitionMask), &__uuidof(ITransitionDecor),
                              &__uuidof(ITransitionBlend)};
        const int kind = i == 0 ? 0 : i <= 3 ? 1 : i <= 9 ? 2 : i <= 11 ? 3 : 4;
        ASSERT_EQ(unk->QueryInterface(*iids[kind], (void**)&role), S_OK) << i;
        switch (kind) {
            case 0:
                static_cast<ITransitionMove*>(role)->GetClassID(&id);
                break;
            case 1:
                static_cast<ITransitionRegion*>(role)->GetClassID(&id);
                break;
            case 2:
                static_cast<ITransitionMask*>(role)->GetClassID(&id);
                break;
            case 3:
                static_cast<ITransitionDecor*>(role)->GetClassID(&id);
                break;
            default:
                static_cast<ITransitionBlend*>(role)->GetClassID(&id);
                break;
        }
        EXPECT_TRUE(IsEqualCLSID(id, *TransitionClassId(i + 1))) << i;
        role->Release();
        unk->Release();
    }
}

}  // namespace
