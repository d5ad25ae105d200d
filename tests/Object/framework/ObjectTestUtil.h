// A bound test-kind object with its sites, registry and factory.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "ObjectDoubles.h"
#include "ServiceFakes.h"
#include "SolidObject.h"
#include "aCreator.h"
#include "aExtMgr.h"
#include "aStorage.h"

const DWORD kSolidType = 0x7F000001;

inline CComPtr<ITeskStream> StreamOf(const std::vector<uint8_t>& bytes) {
    CComPtr<ITeskStream> s;
    CreateMemStream(&s, 4096);
    s->SetMode(1);
    if (!bytes.empty())
        s->Write(bytes.data(), (ULONG)bytes.size());
    s->SetMode(0);
    s->Seek(0, TESK_SEEK_SET);
    return s;
}

class ObjectFixture : public ::testing::Test {
protected:
    ObjectFixture() : objectSite(&site) {
        registry.DefModule(MODULE_OBJECT, CLSID_SolidObject, IID_IUnknown, 0, 0, 0, 0,
                           CreateSolidObject, 0, kSolidType);
        creator.Init(&registry, nullptr);
        creator.SetEventProcFactory(&procs);
        site.creator = &creator;
        memset(&record, 0, sizeof(record));
        record.nSchedule[0] = 0;
        record.nSchedule[1] = 100;
        record.nSchedule[2] = -1;
        record.nSchedule[3] = 100;
        strcpy(record.szName, "Solid1");
        creation = {&record, &objectSite};
    }
    // Creates and binds a test-kind object.
    CComObject<SolidObject>* Make() {
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(creator.CreateObject(kSolidType, &creation, IID_IUnknown,
                                       reinterpret_cast<void**>(&unknown)),
                  S_OK);
        if (!unknown)
            return nullptr;
        objects.push_back(unknown);
        CComPtr<IObjectBase> base;
        unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        return static_cast<CComObject<SolidObject>*>(static_cast<IObjectBase*>(base.p));
    }

    CExtensionManager registry;
    ObjectCreator creator;
    TestEventProcFactory procs;
    ServiceTestSite site;  // a test may give it a database
    TestObjectSite objectSite;
    ObjectRecord record;
    ObjectCreationRecord creation;
    std::vector<CComPtr<IUnknown>> objects;
};
