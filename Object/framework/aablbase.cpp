#include "aablbase.h"

#include <string>
#include <vector>

#include "bStorage.h"
#include "aStorage.h"
#include "aablcont.h"
#include "bStrConv.h"
#include "bTraceLog.h"

// ---- StaticAbility ----

StaticAbility::StaticAbility() : m_object(nullptr), m_flags(0) {}

StaticAbility::~StaticAbility() {
    if (m_object)
        m_object->Release();
}

STDMETHODIMP StaticAbility::Load(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    HRESULT hr = LoadEventProcRecord(stream);
    if (FAILED(hr))
        return hr;
    return LoadOwn(stream);
}

STDMETHODIMP StaticAbility::Save(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    HRESULT hr = SaveEventProcRecord(stream);
    if (FAILED(hr))
        return hr;
    return SaveOwn(stream);
}

STDMETHODIMP StaticAbility::Attach(IUnknown* object) {
    if (object)
        object->AddRef();
    if (m_object)
        m_object->Release();
    m_object = object;
    return S_OK;
}

STDMETHODIMP StaticAbility::GetTwoValues(LONG* a, LONG* b) {
    if (a)
        *a = 0;
    if (b)
        *b = 0;
    return S_OK;
}

STDMETHODIMP StaticAbility::GetObject(IUnknown** out) {
    if (!out)
        return E_POINTER;
    *out = m_object;
    if (m_object)
        m_object->AddRef();
    return S_OK;
}

STDMETHODIMP StaticAbility::LoadOwn(ITeskStream*) {
    return S_OK;
}

STDMETHODIMP StaticAbility::Reserved9() {
    return S_OK;
}

STDMETHODIMP StaticAbility::SaveOwn(ITeskStream*) {
    return S_OK;
}

STDMETHODIMP StaticAbility::GetEventProc(IDispatch** out) {
    if (!out)
        return E_POINTER;
    *out = m_pEventProc;
    if (m_pEventProc)
        m_pEventProc->AddRef();
    return S_OK;
}

STDMETHODIMP StaticAbility::CopyFrom(IAbilityCreate* source, DWORD flags) {
    if (!source)
        return E_POINTER;
    CComPtr<ITeskStream> stream;
    HRESULT hr = CreateMemStream(&stream, 4096);
    if (FAILED(hr))
        return hr;
    try {
        stream->SetMode(1);
        hr = (flags & 1) ? source->SaveOwn(stream) : source->Save(stream);
        if (FAILED(hr))
            return hr;
        stream->SetMode(0);
        stream->Seek(0, TESK_SEEK_SET);
        return (flags & 1) ? LoadOwn(stream) : Load(stream);
    } catch (const CTeskStreamExcept&) {
        return E_FAIL;
    }
}

STDMETHODIMP StaticAbility::SetFlags(WORD flags) {
    m_flags = flags;
    return S_OK;
}

// ---- CAbility ----

CAbility::CAbility()
    : m_total(0),
      m_lastStep(0),
      m_lastReading(0),
      m_startCode(EVT_OBJECTENTER),
      m_pauseCode(0),
      m_state(ABILITY_STOPPED),
      m_cookie(nullptr),
      m_site(nullptr) {}

CAbility::~CAbility() {
    Unregister();
}

STDMETHODIMP CAbility::Reserved3() {
    return S_OK;
}

STDMETHODIMP CAbility::Reserved4() {
    return S_OK;
}

bool CAbility::ReadClock(DWORD* now) {
    *now = 0;
    return m_site && SUCCEEDED(m_site->GetPageClock(now));
}

HRESULT CAbility::Register() {
    ISequencer* sequencer = nullptr;
    if (!m_site || FAILED(m_site->GetSequencer(&sequencer)) || !sequencer)
        return E_UNEXPECTED;
    IUnknown* cookie = nullptr;
    sequencer->AddClockClient(static_cast<IAbility*>(this), &cookie);
    m_cookie = cookie;
    return S_OK;
}

void CAbility::Unregister() {
    if (!m_cookie)
        return;
    ISequencer* sequencer = nullptr;
    if (m_site && SUCCEEDED(m_site->GetSequencer(&sequencer)) && sequencer)
        sequencer->RemoveClockClient(m_cookie);
    m_cookie = nullptr;
}

STDMETHODIMP CAbility::OnClock() {
    DWORD now;
    ReadClock(&now);
    m_lastStep = now - m_lastReading;
    m_total += m_lastStep;
    m_lastReading = now;
    return S_OK;
}

STDMETHODIMP CAbility::Start() {
    if (m_state == ABILITY_RUNNING)
        return S_OK;
    // A paused ability still has no registration; a stopped one has none.
    Unregister();
    m_total = 0;
    HRESULT hr = Register();
    if (FAILED(hr))
        return hr;
    ReadClock(&m_lastReading);
    m_state = ABILITY_RUNNING;
    return S_OK;
}

STDMETHODIMP CAbility::Pause() {
    if (m_state != ABILITY_RUNNING)
        return S_OK;
    Unregister();
    m_lastStep = 0;
    m_state = ABILITY_PAUSED;
    return S_OK;
}

STDMETHODIMP CAbility::Resume() {
    if (m_state != ABILITY_PAUSED)
        return S_OK;
    HRESULT hr = Register();
    if (FAILED(hr))
        return hr;
    ReadClock(&m_lastReading);
    m_state = ABILITY_RUNNING;
    return S_OK;
}

STDMETHODIMP CAbility::Stop() {
    if (m_state == ABILITY_STOPPED)
        return S_OK;
    Unregister();
    m_state = ABILITY_STOPPED;
    return S_OK;
}

STDMETHODIMP CAbility::OnEvent(LONG code) {
    if (m_state == ABILITY_STOPPED && code == m_startCode)
        return Start();
    if (m_state == ABILITY_PAUSED && code == m_startCode)
        return Resume();
    if (m_state == ABILITY_RUNNING && code == m_pauseCode)
        return Pause();
    return S_OK;
}

STDMETHODIMP CAbility::SetStartCode(LONG code) {
    m_startCode = code;
    return S_OK;
}

STDMETHODIMP CAbility::SetPauseCode(LONG code) {
    m_pauseCode = code;
    return S_OK;
}

STDMETHODIMP CAbility::GetSite(IPlayerSite** out) {
    if (!out)
        return E_POINTER;
    *out = m_site;
    return m_site ? S_OK : E_FAIL;
}

STDMETHODIMP CAbility::SetSite(IPlayerSite* site) {
    m_site = site;
    return S_OK;
}

HRESULT CAbility::LoadCodes(ITeskStream* stream) {
    LONG start, pause;
    if (!stream || !StreamReadValue(stream, &start) || !StreamReadValue(stream, &pause)) {
        LOG_MSG("CAbility::Load: trigger codes past the stream's end");
        return E_FAIL;
    }
    m_startCode = start;
    m_pauseCode = pause;
    return S_OK;
}

HRESULT CAbility::SaveCodes(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    StreamWriteValue(stream, m_startCode);
    StreamWriteValue(stream, m_pauseCode);
    return S_OK;
}

// ---- static abilities of an object's record ----

HRESULT AbilityContainer::LoadStaticAbilities(ITeskStream* stream) {
    if (!stream)
        return E_FAIL;
    DWORD reserved = 0, count = 0;
    if (!StreamReadValue(stream, &reserved) || !StreamReadValue(stream, &count)) {
        LOG_MSG("Static abilities: header past the stream's end");
        return E_FAIL;
    }
    // Every record takes at least its id, name length and data length.
    ULONGLONG records = count > 1 ? count - 1 : 0;
    if (!StreamHas(stream, records * 12)) {
        LOG_MSG("Static abilities: count %u past the stream's end", (unsigned)count);
        return E_FAIL;
    }
    IObjectCreator* creator = ContainerCreator();
    for (ULONGLONG r = 0; r < records; ++r) {
        LONG id = 0;
        DWORD chars = 0, length = 0;
        if (!StreamReadValue(stream, &id) || !StreamReadValue(stream, &chars) ||
            !StreamHas(stream, (ULONGLONG)chars * 2 + 4)) {
            LOG_MSG("Static abilities: name past the stream's end");
            return E_FAIL;
        }
        std::vector<WCHAR> wide(chars + 1, 0);
        if (chars)
            stream->Read(wide.data(), chars * 2);
        std::wstring name(wide.data());
        StreamReadValue(stream, &length);
        if (length == 0)
            continue;
        if (length < 4 || !StreamHas(stream, length - 4)) {
            LOG_MSG("Static abilities: data length %u of %s refused", (unsigned)length,
                    MultibyteFromWide(name.c_str()).c_str());
            return E_FAIL;
        }
        ULONGLONG end = stream->GetPosition() + (length - 4);
        std::string text = MultibyteFromWide(name.c_str());
        AbilityEntry* entry = FindEntry(name.c_str());
        if (!entry) {
            LOG_MSG("Unsupported static ability: %s(%d) -- discarded", text.c_str(), (int)id);
        } else {
            CComPtr<IAbilityCreate> ability;
            HRESULT hr = creator ? creator->CreateAbilityById(id, ContainerObject(),
                                                              __uuidof(IAbilityCreate),
                                                              reinterpret_cast<void**>(&ability))
                                 : E_FAIL;
            if (SUCCEEDED(hr) && ability) {
                hr = ability->Load(stream);
                if (SUCCEEDED(hr))
                    hr = SetAbility(name.c_str(), id, ability);
            }
            if (FAILED(hr) || !ability)
                LOG_MSG("Cannot create static ability: %s(%d)", text.c_str(), (int)id);
        }
        // Each record ends where its length says, whatever its reader took.
        stream->Seek((LONGLONG)end, TESK_SEEK_SET);
    }
    return LoadPathMotion();
}

HRESULT AbilityContainer::LoadPathMotion() {
    II_IRender* render = ContainerRender();
    if (!render) {
        LOG_MSG("can not query II_IRender Interface.");
        return E_NOINTERFACE;
    }
    if (render->IsFlag8() != 0 || render->IsFlag16() == 0)
        return S_OK;
    AbilityEntry* entry = FindEntry(L"PathAnimate");
    if (!entry)
        return S_OK;
    CComPtr<IUnknown> ability(entry->Get());
    if (!ability) {
        IObjectCreator* creator = ContainerCreator();
        LONG id = -1;
        if (!creator || creator->FindAbilityModule(__uuidof(IPathAnimate), &id) != S_OK)
            return S_OK;
        HRESULT hr = creator->CreateAbilityById(id, ContainerObject(), IID_IUnknown,
                                                reinterpret_cast<void**>(&ability));
        if (FAILED(hr) || !ability)
            return S_OK;
        hr = SetAbility(L"PathAnimate", id, ability);
        if (FAILED(hr))
            return hr;
    }
    CComPtr<IAbilityCreate> common;
    if (SUCCEEDED(
            ability->QueryInterface(__uuidof(IAbilityCreate), reinterpret_cast<void**>(&common))))
        common->SetFlags(common->GetFlags() | 1);
    return S_OK;
}
