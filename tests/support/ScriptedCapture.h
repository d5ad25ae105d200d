// A scripted capture device behind the recorder's call table: two devices,
// the formats a mask offers, and a buffer whose write position moves one
// step at every position read (after a pause of a millisecond, as a device
// fills), signalling the notification from the start and at each read, as
// Wine's does; the wait for notifications then never times out. Byte i of the stream is
// CapturePattern(i), so a test sees what was moved and in which order.
#pragma once

#include <windows.h>

#include <dsound.h>

#include <algorithm>
#include <vector>

#include "bRecorder.h"

inline BYTE CapturePattern(size_t i) {
    return (BYTE)(i ^ (i >> 8) ^ (i >> 16));
}

// {6A1F3C20-9E51-4B7A-8C11-2F0D5E7A9B33}
const GUID kScriptedDevice = {
    0x6A1F3C20, 0x9E51, 0x4B7A, {0x8C, 0x11, 0x2F, 0x0D, 0x5E, 0x7A, 0x9B, 0x33}};

class ScriptedCapture {
public:
    ScriptedCapture() {
        s_current = this;
        static const SoundCaptureCalls calls = {Enumerate, Create};
        SetSoundCaptureCalls(&calls);
    }
    ~ScriptedCapture() {
        SetSoundCaptureCalls(nullptr);
        s_current = nullptr;
    }
    ScriptedCapture(const ScriptedCapture&) = delete;
    ScriptedCapture& operator=(const ScriptedCapture&) = delete;

    DWORD formats = 0xFFF;  // the capability bits offered
    bool failCreate = false, failBuffer = false, failStart = false, failLock = false;
    std::vector<const GUID*> created;  // the device of every create (null: default)
    DWORD step = 0;                    // bytes per position read; 0: one notify size
    DWORD pauseMs = 1;                 // before each step

private:
    class Buffer final : public IDirectSoundCaptureBuffer, public IDirectSoundNotify {
    public:
        Buffer(ScriptedCapture* owner, const DSCBUFFERDESC* desc)
            : m_owner(owner), m_format(*desc->lpwfxFormat), m_bytes(desc->dwBufferBytes) {}
        STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
            static const IID notify = {
                0xB0210783, 0x89CD, 0x11D0, {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};
            if (iid == notify) {
                *ppv = static_cast<IDirectSoundNotify*>(this);
                AddRef();
                return S_OK;
            }
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        STDMETHOD_(ULONG, AddRef)() override { return ++m_ref; }
        STDMETHOD_(ULONG, Release)() override {
            const ULONG left = --m_ref;
            if (!left)
                delete this;
            return left;
        }
        STDMETHOD(GetCaps)(LPDSCBCAPS) override { return E_NOTIMPL; }
        STDMETHOD(GetCurrentPosition)(LPDWORD capture, LPDWORD read) override {
            if (m_running) {
                Sleep(m_owner->pauseMs);
                DWORD step = m_owner->step ? m_owner->step : m_notify;
                for (DWORD i = 0; i < step; ++i)
                    m_bytes[(m_produced + i) % m_bytes.size()] = CapturePattern(m_produced + i);
                m_produced += step;
                if (m_event)
                    SetEvent(m_event);
            }
            const DWORD at = (DWORD)(m_produced % m_bytes.size());
            if (capture)
                *capture = at;
            if (read)
                *read = at;
            return DS_OK;
        }
        STDMETHOD(GetFormat)(LPWAVEFORMATEX format, DWORD size, LPDWORD written) override {
            if (format && size >= sizeof(m_format))
                *format = m_format;
            if (written)
                *written = sizeof(m_format);
            return DS_OK;
        }
        STDMETHOD(GetStatus)(LPDWORD status) override {
            *status = m_running ? DSCBSTATUS_CAPTURING : 0;
            return DS_OK;
        }
        STDMETHOD(Initialize)(LPDIRECTSOUNDCAPTURE, LPCDSCBUFFERDESC) override { return E_NOTIMPL; }
        STDMETHOD(Lock)
        (DWORD offset, DWORD count, LPVOID* p1, LPDWORD n1, LPVOID* p2, LPDWORD n2,
         DWORD) override {
            if (m_owner->failLock || offset >= m_bytes.size() || count > m_bytes.size())
                return DSERR_INVALIDPARAM;
            *p1 = &m_bytes[offset];
            *n1 = std::min<DWORD>(count, (DWORD)m_bytes.size() - offset);
            *p2 = *n1 < count ? &m_bytes[0] : nullptr;
            *n2 = count - *n1;
            return DS_OK;
        }
        STDMETHOD(Start)(DWORD) override {
            if (m_owner->failStart)
                return DSERR_GENERIC;
            m_running = true;
            if (m_event)
                SetEvent(m_event);
            return DS_OK;
        }
        STDMETHOD(Stop)() override {
            m_running = false;
            return DS_OK;
        }
        STDMETHOD(Unlock)(LPVOID, DWORD, LPVOID, DWORD) override { return DS_OK; }
        STDMETHOD(SetNotificationPositions)(DWORD count, LPCDSBPOSITIONNOTIFY at) override {
            if (count) {
                m_notify = at[0].dwOffset + 1;
                m_event = at[0].hEventNotify;
            }
            return DS_OK;
        }

    private:
        ScriptedCapture* m_owner;
        WAVEFORMATEX m_format;
        std::vector<BYTE> m_bytes;
        ULONG m_ref = 1;
        volatile bool m_running = false;
        size_t m_produced = 0;
        DWORD m_notify = 1024;
        HANDLE m_event = nullptr;
    };

    class Device final : public IDirectSoundCapture {
    public:
        explicit Device(ScriptedCapture* owner) : m_owner(owner) {}
        STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        STDMETHOD_(ULONG, AddRef)() override { return ++m_ref; }
        STDMETHOD_(ULONG, Release)() override {
            const ULONG left = --m_ref;
            if (!left)
                delete this;
            return left;
        }
        STDMETHOD(CreateCaptureBuffer)
        (LPCDSCBUFFERDESC desc, LPDIRECTSOUNDCAPTUREBUFFER* out, LPUNKNOWN) override {
            if (m_owner->failBuffer || !desc || !desc->lpwfxFormat)
                return DSERR_BADFORMAT;
            *out = new Buffer(m_owner, desc);
            return DS_OK;
        }
        STDMETHOD(GetCaps)(LPDSCCAPS caps) override {
            caps->dwFormats = m_owner->formats;
            caps->dwChannels = 2;
            return DS_OK;
        }
        STDMETHOD(Initialize)(LPCGUID) override { return DS_OK; }

    private:
        ScriptedCapture* m_owner;
        ULONG m_ref = 1;
    };

    static HRESULT WINAPI Enumerate(RecorderEnumCallback callback, LPVOID context) {
        GUID second = kScriptedDevice;
        if (callback(nullptr, "Primary Sound Driver", "", context))
            callback(&second, "In: scripted", "scripted.drv", context);
        return DS_OK;
    }
    static HRESULT WINAPI Create(LPCGUID device, IDirectSoundCapture** out, LPUNKNOWN) {
        s_current->created.push_back(device && *device == kScriptedDevice ? &kScriptedDevice
                                                                          : nullptr);
        if (s_current->failCreate)
            return DSERR_NODRIVER;
        *out = new Device(s_current);
        return DS_OK;
    }

    static inline ScriptedCapture* s_current = nullptr;
};
