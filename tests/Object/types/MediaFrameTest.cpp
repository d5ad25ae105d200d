#include <gtest/gtest.h>

#include <random>

#include "ObjectTestUtil.h"
#include "aGDIBuf.h"
#include "aMFrame.h"
#include "bFillShd.h"

namespace {

DWORD FramePixel(IPixelBuffer* buffer, int x, int y) {
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    buffer->GetBufferInfo(&info);
    return reinterpret_cast<const DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch)[x] &
           0x00FFFFFF;
}

CComPtr<IMediaFrame> NewFrame() {
    CComPtr<IMediaFrame> frame;
    EXPECT_EQ(CreateMediaFrame(&frame), S_OK);
    return frame;
}

std::vector<uint8_t> SavedBytes(IMediaFrame* frame) {
    CComPtr<ITeskStream> s = NewMemStream();
    EXPECT_EQ(frame->Save(s), S_OK);
    std::vector<uint8_t> bytes((size_t)s->GetPosition());
    s->SetMode(0);
    s->Seek(0, TESK_SEEK_SET);
    s->Read(bytes.data(), (ULONG)bytes.size());
    return bytes;
}

TEST(MediaFrame, NewFrameHasAnOutlineOnly) {
    auto frame = NewFrame();
    ASSERT_NE(frame, nullptr);
    WORD t = 0;
    EXPECT_EQ(frame->GetThickness(&t), S_OK);
    EXPECT_EQ(t, 1);
    RECT r = {0, 0, 100, 50}, in;
    EXPECT_EQ(frame->GetInnerRect(&r, &in), 0);
    EXPECT_EQ(in.left, 1);
    EXPECT_EQ(in.top, 1);
    EXPECT_EQ(in.right, 99);
    EXPECT_EQ(in.bottom, 49);
    EXPECT_EQ(frame->IsHidden(), 0);
    COLORREF c = 1;
    frame->GetOutlineColor(&c);
    EXPECT_EQ(c, 0u);
    CComPtr<FillObject> fill;
    ASSERT_EQ(frame->GetFill(&fill), S_OK);
    int mode = -1;
    fill->GetMode(&mode);
    EXPECT_EQ(mode, FILLMODE_NONE);
    // Other interfaces are refused.
    CComPtr<IUnknown> unknown;
    EXPECT_EQ(frame->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(frame->QueryInterface(__uuidof(II_IRender), &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
}

TEST(MediaFrame, WideFrameShrinksByHalfTheSmallerSide) {
    auto frame = NewFrame();
    ASSERT_EQ(frame->SetWidth(MFPART_OUTER, 10), S_OK);
    RECT r = {0, 0, 100, 12}, in;
    EXPECT_EQ(frame->GetInnerRect(&r, &in), 1);
    EXPECT_EQ(in.left, 6);
    EXPECT_EQ(in.top, 6);
    EXPECT_EQ(in.right, 94);
    EXPECT_EQ(in.bottom, 6);
    // A hidden frame leaves the rectangle.
    frame->SetShown(FALSE);
    EXPECT_EQ(frame->IsHidden(), 1);
    EXPECT_EQ(frame->GetInnerRect(&r, &in), 0);
    EXPECT_TRUE(EqualRect(&r, &in));
}

TEST(MediaFrame, PartsAndShades) {
    auto frame = NewFrame();
    EXPECT_EQ(frame->SetWidth(3, 1), E_FAIL);
    WORD w;
    EXPECT_EQ(frame->GetWidth(-1, &w), E_FAIL);
    frame->SetWidth(MFPART_MIDDLE, 4);
    frame->SetWidth(MFPART_INNER, 2);
    EXPECT_EQ(frame->GetWidth(MFPART_MIDDLE, &w), S_OK);
    EXPECT_EQ(w, 4);
    WORD t;
    frame->GetThickness(&t);
    EXPECT_EQ(t, 7);

    COLORREF c = 0;
    EXPECT_EQ(frame->SetColor(MFPART_MIDDLE, 0, 0x123456), E_INVALIDARG);
    EXPECT_EQ(frame->GetColor(MFPART_MIDDLE, 0, &c), S_OK);
    EXPECT_EQ(c, 0xBFBFBFu);
    EXPECT_EQ(frame->SetColor(MFPART_MIDDLE, 2, 0x123456), S_OK);
    for (int shade = 0; shade < 3; ++shade) {
        EXPECT_EQ(frame->GetColor(MFPART_MIDDLE, shade, &c), S_OK);
        EXPECT_EQ(c, 0x123456u);
    }
    EXPECT_EQ(frame->SetColor(MFPART_OUTER, 2, 0x010203), S_OK);
    frame->GetColor(MFPART_OUTER, 0, &c);
    EXPECT_EQ(c, 0x010203u);
    frame->GetColor(MFPART_OUTER, 1, &c);
    EXPECT_EQ(c, 0x010203u);
    EXPECT_EQ(frame->GetColor(MFPART_OUTER, 2, &c), E_INVALIDARG);
    EXPECT_EQ(frame->SetColor(MFPART_INNER, 1, 0x0A0B0C), S_OK);
    frame->GetColor(MFPART_INNER, 0, &c);
    EXPECT_EQ(c, 0x7F7F7Fu);
    frame->GetColor(MFPART_INNER, 1, &c);
    EXPECT_EQ(c, 0x0A0B0Cu);
    EXPECT_EQ(frame->SetColor(3, 0, 0), E_INVALIDARG);
    EXPECT_EQ(frame->SetColor(0, 3, 0), E_INVALIDARG);
}

TEST(MediaFrame, DrawsOutlineAndBevel) {
    auto frame = NewFrame();
    frame->SetOutlineColor(0x0000FF);
    frame->SetWidth(MFPART_OUTER, 2);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(20, 10));
    ASSERT_NE(target, nullptr);
    target->FillRect(nullptr, 0x00563412);  // COLORREF: pixel 0x123456
    RECT r = {0, 0, 20, 10};
    EXPECT_EQ(frame->Draw(target, &r, &r, nullptr), S_OK);
    EXPECT_EQ(FramePixel(target, 0, 0), 0xFF0000u);  // COLORREF red is 0xFF0000 here
    EXPECT_EQ(FramePixel(target, 19, 9), 0xFF0000u);
    EXPECT_EQ(FramePixel(target, 10, 1), 0xFFFFFFu);
    EXPECT_EQ(FramePixel(target, 10, 2), 0xFFFFFFu);
    EXPECT_EQ(FramePixel(target, 1, 5), 0xFFFFFFu);
    EXPECT_EQ(FramePixel(target, 10, 8), 0x7F7F7Fu);
    EXPECT_EQ(FramePixel(target, 18, 5), 0x7F7F7Fu);
    // Inside the bands: the fill is off, the target shows through.
    EXPECT_EQ(FramePixel(target, 10, 5), 0x123456u);
}

// Pages draw into buffers whose origin is not (0, 0): the outline, the
// bands and the fill must all land on the same logical rectangle.
TEST(MediaFrame, DrawsAtTheBufferOrigin) {
    auto frame = NewFrame();
    frame->SetOutlineColor(0x0000FF);
    frame->SetWidth(MFPART_OUTER, 2);
    CComObject<CGDIBitmapBuffer>* page = nullptr;
    ASSERT_EQ(CComObject<CGDIBitmapBuffer>::CreateInstance(&page), S_OK);
    CComPtr<IPixelBuffer> target(page);
    ASSERT_EQ(page->Create(40, 30), S_OK);
    target->FillRect(nullptr, 0x00563412);
    target->SetOrigin(-10, -5);  // logical (-10, -5) is buffer (0, 0)
    RECT r = {0, 0, 20, 10};     // buffer (10, 5) to (30, 15)
    EXPECT_EQ(frame->Draw(target, &r, &r, nullptr), S_OK);
    EXPECT_EQ(FramePixel(target, 10, 5), 0xFF0000u);
    EXPECT_EQ(FramePixel(target, 29, 14), 0xFF0000u);
    EXPECT_EQ(FramePixel(target, 20, 6), 0xFFFFFFu);
    EXPECT_EQ(FramePixel(target, 20, 13), 0x7F7F7Fu);
    EXPECT_EQ(FramePixel(target, 0, 0), 0x123456u);
    EXPECT_EQ(FramePixel(target, 9, 4), 0x123456u);
    EXPECT_EQ(FramePixel(target, 30, 15), 0x123456u);
}

TEST(MediaFrame, HiddenFrameStillPaintsItsFill) {
    auto frame = NewFrame();
    frame->SetShown(FALSE);
    CComPtr<FillObject> fill;
    frame->GetFill(&fill);
    fill->SetMode(FILLMODE_FILL);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(20, 10));
    target->FillRect(nullptr, 0);
    RECT r = {0, 0, 20, 10};
    frame->Draw(target, &r, &r, nullptr);
    // Fill colour COLORREF 0xD2FFFF: red FF, green FF, blue D2.
    EXPECT_EQ(FramePixel(target, 0, 0), 0xFFFFD2u);
    EXPECT_EQ(FramePixel(target, 19, 9), 0xFFFFD2u);
}

TEST(MediaFrame, RecordRoundTripCarriesTheUpperFlagBits) {
    // flags 0x00070001 (upper half 7, outline on, hidden), outline 0x0000FF,
    // the five colours, widths 3, 65536 + 2 (low half kept), 1.
    std::vector<uint8_t> head = {
        0x01, 0x00, 0x07, 0x00,  // flag word; upper 16 bits carried
        0xFF, 0x00, 0x00, 0x00,  // outline colour
        0x01, 0x00, 0x00, 0x00,  // outer light
        0x02, 0x00, 0x00, 0x00,  // outer dark
        0x03, 0x00, 0x00, 0x00,  // middle
        0x04, 0x00, 0x00, 0x00,  // inner first
        0x05, 0x00, 0x00, 0x00,  // inner second
        0x03, 0x00, 0x00, 0x00,  // outer width
        0x02, 0x00, 0x01, 0x00,  // middle width: low 16 bits kept
        0x01, 0x00, 0x00, 0x00,  // inner width
    };
    std::vector<uint8_t> fillRecord = SavedBytes(NewFrame());
    fillRecord.erase(fillRecord.begin(), fillRecord.begin() + MEDIAFRAME_RECORD_SIZE);
    std::vector<uint8_t> bytes = head;
    bytes.insert(bytes.end(), fillRecord.begin(), fillRecord.end());

    auto frame = NewFrame();
    ASSERT_EQ(frame->Load(MemStreamOf(bytes)), S_OK);
    EXPECT_EQ(frame->IsHidden(), 1);
    WORD w;
    frame->GetWidth(MFPART_MIDDLE, &w);
    EXPECT_EQ(w, 2);
    std::vector<uint8_t> again = SavedBytes(frame);
    ASSERT_EQ(again.size(), bytes.size());
    bytes[34] = 0;  // the middle width is written zero-extended
    EXPECT_EQ(again, bytes);
}

TEST(MediaFrame, TruncatedAndCorruptedRecords) {
    auto source = NewFrame();
    source->SetWidth(MFPART_INNER, 5);
    std::vector<uint8_t> bytes = SavedBytes(source);
    for (size_t n = 0; n < bytes.size(); ++n) {
        auto frame = NewFrame();
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
        CComPtr<ITeskStream> s = MemStreamOf(cut);
        EXPECT_NE(frame->Load(s), S_OK) << n;
        EXPECT_LE(s->GetPosition(), n);
        if (n < MEDIAFRAME_RECORD_SIZE) {
            WORD t;
            frame->GetThickness(&t);
            EXPECT_EQ(t, 1) << "nothing taken from a short head";
        }
    }
    std::mt19937 random(16);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> bad = bytes;
        for (int k = 0; k < 4; ++k) bad[random() % bad.size()] = (uint8_t)random();
        auto frame = NewFrame();
        CComPtr<ITeskStream> s = MemStreamOf(bad);
        frame->Load(s);
        EXPECT_LE(s->GetPosition(), bad.size());
        RECT r = {0, 0, 30, 30}, in;
        frame->GetInnerRect(&r, &in);
        EXPECT_LE(in.left, in.right + 1);
    }
}

TEST(MediaFrame, AlternativeRecordInTwips) {
    const struct {
        LONG twips;
        WORD pixels;
    } cases[] = {{1, 1}, {15, 1}, {16, 2}, {0, 0}, {30, 2}};
    for (const auto& c : cases) {
        std::vector<uint8_t> rec(MEDIAFRAME_ALT_RECORD_SIZE, 0);
        rec[0] = 0x10 | 0x04 | 0x01;   // shown, filled, outline; bit 3 clear
        memcpy(&rec[2], &c.twips, 4);  // outer width
        LONG inner = 45, middle = 15;
        memcpy(&rec[6], &inner, 4);    // inner width
        memcpy(&rec[10], &middle, 4);  // middle width
        COLORREF color = 0x00C08040;
        memcpy(&rec[14], &color, 4);  // fill colour; 16 bytes ignored follow
        auto frame = NewFrame();
        frame->SetOutlineColor(0x0A0B0C);
        ASSERT_EQ(frame->LoadAlternative(MemStreamOf(rec)), S_OK);
        WORD w;
        frame->GetWidth(MFPART_OUTER, &w);
        EXPECT_EQ(w, c.pixels) << c.twips;
        frame->GetWidth(MFPART_INNER, &w);
        EXPECT_EQ(w, 3);
        frame->GetWidth(MFPART_MIDDLE, &w);
        EXPECT_EQ(w, 1);
        COLORREF got;
        frame->GetOutlineColor(&got);
        EXPECT_EQ(got, 0x0A0B0Cu);
        frame->GetColor(MFPART_OUTER, 1, &got);
        EXPECT_EQ(got, 0x808080u);
        frame->GetColor(MFPART_MIDDLE, 0, &got);
        EXPECT_EQ(got, 0xC0C0C0u);
        CComPtr<FillObject> fill;
        frame->GetFill(&fill);
        int mode = -1;
        fill->GetMode(&mode);
        EXPECT_EQ(mode, FILLMODE_FILL);
    }
    // Not shown: the fill stays off; a short record is refused.
    std::vector<uint8_t> rec(MEDIAFRAME_ALT_RECORD_SIZE, 0);
    rec[0] = 0x04;
    auto frame = NewFrame();
    ASSERT_EQ(frame->LoadAlternative(MemStreamOf(rec)), S_OK);
    EXPECT_EQ(frame->IsHidden(), 1);
    rec.resize(MEDIAFRAME_ALT_RECORD_SIZE - 1);
    EXPECT_EQ(frame->LoadAlternative(MemStreamOf(rec)), E_FAIL);
}

TEST(MediaFrame, AlternativeRecordMarksAnUnsetBitThreeInTheFillFlags) {
    const struct {
        WORD v;
        BYTE flagByte;  // the fill record's second byte after Save
        int mode;
    } cases[] = {
        {0x15, 0x80, FILLMODE_FILL},  // shown, filled, outline; bit 3 clear
        {0x1D, 0x00, FILLMODE_FILL},  // bit 3 set: the flag byte stays
        {0x04, 0x80, FILLMODE_NONE},  // hidden: no fill, still marked
        {0x0C, 0x00, FILLMODE_NONE},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> rec(MEDIAFRAME_ALT_RECORD_SIZE, 0);
        memcpy(&rec[0], &c.v, 2);     // flags; the widths stay 0
        COLORREF color = 0x00336699;  // fill colour at byte 14
        memcpy(&rec[14], &color, 4);
        auto frame = NewFrame();
        ASSERT_EQ(frame->LoadAlternative(MemStreamOf(rec)), S_OK);
        // Frame record, then the fill's: alpha, flag byte, two reserved bytes.
        std::vector<uint8_t> saved = SavedBytes(frame);
        ASSERT_GT(saved.size(), (size_t)MEDIAFRAME_RECORD_SIZE + 4);
        EXPECT_EQ(saved[MEDIAFRAME_RECORD_SIZE], 0xFF) << c.v;
        EXPECT_EQ(saved[MEDIAFRAME_RECORD_SIZE + 1], c.flagByte) << c.v;
        CComPtr<FillObject> fill;
        frame->GetFill(&fill);
        int mode = -1;
        fill->GetMode(&mode);
        EXPECT_EQ(mode, c.mode) << c.v;
        // The mark survives the frame's own record.
        auto again = NewFrame();
        ASSERT_EQ(again->Load(MemStreamOf(saved)), S_OK);
        EXPECT_EQ(SavedBytes(again), saved) << c.v;
        if (c.mode == FILLMODE_FILL) {
            CComPtr<IPixelBuffer> target;
            target.Attach(CreateGDIBuffer(20, 10));
            RECT r = {0, 0, 20, 10};
            again->Draw(target, &r, &r, nullptr);
            EXPECT_EQ(FramePixel(target, 10, 5), 0x996633u) << c.v;
        }
    }
    // Every cut copy is refused before anything is taken from it.
    std::vector<uint8_t> rec(MEDIAFRAME_ALT_RECORD_SIZE, 0xFF);
    for (size_t n = 0; n < rec.size(); ++n) {
        auto frame = NewFrame();
        CComPtr<ITeskStream> s = MemStreamOf(std::vector<uint8_t>(rec.begin(), rec.begin() + n));
        EXPECT_EQ(frame->LoadAlternative(s), E_FAIL) << n;
        EXPECT_LE(s->GetPosition(), n);
        EXPECT_EQ(SavedBytes(frame), SavedBytes(NewFrame())) << n;
    }
}

TEST(MediaFrame, CopyTakesEverything) {
    auto a = NewFrame(), b = NewFrame();
    a->SetWidth(MFPART_OUTER, 4);
    a->SetColor(MFPART_INNER, 2, 0x112233);
    a->SetOutline(FALSE);
    a->SetOutlineColor(0x445566);
    ASSERT_EQ(b->CopyFrom(a), S_OK);
    EXPECT_EQ(SavedBytes(a), SavedBytes(b));
}

using MediaFrameOwnerTest = ObjectFixture;

TEST_F(MediaFrameOwnerTest, ChangesInvalidateTheOwner) {
    auto* obj = Make();
    ASSERT_NE(obj, nullptr);
    obj->SetWidth(40);
    obj->SetHeight(20);
    obj->MoveTo(50, 50);
    auto frame = NewFrame();
    frame->SetOwner(static_cast<II_IRender*>(obj));
    II_IRender* owner = nullptr;
    frame->GetOwner(&owner);
    EXPECT_EQ(owner, static_cast<II_IRender*>(obj));
    size_t before = site.invalidated.size();
    frame->SetOutlineColor(0x00FF00);
    EXPECT_GT(site.invalidated.size(), before);
    before = site.invalidated.size();
    frame->SetWidth(MFPART_OUTER, 3);
    EXPECT_GT(site.invalidated.size(), before);
    frame->SetOwner(nullptr);
}

}  // namespace
