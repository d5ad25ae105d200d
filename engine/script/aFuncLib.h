// The built-in script function libraries of type library 2 ("FuncLib"):
// math, general and system functions as dual automation objects whose
// IDispatch works through their type information. The function manager
// resolves a call by name against their functions first, then against the
// work's own functions (routine tables).
#pragma once

#include <string>
#include <vector>

#include "bComBase.h"

struct IDBCore;

struct IMathFuncs : public IDispatch {
    STDMETHOD(Abs)(LONG val, LONG* result) = 0;
    STDMETHOD(Acos)(double val, double* result) = 0;
    STDMETHOD(Asin)(double val, double* result) = 0;
    STDMETHOD(Atan)(double val, double* result) = 0;
    STDMETHOD(Atan2)(double y, double x, double* result) = 0;
    STDMETHOD(Cos)(double val, double* result) = 0;
    STDMETHOD(Cosh)(double val, double* result) = 0;
    STDMETHOD(Exp)(double val, double* result) = 0;
    STDMETHOD(Fabs)(double val, double* result) = 0;
    STDMETHOD(Fmod)(double f1, double f2, double* result) = 0;
    STDMETHOD(Log)(double val, double* result) = 0;
    STDMETHOD(Log10)(double val, double* result) = 0;
    STDMETHOD(Pow)(double val, double exp, double* result) = 0;
    STDMETHOD(Sin)(double val, double* result) = 0;
    STDMETHOD(Sinh)(double val, double* result) = 0;
    STDMETHOD(Sqrt)(double val, double* result) = 0;
    STDMETHOD(Tan)(double val, double* result) = 0;
    STDMETHOD(Tanh)(double val, double* result) = 0;
    STDMETHOD(Round)(double val, LONG* result) = 0;
    STDMETHOD(Rand)(LONG* result) = 0;
};
DECLARE_IID(IMathFuncs, 0xD5738CE1, 0x104E, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07);

struct IGeneralFuncs : public IDispatch {
    STDMETHOD(Atof)(BSTR str, double* result) = 0;
    STDMETHOD(Atoi)(BSTR str, LONG* result) = 0;
    STDMETHOD(Itoa)(LONG val, LONG base, BSTR* result) = 0;
    STDMETHOD(Ftoa)(double val, LONG digitalNum, BSTR* result) = 0;
    STDMETHOD(GetMiddleOfString)(BSTR str, LONG pos, LONG len, BSTR* result) = 0;
    STDMETHOD(GetLeftOfString)(BSTR str, LONG len, BSTR* result) = 0;
    STDMETHOD(GetRightOfString)(BSTR str, LONG len, BSTR* result) = 0;
    STDMETHOD(FindStringInString)(BSTR str, BSTR subStr, LONG* result) = 0;
    STDMETHOD(GetStringLength)(BSTR str, LONG* result) = 0;
    STDMETHOD(StringToLower)(BSTR str, BSTR* result) = 0;
    STDMETHOD(StringToUpper)(BSTR str, BSTR* result) = 0;
    STDMETHOD(GetRGB)(LONG red, LONG green, LONG blue, LONG* result) = 0;
};
DECLARE_IID(IGeneralFuncs, 0xD5738CE2, 0x104E, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

struct ISystemFuncs : public IDispatch {
    STDMETHOD(GetCurrentDir)(BSTR* result) = 0;
    STDMETHOD(GetWindowsDir)(BSTR* result) = 0;
    STDMETHOD(GetSystemDir)(BSTR* result) = 0;
    STDMETHOD(GetCurrentTopicName)(BSTR* result) = 0;
    STDMETHOD(GetCurrentTopicTitle)(BSTR* result) = 0;
    STDMETHOD(GetExeName)(BSTR* result) = 0;
    STDMETHOD(GetFirstCDRomDriver)(BSTR* result) = 0;
    STDMETHOD(GetTeskDirectory)(BSTR* result) = 0;
    STDMETHOD(GetMediaRootDirectory)(BSTR* result) = 0;
    STDMETHOD(GetWorkingDirectory)(BSTR* result) = 0;
    STDMETHOD(GetTicks)(LONG* result) = 0;
    STDMETHOD(GetTopicTime)(LONG* result) = 0;
    STDMETHOD(GetFormatedTime)(BSTR strFormat, BSTR* result) = 0;
    STDMETHOD(IsAutoPlay)(LONG* result) = 0;
    STDMETHOD(IsObjActive)(BSTR objName, LONG* result) = 0;
    STDMETHOD(IsObjVisible)(BSTR objName, LONG* result) = 0;
    STDMETHOD(IsPageVisited)(BSTR pageName, LONG* result) = 0;
    STDMETHOD(IsSysSoundEnabled)(LONG* result) = 0;
    STDMETHOD(GetRecorderState)(LONG* result) = 0;
    STDMETHOD(IsDatabaseEnabled)(LONG* result) = 0;
    STDMETHOD(GetDBTableRecordCount)(BSTR tablename, LONG* result) = 0;
    STDMETHOD(GetDBTableRecordPointer)(BSTR tablename, LONG* result) = 0;
    STDMETHOD(GetDBFieldInt)(BSTR tablename, BSTR fieldname, LONG recordnum, LONG* result) = 0;
    STDMETHOD(GetDBFieldFloat)(BSTR tablename, BSTR fieldname, LONG recordnum, double* result) = 0;
    STDMETHOD(GetDBFieldBool)(BSTR tablename, BSTR fieldname, LONG recordnum, LONG* result) = 0;
    STDMETHOD(GetDBFieldString)(BSTR tablename, BSTR fieldname, LONG recordnum, BSTR* result) = 0;
    STDMETHOD(GetMavroName)(BSTR* result) = 0;
    STDMETHOD(GetMavroCompany)(BSTR* result) = 0;
    STDMETHOD(GetPrjKeyword)(BSTR* result) = 0;
    STDMETHOD(GetPrjDescription)(BSTR* result) = 0;
    STDMETHOD(GetMediaFileName)(BSTR mediaName, BSTR* result) = 0;
    STDMETHOD(GetExternalFileName)(BSTR indexName, BSTR* result) = 0;
    STDMETHOD(GetCursorPosX)(LONG* result) = 0;
    STDMETHOD(GetCursorPosY)(LONG* result) = 0;
    STDMETHOD(IsShiftKeyPressed)(LONG* result) = 0;
    STDMETHOD(IsCtrlKeyPressed)(LONG* result) = 0;
    STDMETHOD(IsAltKeyPressed)(LONG* result) = 0;
    STDMETHOD(GridObjRowHitTest)(BSTR objName, LONG CurPos_Y, LONG* result) = 0;
    STDMETHOD(GridObjColHitTest)(BSTR objName, LONG CurPos_X, LONG* result) = 0;
    STDMETHOD(DrawBoardObjHitTest)(BSTR objName, LONG CurPos_X, LONG CurPos_Y, LONG* result) = 0;
};
DECLARE_IID(ISystemFuncs, 0xD5738CE3, 0x104E, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8,
            0x07);

// What the system library reads of the running presentation; the document
// answers it. Texts are multibyte.
class ISystemFuncHost {
public:
    // Name (or title) of the current page; false without a page.
    virtual bool GetCurrentPageText(bool title, std::string& out) = 0;
    virtual DWORD GetPageClock() = 0;
    // Full path of the runtime file being played.
    virtual std::string GetRuntimePath() = 0;
    // The topic manager's page hold timer flag.
    virtual bool IsAutoPlay() = 0;
    // The named object of the current page: its render state (active 1 to 3)
    // and visible flag; false when not found.
    virtual bool GetObjectState(const char* name, int* renderState, bool* visible) = 0;
    // The named object of the current page asked for an interface (counted);
    // false when not found or without it.
    virtual bool QueryPageObject(const char* name, REFIID iid, void** out) = 0;
    virtual bool IsPageVisited(const char* pageName) = 0;
    // E_FAIL without a system sound or recorder.
    virtual HRESULT IsSysSoundEnabled(bool* on) = 0;
    virtual HRESULT GetRecorderState(LONG* state) = 0;
    // Not counted; null while the database is disabled.
    virtual IDBCore* GetDatabase() = 0;
    // Project texts: 0 creator, 1 organisation, 2 keywords, 3 description.
    virtual std::string GetProjectText(int which) = 0;
    // File of a media item, or of an external-file index.
    virtual bool GetMediaFileName(const char* name, bool external, std::string& out) = 0;
    virtual HWND GetPlayerWindow() = 0;

protected:
    ~ISystemFuncHost() {}
};

// IDispatch through the type information of the object's interface.
template <class Itf>
class CFuncLibBase : public CComObjectRootBase, public Itf {
public:
    void SetTypeInfo(ITypeInfo* info) { m_info = info; }
    ITypeInfo* GetTypeInfoPtr() const { return m_info; }

    STDMETHOD(GetTypeInfoCount)(UINT* n) override {
        if (!n)
            return E_POINTER;
        *n = 1;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT index, LCID, ITypeInfo** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (index != 0 || !m_info)
            return DISP_E_BADINDEX;
        m_info.p->AddRef();
        *out = m_info;
        return S_OK;
    }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!m_info)
            return E_UNEXPECTED;
        return DispGetIDsOfNames(m_info, names, count, ids);
    }
    STDMETHOD(Invoke)
    (DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* ex,
     UINT* arg) override {
        if (!m_info)
            return E_UNEXPECTED;
        return DispInvoke(static_cast<Itf*>(this), m_info, id, flags, params, result, ex, arg);
    }

protected:
    CComPtr<ITypeInfo> m_info;
};

class CMathFuncs : public CFuncLibBase<IMathFuncs> {
public:
    BEGIN_COM_MAP(CMathFuncs)
    COM_INTERFACE_ENTRY(IMathFuncs)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    STDMETHOD(Abs)(LONG val, LONG* result) override;
    STDMETHOD(Acos)(double val, double* result) override;
    STDMETHOD(Asin)(double val, double* result) override;
    STDMETHOD(Atan)(double val, double* result) override;
    STDMETHOD(Atan2)(double y, double x, double* result) override;
    STDMETHOD(Cos)(double val, double* result) override;
    STDMETHOD(Cosh)(double val, double* result) override;
    STDMETHOD(Exp)(double val, double* result) override;
    STDMETHOD(Fabs)(double val, double* result) override;
    STDMETHOD(Fmod)(double f1, double f2, double* result) override;
    STDMETHOD(Log)(double val, double* result) override;
    STDMETHOD(Log10)(double val, double* result) override;
    STDMETHOD(Pow)(double val, double exp, double* result) override;
    STDMETHOD(Sin)(double val, double* result) override;
    STDMETHOD(Sinh)(double val, double* result) override;
    STDMETHOD(Sqrt)(double val, double* result) override;
    STDMETHOD(Tan)(double val, double* result) override;
    STDMETHOD(Tanh)(double val, double* result) override;
    STDMETHOD(Round)(double val, LONG* result) override;
    STDMETHOD(Rand)(LONG* result) override;
};

class CGeneralFuncs : public CFuncLibBase<IGeneralFuncs> {
public:
    BEGIN_COM_MAP(CGeneralFuncs)
    COM_INTERFACE_ENTRY(IGeneralFuncs)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    STDMETHOD(Atof)(BSTR str, double* result) override;
    STDMETHOD(Atoi)(BSTR str, LONG* result) override;
    STDMETHOD(Itoa)(LONG val, LONG base, BSTR* result) override;
    STDMETHOD(Ftoa)(double val, LONG digitalNum, BSTR* result) override;
    STDMETHOD(GetMiddleOfString)(BSTR str, LONG pos, LONG len, BSTR* result) override;
    STDMETHOD(GetLeftOfString)(BSTR str, LONG len, BSTR* result) override;
    STDMETHOD(GetRightOfString)(BSTR str, LONG len, BSTR* result) override;
    STDMETHOD(FindStringInString)(BSTR str, BSTR subStr, LONG* result) override;
    STDMETHOD(GetStringLength)(BSTR str, LONG* result) override;
    STDMETHOD(StringToLower)(BSTR str, BSTR* result) override;
    STDMETHOD(StringToUpper)(BSTR str, BSTR* result) override;
    STDMETHOD(GetRGB)(LONG red, LONG green, LONG blue, LONG* result) override;
};

class CSystemFuncs : public CFuncLibBase<ISystemFuncs> {
public:
    CSystemFuncs() : m_host(nullptr) {}
    BEGIN_COM_MAP(CSystemFuncs)
    COM_INTERFACE_ENTRY(ISystemFuncs)
    COM_INTERFACE_ENTRY(IDispatch)
    END_COM_MAP()

    void SetHost(ISystemFuncHost* host) { m_host = host; }

    STDMETHOD(GetCurrentDir)(BSTR* result) override;
    STDMETHOD(GetWindowsDir)(BSTR* result) override;
    STDMETHOD(GetSystemDir)(BSTR* result) override;
    STDMETHOD(GetCurrentTopicName)(BSTR* result) override;
    STDMETHOD(GetCurrentTopicTitle)(BSTR* result) override;
    STDMETHOD(GetExeName)(BSTR* result) override;
    STDMETHOD(GetFirstCDRomDriver)(BSTR* result) override;
    STDMETHOD(GetTeskDirectory)(BSTR* result) override;
    STDMETHOD(GetMediaRootDirectory)(BSTR* result) override;
    STDMETHOD(GetWorkingDirectory)(BSTR* result) override;
    STDMETHOD(GetTicks)(LONG* result) override;
    STDMETHOD(GetTopicTime)(LONG* result) override;
    STDMETHOD(GetFormatedTime)(BSTR strFormat, BSTR* result) override;
    STDMETHOD(IsAutoPlay)(LONG* result) override;
    STDMETHOD(IsObjActive)(BSTR objName, LONG* result) override;
    STDMETHOD(IsObjVisible)(BSTR objName, LONG* result) override;
    STDMETHOD(IsPageVisited)(BSTR pageName, LONG* result) override;
    STDMETHOD(IsSysSoundEnabled)(LONG* result) override;
    STDMETHOD(GetRecorderState)(LONG* result) override;
    STDMETHOD(IsDatabaseEnabled)(LONG* result) override;
    STDMETHOD(GetDBTableRecordCount)(BSTR tablename, LONG* result) override;
    STDMETHOD(GetDBTableRecordPointer)(BSTR tablename, LONG* result) override;
    STDMETHOD(GetDBFieldInt)(BSTR tablename, BSTR fieldname, LONG recordnum, LONG* result) override;
    STDMETHOD(GetDBFieldFloat)
    (BSTR tablename, BSTR fieldname, LONG recordnum, double* result) override;
    STDMETHOD(GetDBFieldBool)
    (BSTR tablename, BSTR fieldname, LONG recordnum, LONG* result) override;
    STDMETHOD(GetDBFieldString)
    (BSTR tablename, BSTR fieldname, LONG recordnum, BSTR* result) override;
    STDMETHOD(GetMavroName)(BSTR* result) override;
    STDMETHOD(GetMavroCompany)(BSTR* result) override;
    STDMETHOD(GetPrjKeyword)(BSTR* result) override;
    STDMETHOD(GetPrjDescription)(BSTR* result) override;
    STDMETHOD(GetMediaFileName)(BSTR mediaName, BSTR* result) override;
    STDMETHOD(GetExternalFileName)(BSTR indexName, BSTR* result) override;
    STDMETHOD(GetCursorPosX)(LONG* result) override;
    STDMETHOD(GetCursorPosY)(LONG* result) override;
    STDMETHOD(IsShiftKeyPressed)(LONG* result) override;
    STDMETHOD(IsCtrlKeyPressed)(LONG* result) override;
    STDMETHOD(IsAltKeyPressed)(LONG* result) override;
    STDMETHOD(GridObjRowHitTest)(BSTR objName, LONG CurPos_Y, LONG* result) override;
    STDMETHOD(GridObjColHitTest)(BSTR objName, LONG CurPos_X, LONG* result) override;
    STDMETHOD(DrawBoardObjHitTest)
    (BSTR objName, LONG CurPos_X, LONG CurPos_Y, LONG* result) override;

private:
    ISystemFuncHost* m_host;  // not counted
};
