// The animation control: kinds by name, frame positions, play states and
// the play timer, frame pictures on GDI and DirectDraw sites.
#include <gtest/gtest.h>

#include <string>

#include "DirectDrawFixture.h"
#include "FlicWriter.h"
#include "ObjectDoubles.h"
#include "PictureFixtures.h"
#include "TestFiles.h"
#include "aPixBuf.h"
#include "bAnimCtrl.h"
#include "bVideoCtrl.h"

namespace {

// A play site that draws through DirectDraw on the given record.
class DirectDrawSite : public TestPlayerSite {
public:
    explicit DirectDrawSite(DXOwner* owner) : m_owner(owner) {}
    STDMETHOD(GetDirectDraw)(void** out) override {
        *out = m_owner;
        return S_OK;
    }
    STDMETHOD_(BOOL, UsesDirectDraw)() override { return TRUE; }

private:
    DXOwner* m_owner;
};

CAnimCtrl* NewControl(IPlayerSite* site = nullptr) {
    CAnimCtrl* c = new CAnimCtrl(site);
    c->AddRef();
    return c;
}

// Seven frames of 8 x 4: frame k is colour index 10 + k with index 200 at
// (k, 0); index i is (i, 255 - i, 3).
flicfix::Bytes SevenFrames() {
    flicfix::FlicSpec s;
    s.width = 8;
    s.height = 4;
    s.speed = 40;
    flicfix::PalettePacket all;
    for (int i = 0; i < 256; ++i)
        all.rgb.insert(all.rgb.end(), {(uint8_t)i, (uint8_t)(255 - i), 3});
    for (int k = 0; k < 7; ++k) {
        flicfix::Pixels p(32, (uint8_t)(10 + k));
        p[k] = 200;
        flicfix::Frame f;
        if (k == 0)
            f.chunks.push_back(flicfix::PaletteChunk({all}, false));
        f.chunks.push_back(flicfix::ByteRunChunk(p, 8, 4));
        s.frames.push_back(f);
    }
    return flicfix::WriteFlic(s);
}

DWORD Colour(int i) {
    return ((DWORD)i << 16) | ((DWORD)(255 - i) << 8) | 3;
}

LONGLONG CurPos(CAnimCtrl* c) {
    LONGLONG v = -1;
    c->get_CurPos(&v);
    return v;
}

long State(CAnimCtrl* c) {
    long v = -1;
    c->get_PlayState(&v);
    return v;
}

std::vector<DWORD> ReadColours(IPixelBuffer* b) {
    std::vector<DWORD> out;
    if (!b || FAILED(b->Lock(PIXLOCK_READ)))
        return out;
    BufferInfo info = ReadBufferInfo(b, BIM_GEOMETRY);
    for (int y = 0; y < info.nHeight; ++y)
        for (int x = 0; x < info.nWidth; ++x)
            out.push_back(reinterpret_cast<DWORD*>(info.pPixels + (size_t)y * info.nPitch)[x] &
                          0xFFFFFF);
    b->Unlock();
    return out;
}

std::vector<DWORD> ExpectedFrame(int k) {
    std::vector<DWORD> want(32, Colour(10 + k));
    want[k] = Colour(200);
    return want;
}

}  // namespace

TEST(AnimCtrl, KindsByName) {
    TempFolder folder;
    struct Case {
        const char* name;
        short kind;
        const char* mci;
    } cases[] = {{"clip.FLI", ANIM_FLIC, "Animation1"},
                 {"x.flc", ANIM_FLIC, "Animation1"},
                 {"a.Gif", ANIM_GIF, ""},
                 {"movie.SWF", ANIM_FLASH, ""},
                 {"a.avi", ANIM_NONE, ""},
                 {"gif", ANIM_NONE, ""}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        CAnimCtrl* c = NewControl();
        c->put_UseMCI(1);
        char mci[32] = "x";
        EXPECT_EQ(c->SetKindFromFileName(k.name, mci), S_OK);
        short kind = -1;
        c->get_Kind(&kind);
        EXPECT_EQ(kind, k.kind);
        EXPECT_STREQ(mci, k.mci);
        c->Release();
    }
    ASSERT_TRUE(WriteFileBytes(folder.File("a.avi"), std::string("RIFF....AVI ")));
    LogCapture log;
    CAnimCtrl* c = NewControl();
    EXPECT_EQ(c->Open(folder.File("a.avi").c_str(), 0), E_FAIL);
    EXPECT_EQ(c->IsClosed(), E_FAIL);
    long w = 1;
    EXPECT_EQ(c->get_VideoWidth(&w), E_FAIL);
    c->Release();
    EXPECT_LOGGED(log, "Load Movie failed");
}

TEST(AnimCtrl, SwfFrameSizeFromTheHeader) {
    struct Case {
        uint8_t byte;
        LONG w, h;
    } cases[] = {{0x50, 18, 18},   {0x58, 36, 18},     {0x60, 100, 48},    {0x68, 160, 100},
                 {0x78, 550, 400}, {0x80, 1600, 1200}, {0x88, 2880, 2880}, {0x70, 400, 320}};
    for (const Case& k : cases) {
        BYTE header[9] = {'F', 'W', 'S', 6, 0, 0, 0, 0, k.byte};
        RECT r = {1, 1, 1, 1};
        CAnimCtrl::SwfFrameSizeOf(header, sizeof(header), &r);
        EXPECT_EQ(r.right, k.w) << (int)k.byte;
        EXPECT_EQ(r.bottom, k.h) << (int)k.byte;
        EXPECT_EQ(r.left, 0);
    }
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.File("m.swf"), std::string("FWS\x06\0\0\0\0\x78", 9)));
    RECT r = {7, 7, 7, 7};
    CAnimCtrl::ReadSwfFrameSize(folder.File("short.swf").c_str(), &r);
    EXPECT_EQ(r.left, 7);  // no file: unchanged
    CAnimCtrl::ReadSwfFrameSize(folder.File("m.swf").c_str(), &r);
    EXPECT_EQ(r.right, 550);
    EXPECT_EQ(r.bottom, 400);
}

TEST(AnimCtrl, GifDurationAndEnd) {
    picfix::GifAnimSpec s;
    s.width = 4;
    s.height = 2;
    s.palette.assign(768, 9);
    for (int k = 0; k < 12; ++k) {
        picfix::GifFrameSpec f;
        f.width = 1;
        f.height = 1;
        f.left = k % 4;
        f.indexes = {(uint8_t)k};
        f.control = k != 5;
        f.delay = 3;
        s.frames.push_back(f);
    }
    TempFolder folder;
    ASSERT_TRUE(WriteFileBytes(folder.File("a.Gif"), picfix::WriteGifAnimation(s)));
    CAnimCtrl* c = NewControl();
    ASSERT_EQ(c->Open(folder.File("a.Gif").c_str(), 0), S_OK);
    LONGLONG duration = 0, end = 0;
    c->get_Duration(&duration);
    c->get_EndPos(&end);
    EXPECT_EQ(duration, 12);
    EXPECT_EQ(end, 12);
    long w = 0, h = 0, ended = -1;
    c->get_VideoWidth(&w);
    c->get_VideoHeight(&h);
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 2);
    c->put_CurPos(10);
    c->HandleEvents(0, 0, &ended);
    EXPECT_EQ(ended, 0);
    c->put_CurPos(11);
    c->HandleEvents(0, 0, &ended);
    EXPECT_EQ(ended, 1);
    long ms = -1;
    EXPECT_EQ(c->GetFrameDelay(&ms, 4), S_OK);
    EXPECT_EQ(ms, 30);
    EXPECT_EQ(c->GetFrameDelay(&ms, 5), E_FAIL);
    EXPECT_EQ(ms, 0);
    IPixelBuffer* b = nullptr;
    ASSERT_EQ(c->GrabFrame(&b), S_OK);
    EXPECT_EQ(ReadBufferInfo(b, BIM_GEOMETRY).nWidth, 4);
    b->Release();
    c->Close();
    EXPECT_EQ(c->GrabFrame(&b), E_FAIL);
    EXPECT_EQ(c->GetFrameDelay(&ms, 4), E_FAIL);
    c->Release();
}

TEST(AnimCtrl, PlayPauseStopAndTheTimer) {
    HWND window =
        CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    const flicfix::Bytes file = SevenFrames();
    CAnimCtrl* c = NewControl();
    c->put_Kind(ANIM_FLIC);
    c->put_NotifyWindow(window);
    ASSERT_EQ(c->Open(file.data(), (DWORD)file.size()), S_OK);
    c->put_StartPos(2);
    EXPECT_EQ(c->Play(), S_OK);
    EXPECT_EQ(State(c), MEDIA_PLAYING);
    EXPECT_EQ(CurPos(c), 2);
    EXPECT_FALSE(KillTimer(window, 1));  // no timer without the flag
    c->put_CurPos(4);
    c->Pause();
    EXPECT_EQ(State(c), MEDIA_PAUSED);
    c->Play();
    EXPECT_EQ(CurPos(c), 4);  // after a pause: where it was
    c->Stop();
    EXPECT_EQ(State(c), MEDIA_STOPPED);
    c->Play();
    EXPECT_EQ(CurPos(c), 2);  // after a stop: the start again

    c->put_UseTimer(1);
    long flag = 0;
    c->get_UseTimer(&flag);
    EXPECT_EQ(flag, 1);
    c->Play();
    MSG msg;
    bool ticked = false;
    for (int i = 0; i < 500 && !ticked; ++i) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_TIMER);
        while (PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE))
            ticked = ticked || msg.wParam == 1;
    }
    EXPECT_TRUE(ticked);
    c->Pause();
    EXPECT_FALSE(KillTimer(window, 1));  // the pause killed it
    c->Play();
    c->put_UseTimer(0);
    c->Stop();
    EXPECT_FALSE(KillTimer(window, 1));  // started with the flag, stopped without it
    c->Release();
    DestroyWindow(window);
}

// Positions are frame numbers: switching MCI on converts nothing.
TEST(AnimCtrl, PositionsStayFrameNumbers) {
    const flicfix::Bytes file = SevenFrames();
    CAnimCtrl* c = NewControl();
    c->put_Kind(ANIM_FLIC);
    ASSERT_EQ(c->Open(file.data(), (DWORD)file.size()), S_OK);
    c->put_StartPos(3);
    c->put_EndPos(5);
    c->put_UseMCI(1);
    c->put_CDAudio(1);
    ASSERT_EQ(c->Open(file.data(), (DWORD)file.size()), S_OK);
    LONGLONG start = 0, end = 0;
    c->get_StartPos(&start);
    c->get_EndPos(&end);
    EXPECT_EQ(start, 3);
    EXPECT_EQ(end, 5);
    c->Release();
}

TEST(AnimCtrl, FlicFramesInThePaletteColoursOnGdiSites) {
    const flicfix::Bytes file = SevenFrames();
    CAnimCtrl* c = NewControl();
    c->put_Kind(ANIM_FLIC);
    ASSERT_EQ(c->Open(file.data(), (DWORD)file.size()), S_OK);
    long ms = 0;
    EXPECT_EQ(c->GetFrameDelay(&ms, 0), S_OK);
    EXPECT_EQ(ms, 40);
    for (int k : {0, 3, 1}) {
        c->put_CurPos(k);
        IPixelBuffer* b = nullptr;
        ASSERT_EQ(c->GrabFrame(&b), S_OK);
        DXOwner* owner = reinterpret_cast<DXOwner*>(1);
        b->GetOwner(&owner);
        EXPECT_EQ(owner, nullptr);
        EXPECT_EQ(ReadColours(b), ExpectedFrame(k)) << k;
        b->Release();
    }
    c->Release();
}

class AnimCtrlDirectDraw : public DirectDrawFixture {};

TEST_F(AnimCtrlDirectDraw, FramesInDirectDrawBuffersOnDirectDrawSites) {
    DirectDrawSite site(&owner);
    const flicfix::Bytes file = SevenFrames();
    CAnimCtrl* c = NewControl(&site);
    c->put_Kind(ANIM_FLIC);
    ASSERT_EQ(c->Open(file.data(), (DWORD)file.size()), S_OK);
    c->put_CurPos(2);
    IPixelBuffer* b = nullptr;
    ASSERT_EQ(c->GrabFrame(&b), S_OK);
    DXOwner* got = nullptr;
    b->GetOwner(&got);
    EXPECT_EQ(got, &owner);
    EXPECT_EQ(ReadColours(b), ExpectedFrame(2));
    b->Release();
    c->Release();

    // GIF frames are composed in the site's kind of buffer too.
    picfix::GifAnimSpec s;
    s.width = 2;
    s.height = 1;
    s.palette = {1, 2, 3, 4, 5, 6};
    s.colourBits = 1;
    picfix::GifFrameSpec f;
    f.width = 1;
    f.height = 1;
    f.indexes = {1};
    s.frames.push_back(f);
    const picfix::Bytes gif = picfix::WriteGifAnimation(s);
    c = NewControl(&site);
    c->put_Kind(ANIM_GIF);
    ASSERT_EQ(c->Open(gif.data(), (DWORD)gif.size()), S_OK);
    ASSERT_EQ(c->GrabFrame(&b), S_OK);
    got = nullptr;
    b->GetOwner(&got);
    EXPECT_EQ(got, &owner);
    EXPECT_EQ(Read(b, 2, 1), (std::vector<DWORD>{0xFF040506u, 0x00010203u}));
    b->Release();
    c->Release();
}

TEST(AnimCtrl, MadeByTheMediaControlFactory) {
    IMediaObjectBase* media = nullptr;
    ASSERT_EQ(CreateMediaControl(MEDIA_CONTROL_ANIMATION, nullptr, &media), S_OK);
    IMediaObjectBase* again = nullptr;
    EXPECT_EQ(media->QueryInterface(__uuidof(IMediaObjectBase), (void**)&again), S_OK);
    again->Release();
    EXPECT_EQ(media->IsClosed(), E_FAIL);
    EXPECT_EQ(media->Release(), 0u);
    ASSERT_EQ(CreateMediaControl(MEDIA_CONTROL_SOUND, nullptr, &media), S_OK);
    EXPECT_NE(media->IsClosed(), S_OK);
    EXPECT_EQ(media->Release(), 0u);
    ASSERT_EQ(CreateMediaControl(MEDIA_CONTROL_VIDEO, nullptr, &media), S_OK);
    EXPECT_NE(dynamic_cast<VideoControl*>(media), nullptr);
    EXPECT_NE(media->IsClosed(), S_OK);
    EXPECT_EQ(media->Release(), 0u);
    EXPECT_EQ(CreateMediaControl(MEDIA_CONTROL_VIDEO + 1, nullptr, &media), E_NOTIMPL);
    EXPECT_EQ(media, nullptr);
}
