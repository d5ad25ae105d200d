#include "bMixer.h"

#include <vector>

namespace {

const MixerCalls kSystemCalls = {mixerGetNumDevs,        mixerOpen,
                                 mixerGetDevCapsA,       mixerGetLineInfoA,
                                 mixerGetLineControlsA,  mixerGetControlDetailsA,
                                 mixerSetControlDetails, mixerClose};
const MixerCalls* g_mixer = &kSystemCalls;

const LONG kStep = 6553;

LONG Limit(LONG v) {
    if (v > 0xFFFE)
        return 0xFFFF;
    if (v <= 0)
        return 0;
    return v;
}

// The new value of the line's control from its current channel values.
DWORD NewValue(int operation, LONG value, const std::vector<MIXERCONTROLDETAILS_UNSIGNED>& now,
               DWORD channels) {
    const LONG a = (LONG)now[0].dwValue;
    const LONG b = channels > 1 ? (LONG)now[1].dwValue : a;
    switch (operation) {
        case 1:
            return (DWORD)Limit(value ? (a > b ? a : b) + kStep : (a < b ? a : b) - kStep);
        case 3:
            return value ? 0 : 1;
        case 4:
            return now[0].dwValue ? 0 : 1;
        default:
            if (value >= 10)
                return 0xFFFF;
            if (value < 0)
                return 0;
            return (DWORD)(value * kStep);
    }
}

void SetLine(HMIXER mixer, const MIXERLINEA& line, int operation, LONG value) {
    const HMIXEROBJ object = reinterpret_cast<HMIXEROBJ>(mixer);
    const bool mute = operation == 3 || operation == 4;
    MIXERCONTROLA control = {};
    control.cbStruct = sizeof(control);
    MIXERLINECONTROLSA controls = {};
    controls.cbStruct = sizeof(controls);
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = mute ? MIXERCONTROL_CONTROLTYPE_MUTE : MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof(control);
    controls.pamxctrl = &control;
    if (g_mixer->getLineControls(object, &controls,
                                 MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
        MMSYSERR_NOERROR)
        return;
    // A uniform control is one value for every channel: read as two, Wine's
    // gives 0 for the second.
    DWORD channels = (control.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) || line.cChannels < 1
                         ? 1
                         : line.cChannels;
    DWORD items =
        (control.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? control.cMultipleItems : 0;
    std::vector<MIXERCONTROLDETAILS_UNSIGNED> values(channels * (items ? items : 1));
    MIXERCONTROLDETAILS details = {};
    details.cbStruct = sizeof(details);
    details.dwControlID = control.dwControlID;
    details.cChannels = channels;
    details.cMultipleItems = items;
    details.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    details.paDetails = values.data();
    if (g_mixer->getControlDetails(object, &details,
                                   MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE) !=
        MMSYSERR_NOERROR)
        return;
    const DWORD v = NewValue(operation, value, values, channels);
    values[0].dwValue = v;
    if (channels > 1)
        values[1].dwValue = v;
    g_mixer->setControlDetails(object, &details,
                               MIXER_OBJECTF_HMIXER | MIXER_SETCONTROLDETAILSF_VALUE);
}

}  // namespace

void SetMixerCalls(const MixerCalls* calls) {
    g_mixer = calls ? calls : &kSystemCalls;
}

void SetMixerVolume(int operation, LONG value) {
    if (g_mixer->getNumDevs() == 0)
        return;
    HMIXER mixer = nullptr;
    if (g_mixer->open(&mixer, 0, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR)
        return;
    MIXERCAPSA caps = {};
    if (g_mixer->getDevCaps(0, &caps, sizeof(caps)) == MMSYSERR_NOERROR) {
        for (DWORD d = 0; d < caps.cDestinations; ++d) {
            MIXERLINEA line = {};
            line.cbStruct = sizeof(line);
            line.dwDestination = d;
            if (g_mixer->getLineInfo(reinterpret_cast<HMIXEROBJ>(mixer), &line,
                                     MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_DESTINATION) !=
                MMSYSERR_NOERROR)
                continue;
            if (line.dwComponentType == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS ||
                line.dwComponentType == MIXERLINE_COMPONENTTYPE_DST_HEADPHONES)
                SetLine(mixer, line, operation, value);
        }
    }
    g_mixer->close(mixer);
}
