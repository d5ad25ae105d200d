// The sound control: kinds and MCI types, the MCI path and CD tracks on the
// scripted device, and real DirectShow playback of WAV files and memory
// blocks under Wine's null sound device.
#include <gtest/gtest.h>

#include <windows.h>

#define STRSAFE_NO_DEPRECATE
#include <dshow.h>

#include <string>

#include "GraphNotice.h"
#include "ScriptedMci.h"
#include "SoundWriter.h"
#include "TestFiles.h"
#include "bSoundCtrl.h"

namespace {

SoundControl* NewControl() {
    SoundControl* c = new SoundControl(nullptr);
    c->AddRef();
    return c;
}

// Plays until the graph reports the end through HandleEvents.
bool PlaysToEnd(SoundControl* c, NotifyWindow& w, LONG_PTR cookie) {
    const HRESULT hr = c->Play();
    EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    if (FAILED(hr))
        return false;
    for (int i = 0; i < 20; ++i) {
        LPARAM param = 0;
        if (!w.Wait(WM_GRAPHNOTIFY, &param))
            return false;
        EXPECT_EQ(param, cookie);
        long ended = 0;
        EXPECT_EQ(c->HandleEvents(0, 0, &ended), S_OK);
        if (ended)
            return true;
    }
    return false;
}

TEST(SoundCtrlTest, KindsAndDeviceTypesFollowTheName) {
    struct Case {
        const char* name;
        long cd;
        short kind;
        const char* type;
    } cases[] = {
        {"a.wav", 0, 1, "waveaudio"}, {"b.MID", 0, 2, "sequencer"},
        {"a.MP3", 0, 3, "MPEGVideo"}, {"c.asx", 0, 3, "MPEGVideo"},
        {"c.Asf", 0, 3, "MPEGVideo"}, {"d.mp2", 0, 4, "MPEGVideo"},
        {"a.wave", 0, 6, ""},         {"wav", 0, 6, ""},
        {"x.wav", 1, 5, "cdaudio"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        SoundControl* c = NewControl();
        c->put_UseMCI(k.cd ? 0 : 1);
        c->put_CDAudio(k.cd);
        char type[64] = "unset";
        EXPECT_EQ(c->SetKindFromFileName(k.name, type), S_OK);
        short kind = 0;
        c->get_Kind(&kind);
        EXPECT_EQ(kind, k.kind);
        EXPECT_STREQ(type, k.type);
        long mci = 0;
        c->get_UseMCI(&mci);
        EXPECT_EQ(mci, 1);
        c->Release();
    }
    // Under MCI a kind without device type does not open; nothing is sent.
    ScriptedMci mci;
    SoundControl* c = NewControl();
    c->put_UseMCI(1);
    EXPECT_EQ(c->Open("a.wave", 0), E_FAIL);
    const std::string wave = WaveFile(100);
    EXPECT_EQ(c->OpenFromMemory(wave.data(), (DWORD)wave.size(), "a.wav"), E_FAIL);
    EXPECT_EQ(c->Reader(), nullptr);
    EXPECT_NE(c->IsClosed(), S_OK);
    EXPECT_TRUE(mci.commands.empty());
    c->Release();
}

TEST(SoundCtrlTest, MciSoundsOfOneFileOpenSideBySide) {
    ScriptedMci mci;
    mci.length = 4000;
    SoundControl* a = NewControl();
    SoundControl* b = NewControl();
    a->put_UseMCI(1);
    b->put_UseMCI(1);
    EXPECT_EQ(a->Open("same.wav", 0), S_OK);
    EXPECT_EQ(b->Open("same.wav", 0), S_OK);
    ASSERT_EQ(mci.Of(MCI_OPEN).size(), 2u);
    EXPECT_NE(mci.Of(MCI_OPEN)[0].alias, mci.Of(MCI_OPEN)[1].alias);
    EXPECT_EQ(mci.Of(MCI_OPEN)[0].element, "same.wav");
    LONGLONG duration = 0;
    b->get_Duration(&duration);
    EXPECT_EQ(duration, 4000);
    a->Release();
    b->Release();
}

TEST(SoundCtrlTest, SeekingWhilePlayingPausesSeeksAndPlays) {
    ScriptedMci mci;
    mci.length = 5000;
    SoundControl* c = NewControl();
    c->put_UseMCI(1);
    ASSERT_EQ(c->Open("s.wav", 0), S_OK);
    mci.commands.clear();
    EXPECT_EQ(c->put_CurPos(1200), S_OK);  // stopped: only the seek
    ASSERT_EQ(mci.commands.size(), 1u);
    EXPECT_EQ(mci.commands[0].message, (UINT)MCI_SEEK);
    EXPECT_EQ(mci.commands[0].to, 1200u);

    ASSERT_EQ(c->Play(), S_OK);
    ASSERT_EQ(mci.Of(MCI_PLAY).size(), 1u);
    EXPECT_EQ(mci.Of(MCI_PLAY)[0].from, 1200u);
    EXPECT_EQ(mci.Of(MCI_PLAY)[0].to, 5000u);
    mci.commands.clear();
    EXPECT_EQ(c->put_CurPos(2500), S_OK);
    std::vector<UINT> sent;
    for (const MciCommand& m : mci.commands)
        if (m.message != MCI_STATUS)
            sent.push_back(m.message);
    EXPECT_EQ(sent, (std::vector<UINT>{MCI_PAUSE, MCI_SEEK, MCI_PLAY}));
    EXPECT_EQ(mci.Of(MCI_PLAY)[0].from, 2500u);
    long state = 0;
    c->get_PlayState(&state);
    EXPECT_EQ(state, MEDIA_PLAYING);
    c->Release();
}

TEST(SoundCtrlTest, CdTracksAreClampedWhenOpenAndStoredWhenClosed) {
    ScriptedMci mci;
    for (DWORD t = 0; t < 12; ++t) mci.tracks.push_back({2000 + t * 100000, 90000 + t});
    mci.length = 1200000;
    mci.currentTrack = 1;
    SoundControl* closed = NewControl();
    closed->put_CDAudio(1);
    EXPECT_EQ(closed->put_Track(99), S_OK);
    long track = 0;
    closed->get_Track(&track);
    EXPECT_EQ(track, 99);
    closed->Release();

    SoundControl* c = NewControl();
    c->put_CDAudio(1);
    ASSERT_EQ(c->Open("cdaudio", 0), S_OK);
    EXPECT_EQ(mci.Of(MCI_OPEN)[0].typeId, 516u);
    LONGLONG start = 0, end = 0;
    c->get_StartPos(&start);
    c->get_EndPos(&end);
    EXPECT_EQ(start, 2000);
    EXPECT_EQ(end, 2000 + 90000);
    EXPECT_EQ(c->put_Track(99), S_OK);
    c->get_Track(&track);
    EXPECT_EQ(track, 12);
    c->get_StartPos(&start);
    c->get_EndPos(&end);
    EXPECT_EQ(start, 2000 + 11 * 100000);
    EXPECT_EQ(end, start + 90011 - 2);
    EXPECT_EQ(mci.Of(MCI_SEEK).back().to, (DWORD)start);
    long count = 0;
    EXPECT_EQ(c->GetTrackCount(&count), S_OK);
    EXPECT_EQ(count, 12);
    LONGLONG length = 0;
    EXPECT_EQ(c->GetTrackLength(3, &length), S_OK);
    EXPECT_EQ(length, 90002);
    ASSERT_EQ(c->Play(), S_OK);
    EXPECT_EQ(mci.Of(MCI_PLAY)[0].from, (DWORD)start);
    EXPECT_EQ(mci.Of(MCI_PLAY)[0].to, (DWORD)end);
    c->Release();
}

TEST(SoundCtrlTest, WaveFilePlaysThroughDirectShowWithItsVolume) {
    ComScope com;
    TempFolder folder;
    const std::string path = folder.File("short.wav");
    ASSERT_TRUE(WriteFileBytes(path, WaveFile(300)));
    NotifyWindow w;
    SoundControl* c = NewControl();
    c->put_NotifyWindow(w.Get());
    c->put_NotifyCookie(0x5A5A);
    ASSERT_EQ(c->Open(path.c_str(), 0), S_OK);
    EXPECT_EQ(c->IsClosed(), S_OK);
    LONGLONG duration = 0;
    c->get_Duration(&duration);
    EXPECT_EQ(duration, 3000000);
    ASSERT_NE(c->Audio(), nullptr);
    struct {
        long volume, sent;
    } volumes[] = {{0, -10000}, {500, -5000}, {1000, 0}};
    for (const auto& v : volumes) {
        EXPECT_EQ(c->put_Volume(v.volume), S_OK);
        long got = 1;
        EXPECT_EQ(c->Audio()->get_Volume(&got), S_OK);
        EXPECT_EQ(got, v.sent);
    }
    EXPECT_TRUE(PlaysToEnd(c, w, 0x5A5A));
    EXPECT_EQ(c->Stop(), S_OK);
    EXPECT_EQ(c->Close(), S_OK);
    EXPECT_NE(c->IsClosed(), S_OK);
    c->Release();
}

TEST(SoundCtrlTest, AnEndOfZeroPlaysToTheEndOfTheMedia) {
    ComScope com;
    TempFolder folder;
    const std::string path = folder.File("zero.wav");
    ASSERT_TRUE(WriteFileBytes(path, WaveFile(300)));
    NotifyWindow w;
    SoundControl* c = NewControl();
    c->put_NotifyWindow(w.Get());
    c->put_NotifyCookie(7);
    ASSERT_EQ(c->Open(path.c_str(), 0), S_OK);
    c->put_StartPos(1000000);
    c->put_EndPos(0);  // a page sound's default record
    EXPECT_TRUE(PlaysToEnd(c, w, 7));
    LONGLONG start = 0, end = 0;
    c->get_StartPos(&start);
    c->get_EndPos(&end);
    EXPECT_EQ(start, 1000000);
    EXPECT_EQ(end, 3000000);
    c->Release();
}

TEST(SoundCtrlTest, MemoryWavePlaysThroughTheOutputPin) {
    ComScope com;
    const std::string wave = WaveFile(300, 8000, true);
    NotifyWindow w;
    SoundControl* c = NewControl();
    c->put_NotifyWindow(w.Get());
    c->put_NotifyCookie(99);
    ASSERT_EQ(c->OpenFromMemory(wave.data(), (DWORD)wave.size(), "beep.wav"), S_OK);
    ASSERT_NE(c->Reader(), nullptr);
    IEnumPins* pins = nullptr;
    ASSERT_EQ(c->Reader()->EnumPins(&pins), S_OK);
    IPin* pin = nullptr;
    ASSERT_EQ(pins->Next(1, &pin, nullptr), S_OK);
    pins->Release();
    PIN_INFO info = {};
    ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, L"Output");
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    info.pFilter->Release();
    IPin* peer = nullptr;
    EXPECT_EQ(pin->ConnectedTo(&peer), S_OK);
    if (peer)
        peer->Release();
    pin->Release();
    LONGLONG duration = 0;
    c->get_Duration(&duration);
    EXPECT_EQ(duration, 3000000);
    EXPECT_TRUE(PlaysToEnd(c, w, 99));
    c->Release();
}

TEST(SoundCtrlTest, BadFilesDoNotOpenAndLeaveTheControlClosed) {
    ComScope com;
    TempFolder folder;
    const std::string wave = WaveFile(300);
    const std::string midi = MidiFile(4);
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty.wav", ""},
        {"cut.wav", wave.substr(0, 30)},
        {"damaged.wav", "RIFX" + wave.substr(4, 40)},
        {"empty.mid", ""},
        {"cut.mid", midi.substr(0, 10)},
    };
    for (const Case& k : cases) {
        for (long useMci = 0; useMci <= 1; ++useMci) {
            SCOPED_TRACE(std::string(k.name) + (useMci ? " MCI" : " DirectShow"));
            const std::string path = folder.File(k.name);
            ASSERT_TRUE(WriteFileBytes(path, k.bytes));
            SoundControl* c = NewControl();
            c->put_UseMCI(useMci);
            EXPECT_NE(c->Open(path.c_str(), 0), S_OK);
            EXPECT_NE(c->IsClosed(), S_OK);
            if (!useMci && !k.bytes.empty()) {
                EXPECT_NE(c->OpenFromMemory(k.bytes.data(), (DWORD)k.bytes.size(), k.name), S_OK);
                EXPECT_NE(c->IsClosed(), S_OK);
            }
            EXPECT_EQ(c->Release(), 0u);
        }
    }
}

}  // namespace
