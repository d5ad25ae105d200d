// A bound test-kind object with its sites, registry and factory.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ObjectDoubles.h"
#include "ServiceFakes.h"
#include "SolidObject.h"
#include "SolidRegistry.h"
#include "StreamFixtures.h"
#include "aCreator.h"
#include "aExtMgr.h"
#include "aObjItf.h"
#include "aStorage.h"

// Collects the files an object reports, as "code:path".
class FileList : public CComObjectRootBase, public IFileCollector {
public:
    BEGIN_COM_MAP(FileList)
    COM_INTERFACE_ENTRY(IFileCollector)
    END_COM_MAP()
    STDMETHOD(AddFile)(int code, const char* path) override {
        files.push_back(std::to_string(code) + ":" + path);
        return S_OK;
    }
    std::vector<std::string> files;
};

// A file beside the test program, by a path relative to its folder.
inline std::string BesideProgram(const char* relative) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path);
    return p.substr(0, p.find_last_of("\\/") + 1) + relative;
}

class ObjectFixture : public ::testing::Test {
protected:
    ObjectFixture() : objectSite(&site) {
        RegisterSolid(registry);
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

    // Makes a built-in object with its creator, keeps it for the test's
    // length and binds it with the fixture's creation record.
    template <class T>
    T* MakeBuiltin(HRESULT (*create)(IUnknown**)) {
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(create(&unknown), S_OK);
        if (!unknown)
            return nullptr;
        objects.push_back(unknown);
        CComPtr<IObjectBase> base;
        unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        EXPECT_EQ(base->Init(&creation), S_OK);
        return static_cast<T*>(static_cast<IObjectBase*>(base.p));
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
