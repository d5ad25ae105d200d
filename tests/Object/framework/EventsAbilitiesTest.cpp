#include <gtest/gtest.h>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "TestFiles.h"
#include "aablbase.h"

namespace {

using ObjectEventsTest = ObjectFixture;

// A listener that counts what it is given.
class CountingListener : public CComObjectRootBase, public IEventListener {
public:
    BEGIN_COM_MAP(CountingListener)
    COM_INTERFACE_ENTRY(IEventListener)
    END_COM_MAP()
    STDMETHOD(OnEvent)(DWORD id, DWORD_PTR, DWORD_PTR) override {
        ids.push_back(id);
        return S_OK;
    }
    std::vector<DWORD> ids;
};

TEST_F(ObjectEventsTest, MousePointKeepsItsSign) {
    auto* obj = Make();
    IObjectEvent* ev = static_cast<IObjectEvent*>(obj);
    // y = -1, x = 5: arg2 = 0xFFFF0000 | 5
    EXPECT_EQ(ev->FireEvent(EVT_LBUTTONDOWN, 0, 0xFFFF0005u, 0), 1);
    ASSERT_EQ(procs.last->calls.size(), 1u);
    const auto& call = procs.last->calls[0];
    EXPECT_EQ(call.id, 1100);
    EXPECT_EQ(call.types, (std::vector<VARTYPE>{VT_I4, VT_I4}));
    EXPECT_EQ(call.values, (std::vector<LONG>{5, -1}));
}

TEST_F(ObjectEventsTest, StockEventsWithoutParameters) {
    auto* obj = Make();
    IObjectEvent* ev = static_cast<IObjectEvent*>(obj);
    for (DWORD id :
         {EVT_CLICK, EVT_DBCLICK, EVT_BEGINDRAG, EVT_ENDDRAG, EVT_MOUSEENTER, EVT_MOUSELEAVE})
        ev->FireEvent(id, 7, 0x00080009, 0);
    ASSERT_EQ(procs.last->calls.size(), 6u);
    for (const auto& call : procs.last->calls) EXPECT_TRUE(call.types.empty()) << call.id;
    // A pointer move with the tooltip disabled calls nothing.
    ev->FireEvent(EVT_MOUSEMOVE, 0, 0x00080009, 0);
    EXPECT_EQ(procs.last->calls.size(), 6u);
}

TEST_F(ObjectEventsTest, TimerNoticeCallsTimerWithTwoInts) {
    auto* obj = Make();
    IObjectEvent* ev = static_cast<IObjectEvent*>(obj);
    ev->Notify(NOTIFY_TIMER, 7);
    ASSERT_EQ(procs.last->calls.size(), 1u);
    EXPECT_EQ(procs.last->calls[0].id, 1000);
    EXPECT_EQ(procs.last->calls[0].types, (std::vector<VARTYPE>{VT_INT, VT_INT}));
    EXPECT_EQ(procs.last->calls[0].values, (std::vector<LONG>{7, 7}));
}

TEST(EventProcHolderTest, ReturnWithTheExtendedFlagHasNoBit3) {
    // Key states come from GetKeyState; none is down in the test process.
    EXPECT_EQ(EventProcHolder::KeyWord(13, 0x100), 13);
    EXPECT_EQ(EventProcHolder::KeyWord(VK_DELETE, 0x100), VK_DELETE | 0x800);
    EXPECT_EQ(EventProcHolder::KeyWord(0x1FF, 0), 0xFF);
}

TEST(EventProcHolderTest, MissingProcedureIsNeverCalled) {
    EventProcHolder holder;
    EXPECT_EQ(holder.FireTimer(3), S_FALSE);
    EXPECT_EQ(holder.FireMouse(1100, 1, 2), S_FALSE);
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(holder.FireControlEvent(1, &v, 1), S_FALSE);
}

TEST_F(ObjectEventsTest, ListenersOnceAndInOrder) {
    auto* obj = Make();
    IObjectEvent* ev = static_cast<IObjectEvent*>(obj);
    CComObject<CountingListener>* a = nullptr;
    CComObject<CountingListener>::CreateInstance(&a);
    CComPtr<IUnknown> keep(a->GetUnknown());
    EXPECT_EQ(ev->AddListener(keep), S_OK);
    EXPECT_EQ(ev->AddListener(keep), S_OK);
    EXPECT_EQ(obj->ListenerCount(), 1);
    ev->FireEvent(EVT_CLICK, 0, 0, 0);
    EXPECT_EQ(a->ids, (std::vector<DWORD>{EVT_CLICK}));
    EXPECT_EQ(ev->RemoveListener(keep), S_OK);
    EXPECT_EQ(ev->RemoveListener(keep), S_OK);
    EXPECT_EQ(obj->ListenerCount(), 0);
    EXPECT_EQ(a->RefCount(), 1);
}

// The page variant: keys and clicks to the procedure, then the listeners.
class PageEvents : public CComObjectRootBase, public CObjectEventB {
public:
    BEGIN_COM_MAP(PageEvents)
    COM_INTERFACE_ENTRY(IObjectEvent)
    END_COM_MAP()
};

TEST(PageEventsTest, KeysAndPointsOfThePageVariant) {
    CComObject<PageEvents>* page = nullptr;
    CComObject<PageEvents>::CreateInstance(&page);
    CComPtr<IObjectEvent> keep(page);
    CComObject<TestEventProc>* proc = nullptr;
    CComObject<TestEventProc>::CreateInstance(&proc);
    proc->AddRef();
    page->m_pEventProc = proc;
    // KeyDown of Return with the extended flag (bit 8 of the flags word).
    page->FireEvent(EVT_KEYDOWN, 13, 0x01000000, 0);
    page->FireEvent(EVT_LBUTTONUP, 0, 0xFFFE0003u, 0);
    page->Notify(NOTIFY_TIMER, 250);
    ASSERT_EQ(proc->calls.size(), 3u);
    EXPECT_EQ(proc->calls[0].id, 1008);
    EXPECT_EQ(proc->calls[0].types, (std::vector<VARTYPE>{VT_INT, VT_I2, VT_I2}));
    EXPECT_EQ(proc->calls[0].values, (std::vector<LONG>{13, 13, 0x100}));
    EXPECT_EQ(proc->calls[1].values, (std::vector<LONG>{3, -2}));
    EXPECT_EQ(proc->calls[2].values, (std::vector<LONG>{250, 250}));
}

// ---- abilities ----

// A static ability whose own record is a 32-bit value.
class ValueAbility : public CComObjectRootBase, public StaticAbility {
public:
    BEGIN_COM_MAP(ValueAbility)
    COM_INTERFACE_ENTRY(IAbilityCreate)
    END_COM_MAP()
    STDMETHOD(LoadOwn)(ITeskStream* stream) override {
        stream->Read(&value, 4);
        return S_OK;
    }
    STDMETHOD(SaveOwn)(ITeskStream* stream) override {
        stream->Write(&value, 4);
        return S_OK;
    }
    LONG value = 0;
};

HRESULT CreateValueAbility(IUnknown** out) {
    return ComCreateInstance<ValueAbility>(IID_IUnknown, reinterpret_cast<void**>(out));
}

// {8C7A3B11-2D4E-4F60-9A1B-3C5D7E9F0A21}
const GUID kValueIid = {
    0x8C7A3B11, 0x2D4E, 0x4F60, {0x9A, 0x1B, 0x3C, 0x5D, 0x7E, 0x9F, 0x0A, 0x21}};
const GUID kValueClsid = {
    0x8C7A3B12, 0x2D4E, 0x4F60, {0x9A, 0x1B, 0x3C, 0x5D, 0x7E, 0x9F, 0x0A, 0x21}};

class AbilityTest : public ObjectFixture {
protected:
    AbilityTest() {
        registry.DefModule(MODULE_ABILITY, kValueClsid, kValueIid, 0, 0, 0, 0, CreateValueAbility,
                           0, 42);
        creator.Init(&registry, nullptr);
    }
};

TEST_F(AbilityTest, BuiltinsAndNamedEntries) {
    auto* obj = Make();
    CComPtr<IUnknown> found;
    // Path motion (module id -1) is found by its interface, its slot empty.
    EXPECT_EQ(obj->AbilityContainer::QueryAbility(__uuidof(IPathAnimate), &found), S_OK);
    EXPECT_EQ(found, nullptr);
    // Entries are told apart by interface, not by their shared id -1.
    EXPECT_EQ(obj->AbilityContainer::QueryAbility(IID_IDispatch, &found), S_OK);
    EXPECT_EQ(found, static_cast<IDispatch*>(procs.last));
    found.Release();
    const GUID unknown = {0x11111111, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    EXPECT_EQ(obj->AbilityContainer::QueryAbility(unknown, &found), 1);
    // Through the interfaces: the container answers 1, the identity E_FAIL.
    EXPECT_EQ(static_cast<IAbilityContainer*>(obj)->QueryAbility(unknown, &found), 1);
    EXPECT_EQ(static_cast<IObjectBase*>(obj)->QueryAbility(unknown, &found), E_FAIL);
    EXPECT_EQ(static_cast<IObjectBase*>(obj)->QueryAbility(unknown, nullptr), E_INVALIDARG);
    EXPECT_EQ(obj->AddAbility(L"_EventProc"), S_OK);
    EXPECT_EQ(obj->EntryCount(), 2);
    // By name: the bound procedure, an empty slot (1), an unknown name.
    CComPtr<IDispatch> proc;
    EXPECT_EQ(obj->GetAbility(L"_EventProc", IID_IDispatch, reinterpret_cast<void**>(&proc)), S_OK);
    EXPECT_EQ(proc, static_cast<IDispatch*>(procs.last));
    void* none = nullptr;
    EXPECT_EQ(obj->GetAbility(L"PathAnimate", IID_IUnknown, &none), 1);
    EXPECT_EQ(obj->GetAbility(L"Nope", IID_IUnknown, &none), E_FAIL);
    EXPECT_EQ(obj->AddAbility(L"Mine"), S_OK);
    EXPECT_EQ(obj->AddAbility(L"Mine"), E_FAIL);
    EXPECT_EQ(obj->RemoveAbility(L"PathAnimate"), S_OK);
    EXPECT_NE(obj->FindEntry(L"PathAnimate"), nullptr);
    EXPECT_EQ(obj->RemoveAbility(L"Mine"), S_OK);
    EXPECT_EQ(obj->FindEntry(L"Mine"), nullptr);
    EXPECT_EQ(obj->RemoveAbility(L"Mine"), E_FAIL);
    EXPECT_EQ(obj->SetAbility(L"Nope", 1, nullptr), E_FAIL);
}

TEST_F(AbilityTest, StaticAbilitiesLoadSkipAndRefuse) {
    auto* obj = Make();
    obj->AddAbility(L"Value");
    ObjectPrefix p;
    p.abilityCount = 3;
    RecordBytes data;
    data.I32(1234);
    p.abilities = StaticAbilityRecord(7, L"Unknown", {9, 9, 9});
    std::vector<uint8_t> value = StaticAbilityRecord(42, L"Value", data.bytes);
    p.abilities.insert(p.abilities.end(), value.begin(), value.end());
    CComPtr<ITeskStream> s = MemStreamOf(WriteObjectPrefix(p));
    LogCapture log;
    ASSERT_EQ(obj->Load(s), S_OK);
    EXPECT_TRUE(Logged(log.Text(), "Unsupported static ability: Unknown(7) -- discarded"));
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    const AbilityEntry* entry = obj->FindEntry(L"Value");
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(entry->Get(), nullptr);
    EXPECT_EQ(entry->nId, 42);
    CComPtr<IAbilityCreate> ability;
    entry->Get()->QueryInterface(__uuidof(IAbilityCreate), reinterpret_cast<void**>(&ability));
    EXPECT_EQ(static_cast<CComObject<ValueAbility>*>(ability.p)->value, 1234);
    CComPtr<IUnknown> found;
    EXPECT_EQ(static_cast<IObjectBase*>(obj)->QueryAbility(kValueIid, &found), S_OK);
    found.Release();
    EXPECT_EQ(static_cast<IAbilityContainer*>(obj)->QueryAbility(kValueIid, &found), S_OK);

    // Data lengths below 4 or past the stream are refused.
    for (uint32_t bad : {1u, 3u, 100u}) {
        RecordBytes r;
        r.I32(42).U32(5).Wide(L"Value").U32(bad).I32(5);
        ObjectPrefix q;
        q.abilityCount = 2;
        q.abilities = r.bytes;
        auto* other = Make();
        other->AddAbility(L"Value");
        CComPtr<ITeskStream> t = MemStreamOf(WriteObjectPrefix(q));
        EXPECT_EQ(other->Load(t), E_FAIL) << bad;
    }
}

TEST_F(AbilityTest, CopyAbilityMakesCopiesAndRemoves) {
    auto* from = Make();
    auto* to = Make();
    // Entries named for the module's id.
    for (auto* obj : {from, to}) {
        obj->AddAbility(L"Value");
        obj->SetAbility(L"Value", 42, nullptr);
    }
    CComPtr<IUnknown> made;
    ASSERT_EQ(from->CreateAbility(kValueIid, &made), S_OK);
    CComPtr<IAbilityCreate> source;
    made->QueryInterface(__uuidof(IAbilityCreate), reinterpret_cast<void**>(&source));
    static_cast<CComObject<ValueAbility>*>(source.p)->value = 77;
    for (DWORD flags : {0u, 1u}) {
        EXPECT_EQ(to->CopyAbility(kValueIid, from, flags), S_OK);
        const AbilityEntry* e = to->FindEntry(L"Value");
        ASSERT_NE(e, nullptr);
        ASSERT_NE(e->Get(), nullptr);
        CComPtr<IAbilityCreate> copy;
        e->Get()->QueryInterface(__uuidof(IAbilityCreate), reinterpret_cast<void**>(&copy));
        EXPECT_EQ(static_cast<CComObject<ValueAbility>*>(copy.p)->value, 77) << flags;
        EXPECT_NE(copy.p, source.p);
    }
    // The source without it: the copy's entry goes.
    from->RemoveAbility(L"Value");
    from->AddAbility(L"Value");
    from->SetAbility(L"Value", 42, nullptr);
    EXPECT_EQ(to->CopyAbility(kValueIid, from, 0), S_OK);
    EXPECT_EQ(to->FindEntry(L"Value"), nullptr);
    // Not supported on either side: ignored, logged.
    LogCapture log;
    const GUID none = {0x22222222, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
    EXPECT_EQ(to->CopyAbility(none, from, 0), S_OK);
    EXPECT_TRUE(Logged(log.Text(), "CopyAbility ignored"));
    CComPtr<IUnknown> nothing;
    EXPECT_EQ(to->CreateAbility(none, &nothing), E_FAIL);
}

// The clock client on the sequencer double.
class ClockAbility : public CComObjectRootBase, public CAbility {
public:
    BEGIN_COM_MAP(ClockAbility)
    COM_INTERFACE_ENTRY(IAbility)
    END_COM_MAP()
};

TEST_F(ObjectEventsTest, ClockAbilityRunsPausesAndResumes) {
    CComObject<ClockAbility>* a = nullptr;
    CComObject<ClockAbility>::CreateInstance(&a);
    CComPtr<IAbility> keep(a);
    EXPECT_EQ(a->Start(), E_UNEXPECTED);
    a->SetSite(&site);
    a->Resume();
    EXPECT_EQ(a->GetState(), ABILITY_STOPPED);
    site.clock = 1000;
    EXPECT_EQ(a->OnEvent(1200), S_OK);
    EXPECT_EQ(a->GetState(), ABILITY_RUNNING);
    EXPECT_EQ(site.sequencer.clients.size(), 1u);
    site.clock = 1040;
    site.sequencer.TickClients();
    EXPECT_EQ(a->TotalTime(), 40u);
    a->Pause();
    EXPECT_TRUE(site.sequencer.clients.empty());
    site.clock = 5000;
    a->OnEvent(1200);
    EXPECT_EQ(a->GetState(), ABILITY_RUNNING);
    site.clock = 5010;
    site.sequencer.TickClients();
    EXPECT_EQ(a->TotalTime(), 50u);
    a->Stop();
    EXPECT_EQ(a->GetState(), ABILITY_STOPPED);
    EXPECT_TRUE(site.sequencer.clients.empty());
}

}  // namespace
