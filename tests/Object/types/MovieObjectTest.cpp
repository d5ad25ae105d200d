#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>

#include "FakeFlash.h"
#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "PictureFixtures.h"
#include "ServiceFakes.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aGDIBuf.h"
#include "aMovObj.h"
#include "bStrConv.h"

namespace {

// Frame k of the test animation is one colour: red k * 20, blue 200.
COLORREF FrameColour(int k) {
    return RGB(k * 20, 0, 200);
}

// 12 frames of 8 x 6 pixels, each filling the picture with its own colour,
// shown 100 ms each.
std::string TwelveFrameGif() {
    picfix::GifAnimSpec s;
    s.width = 8;
    s.height = 6;
    s.palette.assign(768, 0);
    for (int k = 0; k < 12; ++k) {
        s.palette[3 * k] = (uint8_t)GetRValue(FrameColour(k));
        s.palette[3 * k + 2] = (uint8_t)GetBValue(FrameColour(k));
        picfix::GifFrameSpec f;
        f.width = 8;
        f.height = 6;
        f.control = true;
        f.delay = 10;
        f.indexes.assign(48, (uint8_t)k);
        s.frames.push_back(f);
    }
    picfix::Bytes b = picfix::WriteGifAnimation(s);
    return std::string(b.begin(), b.end());
}

// Items named "Anim" are GIF animations (subtype 1032), "Swf" Flash movies
// (1034), "Song" a sound (1024).
class MovieMediaManager : public FakeMediaManager {
public:
    STDMETHOD(GetMediaType)(const char* name, int* type, int* subtype) override {
        static const struct {
            const char* name;
            int subtype;
        } kinds[] = {{"Anim", 1032}, {"Swf", 1034}, {"Song", 1024}};
        for (const auto& k : kinds)
            if (lstrcmpiA(k.name, name) == 0) {
                *type = 1000;
                *subtype = k.subtype;
                return S_OK;
            }
        return E_FAIL;
    }
};

// A control that opens anything and keeps what it is told.
class FakeAnimControl : public MediaObjectBase {
public:
    FakeAnimControl() : MediaObjectBase(nullptr) {}
    STDMETHOD(Open)(const void* nameOrData, DWORD size) override {
        opened = size == 0 ? static_cast<const char*>(nameOrData) : "(memory)";
        m_duration = 40;
        m_endPos = 40;
        m_videoWidth = 30;
        m_videoHeight = 20;
        return S_OK;
    }
    STDMETHOD(IsClosed)() override { return opened.empty() ? 1 : S_OK; }
    STDMETHOD(SetKindFromFileName)(const char*, char*) override { return S_OK; }
    STDMETHOD(GetMCIDeviceType)(char* buffer) override {
        buffer[0] = 0;
        return S_OK;
    }
    STDMETHOD(put_FrameRect)(const RECT* r) override {
        frameRects.push_back(*r);
        return S_OK;
    }
    std::string opened;
    std::vector<RECT> frameRects;
};

HRESULT MakeFakeControl(int, IPlayerSite*, IMediaObjectBase** out) {
    *out = new FakeAnimControl;
    (*out)->AddRef();
    return S_OK;
}

// The movie with the animation control's Flash operations recorded.
class FlashMovie : public MovieObject {
public:
    HRESULT FlashOpen(const char* path) override {
        calls.push_back(std::string("open ") + path);
        return Control()->Open(path, 0);
    }
    HRESULT FlashPlay() override { return Note("play"); }
    HRESULT FlashStop() override { return Note("stop"); }
    HRESULT FlashGotoFrame(LONG frame) override { return Note("goto " + std::to_string(frame)); }
    HRESULT FlashFrame(LONGLONG* frame) override {
        *frame = flashFrame;
        return S_OK;
    }
    HRESULT FlashForward(const MSG* m) override {
        messages.push_back(*m);
        return S_OK;
    }
    HRESULT FlashSize(int w, int h) override {
        return Note("size " + std::to_string(w) + "x" + std::to_string(h));
    }
    HRESULT Note(const std::string& s) {
        calls.push_back(s);
        return S_OK;
    }
    std::vector<std::string> calls;
    std::vector<MSG> messages;
    LONGLONG flashFrame = 0;
};

class MovieObjectTest : public ObjectFixture {
protected:
    MovieObjectTest() {
        site.media = static_cast<IMediaManager*>(&media);
        media.embedded["Anim"] = TwelveFrameGif();
        media.embedded["Song"] = "RIFF";
    }
    ~MovieObjectTest() override { g_mediaControlFactory = CreateMediaControl; }
    template <class T = MovieObject>
    T* MakeMovie() {
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(CreateObjectOfClass<T>(&unknown), S_OK);
        if (!unknown)
            return nullptr;
        objects.push_back(unknown);
        CComPtr<IObjectBase> base;
        unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        EXPECT_EQ(base->Init(&creation), S_OK);
        return static_cast<T*>(static_cast<IObjectBase*>(base.p));
    }
    template <class T = MovieObject>
    T* Opened(const wchar_t* name = L"Anim") {
        T* m = MakeMovie<T>();
        m->MoveTo(200, 150);
        BSTR b = SysAllocString(name);
        loaded = m->put_ObjMediaName(b);
        SysFreeString(b);
        return m;
    }
    // Advances the page clock and ticks the clock clients.
    void Tick(DWORD ms) {
        site.clock += ms;
        site.sequencer.TickClients();
    }
    int Fired(DISPID id) const {
        if (!procs.last)
            return 0;
        return (int)std::count_if(procs.last->calls.begin(), procs.last->calls.end(),
                                  [id](const TestEventProc::Call& c) { return c.id == id; });
    }
    static LONG Cur(MovieObject* m) {
        LONG v = -1;
        m->get_ObjCurPosition(&v);
        return v;
    }
    MovieMediaManager media;
    HRESULT loaded = E_FAIL;
};

TEST_F(MovieObjectTest, GifOpensInMemoryAndShowsTheCurrentFrame) {
    MovieObject* m = Opened();
    EXPECT_EQ(loaded, S_OK);
    ASSERT_TRUE(m->Opened());
    EXPECT_EQ(m->Kind(), MOVIE_GIF);
    LONG v = 0;
    m->get_ObjLength(&v);
    EXPECT_EQ(v, 12);
    m->get_ObjEndPosition(&v);
    EXPECT_EQ(v, 12);
    m->get_ObjMediaWidth(&v);
    EXPECT_EQ(v, 8);
    // The media size plus the shown frame's outline on both sides.
    EXPECT_EQ(m->GetWidth(), 10);
    EXPECT_EQ(m->GetHeight(), 8);
    EXPECT_EQ(std::count(media.calls.begin(), media.calls.end(), "read Anim"), 1);

    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(400, 300));
    RECT r;
    m->GetBoundsRect(&r);
    ASSERT_EQ(m->DrawContent(target, &r), S_OK);
    HDC dc = nullptr;
    target->GetDC(&dc);
    EXPECT_EQ(GetPixel(dc, r.left + 4, r.top + 3), FrameColour(0));
    target->ReleaseDC(dc);
    ASSERT_EQ(m->SeekMedia(3), S_OK);
    m->DrawContent(target, &r);
    target->GetDC(&dc);
    EXPECT_EQ(GetPixel(dc, r.left + 4, r.top + 3), FrameColour(3));
    target->ReleaseDC(dc);

    // Types the movie does not play are refused and logged.
    LogCapture log;
    MovieObject* song = Opened(L"Song");
    EXPECT_EQ(loaded, E_FAIL);
    EXPECT_FALSE(song->Opened());
    EXPECT_LOGGED(log, "Unknown movie type(1024) for (Song)");
    EXPECT_EQ(song->GetWidth(), 102);
    EXPECT_EQ(song->PlayPauseMedia(), E_FAIL);
    MovieObject* none = Opened(L"Nothing");
    EXPECT_TRUE(FAILED(loaded));
    EXPECT_FALSE(none->Opened());
    LogCapture unknown;
    EXPECT_TRUE(FAILED(none->TakeData("GIF89a", 6, "Nothing")));
    EXPECT_LOGGED(unknown, "Unknown movie type for (Nothing)");
}

TEST_F(MovieObjectTest, LimitedRepeatsLoopOnceThenEnd) {
    MovieObject* m = Opened();
    m->put_ObjAutoRepeat(1);
    m->put_ObjNotLimitRepeatTime(0);
    m->put_ObjRepeatTimes(2);
    ASSERT_EQ(m->PlayMedia(), S_OK);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYSTART), 1);
    EXPECT_EQ(static_cast<IAbility*>(m)->GetState(), ABILITY_RUNNING);
    // One frame every 100 ms: frame 11 after 11 ticks, the wrap at the 12th.
    for (int i = 0; i < 11; ++i) Tick(100);
    EXPECT_EQ(Cur(m), 11);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYLOOP), 0);
    Tick(100);
    EXPECT_EQ(Cur(m), 0);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYLOOP), 1);
    for (int i = 0; i < 11; ++i) Tick(100);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYEND), 0);
    Tick(100);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYLOOP), 1);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYEND), 1);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYSTOP), 0);
    EXPECT_EQ(static_cast<IAbility*>(m)->GetState(), ABILITY_STOPPED);
    // The count is spent: a start asks nothing more of it.
    static_cast<IAbility*>(m)->Start();
    EXPECT_EQ(static_cast<IAbility*>(m)->GetState(), ABILITY_STOPPED);

    // A slow clock still steps by the frame delays, never below 50 ms each.
    ASSERT_EQ(m->PlayMedia(), S_OK);
    Tick(350);
    EXPECT_EQ(Cur(m), 3);
    // Without auto repeat the pass stops.
    m->put_ObjAutoRepeat(0);
    Tick(1000);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYSTOP), 1);
    EXPECT_EQ(static_cast<IAbility*>(m)->GetState(), ABILITY_STOPPED);
}

TEST_F(MovieObjectTest, RepeatTimesAreClamped) {
    MovieObject* m = MakeMovie();
    const LONG cases[][2] = {{0, 1}, {-7, 1}, {1, 1}, {500, 500}, {32767, 32767}, {100000, 32767}};
    for (const auto& c : cases) {
        ASSERT_EQ(m->put_ObjRepeatTimes(c[0]), S_OK);
        LONG v = 0;
        m->get_ObjRepeatTimes(&v);
        EXPECT_EQ(v, c[1]) << c[0];
    }
    LONG flags = 0;
    m->get_ObjAutoRepeat(&flags);
    EXPECT_EQ(flags, 1);
    EXPECT_EQ(m->Flags(), (DWORD)MOVFLAG_DEFAULT);
}

TEST_F(MovieObjectTest, BackwardOnAStoppedMovieStepsTwoFramesAndWrapsToTheEnd) {
    MovieObject* m = Opened();
    ASSERT_EQ(static_cast<IAbility*>(m)->GetState(), ABILITY_STOPPED);
    ASSERT_EQ(m->BackwardMedia(), S_OK);
    EXPECT_EQ(static_cast<IAbility*>(m)->GetState(), ABILITY_RUNNING);
    EXPECT_TRUE(m->Backward());
    EXPECT_EQ(m->Step(), 2);
    Tick(100);
    EXPECT_EQ(Cur(m), 11);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYLOOP), 1);
    Tick(100);
    EXPECT_EQ(Cur(m), 9);
    Tick(100);
    EXPECT_EQ(Cur(m), 7);
    // Playing again goes forward a frame at a time.
    m->PlayMedia();
    Tick(100);
    EXPECT_EQ(Cur(m), 1);
}

TEST_F(MovieObjectTest, PositionsKeepTheirOrderAndRange) {
    MovieObject* m = Opened();
    struct Case {
        const char* what;
        HRESULT (MovieObject::*put)(LONG);
        LONG value;
        HRESULT hr;
        LONG start, end, cur;
    } cases[] = {
        {"start 4", &MovieObject::put_ObjStartPosition, 4, S_OK, 4, 12, 4},
        {"end 2 moves the start", &MovieObject::put_ObjEndPosition, 2, S_OK, 2, 2, 2},
        {"end 13", &MovieObject::put_ObjEndPosition, 13, S_FALSE, 2, 2, 2},
        {"end 10", &MovieObject::put_ObjEndPosition, 10, S_OK, 2, 10, 2},
        {"start -1", &MovieObject::put_ObjStartPosition, -1, S_FALSE, 2, 10, 2},
        {"current 11", &MovieObject::put_ObjCurPosition, 11, S_FALSE, 2, 10, 2},
        {"current 7", &MovieObject::put_ObjCurPosition, 7, S_OK, 2, 10, 7},
        {"start 9 moves the current", &MovieObject::put_ObjStartPosition, 9, S_OK, 9, 10, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ((m->*c.put)(c.value), c.hr);
        LONG s = -1, e = -1;
        m->get_ObjStartPosition(&s);
        m->get_ObjEndPosition(&e);
        EXPECT_EQ(s, c.start);
        EXPECT_EQ(e, c.end);
        EXPECT_EQ(Cur(m), c.cur);
    }
    // The position row answers the range and moves the current position.
    LONG v = 0;
    m->GetRowMinimum(0, &v);
    EXPECT_EQ(v, 9);
    m->GetRowMaximum(0, &v);
    EXPECT_EQ(v, 10);
    m->GetRowPageStep(0, &v);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(m->SetRowValue(0, 10), S_OK);
    EXPECT_EQ(Cur(m), 10);
    char name[64] = {};
    m->GetRowName(0, name, sizeof(name));
    wchar_t wide[64] = {};
    MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 64);
    EXPECT_STREQ(wide, L"媒体播放当前位置");
}

TEST_F(MovieObjectTest, FlashInputReachesTheControlWithoutTheClickActions) {
    g_mediaControlFactory = MakeFakeControl;
    TempFolder tmp;
    const std::string path = tmp.File("movie.swf");
    ASSERT_TRUE(WriteFileBytes(path, std::string("FWS\x06 flash body", 16)));
    media.files["Swf"] = path;
    FlashMovie* m = Opened<FlashMovie>(L"Swf");
    ASSERT_TRUE(m->Opened());
    EXPECT_EQ(m->Kind(), MOVIE_FLASH);
    ASSERT_FALSE(m->calls.empty());
    EXPECT_EQ(m->calls[0], "open " + path);
    RECT r;
    m->GetBoundsRect(&r);
    ASSERT_EQ(m->put_ObjMavroMsgEnabled(0), S_OK);
    const LONG x = r.left + 5, y = r.top + 7;
    m->FireEvent(EVT_LBUTTONDOWN, 0, (DWORD_PTR)MAKELONG(x, y), 0);
    ASSERT_EQ(m->messages.size(), 1u);
    EXPECT_EQ(m->messages[0].message, (UINT)WM_LBUTTONDOWN);
    EXPECT_EQ(m->messages[0].lParam, (LPARAM)MAKELONG(5, 7));
    EXPECT_EQ(Fired(EVT_LBUTTONDOWN), 0);
    // Keys go on with their own parameters and do reach the actions.
    m->FireEvent(EVT_KEYDOWN, 'A', 0x1E0001, 0);
    ASSERT_EQ(m->messages.size(), 2u);
    EXPECT_EQ(m->messages[1].message, (UINT)WM_KEYDOWN);
    EXPECT_EQ(m->messages[1].wParam, (WPARAM)'A');
    // With the object's own mouse events on, the click reaches both.
    m->put_ObjMavroMsgEnabled(1);
    m->FireEvent(EVT_LBUTTONDOWN, 0, (DWORD_PTR)MAKELONG(x, y), 0);
    EXPECT_EQ(m->messages.size(), 3u);
    EXPECT_EQ(Fired(EVT_LBUTTONDOWN), 1);
    // Without Flash input nothing is forwarded.
    m->put_ObjFlashMsgEnabled(0);
    m->FireEvent(EVT_LBUTTONUP, 0, (DWORD_PTR)MAKELONG(x, y), 0);
    EXPECT_EQ(m->messages.size(), 3u);
}

TEST_F(MovieObjectTest, FlashFramesEndTheRangeThroughTheRepeatRule) {
    g_mediaControlFactory = MakeFakeControl;
    TempFolder tmp;
    const std::string path = tmp.File("movie.swf");
    ASSERT_TRUE(WriteFileBytes(path, std::string("FWS\x06 flash body", 16)));
    media.files["Swf"] = path;
    FlashMovie* m = Opened<FlashMovie>(L"Swf");
    m->put_ObjNotLimitRepeatTime(0);
    m->put_ObjRepeatTimes(2);
    m->calls.clear();
    ASSERT_EQ(m->PlayMedia(), S_OK);
    EXPECT_EQ(m->calls, (std::vector<std::string>{"goto 0", "play"}));
    m->flashFrame = 17;
    Tick(50);
    EXPECT_EQ(Cur(m), 17);
    m->flashFrame = 39;  // end - 1
    m->calls.clear();
    Tick(50);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYLOOP), 1);
    EXPECT_EQ(m->calls, (std::vector<std::string>{"goto 0", "play"}));
    Tick(50);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYEND), 1);
    EXPECT_EQ(static_cast<IAbility*>(m)->GetState(), ABILITY_STOPPED);
}

// The real animation control over the test Flash control, registered for
// the test.
class MovieFlashControlTest : public MovieObjectTest {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        FakeFlash::state = FakeFlash::State();
        ASSERT_EQ(FakeFlash::Register(&m_cookie), S_OK);
        ASSERT_TRUE(WriteFileBytes(movie, std::string("FWS\x06\0\0\0\0\x78", 9)));
        media.files["Swf"] = movie;
    }
    void TearDown() override {
        for (auto& o : objects) o.Release();
        objects.clear();
        FakeFlash::Revoke(m_cookie);
        CoUninitialize();
    }
    TempFolder tmp;
    const std::string movie = tmp.File("movie.swf");

private:
    DWORD m_cookie = 0;
};

TEST_F(MovieFlashControlTest, FlashPlaysStepsDrawsAndTakesInput) {
    MovieObject* m = Opened(L"Swf");
    ASSERT_EQ(loaded, S_OK);
    ASSERT_TRUE(m->Opened());
    EXPECT_EQ(m->Kind(), MOVIE_FLASH);
    EXPECT_EQ(FakeFlash::state.movie, WideFromMultibyte(movie.c_str()));
    LONG v = 0;
    m->get_ObjLength(&v);
    EXPECT_EQ(v, 12);
    m->get_ObjMediaWidth(&v);
    EXPECT_EQ(v, 550);

    ASSERT_EQ(m->PlayMedia(), S_OK);
    EXPECT_TRUE(FakeFlash::state.playing);
    FakeFlash::state.frame = 5;
    Tick(50);
    EXPECT_EQ(Cur(m), 5);
    // The control's picture of the frame fills the object.
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(800, 600));
    RECT r;
    m->GetBoundsRect(&r);
    ASSERT_EQ(m->DrawContent(target, &r), S_OK);
    HDC dc = nullptr;
    target->GetDC(&dc);
    EXPECT_EQ(GetPixel(dc, (r.left + r.right) / 2, (r.top + r.bottom) / 2),
              FakeFlash::FrameColour(5));
    target->ReleaseDC(dc);

    // A click reaches the control, and with the object's mouse events off
    // no action list.
    ASSERT_EQ(m->put_ObjMavroMsgEnabled(0), S_OK);
    m->FireEvent(EVT_LBUTTONDOWN, 0, (DWORD_PTR)MAKELONG(r.left + 5, r.top + 7), 0);
    EXPECT_EQ(FakeFlash::state.messages, (std::vector<UINT>{WM_LBUTTONDOWN}));
    EXPECT_EQ(Fired(EVT_LBUTTONDOWN), 0);

    // The last frame of the range ends the pass.
    m->put_ObjAutoRepeat(0);
    FakeFlash::state.frame = 11;
    Tick(50);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYSTOP), 1);
    EXPECT_EQ(static_cast<IAbility*>(m)->GetState(), ABILITY_STOPPED);
    EXPECT_FALSE(FakeFlash::state.playing);
}

// Zoomed to factor 1 the movie gives the control its media size and a
// target: the control's requests to redraw invalidate the object.
TEST_F(MovieFlashControlTest, RedrawRequestsOfTheControlInvalidateTheObject) {
    MovieObject* m = Opened(L"Swf");
    ASSERT_TRUE(m->Opened());
    ASSERT_NE(FakeFlash::state.site, nullptr);
    m->SetKeepSize(1);
    m->SetWidth(550);
    m->SetHeight(100);
    m->SetKeepSize(0);
    EXPECT_EQ(m->GetWidth(), 550 + 2);
    EXPECT_EQ(FakeFlash::state.rect.right - FakeFlash::state.rect.left, 550);
    EXPECT_EQ(FakeFlash::state.rect.bottom - FakeFlash::state.rect.top, 400);
    RECT bounds;
    m->GetBoundsRect(&bounds);
    site.invalidated.clear();
    CComPtr<IOleInPlaceSiteWindowless> windowless;
    ASSERT_EQ(FakeFlash::state.site->QueryInterface(IID_IOleInPlaceSiteWindowless,
                                                    reinterpret_cast<void**>(&windowless)),
              S_OK);
    const RECT part = {10, 10, 20, 20};
    windowless->InvalidateRect(&part, FALSE);
    ASSERT_FALSE(site.invalidated.empty());
    const RECT& got = site.invalidated.back();
    EXPECT_EQ(got.left, bounds.left);
    EXPECT_EQ(got.top, bounds.top);
    EXPECT_EQ(got.right, bounds.right);
    EXPECT_EQ(got.bottom, bounds.bottom);
}

TEST_F(MovieObjectTest, RecordAndItsVersionOneForm) {
    MovieRecord rec;
    rec.flags = 0x7F;
    rec.name = L"Anim";
    rec.repeatTimes = 0;
    rec.length = 12;
    rec.start = 0;
    rec.end = 5;
    rec.current = 3;
    std::vector<uint8_t> bytes = WriteObjectPrefix(ObjectPrefix());
    const size_t own = bytes.size();
    std::vector<uint8_t> tail = WriteMovieRecord(rec);
    bytes.insert(bytes.end(), tail.begin(), tail.end());

    struct Case {
        int version;
        DWORD flags;
        LONG start, end, cur;
    } cases[] = {{3, 0x7F, 0, 5, 3}, {1, 0x07, 0, 4, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        MovieObject* m = MakeMovie();
        CComPtr<ITeskStream> s = MemStreamOf(bytes);
        s->SetVersion(c.version);
        ASSERT_EQ(static_cast<IObjectBase*>(m)->Load(s), S_OK);
        EXPECT_EQ(s->GetPosition(), s->GetSize());
        EXPECT_EQ(m->Flags(), c.flags);
        LONG v = 0;
        m->get_ObjRepeatTimes(&v);
        EXPECT_EQ(v, 1);
        m->get_ObjStartPosition(&v);
        EXPECT_EQ(v, c.start);
        m->get_ObjEndPosition(&v);
        EXPECT_EQ(v, c.end);
        EXPECT_EQ(Cur(m), c.cur);
        BSTR name = nullptr;
        m->get_ObjMediaName(&name);
        EXPECT_STREQ(name, L"Anim");
        SysFreeString(name);
    }
    for (size_t n = own; n < bytes.size(); ++n) {
        MovieObject* cut = MakeMovie();
        CComPtr<ITeskStream> t =
            MemStreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_NE(static_cast<IObjectBase*>(cut)->Load(t), S_OK) << n;
        EXPECT_LE(t->GetPosition(), n);
    }
}

}  // namespace
