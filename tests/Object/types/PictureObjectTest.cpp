#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <random>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "PictureFixtures.h"
#include "PrjTestDoc.h"
#include "ProjectWriter.h"
#include "ServiceFakes.h"
#include "TestFiles.h"
#include "aGDIBuf.h"
#include "aMediaMgr.h"
#include "aPackage.h"
#include "aPicObj.h"
#include "aPrjDoc.h"
#include "aProject.h"

namespace {

// A media manager that knows the type and default extension of its
// embedded items: every one is a PNG picture (type 1000, subtype 1018).
class PictureMediaManager : public FakeMediaManager {
public:
    STDMETHOD(GetMediaType)(const char* name, int* type, int* subtype) override {
        calls.push_back(std::string("type ") + name);
        if (!Knows(name))
            return E_FAIL;
        *type = 1000;
        *subtype = 1018;
        return S_OK;
    }
    STDMETHOD(GetDefaultExtension)(const char* name, char* buffer, int length) override {
        if (!Knows(name) || length < 5)
            return E_FAIL;
        strcpy(buffer, ".png");
        return S_OK;
    }
    bool Knows(const char* name) const {
        for (const auto& item : embedded)
            if (lstrcmpiA(item.first.c_str(), name) == 0)
                return true;
        return false;
    }
};

// Pixel (x, y) of the test pictures: red x, green y (low bytes), blue the
// high bits of both.
DWORD PicturePixel(int x, int y) {
    return ((DWORD)(x & 0xFF) << 16) | ((DWORD)(y & 0xFF) << 8) | (DWORD)((x >> 8) * 16 + (y >> 8));
}

std::string PngOf(int w, int h) {
    picfix::PngSpec spec;
    spec.width = w;
    spec.height = h;
    spec.colourType = 2;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            DWORD p = PicturePixel(x, y);
            spec.rows.push_back((uint8_t)(p >> 16));
            spec.rows.push_back((uint8_t)(p >> 8));
            spec.rows.push_back((uint8_t)p);
        }
    picfix::Bytes png = picfix::WritePng(spec);
    return std::string(png.begin(), png.end());
}

DWORD PixelOf(IPixelBuffer* buffer, int x, int y) {
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    buffer->GetBufferInfo(&info);
    return reinterpret_cast<const DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch)[x] &
           0x00FFFFFF;
}

class PictureObjectTest : public ObjectFixture {
protected:
    PictureObjectTest() {
        codecs.Init(nullptr);
        site.codecs = &codecs;
        site.media = static_cast<IMediaManager*>(&media);
        media.embedded["Photo"] = PngOf(64, 48);
        media.embedded["Big"] = PngOf(300, 300);
    }
    PictureObject* MakePicture() { return MakeBuiltin<PictureObject>(CreatePictureObject); }
    static HRESULT SetName(PictureObject* p, const wchar_t* name) {
        BSTR b = SysAllocString(name);
        HRESULT hr = p->put_ObjMediaName(b);
        SysFreeString(b);
        return hr;
    }
    PictureCodecManager codecs;
    PictureMediaManager media;
};

TEST_F(PictureObjectTest, MediaNameSizesTheObjectToThePicture) {
    PictureObject* p = MakePicture();
    ASSERT_NE(p, nullptr);
    p->MoveTo(100, 100);
    ASSERT_EQ(SetName(p, L"Photo"), S_OK);
    EXPECT_EQ(p->GetWidth(), 66);
    EXPECT_EQ(p->GetHeight(), 50);
    LONG v = 0;
    p->get_ObjMediaWidth(&v);
    EXPECT_EQ(v, 64);
    p->get_ObjMediaHeight(&v);
    EXPECT_EQ(v, 48);
    BSTR name = nullptr;
    ASSERT_EQ(p->get_ObjMediaName(&name), S_OK);
    EXPECT_STREQ(name, L"Photo");
    SysFreeString(name);

    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(200, 200));
    target->FillRect(nullptr, 0x00EFCDAB);  // COLORREF
    RECT bounds;
    p->GetBoundsRect(&bounds);
    ASSERT_EQ(p->DrawContent(target, &bounds), S_OK);
    // The picture 1:1 inside the one-pixel outline.
    for (int y = 0; y < 48; y += 7)
        for (int x = 0; x < 64; x += 9)
            ASSERT_EQ(PixelOf(target, bounds.left + 1 + x, bounds.top + 1 + y), PicturePixel(x, y))
                << x << "," << y;
    EXPECT_EQ(PixelOf(target, bounds.left, bounds.top), 0u);  // the black outline
    EXPECT_EQ(PixelOf(target, bounds.left - 1, bounds.top), 0xABCDEFu);

    // The same name in other letters changes nothing and asks nobody.
    media.calls.clear();
    EXPECT_EQ(SetName(p, L"PHOTO"), S_OK);
    EXPECT_TRUE(media.calls.empty());
    EXPECT_NE(p->PictureBuffer(), nullptr);
}

TEST_F(PictureObjectTest, UnknownMediumLogsAndFails) {
    PictureObject* p = MakePicture();
    EXPECT_TRUE(FAILED(SetName(p, L"Missing")));
    EXPECT_EQ(p->PictureBuffer(), nullptr);
}

TEST_F(PictureObjectTest, ZoomAboutAPointKeepsThePictureUnderIt) {
    PictureObject* p = MakePicture();
    p->MoveTo(100, 100);
    ASSERT_EQ(SetName(p, L"Photo"), S_OK);
    RECT before;
    p->GetBoundsRect(&before);
    const LONG x = before.left + 21, y = before.top + 13;
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(400, 400));
    p->DrawContent(target, &before);
    DWORD under = PixelOf(target, x, y);
    EXPECT_EQ(under, PicturePixel(20, 12));

    ASSERT_EQ(p->MultipleObj(200, x, y), S_OK);
    EXPECT_EQ(p->GetWidth(), 130);
    EXPECT_EQ(p->GetHeight(), 98);
    RECT after;
    p->GetBoundsRect(&after);
    target->FillRect(nullptr, 0);
    p->DrawContent(target, &after);
    EXPECT_EQ(PixelOf(target, x, y), under);
    EXPECT_EQ(p->MultipleObj(0, 0, 0), E_INVALIDARG);
    EXPECT_EQ(p->MultipleObj(100001, 0, 0), E_INVALIDARG);
    EXPECT_EQ(p->put_ObjMuti(0), E_INVALIDARG);
}

TEST_F(PictureObjectTest, RatioWithoutAutoZoomReadsAWindow) {
    PictureObject* p = MakePicture();
    ASSERT_EQ(SetName(p, L"Big"), S_OK);
    ASSERT_EQ(p->put_ObjAutoZoom(0), S_OK);
    LONG ratio = 0;
    p->get_ObjMuti(&ratio);
    EXPECT_EQ(ratio, 101);  // the mean of the two scales of 302 x 302 over 300 x 300, rounded
    ASSERT_EQ(p->put_ObjMuti(50), S_OK);
    p->put_ObjClipLeft(10);
    p->put_ObjClipTop(20);
    RECT inner = {0, 0, 100, 100}, src, dest;
    ASSERT_TRUE(p->ZoomWindow(inner, &src, &dest));
    EXPECT_EQ(src.left, 10);
    EXPECT_EQ(src.top, 20);
    EXPECT_EQ(src.right - src.left, 200);
    EXPECT_EQ(src.bottom - src.top, 200);
    EXPECT_TRUE(EqualRect(&dest, &inner));
    // Near the right edge the window and the drawn part shrink.
    p->put_ObjClipLeft(200);
    ASSERT_TRUE(p->ZoomWindow(inner, &src, &dest));
    EXPECT_EQ(src.right, 300);
    EXPECT_EQ(dest.right, 50);
    EXPECT_EQ(dest.bottom, 100);
    p->put_ObjClipLeft(300);
    EXPECT_FALSE(p->ZoomWindow(inner, &src, &dest));

    // Drawn: every second source pixel.
    p->put_ObjClipLeft(10);
    p->SetWidth(102);
    p->SetHeight(102);
    p->MoveTo(60, 60);
    RECT bounds;
    p->GetBoundsRect(&bounds);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(200, 200));
    p->DrawContent(target, &bounds);
    EXPECT_EQ(PixelOf(target, bounds.left + 1, bounds.top + 1), PicturePixel(10, 20));
    EXPECT_EQ(PixelOf(target, bounds.left + 1 + 40, bounds.top + 1 + 30), PicturePixel(90, 80));
}

TEST(PictureKeyRange, ModesKeyTheirRanges) {
    const struct {
        LONG mode;
        COLORREF start, end;
        LONG tolerance;
        bool keyed;
        DWORD low, high;
    } cases[] = {
        {PICKEY_NONE, 0x123456, 0, 0, false, 0, 0},
        {PICKEY_COLOR, 0x0000FF, 0, 50, true, 0xFF0000, 0xFF0000},
        {PICKEY_RANGE, 0x000010, 0x000001, 0, true, 0x010000, 0x100000},
        {PICKEY_RANGE, 0x000001, 0x000010, 0, true, 0x010000, 0x100000},
        // Start COLORREF 0x000080FF, tolerance 10: red 230-255, green
        // 103-153, blue 0-25.
        {PICKEY_TOLERANCE, 0x000080FF, 0, 10, true, 0xE66700, 0xFF9919},
        {PICKEY_TOLERANCE, 0x00808080, 0, 0, true, 0x808080, 0x808080},
        {PICKEY_TOLERANCE, 0x00808080, 0, 100, true, 0x000000, 0xFFFFFF},
        {4, 0x123456, 0, 0, false, 0, 0},
    };
    for (const auto& c : cases) {
        DWORD low = 1, high = 1;
        EXPECT_EQ(PictureKeyRange(c.mode, c.start, c.end, c.tolerance, &low, &high), c.keyed);
        if (c.keyed) {
            EXPECT_EQ(low, c.low) << c.mode;
            EXPECT_EQ(high, c.high) << c.mode;
        }
    }
}

TEST_F(PictureObjectTest, TransparencyKeysTheBuffer) {
    PictureObject* p = MakePicture();
    ASSERT_EQ(SetName(p, L"Photo"), S_OK);
    EXPECT_EQ(p->put_ObjColorKey(4), E_INVALIDARG);
    EXPECT_EQ(p->put_ObjColorKey(-1), E_INVALIDARG);
    p->put_ObjStartColor(0x000080FF);
    p->put_ObjColorKeyRange(10);
    ASSERT_EQ(p->put_ObjColorKey(PICKEY_TOLERANCE), S_OK);
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    p->PictureBuffer()->GetBufferInfo(&info);
    EXPECT_EQ(info.dwKeyLow, 0xE66700u);
    EXPECT_EQ(info.dwKeyHigh, 0xFF9919u);
    LONG mode = -1;
    p->get_ObjColorKey(&mode);
    EXPECT_EQ(mode, PICKEY_TOLERANCE);
}

TEST_F(PictureObjectTest, EventSinkRowsFollowTheWindow) {
    PictureObject* p = MakePicture();
    ASSERT_EQ(SetName(p, L"Big"), S_OK);
    LONG rows = 0;
    p->GetRowCount(&rows);
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(p->IsBadRow(0), 1);  // auto zoom on
    p->put_ObjAutoZoom(0);
    EXPECT_EQ(p->IsBadRow(0), 0);
    p->SetWidth(102);
    p->put_ObjMuti(50);
    LONG v = 0;
    p->GetRowPageStep(PICROW_WIDTH, &v);
    EXPECT_EQ(v, 204);
    p->GetRowMaximum(PICROW_WIDTH, &v);
    EXPECT_EQ(v, 300 - 204);
    p->SetRowValue(PICROW_WIDTH, 33);
    p->get_ObjClipLeft(&v);
    EXPECT_EQ(v, 33);
    p->put_ObjClipTop(-5);
    p->GetRowValue(PICROW_HEIGHT, &v);
    EXPECT_EQ(v, 0);
}

std::vector<uint8_t> PictureStream(const PictureRecord& rec) {
    ObjectPrefix prefix;
    std::vector<uint8_t> bytes = WriteObjectPrefix(prefix);
    std::vector<uint8_t> own = WritePictureRecord(rec);
    bytes.insert(bytes.end(), own.begin(), own.end());
    return bytes;
}

TEST_F(PictureObjectTest, RecordAndItsVersionOneConversion) {
    const struct {
        int version;
        uint32_t flags;
        int32_t tolerance;
        LONG mode;
        uint32_t flagsAfter;
    } cases[] = {
        {3, 0x14, 10, 1, 0x14},  // current records keep their mode
        {1, 0x1D, 10, 3, 0x34},  // old mode 1 with a tolerance: 3; bits 0 and 3 cleared
        {1, 0x14, 0, 1, 0x14},   // old mode 1 without: 1
        {0, 0x34, 0, 2, 0x24},   // old mode 3: 2
        {1, 0x24, 5, 0, 0x04},   // old mode 2: none
    };
    for (const auto& c : cases) {
        PictureObject* p = MakePicture();
        PictureRecord rec;
        rec.flags = c.flags;
        rec.name = L"Photo";
        rec.mediaWidth = 64;
        rec.mediaHeight = 48;
        rec.ratio = 150;
        rec.clipLeft = 3;
        rec.clipTop = 4;
        rec.startColor = 0x010203;
        rec.tolerance = c.tolerance;
        CComPtr<ITeskStream> s = MemStreamOf(PictureStream(rec));
        s->SetVersion(c.version);
        ASSERT_EQ(static_cast<IObjectBase*>(p)->Load(s), S_OK);
        EXPECT_EQ(s->GetPosition(), s->GetSize());
        LONG v = -1;
        p->get_ObjColorKey(&v);
        EXPECT_EQ(v, c.mode) << c.version << " " << c.flags;
        p->get_ObjAutoZoom(&v);
        EXPECT_EQ(v, 1);
        p->get_ObjMuti(&v);
        EXPECT_EQ(v, 150);
        p->get_ObjClipTop(&v);
        EXPECT_EQ(v, 4);
        p->get_ObjStartColor(&v);
        EXPECT_EQ(v, 0x010203);
        EXPECT_STREQ(p->MediaName(), "Photo");
        EXPECT_EQ(p->PictureBuffer(), nullptr);  // loaded on entering
    }
}

TEST_F(PictureObjectTest, RatioOfZeroOrBelowIsTakenAsHundred) {
    for (int32_t ratio : {0, -7}) {
        PictureObject* p = MakePicture();
        PictureRecord rec;
        rec.ratio = ratio;
        ASSERT_EQ(static_cast<IObjectBase*>(p)->Load(MemStreamOf(PictureStream(rec))), S_OK);
        LONG v = 0;
        p->get_ObjMuti(&v);
        EXPECT_EQ(v, 100);
    }
}

TEST_F(PictureObjectTest, TruncatedAndCorruptedRecords) {
    PictureRecord rec;
    rec.name = L"Photo";
    std::vector<uint8_t> bytes = PictureStream(rec);
    size_t prefix = WriteObjectPrefix(ObjectPrefix()).size();
    for (size_t n = prefix; n < bytes.size(); ++n) {
        PictureObject* p = MakePicture();
        CComPtr<ITeskStream> s =
            MemStreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_NE(static_cast<IObjectBase*>(p)->Load(s), S_OK) << n;
        EXPECT_LE(s->GetPosition(), n);
    }
    std::mt19937 random(112);
    for (int round = 0; round < 100; ++round) {
        std::vector<uint8_t> bad = bytes;
        for (int k = 0; k < 3; ++k) {
            size_t at = prefix + random() % (bad.size() - prefix);
            bad[at] = (uint8_t)random();
        }
        PictureObject* p = MakePicture();
        CComPtr<ITeskStream> s = MemStreamOf(bad);
        static_cast<IObjectBase*>(p)->Load(s);
        EXPECT_LE(s->GetPosition(), bad.size());
        LONG v = 0;
        p->get_ObjMuti(&v);
        EXPECT_GT(v, 0);
    }
}

TEST_F(PictureObjectTest, EnteringLoadsTheNamedPicture) {
    PictureObject* p = MakePicture();
    PictureRecord rec;
    rec.name = L"Photo";
    ASSERT_EQ(static_cast<IObjectBase*>(p)->Load(MemStreamOf(PictureStream(rec))), S_OK);
    EXPECT_EQ(p->PictureBuffer(), nullptr);
    static_cast<IObjectBase*>(p)->Enter();
    EXPECT_NE(p->PictureBuffer(), nullptr);
}

TEST_F(PictureObjectTest, DatabaseRefreshFailingDropsThePictureAndUnbindingBringsTheNamedOneBack) {
    FakeDBCore core;
    site.database = &core;
    // A linked medium: the field's block is the item's name alone.
    core.fields["Pics.Image"].bytes = {'B', 'i', 'g', 0};
    core.fields["Pics.Image"].linkFlag = 1;
    PictureObject* p = MakePicture();
    ASSERT_EQ(SetName(p, L"Photo"), S_OK);

    BSTR table = SysAllocString(L"Pics"), field = SysAllocString(L"Image");
    EXPECT_EQ(p->BindToDatabase(table, field, 0), S_OK);
    SysFreeString(table);
    SysFreeString(field);
    ASSERT_EQ(core.asked.size(), 1u);
    LONG v = 0;
    p->get_ObjMediaWidth(&v);
    EXPECT_EQ(v, 300);
    ASSERT_NE(p->PictureBuffer(), nullptr);

    // A refused value while linked: no picture is left.
    core.fields["Pics.Image"].vt = VT_BSTR;
    size_t invalidated = site.invalidated.size();
    EXPECT_EQ(p->SetRecordPos(4), S_OK);
    EXPECT_EQ(core.asked.size(), 2u);
    EXPECT_EQ(p->PictureBuffer(), nullptr);
    EXPECT_GT(site.invalidated.size(), invalidated);

    // Unbound, a bind refresh asks no database and reloads the named item
    // (the field named it last).
    EXPECT_EQ(p->UnbindToDatabase(), S_OK);
    EXPECT_EQ(core.asked.size(), 2u);
    ASSERT_NE(p->PictureBuffer(), nullptr);
    p->get_ObjMediaWidth(&v);
    EXPECT_EQ(v, 300);

    // Each interface's Refresh keeps to its own part: the object's redraws,
    // the link's reloads.
    IPixelBuffer* before = p->PictureBuffer();
    invalidated = site.invalidated.size();
    static_cast<IObjectBase*>(p)->Refresh(0);
    EXPECT_EQ(p->PictureBuffer(), before);
    CComPtr<IDbLink> link;
    ASSERT_EQ(static_cast<IObjectBase*>(p)->QueryInterface(__uuidof(IDbLink),
                                                           reinterpret_cast<void**>(&link)),
              S_OK);
    media.calls.clear();
    EXPECT_EQ(link->Refresh(DB_REFRESH_BIND), S_OK);
    EXPECT_NE(p->PictureBuffer(), nullptr);
    EXPECT_NE(std::find(media.calls.begin(), media.calls.end(), "type Big"), media.calls.end());
    EXPECT_GT(site.invalidated.size(), invalidated);
    EXPECT_EQ(core.asked.size(), 2u);
    // Other codes while unlinked go to the link, which refuses them.
    EXPECT_EQ(link->Refresh(DB_REFRESH_NOTICE), E_FAIL);
    EXPECT_NE(p->PictureBuffer(), nullptr);
    site.database = nullptr;
}

TEST_F(PictureObjectTest, PictureOfAWrittenPackageThroughTheWorksMediaManager) {
    // A package holding one embedded PNG item, "Photo" (picture type 2,
    // subtype 1018), read back through the player's own package and media
    // manager.
    TempFolder tmp;
    const std::string path = tmp.File("work.mrt");
    WorkSpec work;
    work.items = {EmbeddedItem("Photo", 2, 1018)};
    work.mediaData = {{"Photo", PngOf(64, 48)}};
    ASSERT_EQ(WriteWork(path, work), S_OK);
    TestDoc doc(path);
    CComPtr<IPackage> package;
    {
        CPackage* opened = nullptr;
        ASSERT_EQ(OpenAndPreLoad(path, &doc, &opened), S_OK);
        package.Attach(opened);
    }
    CMediaManager* manager = doc.GetProject()->GetMediaManager();
    ASSERT_NE(manager, nullptr);
    site.media = static_cast<IMediaManager*>(manager);

    PictureObject* p = MakePicture();
    p->MoveTo(100, 100);
    ASSERT_EQ(SetName(p, L"Photo"), S_OK);
    EXPECT_EQ(p->GetWidth(), 66);
    EXPECT_EQ(p->GetHeight(), 50);
    RECT bounds;
    p->GetBoundsRect(&bounds);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(200, 200));
    ASSERT_EQ(static_cast<II_IRender*>(p)->Draw(target), S_OK);
    // Every pixel of the picture 1:1 inside the one-pixel black outline.
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(PixelOf(target, bounds.left + 1 + x, bounds.top + 1 + y), PicturePixel(x, y))
                << x << "," << y;
    for (int x = bounds.left; x < bounds.right; ++x) {
        EXPECT_EQ(PixelOf(target, x, bounds.top), 0u) << x;
        EXPECT_EQ(PixelOf(target, x, bounds.bottom - 1), 0u) << x;
    }

    // The same name in other letters: the same picture, nothing redrawn.
    IPixelBuffer* shown = p->PictureBuffer();
    size_t invalidated = site.invalidated.size();
    EXPECT_EQ(SetName(p, L"PHOTO"), S_OK);
    EXPECT_EQ(p->PictureBuffer(), shown);
    EXPECT_EQ(site.invalidated.size(), invalidated);
    EXPECT_EQ(p->GetWidth(), 66);
    BSTR name = nullptr;
    p->get_ObjMediaName(&name);
    EXPECT_STREQ(name, L"Photo");
    SysFreeString(name);
    site.media = static_cast<IMediaManager*>(&media);
}

TEST_F(PictureObjectTest, FrameRecordAnnouncedByTheRenderRecordIsTheFramesOwn) {
    // The frame as a work stores it: outline on, outer width 3 (thickness 4).
    CComPtr<IMediaFrame> stored;
    ASSERT_EQ(CreateMediaFrame(&stored), S_OK);
    stored->SetWidth(MFPART_OUTER, 3);
    CComPtr<ITeskStream> out = NewMemStream();
    ASSERT_EQ(stored->Save(out), S_OK);
    std::vector<uint8_t> frame((size_t)out->GetPosition());
    out->SetMode(0);
    out->Seek(0, TESK_SEEK_SET);
    out->Read(frame.data(), (ULONG)frame.size());

    ObjectPrefix prefix;
    prefix.parts = 1;  // the frame's record follows the render record
    prefix.attached = frame;
    PictureRecord rec;  // no media name
    std::vector<uint8_t> bytes = WriteObjectPrefix(prefix);
    std::vector<uint8_t> own = WritePictureRecord(rec);
    bytes.insert(bytes.end(), own.begin(), own.end());
    PictureObject* p = MakePicture();
    CComPtr<ITeskStream> s = MemStreamOf(bytes);
    ASSERT_EQ(static_cast<IObjectBase*>(p)->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    WORD thickness = 0;
    p->Frame()->GetThickness(&thickness);
    EXPECT_EQ(thickness, 4);
    CComPtr<IUnknown> attached;
    static_cast<II_IRender*>(p)->GetAttachedPart(&attached);
    CComPtr<IMediaFrame> same;
    ASSERT_NE(attached, nullptr);
    attached->QueryInterface(__uuidof(IMediaFrame), reinterpret_cast<void**>(&same));
    EXPECT_EQ(same.p, p->Frame());

    // The picture sits inside the wider frame, 1:1.
    p->MoveTo(100, 100);
    ASSERT_EQ(SetName(p, L"Photo"), S_OK);
    EXPECT_EQ(p->GetWidth(), 72);
    EXPECT_EQ(p->GetHeight(), 56);
    RECT bounds;
    p->GetBoundsRect(&bounds);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(200, 200));
    ASSERT_EQ(p->DrawContent(target, &bounds), S_OK);
    EXPECT_EQ(PixelOf(target, bounds.left + 4, bounds.top + 4), PicturePixel(0, 0));
    EXPECT_EQ(PixelOf(target, bounds.left + 4 + 63, bounds.top + 4 + 47), PicturePixel(63, 47));

    // A frame record cut short fails the load without reading past it.
    // After the parts word: the procedure record and the two ability words follow it.
    size_t frameStart = WriteObjectPrefix(ObjectPrefix()).size() - 12;
    for (size_t n = frameStart; n < frameStart + frame.size(); ++n) {
        PictureObject* cut = MakePicture();
        CComPtr<ITeskStream> t =
            MemStreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_NE(static_cast<IObjectBase*>(cut)->Load(t), S_OK) << n;
        EXPECT_LE(t->GetPosition(), n);
    }
    // A kind without an attached part refuses the announcement.
    LogCapture log;
    auto* solid = Make();
    EXPECT_EQ(static_cast<IObjectBase*>(solid)->Load(MemStreamOf(WriteObjectPrefix(prefix))),
              E_FAIL);
    EXPECT_LOGGED(log, "attached part announced without a part");
}

}  // namespace
