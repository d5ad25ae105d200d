// The system output volume and mute through the Windows mixer: the speaker
// and headphone lines of mixer 0, for the scripts' sound commands.
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include "bMediaDevices.h"

// Every mixer call goes through this table, one seam for tests.
struct MixerCalls {
    UINT(WINAPI* getNumDevs)();
    MMRESULT(WINAPI* open)
    (LPHMIXER mixer, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
    MMRESULT(WINAPI* getDevCaps)(UINT_PTR id, LPMIXERCAPSA caps, UINT size);
    MMRESULT(WINAPI* getLineInfo)(HMIXEROBJ mixer, LPMIXERLINEA line, DWORD flags);
    MMRESULT(WINAPI* getLineControls)(HMIXEROBJ mixer, LPMIXERLINECONTROLSA controls, DWORD flags);
    MMRESULT(WINAPI* getControlDetails)
    (HMIXEROBJ mixer, LPMIXERCONTROLDETAILS details, DWORD flags);
    MMRESULT(WINAPI* setControlDetails)
    (HMIXEROBJ mixer, LPMIXERCONTROLDETAILS details, DWORD flags);
    MMRESULT(WINAPI* close)(HMIXER mixer);
};
// Null restores the system's.
void SetMixerCalls(const MixerCalls* calls);

// Operation 1: one volume step (value non-zero raises, zero lowers); 3: mute
// off when value is non-zero, on when zero; 4: mute toggled; any other: an
// absolute level, value 0 to 9 in steps of 6553, 10 and above full. Failures
// end it silently.
void SetMixerVolume(int operation, LONG value);

// The mixer as the command executor's devices reach it.
class CMixerDevice : public IMixerDevice {
public:
    void SetMixerVolume(int operation, LONG value) override { ::SetMixerVolume(operation, value); }
};
