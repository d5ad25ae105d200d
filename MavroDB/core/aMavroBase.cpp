#include "aMavroBase.h"

#include <stdlib.h>
#include <string.h>

#include "aDBModule.h"
#include "aDBPage.h"
#include "aMediaTypeDef.h"
#include "bPlayerSite.h"
#include "bStrConv.h"

namespace {

// Every entry ends here: nothing thrown inside crosses the interface.
#define DB_ENTRY_BEGIN try {
#define DB_ENTRY_END(failure)                                                 \
    }                                                                         \
    catch (const CdbException& e) {                                           \
        DB_LOG("Engine error at the interface: %s", e.Description().c_str()); \
        return failure;                                                       \
    }                                                                         \
    catch (...) {                                                             \
        DB_LOG("Exception stopped at the interface");                         \
        return failure;                                                       \
    }

// A descriptor of the automation interface: name (ANSI, cut to 63 bytes),
// field, position, relative flag and is-query word.
void MakeDescriptor(DataSourceDescriptor* d, BSTR source, BSTR field, long relative, long pos,
                    long isQuery) {
    memset(d, 0, sizeof(*d));
    std::string s = MultibyteFromBstr(source);
    memcpy(d->sourceName, s.c_str(), MbCutLength(s.c_str(), sizeof(d->sourceName) - 1));
    std::string f = MultibyteFromBstr(field);
    memcpy(d->fieldName, f.c_str(), MbCutLength(f.c_str(), sizeof(d->fieldName) - 1));
    d->relative = relative;
    d->position = pos;
    d->isQuery = isQuery;
}

bool Empty(BSTR s) {
    return !s || !*s;
}

// The layer's strings are ANSI bytes; automation clients send and take UTF-16.
HRESULT WideToLayer(const VARIANT* in, VARIANT* out) {
    VariantInit(out);
    const VARIANT* v = in;
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v))
        v = V_VARIANTREF(v);
    if (V_VT(v) == VT_BSTR) {
        std::string ansi = MultibyteFromBstr(V_BSTR(v));
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = SysAllocStringByteLen(ansi.data(), (UINT)ansi.size());
        return V_BSTR(out) ? S_OK : E_OUTOFMEMORY;
    }
    return VariantCopyInd(out, const_cast<VARIANT*>(v));
}

void LayerToWide(VARIANT* v) {
    if (V_VT(v) != VT_BSTR)
        return;
    BSTR b = V_BSTR(v);
    BSTR w = BstrFromMultibyte((const char*)b, b ? SysStringByteLen(b) : 0);
    SysFreeString(b);
    V_BSTR(v) = w;
}

}  // namespace

HRESULT CreateMavroBase(REFIID iid, void** ppv) {
    try {
        return ComCreateInstance<CMavroBase>(iid, ppv);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

CMavroBase::CMavroBase() {
    ComModuleLock();
}

CMavroBase::~CMavroBase() {
    ComModuleUnlock();
}

void CMavroBase::FinalRelease() {
    try {
        m_core.reset();
    } catch (...) {
    }
    if (m_typeInfo)
        m_typeInfo->Release();
    m_typeInfo = nullptr;
}

// ---- IDispatch

HRESULT CMavroBase::LoadTypeInfo() {
    if (m_typeInfo)
        return S_OK;
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(GetDBModule(), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return E_FAIL;
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &lib);
    if (FAILED(hr))
        return hr;
    hr = lib->GetTypeInfoOfGuid(__uuidof(IMDBase), &m_typeInfo);
    lib->Release();
    return hr;
}

STDMETHODIMP CMavroBase::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP CMavroBase::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
        return hr;
    m_typeInfo->AddRef();
    *info = m_typeInfo;
    return S_OK;
}

STDMETHODIMP CMavroBase::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
        return hr;
    return m_typeInfo->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP CMavroBase::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
        return hr;
    return m_typeInfo->Invoke(static_cast<IMDBase*>(this), id, flags, params, result, excep,
                              argErr);
}

STDMETHODIMP CMavroBase::InterfaceSupportsErrorInfo(REFIID iid) {
    return IsEqualIID(iid, __uuidof(IMDBase)) ? S_OK : S_FALSE;
}

HRESULT CMavroBase::Fail(const std::string& text) {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        std::wstring source = WideFromMultibyte(MAVROBASE_PROGID);
        std::wstring description = WideFromMultibyte(text.c_str());
        create->SetSource(&source[0]);
        create->SetGUID(__uuidof(IMDBase));
        create->SetDescription(&description[0]);
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, (void**)&info))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return E_FAIL;
}

// ---- IMDBase

STDMETHODIMP CMavroBase::GetTableCount(long* count) {
    if (!count || !m_core)
        return E_FAIL;
    *count = m_core->GetTableCount();
    return S_OK;
}

STDMETHODIMP CMavroBase::GetQueryCount(long* count) {
    if (!count || !m_core)
        return E_FAIL;
    *count = m_core->GetQueryCount();
    return S_OK;
}

STDMETHODIMP CMavroBase::GetTableName(long index, BSTR* name) {
    DB_ENTRY_BEGIN
    if (!name || !m_core)
        return E_FAIL;
    std::string text, error;
    if (!m_core->GetTableNameAt(&text, &error, (int)index))
        return Fail(error);
    *name = BstrFromMultibyte(text);
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetQueryName(long index, BSTR* name) {
    DB_ENTRY_BEGIN
    if (!name || !m_core)
        return E_FAIL;
    std::string text, error;
    if (!m_core->GetQueryNameAt(&text, &error, (int)index))
        return Fail(error);
    *name = BstrFromMultibyte(text);
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetFieldCount(BSTR source, long isQuery, long* count) {
    DB_ENTRY_BEGIN
    if (!count)
        return E_POINTER;
    DataSourceDescriptor d;
    MakeDescriptor(&d, source, nullptr, 0, 0, isQuery);
    int n = -1;
    HRESULT hr = GetDataSourceFieldCount(&d, &n);
    *count = SUCCEEDED(hr) ? n : -1;
    return hr;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetFieldName(BSTR source, long isQuery, long index, BSTR* name) {
    DB_ENTRY_BEGIN
    if (!name)
        return E_POINTER;
    DataSourceDescriptor d;
    MakeDescriptor(&d, source, nullptr, 0, 0, isQuery);
    HRESULT hr = GetDataSourceFieldName(&d, (int)index);
    if (FAILED(hr))
        return hr;
    *name = BstrFromMultibyte(FieldText(d.fieldName, sizeof(d.fieldName)));
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::IsTableRsOpen(BSTR table, long* flag) {
    DB_ENTRY_BEGIN
    if (Empty(table) || !flag || !m_core)
        return E_FAIL;
    int f = 0;
    if (!m_core->FindDataSource(MultibyteFromBstr(table).c_str(), 0, &f))
        return E_FAIL;
    *flag = f;
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::IsQueryRsOpen(BSTR query, long* flag) {
    DB_ENTRY_BEGIN
    if (Empty(query) || !flag || !m_core)
        return E_FAIL;
    int f = 0;
    if (!m_core->FindDataSource(MultibyteFromBstr(query).c_str(), 1, &f))
        return E_FAIL;
    *flag = f;
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::OpenTableRs(BSTR table) {
    DB_ENTRY_BEGIN
    if (Empty(table) || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, table, nullptr, 0, 0, 0);
    std::string error;
    if (!m_core->EnsureTableOpen(&d, &error))
        return Fail(error);
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::OpenQueryRs(BSTR query) {
    DB_ENTRY_BEGIN
    if (Empty(query) || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, query, nullptr, 0, 0, 1);
    std::string error;
    if (!m_core->EnsureQueryOpen(&d, &error))
        return Fail(error);
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::CloseTableRs(BSTR table) {
    DB_ENTRY_BEGIN
    if (Empty(table) || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, table, nullptr, 0, 0, 0);
    return m_core->CloseDataSource(&d) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::CloseQueryRs(BSTR query) {
    DB_ENTRY_BEGIN
    if (Empty(query) || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, query, nullptr, 0, 0, 1);
    return m_core->CloseDataSource(&d) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

HRESULT CMavroBase::ReadValue(BSTR source, BSTR field, long relative, long pos, long isQuery,
                              VARIANT* value) {
    DB_ENTRY_BEGIN
    if (Empty(source) || !value || !m_core)
        return E_FAIL;
    VariantInit(value);
    DataSourceDescriptor d;
    MakeDescriptor(&d, source, field, relative, pos, isQuery);
    if (m_core->GetFieldValue(&d, value) != 1)
        return E_FAIL;
    LayerToWide(value);
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

HRESULT CMavroBase::WriteValue(BSTR source, BSTR field, long relative, long pos, long isQuery,
                               VARIANT* value) {
    DB_ENTRY_BEGIN
    if (Empty(source) || !value || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, source, field, relative, pos, isQuery);
    VARIANT v;
    if (FAILED(WideToLayer(value, &v)))
        return E_FAIL;
    int code = m_core->SetFieldValue(&d, &v);
    VariantClear(&v);
    return code == 1 ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetTableFieldValue(BSTR table, BSTR field, long relative, long pos,
                                            VARIANT* value) {
    return ReadValue(table, field, relative, pos, 0, value);
}

STDMETHODIMP CMavroBase::GetQueryFieldValue(BSTR query, BSTR field, long relative, long pos,
                                            VARIANT* value) {
    return ReadValue(query, field, relative, pos, 1, value);
}

STDMETHODIMP CMavroBase::UpdateTabRsData(BSTR table, BSTR field, long relative, long pos,
                                         VARIANT* value) {
    return WriteValue(table, field, relative, pos, 0, value);
}

STDMETHODIMP CMavroBase::UpdateQryRsData(BSTR query, BSTR field, long relative, long pos,
                                         VARIANT* value) {
    return WriteValue(query, field, relative, pos, 1, value);
}

STDMETHODIMP CMavroBase::AddTabRsRecord(BSTR table) {
    DB_ENTRY_BEGIN
    if (Empty(table) || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, table, nullptr, 0, 0, 0);
    return m_core->AddEmptyRecord(&d, nullptr) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::DelTabRsRecord(BSTR table, long pos, long relative) {
    DB_ENTRY_BEGIN
    if (Empty(table) || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, table, nullptr, relative, pos, 0);
    return m_core->DeleteRecord(&d) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetTableRsPos(BSTR table, long* pos) {
    DB_ENTRY_BEGIN
    if (Empty(table) || !pos || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, table, nullptr, 0, 0, 0);
    int p = 0;
    if (!m_core->GetRecordPosition(&d, &p))
        return E_FAIL;
    *pos = p;
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetQueryRsPos(BSTR query, long* pos) {
    DB_ENTRY_BEGIN
    if (Empty(query) || !pos || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, query, nullptr, 0, 0, 1);
    int p = 0;
    if (!m_core->GetRecordPosition(&d, &p))
        return E_FAIL;
    *pos = p;
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::TableRsMoveTo(BSTR table, long pos) {
    DB_ENTRY_BEGIN
    if (Empty(table) || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, table, nullptr, 0, pos, 0);
    return m_core->MoveToRecord(&d) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::QueryRsMoveTo(BSTR query, long pos) {
    DB_ENTRY_BEGIN
    if (Empty(query) || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, query, nullptr, 0, pos, 1);
    return m_core->MoveToRecord(&d) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::TableRsMoveFirst(BSTR table) {
    DB_ENTRY_BEGIN
    if (Empty(table) || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, table, nullptr, 0, 0, 0);
    return m_core->MoveSourceFirst(&d) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::TableRsMoveLast(BSTR table) {
    DB_ENTRY_BEGIN
    if (Empty(table) || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, table, nullptr, 0, 0, 0);
    return m_core->MoveSourceLast(&d) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::QueryRsMoveFirst(BSTR query) {
    DB_ENTRY_BEGIN
    if (Empty(query) || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, query, nullptr, 0, 0, 1);
    return m_core->MoveSourceFirst(&d) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::QueryRsMoveLast(BSTR query) {
    DB_ENTRY_BEGIN
    if (Empty(query) || !m_core)
        return E_FAIL;
    DataSourceDescriptor d;
    MakeDescriptor(&d, query, nullptr, 0, 0, 1);
    return m_core->MoveSourceLast(&d) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::ChangeQrySQL(BSTR query, BSTR sql) {
    DB_ENTRY_BEGIN
    if (Empty(query) || !m_core)
        return E_FAIL;
    return m_core->ChangeQuerySQL(MultibyteFromBstr(sql).c_str(), MultibyteFromBstr(query).c_str())
               ? S_OK
               : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

// Element i of a one-dimensional array held in a VARIANT, as a VARIANT.
static HRESULT ArrayElement(const VARIANT& array, LONG i, VARIANT* out) {
    VariantInit(out);
    SAFEARRAY* a = (V_VT(&array) & VT_BYREF) ? *V_ARRAYREF(&array) : V_ARRAY(&array);
    VARTYPE vt = V_VT(&array) & VT_TYPEMASK;
    LONG lo = 0;
    SafeArrayGetLBound(a, 1, &lo);
    LONG index = lo + i;
    if (vt == VT_VARIANT)
        return SafeArrayGetElement(a, &index, out);
    if (vt == VT_BSTR) {
        BSTR b = nullptr;
        HRESULT hr = SafeArrayGetElement(a, &index, &b);
        if (SUCCEEDED(hr)) {
            V_VT(out) = VT_BSTR;
            V_BSTR(out) = b;
        }
        return hr;
    }
    if (vt == VT_I4 || vt == VT_R8 || vt == VT_I2 || vt == VT_BOOL || vt == VT_DATE ||
        vt == VT_UI1 || vt == VT_R4 || vt == VT_CY) {
        HRESULT hr = SafeArrayGetElement(a, &index, &out->lVal);
        if (SUCCEEDED(hr))
            V_VT(out) = vt;
        return hr;
    }
    return E_INVALIDARG;
}

// Elements in a VARIANT holding a one-dimensional array; -1 when it holds none.
static LONG ArrayCount(const VARIANT& v) {
    if (!(V_VT(&v) & VT_ARRAY))
        return -1;
    SAFEARRAY* a =
        (V_VT(&v) & VT_BYREF) ? (V_ARRAYREF(&v) ? *V_ARRAYREF(&v) : nullptr) : V_ARRAY(&v);
    LONG lo = 0, hi = -1;
    if (!a || SafeArrayGetDim(a) != 1 || FAILED(SafeArrayGetLBound(a, 1, &lo)) ||
        FAILED(SafeArrayGetUBound(a, 1, &hi)))
        return -1;
    return hi - lo + 1;
}

STDMETHODIMP CMavroBase::AddRecord(BSTR source, long isQuery, VARIANT names, VARIANT values,
                                   long count) {
    DB_ENTRY_BEGIN
    if (Empty(source) || !m_core)
        return E_FAIL;
    // The count is checked against both arrays before anything is read.
    LONG nameCount = ArrayCount(names), valueCount = ArrayCount(values);
    if (nameCount < 0 || valueCount < 0 || count <= 0 || count > nameCount || count > valueCount)
        return E_FAIL;
    std::vector<FieldValuePair> pairs((size_t)count);
    memset(pairs.data(), 0, pairs.size() * sizeof(FieldValuePair));
    HRESULT hr = S_OK;
    for (long i = 0; i < count && SUCCEEDED(hr); ++i) {
        VARIANT name;
        hr = ArrayElement(names, i, &name);
        if (SUCCEEDED(hr) && V_VT(&name) != VT_BSTR)
            hr = VariantChangeType(&name, &name, 0, VT_BSTR);
        if (SUCCEEDED(hr)) {
            std::string n = MultibyteFromBstr(V_BSTR(&name));
            memcpy(pairs[i].fieldName, n.c_str(),
                   MbCutLength(n.c_str(), sizeof(pairs[i].fieldName) - 1));
        }
        VariantClear(&name);
        VARIANT value;
        if (SUCCEEDED(hr))
            hr = ArrayElement(values, i, &value);
        if (SUCCEEDED(hr)) {
            hr = WideToLayer(&value, &pairs[i].value);
            VariantClear(&value);
        }
    }
    int ok = 0;
    if (SUCCEEDED(hr)) {
        DataSourceDescriptor d;
        MakeDescriptor(&d, source, nullptr, 0, 0, isQuery);
        ok = m_core->AddNewRecord(&d, pairs.data(), (int)count);
    }
    for (FieldValuePair& p : pairs) VariantClear(&p.value);
    if (FAILED(hr))
        return E_FAIL;
    return ok ? S_OK : DB_E_FAILED;
    DB_ENTRY_END(DB_E_FAILED)
}

// ---- IDBCore

bool CMavroBase::Prepare(DataSourceDescriptor* d) {
    if (!m_core || !d)
        return false;
    std::string name = FieldText(d->sourceName, sizeof(d->sourceName));
    d->isQuery = m_core->IsQueryName(name.c_str()) == S_OK ? 1 : 0;
    return true;
}

STDMETHODIMP CMavroBase::InitDataBase(const char* path, const char* workgroupPath,
                                      const char* password, int flags, IPlayerSite* site,
                                      HWND window) {
    DB_ENTRY_BEGIN
    if (site)
        site->GetTraceLog(GetDBTraceLogSlot());
    DB_TRACE_POINT();
    const char* p = path ? path : "";
    const char* w = workgroupPath ? workgroupPath : "";
    m_core.reset();
    m_core.reset(new CDBCore());
    m_core->SetNoticeWindow(window);
    m_core->SetSite(site);
    SetDBCore(m_core.get());
    bool exclusive = (flags & DB_INIT_EXCLUSIVE) != 0;
    int ok = 0;
    try {
        switch (flags & (DB_INIT_CREATE | DB_INIT_MULTIUSER)) {
            case 0: {
                bool readOnly = false;
                // A database on a CD-ROM can only be read, by one user.
                if (p[0] && p[1] == ':') {
                    char root[4] = {p[0], ':', '\\', 0};
                    if (GetDriveTypeA(root) == DRIVE_CDROM)
                        exclusive = readOnly = true;
                }
                ok = m_core->OpenDatabaseCore(p, w, password, exclusive, FALSE, FALSE, readOnly);
                if (!ok)
                    DB_LOG("Initial DB (open old for singleUser) fail: %s, %s", p, w);
                break;
            }
            case DB_INIT_MULTIUSER:
                ok = m_core->OpenDatabaseCore(p, w, password, exclusive, TRUE, FALSE, FALSE);
                if (!ok)
                    DB_LOG("Initial DB (open old for multiuser) fail: %s, %s", p, w);
                break;
            case DB_INIT_CREATE:
                if (!m_core->CreateDatabaseFile(p, w, password, 0)) {
                    DB_LOG("Initial DB (create db single) fail: %s, %s", p, w);
                    break;
                }
                ok = m_core->OpenDatabaseCore(p, w, password, exclusive, FALSE, FALSE, FALSE);
                if (!ok)
                    DB_LOG("Initial DB (open old for single) fail: %s, %s", p, w);
                break;
            default:
                if (!m_core->CreateDatabaseFile(p, w, password, 1)) {
                    DB_LOG("Initial DB (create db multi) fail: %s, %s", p, w);
                    break;
                }
                ok = m_core->OpenDatabaseCore(p, w, password, exclusive, TRUE, TRUE, FALSE);
                if (!ok)
                    DB_LOG("Initial DB (open old for multiuser ) fail: %s, %s", p, w);
                break;
        }
    } catch (...) {
        m_core.reset();
        return DB_E_FAILED;
    }
    return ok ? S_OK : DB_E_FAILED;
    DB_ENTRY_END(DB_E_FAILED)
}

STDMETHODIMP CMavroBase::ChangeDatabasePassword(const char* oldPassword, const char* newPassword) {
    DB_ENTRY_BEGIN
    return m_core && m_core->ChangeDatabasePassword(newPassword, oldPassword) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::Reserved5() {
    return S_OK;
}

STDMETHODIMP CMavroBase::CreateMediaTypeDef(const char* oldPath, const char* newPath,
                                            IPlayerSite* site) {
    DB_ENTRY_BEGIN
    if (site)
        site->GetTraceLog(GetDBTraceLogSlot());
    return CMediaTypeDef::Run(oldPath, newPath, site);
    DB_ENTRY_END(E_FAIL)
}

// The host's property sheet (modeless, a window) and its toolbar control.
STDMETHODIMP CMavroBase::AddDatabasePage(void* sheet, HINSTANCE resource, void* toolBar) {
    DB_ENTRY_BEGIN
    DB_TRACE_POINT();
    if (!sheet || !IsWindow((HWND)sheet))
        return E_FAIL;
    if (!m_core)
        return E_FAIL;
    m_core->SetCallerResource(resource);
    CDBPage* page = new CDBPage((HWND)toolBar);
    PROPSHEETPAGEA psp;
    page->Fill(&psp);
    HPROPSHEETPAGE handle = CreatePropertySheetPageA(&psp);
    if (!handle) {
        delete page;
        return S_OK;
    }
    m_core->SetPage(page);
    // A refused page is destroyed (its release deletes it).
    if (!PropSheet_AddPage((HWND)sheet, handle))
        DestroyPropertySheetPage(handle);
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

// There is no document and view framework here: nothing to attach.
STDMETHODIMP CMavroBase::AttachDatabaseView(void*) {
    return S_OK;
}

STDMETHODIMP CMavroBase::LoadDatabaseToolBar(void* toolBar) {
    DB_ENTRY_BEGIN
    if (toolBar)
        LoadDBToolBar((HWND)toolBar);
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::QueryViewActive(IDBViewActiveSink* sink) {
    DB_ENTRY_BEGIN
    if (sink)
        sink->OnViewActive(m_core ? m_core->IsActivePaneView() : 0);
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::CloseAllRecordsets() {
    DB_ENTRY_BEGIN
    if (m_core)
        m_core->CloseBrowsedDataSources();
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetDataSourceFieldCount(DataSourceDescriptor* d, int* count) {
    DB_ENTRY_BEGIN
    if (!count || !Prepare(d))
        return E_FAIL;
    int n = m_core->GetFieldCount(d);
    if (n == -1)
        return E_FAIL;
    *count = n;
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetDataSourceFieldType(DataSourceDescriptor* d, int* type) {
    DB_ENTRY_BEGIN
    if (!type || !Prepare(d))
        return E_FAIL;
    return m_core->GetFieldType(d, type) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetDataSourceRecordCount(DataSourceDescriptor* d, int* count) {
    DB_ENTRY_BEGIN
    if (!count || !Prepare(d))
        return E_FAIL;
    return m_core->GetRecordCount(d, count) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetDataSourceFieldName(DataSourceDescriptor* d, int index) {
    DB_ENTRY_BEGIN
    if (!Prepare(d))
        return E_FAIL;
    return m_core->GetFieldName(d, index) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetDataSourceFieldValue(DataSourceDescriptor* d, VARIANT* value) {
    if (!value)
        return E_FAIL;
    V_VT(value) = VT_EMPTY;
    DB_ENTRY_BEGIN
    if (!Prepare(d))
        return E_FAIL;
    switch (m_core->GetFieldValue(d, value)) {
        case 0:
            return E_FAIL;
        case 1:
            return S_OK;
        case 4:
            return DB_E_RECORD_DELETED;
        case 5:
            return DB_E_PAST_END;
        case 7:
            return DB_E_ENGINE;
        case 8:
            return DB_E_READ_FAILED;
        default:
            return S_FALSE;
    }
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetDataSourceRecordTexts(DataSourceDescriptor* d, int count,
                                                  const char* const* names, const int* types,
                                                  int fields, char** block, int* read) {
    if (!block || !read)
        return E_POINTER;
    *block = nullptr;
    *read = 0;
    if (count < 0 || fields < 0 || (fields > 0 && (!names || !types)))
        return E_INVALIDARG;
    DB_ENTRY_BEGIN
    if (!Prepare(d))
        return E_FAIL;
    std::string texts;
    int n = m_core->ReadRecordTexts(d, count, names, types, fields, &texts);
    if (n > 0) {
        char* out = (char*)malloc(texts.size() + 1);
        if (!out)
            return E_OUTOFMEMORY;
        memcpy(out, texts.data(), texts.size());
        out[texts.size()] = 0;
        *block = out;
        *read = n;
    }
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::UpdateDataSourceRecord(DataSourceDescriptor* d, FieldValuePair* pairs,
                                                int count) {
    DB_ENTRY_BEGIN
    if (!Prepare(d) || !pairs || count <= 0)
        return DB_E_FAILED;
    return m_core->UpdateRecord(d, pairs, count) == 1 ? S_OK : DB_E_FAILED;
    DB_ENTRY_END(DB_E_FAILED)
}

STDMETHODIMP CMavroBase::DeleteDataSourceRecord(DataSourceDescriptor* d) {
    DB_ENTRY_BEGIN
    if (!Prepare(d))
        return E_FAIL;
    return m_core->DeleteRecord(d) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::AddDataSourceRecord(DataSourceDescriptor* d, FieldValuePair* pairs,
                                             int count) {
    DB_ENTRY_BEGIN
    if (!Prepare(d) || !pairs || count <= 0)
        return DB_E_FAILED;
    return m_core->AddNewRecord(d, pairs, count) ? S_OK : DB_E_FAILED;
    DB_ENTRY_END(DB_E_FAILED)
}

STDMETHODIMP CMavroBase::GetDataSourcePosition(DataSourceDescriptor* d, int* position) {
    DB_ENTRY_BEGIN
    if (!position || !Prepare(d))
        return E_FAIL;
    return m_core->GetRecordPosition(d, position) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::MoveDataSource(DataSourceDescriptor* d) {
    DB_ENTRY_BEGIN
    if (!Prepare(d))
        return E_FAIL;
    return m_core->MoveToRecord(d) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::RequeryDataSource(DataSourceDescriptor* d) {
    DB_ENTRY_BEGIN
    if (!Prepare(d))
        return E_FAIL;
    DataSourceEntry* e = m_core->FindEntry(d);
    if (!e)
        return E_FAIL;
    int ok = d->isQuery == 1 ? m_core->RequeryQuery(e) : m_core->RequeryTable(e);
    return ok ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::ReexecuteQuery(DataSourceDescriptor* d) {
    DB_ENTRY_BEGIN
    if (!Prepare(d))
        return E_FAIL;
    if (d->isQuery != 1)
        return S_OK;
    DataSourceEntry* e = m_core->FindEntry(d);
    if (!e || !m_core->OpenQuerySource(e))
        return E_FAIL;
    m_core->PostNotice(e->name.c_str(), nullptr, nullptr, 1, 3);
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetDataSourceCount(int* count) {
    if (!count || !m_core)
        return E_FAIL;
    *count = m_core->GetTableCount() + m_core->GetQueryCount();
    return S_OK;
}

STDMETHODIMP CMavroBase::GetDataSourceName(int index, char* buffer, int length) {
    DB_ENTRY_BEGIN
    if (!m_core || index < 0 || !buffer || length <= 0)
        return E_FAIL;
    int tables = m_core->GetTableCount();
    DataSourceEntry* e = nullptr;
    if (index < tables)
        e = m_core->TableAt(index);
    else if (index - tables < m_core->GetQueryCount())
        e = m_core->QueryAt(index - tables);
    if (!e || e->name.empty())
        return E_FAIL;
    size_t n = e->name.size() < (size_t)length ? e->name.size()
                                               : MbCutLength(e->name.c_str(), (size_t)length - 1);
    memcpy(buffer, e->name.c_str(), n);
    buffer[n] = 0;
    return S_OK;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::GetDataSourceFieldLinkFlag(DataSourceDescriptor* d, int* flag) {
    DB_ENTRY_BEGIN
    if (!flag || !Prepare(d))
        return E_FAIL;
    return m_core->QueryFieldLinkFlag(d, flag) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::IsQueryName(const char* name) {
    DB_ENTRY_BEGIN
    if (!m_core || !name)
        return E_FAIL;
    return m_core->IsQueryName(name);
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::WalkTables(IDBTableWalkSink* sink) {
    DB_ENTRY_BEGIN
    DB_TRACE_POINT();
    if (!m_core)
        return E_FAIL;
    return m_core->WalkTables(sink);
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::TextToVariant(VARIANT* value, const char* text, int fieldType) {
    DB_ENTRY_BEGIN
    return CDBCore::TextToVariant(value, text, fieldType) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::VariantToTextBuffer(const VARIANT* value, char** text, int fieldType,
                                             int* flag) {
    DB_ENTRY_BEGIN
    return CDBCore::VariantToTextBuffer(value, text, fieldType, flag) ? S_OK : E_FAIL;
    DB_ENTRY_END(E_FAIL)
}

STDMETHODIMP CMavroBase::FreeDBBlock(void* block) {
    free(block);
    return S_OK;
}

STDMETHODIMP CMavroBase::FreeDBNotice(DataSourceNotice* notice) {
    delete notice;
    return S_OK;
}
