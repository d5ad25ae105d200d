#include "aPlayerModule.h"

#include "aGlobal.h"
#include "aPlayerDoc.h"
#include "aPlayerView.h"
#include "bTraceLog.h"

CPlayerModule _Module;

HRESULT CPlayerModule::Init(HINSTANCE instance) {
    HRESULT hr = CAppModuleBase::Init(instance);
    if (FAILED(hr))
        return hr;
    try {
        CGlobal* global = new CGlobal();
        SetAppGlobal(global);
        global->Start();
    } catch (CSE_Exception& e) {
        LOG_EXCEPTION(e);
        return 0;
    }
    return hr;
}

void CPlayerModule::Term() {
    CGlobal* global = GetAppGlobal();
    SetAppGlobal(nullptr);
    delete global;
    CAppModuleBase::Term();
}

namespace {
// Acknowledges each tick once the UI thread has gone idle, so ticks never
// pile up in the queue.
class TickIdleHandler : public CIdleHandler {
public:
    explicit TickIdleHandler(CPlayerSite* site) : m_pSite(site) {}
    BOOL OnIdle() override {
        if (m_pSite && m_pSite->GetTicks())
            m_pSite->GetTicks()->Acknowledge();
        return 0;
    }

private:
    CPlayerSite* m_pSite;
};
}  // namespace

int RunMessageLoop(CPlayerSite* site) {
    TRACE_POINT();
    CMessageLoop loop;
    TickIdleHandler idle(site);
    loop.AddIdleHandler(&idle);
    _Module.AddMessageLoop(&loop);

    void* d = nullptr;
    if (site)
        site->GetDocument(&d);
    CPlayerDoc* doc = static_cast<CPlayerDoc*>(d);
    if (doc)
        doc->StartPresentation();
    CPlayerView* view = site ? static_cast<CPlayerView*>(site->GetView()) : nullptr;
    if (view)
        loop.AddMessageFilter(view);

    int result = 0;
    try {
        result = loop.Run();
    } catch (CSE_Exception& e) {
        LOG_EXCEPTION(e);
        result = 0;
    } catch (...) {
        LOG_MSG("Unknown Exception !!!");
        result = 0;
    }

    loop.RemoveIdleHandler(&idle);
    if (view)
        loop.RemoveMessageFilter(view);
    _Module.RemoveMessageLoop();
    return result;
}
