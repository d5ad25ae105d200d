#include "aFillFiles.h"

#include "bComBase.h"

namespace {

class CFillFileBridge : public CComObjectRootBase, public IMediaCollector {
public:
    BEGIN_COM_MAP(CFillFileBridge)
    COM_INTERFACE_ENTRY_IID(IID_IUnknown, IMediaCollector)
    END_COM_MAP()

    STDMETHOD(AddMedia)(int kind, const char* name) override {
        if (!m_files || !name)
            return S_OK;
        return m_files->AddFile(kind, name);
    }
    void SetTarget(IFileCollector* files) { m_files = files; }

private:
    IFileCollector* m_files = nullptr;
};

}  // namespace

HRESULT CollectFillFiles(FillObject* fill, IFileCollector* collector) {
    if (!collector)
        return E_POINTER;
    if (!fill)
        return S_OK;
    CComObject<CFillFileBridge>* bridge = nullptr;
    HRESULT hr = CComObject<CFillFileBridge>::CreateInstance(&bridge);
    if (FAILED(hr))
        return hr;
    bridge->AddRef();
    bridge->SetTarget(collector);
    hr = fill->ReportMedia(bridge);
    // The fill may keep no reference past its report.
    bridge->SetTarget(nullptr);
    bridge->Release();
    return hr;
}
