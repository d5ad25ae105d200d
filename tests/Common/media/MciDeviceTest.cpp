// The MCI device wrapper: the commands and flags it sends through the call
// table, what it does without a device, failures in the log, the end check;
// and a real WAV and the missing CD device under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <mmsystem.h>

#include <digitalv.h>

#include <functional>
#include <string>

#include "ScriptedMci.h"
#include "SoundWriter.h"
#include "TestFiles.h"
#include "bMciDevice.h"

namespace {

struct SentCase {
    const char* name;
    std::function<int(MciDevice&)> act;
    UINT message;
    DWORD_PTR flags;
    DWORD from, to;
};

TEST(MciDeviceTest, SendsEachOperationWithItsFlags) {
    const HWND w = reinterpret_cast<HWND>(0x1234);
    const SentCase cases[] = {
        {"play all", [](MciDevice& d) { return d.Play(-1, -1, nullptr); }, MCI_PLAY, 0, 0, 0},
        {"play from to", [](MciDevice& d) { return d.Play(100, 900, nullptr); }, MCI_PLAY,
         MCI_FROM | MCI_TO, 100, 900},
        {"play to, notify", [w](MciDevice& d) { return d.Play(-1, 900, w); }, MCI_PLAY,
         MCI_TO | MCI_NOTIFY, 0, 900},
        {"seek start", [](MciDevice& d) { return d.MediaSetPos(0); }, MCI_SEEK,
         MCI_WAIT | MCI_SEEK_TO_START, 0, 0},
        {"seek end", [](MciDevice& d) { return d.MediaSetPos(-1); }, MCI_SEEK,
         MCI_WAIT | MCI_SEEK_TO_END, 0, 0},
        {"seek to", [](MciDevice& d) { return d.MediaSetPos(250); }, MCI_SEEK, MCI_WAIT | MCI_TO, 0,
         250},
        {"stop", [](MciDevice& d) { return d.Stop(); }, MCI_STOP, MCI_WAIT, 0, 0},
        {"pause", [](MciDevice& d) { return d.Pause(); }, MCI_PAUSE, MCI_WAIT, 0, 0},
        {"speed", [](MciDevice& d) { return d.SetSpeed(1500); }, MCI_SET, MCI_DGV_SET_SPEED, 0, 0},
        {"close", [](MciDevice& d) { return d.Close(); }, MCI_CLOSE, MCI_WAIT, 0, 0},
    };
    for (const SentCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedMci mci;
        MciSoundDevice d;
        ASSERT_EQ(d.OpenSound("waveaudio", "a.wav", "a.wav#1", nullptr), 7);
        mci.commands.clear();
        EXPECT_EQ(c.act(d), 1);
        ASSERT_EQ(mci.commands.size(), 1u);
        const MciCommand& sent = mci.commands[0];
        EXPECT_EQ(sent.device, 7u);
        EXPECT_EQ(sent.message, c.message);
        EXPECT_EQ(sent.flags, c.flags);
        EXPECT_EQ(sent.from, c.from);
        EXPECT_EQ(sent.to, c.to);
    }
}

TEST(MciDeviceTest, OpensSoundsAndTheCdByTypeAndSetsMilliseconds) {
    ScriptedMci mci;
    MciSoundDevice d;
    const HWND w = reinterpret_cast<HWND>(0x4321);
    ASSERT_EQ(d.OpenSound("CDAudio", "ignored", "cdaudio", w), 7);
    ASSERT_EQ(mci.commands.size(), 2u);
    const MciCommand& open = mci.commands[0];
    EXPECT_EQ(open.flags, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ALIAS | MCI_NOTIFY);
    EXPECT_EQ(open.typeId, (DWORD_PTR)MCI_DEVTYPE_CD_AUDIO);
    EXPECT_EQ(open.typeId, 516u);
    EXPECT_EQ(open.element, "");
    EXPECT_EQ(open.alias, "cdaudio");
    EXPECT_EQ(open.callback, reinterpret_cast<DWORD_PTR>(w));
    EXPECT_EQ(mci.commands[1].message, (UINT)MCI_SET);
    EXPECT_EQ(mci.commands[1].flags, (DWORD_PTR)MCI_SET_TIME_FORMAT);
    EXPECT_EQ(mci.commands[1].timeFormat, (DWORD)MCI_FORMAT_MILLISECONDS);
    EXPECT_EQ(mci.commands[1].device, 7u);

    // A second open stops and closes the first device.
    mci.commands.clear();
    ASSERT_EQ(d.OpenSound("waveaudio", "b.wav", nullptr, nullptr), 8);
    ASSERT_EQ(mci.commands.size(), 4u);
    EXPECT_EQ(mci.commands[0].message, (UINT)MCI_STOP);
    EXPECT_EQ(mci.commands[1].message, (UINT)MCI_CLOSE);
    EXPECT_EQ(mci.commands[2].flags, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT);
    EXPECT_EQ(mci.commands[2].type, "waveaudio");
    EXPECT_EQ(mci.commands[2].element, "b.wav");
    EXPECT_EQ(d.DeviceId(), 8u);
}

TEST(MciDeviceTest, SetsAudioForAllChannelsOrLeftThenRight) {
    ScriptedMci mci;
    MciSoundDevice d;
    ASSERT_NE(d.OpenSound("waveaudio", "a.wav", nullptr, nullptr), 0);
    mci.commands.clear();
    EXPECT_EQ(d.SetAudio(1, 0), 1);
    ASSERT_EQ(mci.commands.size(), 2u);
    EXPECT_EQ(mci.commands[0].flags, (DWORD_PTR)(MCI_SET_AUDIO | MCI_SET_ON));
    EXPECT_EQ(mci.commands[0].audio, (DWORD)MCI_SET_AUDIO_LEFT);
    EXPECT_EQ(mci.commands[1].flags, (DWORD_PTR)(MCI_SET_AUDIO | MCI_SET_OFF));
    EXPECT_EQ(mci.commands[1].audio, (DWORD)MCI_SET_AUDIO_RIGHT);
    mci.commands.clear();
    EXPECT_EQ(d.SetAudio(0, 0), 1);
    ASSERT_EQ(mci.commands.size(), 1u);
    EXPECT_EQ(mci.commands[0].flags, (DWORD_PTR)(MCI_SET_AUDIO | MCI_SET_OFF));
    EXPECT_EQ(mci.commands[0].audio, (DWORD)MCI_SET_AUDIO_ALL);
}

TEST(MciDeviceTest, WithoutDeviceNothingIsSent) {
    ScriptedMci mci;
    MciSoundDevice d;
    EXPECT_EQ(d.Play(-1, -1, nullptr), 0);
    EXPECT_EQ(d.Stop(), 0);
    EXPECT_EQ(d.Pause(), 0);
    EXPECT_EQ(d.MediaSetPos(0), 0);
    EXPECT_EQ(d.MediaStatus(MCI_ITEM_LENGTH), 0u);
    EXPECT_EQ(d.TrackLength(1), 0u);
    EXPECT_EQ(d.SetAudio(1, 1), 0);
    long ended = 0;
    EXPECT_EQ(d.CheckEnd(100, &ended), -1);
    EXPECT_EQ(d.Close(), 1);
    EXPECT_TRUE(mci.commands.empty());
}

TEST(MciDeviceTest, FailuresAreLoggedWithTheErrorTextAndKeepTheDevice) {
    ScriptedMci mci;
    MciSoundDevice d;
    ASSERT_NE(d.OpenSound("waveaudio", "a.wav", nullptr, nullptr), 0);
    mci.failures[MCI_PLAY] = MCIERR_HARDWARE;
    mci.failures[MCI_CLOSE] = MCIERR_DEVICE_LOCKED;
    std::string text;
    {
        LogCapture log;
        EXPECT_EQ(d.Play(-1, -1, nullptr), 0);
        EXPECT_EQ(d.Close(), 0);
        text = log.Text();
    }
    EXPECT_TRUE(Logged(text, "bMciDevice.cpp("));
    EXPECT_TRUE(
        Logged(text, "): MCI-Error: PLAY -- scripted error " + std::to_string(MCIERR_HARDWARE)));
    EXPECT_TRUE(Logged(text, "MCI-Error: CLOSE -- scripted error"));
    EXPECT_EQ(d.DeviceId(), 7u);
    mci.failures.clear();

    // A failed open leaves no device; track status fails without a log.
    mci.failures[MCI_OPEN] = MCIERR_CANNOT_LOAD_DRIVER;
    {
        LogCapture log;
        EXPECT_EQ(d.OpenSound("waveaudio", "b.wav", nullptr, nullptr), 0);
        EXPECT_EQ(d.DeviceId(), 0u);
        text = log.Text();
    }
    EXPECT_TRUE(Logged(text, "MCI-Error: OpenSound -- scripted error"));
    mci.failures.clear();
    ASSERT_NE(d.OpenSound("cdaudio", nullptr, nullptr, nullptr), 0);
    {
        LogCapture log;
        EXPECT_EQ(d.TrackLength(3), 0u);
        EXPECT_EQ(d.TrackPosition(3), 0u);
        EXPECT_EQ(log.Text().find("MCI-Error"), std::string::npos);
    }
    mci.tracks = {{2000, 60000}, {62000, 30000}};
    EXPECT_EQ(d.TrackPosition(2), 62000u);
    EXPECT_EQ(d.TrackLength(2), 30000u);
    EXPECT_EQ(mci.commands.back().flags, (DWORD_PTR)(MCI_STATUS_ITEM | MCI_TRACK));
}

TEST(MciDeviceTest, EndIsReportedWhenStoppedNearTheDesiredEnd) {
    struct Case {
        DWORD mode, position;
        long desired, ended;
    } cases[] = {{MCI_MODE_STOP, 880, 1000, 1},    // within 120 ms
                 {MCI_MODE_STOP, 879, 1000, 0},    // too early
                 {MCI_MODE_PLAY, 1000, 1000, 0},   // still playing
                 {MCI_MODE_STOP, 1500, 1000, 1}};  // beyond
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        ScriptedMci mci;
        MciSoundDevice d;
        ASSERT_NE(d.OpenSound("waveaudio", "a.wav", nullptr, nullptr), 0);
        mci.mode = c.mode;
        mci.position = c.position;
        long ended = 0;
        LogCapture log;
        EXPECT_EQ(d.CheckEnd(c.desired, &ended), 0);
        EXPECT_EQ(ended, c.ended);
        const std::string line = "MCI: play end at " + std::to_string(c.position) +
                                 "  desired endPos = " + std::to_string(c.desired);
        EXPECT_EQ(log.Text().find(line) != std::string::npos, c.ended == 1);
    }
}

TEST(MciDeviceTest, RealWaveHasItsLengthAndCdAudioFailsWithItsText) {
    TempFolder folder;
    const std::string path = folder.File("one.wav");
    ASSERT_TRUE(WriteFileBytes(path, WaveFile(1000)));
    MciSoundDevice d;
    ASSERT_NE(d.OpenSound("waveaudio", path.c_str(), "one.wav#1", nullptr), 0);
    EXPECT_EQ(d.MediaStatus(MCI_ITEM_LENGTH), 1000u);
    EXPECT_EQ(d.MediaSetPos(-1), 1);
    EXPECT_EQ(d.MediaStatus(MCI_ITEM_POSITION), 1000u);
    EXPECT_EQ(d.MediaSetPos(0), 1);
    EXPECT_EQ(d.MediaStatus(MCI_ITEM_POSITION), 0u);
    EXPECT_EQ(d.Close(), 1);
    EXPECT_EQ(d.DeviceId(), 0u);

    char expected[256] = "";
    ASSERT_TRUE(mciGetErrorStringA(266, expected, sizeof(expected)));
    MciSoundDevice cd;
    LogCapture log;
    EXPECT_EQ(cd.OpenSound("cdaudio", nullptr, "cdaudio", nullptr), 0);
    EXPECT_LOGGED(log, std::string("MCI-Error: OpenSound -- ") + expected);
}

}  // namespace
