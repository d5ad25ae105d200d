#include "aFuncLib.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <wctype.h>

#include "aObjClass.h"
#include "bDBCore.h"
#include "bDateUtil.h"
#include "bFileUtil.h"
#include "bStrConv.h"
#include "bTraceLog.h"

namespace {

HRESULT PutText(const std::string& text, BSTR* result) {
    if (!result)
        return E_POINTER;
    *result = BstrFromMultibyte(text);
    return *result ? S_OK : E_OUTOFMEMORY;
}

HRESULT PutWide(const WCHAR* text, UINT length, BSTR* result) {
    if (!result)
        return E_POINTER;
    *result = SysAllocStringLen(text, length);
    return *result ? S_OK : E_OUTOFMEMORY;
}

template <class T>
HRESULT Put(T value, T* result) {
    if (!result)
        return E_POINTER;
    *result = value;
    return S_OK;
}

}  // namespace

// ---- math ----

STDMETHODIMP CMathFuncs::Abs(LONG val, LONG* result) {
    // The magnitude of the smallest value does not fit: it stays itself.
    return Put<LONG>(val < 0 ? (LONG)(0u - (ULONG)val) : val, result);
}
STDMETHODIMP CMathFuncs::Acos(double val, double* result) {
    if (fabs(val) > 1)
        return E_FAIL;
    return Put(acos(val), result);
}
STDMETHODIMP CMathFuncs::Asin(double val, double* result) {
    if (fabs(val) > 1)
        return E_FAIL;
    return Put(asin(val), result);
}
STDMETHODIMP CMathFuncs::Atan(double val, double* result) {
    return Put(atan(val), result);
}
STDMETHODIMP CMathFuncs::Atan2(double y, double x, double* result) {
    return Put(atan2(y, x), result);
}
STDMETHODIMP CMathFuncs::Cos(double val, double* result) {
    return Put(cos(val), result);
}
STDMETHODIMP CMathFuncs::Cosh(double val, double* result) {
    return Put(cosh(val), result);
}
STDMETHODIMP CMathFuncs::Exp(double val, double* result) {
    return Put(exp(val), result);
}
STDMETHODIMP CMathFuncs::Fabs(double val, double* result) {
    return Put(fabs(val), result);
}
STDMETHODIMP CMathFuncs::Fmod(double f1, double f2, double* result) {
    return Put(fmod(f1, f2), result);
}
STDMETHODIMP CMathFuncs::Log(double val, double* result) {
    if (val == 0)
        return E_FAIL;
    return Put(log(val), result);
}
STDMETHODIMP CMathFuncs::Log10(double val, double* result) {
    if (val == 0)
        return E_FAIL;
    return Put(log10(val), result);
}
STDMETHODIMP CMathFuncs::Pow(double val, double e, double* result) {
    return Put(pow(val, e), result);
}
STDMETHODIMP CMathFuncs::Sin(double val, double* result) {
    return Put(sin(val), result);
}
STDMETHODIMP CMathFuncs::Sinh(double val, double* result) {
    return Put(sinh(val), result);
}
STDMETHODIMP CMathFuncs::Sqrt(double val, double* result) {
    if (!(val > 0))
        return E_FAIL;
    return Put(sqrt(val), result);
}
STDMETHODIMP CMathFuncs::Tan(double val, double* result) {
    return Put(tan(val), result);
}
STDMETHODIMP CMathFuncs::Tanh(double val, double* result) {
    return Put(tanh(val), result);
}
STDMETHODIMP CMathFuncs::Round(double val, LONG* result) {
    // trunc(2x) - trunc(x): halves away from zero. A value whose result does
    // not fit 32 bits fails instead of wrapping.
    double r = trunc(2 * val) - trunc(val);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        return E_FAIL;
    return Put((LONG)r, result);
}
STDMETHODIMP CMathFuncs::Rand(LONG* result) {
    return Put((LONG)rand(), result);
}

// ---- general ----

STDMETHODIMP CGeneralFuncs::Atof(BSTR str, double* result) {
    return Put(atof(MultibyteFromBstr(str).c_str()), result);
}
STDMETHODIMP CGeneralFuncs::Atoi(BSTR str, LONG* result) {
    return Put((LONG)atoi(MultibyteFromBstr(str).c_str()), result);
}
STDMETHODIMP CGeneralFuncs::Itoa(LONG val, LONG base, BSTR* result) {
    if (base < 2)
        base = 2;
    if (base > 36)
        base = 36;
    char buf[40];
    _ltoa(val, buf, (int)base);
    for (char* p = buf; *p; ++p)
        if (*p >= 'a' && *p <= 'z')
            *p = (char)(*p - 'a' + 'A');
    return PutText(buf, result);
}
STDMETHODIMP CGeneralFuncs::Ftoa(double val, LONG digits, BSTR* result) {
    if (digits < 0)
        digits = 0;
    if (digits > 32)
        digits = 32;
    char format[16];
    double a = fabs(val);
    if (a > 1e10 || a < 1e-7)
        snprintf(format, sizeof(format), "%%.%dg", (int)digits + 1);
    else
        snprintf(format, sizeof(format), "%%.%df", (int)digits);
    char buf[400];
    snprintf(buf, sizeof(buf), format, val);
    return PutText(buf, result);
}
STDMETHODIMP CGeneralFuncs::GetMiddleOfString(BSTR str, LONG pos, LONG len, BSTR* result) {
    LONG length = (LONG)SysStringLen(str);
    if (pos < 0)
        pos = 0;
    if (pos > length)
        pos = length;
    if (len > length - pos)
        len = length - pos;
    if (len < 0)
        len = 0;
    return PutWide(str ? str + pos : L"", (UINT)len, result);
}
STDMETHODIMP CGeneralFuncs::GetLeftOfString(BSTR str, LONG len, BSTR* result) {
    return GetMiddleOfString(str, 0, len, result);
}
STDMETHODIMP CGeneralFuncs::GetRightOfString(BSTR str, LONG len, BSTR* result) {
    return GetMiddleOfString(str, (LONG)SysStringLen(str) - len, len, result);
}
STDMETHODIMP CGeneralFuncs::FindStringInString(BSTR str, BSTR subStr, LONG* result) {
    std::wstring s(str ? str : L"", SysStringLen(str));
    std::wstring sub(subStr ? subStr : L"", SysStringLen(subStr));
    size_t at = s.find(sub);
    return Put<LONG>(at == std::wstring::npos ? -1 : (LONG)at, result);
}
STDMETHODIMP CGeneralFuncs::GetStringLength(BSTR str, LONG* result) {
    return Put((LONG)SysStringLen(str), result);
}
STDMETHODIMP CGeneralFuncs::StringToLower(BSTR str, BSTR* result) {
    std::wstring s(str ? str : L"", SysStringLen(str));
    for (auto& c : s) c = (WCHAR)towlower(c);
    return PutWide(s.data(), (UINT)s.size(), result);
}
STDMETHODIMP CGeneralFuncs::StringToUpper(BSTR str, BSTR* result) {
    std::wstring s(str ? str : L"", SysStringLen(str));
    for (auto& c : s) c = (WCHAR)towupper(c);
    return PutWide(s.data(), (UINT)s.size(), result);
}
STDMETHODIMP CGeneralFuncs::GetRGB(LONG red, LONG green, LONG blue, LONG* result) {
    if (red < 0 || red > 255 || green < 0 || green > 255 || blue < 0 || blue > 255) {
        char format[256];
        if (!LoadStringA(GetModuleHandleA(nullptr), 20025, format, sizeof(format)))
            lstrcpynA(format, "GetRGB : (%d, %d, %d) out of range.", sizeof(format));
        LOG_MSG(format, (int)red, (int)green, (int)blue);
    }
    return Put((LONG)RGB(red & 0xFF, green & 0xFF, blue & 0xFF), result);
}

// ---- system ----

namespace {

HRESULT FolderText(UINT (*query)(char*, UINT), BSTR* result) {
    char buf[MAX_PATH + 1] = "";
    if (!query(buf, MAX_PATH))
        return E_FAIL;
    return PutText(buf, result);
}
UINT CurrentDirQuery(char* b, UINT n) {
    return GetCurrentDirectoryA(n, b);
}
UINT WindowsDirQuery(char* b, UINT n) {
    return GetWindowsDirectoryA(b, n);
}
UINT SystemDirQuery(char* b, UINT n) {
    return GetSystemDirectoryA(b, n);
}

HRESULT DirectoryOf(const std::string& path, BSTR* result) {
    char dir[MAX_PATH] = "";
    if (path.empty() || !PathDirectory(path.c_str(), dir, sizeof(dir)))
        return E_FAIL;
    return PutText(dir, result);
}

// A descriptor for a table and field; names over 63 bytes are refused.
bool FillDescriptor(DataSourceDescriptor& d, BSTR table, BSTR field) {
    ZeroMemory(&d, sizeof(d));
    std::string t = MultibyteFromBstr(table);
    std::string f = field ? MultibyteFromBstr(field) : std::string();
    if (t.size() > 63 || f.size() > 63)
        return false;
    memcpy(d.sourceName, t.c_str(), t.size() + 1);
    memcpy(d.fieldName, f.c_str(), f.size() + 1);
    return true;
}

}  // namespace

STDMETHODIMP CSystemFuncs::GetCurrentDir(BSTR* result) {
    return FolderText(CurrentDirQuery, result);
}
STDMETHODIMP CSystemFuncs::GetWindowsDir(BSTR* result) {
    return FolderText(WindowsDirQuery, result);
}
STDMETHODIMP CSystemFuncs::GetSystemDir(BSTR* result) {
    return FolderText(SystemDirQuery, result);
}
STDMETHODIMP CSystemFuncs::GetCurrentTopicName(BSTR* result) {
    std::string s;
    if (!m_host || !m_host->GetCurrentPageText(false, s))
        return E_FAIL;
    return PutText(s, result);
}
STDMETHODIMP CSystemFuncs::GetCurrentTopicTitle(BSTR* result) {
    std::string s;
    if (!m_host || !m_host->GetCurrentPageText(true, s))
        return E_FAIL;
    return PutText(s, result);
}
STDMETHODIMP CSystemFuncs::GetExeName(BSTR* result) {
    if (!m_host)
        return E_FAIL;
    return PutText(m_host->GetRuntimePath(), result);
}
STDMETHODIMP CSystemFuncs::GetFirstCDRomDriver(BSTR* result) {
    DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i)))
            continue;
        char root[4] = {(char)('A' + i), ':', '\\', 0};
        if (GetDriveTypeA(root) == DRIVE_CDROM)
            return PutText(root, result);
    }
    return E_FAIL;
}
STDMETHODIMP CSystemFuncs::GetTeskDirectory(BSTR* result) {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof(self));
    return DirectoryOf(self, result);
}
STDMETHODIMP CSystemFuncs::GetMediaRootDirectory(BSTR* result) {
    if (!m_host)
        return E_FAIL;
    return DirectoryOf(m_host->GetRuntimePath(), result);
}
STDMETHODIMP CSystemFuncs::GetWorkingDirectory(BSTR* result) {
    return GetTeskDirectory(result);
}
STDMETHODIMP CSystemFuncs::GetTicks(LONG* result) {
    return Put((LONG)::GetTickCount(), result);
}
STDMETHODIMP CSystemFuncs::GetTopicTime(LONG* result) {
    if (!m_host)
        return E_FAIL;
    return Put((LONG)m_host->GetPageClock(), result);
}
STDMETHODIMP CSystemFuncs::GetFormatedTime(BSTR strFormat, BSTR* result) {
    std::string format = strFormat ? MultibyteFromBstr(strFormat) : "%Y-%m-%d %H:%M:%S";
    SYSTEMTIME st;
    GetLocalTime(&st);
    DATE now = 0;
    SystemTimeToVariantTime(&st, &now);
    char buf[DATE_TEXT_SIZE] = "";
    FormatDateTime(now, format.c_str(), buf, sizeof(buf));
    return PutText(buf, result);
}
STDMETHODIMP CSystemFuncs::IsAutoPlay(LONG* result) {
    if (!m_host)
        return E_FAIL;
    return Put<LONG>(m_host->IsAutoPlay() ? 1 : 0, result);
}
STDMETHODIMP CSystemFuncs::IsObjActive(BSTR objName, LONG* result) {
    int state = 0;
    bool visible = false;
    if (!m_host || !m_host->GetObjectState(MultibyteFromBstr(objName).c_str(), &state, &visible))
        return E_FAIL;
    return Put<LONG>(state >= 1 && state <= 3 ? 1 : 0, result);
}
STDMETHODIMP CSystemFuncs::IsObjVisible(BSTR objName, LONG* result) {
    int state = 0;
    bool visible = false;
    if (!m_host || !m_host->GetObjectState(MultibyteFromBstr(objName).c_str(), &state, &visible))
        return E_FAIL;
    return Put<LONG>(visible ? 1 : 0, result);
}
STDMETHODIMP CSystemFuncs::IsPageVisited(BSTR pageName, LONG* result) {
    if (!m_host)
        return E_FAIL;
    return Put<LONG>(m_host->IsPageVisited(MultibyteFromBstr(pageName).c_str()) ? 1 : 0, result);
}
STDMETHODIMP CSystemFuncs::IsSysSoundEnabled(LONG* result) {
    bool on = false;
    if (!m_host || FAILED(m_host->IsSysSoundEnabled(&on)))
        return E_FAIL;
    return Put<LONG>(on ? 1 : 0, result);
}
STDMETHODIMP CSystemFuncs::GetRecorderState(LONG* result) {
    LONG state = 0;
    if (!m_host || FAILED(m_host->GetRecorderState(&state)))
        return E_FAIL;
    return Put(state, result);
}
STDMETHODIMP CSystemFuncs::IsDatabaseEnabled(LONG* result) {
    return Put<LONG>(m_host && m_host->GetDatabase() ? 1 : 0, result);
}
STDMETHODIMP CSystemFuncs::GetDBTableRecordCount(BSTR tablename, LONG* result) {
    DataSourceDescriptor d;
    if (!FillDescriptor(d, tablename, nullptr))
        return E_INVALIDARG;
    IDBCore* db = m_host ? m_host->GetDatabase() : nullptr;
    if (!db)
        return E_FAIL;
    int n = 0;
    HRESULT hr = db->GetDataSourceRecordCount(&d, &n);
    if (FAILED(hr))
        return hr;
    return Put((LONG)n, result);
}
STDMETHODIMP CSystemFuncs::GetDBTableRecordPointer(BSTR tablename, LONG* result) {
    DataSourceDescriptor d;
    if (!FillDescriptor(d, tablename, nullptr))
        return E_INVALIDARG;
    IDBCore* db = m_host ? m_host->GetDatabase() : nullptr;
    if (!db)
        return E_FAIL;
    int n = 0;
    HRESULT hr = db->GetDataSourcePosition(&d, &n);
    if (FAILED(hr))
        return hr;
    return Put((LONG)n, result);
}

// The field's value at a record, converted to the wanted type.
static HRESULT GetField(ISystemFuncHost* host, BSTR table, BSTR field, LONG record, VARTYPE vt,
                        VARIANT* out) {
    DataSourceDescriptor d;
    if (!FillDescriptor(d, table, field))
        return E_INVALIDARG;
    IDBCore* db = host ? host->GetDatabase() : nullptr;
    if (!db)
        return E_FAIL;
    d.position = record;
    VARIANT v;
    VariantInit(&v);
    HRESULT hr = db->GetDataSourceFieldValue(&d, &v);
    if (SUCCEEDED(hr))
        hr = VariantChangeType(out, &v, 0, vt);
    VariantClear(&v);
    return hr;
}

STDMETHODIMP CSystemFuncs::GetDBFieldInt(BSTR tablename, BSTR fieldname, LONG recordnum,
                                         LONG* result) {
    VARIANT v;
    VariantInit(&v);
    HRESULT hr = GetField(m_host, tablename, fieldname, recordnum, VT_I4, &v);
    if (FAILED(hr))
        return hr;
    return Put(v.lVal, result);
}
STDMETHODIMP CSystemFuncs::GetDBFieldFloat(BSTR tablename, BSTR fieldname, LONG recordnum,
                                           double* result) {
    VARIANT v;
    VariantInit(&v);
    HRESULT hr = GetField(m_host, tablename, fieldname, recordnum, VT_R8, &v);
    if (FAILED(hr))
        return hr;
    return Put(v.dblVal, result);
}
STDMETHODIMP CSystemFuncs::GetDBFieldBool(BSTR tablename, BSTR fieldname, LONG recordnum,
                                          LONG* result) {
    VARIANT v;
    VariantInit(&v);
    HRESULT hr = GetField(m_host, tablename, fieldname, recordnum, VT_BOOL, &v);
    if (FAILED(hr))
        return hr;
    return Put<LONG>(v.boolVal ? 1 : 0, result);
}
STDMETHODIMP CSystemFuncs::GetDBFieldString(BSTR tablename, BSTR fieldname, LONG recordnum,
                                            BSTR* result) {
    VARIANT v;
    VariantInit(&v);
    HRESULT hr = GetField(m_host, tablename, fieldname, recordnum, VT_BSTR, &v);
    if (FAILED(hr))
        return hr;
    if (!result) {
        VariantClear(&v);
        return E_POINTER;
    }
    *result = v.bstrVal;  // handed over
    return S_OK;
}
STDMETHODIMP CSystemFuncs::GetMavroName(BSTR* result) {
    return m_host ? PutText(m_host->GetProjectText(0), result) : E_FAIL;
}
STDMETHODIMP CSystemFuncs::GetMavroCompany(BSTR* result) {
    return m_host ? PutText(m_host->GetProjectText(1), result) : E_FAIL;
}
STDMETHODIMP CSystemFuncs::GetPrjKeyword(BSTR* result) {
    return m_host ? PutText(m_host->GetProjectText(2), result) : E_FAIL;
}
STDMETHODIMP CSystemFuncs::GetPrjDescription(BSTR* result) {
    return m_host ? PutText(m_host->GetProjectText(3), result) : E_FAIL;
}
STDMETHODIMP CSystemFuncs::GetMediaFileName(BSTR mediaName, BSTR* result) {
    std::string s;
    if (!m_host || !m_host->GetMediaFileName(MultibyteFromBstr(mediaName).c_str(), false, s))
        return E_FAIL;
    return PutText(s, result);
}
STDMETHODIMP CSystemFuncs::GetExternalFileName(BSTR indexName, BSTR* result) {
    std::string s;
    if (!m_host || !m_host->GetMediaFileName(MultibyteFromBstr(indexName).c_str(), true, s))
        return E_FAIL;
    return PutText(s, result);
}
STDMETHODIMP CSystemFuncs::GetCursorPosX(LONG* result) {
    POINT pt = {0, 0};
    GetCursorPos(&pt);
    if (m_host && m_host->GetPlayerWindow())
        ScreenToClient(m_host->GetPlayerWindow(), &pt);
    return Put((LONG)pt.x, result);
}
STDMETHODIMP CSystemFuncs::GetCursorPosY(LONG* result) {
    POINT pt = {0, 0};
    GetCursorPos(&pt);
    if (m_host && m_host->GetPlayerWindow())
        ScreenToClient(m_host->GetPlayerWindow(), &pt);
    return Put((LONG)pt.y, result);
}
STDMETHODIMP CSystemFuncs::IsShiftKeyPressed(LONG* result) {
    return Put<LONG>(GetKeyState(VK_SHIFT) < 0 ? 1 : 0, result);
}
STDMETHODIMP CSystemFuncs::IsCtrlKeyPressed(LONG* result) {
    return Put<LONG>(GetKeyState(VK_CONTROL) < 0 ? 1 : 0, result);
}
STDMETHODIMP CSystemFuncs::IsAltKeyPressed(LONG* result) {
    return Put<LONG>(GetKeyState(VK_MENU) < 0 ? 1 : 0, result);
}
// The named grid's row at a page y and column at a page x; -1 where there is
// none or the object is no grid.
static LONG GridHit(ISystemFuncHost* host, BSTR objName, LONG at, bool row) {
    LONG index = -1;
    IUnknown* grid = nullptr;
    if (host &&
        host->QueryPageObject(MultibyteFromBstr(objName).c_str(),
                              *g_objectClasses[OBJCLASS_GRID].privateIid,
                              reinterpret_cast<void**>(&grid)) &&
        grid) {
        GridDispDefaults* calls = static_cast<GridDispDefaults*>(grid);
        if (row)
            calls->RowAtY(at, &index);
        else
            calls->ColumnAtX(at, &index);
        grid->Release();
    }
    return index;
}
STDMETHODIMP CSystemFuncs::GridObjRowHitTest(BSTR objName, LONG y, LONG* result) {
    return Put<LONG>(GridHit(m_host, objName, y, true), result);
}
STDMETHODIMP CSystemFuncs::GridObjColHitTest(BSTR objName, LONG x, LONG* result) {
    return Put<LONG>(GridHit(m_host, objName, x, false), result);
}
STDMETHODIMP CSystemFuncs::DrawBoardObjHitTest(BSTR objName, LONG x, LONG y, LONG* result) {
    LONG index = -1;
    IDrawBoardPrivate* board = nullptr;
    // Other kinds do not answer the board's private interface.
    if (m_host &&
        m_host->QueryPageObject(MultibyteFromBstr(objName).c_str(),
                                *g_objectClasses[OBJCLASS_DRAWBOARD].privateIid,
                                reinterpret_cast<void**>(&board)) &&
        board) {
        board->HitTestMeta(x, y, &index);
        board->Release();
    }
    return Put<LONG>(index, result);
}
