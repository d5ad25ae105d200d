#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "aBtnObj.h"
#include "aGDIBuf.h"
#include "aGroupObj.h"
#include "bStorage.h"
#include "bStrConv.h"
#include "aTransition.h"
#include "bFillPic.h"
#include "bFillShd.h"
#include "bdrawtxt.h"

namespace {

const CLSID kTestBlend = {0x5EC1B1E0, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
const DWORD kPush = 0x02020001, k3Value = 0x02020003, kCheck = 0x02020004, kRadio = 0x02020005;

// A test blend plug-in: widens the rectangle by 2 on every side and copies
// the source into the middle; its record is one 32-bit value.
class TestBlend : public CComObjectRootBase, public ITransitionBlend {
public:
    BEGIN_COM_MAP(TestBlend)
    COM_INTERFACE_ENTRY(ITransitionBlend)
    END_COM_MAP()
    STDMETHOD(GetClassID)(CLSID* clsid) override {
        *clsid = kTestBlend;
        return S_OK;
    }
    STDMETHOD(Reserved4)() override { return S_OK; }
    STDMETHOD(Render)(IPixelBuffer* source, IPixelBuffer* target) override {
        BufferInfo info = {};
        info.dwSize = sizeof(info);
        info.wMask = BIM_ALL;
        source->GetBufferInfo(&info);
        RECT src = {0, 0, info.nWidth, info.nHeight},
             dest = {2, 2, info.nWidth + 2, info.nHeight + 2};
        return target->Blit(&dest, source, &src, 0);
    }
    STDMETHOD(GetOutputRect)(const RECT* in, RECT* out) override {
        *out = *in;
        InflateRect(out, 2, 2);
        return S_OK;
    }
    STDMETHOD(Load)(ITeskStream* stream) override {
        DWORD v;
        if (!StreamReadValue(stream, &v))
            return E_FAIL;
        return S_OK;
    }
    STDMETHOD(Save)(ITeskStream* stream) override {
        StreamWriteValue<DWORD>(stream, 7);
        return S_OK;
    }
    STDMETHOD(Reserved9)() override { return S_OK; }
    STDMETHOD(CopyFrom)(IUnknown*) override { return S_OK; }
};

HRESULT CreateTestBlend(IUnknown** out) {
    return ComCreateInstance<TestBlend>(IID_IUnknown, reinterpret_cast<void**>(out));
}

DWORD PixelOf(IPixelBuffer* buffer, int x, int y) {
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    buffer->GetBufferInfo(&info);
    return reinterpret_cast<const DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch)[x] &
           0x00FFFFFF;
}

std::vector<uint8_t> Saved(IUnknown* object, bool font) {
    CComPtr<ITeskStream> s = NewMemStream();
    if (font)
        static_cast<FontObject*>(object)->Save(s);
    else
        static_cast<FillObject*>(object)->Save(s);
    std::vector<uint8_t> bytes((size_t)s->GetPosition());
    s->SetMode(0);
    s->Seek(0, TESK_SEEK_SET);
    s->Read(bytes.data(), (ULONG)bytes.size());
    return bytes;
}

class ButtonObjectTest : public ObjectFixture {
protected:
    ButtonObjectTest() {
        registry.DefModule(MODULE_PLUGIN, kTestBlend, __uuidof(ITransitionBlend), 0, 0, 0, 0,
                           CreateTestBlend, 0, 0);
        creator.Init(&registry, nullptr);
    }
    ButtonObject* MakeButton(DWORD typeId) {
        record.dwTypeId = typeId;
        ButtonObject* b = MakeBuiltin<ButtonObject>(CreateButtonObject);
        b->SetWidth(200);
        b->SetHeight(60);
        b->MoveTo(150, 100);
        return b;
    }
    static void Click(ButtonObject* b) {
        IObjectEvent* e = static_cast<IObjectEvent*>(b);
        e->FireEvent(EVT_LBUTTONDOWN, 0, 0, 0);
        e->FireEvent(EVT_LBUTTONUP, 0, 0, 0);
    }
    static LONG Value(ButtonObject* b) {
        LONG v = -1;
        b->get_ObjValue(&v);
        return v;
    }
    size_t ProcCalls() { return procs.last ? procs.last->calls.size() : 0; }
};

TEST_F(ButtonObjectTest, ClicksAdvanceTheValueByKind) {
    ButtonObject* push = MakeButton(kPush);
    for (int i = 0; i < 4; ++i) {
        Click(push);
        EXPECT_EQ(Value(push), 0);
    }
    ButtonObject* three = MakeButton(k3Value);
    std::vector<LONG> seen;
    for (int i = 0; i < 4; ++i) {
        Click(three);
        seen.push_back(Value(three));
    }
    EXPECT_EQ(seen, (std::vector<LONG>{1, 2, 0, 1}));
    ButtonObject* check = MakeButton(kCheck);
    Click(check);
    EXPECT_EQ(Value(check), 1);
    Click(check);
    EXPECT_EQ(Value(check), 0);
    LONG type = -1;
    check->get_ObjType(&type);
    EXPECT_EQ(type, BTNTYPE_CHECK);
    EXPECT_EQ(check->put_ObjValue(2), S_FALSE);
    EXPECT_EQ(check->put_ObjValue(-1), S_FALSE);
    EXPECT_EQ(Value(check), 0);
}

TEST_F(ButtonObjectTest, StylesAndMaximums) {
    ButtonObject* b = MakeButton(kPush);
    LONG v = -1;
    EXPECT_EQ(b->get_ObjMaxStyle(3, &v), S_OK);
    EXPECT_EQ(v, 0);
    b->get_ObjMaxStyle(2, &v);
    EXPECT_EQ(v, 4);
    EXPECT_EQ(b->put_ObjStyle(5), S_FALSE);
    EXPECT_EQ(b->put_ObjStyle(-1), S_FALSE);
    b->get_ObjStyle(&v);
    EXPECT_EQ(v, 1);  // the default of a new button
    EXPECT_EQ(b->put_ObjTextAlign(4), S_FALSE);
    EXPECT_EQ(b->FaceCount(), 4);
    EXPECT_EQ(b->SetMaxValue(5), S_OK);
    b->get_ObjMaxValue(&v);
    EXPECT_EQ(v, 2);
    EXPECT_EQ(b->FaceCount(), 12);
    EXPECT_EQ(b->SetMaxValue(-1), S_FALSE);
    ButtonObject* c = MakeButton(kCheck);
    EXPECT_EQ(c->FaceCount(), 8);
    c->SetMaxValue(5);
    c->get_ObjMaxValue(&v);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(c->FaceCount(), 8);
    ButtonFace* face = nullptr;
    EXPECT_EQ(c->GetFace(2, 0, &face), S_FALSE);
    EXPECT_EQ(c->GetFace(1, 4, &face), S_FALSE);
    EXPECT_EQ(c->GetFace(1, 3, &face), S_OK);
    EXPECT_NE(face, nullptr);
    BSTR name = nullptr;
    EXPECT_EQ(c->GetStyleName(5, &name), S_FALSE);
    EXPECT_EQ(c->GetStyleName(2, &name), S_OK);
    EXPECT_GT(SysStringLen(name), 0u);
    SysFreeString(name);
}

TEST_F(ButtonObjectTest, DisabledButtonDrawsItsDisabledLookAndPassesNoClick) {
    ButtonObject* b = MakeButton(kPush);
    IObjectEvent* e = static_cast<IObjectEvent*>(b);
    size_t before = ProcCalls();
    Click(b);
    EXPECT_GT(ProcCalls(), before);
    ASSERT_EQ(b->put_ObjEnable(0), S_OK);
    e->FireEvent(EVT_MOUSEENTER, 0, 0, 0);
    EXPECT_EQ(b->Look(), LOOK_DISABLED);
    before = ProcCalls();
    Click(b);
    EXPECT_EQ(ProcCalls(), before);
    EXPECT_EQ(b->Look(), LOOK_DISABLED);
    e->FireEvent(EVT_LBUTTONDOWN, 0, 0, 0);
    ASSERT_EQ(b->put_ObjEnable(1), S_OK);
    EXPECT_EQ(b->Hot(), 0);
    EXPECT_EQ(b->Released(), 1);
    EXPECT_EQ(b->Look(), LOOK_NORMAL);
    // Held and moved off: the normal look on the next move.
    e->FireEvent(EVT_LBUTTONDOWN, 0, MAKELONG(150, 100), 0);
    EXPECT_EQ(b->Look(), LOOK_PRESSED);
    e->FireEvent(EVT_MOUSEMOVE, 0, MAKELONG(10, 10), 0);
    EXPECT_EQ(b->Look(), LOOK_NORMAL);
}

TEST_F(ButtonObjectTest, FacesDrawTheirLooks) {
    ButtonObject* b = MakeButton(kPush);
    ASSERT_EQ(b->put_ObjStyle(0), S_OK);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(300, 200));
    RECT r;
    b->GetBoundsRect(&r);
    target->FillRect(nullptr, 0);
    ASSERT_EQ(b->DrawContent(target, &r), S_OK);
    EXPECT_EQ(PixelOf(target, r.left + 2, r.top + 2), 0x8398B1u);
    EXPECT_EQ(PixelOf(target, r.right - 1, r.bottom - 1), 0x8398B1u);
    IObjectEvent* e = static_cast<IObjectEvent*>(b);
    e->FireEvent(EVT_LBUTTONDOWN, 0, 0, 0);
    b->DrawContent(target, &r);
    EXPECT_EQ(PixelOf(target, r.left + 2, r.top + 2), 0x4F657Du);
    // An ellipse leaves the corners of the target alone.
    e->FireEvent(EVT_MOUSELEAVE, 0, 0, 0);
    b->put_ObjStyle(2);
    target->FillRect(nullptr, 0x00563412);  // COLORREF: pixel 0x123456
    b->DrawContent(target, &r);
    EXPECT_EQ(PixelOf(target, r.left, r.top), 0x123456u);
    EXPECT_EQ(PixelOf(target, r.right - 1, r.bottom - 1), 0x123456u);
    EXPECT_EQ(PixelOf(target, (r.left + r.right) / 2, r.top + 3), 0x8398B1u);
    // The frame takes the frame colour on the shape's edge.
    b->put_ObjStyle(0);
    b->put_ObjDrawFrame(1);
    b->put_ObjFrameColor(0x0000FF);
    b->DrawContent(target, &r);
    EXPECT_EQ(PixelOf(target, r.left, r.top + 5), 0xFF0000u);
    EXPECT_EQ(PixelOf(target, r.left + 1, r.top + 5), 0x8398B1u);
}

TEST_F(ButtonObjectTest, HalfTransparentEllipseLeavesItsCornersAlone) {
    ButtonObject* b = MakeButton(kPush);
    ASSERT_EQ(b->put_ObjStyle(2), S_OK);
    b->SetAlpha(128);
    RECT r;
    b->GetBoundsRect(&r);
    // Twice: the second draw must not show what the first left behind.
    for (DWORD key : {0x00563412u, 0x00000000u}) {
        CComPtr<IPixelBuffer> target;
        target.Attach(CreateGDIBuffer(300, 200));
        target->FillRect(nullptr, key);
        ASSERT_EQ(static_cast<II_IRender*>(b)->Draw(target), S_OK);
        const DWORD pixel = ((key & 0xFF) << 16) | (key & 0xFF00) | ((key >> 16) & 0xFF);
        EXPECT_EQ(PixelOf(target, r.left, r.top), pixel) << key;
        EXPECT_EQ(PixelOf(target, r.right - 1, r.bottom - 1), pixel) << key;
        // Inside: the normal face colour 0x8398B1 half over the key.
        DWORD mid = PixelOf(target, (r.left + r.right) / 2, r.top + 3);
        for (int shift : {0, 8, 16}) {
            int face = (0x8398B1 >> shift) & 0xFF, under = (pixel >> shift) & 0xFF;
            EXPECT_NEAR((int)((mid >> shift) & 0xFF), (face + under) / 2, 2) << key << " " << shift;
        }
    }
}

TEST(ButtonShapes, HitTestsAgreeWithTheCut) {
    std::mt19937 random(103);
    for (int round = 0; round < 40; ++round) {
        int w = 2 + random() % 60, h = 2 + random() % 60, style = 1 + random() % 4;
        std::vector<DWORD> px((size_t)w * h, 0xFF00FF00);
        CutButtonShape(px.data(), w, w, h, style);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                DWORD a = px[(size_t)y * w + x] >> 24;
                bool hit = ButtonShapeHit(style, w, h, x, y);
                // Fully kept pixels hit; fully cut ones miss.
                if (a == 0xFF) {
                    ASSERT_TRUE(hit) << style << " " << w << "x" << h << " " << x << "," << y;
                }
                if (a == 0) {
                    ASSERT_FALSE(hit) << style << " " << w << "x" << h << " " << x << "," << y;
                }
            }
    }
    EXPECT_TRUE(ButtonShapeHit(2, 1, 30, 0, 29));
    EXPECT_TRUE(ButtonShapeHit(3, 30, 1, 29, 0));
    EXPECT_FALSE(ButtonShapeHit(0, 30, 30, 30, 0));
}

TEST_F(ButtonObjectTest, RadioButtonSwitchesTheOthersOfItsGroup) {
    CComPtr<IUnknown> unknown;
    ASSERT_EQ(CreateGroupObject(&unknown), S_OK);
    objects.push_back(unknown);
    CComPtr<IObjectBase> base;
    unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
    ASSERT_EQ(base->Init(&creation), S_OK);
    GroupObject* group = static_cast<GroupObject*>(static_cast<IObjectBase*>(base.p));
    group->SetFlags(GRPFLAG_RADIO);
    std::vector<std::unique_ptr<CObjWrapper>> wrappers;
    std::vector<ButtonObject*> radios;
    for (int i = 0; i < 3; ++i) {
        ButtonObject* b = MakeButton(kRadio);
        radios.push_back(b);
        wrappers.push_back(std::make_unique<CObjWrapper>(kRadio, "Radio"));
        wrappers.back()->Attach(static_cast<IObjectBase*>(b));
        group->AddChild(wrappers.back().get());
    }
    radios[0]->put_ObjValue(1);
    Click(radios[0]);  // already on: stays on
    EXPECT_EQ(Value(radios[0]), 1);
    Click(radios[2]);
    EXPECT_EQ(Value(radios[0]), 0);
    EXPECT_EQ(Value(radios[1]), 0);
    EXPECT_EQ(Value(radios[2]), 1);
    LONG state = -1;
    group->get_CurrentRadioState(&state);
    EXPECT_EQ(state, 2);
}

TEST_F(ButtonObjectTest, ScriptsSetTheValueByName) {
    ButtonObject* b = MakeButton(k3Value);
    CComPtr<IDispatch> d;
    static_cast<IObjectBase*>(b)->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"ObjValue");
    ASSERT_EQ(d->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 2);
    VARIANT arg;
    arg.vt = VT_I4;
    arg.lVal = 2;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&arg, &named, 1, 1};
    ASSERT_EQ(d->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(Value(b), 2);
}

class ButtonRecordTest : public ButtonObjectTest {
protected:
    ButtonRecord Record(int faces, bool effect) {
        ButtonRecord rec;
        rec.value = 1;
        rec.maxValue = 2;
        rec.flags = 1 | 2 | (2 << 2);
        rec.style = 3;
        rec.frameColor = 0x00FF00;
        CComPtr<FontObject> font;
        CreateFontObject(&font);
        font->SetText("Go");
        rec.caption = Saved(font, true);
        CComPtr<FillObject> fill;
        fill.Attach(CreateFillObject());
        std::vector<uint8_t> fillBytes = Saved(fill, false);
        for (int i = 0; i < faces; ++i) {
            RecordBytes f;
            f.Bytes(fillBytes);
            if (effect && i == 0) {
                f.U32(1);
                const uint8_t* id = reinterpret_cast<const uint8_t*>(&kTestBlend);
                f.Bytes(std::vector<uint8_t>(id, id + 16)).U32(7);
            } else {
                f.U32(0);
            }
            rec.faces.push_back(f.bytes);
            rec.alias.push_back(-1);
        }
        return rec;
    }
    std::vector<uint8_t> Stream(const ButtonRecord& rec) {
        ObjectPrefix prefix;
        std::vector<uint8_t> own = WriteButtonRecord(rec);
        prefix.eventProc.insert(prefix.eventProc.end(), own.begin(), own.end());
        return WriteObjectPrefix(prefix);
    }
};

TEST_F(ButtonRecordTest, LoadsFacesAliasesAndEffects) {
    ButtonRecord rec = Record(12, true);
    rec.alias[5] = 0;    // entry 5 shows entry 0's face
    rec.alias[6] = 99;   // outside the list: no face
    rec.alias[7] = -50;  // likewise
    ButtonObject* b = MakeButton(kPush);
    CComPtr<ITeskStream> s = MemStreamOf(Stream(rec));
    ASSERT_EQ(static_cast<IObjectBase*>(b)->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    EXPECT_EQ(Value(b), 1);
    EXPECT_EQ(b->FaceCount(), 12);
    ButtonFace *f0 = nullptr, *f5 = nullptr, *f6 = nullptr, *f7 = nullptr;
    b->GetFace(0, 0, &f0);
    b->GetFace(1, 1, &f5);
    b->GetFace(1, 2, &f6);
    b->GetFace(1, 3, &f7);
    EXPECT_EQ(f5, f0);
    EXPECT_EQ(f6, nullptr);
    EXPECT_EQ(f7, nullptr);
    ASSERT_EQ(f0->effects.size(), 1u);
    BSTR text = nullptr;
    b->get_ObjTextContent(&text);
    EXPECT_STREQ(text, L"Go");
    SysFreeString(text);
    // The effect widens the bounds of the face that shows it.
    b->put_ObjValue(0);
    RECT plain = {}, widened = {};
    static_cast<II_IRender*>(b)->GetBoundsRect(&widened);
    b->put_ObjValue(2);
    static_cast<II_IRender*>(b)->GetBoundsRect(&plain);
    EXPECT_EQ(widened.left, plain.left - 2);
    EXPECT_EQ(widened.bottom, plain.bottom + 2);
    // Drawing a look without a face draws nothing.
    b->put_ObjValue(1);
    static_cast<IObjectEvent*>(b)->FireEvent(EVT_MOUSEENTER, 0, 0, 0);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(300, 200));
    EXPECT_EQ(b->DrawContent(target, &plain), 1);
}

TEST_F(ButtonRecordTest, EveryDrawPathPutsTheFaceOnItsPlainBounds) {
    // Face 0 (value 0, normal look) carries the test effect, which widens
    // by 2 and copies the face into the middle; the ring stays transparent.
    ButtonObject* b = MakeButton(kPush);
    ASSERT_EQ(static_cast<IObjectBase*>(b)->Load(MemStreamOf(Stream(Record(12, true)))), S_OK);
    b->put_ObjValue(0);
    b->put_ObjStyle(0);
    b->put_ObjDrawFrame(0);
    RECT plain;
    b->ClassBase::GetBoundsRect(&plain);
    const DWORD key = 0x00563412;  // COLORREF: pixel 0x123456
    auto drawn = [&](int how) {
        CComPtr<IPixelBuffer> t;
        t.Attach(CreateGDIBuffer(300, 200));
        t->FillRect(nullptr, key);
        RECT bounds;
        b->GetBoundsRect(&bounds);
        if (how == 0)
            EXPECT_EQ(static_cast<II_IRender*>(b)->Draw(t), S_OK);
        else if (how == 1)
            EXPECT_EQ(static_cast<II_IRender*>(b)->InvalidateBounds(t), S_OK);
        else
            EXPECT_EQ(b->DrawContent(t, &bounds), S_OK);
        return t;
    };
    CComPtr<IPixelBuffer> viaDraw = drawn(0), viaSlot = drawn(1), direct = drawn(2);
    const LONG midY = (plain.top + plain.bottom) / 2;
    const struct {
        LONG x, y;
        DWORD pixel;
    } probes[] = {
        {plain.left, plain.top, 0xFFFFFF},  // the white face's corner
        {plain.right - 1, plain.bottom - 1, 0xFFFFFF},
        {plain.left + 3, midY, 0xFFFFFF},
        {plain.left - 1, midY, 0x123456},  // the effect's ring
        {plain.right + 1, midY, 0x123456},
        {plain.left - 3, midY, 0x123456},  // outside everything
    };
    for (IPixelBuffer* t : {viaDraw.p, viaSlot.p, direct.p})
        for (const auto& p : probes) EXPECT_EQ(PixelOf(t, p.x, p.y), p.pixel) << p.x << "," << p.y;
    // Half alpha goes through the render part's own buffer: the same place.
    b->SetAlpha(128);
    CComPtr<IPixelBuffer> half = drawn(0);
    DWORD inside = PixelOf(half, plain.left + 3, midY);
    EXPECT_NE(inside, 0xFFFFFFu);
    EXPECT_NE(inside, 0x123456u);
    EXPECT_EQ(PixelOf(half, plain.left - 3, midY), 0x123456u);
}

TEST_F(ButtonRecordTest, ReusedFacesAgreeWithFreshDraws) {
    // Every kind through a seeded run of changes; after each, the draw that
    // may reuse the last composed face gives the bytes of a fresh one.
    std::mt19937 rng(2024);
    auto pixels = [](IPixelBuffer* t) {
        BufferInfo info = {};
        info.dwSize = sizeof(info);
        info.wMask = BIM_ALL;
        t->GetBufferInfo(&info);
        std::vector<DWORD> all;
        for (int y = 0; y < info.nHeight; ++y) {
            const DWORD* row = reinterpret_cast<const DWORD*>(info.pPixels + y * info.nPitch);
            all.insert(all.end(), row, row + info.nWidth);
        }
        return all;
    };
    auto draw = [&](ButtonObject* b, bool reuse) {
        CComPtr<IPixelBuffer> t;
        t.Attach(CreateGDIBuffer(320, 220));
        BufferInfo info = {};
        info.dwSize = sizeof(info);
        info.wMask = BIM_ALL;
        t->GetBufferInfo(&info);
        for (int y = 0; y < info.nHeight; ++y)
            for (int x = 0; x < info.nWidth; ++x)
                reinterpret_cast<DWORD*>(info.pPixels + y * info.nPitch)[x] =
                    (DWORD)(x * 2654435761u ^ y * 40503u);
        const bool old = SetButtonFaceReuse(reuse);
        RECT bounds;
        b->GetBoundsRect(&bounds);
        b->DrawContent(t, &bounds);
        SetButtonFaceReuse(old);
        return pixels(t);
    };
    const char* texts[] = {"", "Go", "Start the show", "\xb0\xb4\xc5\xa5"};
    const COLORREF colors[] = {0, 0xFF, 0x123456, 0xFFFFFF};
    const std::vector<uint8_t> record = Stream(Record(12, true));
    for (DWORD kind : {kPush, k3Value, kCheck, kRadio}) {
        ButtonObject* b = MakeButton(kind);
        IObjectEvent* e = static_cast<IObjectEvent*>(b);
        for (int step = 0; step < 70; ++step) {
            const int v = (int)(rng() % 4);
            switch (rng() % 15) {
                case 0: {
                    BSTR text = BstrFromMultibyte(texts[v]);
                    b->put_ObjTextContent(text);
                    SysFreeString(text);
                    break;
                }
                case 1:
                    b->put_ObjTextColor((LONG)colors[v]);
                    break;
                case 2:
                    b->put_ObjStyle((LONG)(rng() % 5));
                    break;
                case 3:
                    b->put_ObjDrawFrame(v & 1);
                    break;
                case 4:
                    b->put_ObjFrameColor((LONG)colors[v]);
                    break;
                case 5:
                    b->put_ObjTextAlign(v);
                    break;
                case 6:
                    b->put_ObjValue(v % 3);
                    break;
                case 7:
                    b->put_ObjEnable(v != 0);
                    break;
                case 8: {
                    const DWORD events[] = {EVT_MOUSEENTER, EVT_MOUSELEAVE, EVT_LBUTTONDOWN,
                                            EVT_LBUTTONUP};
                    e->FireEvent(events[v], 0, MAKELONG(150, 100), 0);
                    break;
                }
                case 9:
                    b->SetWidth(20 + (LONG)(rng() % 200));
                    b->SetHeight(10 + (LONG)(rng() % 80));
                    break;
                case 10:
                    b->MoveTo(100 + (LONG)(rng() % 100), 60 + (LONG)(rng() % 80));
                    break;
                case 11:
                    b->SetMaxValue(v % 3);
                    break;
                case 12:
                    ASSERT_EQ(static_cast<IObjectBase*>(b)->Load(MemStreamOf(record)), S_OK);
                    break;
                default:  // nothing changes
                    break;
            }
            const std::vector<DWORD> reused = draw(b, true);
            ASSERT_EQ(reused, draw(b, false)) << "kind " << kind << " step " << step;
        }
        // A face handed out and changed: the next draw shows the change.
        ButtonFace* face = nullptr;
        b->put_ObjEnable(1);
        e->FireEvent(EVT_MOUSELEAVE, 0, 0, 0);
        LONG value = 0;
        b->get_ObjValue(&value);
        draw(b, true);
        ASSERT_EQ(b->GetFace(value, LOOK_NORMAL, &face), S_OK);
        ASSERT_NE(face, nullptr);
        face->fill->SetFillType(FILL_SOLID);
        void* params = nullptr;
        face->fill->GetFillParams(&params);
        static_cast<ISolidFillParams*>(params)->SetColor(0x2040C0);
        ASSERT_EQ(draw(b, true), draw(b, false)) << "kind " << kind;
    }
}

TEST_F(ButtonRecordTest, BadCountsAndUnknownEffectsAreRefused) {
    // A face count beyond the stream.
    ButtonRecord rec = Record(1, false);
    rec.alias = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    rec.faces.clear();
    ButtonObject* b = MakeButton(kPush);
    EXPECT_EQ(static_cast<IObjectBase*>(b)->Load(MemStreamOf(Stream(rec))), E_FAIL);
    // An effect count beyond the stream.
    rec = Record(1, false);
    rec.faces[0].resize(rec.faces[0].size() - 4);
    RecordBytes f;
    f.Bytes(rec.faces[0]).U32(1000000);
    rec.faces[0] = f.bytes;
    b = MakeButton(kPush);
    EXPECT_EQ(static_cast<IObjectBase*>(b)->Load(MemStreamOf(Stream(rec))), E_FAIL);
    // An effect no module makes.
    rec = Record(1, true);
    rec.faces[0][rec.faces[0].size() - 20] ^= 0xFF;
    b = MakeButton(kPush);
    EXPECT_EQ(static_cast<IObjectBase*>(b)->Load(MemStreamOf(Stream(rec))), E_FAIL);
}

TEST_F(ButtonRecordTest, TruncatedAndCorruptedRecords) {
    std::vector<uint8_t> bytes = Stream(Record(4, true));
    size_t start = WriteObjectPrefix(ObjectPrefix()).size() - 8;
    for (size_t n = start; n < bytes.size() - 8; ++n) {
        ButtonObject* b = MakeButton(kPush);
        CComPtr<ITeskStream> s =
            MemStreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_NE(static_cast<IObjectBase*>(b)->Load(s), S_OK) << n;
        EXPECT_LE(s->GetPosition(), n);
    }
    std::mt19937 random(1103);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(300, 200));
    for (int round = 0; round < 60; ++round) {
        std::vector<uint8_t> bad = bytes;
        for (int k = 0; k < 3; ++k)
            bad[start + random() % (bad.size() - start - 8)] = (uint8_t)random();
        ButtonObject* b = MakeButton(kPush);
        CComPtr<ITeskStream> s = MemStreamOf(bad);
        static_cast<IObjectBase*>(b)->Load(s);
        EXPECT_LE(s->GetPosition(), bad.size());
        RECT r;
        b->GetBoundsRect(&r);
        b->DrawContent(target, &r);
        Click(b);
    }
}

TEST_F(ButtonObjectTest, PictureFacesReportTheirFilesBeforeTheCursor) {
    ButtonObject* b = MakeButton(k3Value);
    // Picture fills on two faces of different values; the rest stay solid.
    const struct {
        LONG value, look;
        const char* name;
    } faces[] = {{0, LOOK_HOT, "Sky"}, {2, LOOK_NORMAL, "Sea"}};
    for (const auto& f : faces) {
        ButtonFace* face = nullptr;
        ASSERT_EQ(b->GetFace(f.value, f.look, &face), S_OK);
        ASSERT_EQ(face->fill->SetFillType(FILL_PICTURE), S_OK);
        void* params = nullptr;
        ASSERT_EQ(face->fill->GetFillParams(&params), S_OK);
        static_cast<IPictureFillParams*>(params)->SetPictureName(f.name);
    }
    b->Cursor()->FromText("1,5");
    CComObject<FileList>* list = nullptr;
    CComObject<FileList>::CreateInstance(&list);
    CComPtr<IFileCollector> keep(list);
    // The same report through the object's slot and the render part's.
    EXPECT_EQ(static_cast<IObjectBase*>(b)->CollectFiles(list), S_OK);
    EXPECT_EQ(list->files, (std::vector<std::string>{"2:Sky", "2:Sea", "2000:5"}));
    list->files.clear();
    EXPECT_EQ(static_cast<II_IRender*>(b)->CollectFiles(list), S_OK);
    EXPECT_EQ(list->files, (std::vector<std::string>{"2:Sky", "2:Sea", "2000:5"}));
    EXPECT_EQ(static_cast<IObjectBase*>(b)->CollectFiles(nullptr), E_POINTER);
}

}  // namespace
