#include <gtest/gtest.h>

#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "PictureFixtures.h"
#include "RtfWriter.h"
#include "ServiceFakes.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aCursor.h"
#include "aGDIBuf.h"
#include "aRTFObj.h"
#include "aUtil.h"
#include "bMsgBox.h"

namespace {

// Knows every embedded item as an RTF medium.
class RtfMediaManager : public FakeMediaManager {
public:
    STDMETHOD(GetMediaType)(const char* name, int* type, int* subtype) override {
        if (!embedded.count(name))
            return E_FAIL;
        *type = 1;
        *subtype = 0;
        return S_OK;
    }
};

int CountBox(HWND, const char*, const char*, UINT) {
    return IDOK;
}

class RtfObjectTest : public ObjectFixture {
protected:
    RtfObjectTest() {
        codecs.Init(nullptr);
        site.codecs = &codecs;
        site.media = static_cast<IMediaManager*>(&media);
    }
    RTFObject* Make() {
        RTFObject* r = MakeBuiltin<RTFObject>(CreateRTFObject);
        r->MoveTo(250, 150);
        r->SetWidth(300);
        r->SetHeight(200);
        return r;
    }
    RTFObject* WithRtf(const std::string& rtf) {
        RTFObject* r = Make();
        EXPECT_EQ(r->LoadDocument(rtf.data(), (DWORD)rtf.size(), "doc.rtf"), S_OK);
        r->Layout();
        return r;
    }
    static std::vector<uint8_t> Stream(const RtfRecord& rec) {
        std::vector<uint8_t> bytes = WriteObjectPrefix(ObjectPrefix());
        std::vector<uint8_t> own = WriteRtfRecord(rec);
        bytes.insert(bytes.end(), own.begin(), own.end());
        return bytes;
    }
    static HRESULT Load(RTFObject* r, const std::vector<uint8_t>& bytes, int version = 10) {
        CComPtr<ITeskStream> s = MemStreamOf(bytes);
        s->SetVersion(version);
        return static_cast<IObjectBase*>(r)->Load(s);
    }
    // A point in the middle of byte `at` of the first line.
    POINT PointAt(RTFObject* r, int at) {
        const RtfParagraph& p = *r->Document().first;
        const RtfLine& line = p.lines[0];
        HDC dc = CreateCompatibleDC(nullptr);
        SetMapMode(dc, MM_ANISOTROPIC);
        SetWindowExtEx(dc, 1440, -1440, nullptr);
        int dpi = GetDeviceCaps(dc, LOGPIXELSX);
        SetViewportExtEx(dc, dpi, GetDeviceCaps(dc, LOGPIXELSY), nullptr);
        LOGFONTA def = {};
        int a = RtfRangeWidth(dc, r->Document(), def, p, 0, at, 0);
        int b = RtfRangeWidth(dc, r->Document(), def, p, 0, at + 1, 0);
        DeleteDC(dc);
        RECT bounds;
        r->GetBoundsRect(&bounds);
        if (r->Frame())
            r->Frame()->GetInnerRect(&bounds, &bounds);
        int x = line.x + (a + b) / 2;
        int y = p.format.spaceBefore + (line.leading + line.height) / 2;
        return {bounds.left + MulDiv(x, dpi, 1440), bounds.top + MulDiv(y, dpi, 1440)};
    }
    static LPARAM At(POINT p) { return MAKELONG((SHORT)p.x, (SHORT)p.y); }

    PictureCodecManager codecs;
    RtfMediaManager media;
};

const char kHotDoc[] =
    "{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\f0\\fs24 go \\hotword7 here\\hotwordend "
    " end\\par}";

TEST_F(RtfObjectTest, NewObjectAndItsScrolling) {
    RTFObject* r = Make();
    EXPECT_EQ(r->Flags(), 0x30u);
    EXPECT_EQ(r->Speed(), 5);
    std::string lines;
    for (int i = 0; i < 60; ++i) lines += "line " + std::to_string(i) + "\\par ";
    r = WithRtf("{\\rtf1\\pard " + lines + "}");
    LONG max = 0, v = -1;
    r->get_ObjMaxScrollPos(&max);
    ASSERT_GT(max, r->ViewHeight());
    r->put_ObjScrollPos(-5);
    r->get_ObjScrollPos(&v);
    EXPECT_EQ(v, 0);
    r->put_ObjScrollPos(max + 100);
    r->get_ObjScrollPos(&v);
    EXPECT_EQ(v, max);
    // BackVisit twice comes back.
    r->put_ObjScrollPos(300);
    r->put_ObjScrollPos(900);
    r->BackVisit();
    r->get_ObjScrollPos(&v);
    EXPECT_EQ(v, 300);
    r->BackVisit();
    r->get_ObjScrollPos(&v);
    EXPECT_EQ(v, 900);
    r->GotoBegin();
    r->ScrollDown(2);
    LONG two = 0;
    r->get_ObjScrollPos(&two);
    r->GotoLine(2);
    r->get_ObjScrollPos(&v);
    EXPECT_EQ(v, two);
    EXPECT_GT(two, 0);
    r->ScrollUp(5);
    r->get_ObjScrollPos(&v);
    EXPECT_EQ(v, 0);
    r->GotoEnd();
    r->get_ObjScrollPos(&v);
    EXPECT_EQ(v, max - r->ViewHeight());
    r->PageDown();
    r->get_ObjScrollPos(&v);
    EXPECT_EQ(v, max);

    // A document shorter than the view ends at its top.
    r = WithRtf("{\\rtf1\\pard short\\par}");
    r->GotoEnd();
    r->get_ObjScrollPos(&v);
    EXPECT_EQ(v, 0);

    const struct {
        LONG direction, speed, stored;
    } speeds[] = {{0, 500, -100}, {1, 0, 1}, {1, 40, 40}, {0, -3, -1}};
    for (const auto& c : speeds) {
        r->StartAutoScroll(c.direction, c.speed);
        EXPECT_EQ(r->Speed(), c.stored);
        r->StopAutoScroll();
    }
}

TEST_F(RtfObjectTest, AutoScrollMovesOnTheClock) {
    std::string lines;
    for (int i = 0; i < 40; ++i) lines += "x\\par ";
    RTFObject* r = WithRtf("{\\rtf1\\pard " + lines + "}");
    static_cast<IObjectBase*>(r)->Enter();
    site.clock = 1000;
    ASSERT_EQ(r->StartAutoScroll(1, 50), S_OK);
    site.clock = 1100;
    site.sequencer.TickClients();
    LONG v = 0;
    r->get_ObjScrollPos(&v);
    EXPECT_EQ(v, 50 * 100 * 2 / 100);
    r->StartAutoScroll(0, 50);
    site.clock = 1100;
    site.sequencer.TickClients();  // no time: one twip up
    r->get_ObjScrollPos(&v);
    EXPECT_EQ(v, 99);
}

TEST_F(RtfObjectTest, MediaItemsByExtension) {
    const std::string text = "{\\rtf1\\pard abc\\par}";
    media.embedded["notes.TXT"] = text;
    media.embedded["notes.RTF"] = text;
    media.embedded["two.txt"] = "a\r\nb";
    RTFObject* r = Make();
    r->SetSourceKind(RTFSOURCE_MEDIA);
    BSTR name = SysAllocString(L"notes.TXT");
    ASSERT_EQ(r->put_ObjMediaName(name), S_OK);
    SysFreeString(name);
    ASSERT_NE(r->Document().first, nullptr);
    EXPECT_EQ(std::string(r->Document().first->text.Data()), text);  // shown as plain text
    name = SysAllocString(L"notes.RTF");
    ASSERT_EQ(r->put_ObjMediaName(name), S_OK);
    SysFreeString(name);
    EXPECT_EQ(std::string(r->Document().first->text.Data()), "abc");
    BSTR back = nullptr;
    EXPECT_EQ(r->get_ObjMediaName(&back), S_OK);
    EXPECT_STREQ(back, L"notes.RTF");
    SysFreeString(back);
    name = SysAllocString(L"two.txt");
    ASSERT_EQ(r->put_ObjMediaName(name), S_OK);
    SysFreeString(name);
    EXPECT_EQ(r->Document().paragraphCount, 2);
    EXPECT_EQ(std::string(r->Document().first->next->text.Data()), "b");

    // An item that does not load: E_FAIL (the box passes the seam).
    PFNMESSAGEBOXHANDLER old = SetMessageBoxHandler(CountBox);
    name = SysAllocString(L"missing.rtf");
    EXPECT_EQ(r->put_ObjMediaName(name), E_FAIL);
    // Without the media source the name is refused and nothing changes.
    RTFObject* own = Make();
    EXPECT_EQ(own->put_ObjMediaName(name), E_FAIL);
    EXPECT_EQ(own->get_ObjMediaName(&back), S_FALSE);
    EXPECT_STREQ(back, L"");
    SysFreeString(back);
    SysFreeString(name);
    SetMessageBoxHandler(old);
}

TEST_F(RtfObjectTest, EnteringLoadsTheNamedItem) {
    media.embedded["notes.rtf"] = kHotDoc;
    RtfRecord rec;
    rec.flags = 0x31;
    rec.extraField = false;
    rec.mediaName = L"notes.rtf";
    RTFObject* r = Make();
    ASSERT_EQ(Load(r, Stream(rec), 3), S_OK);
    EXPECT_EQ(r->Document().first, nullptr);
    static_cast<IObjectBase*>(r)->Enter();
    ASSERT_NE(r->Document().first, nullptr);
    EXPECT_EQ(r->Document().hotWords.Count(), 1);
    BSTR name = nullptr;
    EXPECT_EQ(r->get_ObjMediaName(&name), S_OK);
    EXPECT_STREQ(name, L"notes.rtf");
    SysFreeString(name);
}

TEST_F(RtfObjectTest, HotWordClicksAndCursor) {
    RTFObject* r = WithRtf(kHotDoc);
    ASSERT_EQ(r->Document().hotWords.Count(), 1);
    HMODULE library = LoadLibraryA(BesideProgram("..\\MavroRT\\mavrolib.dll").c_str());
    ASSERT_NE(library, nullptr);
    SetCursorLibrary(library);
    r->HotCursor()->SetNumber(2, 0);
    CComObject<TestEventProc>* proc = procs.last;
    ASSERT_NE(proc, nullptr);
    // "go here  end": the hot word's last byte is 6.
    POINT last = PointAt(r, 6);
    EXPECT_EQ(r->HotWordAt(last.x, last.y), 7);
    POINT before = PointAt(r, 2);
    EXPECT_EQ(r->HotWordAt(before.x, before.y), -1);
    POINT after = PointAt(r, 7);
    EXPECT_EQ(r->HotWordAt(after.x, after.y), -1);
    RECT bounds;
    r->GetBoundsRect(&bounds);
    EXPECT_EQ(r->HotWordAt(bounds.right - 5, last.y), -1);  // right of the line's end

    auto hotCalls = [proc]() {
        std::vector<TestEventProc::Call> hot;
        for (const auto& c : proc->calls)
            if (c.id == 2000)
                hot.push_back(c);
        return hot;
    };
    proc->calls.clear();
    r->FireEvent(EVT_CLICK, 0, At(last), 0);
    ASSERT_EQ(hotCalls().size(), 1u);
    EXPECT_EQ(hotCalls()[0].types, (std::vector<VARTYPE>{VT_INT, VT_INT}));
    EXPECT_EQ(hotCalls()[0].values, (std::vector<LONG>{7, 7}));
    proc->calls.clear();
    r->FireEvent(EVT_CLICK, 0, MAKELONG(bounds.right - 5, last.y), 0);
    EXPECT_TRUE(hotCalls().empty());

    r->FireEvent(EVT_MOUSEMOVE, 0, At(last), 0);
    EXPECT_TRUE(r->HotCursorApplied());
    r->FireEvent(EVT_MOUSEMOVE, 0, At(before), 0);
    EXPECT_FALSE(r->HotCursorApplied());

    r->put_ObjEnableHotword(0);
    proc->calls.clear();
    r->FireEvent(EVT_CLICK, 0, At(last), 0);
    r->FireEvent(EVT_MOUSEMOVE, 0, At(last), 0);
    EXPECT_TRUE(hotCalls().empty());
    EXPECT_FALSE(r->HotCursorApplied());
    SetCursorLibrary(nullptr);
    FreeLibrary(library);
}

TEST_F(RtfObjectTest, PictureGoalWidthDrawsAtTheScreensResolution) {
    picfix::PngSpec spec;
    spec.width = 4;
    spec.height = 4;
    spec.colourType = 2;
    for (int i = 0; i < 16; ++i) spec.rows.insert(spec.rows.end(), {0, 0, 255});
    std::string png = RtfPictureGroup("pngblip", 2880, 720, picfix::WritePng(spec));
    RTFObject* r = WithRtf("{\\rtf1\\pard " + png + "\\par}");
    r->SetWidth(400);
    r->SetHeight(200);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(600, 400));
    target->FillRect(nullptr, 0x00FFFFFF);
    RECT bounds;
    r->GetBoundsRect(&bounds);
    ASSERT_EQ(r->DrawContent(target, &bounds), S_OK);
    HDC dc = nullptr;
    ASSERT_EQ(target->GetDC(&dc), S_OK);
    int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    int blue = 0, y = bounds.top + MulDiv(360, dpi, 1440);
    for (int x = bounds.left; x < bounds.right; ++x)
        if ((GetPixel(dc, x, y) & 0xFFFFFF) == 0xFF0000)
            ++blue;
    target->ReleaseDC(dc);
    EXPECT_NEAR(blue, 2 * dpi, 1);
}

TEST_F(RtfObjectTest, ColoursOutsideTheTableDrawBlackWithoutBackground) {
    RTFObject* r = WithRtf(
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}"
        "\\pard\\f0\\fs48\\cf1 MMM\\cf9\\chcbpat9 MMM\\par}");
    // A buffer whose origin is moved, as the page's buffer in the view.
    CComPtr<IPixelBuffer> target;
    ASSERT_EQ(ComCreateInstance<CGDIBitmapBuffer>(__uuidof(IPixelBuffer),
                                                  reinterpret_cast<void**>(&target)),
              S_OK);
    ASSERT_EQ(target->Create(600, 400), S_OK);
    target->SetOrigin(-60, -40);
    target->FillRect(nullptr, 0x00FFFFFF);
    RECT bounds;
    r->GetBoundsRect(&bounds);
    r->DrawContent(target, &bounds);
    HDC dc = nullptr;
    ASSERT_EQ(target->GetDC(&dc), S_OK);
    int red = 0, black = 0, other = 0;
    for (int y = bounds.top; y < bounds.top + 60; ++y)
        for (int x = bounds.left; x < bounds.right; ++x) {
            COLORREF c = GetPixel(dc, x, y) & 0xFFFFFF;
            if (c == 0x0000FF)
                ++red;
            else if (c == 0)
                ++black;
            else if (c != 0xFFFFFF)
                ++other;
        }
    target->ReleaseDC(dc);
    EXPECT_GT(red, 20);
    EXPECT_GT(black, 20);
}

TEST_F(RtfObjectTest, RecordOfADocument) {
    RtfRecord rec;
    rec.extraFlags = 1;
    rec.fonts = {{0, 0, 0, "Arial"}};
    rec.colors = {0, 0xFF0000};
    RtfRecordRun plain;
    plain.length = 3;
    RtfRecordRun blue = plain;
    blue.foreColor = 1;
    blue.colorFlags = 1;
    blue.length = 4;
    RtfRecordParagraph p1;
    p1.text = "abcdefg";
    p1.runs = {plain, blue};
    p1.align = 1;
    RtfRecordParagraph p2;
    p2.text = "xy";
    plain.length = 2;
    p2.runs = {plain};
    rec.paragraphs = {p1, p2};
    rec.hotWords = {{1, 5, 2, 0}, {7, 6, 1, 0}, {0, 8, 3, 5}};  // the last two run off
    RtfRecordPicture pic;
    pic.shownWidth = 100;
    pic.data = {1, 2, 3};
    rec.pictures = {pic};
    RTFObject* r = Make();
    LogCapture log;
    ASSERT_EQ(Load(r, Stream(rec)), S_OK);
    const RtfDocument& d = r->Document();
    EXPECT_EQ(d.paragraphCount, 2);
    EXPECT_EQ(std::string(d.first->text.Data()), "abcdefg");
    EXPECT_EQ(d.first->format.align, 1);
    EXPECT_EQ(d.first->runs[1].format.foreColor, 1);
    EXPECT_EQ(d.colors, (RtfColorTable{0, 0xFF0000}));
    ASSERT_EQ(d.pictures.Count(), 1);
    EXPECT_EQ(d.pictures.At(0)->shownWidth, 100);
    EXPECT_EQ(d.pictures.At(0)->dataLength, 3u);
    ASSERT_EQ(d.hotWords.Count(), 1);
    EXPECT_EQ(d.hotWords[0].paragraph, d.first->next);
    EXPECT_EQ(d.hotWords[0].id, 5);
    EXPECT_EQ(d.hotWords[0].start, 0);
    EXPECT_EQ(d.hotWords[0].length, 2);
    EXPECT_LOGGED(log, "RTF record: hot word 6 dropped");
    EXPECT_EQ(r->ExtraFlags(), 1);

    // Versions: 9 takes the pictures bit from flags bit 6, 8 and before
    // keep flags bits 0-5 only.
    const struct {
        int version;
        uint32_t flags;
        WORD extra;
        DWORD flagsAfter;
    } versions[] = {{9, 0x70, 1, 0x70}, {9, 0x30, 0, 0x30}, {8, 0xF0, 0, 0x30}};
    for (const auto& v : versions) {
        RtfRecord old;
        old.extraField = false;
        old.flags = v.flags;
        old.extraFlags = v.extra;
        old.paragraphs = {p2};
        if (v.extra)
            old.pictures = {pic};
        RTFObject* o = Make();
        ASSERT_EQ(Load(o, Stream(old), v.version), S_OK) << v.version;
        EXPECT_EQ(o->ExtraFlags(), v.extra);
        EXPECT_EQ(o->Flags(), v.flagsAfter);
    }

    // A spare text: read when short, skipped when over 40 bytes.
    for (size_t n : {5u, 30u}) {
        RtfRecord spare;
        spare.flags = 0x38;
        spare.spareText.assign(n, L's');
        RTFObject* o = Make();
        CComPtr<ITeskStream> s = MemStreamOf(Stream(spare));
        s->SetVersion(10);
        EXPECT_EQ(static_cast<IObjectBase*>(o)->Load(s), S_OK);
        EXPECT_EQ(s->GetPosition(), s->GetSize());
    }
}

TEST_F(RtfObjectTest, DamagedRecordsLeaveTheObjectAsItWas) {
    RtfRecord good;
    good.fonts = {{0, 0, 0, "Arial"}};
    good.colors = {0};
    RtfRecordRun run;
    run.length = 2;
    RtfRecordParagraph para;
    para.text = "ok";
    para.runs = {run};
    good.paragraphs = {para};
    const std::vector<uint8_t> goodBytes = Stream(good);

    RtfRecord rec = good;
    rec.flags = 0x38;
    rec.extraFlags = 1;
    RtfRecordPicture pic;
    pic.data = {9, 9, 9, 9};
    rec.pictures = {pic};
    RtfRecordParagraph two;
    two.text = "hello";
    run.length = 5;
    two.runs = {run};
    rec.paragraphs = {para, two};
    rec.hotWords = {{1, 3, 2, 1}};
    rec.spareText = L"spare";
    const std::vector<uint8_t> bytes = Stream(rec);
    size_t prefix = WriteObjectPrefix(ObjectPrefix()).size();

    // Runs that do not add up, a picture's data past the end.
    RtfRecord shortRuns = rec;
    shortRuns.paragraphs[1].runs[0].length = 4;
    RtfRecord longData = rec;
    longData.pictures[0].storedLength = 1000;
    RtfRecord hugeCount = rec;
    hugeCount.fonts.clear();
    std::vector<uint8_t> huge = Stream(hugeCount);
    huge[prefix + 4 * 3 + 60 + 4] = 0xFF;  // font count after flags, extra, reserved, font, cursor
    huge[prefix + 4 * 3 + 60 + 7] = 0x7F;
    std::vector<std::vector<uint8_t>> damaged = {Stream(shortRuns), Stream(longData), huge};
    for (size_t n = prefix; n < bytes.size(); ++n)
        damaged.emplace_back(bytes.begin(), bytes.begin() + n);
    std::mt19937 random(31);
    for (int i = 0; i < 200; ++i) {
        std::vector<uint8_t> bad = bytes;
        for (int k = 0; k < 2; ++k)
            bad[prefix + random() % (bad.size() - prefix)] = (uint8_t)random();
        damaged.push_back(bad);
    }
    int refused = 0;
    for (size_t i = 0; i < damaged.size(); ++i) {
        RTFObject* r = Make();
        ASSERT_EQ(Load(r, goodBytes), S_OK);
        CComPtr<ITeskStream> s = MemStreamOf(damaged[i]);
        s->SetVersion(10);
        HRESULT hr = static_cast<IObjectBase*>(r)->Load(s);
        EXPECT_LE(s->GetPosition(), damaged[i].size());
        if (FAILED(hr)) {
            ++refused;
            ASSERT_EQ(r->Document().paragraphCount, 1) << i;
            EXPECT_EQ(std::string(r->Document().first->text.Data()), "ok");
            EXPECT_EQ(r->Flags(), 0x30u);
        }
        // Whatever was taken keeps its runs within its text and draws.
        for (const RtfParagraph* p = r->Document().first; p; p = p->next) {
            long long sum = 0;
            for (int k = 0; k < p->runs.Count(); ++k) sum += p->runs[k].length;
            ASSERT_EQ(sum, p->text.Length());
        }
        CComPtr<IPixelBuffer> target;
        target.Attach(CreateGDIBuffer(400, 300));
        RECT bounds;
        r->GetBoundsRect(&bounds);
        r->DrawContent(target, &bounds);
    }
    EXPECT_GE(refused, 3 + (int)(bytes.size() - prefix) - 1);
}

}  // namespace

namespace {

// Scripts reach the members by the type library's names and ids; the event
// is the class's source interface; bound objects follow the scroll row.
TEST_F(RtfObjectTest, MembersEventAndScrollRow) {
    std::string lines;
    for (int i = 0; i < 60; ++i) lines += "line\\par ";
    RTFObject* r = WithRtf("{\\rtf1\\pard " + lines + "}");
    IDispatch* d = static_cast<IRTFDispObj*>(r);
    const struct {
        const wchar_t* name;
        DISPID id;
    } members[] = {{L"ObjMediaName", 0x2bd},   {L"ObjEnableHotword", 6}, {L"ObjScrollPos", 7},
                   {L"ObjMaxScrollPos", 8},    {L"PageUp", 0xa},         {L"PageDown", 0xb},
                   {L"ScrollUp", 0xc},         {L"ScrollDown", 0xd},     {L"GotoLine", 0xe},
                   {L"BackVisit", 0xf},        {L"GotoBegin", 0x10},     {L"GotoEnd", 0x11},
                   {L"StartAutoScroll", 0x12}, {L"StopAutoScroll", 0x13}};
    for (const auto& m : members) {
        LPOLESTR name = const_cast<LPOLESTR>(m.name);
        DISPID id = -1;
        EXPECT_EQ(d->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK) << m.name;
        EXPECT_EQ(id, m.id) << m.name;
    }
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = 400;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS p = {&v, &put, 1, 1};
    EXPECT_EQ(d->Invoke(7, IID_NULL, 0, DISPATCH_PROPERTYPUT, &p, nullptr, nullptr, nullptr), S_OK);
    LONG pos = 0;
    r->get_ObjScrollPos(&pos);
    EXPECT_EQ(pos, 400);

    CComPtr<ITypeInfo> events;
    ASSERT_EQ(GetObjectEventInfo(r->GetUnknown(), &events), S_OK);
    ASSERT_NE(events, nullptr);
    MEMBERID hot = -1;
    LPOLESTR onHotword = const_cast<LPOLESTR>(L"OnHotword");
    ASSERT_EQ(events->GetIDsOfNames(&onHotword, 1, &hot), S_OK);
    EXPECT_EQ(hot, 2000);

    // The row counts in points: twips / 20.
    LONG value = -1, max = -1, page = -1, step = -1;
    r->GetRowValue(0, &value);
    EXPECT_EQ(value, 20);
    r->GetRowMaximum(0, &max);
    LONG maxTwips = 0;
    r->get_ObjMaxScrollPos(&maxTwips);
    EXPECT_EQ(max, (maxTwips - r->ViewHeight()) / 20);
    r->GetRowPageStep(0, &page);
    EXPECT_EQ(page, r->ViewHeight() / 20 - 1);
    r->GetRowLineStep(0, &step);
    EXPECT_EQ(step, 1);
    r->SetRowValue(0, 35);
    r->get_ObjScrollPos(&pos);
    EXPECT_EQ(pos, 700);
    char name[64] = "";
    r->GetRowName(0, name, sizeof(name));
    EXPECT_STREQ(name, "\xbe\xed\xb9\xf6\xce\xbb\xd6\xc3");  // "scroll position" in GBK
}

}  // namespace
