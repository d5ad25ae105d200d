// Effect and decoration renders: progress, records with plug-in entries,
// clock ticks and object events, through a fake module creator.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "aEffectRender.h"
#include "StreamFixtures.h"
#include "aStorage.h"
#include "bComBase.h"

namespace {

// {11111111-2222-3333-4444-555555555555}: the one class the fake creator knows.
const CLSID kFakeMove = {
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
int g_liveFakes = 0;

// A move plug-in whose record is one u32.
class CFakeMove : public CComObjectRootBase, public ITransitionMove {
public:
    BEGIN_COM_MAP(CFakeMove)
    COM_INTERFACE_ENTRY(ITransitionMove)
    END_COM_MAP()
    CFakeMove() { ++g_liveFakes; }
    ~CFakeMove() { --g_liveFakes; }
    STDMETHOD(GetClassID)(CLSID* id) override {
        *id = kFakeMove;
        return S_OK;
    }
    STDMETHOD(Load)(ITeskStream* s) override {
        s->Read(&value, 4);
        return S_OK;
    }
    STDMETHOD(Save)(ITeskStream* s) override {
        s->Write(&value, 4);
        return S_OK;
    }
    STDMETHOD(Reserved6)() override { return S_OK; }
    STDMETHOD(MoveRect)(const RECT* r, double, RECT* out) override {
        *out = *r;
        return S_OK;
    }
    STDMETHOD(GetUncoveredRects)(const RECT*, double, int* n, const RECT** rs) override {
        *n = 0;
        *rs = nullptr;
        return S_OK;
    }
    STDMETHOD(Reserved9)() override { return S_OK; }
    DWORD value = 0;
};

struct FakeCreator : IModuleCreator {
    int calls = 0;
    HRESULT CreateModuleInstance(REFCLSID clsid, REFIID iid, void** out) override {
        ++calls;
        *out = nullptr;
        if (!IsEqualCLSID(clsid, kFakeMove))
            return E_FAIL;
        return ComCreateInstance<CFakeMove>(iid, out);
    }
};

struct FakeTarget : IRenderTarget {
    RECT rect = {10, 20, 110, 70};
    int redraws = 0, invalidates = 0;
    HRESULT GetRect(RECT* r) override {
        *r = rect;
        return S_OK;
    }
    HRESULT Redraw(const RECT*) override {
        ++redraws;
        return S_OK;
    }
    HRESULT Invalidate(const RECT*) override {
        ++invalidates;
        return S_OK;
    }
};

void PutId(std::vector<BYTE>& b, const CLSID& id) {
    const BYTE* p = reinterpret_cast<const BYTE*>(&id);
    b.insert(b.end(), p, p + 16);
}
void PutU32(std::vector<BYTE>& b, DWORD v) {
    for (int i = 0; i < 4; ++i) b.push_back((BYTE)(v >> (8 * i)));
}

class Renders : public testing::Test {
protected:
    void SetUp() override { previous = SetModuleCreator(&creator); }
    void TearDown() override {
        SetModuleCreator(previous);
        EXPECT_EQ(g_liveFakes, 0);
    }
    FakeCreator creator;
    IModuleCreator* previous = nullptr;
};

CRenderClock* OwnClock(IUnknown* render) {
    CComPtr<IRenderClockClient> client;
    render->QueryInterface(__uuidof(IRenderClockClient), (void**)&client);
    return static_cast<CRenderClock*>(client->GetClock());
}

TEST_F(Renders, ProgressFromDurationAndDirection) {
    CComPtr<IEffectRender> fx;
    ASSERT_EQ(CreateEffectRender(&fx, nullptr), S_OK);
    double p = -1;
    EXPECT_TRUE(fx->IsIdle());
    fx->GetProgress(&p);
    EXPECT_EQ(p, 1.0);  // duration 0
    fx->SetEntering(FALSE);
    fx->GetProgress(&p);
    EXPECT_EQ(p, 0.0);
    fx->SetEntering(TRUE);
    fx->SetDuration(400);
    CRenderClock* clock = OwnClock(fx);
    clock->Start();
    EXPECT_FALSE(fx->IsIdle());
    clock->Advance(100);
    fx->GetProgress(&p);
    EXPECT_DOUBLE_EQ(p, 0.25);
    fx->SetEntering(FALSE);
    fx->GetProgress(&p);
    EXPECT_DOUBLE_EQ(p, 0.75);
    clock->Advance(1000);
    fx->GetProgress(&p);
    EXPECT_EQ(p, 0.0);
}

TEST_F(Renders, TickRedrawsUntilTheDurationHasPassed) {
    FakeTarget target;
    CComPtr<IEffectRender> fx;
    ASSERT_EQ(CreateEffectRender(&fx, &target), S_OK);
    fx->SetDuration(100);
    CComPtr<IRenderClockClient> client;
    ASSERT_EQ(fx->QueryInterface(__uuidof(IRenderClockClient), (void**)&client), S_OK);
    CRenderClock* clock = OwnClock(fx);
    clock->Start();
    clock->Advance(100);
    client->OnTick();
    EXPECT_FALSE(fx->IsIdle());
    EXPECT_EQ(target.redraws, 1);
    clock->Advance(1);
    client->OnTick();  // past: stopped, with one last redraw
    EXPECT_TRUE(fx->IsIdle());
    EXPECT_EQ(target.redraws, 2);
}

TEST_F(Renders, FortyEightZeroBytesLoadAndSaveBack) {
    CComPtr<IEffectRender> fx;
    ASSERT_EQ(CreateEffectRender(&fx, nullptr), S_OK);
    std::vector<BYTE> zeros(48, 0);
    CComPtr<ITeskStream> in = MemStreamOf(zeros);
    ASSERT_EQ(fx->Load(in), S_OK);
    EXPECT_EQ(creator.calls, 0);
    CComPtr<ITransitionMove> move;
    fx->GetMove(&move);
    EXPECT_FALSE(move);
    CComPtr<ITeskStream> out = MemStreamOf(std::vector<BYTE>());
    out->SetMode(1);
    ASSERT_EQ(fx->Save(out), S_OK);
    EXPECT_EQ(ContentBytes(out), zeros);
}

TEST_F(Renders, PluginRecordsRoundTripInsideTheRenderRecord) {
    // move entry: class id + u32 0x01020304; region and mask: none.
    std::vector<BYTE> rec;
    PutId(rec, kFakeMove);
    PutU32(rec, 0x01020304);
    rec.resize(rec.size() + 32, 0);
    CComPtr<IEffectRender> fx;
    ASSERT_EQ(CreateEffectRender(&fx, nullptr), S_OK);
    ASSERT_EQ(fx->Load(MemStreamOf(rec)), S_OK);
    CComPtr<ITransitionMove> move;
    ASSERT_EQ(fx->GetMove(&move), S_OK);
    ASSERT_TRUE(move);
    EXPECT_EQ(static_cast<CFakeMove*>(move.p)->value, 0x01020304u);
    CComPtr<ITeskStream> out = MemStreamOf(std::vector<BYTE>());
    out->SetMode(1);
    ASSERT_EQ(fx->Save(out), S_OK);
    EXPECT_EQ(ContentBytes(out), rec);
    // CopyFrom goes through a memory stream.
    CComPtr<IEffectRender> copy;
    ASSERT_EQ(CreateEffectRender(&copy, nullptr), S_OK);
    ASSERT_EQ(copy->CopyFrom(fx), S_OK);
    CComPtr<ITransitionMove> copied;
    copy->GetMove(&copied);
    ASSERT_TRUE(copied);
    EXPECT_NE(copied.p, move.p);
    EXPECT_EQ(static_cast<CFakeMove*>(copied.p)->value, 0x01020304u);
}

TEST_F(Renders, CorruptedEffectRecords) {
    const CLSID unknown = {0xDEAD, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    struct Row {
        const char* name;
        std::vector<BYTE> bytes;
        HRESULT hr;  // S_FALSE: the stream's exception
        bool moveKept;
    };
    std::vector<BYTE> good;
    PutId(good, kFakeMove);
    PutU32(good, 7);
    std::vector<Row> rows;
    {
        std::vector<BYTE> b = good;  // known move, unknown region class
        PutId(b, unknown);
        rows.push_back({"unknown region class", b, E_FAIL, true});
    }
    {
        std::vector<BYTE> b;
        PutId(b, unknown);
        rows.push_back({"unknown move class", b, E_FAIL, false});
    }
    rows.push_back(
        {"truncated class id", std::vector<BYTE>(good.begin(), good.begin() + 9), S_FALSE, false});
    rows.push_back({"truncated plug-in record", std::vector<BYTE>(good.begin(), good.begin() + 18),
                    S_FALSE, false});
    rows.push_back({"empty", {}, S_FALSE, false});
    {
        std::vector<BYTE> b = good;  // region entry cut short
        b.resize(b.size() + 5, 0);
        rows.push_back({"short second entry", b, S_FALSE, true});
    }
    for (const Row& row : rows) {
        CComPtr<IEffectRender> fx;
        ASSERT_EQ(CreateEffectRender(&fx, nullptr), S_OK);
        HRESULT hr = S_OK;
        try {
            hr = fx->Load(MemStreamOf(row.bytes));
        } catch (const CTeskStreamExcept& e) {
            EXPECT_EQ(e.GetCode(), TESK_EXC_SHORTREAD) << row.name;
            hr = S_FALSE;
        }
        EXPECT_EQ(hr, row.hr) << row.name;
        CComPtr<ITransitionMove> move;
        fx->GetMove(&move);
        EXPECT_EQ(move != nullptr, row.moveKept) << row.name;
    }
    EXPECT_EQ(g_liveFakes, 0);
}

TEST_F(Renders, SettersTakeTheirOwnReference) {
    CComPtr<IEffectRender> fx;
    ASSERT_EQ(CreateEffectRender(&fx, nullptr), S_OK);
    {
        CComPtr<ITransitionMove> move;
        ASSERT_EQ(ComCreateInstance<CFakeMove>(__uuidof(ITransitionMove), (void**)&move), S_OK);
        fx->SetMove(move);
    }
    EXPECT_EQ(g_liveFakes, 1);  // still held by the render
    fx->SetMove(nullptr);
    EXPECT_EQ(g_liveFakes, 0);
}

TEST_F(Renders, DecorationWithoutLimitRedrawsUntilTheLeaveEvent) {
    FakeTarget target;
    CComPtr<IDecorRender> decor;
    ASSERT_EQ(CreateDecorRender(&decor, &target), S_OK);
    int limit = 0;
    decor->GetTimeLimit(&limit);
    EXPECT_EQ(limit, -1);
    CComPtr<IRenderClockClient> client;
    ASSERT_EQ(decor->QueryInterface(__uuidof(IRenderClockClient), (void**)&client), S_OK);
    client->OnEvent(RENDER_EVENT_HOLD, 0, 0);  // the start code
    EXPECT_FALSE(decor->IsIdle());
    CRenderClock* clock = OwnClock(decor);
    for (int i = 0; i < 50; ++i) {
        clock->Advance(1000000);
        client->OnTick();
    }
    EXPECT_EQ(target.redraws, 50);
    EXPECT_FALSE(decor->IsIdle());
    client->OnEvent(RENDER_EVENT_LEAVE, 0, 0);
    EXPECT_TRUE(decor->IsIdle());
    EXPECT_EQ(target.invalidates, 1);
    // With a limit the tick past it stops.
    decor->SetTimeLimit(30);
    client->OnEvent(RENDER_EVENT_HOLD, 0, 0);
    clock->Advance(31);
    client->OnTick();
    EXPECT_TRUE(decor->IsIdle());
}

TEST_F(Renders, DecorationRecord) {
    // limit u32, start code, pause code, then one entry (none here).
    std::vector<BYTE> rec;
    PutU32(rec, 0xFFFFFFFF);
    PutU32(rec, 1201);
    PutU32(rec, 1202);
    rec.resize(rec.size() + 16, 0);
    CComPtr<IDecorRender> decor;
    ASSERT_EQ(CreateDecorRender(&decor, nullptr), S_OK);
    ASSERT_EQ(decor->Load(MemStreamOf(rec)), S_OK);
    CComPtr<ITeskStream> out = MemStreamOf(std::vector<BYTE>());
    out->SetMode(1);
    ASSERT_EQ(decor->Save(out), S_OK);
    EXPECT_EQ(ContentBytes(out), rec);
    // An unknown decoration class: E_FAIL.
    std::vector<BYTE> bad(rec.begin(), rec.begin() + 12);
    PutId(bad, kFakeMove);  // known class, but not a decoration
    EXPECT_EQ(decor->Load(MemStreamOf(bad)), E_FAIL);
}

}  // namespace
