// The video control: kinds and MCI types, the MCI path on the scripted
// device and on Wine's AVI device, and DirectShow playback of AVI files and
// memory blocks in a child window of an owner.
#include <gtest/gtest.h>

#include <windows.h>

#define STRSAFE_NO_DEPRECATE
#include <digitalv.h>
#include <dshow.h>

#include <string>

#include "AviWriter.h"
#include "DirectDrawFixture.h"
#include "GraphNotice.h"
#include "ObjectDoubles.h"
#include "PixelFixtures.h"
#include "ScriptedMci.h"
#include "TestFiles.h"
#include "aPixBuf.h"
#include "bVideoCtrl.h"

using pixtest::Info;
using pixtest::LockedPixel;

namespace {

VideoControl* NewControl(IPlayerSite* site = nullptr) {
    VideoControl* c = new VideoControl(site);
    c->AddRef();
    return c;
}

DWORD Rgb(DWORD pixel) {
    return pixel & 0x00FFFFFF;
}

// Plays until HandleEvents reports the end.
bool PlaysToEnd(VideoControl* c, NotifyWindow& w) {
    if (FAILED(c->Play()))
        return false;
    for (int i = 0; i < 20; ++i) {
        LPARAM param = 0;
        if (!w.Wait(1037, &param))
            return false;
        long ended = 0;
        EXPECT_EQ(c->HandleEvents(0, 0, &ended), S_OK);
        if (ended)
            return true;
    }
    return false;
}

std::string WriteAvi(const TempFolder& folder, const char* name, bool sound) {
    AviSpec s;
    s.sound = sound;
    const std::string path = folder.File(name);
    EXPECT_TRUE(WriteFileBytes(path, AviFile(s)));
    return path;
}

TEST(VideoCtrlTest, KindsAndDeviceTypesFollowTheNamesLastPoint) {
    struct Case {
        const char* name;
        short kind;
        const char* type;
    } cases[] = {
        {"a.AVI", 1, "AVIVideo"},  {"clip.MPEG", 2, "MpegVideo"},
        {"b.mpg", 2, "MpegVideo"}, {"c.dat", 2, "MpegVideo"},
        {"d.Asf", 2, "MpegVideo"}, {"e.asx", 2, "MpegVideo"},
        {"a.mov", 3, "QTWVideo"},  {"clip", 0, ""},
        {"x.avi.txt", 0, ""},      {"x.txt.avi", 1, "AVIVideo"},
        {"y.mp", 0, ""},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        VideoControl* c = NewControl();
        c->put_UseMCI(1);
        char type[64] = "unset";
        EXPECT_EQ(c->SetKindFromFileName(k.name, type), S_OK);
        short kind = -1;
        c->get_Kind(&kind);
        EXPECT_EQ(kind, k.kind);
        EXPECT_STREQ(type, k.type);
        char asked[64] = "";
        EXPECT_EQ(c->GetMCIDeviceType(asked), S_OK);
        EXPECT_STREQ(asked, k.type);
        c->Release();
    }
    // Without MCI the caller's buffer is left alone.
    VideoControl* c = NewControl();
    char type[64] = "unset";
    c->SetKindFromFileName("a.avi", type);
    EXPECT_STREQ(type, "unset");
    c->Release();
}

TEST(VideoCtrlTest, BadNamesDoNotOpen) {
    ScriptedMci mci;
    LogCapture log;
    for (long useMci = 0; useMci <= 1; ++useMci) {
        VideoControl* c = NewControl();
        c->put_UseMCI(useMci);
        EXPECT_EQ(c->Open("", 0), E_FAIL);
        EXPECT_EQ(c->Open(nullptr, 0), E_FAIL);
        if (useMci) {
            EXPECT_EQ(c->Open("clip", 0), E_FAIL);
        }
        EXPECT_NE(c->IsClosed(), S_OK);
        EXPECT_EQ(c->put_Visible(0), E_FAIL);
        EXPECT_EQ(c->SetWindowPosition(0, 0, 10, 10), E_FAIL);
        c->Release();
    }
    // No block, or an empty one, makes no graph.
    VideoControl* c = NewControl();
    const char byte = 0;
    EXPECT_EQ(c->OpenFromMemory(nullptr, 10, "clip.avi"), E_FAIL);
    EXPECT_EQ(c->OpenFromMemory(&byte, 0, "clip.avi"), E_FAIL);
    EXPECT_EQ(c->Reader(), nullptr);
    EXPECT_NE(c->IsClosed(), S_OK);
    c->Release();
    EXPECT_TRUE(mci.Of(MCI_OPEN).empty());
    EXPECT_TRUE(Logged(log.Text(), "Video::Open: invalid file name"));
}

TEST(VideoCtrlTest, MciDeviceGetsSpeedSoundAndWindowPlace) {
    ScriptedMci mci;
    mci.length = 1000;
    mci.videoRect = {0, 0, 32, 24};
    OwnerWindow owner;
    VideoControl* c = NewControl();
    c->put_UseMCI(1);
    c->put_OwnerWindow(owner.Get());
    c->put_WindowStyle(WS_CHILD);
    ASSERT_EQ(c->Open("clip.avi", 0), S_OK);
    ASSERT_EQ(mci.Of(MCI_OPEN).size(), 1u);
    const MciCommand open = mci.Of(MCI_OPEN)[0];
    EXPECT_EQ(open.type, "AVIVideo");
    EXPECT_EQ(open.element, "clip.avi");
    EXPECT_TRUE(open.flags & MCI_ANIM_OPEN_PARENT);
    long width = 0, height = 0;
    c->get_VideoWidth(&width);
    c->get_VideoHeight(&height);
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 24);
    LONGLONG duration = 0;
    c->get_Duration(&duration);
    EXPECT_EQ(duration, 1000);

    // A speed the device refused stays changed; Play's Update sends it.
    mci.failures[MCI_SET] = MCIERR_UNSUPPORTED_FUNCTION;
    EXPECT_EQ(c->put_Rate(2.0), E_FAIL);
    mci.failures.clear();
    ASSERT_EQ(c->Play(), S_OK);
    ASSERT_FALSE(mci.Of(MCI_SET).empty());
    EXPECT_EQ(mci.Of(MCI_SET).back().speed, 2000u);
    ASSERT_EQ(mci.Of(MCI_PLAY).size(), 1u);
    EXPECT_EQ(mci.Of(MCI_PLAY)[0].to, 1000u);

    struct {
        double rate;
        DWORD speed;
    } rates[] = {{1.5, 1500}, {0.4996, 500}, {1.0, 1000}};
    for (const auto& r : rates) {
        mci.commands.clear();
        EXPECT_EQ(c->put_Rate(r.rate), S_OK);
        ASSERT_EQ(mci.Of(MCI_SET).size(), 1u);
        EXPECT_EQ(mci.Of(MCI_SET)[0].speed, r.speed);
    }

    mci.commands.clear();
    EXPECT_EQ(c->put_SoundOn(0), S_OK);
    ASSERT_EQ(mci.Of(MCI_SET).size(), 1u);
    EXPECT_TRUE(mci.Of(MCI_SET)[0].flags & MCI_SET_OFF);
    EXPECT_EQ(mci.Of(MCI_SET)[0].audio, (DWORD)MCI_SET_AUDIO_ALL);

    mci.commands.clear();
    EXPECT_EQ(c->SetWindowPosition(5, 6, 0, 0), S_OK);
    ASSERT_EQ(mci.Of(MCI_WINDOW).size(), 1u);
    EXPECT_EQ(mci.Of(MCI_WINDOW)[0].show, (UINT)SW_HIDE);
    mci.commands.clear();
    EXPECT_EQ(c->SetWindowPosition(5, 6, 40, 30), S_OK);
    ASSERT_EQ(mci.Of(MCI_WINDOW).size(), 1u);
    EXPECT_EQ(mci.Of(MCI_WINDOW)[0].show, (UINT)SW_SHOW);

    EXPECT_EQ(c->Close(), S_OK);
    EXPECT_EQ(mci.Of(MCI_CLOSE).size(), 1u);
    EXPECT_NE(c->IsClosed(), S_OK);
    EXPECT_EQ(c->SetWindowPosition(5, 6, 0, 0), E_FAIL);
    c->Release();
}

TEST(VideoCtrlTest, QuickTimeIsNoMciDeviceHere) {
    TempFolder folder;
    const std::string path = folder.File("a.mov");
    ASSERT_TRUE(WriteFileBytes(path, AviFile(AviSpec())));
    LogCapture log;
    VideoControl* c = NewControl();
    c->put_UseMCI(1);
    EXPECT_EQ(c->Open(path.c_str(), 0), E_FAIL);
    EXPECT_NE(c->IsClosed(), S_OK);
    c->Release();
    char text[256] = "";
    mciGetErrorStringA(MCIERR_DEVICE_NOT_INSTALLED, text, sizeof(text));
    const std::string logged = log.Text();
    EXPECT_TRUE(Logged(logged, "OpenVideo"));
    EXPECT_TRUE(Logged(logged, text));
}

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

class VideoCtrlMci : public DirectDrawFixture {};

// Frame 0 drawn by the AVI device: the marked row on top, frame 0 below.
TEST_F(VideoCtrlMci, GrabbedFramesStandUpright) {
    TempFolder folder;
    const std::string path = WriteAvi(folder, "clip.avi", false);
    OwnerWindow window;
    TestPlayerSite gdiSite;
    DirectDrawSite ddSite(&owner);
    IPlayerSite* sites[] = {&gdiSite, &ddSite};
    for (IPlayerSite* site : sites) {
        SCOPED_TRACE(site == &ddSite ? "DirectDraw" : "GDI");
        VideoControl* c = NewControl(site);
        c->put_UseMCI(1);
        c->put_OwnerWindow(window.Get());
        c->put_WindowStyle(WS_CHILD);
        ASSERT_EQ(c->Open(path.c_str(), 0), S_OK);
        long width = 0;
        c->get_VideoWidth(&width);
        EXPECT_EQ(width, 32);
        IPixelBuffer* b = nullptr;
        ASSERT_EQ(c->GrabFrame(&b), S_OK);
        DXOwner* got = nullptr;
        b->GetOwner(&got);
        EXPECT_EQ(got, site == &ddSite ? &owner : nullptr);
        const BufferInfo info = Info(b, BIM_GEOMETRY);
        EXPECT_EQ(info.nWidth, 32);
        EXPECT_EQ(info.nHeight, 24);
        EXPECT_EQ(Rgb(LockedPixel(b, 3, 0)), kAviMarkColour);
        EXPECT_EQ(Rgb(LockedPixel(b, 3, 1)), AviFrameColour(0));
        EXPECT_EQ(Rgb(LockedPixel(b, 30, 23)), AviFrameColour(0));
        b->Release();
        c->Release();
    }
}

TEST(VideoCtrlTest, AviPlaysInAChildWindowOfTheOwner) {
    ComScope com;
    TempFolder folder;
    const std::string path = WriteAvi(folder, "clip.avi", false);
    OwnerWindow owner;
    NotifyWindow w;
    TestPlayerSite site;
    VideoControl* c = NewControl(&site);
    c->put_OwnerWindow(owner.Get());
    c->put_NotifyWindow(w.Get());
    c->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    ASSERT_EQ(c->Open(path.c_str(), 0), S_OK);
    EXPECT_EQ(c->IsClosed(), S_OK);
    long width = 0, height = 0;
    c->get_VideoWidth(&width);
    c->get_VideoHeight(&height);
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 24);
    LONGLONG duration = 0;
    c->get_Duration(&duration);
    EXPECT_EQ(duration, 10000000);
    long audio = -1;
    EXPECT_EQ(c->HasAudio(&audio), S_OK);
    EXPECT_EQ(audio, 0);

    const HWND child = owner.Child();
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(child), owner.Get());
    EXPECT_EQ(c->SetWindowPosition(10, 20, 64, 48), S_OK);
    RECT placed = {};
    GetWindowRect(child, &placed);
    MapWindowPoints(nullptr, owner.Get(), reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, 10);
    EXPECT_EQ(placed.top, 20);
    EXPECT_EQ(placed.right - placed.left, 64);
    EXPECT_EQ(placed.bottom - placed.top, 48);
    RECT kept = {};
    c->get_WindowRect(&kept);
    EXPECT_EQ(kept.right, 74);
    EXPECT_EQ(kept.bottom, 68);

    // The first frame, as the paused renderer holds it.
    ASSERT_EQ(c->Pause(), S_OK);
    IPixelBuffer* b = nullptr;
    ASSERT_EQ(c->GrabFrame(&b), S_OK);
    const BufferInfo info = Info(b, BIM_GEOMETRY);
    EXPECT_EQ(info.nWidth, 32);
    EXPECT_EQ(info.nHeight, 24);
    EXPECT_EQ(Rgb(LockedPixel(b, 16, 12)), AviFrameColour(0));
    b->Release();
    c->Stop();
    c->put_CurPos(0);

    // Hidden: the graph runs with its window invisible, to the end.
    c->put_Hidden(1);
    EXPECT_TRUE(PlaysToEnd(c, w));
    EXPECT_FALSE(IsWindowVisible(child));
    c->Stop();
    c->put_Hidden(0);
    c->put_CurPos(0);
    ASSERT_EQ(c->Play(), S_OK);
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_EQ(c->put_Visible(0), S_OK);
    EXPECT_FALSE(IsWindowVisible(child));
    long visible = 1;
    c->get_Visible(&visible);
    EXPECT_EQ(visible, 0);

    EXPECT_EQ(c->Close(), S_OK);
    EXPECT_NE(c->IsClosed(), S_OK);
    EXPECT_EQ(GetWindow(owner.Get(), GW_CHILD), nullptr);
    EXPECT_EQ(c->GrabFrame(&b), E_FAIL);
    c->Release();
}

TEST(VideoCtrlTest, SoundOffSilencesTheGraphsAudio) {
    ComScope com;
    TempFolder folder;
    const std::string path = WriteAvi(folder, "talk.avi", true);
    OwnerWindow owner;
    VideoControl* c = NewControl();
    c->put_OwnerWindow(owner.Get());
    c->put_WindowStyle(WS_CHILD);
    ASSERT_EQ(c->Open(path.c_str(), 0), S_OK);
    long audio = 0;
    EXPECT_EQ(c->HasAudio(&audio), S_OK);
    EXPECT_EQ(audio, 1);
    ASSERT_NE(c->Audio(), nullptr);
    EXPECT_EQ(c->put_Volume(500), S_OK);
    struct {
        long on, sent;
    } steps[] = {{0, -10000}, {1, -5000}};
    for (const auto& s : steps) {
        EXPECT_EQ(c->put_SoundOn(s.on), S_OK);
        long got = 1;
        EXPECT_EQ(c->Audio()->get_Volume(&got), S_OK);
        EXPECT_EQ(got, s.sent);
    }
    // A volume change while the sound is off keeps it off.
    c->put_SoundOn(0);
    EXPECT_EQ(c->put_Volume(800), S_OK);
    long got = 1;
    c->Audio()->get_Volume(&got);
    EXPECT_EQ(got, -10000);
    c->Release();
}

// A 24-bit AVI reaches Wine's renderer as YV12: no RGB frame to grab.
TEST(VideoCtrlTest, FramesOfAYuvRendererAreNotGrabbed) {
    ComScope com;
    TempFolder folder;
    AviSpec spec;
    spec.bits = 24;
    const std::string path = folder.File("deep.avi");
    ASSERT_TRUE(WriteFileBytes(path, AviFile(spec)));
    OwnerWindow owner;
    LogCapture log;
    VideoControl* c = NewControl();
    c->put_OwnerWindow(owner.Get());
    c->put_WindowStyle(WS_CHILD);
    ASSERT_EQ(c->Open(path.c_str(), 0), S_OK);
    ASSERT_EQ(c->Pause(), S_OK);
    IPixelBuffer* b = nullptr;
    EXPECT_EQ(c->GrabFrame(&b), E_FAIL);
    EXPECT_EQ(b, nullptr);
    c->Release();
    EXPECT_TRUE(Logged(log.Text(), "GrabFrame: format YV12 is not RGB"));
}

TEST(VideoCtrlTest, AviPlaysFromMemory) {
    ComScope com;
    const std::string avi = AviFile(AviSpec());
    OwnerWindow owner;
    NotifyWindow w;
    VideoControl* c = NewControl();
    c->put_OwnerWindow(owner.Get());
    c->put_NotifyWindow(w.Get());
    c->put_WindowStyle(WS_CHILD);
    c->put_Hidden(1);
    ASSERT_EQ(c->OpenFromMemory(avi.data(), (DWORD)avi.size(), "clip.avi"), S_OK);
    ASSERT_NE(c->Reader(), nullptr);
    long width = 0;
    c->get_VideoWidth(&width);
    EXPECT_EQ(width, 32);
    LONGLONG duration = 0;
    c->get_Duration(&duration);
    EXPECT_EQ(duration, 10000000);
    EXPECT_TRUE(PlaysToEnd(c, w));
    c->Release();
}

}  // namespace
