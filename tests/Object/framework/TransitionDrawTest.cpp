#include <gtest/gtest.h>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "aEffectRender.h"
#include "aGDIBuf.h"
#include "aTransition.h"

namespace {

// {6A1F0C55-0B2E-4C7D-8E9F-1A2B3C4D5E6F}
const CLSID kTestMaskClsid = {
    0x6A1F0C55, 0x0B2E, 0x4C7D, {0x8E, 0x9F, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F}};

// A mask plug-in that keeps nothing of the target (every byte 0) and notes
// the progress it is asked for.
class TestMask : public CComObjectRootBase, public ITransitionMask {
public:
    BEGIN_COM_MAP(TestMask)
    COM_INTERFACE_ENTRY(ITransitionMask)
    END_COM_MAP()
    STDMETHOD(GetClassID)(CLSID* clsid) override {
        *clsid = kTestMaskClsid;
        return S_OK;
    }
    STDMETHOD(Load)(ITeskStream*) override { return S_OK; }
    STDMETHOD(Save)(ITeskStream*) override { return S_OK; }
    STDMETHOD(GetRole)(ITransitionMaskRole**) override { return E_NOTIMPL; }
    STDMETHOD(BuildTiledMask)(BYTE** out, double x, const RECT* rect, const RECT*) override {
        asked.push_back(x);
        size_t n = (size_t)(rect->right - rect->left) * (rect->bottom - rect->top);
        *out = AllocTransitionMask(n);
        memset(*out, 0, n);
        return S_OK;
    }
    STDMETHOD(ApplyMask)
    (IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask, double, const RECT* rect,
     const RECT*) override {
        BufferInfo t = {}, s = {};
        t.dwSize = s.dwSize = sizeof(BufferInfo);
        t.wMask = s.wMask = BIM_ALL;
        target->GetBufferInfo(&t);
        source->GetBufferInfo(&s);
        int w = rect->right - rect->left;
        for (LONG y = rect->top; y < rect->bottom; ++y)
            for (LONG x = rect->left; x < rect->right; ++x) {
                DWORD* tp = reinterpret_cast<DWORD*>(t.pPixels + y * t.nPitch) + x;
                const DWORD* sp = reinterpret_cast<const DWORD*>(s.pPixels + y * s.nPitch) + x;
                int m = mask[(y - rect->top) * w + (x - rect->left)];
                DWORD out = 0;
                for (int c = 0; c < 24; c += 8) {
                    DWORD tc = (*tp >> c) & 0xFF, sc = (*sp >> c) & 0xFF;
                    out |= ((tc * m + sc * (256 - m)) / 256) << c;
                }
                *tp = out;
            }
        ++applied;
        return S_OK;
    }
    STDMETHOD(ApplyTiledMask)
    (IPixelBuffer*, IPixelBuffer*, const BYTE*, double, const RECT*, const RECT*) override {
        return E_NOTIMPL;
    }
    static std::vector<double> asked;
    static int applied;
};
std::vector<double> TestMask::asked;
int TestMask::applied = 0;

HRESULT CreateTestMask(IUnknown** out) {
    return ComCreateInstance<TestMask>(IID_IUnknown, reinterpret_cast<void**>(out));
}

DWORD PixelAt(IPixelBuffer* buffer, int x, int y) {
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    buffer->GetBufferInfo(&info);
    return reinterpret_cast<const DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch)[x] &
           0x00FFFFFF;
}

class TransitionDrawTest : public ObjectFixture {
protected:
    TransitionDrawTest() {
        registry.DefModule(MODULE_PLUGIN, kTestMaskClsid, __uuidof(ITransitionMask), 0, 0, 0, 0,
                           CreateTestMask, 0, 0);
        creator.Init(&registry, nullptr);
        previous = SetModuleCreator(&creator);
        TestMask::asked.clear();
        TestMask::applied = 0;
    }
    ~TransitionDrawTest() override { SetModuleCreator(previous); }
    IModuleCreator* previous;
};

TEST_F(TransitionDrawTest, ShowTransitionAsksTheMaskAtItsProgress) {
    record.nSchedule[1] = 400;
    auto* obj = Make();
    ObjectPrefix p;
    p.x = 20;
    p.y = 20;
    p.width = 20;
    p.height = 10;
    // show part: move none, region none, mask = the test mask (no record of its own)
    RecordBytes show;
    const BYTE* g = reinterpret_cast<const BYTE*>(&kTestMaskClsid);
    show.Zeros(32).Bytes(std::vector<uint8_t>(g, g + 16));
    p.showTransition = show.bytes;
    CComPtr<ITeskStream> s = MemStreamOf(WriteObjectPrefix(p));
    ASSERT_EQ(obj->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    obj->color = RGB(255, 255, 255);

    site.clock = 0;
    obj->Enter();
    ASSERT_EQ(site.sequencer.clients.size(), 1u);
    site.clock = 200;
    site.sequencer.TickClients();

    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(64, 64));
    RECT all = {0, 0, 64, 64};
    target->FillRect(&all, 0);
    ASSERT_EQ(obj->Draw(target), S_OK);
    ASSERT_EQ(TestMask::asked.size(), 1u);
    EXPECT_DOUBLE_EQ(TestMask::asked[0], 0.5);
    EXPECT_EQ(TestMask::applied, 1);
    EXPECT_EQ(PixelAt(target, 20, 20), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(target, 5, 5), 0u);

    // Holding stops the show transition: the plain path again.
    site.sequencer.RunDue(400);
    EXPECT_EQ(obj->GetState(), RS_HOLDING);
    EXPECT_EQ(site.sequencer.clients.size(), 1u);  // the effect part, not the show transition
    obj->Draw(target);
    EXPECT_EQ(TestMask::asked.size(), 1u);
}

}  // namespace

namespace {

// {6A1F0C56-0B2E-4C7D-8E9F-1A2B3C4D5E6F}
const CLSID kTestRegionClsid = {
    0x6A1F0C56, 0x0B2E, 0x4C7D, {0x8E, 0x9F, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F}};

// A region plug-in that shows the left part of the rectangle in proportion
// to the progress.
class TestRegion : public CComObjectRootBase, public ITransitionRegion {
public:
    BEGIN_COM_MAP(TestRegion)
    COM_INTERFACE_ENTRY(ITransitionRegion)
    END_COM_MAP()
    STDMETHOD(GetClassID)(CLSID* clsid) override {
        *clsid = kTestRegionClsid;
        return S_OK;
    }
    STDMETHOD(Load)(ITeskStream*) override { return S_OK; }
    STDMETHOD(Save)(ITeskStream*) override { return S_OK; }
    STDMETHOD(GetRole)(ITransitionRegionRole**) override { return E_NOTIMPL; }
    STDMETHOD(BuildTiledRegion)(HRGN* out, double x, const RECT* rect, const RECT*) override {
        LONG right = rect->left + (LONG)((rect->right - rect->left) * x);
        *out = CreateRectRgn(rect->left, rect->top, right, rect->bottom);
        return S_OK;
    }
};

HRESULT CreateTestRegion(IUnknown** out) {
    return ComCreateInstance<TestRegion>(IID_IUnknown, reinterpret_cast<void**>(out));
}

TEST_F(TransitionDrawTest, RegionShowsItsPartOnly) {
    registry.DefModule(MODULE_PLUGIN, kTestRegionClsid, __uuidof(ITransitionRegion), 0, 0, 0, 0,
                       CreateTestRegion, 0, 0);
    creator.Init(&registry, nullptr);
    record.nSchedule[1] = 400;
    auto* obj = Make();
    ObjectPrefix p;
    p.x = 30;
    p.y = 20;
    p.width = 40;
    p.height = 10;
    // show part: move none, region = the test region, mask none
    RecordBytes show;
    const BYTE* g = reinterpret_cast<const BYTE*>(&kTestRegionClsid);
    show.Zeros(16).Bytes(std::vector<uint8_t>(g, g + 16)).Zeros(16);
    p.showTransition = show.bytes;
    CComPtr<ITeskStream> s = MemStreamOf(WriteObjectPrefix(p));
    ASSERT_EQ(obj->Load(s), S_OK);
    obj->color = RGB(255, 255, 255);
    obj->Enter();
    site.clock = 100;
    site.sequencer.TickClients();  // a quarter of the way

    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(64, 64));
    RECT all = {0, 0, 64, 64};
    target->FillRect(&all, RGB(0, 0, 64));
    ASSERT_EQ(obj->Draw(target), S_OK);
    // Bounds 10..50 x 15..25: the first 10 columns show the object.
    EXPECT_EQ(PixelAt(target, 10, 20), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(target, 19, 20), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(target, 20, 20), 0x000040u);
    EXPECT_EQ(PixelAt(target, 49, 24), 0x000040u);
}

}  // namespace
