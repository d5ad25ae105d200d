#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "ProjectWriter.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "VectorRecords.h"
#include "aGDIBuf.h"
#include "aGrphMta.h"
#include "aPhyMeta.h"
#include "aStorage.h"
#include "aVctObj.h"
#include "bByteReader.h"
#include "bFillPic.h"
#include "bFillShd.h"

namespace {

struct Bstr {
    explicit Bstr(const std::wstring& text) : b(SysAllocString(text.c_str())) {}
    ~Bstr() { SysFreeString(b); }
    operator BSTR() const { return b; }
    BSTR b;
};

DWORD PixelOf(IPixelBuffer* buffer, int x, int y) {
    BufferInfo info = {};
    info.dwSize = sizeof(info);
    info.wMask = BIM_ALL;
    buffer->GetBufferInfo(&info);
    return reinterpret_cast<const DWORD*>(info.pPixels + (ptrdiff_t)y * info.nPitch)[x] &
           0x00FFFFFF;
}

std::vector<POINT> PointsOf(const CGraphMeta* m) {
    return std::vector<POINT>(m->GetData(), m->GetData() + m->GetCount());
}

bool SamePoints(const std::vector<POINT>& a, const std::vector<POINT>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].x != b[i].x || a[i].y != b[i].y)
            return false;
    return true;
}

class VectorObjectTest : public ObjectFixture {
protected:
    // 200 x 100 centred at (200, 150) on a 400 x 300 page.
    VectorObject* MakeVector() {
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(CreateVectorObject(&unknown), S_OK);
        if (!unknown)
            return nullptr;
        objects.push_back(unknown);
        CComPtr<IObjectBase> base;
        unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        EXPECT_EQ(base->Init(&creation), S_OK);
        VectorObject* v = static_cast<VectorObject*>(static_cast<IObjectBase*>(base.p));
        v->MoveTo(200, 150);
        v->SetWidth(200);
        v->SetHeight(100);
        return v;
    }
    // A filled shape of the kind in the object's frame, relative to its
    // centre, outlined in its own colour.
    static CGraphMeta* Filled(VectorObject* v, int kind, RECT r, COLORREF color, int id = 1) {
        CGraphMeta* m = new CGraphMeta(v->FrameOwner()->GetMetaEnv());
        m->SetKind(kind);
        m->AddPoint(r.left, r.top);
        m->AddPoint(r.right, r.bottom);
        m->SetFillType(FILL_SOLID);
        m->SetFillMode(FILLMODE_FILL);
        m->SetColor(color);
        m->SetMainColor(color);
        m->SetMetaId(id);
        m->FinishShape();
        return m;
    }
    static CKeyFrame* Key(VectorObject* v, int time, std::vector<CGraphMeta*> metas) {
        CKeyFrame* k = v->NewKeyFrame(time);
        for (CGraphMeta* m : metas) k->frame->AddMeta(m, METATYPE_GRAPH);
        return k;
    }
    // Replaces the key frames by these.
    static void SetKeys(VectorObject* v, std::vector<CKeyFrame*> keys) {
        CComPtr<ITeskStream> empty =
            MemStreamOf(RecordWriter().I32(1200).I32(0).I32(50).I32(0).Get());
        ASSERT_EQ(v->LoadKind(empty), S_OK);
        for (CKeyFrame* k : keys) ASSERT_EQ(v->AddKeyFrame(k), S_OK);
    }
    // Null: the white page alone.
    CComPtr<IPixelBuffer> Draw(VectorObject* v) {
        CComPtr<IPixelBuffer> target;
        target.Attach(CreateGDIBuffer(400, 300));
        target->FillRect(nullptr, 0xFFFFFF);
        if (v) {
            EXPECT_EQ(static_cast<II_IRender*>(v)->Draw(target), S_OK);
        }
        return target;
    }
    static std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
};

}  // namespace

TEST_F(VectorObjectTest, NewObjectHasOneEmptyKeyFrame) {
    VectorObject* v = MakeVector();
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(v->KeyFrameCount(), 1);
    EXPECT_EQ(v->KeyFrame(0)->time, 0);
    EXPECT_EQ(v->KeyFrame(0)->frame->GetCount(), 0);
    EXPECT_EQ(v->KeyFrame(0)->split, 1);
    EXPECT_EQ(v->CurrentFrame(), v->KeyFrame(0)->frame);
    EXPECT_EQ(v->PlaySetting(), 50);
    v->ShowTime(300);
    EXPECT_EQ(v->CurrentFrame(), v->KeyFrame(0)->frame);
    EXPECT_EQ(v->InterfaceSupportsErrorInfo(__uuidof(IVectorDispObj)), S_OK);
    EXPECT_EQ(v->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

TEST_F(VectorObjectTest, TicksShowKeyFramesAndTweensBetween) {
    VectorObject* v = MakeVector();
    SetKeys(v, {Key(v, 100, {Filled(v, GRAPH_RECT, {-20, -20, 20, 20}, RGB(255, 0, 0))}),
                Key(v, 1100, {Filled(v, GRAPH_RECT, {-20, -20, 20, 20}, RGB(0, 0, 255))})});
    v->ShowTime(50);  // before the first
    EXPECT_EQ(v->CurrentFrame(), v->KeyFrame(0)->frame);
    v->ShowTime(600);
    EXPECT_EQ(v->CurrentKeyIndex(), -1);
    ASSERT_NE(v->CurrentFrame(), nullptr);
    ASSERT_EQ(v->CurrentFrame()->GetCount(), 1);
    CComPtr<IPixelBuffer> half = Draw(v);
    EXPECT_EQ(PixelOf(half, 200, 150), 0x7F007Fu);
    EXPECT_EQ(PixelOf(half, 250, 150), 0xFFFFFFu);
    v->ShowTime(1100);
    EXPECT_EQ(v->CurrentFrame(), v->KeyFrame(1)->frame);
    EXPECT_EQ(v->CurrentKeyIndex(), 1);
    v->ShowTime(5000);
    EXPECT_EQ(v->CurrentFrame(), v->KeyFrame(1)->frame);
    EXPECT_EQ(PixelOf(Draw(v), 200, 150), 0x0000FFu);  // blue

    // The working copies are made once for the key frames.
    const int made = v->Preparations();
    v->ShowTime(300);
    v->ShowTime(700);
    EXPECT_EQ(v->Preparations(), made);
}

TEST_F(VectorObjectTest, KeptPairsDrawWhatFreshOnesDraw) {
    // Three key frames: by points into the second (a square and an ellipse
    // against one rectangle), then by matching into the third.
    auto keys = [](VectorObject* o) {
        CKeyFrame* a = Key(o, 0,
                           {Filled(o, GRAPH_RECT, {-60, -30, -10, 20}, RGB(255, 0, 0)),
                            Filled(o, GRAPH_ELLIPSE, {10, -40, 90, 30}, RGB(0, 0, 255), 2)});
        CKeyFrame* b = Key(o, 1000, {Filled(o, GRAPH_RECT, {-90, -10, 50, 40}, RGB(0, 160, 0))});
        CKeyFrame* c =
            Key(o, 2000, {Filled(o, GRAPH_ELLIPSE, {-30, -45, 30, 15}, RGB(200, 200, 0))});
        b->kind = 1;
        b->mapping = new MorphMapping{{1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.5f}};
        return std::vector<CKeyFrame*>{a, b, c};
    };
    auto same = [](IPixelBuffer* x, IPixelBuffer* y) {
        for (int row = 0; row < 300; ++row)
            for (int col = 0; col < 400; ++col)
                if (PixelOf(x, col, row) != PixelOf(y, col, row))
                    return false;
        return true;
    };
    VectorObject* kept = MakeVector();
    SetKeys(kept, keys(kept));
    const RECT before = {100, 100, 300, 200}, after = {100, 100, 360, 200};
    // Times in and out of both pairs; then a layout change.
    const struct {
        DWORD t;
        int pairs;  // made so far
        bool moved;
    } ticks[] = {{250, 1, false},  {600, 1, false}, {1500, 2, false}, {1000, 2, false},
                 {1750, 2, false}, {750, 3, false}, {300, 3, false},  {1250, 4, false},
                 {1250, 5, true},  {1600, 5, true}, {400, 6, true}};
    bool isMoved = false;
    for (const auto& k : ticks) {
        if (k.moved && !isMoved) {
            kept->OnGeometryChanged(&before, &after, 0);
            isMoved = true;
        }
        kept->ShowTime(k.t);
        EXPECT_EQ(kept->PairsMade(), k.pairs) << k.t;
        VectorObject* fresh = MakeVector();
        SetKeys(fresh, keys(fresh));
        if (k.moved)
            fresh->OnGeometryChanged(&before, &after, 0);
        fresh->ShowTime(k.t);
        CComPtr<IPixelBuffer> x = Draw(kept), y = Draw(fresh);
        EXPECT_FALSE(same(y, Draw(nullptr))) << k.t << ": something is drawn";
        EXPECT_TRUE(same(x, y)) << k.t;
    }
}

TEST_F(VectorObjectTest, TweenTakesTheEarlierKeyFramesParameters) {
    VectorObject* v = MakeVector();
    // By id the left shape (id 1) goes to the lower one (id 1); by order to
    // the upper one.
    CKeyFrame* a = Key(v, 0,
                       {Filled(v, GRAPH_RECT, {-80, -10, -60, 10}, RGB(255, 0, 0), 1),
                        Filled(v, GRAPH_RECT, {60, -10, 80, 10}, RGB(255, 0, 0), 2)});
    CKeyFrame* b = Key(v, 1000,
                       {Filled(v, GRAPH_RECT, {-10, -40, 10, -20}, RGB(255, 0, 0), 2),
                        Filled(v, GRAPH_RECT, {-10, 20, 10, 40}, RGB(255, 0, 0), 1)});
    a->pairing = 1;
    b->pairing = 0;
    SetKeys(v, {a, b});
    v->ShowTime(500);
    ASSERT_EQ(v->CurrentFrame()->GetCount(), 2);
    EXPECT_TRUE(SamePoints(PointsOf(v->CurrentFrame()->GetGraphMeta(0)),
                           {{-45, 5}, {-25, 5}, {-25, 25}, {-45, 25}}));
}

TEST_F(VectorObjectTest, PixelsHitsAndTurning) {
    VectorObject* v = MakeVector();
    SetKeys(v, {Key(v, 0, {Filled(v, GRAPH_RECT, {-20, -20, 20, 20}, RGB(255, 0, 0))})});
    v->ShowTime(0);
    EXPECT_EQ(v->HitTestPoint(200, 150), 0);
    EXPECT_EQ(v->HitTestPoint(260, 150), 1);  // inside the object, beside the square

    // A 100 x 20 bar drawn at 90 degrees stands upright.
    VectorObject* w = MakeVector();
    SetKeys(w, {Key(w, 0, {Filled(w, GRAPH_RECT, {-50, -10, 50, 10}, RGB(0, 128, 0))})});
    w->ShowTime(0);
    w->put_ObjDegree(90);
    CComPtr<IPixelBuffer> t = Draw(w);
    EXPECT_EQ(PixelOf(t, 200, 150), 0x008000u);
    EXPECT_EQ(PixelOf(t, 200, 185), 0x008000u);
    EXPECT_EQ(PixelOf(t, 235, 150), 0xFFFFFFu);
    EXPECT_EQ(w->KeyFrame(0)->frame->GetGraphMeta(0)->Bounds().right, 50) << "stored unturned";
}

// A 100 x 50 block centred on the object, filled red through its holder.
TEST_F(VectorObjectTest, FiguresFillAndTurnWithTheObject) {
    auto block = [](VectorObject* v) {
        CPhysMeta* m = new CPhysMeta(v->FrameOwner()->GetMetaEnv());
        m->SetKind(83);
        for (int p : {-12800, -6400, 25600, 12800}) m->Params1().Append(p);
        m->SetFillType(FILL_SOLID);
        m->SetFillMode(FILLMODE_FILL);
        m->SetColor(RGB(255, 0, 0));
        m->SetMainColor(RGB(255, 0, 0));
        m->AddHolder();
        CKeyFrame* k = v->NewKeyFrame(0);
        k->frame->AddMeta(m, METATYPE_PHYS);
        return k;
    };
    VectorObject* v = MakeVector();
    SetKeys(v, {block(v)});
    v->ShowTime(0);
    CComPtr<IPixelBuffer> t = Draw(v);
    EXPECT_EQ(PixelOf(t, 200, 150), 0xFF0000u);
    EXPECT_EQ(PixelOf(t, 240, 150), 0xFF0000u);
    EXPECT_EQ(PixelOf(t, 260, 150), 0xFFFFFFu);
    EXPECT_EQ(v->HitTestPoint(200, 150), 0);
    EXPECT_EQ(v->HitTestPoint(270, 150), 1);

    // Turned by 90 degrees the block stands upright.
    v->put_ObjDegree(90);
    t = Draw(v);
    EXPECT_EQ(PixelOf(t, 200, 190), 0xFF0000u);
    EXPECT_EQ(PixelOf(t, 240, 150), 0xFFFFFFu);
    EXPECT_EQ(v->HitTestPoint(200, 190), 0);
    // Turned back, it lies again.
    v->put_ObjDegree(0);
    t = Draw(v);
    EXPECT_EQ(PixelOf(t, 240, 150), 0xFF0000u);
    EXPECT_EQ(PixelOf(t, 200, 190), 0xFFFFFFu);
}

TEST_F(VectorObjectTest, LayoutChangeMovesEveryKeyFrame) {
    VectorObject* v = MakeVector();
    SetKeys(v, {Key(v, 0, {Filled(v, GRAPH_RECT, {0, 0, 10, 10}, RGB(255, 0, 0))}),
                Key(v, 1000, {Filled(v, GRAPH_RECT, {20, 0, 30, 10}, RGB(255, 0, 0))})});
    v->ShowTime(500);
    const int made = v->Preparations();
    // Wider to the right: the centre moves by 50, the shapes stay.
    const RECT before = {100, 100, 300, 200}, after = {100, 100, 400, 200};
    v->OnGeometryChanged(&before, &after, 0);
    EXPECT_EQ(v->KeyFrame(0)->frame->GetGraphMeta(0)->Bounds().left, -50);
    EXPECT_EQ(v->KeyFrame(1)->frame->GetGraphMeta(0)->Bounds().left, -30);
    v->ShowTime(600);
    EXPECT_EQ(v->Preparations(), made + 1);
}

TEST_F(VectorObjectTest, EventsStartAndStop) {
    VectorObject* v = MakeVector();
    EXPECT_EQ(v->GetStartCode(), 1200);
    v->FireEvent(EVT_OBJECTENTER, 0, 0, 0);
    EXPECT_EQ(v->CAbility::GetState(), ABILITY_RUNNING);
    EXPECT_EQ(v->Preparations(), 1);
    v->FireEvent(EVT_OBJECTEXIT, 0, 0, 0);
    EXPECT_EQ(v->CAbility::GetState(), ABILITY_STOPPED);
    EXPECT_EQ(v->ObjStart(), S_OK);
    EXPECT_EQ(v->ObjPause(), S_OK);
    EXPECT_EQ(v->CAbility::GetState(), ABILITY_PAUSED);
    v->FireEvent(EVT_OBJECTEXIT, 0, 0, 0);
    EXPECT_EQ(v->CAbility::GetState(), ABILITY_STOPPED);
}

TEST_F(VectorObjectTest, RecordRoundTripAndDamage) {
    VectorObject* v = MakeVector();
    CKeyFrame* a = Key(v, 0, {Filled(v, GRAPH_RECT, {-20, -20, 20, 20}, RGB(255, 0, 0))});
    a->kind = 1;
    a->mapping = new MorphMapping{{1, 2, 3, 4, 5, 6, 0.5f}};
    SetKeys(v, {a, Key(v, 2000, {Filled(v, GRAPH_ELLIPSE, {-30, -30, 30, 30}, RGB(0, 0, 255))})});
    CComPtr<ITeskStream> out = NewMemStream();
    ASSERT_EQ(v->SaveKind(out), S_OK);
    const std::vector<uint8_t> bytes = ContentBytes(out);
    // Codes, setting, count; key 0: kind 1, split 1, pairing 0, reference 0,
    // the seven floats.
    CByteReader r(bytes.data(), bytes.size());
    EXPECT_EQ(r.I32LE(), 1200);
    r.Skip(4);
    EXPECT_EQ(r.I32LE(), 50);
    EXPECT_EQ(r.I32LE(), 2);
    EXPECT_EQ(r.I32LE(), 1);
    EXPECT_EQ(r.I32LE(), 1);
    EXPECT_EQ(r.I32LE(), 0);
    EXPECT_EQ(r.I32LE(), 0) << "no memory address is stored";

    VectorObject* back = MakeVector();
    ASSERT_EQ(back->LoadKind(MemStreamOf(bytes)), S_OK);
    ASSERT_EQ(back->KeyFrameCount(), 2);
    EXPECT_EQ(back->KeyFrame(1)->time, 2000);
    ASSERT_NE(back->KeyFrame(0)->mapping, nullptr);
    EXPECT_EQ(back->KeyFrame(0)->mapping->values[3], 4.0f);
    EXPECT_EQ(back->KeyFrame(1)->mapping, nullptr);
    EXPECT_EQ(back->CurrentFrame(), back->KeyFrame(0)->frame);
    EXPECT_TRUE(SamePoints(PointsOf(back->KeyFrame(1)->frame->GetGraphMeta(0)),
                           PointsOf(v->KeyFrame(1)->frame->GetGraphMeta(0))));

    // Every cut copy and a count beyond the stream are refused whole.
    for (size_t n = 0; n < bytes.size(); ++n) {
        ASSERT_EQ(back->LoadKind(MemStreamOf(Cut(bytes, n))), E_FAIL) << n;
        ASSERT_EQ(back->KeyFrameCount(), 2) << n;
    }
    std::vector<uint8_t> many = bytes;
    many[12] = 0xFF;
    many[13] = 0xFF;
    EXPECT_EQ(back->LoadKind(MemStreamOf(many)), E_FAIL);
    many[15] = 0x80;  // negative
    EXPECT_EQ(back->LoadKind(MemStreamOf(many)), E_FAIL);
    EXPECT_EQ(back->KeyFrameCount(), 2);

    // No key frames: nothing shown.
    ASSERT_EQ(back->LoadKind(MemStreamOf(RecordWriter().I32(1200).I32(0).I32(50).I32(0).Get())),
              S_OK);
    EXPECT_EQ(back->CurrentFrame(), nullptr);
    EXPECT_EQ(back->CurrentKeyIndex(), -1);
    back->ShowTime(100);
    EXPECT_EQ(back->CurrentFrame(), nullptr);
    EXPECT_EQ(PixelOf(Draw(back), 200, 150), 0xFFFFFFu);
}

TEST_F(VectorObjectTest, RecordWrittenFieldByFieldIsReadAndWrittenBack) {
    // A red square at 0 that morphs by matching into a blue rectangle at
    // 2000 paired by id; codes 1200 and 1201, setting 7.
    auto bytesOf = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    GraphMetaFields square;
    square.points = {{-40, -40}, {40, 40}};
    square.bounds = {-40, -40, 40, 40};
    square.fill = bytesOf(SolidFillRecord(0x0000FF));
    square.line = WriteLineModeRecord(LineModeFields());
    GraphMetaFields wide = square;
    wide.points = {{-60, -30}, {60, 30}};
    wide.bounds = {-60, -30, 60, 30};
    wide.fill = bytesOf(SolidFillRecord(0xFF0000));
    wide.metaId = 2;
    VectorObjectRecord rec;
    rec.pauseCode = 1201;
    rec.setting = 7;
    rec.keys.resize(2);
    rec.keys[0].kind = 1;
    rec.keys[0].mapping[5] = 3.0f;
    rec.keys[0].nextId = 2;
    rec.keys[0].metas = {{METATYPE_GRAPH, GraphMetaRecord(square)}};
    rec.keys[1].time = 2000;
    rec.keys[1].pairing = 1;
    rec.keys[1].nextId = 3;
    rec.keys[1].metas = {{METATYPE_GRAPH, GraphMetaRecord(wide)}};
    ObjectPrefix prefix;
    prefix.x = 200;
    prefix.y = 150;
    std::vector<uint8_t> bytes = WriteObjectPrefix(prefix);
    const std::vector<uint8_t> own = WriteVectorObjectRecord(rec);
    bytes.insert(bytes.end(), own.begin(), own.end());

    VectorObject* v = MakeVector();
    CComPtr<ITeskStream> s = MemStreamOf(bytes);
    ASSERT_EQ(static_cast<IObjectBase*>(v)->Load(s), S_OK);
    EXPECT_EQ(s->GetPosition(), s->GetSize());
    EXPECT_EQ(v->GetStartCode(), 1200);
    EXPECT_EQ(v->GetPauseCode(), 1201);
    EXPECT_EQ(v->PlaySetting(), 7);
    ASSERT_EQ(v->KeyFrameCount(), 2);
    EXPECT_EQ(v->KeyFrame(0)->kind, 1);
    ASSERT_NE(v->KeyFrame(0)->mapping, nullptr);
    EXPECT_EQ(v->KeyFrame(0)->mapping->values[5], 3.0f);
    EXPECT_EQ(v->KeyFrame(0)->mapping->values[6], 0.5f);
    EXPECT_EQ(v->KeyFrame(1)->mapping, nullptr);
    EXPECT_EQ(v->KeyFrame(1)->time, 2000);
    EXPECT_EQ(v->KeyFrame(1)->pairing, 1);
    ASSERT_EQ(v->KeyFrame(1)->frame->GetCount(), 1);
    EXPECT_EQ(v->KeyFrame(1)->frame->GetGraphMeta(0)->Bounds().left, -60);
    EXPECT_EQ(v->KeyFrame(1)->frame->GetGraphMeta(0)->GetMetaId(), 2);

    // Half way: corner by corner between the two, half blue.
    v->ShowTime(1000);
    ASSERT_EQ(v->CurrentFrame()->GetCount(), 1);
    EXPECT_TRUE(SamePoints(PointsOf(v->CurrentFrame()->GetGraphMeta(0)),
                           {{-50, -35}, {50, -35}, {50, 35}, {-50, 35}}));
    CComPtr<IPixelBuffer> half = Draw(v);
    EXPECT_EQ(PixelOf(half, 200, 150), 0x7F007Fu);
    EXPECT_EQ(PixelOf(half, 245, 150), 0x7F007Fu);
    EXPECT_EQ(PixelOf(half, 255, 150), 0xFFFFFFu);

    // Written back: the same bytes.
    CComPtr<ITeskStream> out = NewMemStream();
    ASSERT_EQ(v->SaveKind(out), S_OK);
    EXPECT_TRUE(ContentBytes(out) == own);
}

TEST_F(VectorObjectTest, VectorFilesRoundTripAndWrongHeaders) {
    TempFolder dir;
    const std::string path = dir.Path() + "\\shape.vec";
    VectorObject* v = MakeVector();
    SetKeys(v, {Key(v, 0, {Filled(v, GRAPH_RECT, {-20, -10, 30, 40}, RGB(255, 0, 0))}),
                Key(v, 500, {})});
    v->ShowTime(0);
    Bstr name(Wide(path)), none(L"");
    EXPECT_EQ(v->SaveToFile(none, 0), S_FALSE);
    EXPECT_EQ(v->SaveToFile(name, 1), S_FALSE);
    ASSERT_EQ(v->SaveToFile(name, 0), S_OK);

    EXPECT_EQ(v->LoadFromFile(none, 0), S_FALSE);
    EXPECT_EQ(v->KeyFrameCount(), 2) << "kept";
    VectorObject* w = MakeVector();
    ASSERT_EQ(w->LoadFromFile(name, 0), S_OK);
    ASSERT_EQ(w->KeyFrameCount(), 1);
    ASSERT_EQ(w->CurrentFrame()->GetCount(), 1);
    EXPECT_TRUE(SamePoints(PointsOf(w->CurrentFrame()->GetGraphMeta(0)),
                           PointsOf(v->KeyFrame(0)->frame->GetGraphMeta(0))));

    // Header: size, magic, 2, 1, gap.
    const std::string text = ReadFileBytes(path);
    const std::vector<uint8_t> file(text.begin(), text.end());
    ASSERT_GT(file.size(), 20u);
    const std::vector<uint8_t> body(file.begin() + 20, file.end());
    auto withHeader = [&](int size, uint32_t magic, int gap, int filler = -1) {
        RecordWriter h;
        h.I32(size).I32((int32_t)magic).I32(2).I32(1).I32(gap);
        for (int i = 20; i < size; ++i) h.Bytes({0});
        for (int i = 0; i < (filler < 0 ? gap : filler); ++i) h.Bytes({0xEE});
        return h.Bytes(body).Get();
    };
    ASSERT_TRUE(WriteFileBytes(path, withHeader(24, VECFILE_MAGIC, 3)));
    ASSERT_EQ(w->LoadFromFile(name, 0), S_OK) << "a longer header and a gap";
    EXPECT_EQ(w->CurrentFrame()->GetCount(), 1);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } bad[] = {
        {"wrong magic", withHeader(20, 0x19981122, 0)},
        {"header too short", withHeader(16, VECFILE_MAGIC, 0)},
        {"header too long", withHeader(257, VECFILE_MAGIC, 0)},
        {"gap past the file", withHeader(20, VECFILE_MAGIC, 0x7FFFFFF0, 3)},
        {"cut header", std::vector<uint8_t>(file.begin(), file.begin() + 12)},
        {"empty", {}},
    };
    for (const auto& c : bad) {
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        LogCapture log;
        EXPECT_EQ(w->LoadFromFile(name, 0), S_FALSE) << c.name;
        EXPECT_TRUE(Logged(log.Text(), "error file header to read.")) << c.name;
        ASSERT_EQ(w->KeyFrameCount(), 1) << c.name;
        EXPECT_EQ(w->CurrentFrame()->GetCount(), 0) << c.name;
    }
    Bstr missing(Wide(dir.Path() + "\\none.vec"));
    EXPECT_EQ(w->LoadFromFile(missing, 0), E_UNEXPECTED);
}

TEST_F(VectorObjectTest, PicturesOfEveryKeyFrameAreCollected) {
    VectorObject* v = MakeVector();
    // Picture fills in both key frames, a plain one between them.
    auto pictured = [&](const char* name) {
        CGraphMeta* m = Filled(v, GRAPH_RECT, {-20, -20, 20, 20}, RGB(255, 0, 0));
        EXPECT_EQ(m->SetFillType(FILL_PICTURE), S_OK);
        void* params = nullptr;
        EXPECT_EQ(m->GetFill()->GetFillParams(&params), S_OK);
        static_cast<IPictureFillParams*>(params)->SetPictureName(name);
        return m;
    };
    SetKeys(v, {Key(v, 0, {pictured("Sky"), Filled(v, GRAPH_RECT, {0, 0, 5, 5}, RGB(0, 0, 255))}),
                Key(v, 1000, {pictured("Sea")})});
    v->ShowTime(0);
    CComObject<FileList>* list = nullptr;
    CComObject<FileList>::CreateInstance(&list);
    CComPtr<IFileCollector> keep(list);
    EXPECT_EQ(static_cast<IObjectBase*>(v)->CollectFiles(list), S_OK);
    EXPECT_EQ(list->files, (std::vector<std::string>{"2:Sky", "2:Sea"}));
    list->files.clear();
    EXPECT_EQ(static_cast<II_IRender*>(v)->CollectFiles(list), S_OK);
    EXPECT_EQ(list->files, (std::vector<std::string>{"2:Sky", "2:Sea"}));
    EXPECT_EQ(static_cast<IObjectBase*>(v)->CollectFiles(nullptr), E_POINTER);
}
