#include "aMediaPlay.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <new>

#include "bMediaManager.h"
#include "bStorage.h"
#include "bTraceLog.h"

MediaControlFactory g_mediaControlFactory = CreateMediaControl;

LONG ClampRepeatTimes(LONG times) {
    if (times < 1)
        return 1;
    return times > MEDIA_REPEAT_MAX ? (LONG)MEDIA_REPEAT_MAX : times;
}

RepeatOutcome CountRepeat(LONG* counter, LONG times, bool limited, bool autoRepeat) {
    if (*counter < MEDIA_REPEAT_MAX)
        ++*counter;
    if (limited && *counter >= times)
        return REPEAT_ENDED;
    return autoRepeat ? REPEAT_LOOP : REPEAT_STOPPED;
}

HRESULT MakeMediaControl(int type, IPlayerSite* site, IMediaObjectBase** out) {
    *out = nullptr;
    IMediaObjectBase* control = nullptr;
    HRESULT hr = g_mediaControlFactory(type, site, &control);
    if (FAILED(hr) || !control)
        return FAILED(hr) ? hr : E_FAIL;
    hr = control->QueryInterface(__uuidof(IMediaObjectBase), reinterpret_cast<void**>(out));
    control->Release();
    return hr;
}

void RegisterNotifyClass(const char* name, WNDPROC procedure) {
    WNDCLASSA wc = {};
    if (GetClassInfoA(GetModuleHandleA(nullptr), name, &wc))
        return;
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

LRESULT ForwardMouseToParent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND parent = GetParent(window);
    if (!parent)
        return 0;
    POINT pt = {(SHORT)LOWORD(lParam), (SHORT)HIWORD(lParam)};
    MapWindowPoints(window, parent, &pt, 1);
    SendMessageA(parent, message, wParam, MAKELPARAM(pt.x, pt.y));
    return 0;
}

void ForwardContextMenu(HWND window, LPARAM lParam) {
    HWND parent = GetParent(window);
    if (parent)
        SendMessageA(parent, WM_CONTEXTMENU, (WPARAM)parent, lParam);
}

HRESULT ReadEmbeddedMedia(IMediaManager* manager, const char* name, std::vector<BYTE>* bytes,
                          DWORD* count, char* item, size_t itemSize) {
    DWORD size = 0;
    HRESULT hr = manager->ReadMediaData(name, 0, 0, nullptr, &size);
    if (FAILED(hr) || size == 0)
        return FAILED(hr) ? hr : E_FAIL;
    try {
        bytes->assign(size, 0);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    DWORD got = size;
    hr = manager->ReadMediaData(name, 0, 0, bytes->data(), &got);
    if (FAILED(hr))
        return hr;
    *count = std::min(got, size);
    char extension[MAX_PATH] = {};
    if (SUCCEEDED(manager->GetDefaultExtension(name, extension, sizeof(extension) - 1)))
        snprintf(item, itemSize, "%s%s", name, extension);
    else
        lstrcpynA(item, name, (int)itemSize);
    return S_OK;
}

bool ReadMediaNameField(ITeskStream* stream, char (&name)[MEDIA_NAME_FIELD + 1],
                        const char* record) {
    memset(name, 0, sizeof(name));
    DWORD count = 0;
    if (!StreamReadValue(stream, &count))
        return false;
    if (count > MEDIA_NAME_FIELD || !StreamHas(stream, count)) {
        LOG_MSG("%s record: media name of %lu bytes refused", record, (unsigned long)count);
        return false;
    }
    if (count)
        stream->Read(name, count);
    return true;
}

LONG ClampVolume(LONG volume) {
    return std::min<LONG>(std::max<LONG>(volume, 0), MEDIA_VOLUME_MAX);
}

LONG ClampBalance(LONG balance) {
    return std::min<LONG>(std::max<LONG>(balance, -MEDIA_BALANCE_LIMIT), MEDIA_BALANCE_LIMIT);
}
