#include <gtest/gtest.h>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "aGDIBuf.h"
#include "aToolTip.h"
#include "bFillShd.h"
#include "bdrawtxt.h"

namespace {

DWORD PixelAt(IPixelBuffer* buffer, int x, int y) {
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    buffer->GetBufferInfo(&info);
    return reinterpret_cast<const DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch)[x] &
           0x00FFFFFF;
}

using DrawTest = ObjectFixture;

TEST_F(DrawTest, AlphaPathBlendsAndAlphaZeroDrawsNothing) {
    auto* obj = Make();
    obj->SetWidth(20);
    obj->SetHeight(10);
    obj->MoveTo(20, 20);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(64, 64));
    ASSERT_NE(target, nullptr);
    RECT all = {0, 0, 64, 64};
    target->FillRect(&all, 0);
    obj->color = RGB(255, 255, 255);
    obj->SetAlpha(0);
    EXPECT_EQ(obj->Draw(target), S_OK);
    EXPECT_EQ(obj->draws, 0);
    EXPECT_EQ(PixelAt(target, 20, 20), 0u);
    obj->SetAlpha(128);
    EXPECT_EQ(obj->Draw(target), S_OK);
    DWORD inside = PixelAt(target, 20, 20);
    for (int shift : {0, 8, 16}) EXPECT_NEAR((int)((inside >> shift) & 0xFF), 128, 1);
    EXPECT_EQ(PixelAt(target, 5, 5), 0u);
    EXPECT_EQ(PixelAt(target, 30, 20), 0u);  // right edge is outside
    obj->SetAlpha(255);
    obj->Draw(target);
    EXPECT_EQ(PixelAt(target, 20, 20), 0xFFFFFFu);
}

TEST(ToolTipTest, LayoutAndDrawing) {
    IToolTipProp* props = nullptr;
    ASSERT_EQ(CreateToolTipProp(&props), S_OK);
    EXPECT_EQ(props->IsEnabled(), 1);
    EXPECT_EQ(props->HasBorder(), 0);
    EXPECT_EQ(props->GetShowDelay(), 500);
    EXPECT_EQ(props->GetHideDelay(), 5000);
    POINT p = {100, 10};
    props->AdjustPoint(&p);
    EXPECT_EQ(p.x, 116);
    EXPECT_EQ(p.y, 10);
    p = {100, 40};
    props->AdjustPoint(&p);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 24);
    ASSERT_NE(props->GetText(), nullptr);
    props->GetText()->SetText("Tip");
    props->LayoutAt({10, 10});
    RECT r;
    props->GetRect(&r);
    EXPECT_EQ(r.left, 26);
    EXPECT_EQ(r.top, 10);
    EXPECT_GT(r.right, r.left + 2);
    EXPECT_GT(r.bottom, r.top + 2);
    // Make it big enough to have fill pixels away from the text.
    r = {4, 4, 60, 40};
    props->SetRect(&r);
    props->SetEnabled(TRUE);
    props->SetShowDelay(0);
    props->SetBorderColor(RGB(0, 0, 255));

    TestPlayerSite site;
    IToolTipWnd* tip = nullptr;
    ASSERT_EQ(CreateToolTipWnd(&tip), S_OK);
    SetToolTipWndSite(tip, &site);
    tip->Begin(nullptr);
    EXPECT_EQ(tip->Update(props), S_OK);
    EXPECT_FALSE(site.invalidated.empty());
    // Hide delay: a hide entry at the clock plus 5000.
    ASSERT_EQ(site.sequencer.entries.size(), 1u);
    EXPECT_EQ(site.sequencer.entries[0].time, 5000u);
    EXPECT_EQ(site.sequencer.entries[0].entry.dwKind, 8192u);

    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(64, 64));
    RECT all = {0, 0, 64, 64};
    target->FillRect(&all, 0);
    tip->Draw(target);
    EXPECT_EQ(PixelAt(target, 4, 20), 0x0000FFu);  // border, 0x00RRGGBB
    EXPECT_EQ(PixelAt(target, 30, 4), 0x0000FFu);
    EXPECT_EQ(PixelAt(target, 56, 36), 0xFFFFC0u);  // fill 0xC0FFFF: red 255, green 255, blue 192
    EXPECT_EQ(PixelAt(target, 2, 2), 0u);

    // Saved and loaded through a stream, the record ends where it says.
    CComPtr<ITeskStream> s = NewMemStream();
    ASSERT_EQ(props->Save(s), S_OK);
    ULONGLONG size = s->GetSize();
    s->SetMode(0);
    s->Seek(0, TESK_SEEK_SET);
    IToolTipProp* copy = nullptr;
    CreateToolTipProp(&copy);
    EXPECT_EQ(copy->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), size);
    EXPECT_EQ(copy->IsEnabled(), 0);
    EXPECT_EQ(copy->GetBorderColor(), RGB(0, 0, 255));
    // A length past the stream is refused.
    RecordBytes bad;
    bad.U32(1).U32(0).U32(0).U32(0).U32(1000);
    CComPtr<ITeskStream> t = MemStreamOf(bad.bytes);
    EXPECT_EQ(copy->Load(t), E_FAIL);
    copy->Release();
    tip->Release();
    props->Release();
}

}  // namespace

namespace {

// The pointer over an object: its tooltip shows at once with a show delay of
// 0 and, with a hide delay of 0, stays until the pointer leaves.
TEST_F(DrawTest, PointerShowsAndHidesTheObjectsToolTip) {
    auto* obj = Make();
    CComPtr<IToolTipWnd> tip;
    ASSERT_EQ(CreateToolTipWnd(&tip), S_OK);
    SetToolTipWndSite(tip, &site);
    site.toolTip = tip;
    IToolTipProp* props = obj->ToolTip();
    props->GetText()->SetText("Hello");
    props->SetShowDelay(0);
    props->SetHideDelay(0);
    IObjectEvent* ev = static_cast<IObjectEvent*>(obj);

    // Disabled: the move does nothing visible.
    ev->FireEvent(EVT_MOUSEENTER, 0, 0, 0);
    ev->FireEvent(EVT_MOUSEMOVE, 0, (5 << 16) | 40, 0);
    EXPECT_TRUE(site.invalidated.empty());

    props->SetEnabled(TRUE);
    ev->FireEvent(EVT_MOUSEENTER, 0, 0, 0);
    ev->FireEvent(EVT_MOUSEMOVE, 0, (5 << 16) | 40, 0);
    ASSERT_FALSE(site.invalidated.empty());
    EXPECT_EQ(site.invalidated.back().left, 56);  // 16 right of a point near the top
    EXPECT_EQ(site.invalidated.back().top, 5);
    EXPECT_TRUE(site.sequencer.entries.empty());  // no hide entry
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(200, 100));
    RECT all = {0, 0, 200, 100};
    target->FillRect(&all, 0);
    tip->Draw(target);
    EXPECT_EQ(PixelAt(target, 56, 5), 0u);  // border colour 0
    EXPECT_EQ(PixelAt(target, 57, 6), 0xFFFFC0u);
    // The pointer leaves: hidden, its area redrawn.
    size_t before = site.invalidated.size();
    ev->FireEvent(EVT_MOUSELEAVE, 0, 0, 0);
    EXPECT_EQ(site.invalidated.size(), before + 1);
    target->FillRect(&all, 0);
    tip->Draw(target);
    EXPECT_EQ(PixelAt(target, 57, 6), 0u);
    // Procedure calls: MouseEnter twice and MouseLeave, no move events.
    std::vector<DISPID> ids;
    for (auto& c : procs.last->calls) ids.push_back(c.id);
    EXPECT_EQ(ids, (std::vector<DISPID>{1111, 1111, 1112}));
    site.toolTip = nullptr;
}

TEST_F(DrawTest, ExitDropsOnlyItsOwnToolTip) {
    auto* a = Make();
    auto* b = Make();
    CComPtr<IToolTipWnd> tip;
    CreateToolTipWnd(&tip);
    SetToolTipWndSite(tip, &site);
    a->ToolTip()->SetEnabled(TRUE);
    a->ToolTip()->SetShowDelay(0);
    a->ToolTip()->GetText()->SetText("A");
    tip->Begin(a->GetUnknown());
    tip->Update(a->ToolTip());
    size_t shown = site.invalidated.size();
    tip->Drop(b->GetUnknown());
    EXPECT_EQ(site.invalidated.size(), shown);
    tip->Drop(a->GetUnknown());
    EXPECT_EQ(site.invalidated.size(), shown + 1);
    // The hide entry of a hidden tooltip changes nothing.
    IObjectEvent* tipEvents = nullptr;
    tip->QueryInterface(__uuidof(IObjectEvent), reinterpret_cast<void**>(&tipEvents));
    ASSERT_NE(tipEvents, nullptr);
    tipEvents->Notify(8192, 0);
    EXPECT_EQ(site.invalidated.size(), shown + 1);
    tipEvents->Release();
}

}  // namespace

namespace {

// The alpha path (four pixels at a time, then the rest) against a plain
// blend on seeded random colours, alphas and widths.
TEST_F(DrawTest, AlphaPathMatchesPlainBlendOnRandomInputs) {
    auto* obj = Make();
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(40, 20));
    srand(77);
    for (int round = 0; round < 60; ++round) {
        int w = 1 + rand() % 13, h = 1 + rand() % 5, a = 1 + rand() % 254;
        COLORREF under = RGB(rand() % 256, rand() % 256, rand() % 256);
        COLORREF over = RGB(rand() % 256, rand() % 256, rand() % 256);
        RECT all = {0, 0, 40, 20};
        target->FillRect(&all, under);
        obj->SetWidth(w);
        obj->SetHeight(h);
        obj->MoveTo(5 + w / 2, 5 + h / 2);
        obj->SetAlpha(a);
        obj->color = over;
        ASSERT_EQ(obj->Draw(target), S_OK);
        RECT b;
        obj->GetBoundsRect(&b);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 40; ++x) {
                bool inside = x >= b.left && x < b.right && y >= b.top && y < b.bottom;
                DWORD got = PixelAt(target, x, y);
                for (int c = 0; c < 3; ++c) {
                    // COLORREF 0x00BBGGRR, pixels 0x00RRGGBB
                    int u = (under >> (8 * c)) & 0xFF, o = (over >> (8 * c)) & 0xFF;
                    int expect = inside ? (o * a + u * (255 - a) + 127) / 255 : u;
                    int have = (got >> (8 * (2 - c))) & 0xFF;
                    ASSERT_NEAR(have, expect, 2) << "round " << round << " at " << x << "," << y;
                }
            }
    }
}

}  // namespace
