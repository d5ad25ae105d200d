#include "bMciDevice.h"

#include <digitalv.h>
#include <string.h>

#include "bTraceLog.h"

namespace {

const MciCalls kSystemCalls = {mciSendCommandA, mciGetErrorStringA};
const MciCalls* g_mci = &kSystemCalls;

}  // namespace

void SetMciCalls(const MciCalls* calls) {
    g_mci = calls ? calls : &kSystemCalls;
}

const MciCalls* GetMciCalls() {
    return g_mci;
}

bool MciDevice::Send(UINT message, DWORD_PTR flags, void* params, const char* name, int line) {
    MCIERROR error = g_mci->send(m_device, message, flags, reinterpret_cast<DWORD_PTR>(params));
    if (error == 0)
        return true;
    if (name) {
        if (ITraceLog* trace = GetTraceLog()) {
            char text[256] = "";
            if (!g_mci->errorText(error, text, sizeof(text)))
                text[0] = 0;
            trace->LogMessage("%s(%d): MCI-Error: %s -- %s", __FILE__, line, name, text);
        }
    }
    return false;
}

int MciDevice::OpenSound(const char* type, const char* element, const char* alias, HWND callback) {
    if (m_device) {
        Stop();
        Close();
        m_device = 0;
    }
    MCI_OPEN_PARMSA parms = {};
    DWORD_PTR flags = MCI_OPEN_TYPE;
    if (type && _strnicmp(type, "cdaudio", 7) == 0) {
        flags |= MCI_OPEN_TYPE_ID;
        parms.lpstrDeviceType =
            reinterpret_cast<LPCSTR>(static_cast<DWORD_PTR>(MCI_DEVTYPE_CD_AUDIO));
    } else {
        parms.lpstrDeviceType = type;
        parms.lpstrElementName = element;
        flags |= MCI_OPEN_ELEMENT;
    }
    if (alias && *alias) {
        flags |= MCI_OPEN_ALIAS;
        parms.lpstrAlias = alias;
    }
    if (callback) {
        flags |= MCI_NOTIFY;
        parms.dwCallback = reinterpret_cast<DWORD_PTR>(callback);
    }
    if (!Send(MCI_OPEN, flags, &parms, "OpenSound", __LINE__))
        return 0;
    m_device = static_cast<WORD>(parms.wDeviceID);
    SetTimeFormat(MCI_FORMAT_MILLISECONDS);
    return m_device;
}

int MciDevice::OpenVideo(const char* type, const char* element, const char* alias, HWND parent,
                         HWND callback, DWORD style) {
    if (m_device) {
        Close();
        m_device = 0;
    }
    MCI_ANIM_OPEN_PARMSA parms = {};
    DWORD_PTR flags = MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_ANIM_OPEN_WS | MCI_OPEN_ALIAS;
    parms.lpstrDeviceType = type;
    parms.lpstrElementName = element;
    parms.lpstrAlias = alias;
    parms.dwStyle = style;
    if (parent) {
        flags |= MCI_ANIM_OPEN_PARENT;
        parms.hWndParent = parent;
    }
    if (callback) {
        flags |= MCI_NOTIFY;
        parms.dwCallback = reinterpret_cast<DWORD_PTR>(callback);
    }
    if (!Send(MCI_OPEN, flags, &parms, "OpenVideo", __LINE__))
        return 0;
    m_device = static_cast<WORD>(parms.wDeviceID);
    SetTimeFormat(MCI_FORMAT_MILLISECONDS);
    return m_device;
}

int MciDevice::SetTimeFormat(DWORD format) {
    if (!m_device)
        return 0;
    MCI_SET_PARMS parms = {};
    parms.dwTimeFormat = format;
    return Send(MCI_SET, MCI_SET_TIME_FORMAT, &parms, "SET_TIME_FORMAT", __LINE__);
}

int MciDevice::PlayAs(long from, long to, HWND callback, const char* name) {
    if (!m_device)
        return 0;
    MCI_PLAY_PARMS parms = {};
    DWORD_PTR flags = 0;
    if (from != -1) {
        flags |= MCI_FROM;
        parms.dwFrom = static_cast<DWORD>(from);
    }
    if (to != -1) {
        flags |= MCI_TO;
        parms.dwTo = static_cast<DWORD>(to);
    }
    if (callback) {
        flags |= MCI_NOTIFY;
        parms.dwCallback = reinterpret_cast<DWORD_PTR>(callback);
    }
    return Send(MCI_PLAY, flags, &parms, name, __LINE__);
}

int MciDevice::Play(long from, long to, HWND callback) {
    return PlayAs(from, to, callback, "PLAY");
}

int MciVideoDevice::Play(long from, long to, HWND callback) {
    return PlayAs(from, to, callback, "PlayVideo");
}

int MciDevice::Stop() {
    if (!m_device)
        return 0;
    MCI_GENERIC_PARMS parms = {};
    return Send(MCI_STOP, MCI_WAIT, &parms, "STOP", __LINE__);
}

int MciDevice::Pause() {
    if (!m_device)
        return 0;
    MCI_GENERIC_PARMS parms = {};
    return Send(MCI_PAUSE, MCI_WAIT, &parms, "PAUSE", __LINE__);
}

int MciDevice::Close() {
    if (!m_device)
        return 1;
    MCI_GENERIC_PARMS parms = {};
    if (!Send(MCI_CLOSE, MCI_WAIT, &parms, "CLOSE", __LINE__))
        return 0;
    m_device = 0;
    return 1;
}

int MciDevice::MediaSetPos(long position) {
    if (!m_device)
        return 0;
    MCI_SEEK_PARMS parms = {};
    DWORD_PTR flags = MCI_WAIT;
    if (position == 0) {
        flags |= MCI_SEEK_TO_START;
    } else if (position == -1) {
        flags |= MCI_SEEK_TO_END;
    } else {
        flags |= MCI_TO;
        parms.dwTo = static_cast<DWORD>(position);
    }
    return Send(MCI_SEEK, flags, &parms, "MediaSetPos", __LINE__);
}

DWORD_PTR MciDevice::MediaStatus(DWORD item) {
    if (!m_device)
        return 0;
    MCI_STATUS_PARMS parms = {};
    parms.dwItem = item;
    if (!Send(MCI_STATUS, MCI_STATUS_ITEM, &parms, "MediaStatus", __LINE__))
        return 0;
    return parms.dwReturn;
}

DWORD MciDevice::TrackLength(int track) {
    if (!m_device)
        return 0;
    MCI_STATUS_PARMS parms = {};
    parms.dwItem = MCI_STATUS_LENGTH;
    parms.dwTrack = static_cast<DWORD>(track);
    if (!Send(MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK, &parms, nullptr, __LINE__))
        return 0;
    return static_cast<DWORD>(parms.dwReturn);
}

DWORD MciDevice::TrackPosition(int track) {
    if (!m_device)
        return 0;
    MCI_STATUS_PARMS parms = {};
    parms.dwItem = MCI_STATUS_POSITION;
    parms.dwTrack = static_cast<DWORD>(track);
    if (!Send(MCI_STATUS, MCI_STATUS_ITEM | MCI_TRACK, &parms, nullptr, __LINE__))
        return 0;
    return static_cast<DWORD>(parms.dwReturn);
}

int MciDevice::SetAudio(BOOL leftOn, BOOL rightOn) {
    if (!m_device)
        return 0;
    MCI_SET_PARMS parms = {};
    if (!leftOn == !rightOn) {
        parms.dwAudio = MCI_SET_AUDIO_ALL;
        return Send(MCI_SET, MCI_SET_AUDIO | (leftOn ? MCI_SET_ON : MCI_SET_OFF), &parms,
                    "Audio ON_OFF all-chanel", __LINE__);
    }
    parms.dwAudio = MCI_SET_AUDIO_LEFT;
    if (!Send(MCI_SET, MCI_SET_AUDIO | (leftOn ? MCI_SET_ON : MCI_SET_OFF), &parms,
              "Audio ON_OFF left-chanel", __LINE__))
        return 0;
    parms.dwAudio = MCI_SET_AUDIO_RIGHT;
    return Send(MCI_SET, MCI_SET_AUDIO | (rightOn ? MCI_SET_ON : MCI_SET_OFF), &parms,
                "Audio ON_OFF right-chanel", __LINE__);
}

int MciDevice::SetSpeed(DWORD speed) {
    if (!m_device)
        return 0;
    MCI_DGV_SET_PARMS parms = {};
    parms.dwSpeed = speed;
    return Send(MCI_SET, MCI_DGV_SET_SPEED, &parms, "Video-SetSpeed", __LINE__);
}

int MciDevice::GetVideoWindow(RECT* rect, int destination) {
    if (!m_device)
        return 0;
    MCI_ANIM_RECT_PARMS parms = {};
    DWORD_PTR flags =
        MCI_ANIM_RECT | (destination ? MCI_ANIM_WHERE_DESTINATION : MCI_ANIM_WHERE_SOURCE);
    bool ok = Send(MCI_WHERE, flags, &parms, "GetVideoWindow", __LINE__);
    if (rect)
        *rect = parms.rc;
    return ok;
}

int MciDevice::MoveVideoWindow(const RECT* rect) {
    if (!m_device || !rect)
        return 0;
    HWND window = reinterpret_cast<HWND>(MediaStatus(MCI_ITEM_WINDOW));
    if (!window)
        return 0;
    return MoveWindow(window, rect->left, rect->top, rect->right - rect->left,
                      rect->bottom - rect->top, TRUE);
}

int MciDevice::UpdateVideo(HDC dc, const RECT* rect) {
    if (!m_device || !dc)
        return 0;
    MCI_DGV_UPDATE_PARMS parms = {};
    DWORD_PTR flags = MCI_DGV_UPDATE_HDC;
    parms.hDC = dc;
    if (rect) {
        flags |= MCI_DGV_RECT;
        parms.rc = *rect;
    }
    return Send(MCI_UPDATE, flags, &parms, "UpdateVideo", __LINE__);
}

int MciDevice::ShowVideoWindow(int show) {
    if (!m_device)
        return 0;
    MCI_ANIM_WINDOW_PARMSA parms = {};
    parms.nCmdShow = static_cast<UINT>(show);
    return Send(MCI_WINDOW, MCI_ANIM_WINDOW_STATE, &parms, "ShowVideoWindow", __LINE__);
}

int MciDevice::CheckEnd(long desiredEnd, long* ended) {
    if (!m_device)
        return -1;
    if (MediaStatus(MCI_ITEM_MODE) == MCI_MODE_STOP) {
        long position = static_cast<long>(MediaStatus(MCI_ITEM_POSITION));
        if (position + 120 >= desiredEnd) {
            if (ended)
                *ended = 1;
            if (ITraceLog* trace = GetTraceLog())
                trace->LogMessage("MCI: play end at %d  desired endPos = %d", (int)position,
                                  (int)desiredEnd);
        }
    }
    return 0;
}
