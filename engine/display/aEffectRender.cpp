#include "aEffectRender.h"

#include <string.h>

#include "aStorage.h"
#include "bPropertyAccess.h"
#include "bTraceLog.h"

// CRenderClock

HRESULT CRenderClock::Start() {
    if (m_state == RENDER_RUNNING)
        return S_OK;
    m_elapsed = 0;
    m_state = RENDER_RUNNING;
    return S_OK;
}

HRESULT CRenderClock::Pause() {
    if (m_state == RENDER_RUNNING)
        m_state = RENDER_PAUSED;
    return S_OK;
}

HRESULT CRenderClock::Resume() {
    if (m_state == RENDER_PAUSED)
        m_state = RENDER_RUNNING;
    return S_OK;
}

HRESULT CRenderClock::Stop() {
    m_state = RENDER_STOPPED;
    return S_OK;
}

HRESULT CRenderClock::OnEvent(int code) {
    if (m_state == RENDER_STOPPED && code == m_startCode)
        return Start();
    if (m_state == RENDER_PAUSED && code == m_startCode)
        return Resume();
    if (m_state == RENDER_RUNNING && code == m_pauseCode)
        return Pause();
    return S_OK;
}

HRESULT CRenderClock::Load(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    int codes[2];
    stream->Read(codes, sizeof(codes));
    m_startCode = codes[0];
    m_pauseCode = codes[1];
    return S_OK;
}

HRESULT CRenderClock::Save(ITeskStream* stream) {
    if (!stream)
        return E_POINTER;
    int codes[2] = {m_startCode, m_pauseCode};
    stream->Write(codes, sizeof(codes));
    return S_OK;
}

// Module creation

namespace {

IModuleCreator* g_moduleCreator = nullptr;

HRESULT CreatePlugin(REFCLSID clsid, REFIID iid, void** out) {
    *out = nullptr;
    IModuleCreator* creator = g_moduleCreator;
    if (!creator)
        return E_FAIL;
    HRESULT hr = creator->CreateModuleInstance(clsid, iid, out);
    if (FAILED(hr) && *out) {
        static_cast<IUnknown*>(*out)->Release();
        *out = nullptr;
    }
    return hr;
}

bool IsZeroId(const CLSID& id) {
    static const CLSID zero = {};
    return memcmp(&id, &zero, sizeof(id)) == 0;
}

void WriteZeroId(ITeskStream* stream) {
    static const CLSID zero = {};
    stream->Write(&zero, sizeof(zero));
}

// Reads one entry into a role pointer: the class identifier and, when it is
// not zero, the plug-in created for the role and its own record.
template <class Role>
HRESULT LoadEntry(ITeskStream* stream, CComPtr<Role>& slot) {
    slot.Release();
    CLSID id;
    stream->Read(&id, sizeof(id));
    if (IsZeroId(id))
        return S_OK;
    CComPtr<Role> plugin;
    if (FAILED(CreatePlugin(id, __uuidof(Role), reinterpret_cast<void**>(&plugin))) || !plugin) {
        LOG_MSG("Transition plug-in cannot be created");
        return E_FAIL;
    }
    HRESULT hr = plugin->Load(stream);
    if (FAILED(hr))
        return hr;
    slot = plugin;
    return S_OK;
}

template <class Role>
HRESULT SaveEntry(ITeskStream* stream, Role* plugin) {
    if (!plugin) {
        WriteZeroId(stream);
        return S_OK;
    }
    CLSID id;
    HRESULT hr = plugin->GetClassID(&id);
    if (FAILED(hr))
        return hr;
    stream->Write(&id, sizeof(id));
    return plugin->Save(stream);
}

// Saves `from` into a memory stream of blockSize and loads `to` from it.
template <class T>
HRESULT CopyThroughStream(T* from, T* to, int blockSize) {
    if (!from)
        return E_POINTER;
    CComPtr<ITeskStream> stream;
    HRESULT hr = CreateMemStream(&stream, blockSize);
    if (FAILED(hr))
        return hr;
    stream->SetMode(1);
    hr = from->Save(stream);
    if (FAILED(hr))
        return hr;
    stream->Seek(0, TESK_SEEK_SET);
    stream->SetMode(0);
    return to->Load(stream);
}

}  // namespace

IModuleCreator* SetModuleCreator(IModuleCreator* creator) {
    IModuleCreator* old = g_moduleCreator;
    g_moduleCreator = creator;
    return old;
}

IModuleCreator* GetModuleCreator() {
    return g_moduleCreator;
}

// The effect render

class CEffectRender : public CComObjectRootBase, public IEffectRender, public IRenderClockClient {
public:
    BEGIN_COM_MAP(CEffectRender)
    COM_INTERFACE_ENTRY(IEffectRender)
    COM_INTERFACE_ENTRY(IRenderClockClient)
    END_COM_MAP()

    CEffectRender()
        : m_pTarget(nullptr),
          m_rect{0, 0, 0, 0},
          m_duration(0),
          m_entering(TRUE),
          m_pClock(&m_ownClock) {}

    STDMETHOD(Load)(ITeskStream* stream) override {
        if (!stream)
            return E_POINTER;
        HRESULT hr = LoadEntry(stream, m_move);
        if (hr == S_OK)
            hr = LoadEntry(stream, m_region);
        if (hr == S_OK)
            hr = LoadEntry(stream, m_mask);
        return hr;
    }
    STDMETHOD(Save)(ITeskStream* stream) override {
        if (!stream)
            return E_POINTER;
        HRESULT hr = SaveEntry(stream, m_move.p);
        if (SUCCEEDED(hr))
            hr = SaveEntry(stream, m_region.p);
        if (SUCCEEDED(hr))
            hr = SaveEntry(stream, m_mask.p);
        return hr;
    }
    STDMETHOD(CopyFrom)(IEffectRender* other) override {
        return CopyThroughStream<IEffectRender>(other, this, 4096);
    }
    STDMETHOD(SetDuration)(DWORD ms) override { return SetProperty(m_duration, ms); }
    STDMETHOD(GetDuration)(DWORD* ms) override { return GetProperty(m_duration, ms); }
    STDMETHOD(SetEntering)(BOOL entering) override { return SetProperty(m_entering, entering); }
    STDMETHOD(GetEntering)(BOOL* entering) override { return GetProperty(m_entering, entering); }
    STDMETHOD(GetProgress)(double* progress) override {
        if (!progress)
            return E_POINTER;
        double p = 1.0;
        if (m_duration != 0) {
            p = (double)m_pClock->GetElapsed() / (double)m_duration;
            if (p > 1.0)
                p = 1.0;
        }
        *progress = m_entering ? p : 1.0 - p;
        return S_OK;
    }
    STDMETHOD_(BOOL, IsIdle)() override { return m_pClock->GetState() == RENDER_STOPPED; }
    STDMETHOD(SetRect)(const RECT* rect) override {
        if (!rect)
            return E_POINTER;
        m_rect = *rect;
        return S_OK;
    }
    STDMETHOD(GetRect)(RECT* rect) override { return GetProperty(m_rect, rect); }
    STDMETHOD(SetTarget)(IRenderTarget* target) override {
        m_pTarget = target;
        return S_OK;
    }
    STDMETHOD(SetMove)(ITransitionMove* move) override {
        m_move = move;
        return S_OK;
    }
    STDMETHOD(GetMove)(ITransitionMove** move) override { return Get(m_move, move); }
    STDMETHOD(SetRegion)(ITransitionRegion* region) override {
        m_region = region;
        return S_OK;
    }
    STDMETHOD(GetRegion)(ITransitionRegion** region) override { return Get(m_region, region); }
    STDMETHOD(SetMask)(ITransitionMask* mask) override {
        m_mask = mask;
        return S_OK;
    }
    STDMETHOD(GetMask)(ITransitionMask** mask) override { return Get(m_mask, mask); }
    STDMETHOD(Reserved21)() override { return S_OK; }
    STDMETHOD(Reserved22)() override { return S_OK; }

    // IRenderClockClient
    STDMETHOD(OnTick)() override {
        m_pClock->UpdateFromSite();
        if (m_duration < m_pClock->GetElapsed())
            return Stop();
        if (m_pTarget)
            m_pTarget->Redraw(&m_rect);
        return S_OK;
    }
    STDMETHOD(OnEvent)(int id, WPARAM, LPARAM) override { return m_pClock->OnEvent(id); }
    STDMETHOD(SetClock)(IRenderClock* clock) override {
        m_pClock = clock ? clock : &m_ownClock;
        return S_OK;
    }
    STDMETHOD_(IRenderClock*, GetClock)() override { return m_pClock; }
    STDMETHOD(Stop)() override {
        m_pClock->Stop();
        if (m_pTarget)
            m_pTarget->Redraw(&m_rect);
        return S_OK;
    }

private:
    template <class T>
    static HRESULT Get(const CComPtr<T>& slot, T** out) {
        if (!out)
            return E_POINTER;
        return slot.CopyTo(out);
    }

    IRenderTarget* m_pTarget;
    RECT m_rect;
    DWORD m_duration;
    BOOL m_entering;
    CComPtr<ITransitionMove> m_move;
    CComPtr<ITransitionRegion> m_region;
    CComPtr<ITransitionMask> m_mask;
    CRenderClock m_ownClock;
    IRenderClock* m_pClock;
};

// The decoration render

class CDecorRender : public CComObjectRootBase, public IDecorRender, public IRenderClockClient {
public:
    BEGIN_COM_MAP(CDecorRender)
    COM_INTERFACE_ENTRY(IDecorRender)
    COM_INTERFACE_ENTRY(IRenderClockClient)
    END_COM_MAP()

    CDecorRender() : m_pTarget(nullptr), m_limit(-1), m_pClock(&m_ownClock) {
        m_ownClock.SetCodes(RENDER_EVENT_HOLD, RENDER_EVENT_LEAVE);
    }

    STDMETHOD(Load)(ITeskStream* stream) override {
        if (!stream)
            return E_POINTER;
        int limit;
        stream->Read(&limit, sizeof(limit));
        m_limit = limit;
        HRESULT hr = m_pClock->Load(stream);
        if (FAILED(hr))
            return hr;
        return LoadEntry(stream, m_decor);
    }
    STDMETHOD(Save)(ITeskStream* stream) override {
        if (!stream)
            return E_POINTER;
        stream->Write(&m_limit, sizeof(m_limit));
        HRESULT hr = m_pClock->Save(stream);
        if (FAILED(hr))
            return hr;
        return SaveEntry(stream, m_decor.p);
    }
    STDMETHOD(CopyFrom)(IDecorRender* other) override {
        return CopyThroughStream<IDecorRender>(other, this, 30000);
    }
    STDMETHOD(SetTimeLimit)(int ms) override { return SetProperty(m_limit, ms); }
    STDMETHOD(GetTimeLimit)(int* ms) override { return GetProperty(m_limit, ms); }
    STDMETHOD(SetTarget)(IRenderTarget* target) override {
        m_pTarget = target;
        return S_OK;
    }
    STDMETHOD(SetDecor)(ITransitionDecor* decor) override {
        m_decor = decor;
        return S_OK;
    }
    STDMETHOD(GetDecor)(ITransitionDecor** decor) override {
        if (!decor)
            return E_POINTER;
        return m_decor.CopyTo(decor);
    }
    STDMETHOD_(BOOL, IsIdle)() override { return m_pClock->GetState() == RENDER_STOPPED; }
    STDMETHOD(Render)(IPixelBuffer* target) override {
        if (m_pClock->GetState() == RENDER_STOPPED || !m_decor || !m_pTarget)
            return S_OK;
        RECT rect;
        HRESULT hr = m_pTarget->GetRect(&rect);
        if (FAILED(hr))
            return hr;
        return m_decor->Draw(target, &rect, m_pClock->GetElapsed());
    }
    STDMETHOD(Reserved13)() override { return S_OK; }
    STDMETHOD(Reserved14)() override { return S_OK; }

    // IRenderClockClient
    STDMETHOD(OnTick)() override {
        m_pClock->UpdateFromSite();
        RECT rect;
        if (m_pTarget && SUCCEEDED(m_pTarget->GetRect(&rect)))
            m_pTarget->Redraw(&rect);
        if (m_limit != -1 && (long long)m_pClock->GetElapsed() > (long long)m_limit)
            return Stop();
        return S_OK;
    }
    STDMETHOD(OnEvent)(int id, WPARAM, LPARAM) override {
        m_pClock->OnEvent(id);
        if ((id == RENDER_EVENT_LEAVE || id == RENDER_EVENT_EXIT) &&
            m_pClock->GetState() != RENDER_STOPPED)
            return Stop();
        return S_OK;
    }
    STDMETHOD(SetClock)(IRenderClock* clock) override {
        m_pClock = clock ? clock : &m_ownClock;
        return S_OK;
    }
    STDMETHOD_(IRenderClock*, GetClock)() override { return m_pClock; }
    STDMETHOD(Stop)() override {
        m_pClock->Stop();
        RECT rect;
        if (m_pTarget && SUCCEEDED(m_pTarget->GetRect(&rect)))
            m_pTarget->Invalidate(&rect);
        return S_OK;
    }

private:
    IRenderTarget* m_pTarget;
    int m_limit;
    CComPtr<ITransitionDecor> m_decor;
    CRenderClock m_ownClock;
    IRenderClock* m_pClock;
};

namespace {

template <class Class, class Itf>
HRESULT CreateRender(Itf** out, IRenderTarget* target) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    CComObject<Class>* p = nullptr;
    HRESULT hr = CComObject<Class>::CreateInstance(&p);
    if (FAILED(hr))
        return hr;
    p->AddRef();
    p->SetTarget(target);
    *out = p;
    return S_OK;
}

}  // namespace

HRESULT CreateEffectRender(IEffectRender** out, IRenderTarget* target) {
    return CreateRender<CEffectRender>(out, target);
}

HRESULT CreateDecorRender(IDecorRender** out, IRenderTarget* target) {
    return CreateRender<CDecorRender>(out, target);
}
