// An object gets its event procedure from the player's factory when it is
// bound; the procedure reads the event record inside the object's stored
// record, so an object that cannot have one is not made at all.
#include <gtest/gtest.h>

#include "ObjectDoubles.h"
#include "ObjectRecordWriter.h"
#include "SolidRegistry.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aCreator.h"
#include "aEventSet.h"

namespace {

TEST(ObjectProcedure, AnObjectWithoutItsProcedureIsNotMade) {
    struct Case {
        const char* what;
        bool factory;
        HRESULT made;
    } cases[] = {
        // The type library absent: the procedure has no stock events, and
        // an empty stored event record still reads in step.
        {"the player's factory without its type library", true, S_OK},
        {"no factory: the procedure is not implemented", false, E_NOTIMPL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CExtensionManager registry;
        RegisterSolid(registry);
        ObjectCreator creator;
        creator.Init(&registry, nullptr);
        TestPlayerSite site;
        site.creator = &creator;
        CEventProcFactory procs;
        procs.SetSite(&site);
        if (c.factory)
            creator.SetEventProcFactory(&procs);
        TestObjectSite objectSite(&site);
        ObjectRecord record;
        memset(&record, 0, sizeof(record));
        strcpy(record.szName, "Solid1");
        ObjectCreationRecord creation = {&record, &objectSite};

        LogCapture log;
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(c.made, creator.CreateObject(kSolidType, &creation, IID_IUnknown,
                                               reinterpret_cast<void**>(&unknown)));
        if (FAILED(c.made)) {
            EXPECT_EQ(nullptr, unknown.p);
            EXPECT_LOGGED(log, "InitEventProc (type:0) failed");
            continue;
        }
        ASSERT_NE(nullptr, unknown.p);
        CComPtr<IObjectBase> base;
        ASSERT_EQ(S_OK,
                  unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base)));
        // Two records one after the other: the first ends where its own
        // bytes end, so the second is read from its start.
        std::vector<uint8_t> one = WriteObjectPrefix(ObjectPrefix());
        std::vector<uint8_t> two = one;
        two.insert(two.end(), one.begin(), one.end());
        CComPtr<ITeskStream> s = MemStreamOf(two);
        ASSERT_EQ(S_OK, base->Load(s)) << log.Text();
        EXPECT_EQ(one.size(), s->GetPosition());
    }
}

}  // namespace
