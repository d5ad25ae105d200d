// The mixer volume on Wine's mixer (one speaker line whose volume is
// uniform and per process) and on a scripted mixer behind the call table.
#include <gtest/gtest.h>

#include <windows.h>

#include <mmsystem.h>

#include <vector>

#include "bMixer.h"

namespace {

// Reads or writes the real speaker line's control of the type as one value.
bool SpeakerControl(DWORD type, DWORD* value, bool write) {
    HMIXER mixer = nullptr;
    if (mixerOpen(&mixer, 0, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR)
        return false;
    bool ok = false;
    MIXERLINEA line = {};
    line.cbStruct = sizeof(line);
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    HMIXEROBJ object = reinterpret_cast<HMIXEROBJ>(mixer);
    if (mixerGetLineInfoA(object, &line, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) ==
        0) {
        MIXERCONTROLA control = {};
        control.cbStruct = sizeof(control);
        MIXERLINECONTROLSA controls = {};
        controls.cbStruct = sizeof(controls);
        controls.dwLineID = line.dwLineID;
        controls.dwControlType = type;
        controls.cControls = 1;
        controls.cbmxctrl = sizeof(control);
        controls.pamxctrl = &control;
        if (mixerGetLineControlsA(object, &controls,
                                  MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) == 0) {
            MIXERCONTROLDETAILS_UNSIGNED v = {*value};
            MIXERCONTROLDETAILS details = {};
            details.cbStruct = sizeof(details);
            details.dwControlID = control.dwControlID;
            details.cChannels = 1;
            details.cbDetails = sizeof(v);
            details.paDetails = &v;
            if (write) {
                ok = mixerSetControlDetails(object, &details, MIXER_OBJECTF_HMIXER) == 0;
            } else {
                ok = mixerGetControlDetailsA(object, &details, MIXER_OBJECTF_HMIXER) == 0;
                *value = v.dwValue;
            }
        }
    }
    mixerClose(mixer);
    return ok;
}

DWORD Volume() {
    DWORD v = 0x12345;
    EXPECT_TRUE(SpeakerControl(MIXERCONTROL_CONTROLTYPE_VOLUME, &v, false));
    return v;
}

void SetVolume(DWORD v) {
    ASSERT_TRUE(SpeakerControl(MIXERCONTROL_CONTROLTYPE_VOLUME, &v, true));
}

DWORD Mute() {
    DWORD v = 7;
    EXPECT_TRUE(SpeakerControl(MIXERCONTROL_CONTROLTYPE_MUTE, &v, false));
    return v;
}

TEST(MixerTest, StepsLevelsAndMuteOnTheSystemMixer) {
    ASSERT_GT(mixerGetNumDevs(), 0u);
    const DWORD before = Volume();
    struct Case {
        int operation;
        LONG value;
        DWORD at, expected;
    } cases[] = {
        {2, 5, 0xFFFF, 32765}, {1, 1, 0xF000, 0xFFFF}, {1, 0, 0x8000, 26215},
        {1, 0, 0x1000, 0},     {1, 1, 0x1000, 10649},  {2, 12, 0, 0xFFFF},
        {2, -3, 0x8000, 0},    {7, 0, 0x8000, 0},      {2, 9, 0, 58977},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.operation << " " << c.value << " " << c.at);
        SetVolume(c.at);
        SetMixerVolume(c.operation, c.value);
        EXPECT_EQ(Volume(), c.expected);
    }
    SetVolume(before);

    SetMixerVolume(3, 0);
    EXPECT_EQ(Mute(), 1u);
    SetMixerVolume(3, 1);
    EXPECT_EQ(Mute(), 0u);
    SetMixerVolume(4, 0);
    EXPECT_EQ(Mute(), 1u);
    SetMixerVolume(4, 0);
    EXPECT_EQ(Mute(), 0u);
}

// Destinations of set kinds, each with a volume and a mute control of two
// channels (or uniform); records what is set.
struct ScriptedMixer {
    struct Line {
        DWORD component;
        DWORD channels;
        bool uniform;
        DWORD volume[2];
        DWORD mute;
    };
    std::vector<Line> lines;
    int sets = 0;
    bool opened = false, closed = false;

    static inline ScriptedMixer* s_current = nullptr;

    ScriptedMixer() {
        s_current = this;
        static const MixerCalls calls = {NumDevs,      Open, Caps, LineInfo,
                                         LineControls, Get,  Set,  Close};
        SetMixerCalls(&calls);
    }
    ~ScriptedMixer() {
        SetMixerCalls(nullptr);
        s_current = nullptr;
    }

    static UINT WINAPI NumDevs() { return 1; }
    static MMRESULT WINAPI Open(LPHMIXER m, UINT, DWORD_PTR, DWORD_PTR, DWORD) {
        *m = reinterpret_cast<HMIXER>(0x77);
        s_current->opened = true;
        return 0;
    }
    static MMRESULT WINAPI Caps(UINT_PTR, LPMIXERCAPSA caps, UINT) {
        caps->cDestinations = (DWORD)s_current->lines.size();
        return 0;
    }
    static MMRESULT WINAPI LineInfo(HMIXEROBJ, LPMIXERLINEA line, DWORD) {
        const Line& l = s_current->lines.at(line->dwDestination);
        line->dwComponentType = l.component;
        line->cChannels = l.channels;
        line->dwLineID = line->dwDestination;
        return 0;
    }
    static MMRESULT WINAPI LineControls(HMIXEROBJ, LPMIXERLINECONTROLSA c, DWORD) {
        const Line& l = s_current->lines.at(c->dwLineID);
        c->pamxctrl->dwControlID =
            c->dwLineID * 2 + (c->dwControlType == MIXERCONTROL_CONTROLTYPE_MUTE ? 1 : 0);
        c->pamxctrl->fdwControl = l.uniform ? MIXERCONTROL_CONTROLF_UNIFORM : 0;
        return 0;
    }
    static MMRESULT WINAPI Get(HMIXEROBJ, LPMIXERCONTROLDETAILS d, DWORD) {
        Line& l = s_current->lines.at(d->dwControlID / 2);
        auto* v = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(d->paDetails);
        if (d->dwControlID % 2) {
            v[0].dwValue = l.mute;
        } else {
            for (DWORD i = 0; i < d->cChannels && i < 2; ++i) v[i].dwValue = l.volume[i];
        }
        return 0;
    }
    static MMRESULT WINAPI Set(HMIXEROBJ, LPMIXERCONTROLDETAILS d, DWORD) {
        Line& l = s_current->lines.at(d->dwControlID / 2);
        auto* v = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(d->paDetails);
        ++s_current->sets;
        if (d->dwControlID % 2) {
            l.mute = v[0].dwValue;
        } else {
            for (DWORD i = 0; i < d->cChannels && i < 2; ++i) l.volume[i] = v[i].dwValue;
        }
        return 0;
    }
    static MMRESULT WINAPI Close(HMIXER) {
        s_current->closed = true;
        return 0;
    }
};

TEST(MixerTest, ScriptedLinesOfOtherKindsAreLeftAlone) {
    ScriptedMixer mixer;
    mixer.lines = {{MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 2, false, {100, 200}, 0},
                   {MIXERLINE_COMPONENTTYPE_DST_LINE, 2, false, {100, 200}, 0}};
    for (int operation : {1, 2, 3, 4}) SetMixerVolume(operation, 1);
    EXPECT_EQ(mixer.sets, 0);
    EXPECT_TRUE(mixer.opened);
    EXPECT_TRUE(mixer.closed);
}

TEST(MixerTest, StereoLinesStepFromTheLouderOrSofterChannel) {
    ScriptedMixer mixer;
    mixer.lines = {{MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, 2, false, {0x3000, 0x1000}, 0},
                   {MIXERLINE_COMPONENTTYPE_DST_WAVEIN, 2, false, {5, 5}, 0},
                   {MIXERLINE_COMPONENTTYPE_DST_HEADPHONES, 2, false, {0x2000, 0x4000}, 1}};
    SetMixerVolume(1, 1);
    EXPECT_EQ(mixer.lines[0].volume[0], 0x3000u + 6553);
    EXPECT_EQ(mixer.lines[0].volume[1], 0x3000u + 6553);
    EXPECT_EQ(mixer.lines[2].volume[0], 0x4000u + 6553);
    EXPECT_EQ(mixer.lines[2].volume[1], 0x4000u + 6553);
    EXPECT_EQ(mixer.lines[1].volume[0], 5u);
    SetMixerVolume(1, 0);
    EXPECT_EQ(mixer.lines[0].volume[1], 0x3000u);
    SetMixerVolume(4, 0);
    EXPECT_EQ(mixer.lines[0].mute, 1u);
    EXPECT_EQ(mixer.lines[2].mute, 0u);
}

}  // namespace
