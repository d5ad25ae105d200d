#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>

#include "AviWriter.h"
#include "DirectDrawFixture.h"
#include "ObjectRecordWriter.h"
#include "ObjectTestUtil.h"
#include "PixelFixtures.h"
#include "ServiceFakes.h"
#include "StreamFixtures.h"
#include "TestFiles.h"
#include "aGDIBuf.h"
#include "aVidObj.h"

namespace {

// "Embedded" is an AVI inside the package (".avi").
class VideoMediaManager : public FakeMediaManager {
public:
    STDMETHOD(GetMediaType)(const char* name, int* type, int* subtype) override {
        *type = 0x10;
        *subtype = 1040;
        return embedded.count(name) || files.count(name) ? S_OK : E_FAIL;
    }
    STDMETHOD(GetDefaultExtension)(const char* name, char* buffer, int length) override {
        if (!embedded.count(name) || length < 5)
            return E_FAIL;
        strcpy(buffer, ".avi");
        return S_OK;
    }
};

COLORREF Colour(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

COLORREF PixelAt(IPixelBuffer* buffer, int x, int y) {
    HDC dc = nullptr;
    buffer->GetDC(&dc);
    COLORREF c = GetPixel(dc, x, y);
    buffer->ReleaseDC(dc);
    return c;
}

bool PumpUntil(const std::function<bool()>& done, const std::function<void()>& step,
               DWORD guardMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > guardMs)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (step)
            step();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

class VideoObjectTest : public ObjectFixture {
protected:
    VideoObjectTest() {
        CoInitialize(nullptr);
        site.media = static_cast<IMediaManager*>(&media);
        AviSpec spec;
        spec.width = 64;
        spec.height = 48;
        spec.frames = 10;
        spec.fps = 10;
        avi = AviFile(spec);
        path = tmp.File("clip.avi");
        EXPECT_TRUE(WriteFileBytes(path, avi));
        media.files["Clip"] = path;
        media.embedded["Embedded"] = avi;
    }
    ~VideoObjectTest() override {
        for (auto& o : objects) o.Release();
        objects.clear();
        CoUninitialize();
    }
    VideoObject* MakeVideo() {
        CComPtr<IUnknown> unknown;
        EXPECT_EQ(CreateVideoObject(&unknown), S_OK);
        if (!unknown)
            return nullptr;
        objects.push_back(unknown);
        CComPtr<IObjectBase> base;
        unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
        EXPECT_EQ(base->Init(&creation), S_OK);
        return static_cast<VideoObject*>(static_cast<IObjectBase*>(base.p));
    }
    VideoObject* InPage(const wchar_t* name = L"Clip") {
        VideoObject* v = MakeVideo();
        v->MoveTo(200, 150);
        v->put_ObjNotInWindow(1);
        BSTR b = SysAllocString(name);
        loaded = v->put_ObjMediaName(b);
        SysFreeString(b);
        return v;
    }
    int Fired(DISPID id) const {
        if (!procs.last)
            return 0;
        return (int)std::count_if(procs.last->calls.begin(), procs.last->calls.end(),
                                  [id](const TestEventProc::Call& c) { return c.id == id; });
    }
    COLORREF CentreAfterDraw(VideoObject* v) {
        CComPtr<IPixelBuffer> target;
        target.Attach(CreateGDIBuffer(400, 300));
        RECT r;
        v->GetBoundsRect(&r);
        v->DrawContent(target, &r);
        return PixelAt(target, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    TempFolder tmp;
    std::string avi, path;
    VideoMediaManager media;
    HRESULT loaded = E_FAIL;
};

TEST_F(VideoObjectTest, InPageFramesReachThePageAndSeekWhileStopped) {
    VideoObject* v = InPage();
    ASSERT_EQ(loaded, S_OK);
    ASSERT_TRUE(v->Opened());
    LONG n = -1;
    v->get_ObjNotInWindow(&n);
    EXPECT_EQ(n, 1);
    v->get_ObjMCI(&n);
    EXPECT_EQ(n, 0);
    v->get_ObjMediaWidth(&n);
    EXPECT_EQ(n, 64);
    v->get_ObjMediaHeight(&n);
    EXPECT_EQ(n, 48);
    v->get_ObjLength(&n);
    EXPECT_EQ(n, 1000);
    // A new name plays the whole video.
    v->get_ObjEndPosition(&n);
    EXPECT_EQ(n, 999);
    v->get_ObjStartPosition(&n);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(CentreAfterDraw(v), Colour(AviFrameColour(0)));
    ASSERT_EQ(v->SeekMedia(300), S_OK);
    EXPECT_EQ(CentreAfterDraw(v), Colour(AviFrameColour(3)));
}

TEST_F(VideoObjectTest, InPagePlayEndsThroughTheSampleUpdates) {
    VideoObject* v = InPage();
    ASSERT_TRUE(v->Opened());
    ASSERT_EQ(v->PlayMedia(), S_OK);
    EXPECT_EQ(Fired(MEDIAEVT_PLAYSTART), 1);
    EXPECT_TRUE(v->IsPlaying());
    ASSERT_TRUE(PumpUntil([&] { return Fired(MEDIAEVT_PLAYEND) > 0; },
                          [&] {
                              site.clock += 50;
                              site.sequencer.TickClients();
                          },
                          5000));
    EXPECT_FALSE(v->IsPlaying());
    EXPECT_EQ(static_cast<IAbility*>(v)->GetState(), ABILITY_STOPPED);
}

// On a DirectDraw display the still frame is a DirectDraw buffer that the
// stream's surface is blitted into, upright: the marked row on top.
TEST_F(VideoObjectTest, StillFrameOnADirectDrawDisplay) {
    DXOwner owner = {};
    IDirectDraw* dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    ASSERT_EQ(dd->QueryInterface(kIDirectDraw4, reinterpret_cast<void**>(&owner.pDirectDraw)),
              S_OK);
    dd->Release();
    ASSERT_EQ(owner.pDirectDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
    owner.caps.dwSize = sizeof(DDCAPS);
    site.directDraw = &owner;
    VideoObject* v = InPage();
    ASSERT_TRUE(v->Opened());
    ASSERT_EQ(v->SeekMedia(300), S_OK);
    IPixelBuffer* still = v->StillFrame();
    ASSERT_NE(still, nullptr);
    DXOwner* got = nullptr;
    still->GetOwner(&got);
    EXPECT_EQ(got, &owner);
    EXPECT_EQ(pixtest::LockedPixel(still, 3, 0), kAviMarkColour);
    EXPECT_EQ(pixtest::LockedPixel(still, 3, 1), AviFrameColour(3));
    EXPECT_EQ(pixtest::LockedPixel(still, 63, 47), AviFrameColour(3));
    // Drawn into a page buffer of the display.
    CComPtr<IPixelBuffer> page;
    page.Attach(CreateDXBuffer(&owner, 400, 300));
    RECT r;
    v->GetBoundsRect(&r);
    ASSERT_EQ(v->DrawContent(page, &r), S_OK);
    EXPECT_EQ(pixtest::LockedPixel(page, (r.left + r.right) / 2, (r.top + r.bottom) / 2),
              AviFrameColour(3));
    page.Release();
    for (auto& o : objects) o.Release();
    objects.clear();
    owner.pDirectDraw->Release();
}

// Media set through the database link's path, as by a new name, ends one
// millisecond before its length.
TEST_F(VideoObjectTest, MediaFromTheLinkEndsBeforeItsLength) {
    VideoObject* v = MakeVideo();
    v->put_ObjNotInWindow(1);
    ASSERT_EQ(v->ApplyData(TRUE, "Clip", nullptr, 0), S_OK);
    ASSERT_TRUE(v->Opened());
    LONG n = 0;
    v->get_ObjEndPosition(&n);
    EXPECT_EQ(n, 999);
}

TEST_F(VideoObjectTest, DisplayModesLayTheVideoOut) {
    VideoObject* v = InPage();
    ASSERT_TRUE(v->Opened());
    WORD border = 0;
    v->Frame()->GetThickness(&border);
    // Mode 0: the media size plus the frame.
    EXPECT_EQ(v->GetWidth(), 64 + 2 * border);
    EXPECT_EQ(v->GetHeight(), 48 + 2 * border);
    // Mode 2 in a 32 x 32 object: the middle of the picture 1:1, the marked
    // top row left out.
    ASSERT_EQ(v->put_ObjDisplayFlag(2), S_OK);
    v->SetWidth(32 + 2 * border);
    v->SetHeight(32 + 2 * border);
    EXPECT_EQ(v->GetWidth(), 32 + 2 * border);
    const RECT r = v->VideoRect();
    EXPECT_EQ(r.right - r.left, 32);
    EXPECT_EQ(r.bottom - r.top, 32);
    CComPtr<IPixelBuffer> target;
    target.Attach(CreateGDIBuffer(400, 300));
    RECT b;
    v->GetBoundsRect(&b);
    v->DrawContent(target, &b);
    for (int x = r.left; x < r.right; x += 5) {
        EXPECT_EQ(PixelAt(target, x, r.top), Colour(AviFrameColour(0))) << x;
        EXPECT_EQ(PixelAt(target, x, r.bottom - 1), Colour(AviFrameColour(0))) << x;
    }
    SHORT mode = 0;
    v->get_ObjDisplayFlag(&mode);
    EXPECT_EQ(mode, 2);
    // The field is signed: 15 reads -1 and changes no layout.
    v->put_ObjDisplayFlag(15);
    v->get_ObjDisplayFlag(&mode);
    EXPECT_EQ(mode, -1);
    // Mode 0 again takes the media size.
    v->put_ObjDisplayFlag(0);
    EXPECT_EQ(v->GetWidth(), 64 + 2 * border);
}

TEST_F(VideoObjectTest, EmbeddedVideoPlaysWindowedThroughDirectShow) {
    VideoObject* v = MakeVideo();
    v->put_ObjNotInWindow(1);
    BSTR b = SysAllocString(L"Embedded");
    ASSERT_EQ(v->put_ObjMediaName(b), S_OK);
    SysFreeString(b);
    ASSERT_TRUE(v->Opened());
    LONG n = -1;
    v->get_ObjNotInWindow(&n);
    EXPECT_EQ(n, 0);
    v->get_ObjLength(&n);
    EXPECT_EQ(n, 1000);
    ASSERT_EQ(v->PlayMedia(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return Fired(MEDIAEVT_PLAYEND) > 0; }, nullptr, 5000));
    EXPECT_EQ(static_cast<IAbility*>(v)->GetState(), ABILITY_STOPPED);
}

// Run with the sound device removed from the environment (the build
// registers this suite so, with MAVRO_NO_SOUND_DEVICE set): the audio stream
// cannot be added, the video plays without it.
class VideoNoSoundDeviceTest : public VideoObjectTest {};

TEST_F(VideoNoSoundDeviceTest, InPageVideoPlaysWithoutItsAudioStream) {
    if (!getenv("MAVRO_NO_SOUND_DEVICE"))
        GTEST_SKIP() << "needs the sound device removed";
    ASSERT_EQ(waveOutGetNumDevs(), 0u);
    LogCapture log;
    VideoObject* v = InPage();
    ASSERT_EQ(loaded, S_OK);
    ASSERT_TRUE(v->Opened());
    EXPECT_LOGGED(log, "Cannot add audio stream -- ignored");
    EXPECT_EQ(CentreAfterDraw(v), Colour(AviFrameColour(0)));
    ASSERT_EQ(v->PlayMedia(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return Fired(MEDIAEVT_PLAYEND) > 0; },
                          [&] {
                              site.clock += 50;
                              site.sequencer.TickClients();
                          },
                          5000));
}

TEST_F(VideoObjectTest, RecordNameFieldLevelsAndScaling) {
    struct Case {
        const char* what;
        std::string name;
        int32_t count;
        bool ok;
        const char* expect;
    } cases[] = {
        {"a name", "Clip", -1, true, "Clip"},
        {"no name", "", 0, true, ""},
        {"no NUL within the count", "Clip", 4, true, "Clip"},
        {"34 bytes", std::string(33, 'n'), 34, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VideoRecord rec;
        rec.name = c.name;
        rec.nameCount = c.count;
        rec.volume = -4;
        rec.balance = 30000;
        std::vector<uint8_t> bytes = WriteObjectPrefix(ObjectPrefix());
        std::vector<uint8_t> own = WriteVideoRecord(rec);
        bytes.insert(bytes.end(), own.begin(), own.end());
        VideoObject* v = MakeVideo();
        CComPtr<ITeskStream> st = MemStreamOf(bytes);
        HRESULT hr = static_cast<IObjectBase*>(v)->Load(st);
        if (!c.ok) {
            EXPECT_NE(hr, S_OK);
            continue;
        }
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(st->GetPosition(), st->GetSize());
        EXPECT_STREQ(v->MediaName(), c.expect);
        LONG n = 0;
        v->get_ObjVolume(&n);
        EXPECT_EQ(n, 0);
        v->get_ObjBalance(&n);
        EXPECT_EQ(n, 10000);
    }
    // Bit 7 scales the stored positions to the opened length; a stored
    // length of 0 leaves them as they are.
    const struct {
        int32_t length, start, end;
        LONG startAfter, endAfter;
    } scaling[] = {{2000, 400, 1600, 200, 800}, {0, 100, 500, 100, 500}};
    for (const auto& s : scaling) {
        SCOPED_TRACE(s.length);
        VideoRecord rec;
        rec.flags = 0x1 | 0x10 | 0x80;
        rec.name = "Clip";
        rec.length = s.length;
        rec.start = s.start;
        rec.end = s.end;
        std::vector<uint8_t> bytes = WriteObjectPrefix(ObjectPrefix());
        std::vector<uint8_t> own = WriteVideoRecord(rec);
        bytes.insert(bytes.end(), own.begin(), own.end());
        VideoObject* v = MakeVideo();
        ASSERT_EQ(static_cast<IObjectBase*>(v)->Load(MemStreamOf(bytes)), S_OK);
        ASSERT_EQ(v->LoadMediaData("Clip"), S_OK);
        LONG n = 0;
        v->get_ObjStartPosition(&n);
        EXPECT_EQ(n, s.startAfter);
        v->get_ObjEndPosition(&n);
        EXPECT_EQ(n, s.endAfter);
        EXPECT_FALSE(v->Flags() & VIDFLAG_SCALE);
    }
    // Cut anywhere in the video's part: refused, nothing read past the end.
    VideoRecord rec;
    rec.name = "Clip";
    std::vector<uint8_t> bytes = WriteObjectPrefix(ObjectPrefix());
    const size_t own = bytes.size();
    std::vector<uint8_t> tail = WriteVideoRecord(rec);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    for (size_t n = own; n < bytes.size(); ++n) {
        VideoObject* cut = MakeVideo();
        CComPtr<ITeskStream> t =
            MemStreamOf(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n));
        EXPECT_NE(static_cast<IObjectBase*>(cut)->Load(t), S_OK) << n;
        EXPECT_LE(t->GetPosition(), n);
    }
}

}  // namespace
