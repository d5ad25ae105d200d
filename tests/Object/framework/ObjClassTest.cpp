#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "ObjectTestUtil.h"
#include "aObjClass.h"

namespace {

int g_destroyed = 0;

#define EMPTY_KIND(Name, Class)             \
    struct Name : public Class<Name> {      \
        ~Name() override { ++g_destroyed; } \
    };
EMPTY_KIND(EmptyGroup, GroupObjectClass)
EMPTY_KIND(EmptyVector, VectorObjectClass)
EMPTY_KIND(EmptyActiveX, ActiveXObjectClass)
EMPTY_KIND(EmptyText, TextObjectClass)
EMPTY_KIND(EmptyRTF, RTFObjectClass)
EMPTY_KIND(EmptyPicture, PictureObjectClass)
EMPTY_KIND(EmptySound, SoundObjectClass)
EMPTY_KIND(EmptyMovie, MovieObjectClass)
EMPTY_KIND(EmptyVideo, VideoObjectClass)
EMPTY_KIND(EmptyGraph, GraphObjectClass)
EMPTY_KIND(EmptyDrawBoard, DrawBoardObjectClass)
EMPTY_KIND(EmptyGrid, GridObjectClass)
EMPTY_KIND(EmptyScrollBar, ScrollBarObjectClass)
EMPTY_KIND(EmptyButton, ButtonObjectClass)
EMPTY_KIND(EmptyMenu, MenuObjectClass)

struct FailingPicture : public PictureObjectClass<FailingPicture> {
    ~FailingPicture() override { ++g_destroyed; }
    HRESULT SetUp() { return E_ACCESSDENIED; }
};

// {D5738C..-104E-...}
IID Lib(DWORD low) {
    return {0xD5738C00 | low, 0x104E, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
}
IID Private(DWORD low) {
    return {0xC0BC2600 | low, 0x1049, 0x11D4, {0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07}};
}

struct Expected {
    const char* name;
    HRESULT (*create)(IUnknown**);
    IID dispatch;
    IID privateId;
    std::set<std::string> parts;  // besides the eight every object answers
};

std::map<std::string, IID> Parts() {
    return {{"IDbLink", Private(0x45)},
            {"IMediaData", Private(0x5C)},
            {"IEventSinkTable", Private(0x5E)},
            {"IToolTipProp", Private(0x57)},
            {"ICursorAbility", Private(0x54)},
            {"IAbility", Private(0x09)},
            {"IAbilityContainer", Private(0x39)},
            {"IGroupChildren", Private(0x4A)},
            {"IWndMsgHandler", Private(0x37)},
            {"IAbilityCreate", Private(0x41)},
            {"IEventListener", Private(0x59)},
            {"IPersist", IID_IPersist},
            {"IConnectionPointContainer", IID_IConnectionPointContainer}};
}

const IID kMenuDisp = {
    0x49EF0E2D, 0xA318, 0x413C, {0x9A, 0x4B, 0x82, 0xBF, 0x53, 0xD0, 0x7F, 0x8E}};
const IID kMenuEx = {0x14E97CBE, 0xABFF, 0x43B3, {0xA0, 0xBE, 0x04, 0x5A, 0x4F, 0x1E, 0x31, 0xAC}};
const IID kAxPrivate = {
    0x45BD0741, 0xCA78, 0x11D5, {0x85, 0x58, 0xF8, 0xF4, 0x7C, 0x3F, 0x4C, 0x11}};

std::vector<Expected> Classes() {
    const std::set<std::string> tipCursor = {"IToolTipProp", "ICursorAbility", "IAbilityContainer"};
    auto with = [&](std::initializer_list<const char*> extra) {
        std::set<std::string> s = tipCursor;
        s.insert(extra.begin(), extra.end());
        return s;
    };
    return {
        {"Group",
         CreateObjectOfClass<EmptyGroup>,
         Lib(0x20),
         Private(0x49),
         {"IGroupChildren", "ICursorAbility", "IAbilityContainer"}},
        {"Vector", CreateObjectOfClass<EmptyVector>, Lib(0x28), Private(0x52), tipCursor},
        {"ActiveX", CreateObjectOfClass<EmptyActiveX>, Lib(0x2D), kAxPrivate, tipCursor},
        {"Text", CreateObjectOfClass<EmptyText>, Lib(0x21), Private(0x51),
         with({"IDbLink", "IWndMsgHandler"})},
        {"RTF", CreateObjectOfClass<EmptyRTF>, Lib(0x22), Private(0x4E),
         with({"IDbLink", "IMediaData", "IEventSinkTable", "IAbility"})},
        {"Picture", CreateObjectOfClass<EmptyPicture>, Lib(0x23), Private(0x4D),
         with({"IDbLink", "IMediaData", "IEventSinkTable"})},
        {"Sound",
         CreateObjectOfClass<EmptySound>,
         Lib(0x25),
         Private(0x50),
         {"IDbLink", "IMediaData", "IEventSinkTable", "IAbilityContainer"}},
        {"Movie", CreateObjectOfClass<EmptyMovie>, Lib(0x27), Private(0x4B),
         with({"IAbility", "IDbLink", "IMediaData", "IEventSinkTable"})},
        {"Video", CreateObjectOfClass<EmptyVideo>, Lib(0x26), Private(0x53),
         with({"IAbility", "IDbLink", "IMediaData", "IEventSinkTable"})},
        {"Graph", CreateObjectOfClass<EmptyGraph>, Lib(0x24), Private(0x48),
         with({"IMediaData", "IDbLink"})},
        {"DrawBoard", CreateObjectOfClass<EmptyDrawBoard>, Lib(0x2C), Private(0x46), tipCursor},
        {"Grid", CreateObjectOfClass<EmptyGrid>, Lib(0x2B), Private(0x47),
         with({"IEventSinkTable", "IDbLink", "IWndMsgHandler"})},
        {"ScrollBar", CreateObjectOfClass<EmptyScrollBar>, Lib(0x2A), Private(0x4F),
         with({"IAbility"})},
        {"Button", CreateObjectOfClass<EmptyButton>, Lib(0x29), Private(0x43), tipCursor},
        {"Menu", CreateObjectOfClass<EmptyMenu>, kMenuDisp, kMenuEx, with({"IWndMsgHandler"})},
    };
}

template <class T = IUnknown>
T* Query(IUnknown* o, REFIID iid, HRESULT* hr = nullptr) {
    void* p = nullptr;
    HRESULT r = o->QueryInterface(iid, &p);
    if (hr)
        *hr = r;
    if (p)
        static_cast<IUnknown*>(p)->Release();
    return static_cast<T*>(p);
}

}  // namespace

TEST(ObjectClasses, EachClassAnswersExactlyItsTable) {
    std::map<std::string, IID> parts = Parts();
    std::vector<IID> otherDispatch;
    for (const Expected& c : Classes()) otherDispatch.push_back(c.dispatch);
    for (const Expected& c : Classes()) {
        SCOPED_TRACE(c.name);
        g_destroyed = 0;
        IUnknown* o = nullptr;
        ASSERT_EQ(S_OK, c.create(&o));
        ASSERT_NE(nullptr, o);
        IUnknown* dispatch = Query(o, c.dispatch);
        ASSERT_NE(nullptr, dispatch);
        EXPECT_EQ(dispatch, o);  // IUnknown is the dual interface
        EXPECT_EQ(dispatch, Query(o, c.privateId));
        EXPECT_EQ(dispatch, Query(o, IID_IDispatch));
        for (const IID& iid :
             {__uuidof(ISupportErrorInfo), __uuidof(IObjectBase), __uuidof(II_IRender),
              __uuidof(IObjectEvent), __uuidof(IProvideClassInfo)})
            EXPECT_NE(nullptr, Query(o, iid));
        for (const auto& kv : parts) {
            HRESULT hr = S_OK;
            IUnknown* p = Query(o, kv.second, &hr);
            bool expected = c.parts.count(kv.first) != 0;
            EXPECT_EQ(expected, p != nullptr) << kv.first;
            EXPECT_EQ(expected ? S_OK : E_NOINTERFACE, hr) << kv.first;
            // Every part but the self-counted tooltip and cursor leads back
            // to the same object.
            if (p && kv.first != "IToolTipProp" && kv.first != "ICursorAbility") {
                EXPECT_EQ(o, Query(p, IID_IUnknown)) << kv.first;
            }
        }
        for (const IID& other : otherDispatch)
            if (!IsEqualIID(other, c.dispatch)) {
                EXPECT_EQ(nullptr, Query(o, other));
            }
        EXPECT_EQ(E_POINTER, o->QueryInterface(IID_IUnknown, nullptr));

        ISupportErrorInfo* errors = Query<ISupportErrorInfo>(o, __uuidof(ISupportErrorInfo));
        EXPECT_EQ(S_OK, errors->InterfaceSupportsErrorInfo(c.dispatch));
        EXPECT_EQ(S_FALSE, errors->InterfaceSupportsErrorInfo(IID_IDispatch));
        EXPECT_EQ(S_FALSE, errors->InterfaceSupportsErrorInfo(c.privateId));

        EXPECT_EQ(0u, o->Release());
        EXPECT_EQ(1, g_destroyed);
    }
}

TEST(ObjectClasses, TypeInformation) {
    for (const Expected& c : Classes()) {
        SCOPED_TRACE(c.name);
        IUnknown* o = nullptr;
        ASSERT_EQ(S_OK, c.create(&o));
        IDispatch* d = Query<IDispatch>(o, IID_IDispatch);
        UINT n = 0;
        EXPECT_EQ(S_OK, d->GetTypeInfoCount(&n));
        EXPECT_EQ(1u, n);
        for (UINT index : {0u, 5u}) {
            ITypeInfo* info = nullptr;
            ASSERT_EQ(S_OK, d->GetTypeInfo(index, 0, &info));
            TYPEATTR* attr = nullptr;
            ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
            EXPECT_TRUE(IsEqualGUID(attr->guid, c.dispatch));
            info->ReleaseTypeAttr(attr);
            info->Release();
        }
        EXPECT_EQ(E_POINTER, d->GetTypeInfo(0, 0, nullptr));
        IProvideClassInfo* ci = Query<IProvideClassInfo>(o, __uuidof(IProvideClassInfo));
        ITypeInfo* coclass = nullptr;
        ASSERT_EQ(S_OK, ci->GetClassInfo(&coclass));
        TYPEATTR* attr = nullptr;
        coclass->GetTypeAttr(&attr);
        EXPECT_EQ(TKIND_COCLASS, attr->typekind);
        coclass->ReleaseTypeAttr(attr);
        coclass->Release();
        EXPECT_EQ(E_POINTER, ci->GetClassInfo(nullptr));
        o->Release();
    }
}

TEST(ObjectClasses, FailingSetUpLeavesNoObject) {
    g_destroyed = 0;
    IUnknown* o = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(E_ACCESSDENIED, CreateObjectOfClass<FailingPicture>(&o));
    EXPECT_EQ(nullptr, o);
    EXPECT_EQ(1, g_destroyed);
}

TEST(ObjectClasses, RegistrationsShareClassesOfSubtypes) {
    // {D5738C83-...} ButtonObject_Check and {D5738C80-...} ButtonObject_Push.
    const ObjectClassRegistration *check = nullptr, *push = nullptr;
    std::set<DWORD> types;
    for (int i = 0; i < g_objectClassRegistrationCount; ++i) {
        const ObjectClassRegistration& r = g_objectClassRegistrations[i];
        types.insert(r.typeId);
        if (IsEqualGUID(*r.clsid, Lib(0x83)))
            check = &r;
        if (IsEqualGUID(*r.clsid, Lib(0x80)))
            push = &r;
    }
    EXPECT_EQ(27, g_objectClassRegistrationCount);
    EXPECT_EQ(27u, types.size());
    ASSERT_TRUE(check && push);
    EXPECT_EQ(check->index, push->index);
    EXPECT_EQ(0x02020004u, check->typeId);
    EXPECT_EQ(0x02020001u, push->typeId);
    EXPECT_EQ(0x00F00000u, g_objectClassRegistrations[0].typeId);
    EXPECT_EQ(0x04010002u, g_objectClassRegistrations[26].typeId);
}

class ObjectClassFixture : public ObjectFixture {};

TEST_F(ObjectClassFixture, SubtypeReadsItsTypeFromTheRecord) {
    for (DWORD type : {0x02020004u, 0x02020001u}) {
        IUnknown* o = nullptr;
        ASSERT_EQ(S_OK, CreateObjectOfClass<EmptyButton>(&o));
        record.dwTypeId = type;
        IObjectBase* base = Query<IObjectBase>(o, __uuidof(IObjectBase));
        ASSERT_EQ(S_OK, base->Init(&creation));
        IButtonDispObj* d = Query<IButtonDispObj>(o, __uuidof(IButtonDispObj));
        LONG id = 0;
        EXPECT_EQ(S_OK, d->get_ObjID(&id));
        EXPECT_EQ((LONG)type, id);
        o->Release();
    }
}
