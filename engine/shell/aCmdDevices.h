// The devices of the command executor: the work's system sound, the sound
// recorder and the video capture as the play site hands them out (slots 21
// to 23), and the output mixer. A device that is absent answers false. The
// recorder and the capture are made on the first command that asks for
// either and lent to the site from then on, so that nothing touches a
// capture device before a script does.
#pragma once

#include "aCmdExec.h"
#include "bMediaDevices.h"
#include "bSysSound.h"

class CPlayerSite;

class CCmdDevices : public ICmdDevices {
public:
    CCmdDevices()
        : m_site(nullptr),
          m_mixer(nullptr),
          m_deviceSite(nullptr),
          m_recorder(nullptr),
          m_capture(nullptr) {}
    ~CCmdDevices() { ReleaseDevices(); }

    // Borrowed.
    void SetSite(IPlayerSite* site) { m_site = site; }
    void SetMixer(IMixerDevice* mixer) { m_mixer = mixer; }
    // The site that lends the devices made here; borrowed.
    void SetDeviceSite(CPlayerSite* site) { m_deviceSite = site; }
    // Takes the devices made here back from the site and releases them.
    void ReleaseDevices();
    // Null when the site has none.
    ISysSoundPlayer* GetSysSound();
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
    // Makes the recorder and the capture when the site lends none.
    void LendDevices();

    IPlayerSite* m_site;
    IMixerDevice* m_mixer;
    CPlayerSite* m_deviceSite;
    ISoundRecorder* m_recorder;
    IVideoCapture* m_capture;
};
