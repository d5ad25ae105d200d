#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "aGroupObj.h"

namespace {

const DWORD kSelectGroup = GRPFLAG_SEQUENCE | GRPFLAG_SELECT_KIND;

// A scriptable stand-in for a button: ObjType and ObjValue by name.
class FakeButton : public IDispatch {
public:
    FakeButton(LONG type, LONG value) : type(type), value(value) {}
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        *ppv = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *ppv = static_cast<IDispatch*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetTypeInfoCount)(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (lstrcmpiW(names[0], L"ObjType") == 0)
            *ids = 6;
        else if (lstrcmpiW(names[0], L"ObjValue") == 0)
            *ids = 2;
        else
            return DISP_E_UNKNOWNNAME;
        return S_OK;
    }
    STDMETHOD(Invoke)
    (DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
     UINT*) override {
        LONG* field = id == 6 ? &type : &value;
        if (flags & DISPATCH_PROPERTYPUT) {
            if (id == 6 || params->cArgs != 1 || params->rgvarg[0].vt != VT_I4)
                return E_INVALIDARG;
            *field = params->rgvarg[0].lVal;
            ++puts;
            return S_OK;
        }
        result->vt = VT_I4;
        result->lVal = *field;
        return S_OK;
    }
    LONG type, value;
    int puts = 0;
};

class GroupObjectTest : public ObjectFixture {
protected:
    GroupObject* MakeGroup(DWORD flags, int children) {
        GroupObject* g = MakeBuiltin<GroupObject>(CreateGroupObject);
        g->SetFlags(flags);
        for (int i = 0; i < children; ++i) AddChild(g, Make());
        return g;
    }
    CObjWrapper* AddChild(GroupObject* g, IUnknown* object) {
        wrappers.push_back(std::make_unique<CObjWrapper>(kSolidType, "Child"));
        CObjWrapper* w = wrappers.back().get();
        w->Attach(object);
        EXPECT_EQ(g->AddChild(w), S_OK);
        return w;
    }
    CObjWrapper* AddChild(GroupObject* g, CComObject<SolidObject>* object) {
        return AddChild(g, static_cast<IObjectBase*>(object));
    }
    // Show (1) and hide (3) requests scheduled for a child.
    int Requests(CObjWrapper* w, DWORD argument) {
        int n = 0;
        for (const auto& e : site.sequencer.entries)
            if (e.entry.pTarget == w->m_event && e.entry.dwKind == NOTIFY_SHOWHIDE &&
                e.entry.dwParam == argument)
                ++n;
        return n;
    }
    std::vector<std::unique_ptr<CObjWrapper>> wrappers;
};

TEST_F(GroupObjectTest, SelectGroupSteppingByHand) {
    GroupObject* g = MakeGroup(kSelectGroup, 3);
    LONG v = -1;
    g->get_SubObjCount(&v);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(g->SelectPreviousSubObject(), S_OK);
    g->get_CurrentSubObj(&v);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(g->ShownChild(), wrappers[2].get());
    EXPECT_EQ(Requests(wrappers[2].get(), 1), 1);
    g->SelectNextSubObject();
    g->get_CurrentSubObj(&v);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(Requests(wrappers[2].get(), 3), 1);
    g->SelectSubObject(99);
    g->get_CurrentSubObj(&v);
    EXPECT_EQ(v, 2);
    g->SelectSubObject(-1);
    EXPECT_EQ(g->ShownChild(), nullptr);
    EXPECT_EQ(Requests(wrappers[2].get(), 3), 1);  // the pending request is a hide
    EXPECT_EQ(Requests(wrappers[2].get(), 1), 0);
    g->SelectLastSubObject();
    g->get_CurrentSubObj(&v);
    EXPECT_EQ(v, 2);
    g->SelectFirstSubObject();
    g->get_CurrentSubObj(&v);
    EXPECT_EQ(v, 0);
}

TEST_F(GroupObjectTest, SelectGroupWithoutAutoOrInitialShowsNoneOnEntering) {
    GroupObject* g = MakeGroup(kSelectGroup, 3);
    static_cast<IObjectBase*>(g)->Enter();
    EXPECT_EQ(g->ShownChild(), nullptr);
    for (auto& w : wrappers) EXPECT_EQ(Requests(w.get(), 1), 0);
    // With bit 16 the initial child is shown, by its own appearance.
    GroupObject* h = MakeGroup(kSelectGroup | GRPFLAG_INITIAL, 0);
    for (int i = 0; i < 3; ++i) AddChild(h, Make());
    h->SetInitialChild(1);
    static_cast<IObjectBase*>(h)->Enter();
    EXPECT_EQ(h->ShownChild(), wrappers[4].get());
}

TEST_F(GroupObjectTest, SteppingStopsOrWrapsAtTheLastChild) {
    for (bool wrap : {false, true}) {
        GroupObject* g =
            MakeGroup(kSelectGroup | GRPFLAG_AUTO | (wrap ? (DWORD)GRPFLAG_WRAP : 0u), 3);
        static_cast<IObjectBase*>(g)->Enter();
        LONG v = -1;
        g->get_CurrentSubObj(&v);
        EXPECT_EQ(v, 0);
        IObjectEvent* events = static_cast<IObjectEvent*>(g);
        events->Notify(GROUP_NOTIFY_STEP, 0);
        events->Notify(GROUP_NOTIFY_STEP, 0);
        g->get_CurrentSubObj(&v);
        EXPECT_EQ(v, 2);
        events->Notify(GROUP_NOTIFY_STEP, 0);
        g->get_CurrentSubObj(&v);
        EXPECT_EQ(v, wrap ? 0 : 2) << wrap;
        LONG mode = 0;
        EXPECT_EQ(g->get_SelectMode(&mode), S_OK);
        EXPECT_EQ(mode, 1);
    }
}

TEST_F(GroupObjectTest, KindsAnswerOnlyTheirMembers) {
    GroupObject* parallel = MakeGroup(GRPFLAG_PARALLEL, 3);
    LONG v = 0;
    EXPECT_EQ(parallel->get_SelectMode(&v), S_FALSE);
    EXPECT_EQ(parallel->get_AnimationMode(&v), S_OK);
    EXPECT_EQ(parallel->get_DelayTime(&v), S_OK);
    EXPECT_EQ(v, 100);
    parallel->VisibleLastSubObject();
    EXPECT_EQ(wrappers[2]->m_render->IsVisible(), 0);
    EXPECT_EQ(wrappers[0]->m_render->IsVisible(), 1);
    parallel->SelectSubObject(-1);
    for (auto& w : wrappers) EXPECT_EQ(w->m_render->IsVisible(), 1);
    parallel->PlayAnimation();
    EXPECT_EQ(parallel->Playing(), 1);
    static_cast<IObjectEvent*>(parallel)->Notify(GROUP_NOTIFY_SWITCH, 0);
    parallel->get_CurrentSubObj(&v);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(wrappers[0]->m_render->IsVisible(), 0);

    GroupObject* plain = MakeGroup(0, 0);
    EXPECT_EQ(plain->get_DelayTime(&v), S_FALSE);
    EXPECT_EQ(plain->get_AnimationMode(&v), S_FALSE);
}

TEST_F(GroupObjectTest, EmptyGroupsStepAndSwitchNothing) {
    for (DWORD flags : {kSelectGroup | GRPFLAG_AUTO | GRPFLAG_WRAP, (DWORD)GRPFLAG_PARALLEL}) {
        GroupObject* g = MakeGroup(flags, 0);
        static_cast<IObjectBase*>(g)->Enter();
        g->PlayAnimation();
        static_cast<IObjectEvent*>(g)->Notify(GROUP_NOTIFY_STEP, 0);
        static_cast<IObjectEvent*>(g)->Notify(GROUP_NOTIFY_SWITCH, 0);
        EXPECT_EQ(g->SelectNextSubObject(), S_OK);
        EXPECT_EQ(g->SelectPreviousSubObject(), S_OK);
        EXPECT_EQ(g->VisibleNextSubObject(), S_OK);
        EXPECT_EQ(g->VisiblePreviousSubObject(), S_OK);
        EXPECT_EQ(g->ShownChild(), nullptr);
    }
}

TEST_F(GroupObjectTest, RadioStateTouchesOnlyRadioButtons) {
    FakeButton radioA(2, 1), push(0, 0), radioB(2, 0);
    for (DWORD flags : {(DWORD)0, (DWORD)GRPFLAG_RADIO}) {
        GroupObject* g = MakeGroup(flags, 0);
        for (FakeButton* b : {&radioA, &push, &radioB}) AddChild(g, static_cast<IUnknown*>(b));
        EXPECT_EQ(g->SetRadioState(2), S_OK);
        LONG state = 5;
        g->get_CurrentRadioState(&state);
        if (!flags) {
            EXPECT_EQ(radioA.puts + radioB.puts + push.puts, 0);
            EXPECT_EQ(state, -1);
            continue;
        }
        EXPECT_EQ(radioA.value, 0);
        EXPECT_EQ(radioB.value, 1);
        EXPECT_EQ(push.puts, 0);
        EXPECT_EQ(state, 2);
        // The radio button's own call switches the others off.
        radioA.value = 1;
        g->RadioSelect(&radioA);
        EXPECT_EQ(radioA.value, 1);
        EXPECT_EQ(radioB.value, 0);
    }
}

TEST_F(GroupObjectTest, ChildCallsReachTheGroupThroughItsPrivateInterface) {
    GroupObject* g = MakeGroup(kSelectGroup, 2);
    g->SelectSubObject(1);
    CComPtr<IGroupObject> calls;
    ASSERT_EQ(static_cast<IObjectBase*>(g)->QueryInterface(__uuidof(IGroupObject),
                                                           reinterpret_cast<void**>(&calls)),
              S_OK);
    // A select group lets only its shown child enter.
    EXPECT_EQ(calls->ChildEnter(wrappers[0]->m_base), 1);
    EXPECT_EQ(calls->ChildEnter(wrappers[1]->m_base), 0);
    IUnknown* parent = nullptr;
    wrappers[0]->m_base->GetParent(&parent);
    EXPECT_EQ(parent, static_cast<IUnknown*>(static_cast<IObjectBase*>(g)));
}

TEST_F(GroupObjectTest, MovesTakeTheChildrenAlong) {
    GroupObject* g = MakeGroup(0, 2);
    g->SetWidth(100);
    g->SetHeight(100);
    static_cast<II_IRender*>(g)->MoveTo(50, 50);
    wrappers[0]->m_render->MoveTo(10, 20);
    wrappers[1]->m_render->MoveTo(60, 70);
    ASSERT_EQ(g->Offset(5, -3), S_OK);
    EXPECT_EQ(wrappers[0]->m_render->GetXCenter(), 15);
    EXPECT_EQ(wrappers[0]->m_render->GetYCenter(), 17);
    EXPECT_EQ(wrappers[1]->m_render->GetXCenter(), 65);
    LONG cx = 0, cy = 0;
    g->get_ObjXCenter(&cx);
    g->get_ObjYCenter(&cy);
    EXPECT_EQ(cx, 55);
    EXPECT_EQ(cy, 47);
    g->put_ObjXCenter(75);
    EXPECT_EQ(wrappers[0]->m_render->GetXCenter(), 35);
    g->get_ObjXCenter(&cx);
    EXPECT_EQ(cx, 75);
    g->MoveTo(0, 0);
    EXPECT_EQ(wrappers[1]->m_render->GetXCenter(), 10);
    EXPECT_EQ(wrappers[1]->m_render->GetYCenter(), 20);
}

TEST_F(GroupObjectTest, ScriptsCallMembersByName) {
    GroupObject* g = MakeGroup(kSelectGroup, 3);
    CComPtr<IDispatch> d;
    static_cast<IObjectBase*>(g)->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
    ASSERT_NE(d, nullptr);
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"SelectNextSubObject");
    ASSERT_EQ(d->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 8);
    DISPPARAMS none = {};
    ASSERT_EQ(d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    LONG v = 0;
    g->get_CurrentSubObj(&v);
    EXPECT_EQ(v, 1);
}

TEST_F(GroupObjectTest, RecordOfEightValues) {
    GroupRecord rec;
    rec.flags = kSelectGroup | GRPFLAG_INITIAL;
    rec.entryChild = 1;
    rec.exitChild = 2;
    rec.initialChild = 3;
    rec.currentChild = 4;
    rec.thirdValue = 5;
    rec.delay = 250;
    ObjectPrefix prefix;
    std::vector<uint8_t> own = WriteGroupRecord(rec);
    prefix.eventProc.insert(prefix.eventProc.end(), own.begin(), own.end());
    std::vector<uint8_t> bytes = WriteObjectPrefix(prefix);
    GroupObject* g = MakeGroup(0, 0);
    CComPtr<ITeskStream> s = MemStreamOf(bytes);
    ASSERT_EQ(static_cast<IObjectBase*>(g)->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    EXPECT_EQ(g->Flags(), rec.flags);
    LONG v = 0;
    g->GetEntryChild(&v);
    EXPECT_EQ(v, 1);
    g->GetExitChild(&v);
    EXPECT_EQ(v, 2);
    g->GetInitialChild(&v);
    EXPECT_EQ(v, 3);
    g->get_CurrentSubObj(&v);
    EXPECT_EQ(v, 4);
    g->GetThirdValue(&v);
    EXPECT_EQ(v, 5);
    g->get_DelayTime(&v);
    EXPECT_EQ(v, 250);

    // Truncated copies fail without reading past their end.
    size_t start = WriteObjectPrefix(ObjectPrefix()).size() - 8;
    for (size_t n = start; n < start + own.size(); ++n) {
        GroupObject* cut = MakeGroup(0, 0);
        CComPtr<ITeskStream> t =
            MemStreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_NE(static_cast<IObjectBase*>(cut)->Load(t), S_OK) << n;
        EXPECT_LE(t->GetPosition(), n);
    }
    // Corrupted values: any flags and indexes are taken without harm.
    std::mt19937 random(105);
    for (int round = 0; round < 50; ++round) {
        std::vector<uint8_t> bad = bytes;
        for (int k = 0; k < 4; ++k)
            bad[start - 4 + random() % (own.size() + 4)] = (uint8_t)random();
        GroupObject* h = MakeGroup(0, 2);
        static_cast<IObjectBase*>(h)->Load(MemStreamOf(bad));
        static_cast<IObjectBase*>(h)->Enter();
        h->SelectNextSubObject();
        static_cast<IObjectEvent*>(h)->Notify(GROUP_NOTIFY_STEP, 0);
        static_cast<IObjectEvent*>(h)->Notify(GROUP_NOTIFY_SWITCH, 0);
    }
}

}  // namespace
