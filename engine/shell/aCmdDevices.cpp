#include "aCmdDevices.h"

#include "MavroRT_h.h"
#include "aCmdExec.h"
#include "aPlayerSite.h"
#include "bPlayerSite.h"
#include "bRecorder.h"
#include "bStrConv.h"
#include "bVideoCap.h"

namespace {

bool Number(const VARIANT* v, LONG* out) {
    if (!v || V_VT(v) != VT_I4)
        return false;
    *out = V_I4(v);
    return true;
}

}  // namespace

ISysSoundPlayer* CCmdDevices::GetSysSound() {
    void* p = nullptr;
    if (!m_site || FAILED(m_site->GetMediaService(&p)))
        return nullptr;
    return static_cast<ISysSoundPlayer*>(p);
}

ISoundRecorder* CCmdDevices::GetRecorder() {
    void* p = nullptr;
    if (!m_site || FAILED(m_site->GetSoundRecorder(&p)))
        return nullptr;
    return static_cast<ISoundRecorder*>(p);
}

IVideoCapture* CCmdDevices::GetCapture() {
    void* p = nullptr;
    if (!m_site || FAILED(m_site->GetVideoCapture(&p)))
        return nullptr;
    return static_cast<IVideoCapture*>(p);
}

void CCmdDevices::LendDevices() {
    if (!m_deviceSite)
        return;
    void* recorder = nullptr;
    void* capture = nullptr;
    m_deviceSite->GetSoundRecorder(&recorder);
    m_deviceSite->GetVideoCapture(&capture);
    if (recorder || capture)
        return;
    if (!m_recorder) {
        const HWND view = m_deviceSite->GetViewWindow();
        CreateSoundRecorder(view, m_deviceSite, &m_recorder);
        CreateVideoCapture(view, m_deviceSite, &m_capture);
    }
    void* service = nullptr;
    m_deviceSite->GetMediaService(&service);
    m_deviceSite->SetMediaServices(service, m_recorder, m_capture);
}

void CCmdDevices::ReleaseDevices() {
    if (m_deviceSite && (m_recorder || m_capture)) {
        void* recorder = nullptr;
        void* capture = nullptr;
        void* service = nullptr;
        m_deviceSite->GetSoundRecorder(&recorder);
        m_deviceSite->GetVideoCapture(&capture);
        m_deviceSite->GetMediaService(&service);
        if (recorder == m_recorder && capture == m_capture)
            m_deviceSite->SetMediaServices(service, nullptr, nullptr);
    }
    if (m_recorder) {
        m_recorder->Release();
        m_recorder = nullptr;
    }
    if (m_capture) {
        m_capture->Release();
        m_capture = nullptr;
    }
}

bool CCmdDevices::SetMixerVolume(int kind, LONG value) {
    if (!m_mixer)
        return false;
    m_mixer->SetMixerVolume(kind, value);
    return true;
}

bool CCmdDevices::SysSoundPlay() {
    ISysSoundPlayer* sound = GetSysSound();
    return sound && SUCCEEDED(sound->Play());
}

bool CCmdDevices::SysSoundStop() {
    ISysSoundPlayer* sound = GetSysSound();
    return sound && SUCCEEDED(sound->Stop());
}

bool CCmdDevices::SysSoundIsPlaying() {
    ISysSoundPlayer* sound = GetSysSound();
    return sound && sound->GetPlayState() == 1;
}

bool CCmdDevices::SysSoundGetVolume(LONG* volume) {
    ISysSoundPlayer* sound = GetSysSound();
    int v = 0;
    if (!sound || !volume || FAILED(sound->GetVolume(&v)))
        return false;
    *volume = v;
    return true;
}

bool CCmdDevices::SysSoundSetVolume(LONG volume) {
    ISysSoundPlayer* sound = GetSysSound();
    return sound && SUCCEEDED(sound->SetVolume((int)volume));
}

bool CCmdDevices::SysSoundSetBalance(LONG balance) {
    ISysSoundPlayer* sound = GetSysSound();
    return sound && SUCCEEDED(sound->SetBalance((int)balance));
}

bool CCmdDevices::SoundObjectShow(IUnknown* object, SHORT value) {
    // Bit 0 shows the sound's status box while it runs.
    CComPtr<ISoundDispObj> sound;
    if (!object ||
        FAILED(object->QueryInterface(__uuidof(ISoundDispObj), reinterpret_cast<void**>(&sound))) ||
        !sound)
        return false;
    return SUCCEEDED(sound->put_ObjRunVisible((value & 1) ? 1 : 0));
}

bool CCmdDevices::Recorder(UINT command, const VARIANT* a0, const VARIANT* a1) {
    LendDevices();
    ISoundRecorder* r = GetRecorder();
    if (!r)
        return false;
    LONG n = 0, m = 0;
    std::string file;
    switch (command) {
        case 1901:
            if (Number(a0, &n))
                r->SelectInputFormat((int)n);
            break;
        case 1902:
            if (Number(a0, &n))
                r->SelectDevice((int)n);
            break;
        case 1903:
            if (Number(a0, &n))
                r->StartRecordInMem(n);
            break;
        case 1904:
            if (ArgValueText(a0, &file) && Number(a1, &n))
                r->StartRecordInFile(file.c_str(), n);
            break;
        case 1905:
            if (ArgValueInt(a0, &n) && Number(a1, &m))
                r->Play(n, m);
            break;
        case 1906:
            r->Stop();
            break;
        case 1907:
            r->Pause();
            break;
        case 1908:
            r->Continue();
            break;
        case 1909:
            if (ArgValueText(a0, &file))
                r->SaveToFile(file.c_str());
            break;
        default:
            return false;
    }
    return true;
}

bool CCmdDevices::Capture(UINT command, const VARIANT* a0, const VARIANT* a1) {
    LendDevices();
    IVideoCapture* c = GetCapture();
    if (!c)
        return false;
    LONG n = 0, m = 0;
    switch (command) {
        case 2001:
            if (Number(a0, &n))
                c->SetFrameRate((int)n);
            break;
        case 2002:
            if (Number(a0, &n) && Number(a1, &m)) {
                POINT pt = {n, m};
                c->SetPosition(pt);
            }
            break;
        case 2003:
            if (Number(a0, &n))
                c->SetSize((int)n);
            break;
        case 2004:
            if (Number(a0, &n))
                c->SetWindowStyle((int)n);
            break;
        case 2005:
            c->StartCap();
            break;
        case 2006:
            c->StopCap();
            break;
        default:
            return false;
    }
    return true;
}
