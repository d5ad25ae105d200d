// The system sound: volume steps and the active flag, media names, embedded
// WAV from memory and MIDI from a temporary file, the end and the loop
// through its notify window under real DirectShow, bad media, the CD on the
// scripted MCI device and the messages its window passes to the owner.
#include <gtest/gtest.h>

#include <windows.h>

#define STRSAFE_NO_DEPRECATE
#include <dshow.h>

#include <functional>
#include <string>
#include <vector>

#include "ObjectDoubles.h"
#include "ScriptedMci.h"
#include "ServiceFakes.h"
#include "SoundWriter.h"
#include "TestFiles.h"
#include "bSoundCtrl.h"
#include "bSysSoundPlayer.h"

namespace {

class ComScope {
public:
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
};

// A hidden top-level window that keeps the messages it is sent.
class OwnerWindow {
public:
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    OwnerWindow() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "SysSoundTestOwner";
        RegisterClassA(&wc);
        m_window = CreateWindowA("SysSoundTestOwner", "", WS_POPUP, 0, 0, 300, 300, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~OwnerWindow() { DestroyWindow(m_window); }
    HWND Get() const { return m_window; }
    std::vector<Message> received;

private:
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrA(w, GWLP_USERDATA));
        if (self && (m == WM_CONTEXTMENU || (m >= WM_MOUSEMOVE && m <= WM_LBUTTONDBLCLK)))
            self->received.push_back({m, wp, lp});
        return DefWindowProcA(w, m, wp, lp);
    }
    HWND m_window;
};

// Dispatches the thread's messages until `done` holds, except those that
// `keep` takes; false when the guard time passed first (a stuck graph must
// not block the run).
bool PumpUntil(const std::function<bool()>& done,
               const std::function<bool(const MSG&)>& keep = nullptr, DWORD guardMs = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > guardMs)
            return false;
        MSG msg;
        while (!done() && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (!keep || !keep(msg))
                DispatchMessageA(&msg);
        if (!done())
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

// Types and extensions from the name, and extraction into a folder.
class SoundMedia : public FakeMediaManager {
public:
    explicit SoundMedia(TempFolder* f) : folder(f) {}
    STDMETHOD(GetMediaType)(const char* name, int* type, int* subtype) override {
        *type = 4;
        *subtype = subtypes.count(name) ? subtypes[name] : 1020;
        return S_OK;
    }
    STDMETHOD(GetDefaultExtension)(const char* name, char* buffer, int length) override {
        int type = 0, subtype = 0;
        GetMediaType(name, &type, &subtype);
        lstrcpynA(buffer, subtype == 1024 ? ".mid" : ".wav", length);
        return S_OK;
    }
    STDMETHOD(ExtractMediaToTempFile)(const char* name, char* path, int length) override {
        calls.push_back(std::string("extract ") + name);
        auto e = embedded.find(name);
        if (e == embedded.end())
            return E_FAIL;
        extracted = folder->File(std::string("x_") + name);
        if (!WriteFileBytes(extracted, e->second))
            return E_FAIL;
        lstrcpynA(path, extracted.c_str(), length);
        return S_OK;
    }
    bool Called(const std::string& call) const {
        for (const std::string& c : calls)
            if (c == call)
                return true;
        return false;
    }
    TempFolder* folder;
    std::map<std::string, int> subtypes;
    std::string extracted;
};

// A system sound over a site whose media manager holds the test's media,
// with its notify window under a hidden owner.
class SysSoundTest : public ::testing::Test {
protected:
    SysSoundTest() : media(&folder) {
        site.media = &media;
        site.view = owner.Get();
        sound = new CComObject<CSysSound>(&site);
        sound->AddRef();
    }
    ~SysSoundTest() override {
        if (sound)
            sound->Release();
    }
    SoundControl* Control() const { return static_cast<SoundControl*>(sound->Control()); }
    // A page record: the media name, start, end, CD flag, volume, balance.
    static SysSoundProperties Record(const char* path, DWORD start = 0, DWORD end = 0, DWORD cd = 0,
                                     DWORD volume = 1000, LONG balance = 0) {
        SysSoundProperties r = {};
        r.first = 5;
        r.path = path;
        r.values[0] = start;
        r.values[1] = end;
        r.values[5] = cd;
        r.values[8] = volume;
        r.values[9] = (DWORD)balance;
        return r;
    }

    ComScope com;
    TempFolder folder;
    OwnerWindow owner;
    SoundMedia media;
    TestPlayerSite site;
    CSysSound* sound = nullptr;
};

TEST_F(SysSoundTest, VolumeStepsStayWithinRangeAndTheActiveFlagKeepsItsValue) {
    const struct {
        int volume;
        BOOL up;
        long expected;
    } steps[] = {
        {950, TRUE, 1000}, {50, FALSE, 0}, {500, TRUE, 600}, {1000, TRUE, 1000}, {0, FALSE, 0}};
    for (const auto& s : steps) {
        ASSERT_EQ(sound->SetVolume(s.volume), S_OK);
        EXPECT_EQ(sound->StepVolume(s.up), S_OK);
        long v = -1;
        EXPECT_EQ(sound->get_Volume(&v), S_OK);
        EXPECT_EQ(v, s.expected) << s.volume << (s.up ? " up" : " down");
    }
    // Active at start: no change gives 1 and plays nothing.
    EXPECT_TRUE(sound->IsActive());
    EXPECT_EQ(sound->SetActive(TRUE), S_FALSE);
    EXPECT_EQ(sound->GetPlayState(), MEDIA_STOPPED);
    // Off before any open: the flag is kept though nothing could stop.
    EXPECT_EQ(sound->SetActive(FALSE), E_FAIL);
    EXPECT_FALSE(sound->IsActive());
    EXPECT_EQ(sound->SetActive(FALSE), S_FALSE);

    // CD audio refuses volume and balance; the stored values stay.
    sound->SetVolume(700);
    sound->SetBalance(-300);
    sound->put_CDAudio(1);
    long v = 0;
    EXPECT_EQ(sound->SetVolume(100), E_FAIL);
    EXPECT_EQ(sound->StepVolume(TRUE), E_FAIL);
    EXPECT_EQ(sound->put_Volume(100), E_FAIL);
    EXPECT_EQ(sound->get_Volume(&v), E_FAIL);
    EXPECT_EQ(sound->SetBalance(100), E_FAIL);
    EXPECT_EQ(sound->get_Balance(&v), E_FAIL);
    long cd = 0;
    sound->get_CDAudio(&cd);
    EXPECT_EQ(cd, 1);
    sound->put_CDAudio(0);
    EXPECT_EQ(sound->get_Volume(&v), S_OK);
    EXPECT_EQ(v, 700);
    EXPECT_EQ(sound->get_Balance(&v), S_OK);
    EXPECT_EQ(v, -300);
}

TEST_F(SysSoundTest, MediaNamesHoldThirtyFiveBytes) {
    const std::string longest(35, 'n'), over(36, 'o');
    const struct {
        const char* name;
        HRESULT hr;
        const char* kept;
    } cases[] = {
        {"", E_FAIL, ""},
        {"beep.wav", S_OK, "beep.wav"},
        {longest.c_str(), S_OK, longest.c_str()},
        {over.c_str(), E_INVALIDARG, longest.c_str()},
        {"BEEP.wav", S_OK, "BEEP.wav"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sound->put_MediaName(c.name), c.hr) << c.name;
        char buffer[64] = "";
        EXPECT_EQ(sound->get_MediaName(buffer, sizeof(buffer)), S_OK);
        EXPECT_STREQ(buffer, c.kept);
    }
    char exact[9], shorter[8];
    EXPECT_EQ(sound->get_MediaName(exact, sizeof(exact)), S_OK);
    EXPECT_EQ(sound->get_MediaName(shorter, sizeof(shorter)), E_FAIL);
    EXPECT_EQ(sound->get_MediaName(nullptr, 64), E_FAIL);
    // A record whose name is refused leaves no name to open.
    SysSoundProperties r = Record(over.c_str());
    EXPECT_EQ(sound->CopyProperties(&r), E_INVALIDARG);
    EXPECT_EQ(sound->Open(owner.Get()), E_FAIL);
}

TEST_F(SysSoundTest, EmbeddedWavePlaysFromMemoryToItsEnd) {
    const std::string wave = WaveFile(300, 8000, true);
    media.embedded["beep.wav"] = wave;
    LogCapture log;
    SysSoundProperties r = Record("beep.wav", 0, 0, 0, 800, -2000);
    ASSERT_EQ(sound->CopyProperties(&r), S_OK);
    EXPECT_EQ(sound->RecordFirst(), 5u);
    EXPECT_EQ(sound->RecordValues()[8], 800u);
    EXPECT_EQ(sound->Play(), E_FAIL);  // not open yet
    ASSERT_EQ(sound->Open(nullptr), S_OK);
    EXPECT_FALSE(media.Called("extract beep.wav"));
    EXPECT_TRUE(media.Called("read beep.wav"));
    ASSERT_NE(Control()->Reader(), nullptr);
    // The notify window is a hidden child of the site's view window.
    ASSERT_NE(sound->NotifyWindow(), nullptr);
    EXPECT_EQ(GetParent(sound->NotifyWindow()), owner.Get());
    EXPECT_FALSE(IsWindowVisible(sound->NotifyWindow()));
    char className[64] = "";
    GetClassNameA(sound->NotifyWindow(), className, sizeof(className));
    EXPECT_STREQ(className, "szSysSoundNotifyClass");
    // Volume and balance of the record reach the graph.
    ASSERT_NE(Control()->Audio(), nullptr);
    long level = 1, balance = 1;
    Control()->Audio()->get_Volume(&level);
    Control()->Audio()->get_Balance(&balance);
    EXPECT_EQ(level, -2000);
    EXPECT_EQ(balance, -2000);

    ASSERT_TRUE(SUCCEEDED(sound->Play()));
    EXPECT_EQ(sound->GetPlayState(), MEDIA_PLAYING);
    // The graph's notice carries the cookie: another value is not this
    // sound's (and is never taken as an object).
    MSG notice = {};
    ASSERT_TRUE(PumpUntil([&] { return notice.message != 0; },
                          [&](const MSG& m) {
                              if (m.hwnd != sound->NotifyWindow() || m.message != 1037)
                                  return false;
                              notice = m;
                              return true;
                          }));
    EXPECT_EQ(notice.lParam, sound->Cookie());
    EXPECT_EQ(notice.lParam, reinterpret_cast<LONG_PTR>(sound));
    for (LPARAM other : {(LPARAM)1, (LPARAM)0x7FFF0000, sound->Cookie() + 1})
        SendMessageA(sound->NotifyWindow(), 1037, 0, other);
    EXPECT_EQ(sound->Ends(), 0);
    DispatchMessageA(&notice);
    ASSERT_TRUE(PumpUntil([&] { return sound->Ends() > 0; }));
    EXPECT_EQ(sound->Ends(), 1);
    EXPECT_EQ(sound->GetPlayState(), MEDIA_STOPPED);
    const std::string text = log.Text();
    EXPECT_TRUE(
        Logged(text, "SysSound: beep.wav from memory (" + std::to_string(wave.size()) + " bytes)"));
    EXPECT_TRUE(Logged(text, "SysSound: end of beep.wav"));

    // Played again from the start; closed, the transport is refused.
    ASSERT_TRUE(SUCCEEDED(sound->Play()));
    EXPECT_EQ(sound->Close(), S_OK);
    EXPECT_NE(Control()->IsClosed(), S_OK);
    EXPECT_EQ(sound->Play(), E_FAIL);
    EXPECT_EQ(sound->Stop(), E_FAIL);
    EXPECT_EQ(sound->Pause(), E_FAIL);
    EXPECT_EQ(sound->Close(), E_FAIL);
}

TEST_F(SysSoundTest, WithLoopSetTheEndRewindsAndASecondEndFollows) {
    media.embedded["loop.wav"] = WaveFile(300, 8000, true);
    SysSoundProperties r = Record("loop.wav", 100, 0);
    ASSERT_EQ(sound->CopyProperties(&r), S_OK);
    sound->put_Loop(1);
    long loop = 0;
    sound->get_Loop(&loop);
    EXPECT_EQ(loop, 1);
    ASSERT_EQ(sound->Open(owner.Get()), S_OK);
    ASSERT_TRUE(SUCCEEDED(sound->Play()));
    ASSERT_TRUE(PumpUntil([&] { return sound->Ends() >= 1; }));
    // Rewound: still playing, from the start position.
    EXPECT_EQ(sound->GetPlayState(), MEDIA_PLAYING);
    ASSERT_TRUE(PumpUntil([&] { return sound->Ends() >= 2; }));
    EXPECT_EQ(sound->GetPlayState(), MEDIA_PLAYING);
    sound->put_Loop(0);
    ASSERT_TRUE(PumpUntil([&] { return sound->GetPlayState() == MEDIA_STOPPED; }));
    long start = 0;
    sound->get_StartPos(&start);
    EXPECT_EQ(start, 100);
    LONGLONG controlStart = 0;
    Control()->get_StartPos(&controlStart);
    EXPECT_EQ(controlStart, 100 * 10000);
}

TEST_F(SysSoundTest, PositionsInMillisecondsReachTheGraphInItsUnitAndTheDeviceAsTheyAre) {
    media.embedded["beep.wav"] = WaveFile(300);
    ASSERT_EQ(sound->put_MediaName("beep.wav"), S_OK);
    ASSERT_EQ(sound->Open(owner.Get()), S_OK);
    EXPECT_EQ(sound->put_EndPos(250), S_OK);
    EXPECT_EQ(sound->put_StartPos(50), S_OK);
    EXPECT_EQ(sound->put_CurPos(120), S_OK);
    LONGLONG start = 0, end = 0, current = 0;
    Control()->get_StartPos(&start);
    Control()->get_EndPos(&end);
    EXPECT_EQ(start, 500000);
    EXPECT_EQ(end, 2500000);
    long ms = 0;
    EXPECT_EQ(sound->get_CurPos(&ms), S_OK);
    EXPECT_EQ(ms, 120);
    // Transport states as the control sees them; rewinding goes to the start.
    ASSERT_TRUE(SUCCEEDED(sound->Play()));
    EXPECT_EQ(sound->GetPlayState(), MEDIA_PLAYING);
    EXPECT_TRUE(SUCCEEDED(sound->Pause()));
    EXPECT_EQ(sound->GetPlayState(), MEDIA_PAUSED);
    EXPECT_TRUE(SUCCEEDED(sound->Stop()));
    EXPECT_EQ(sound->GetPlayState(), MEDIA_STOPPED);
    // The graph's position comes back a unit short: read back, rounded.
    EXPECT_TRUE(SUCCEEDED(sound->Rewind()));
    Control()->get_CurPos(&current);
    EXPECT_NEAR((double)current, 500000.0, 10.0);
    EXPECT_EQ(sound->get_CurPos(&ms), S_OK);
    EXPECT_EQ(ms, 50);

    // The CD's device counts in milliseconds: nothing is converted.
    ScriptedMci mci;
    mci.tracks = {{2000, 90000}};
    mci.length = 92000;
    sound->put_CDAudio(1);
    ASSERT_EQ(sound->Open(owner.Get()), S_OK);
    EXPECT_EQ(sound->put_StartPos(30000), S_OK);
    Control()->get_StartPos(&start);
    EXPECT_EQ(start, 30000);
}

TEST_F(SysSoundTest, EmbeddedMidiPlaysFromATemporaryFile) {
    const std::string midi = MidiFile(4);
    const struct {
        const char* name;
        int subtype;
        bool extracted;
    } cases[] = {{"tune.mid", 1024, true}, {"other.rmi", 1027, true}, {"voice.wav", 1020, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        media.calls.clear();
        media.extracted.clear();
        media.embedded[c.name] = c.subtype == 1020 ? WaveFile(100) : midi;
        media.subtypes[c.name] = c.subtype;
        ASSERT_EQ(sound->put_MediaName(c.name), S_OK);
        const HRESULT hr = sound->Open(owner.Get());
        EXPECT_EQ(media.Called(std::string("extract ") + c.name), c.extracted);
        if (!c.extracted) {
            EXPECT_EQ(hr, S_OK);
            continue;
        }
        EXPECT_EQ(ReadFileBytes(media.extracted), midi);
        char file[MAX_PATH] = "";
        Control()->get_FileName(file, sizeof(file));
        EXPECT_EQ(std::string(file), media.extracted);
        EXPECT_FALSE(media.Called(std::string("read ") + c.name));
        // Without a MIDI synthesizer the graph does not render it.
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        EXPECT_NE(Control()->IsClosed(), S_OK);
        EXPECT_EQ(sound->Play(), E_FAIL);
    }
}

TEST_F(SysSoundTest, BadMediaDoNotOpenAndLeakNothing) {
    const std::string wave = WaveFile(300);
    const std::string midi = MidiFile(4);
    const struct {
        const char* name;
        std::string bytes;
        int subtype;
    } cases[] = {
        {"empty.wav", "", 1020},
        {"cut.wav", wave.substr(0, 30), 1020},
        {"damaged.wav", "RIFX" + wave.substr(4, 40), 1020},
        {"noformat.wav", wave.substr(0, 12) + std::string(40, '\xEE'), 1020},
        {"empty.mid", "", 1024},
        {"cut.mid", midi.substr(0, 10), 1024},
        {"damaged.mid", "MThx" + midi.substr(4), 1024},
    };
    for (const auto& c : cases) {
        for (bool asFile : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (asFile ? " file" : " embedded"));
            SoundMedia m(&folder);
            if (asFile) {
                const std::string path = folder.File(c.name);
                ASSERT_TRUE(WriteFileBytes(path, c.bytes));
                m.files[c.name] = path;
            } else {
                m.embedded[c.name] = c.bytes;
                m.subtypes[c.name] = c.subtype;
            }
            TestPlayerSite s;
            s.media = &m;
            CSysSound* bad = new CComObject<CSysSound>(&s);
            bad->AddRef();
            ASSERT_EQ(bad->put_MediaName(c.name), S_OK);
            EXPECT_TRUE(FAILED(bad->Open(owner.Get())));
            EXPECT_NE(bad->Control()->IsClosed(), S_OK);
            EXPECT_EQ(bad->Play(), E_FAIL);
            EXPECT_EQ(bad->Release(), 0u);
        }
    }
    // A file item whose file is missing, a name the manager does not know.
    media.files["gone.wav"] = folder.File("gone.wav");
    for (const char* name : {"gone.wav", "unknown.wav"}) {
        ASSERT_EQ(sound->put_MediaName(name), S_OK);
        EXPECT_TRUE(FAILED(sound->Open(owner.Get()))) << name;
    }
    // Nothing named and no CD: nothing to open.
    CSysSound* empty = new CComObject<CSysSound>(&site);
    empty->AddRef();
    EXPECT_EQ(empty->Open(owner.Get()), E_FAIL);
    EXPECT_EQ(empty->Release(), 0u);
}

TEST_F(SysSoundTest, CdAudioOpensTheDeviceAndEndsOnItsNotice) {
    ScriptedMci mci;
    for (DWORD t = 0; t < 12; ++t) mci.tracks.push_back({2000 + t * 100000, 90000 + t});
    mci.length = 1200000;
    SysSoundProperties r = Record("", 0, 0, 1);
    ASSERT_EQ(sound->CopyProperties(&r), S_OK);
    ASSERT_EQ(sound->Open(owner.Get()), S_OK);
    ASSERT_EQ(mci.Of(MCI_OPEN).size(), 1u);
    EXPECT_EQ(mci.Of(MCI_OPEN)[0].typeId, 516u);
    EXPECT_EQ(mci.Of(MCI_OPEN)[0].element, "");
    EXPECT_EQ(sound->put_Track(99), S_OK);
    long track = 0;
    sound->get_Track(&track);
    EXPECT_EQ(track, 12);
    ASSERT_TRUE(SUCCEEDED(sound->Play()));
    ASSERT_EQ(mci.Of(MCI_PLAY).size(), 1u);
    EXPECT_EQ(mci.Of(MCI_PLAY)[0].from, 2000u + 11 * 100000);
    EXPECT_EQ(mci.Of(MCI_PLAY)[0].callback, (DWORD_PTR)sound->NotifyWindow());
    // The device's notice: stopped at the track's end.
    mci.mode = MCI_MODE_STOP;
    mci.position = mci.Of(MCI_PLAY)[0].to;
    SendMessageA(sound->NotifyWindow(), MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, 7);
    EXPECT_EQ(sound->Ends(), 1);
    EXPECT_EQ(mci.Of(MCI_STOP).size(), 1u);
    EXPECT_EQ(sound->GetPlayState(), MEDIA_STOPPED);
}

TEST_F(SysSoundTest, TheNotifyWindowPassesMouseAndMenuToItsOwner) {
    media.embedded["beep.wav"] = WaveFile(100);
    ASSERT_EQ(sound->put_MediaName("beep.wav"), S_OK);
    ASSERT_EQ(sound->Open(owner.Get()), S_OK);
    HWND notify = sound->NotifyWindow();
    SetWindowPos(notify, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(notify, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6));
    SendMessageA(notify, WM_MOUSEMOVE, 0, MAKELPARAM(1, 2));
    SendMessageA(notify, WM_CONTEXTMENU, (WPARAM)notify, MAKELPARAM(300, 400));
    SendMessageA(notify, WM_RBUTTONDOWN, 0, MAKELPARAM(5, 6));  // not passed
    ASSERT_EQ(owner.received.size(), 3u);
    EXPECT_EQ(owner.received[0].message, (UINT)WM_LBUTTONDOWN);
    EXPECT_EQ(owner.received[0].wParam, (WPARAM)MK_LBUTTON);
    EXPECT_EQ(owner.received[0].lParam, MAKELPARAM(15, 26));
    EXPECT_EQ(owner.received[1].lParam, MAKELPARAM(11, 22));
    EXPECT_EQ(owner.received[2].message, (UINT)WM_CONTEXTMENU);
    EXPECT_EQ(owner.received[2].wParam, (WPARAM)owner.Get());
    EXPECT_EQ(owner.received[2].lParam, MAKELPARAM(300, 400));
}

}  // namespace
