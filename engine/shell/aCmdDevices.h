// The devices of the command executor: the sound recorder and the video
// capture as the play site hands them out (slots 22 and 23), the work's
// system sound and the output mixer. A device that is absent answers false.
#pragma once

#include "aCmdExec.h"
#include "bMediaDevices.h"

class CCmdDevices : public ICmdDevices {
public:
    CCmdDevices() : m_site(nullptr), m_sysSound(nullptr), m_mixer(nullptr) {}

    // Borrowed.
    void SetSite(IPlayerSite* site) { m_site = site; }
    void SetSysSound(ISysSoundDevice* sound) { m_sysSound = sound; }
    void SetMixer(IMixerDevice* mixer) { m_mixer = mixer; }
    ISysSoundDevice* GetSysSound() const { return m_sysSound; }
    // Null when the site has none.
    ISoundRecorder* GetRecorder();
    IVideoCapture* GetCapture();

    bool SetMixerVolume(int kind, LONG value) override;
    bool SysSoundPlay() override;
    bool SysSoundStop() override;
    bool SysSoundIsPlaying() override;
    bool SysSoundGetVolume(LONG* volume) override;
    bool SysSoundSetVolume(LONG volume) override;
    bool SysSoundSetBalance(LONG balance) override;
    bool SoundObjectShow(IUnknown* object, SHORT value) override;
    // An argument of the wrong type skips the operation (true).
    bool Recorder(UINT command, const VARIANT* a0, const VARIANT* a1) override;
    bool Capture(UINT command, const VARIANT* a0, const VARIANT* a1) override;

private:
    IPlayerSite* m_site;
    ISysSoundDevice* m_sysSound;
    IMixerDevice* m_mixer;
};
