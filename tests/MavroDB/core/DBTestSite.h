// A fake play site for the database library: an expression evaluator that
// answers from a table, object kinds by name, a media manager that records
// the names it is told, and the process trace log.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "aMavroBase.h"
#include "bDBCore.h"
#include "bExpression.h"
#include "bMediaManager.h"
#include "bPlayerSite.h"
#include "bTraceLog.h"

class FakeEvaluator : public IExpression {
public:
    HRESULT Evaluate(const char* text, VARIANT* result) override {
        asked.push_back(text ? text : "");
        if (throws)
            throw 1;
        auto it = values.find(text ? text : "");
        VariantClear(result);
        if (it != values.end())
            VariantCopy(result, &it->second.v);
        return S_OK;
    }
    void DeleteThis() override {}
    void SetText(const std::string& expr, const wchar_t* text) {
        Var& v = values[expr];
        V_VT(&v.v) = VT_BSTR;
        V_BSTR(&v.v) = SysAllocString(text);
    }
    void SetLong(const std::string& expr, LONG n) {
        Var& v = values[expr];
        V_VT(&v.v) = VT_I4;
        V_I4(&v.v) = n;
    }
    struct Var {
        VARIANT v;
        Var() { VariantInit(&v); }
        Var(const Var& o) {
            VariantInit(&v);
            VariantCopy(&v, const_cast<VARIANT*>(&o.v));
        }
        ~Var() { VariantClear(&v); }
    };
    std::map<std::string, Var> values;
    std::vector<std::string> asked;
    bool throws = false;
};

class FakeMedia : public IMediaManager {
public:
    STDMETHOD(QueryInterface)(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetMediaFilePath)(const char*, int, char*, int) override { return E_NOTIMPL; }
    STDMETHOD(GetDefaultExtension)(const char*, char*, int) override { return E_NOTIMPL; }
    STDMETHOD(GetExternalFilePath)(const char*, char*, int) override { return E_NOTIMPL; }
    STDMETHOD(ReadMediaData)(const char*, int, int, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp7)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp8)(void*, void*) override { return S_OK; }
    STDMETHOD(MediaNameStored)(const char* name) override {
        stored.push_back(name);
        return S_OK;
    }
    STDMETHOD(MediaNameRemoved)(const char* name) override {
        removed.push_back(name);
        return S_OK;
    }
    STDMETHOD(EditOp11)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp12)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp13)(void**) override { return S_OK; }
    STDMETHOD(GetMediaType)(const char*, int*, int*) override { return E_NOTIMPL; }
    STDMETHOD(MediaTypeFromFileName)(const char*, int*, int*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp16)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp17)(void*, void*) override { return S_OK; }
    STDMETHOD(ChooseMedia)(int, int, char*, int) override { return S_OK; }
    STDMETHOD(EditOp19)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp20)(void*, void*) override { return S_OK; }
    STDMETHOD(RegisterLinkedFile)(const char*, int, char*, int) override { return S_OK; }
    STDMETHOD(EditOp22)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp23)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp24)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp25)(void*, void*) override { return S_OK; }
    STDMETHOD(EditOp26)(void*, void*) override { return S_OK; }
    STDMETHOD(IsFileMedia)(const char*, BYTE*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp28)(void*, void*) override { return S_OK; }
    STDMETHOD(StoreMediaData)(int, int, const void*, int, int, char*, int) override { return S_OK; }
    STDMETHOD(IsMediaName)(const char*) override { return E_NOTIMPL; }
    STDMETHOD(EditOp31)(void*, void*) override { return E_NOTIMPL; }
    STDMETHOD(ExtractMediaToTempFile)(const char*, char*, int) override { return E_NOTIMPL; }
    STDMETHOD_(void, DeleteThis)(UINT) override {}
    std::vector<std::string> stored;
    std::vector<std::string> removed;
};

class FakeSite : public IPlayerSite {
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IPlayerSite))) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return (ULONG)++refs; }
    STDMETHOD_(ULONG, Release)() override { return (ULONG)--refs; }
    STDMETHOD(InvalidateRect)(const RECT*) override { return S_OK; }
    STDMETHOD(InvalidateRgn)(HRGN) override { return S_OK; }
    STDMETHOD(GetMediaManager)(IMediaManager** out) override {
        *out = hasMedia ? &media : nullptr;
        return hasMedia ? S_OK : E_FAIL;
    }
    STDMETHOD(GetDocument)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetTickThread)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetSequencer)(ISequencer**) override { return E_NOTIMPL; }
    STDMETHOD(GetRootCreator)(IObjectCreator**) override { return E_NOTIMPL; }
    STDMETHOD(GetEventProcessor)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetScriptContext)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetFunctionManager)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetProjectService)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetCodecManager)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetExpression)(IExpression** out) override {
        *out = &evaluator;
        return S_OK;
    }
    STDMETHOD(GetExpression2)(IExpression** out) override { return GetExpression(out); }
    STDMETHOD(GetPageClock)(DWORD*) override { return E_NOTIMPL; }
    STDMETHOD(GetCurrentCanvas)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetDatabase)(void**) override { return E_NOTIMPL; }
    STDMETHOD(GetProject)(void**) override { return E_FAIL; }
    STDMETHOD(GetMediaService)(void**) override { return S_OK; }
    STDMETHOD(GetSoundRecorder)(void**) override { return S_OK; }
    STDMETHOD(GetVideoCapture)(void**) override { return S_OK; }
    STDMETHOD(GetDirectDraw)(void**) override { return E_NOTIMPL; }
    STDMETHOD(SetDirectDraw)(void*) override { return E_NOTIMPL; }
    STDMETHOD(GetToolTipWindow)(IUnknown**) override { return E_NOTIMPL; }
    STDMETHOD(CreateForwarder)(void*, IUnknown*, IUnknown**) override { return E_NOTIMPL; }
    STDMETHOD(GetTraceLog)(ITraceLog** out) override {
        *out = ::GetTraceLog();
        return *out ? S_OK : E_FAIL;
    }
    STDMETHOD(Stub29)(void*, void*) override { return 0; }
    STDMETHOD(SetProjectFlag)(int, void*) override { return 0; }
    STDMETHOD(ConvertTextToRtf)(const char*, int, char**, int*) override { return 0; }
    STDMETHOD(FreeConvertedText)(char*, void*) override { return 0; }
    STDMETHOD(FindObject)(const char* name, DWORD* kind) override {
        auto it = kinds.find(name ? name : "");
        if (it == kinds.end())
            return E_FAIL;
        *kind = it->second;
        return S_OK;
    }
    STDMETHOD_(BOOL, UsesDirectDraw)() override { return FALSE; }
    STDMETHOD_(HWND, GetViewWindow)() override { return nullptr; }
    STDMETHOD_(IViewService*, GetView)() override { return nullptr; }
    STDMETHOD(SetView)(IViewService*) override { return S_OK; }
    STDMETHOD_(int, GetProjectMinorVersion)() override { return -1; }
    STDMETHOD_(BOOL, GetProjectFlag7)() override { return FALSE; }
    STDMETHOD(SetProjectFlag7)(BOOL) override { return S_OK; }
    STDMETHOD_(BOOL, IsPlayer)() override { return TRUE; }
    STDMETHOD_(BOOL, IsRunning)() override { return TRUE; }
    STDMETHOD(SetPlayState)(DWORD) override { return S_OK; }
    STDMETHOD_(BOOL, IsPlaying)() override { return TRUE; }
    STDMETHOD_(BOOL, IsPaused)() override { return FALSE; }
    STDMETHOD_(BOOL, IsStateTwo)() override { return FALSE; }
    STDMETHOD_(DWORD, GetSpareValue)() override { return 0; }
    STDMETHOD(SetSpareValue)(DWORD) override { return S_OK; }
    STDMETHOD_(void, DeleteThis)(UINT) override {}

    long refs = 1;
    bool hasMedia = true;
    FakeMedia media;
    FakeEvaluator evaluator;
    std::map<std::string, DWORD> kinds;
};

// A message-only window that collects the library's notices.
class NoticeWindow {
public:
    NoticeWindow() {
        m_hwnd = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                 nullptr);
    }
    ~NoticeWindow() { DestroyWindow(m_hwnd); }
    HWND Handle() const { return m_hwnd; }
    // Takes every waiting notice, copies it and frees it through the library.
    std::vector<DataSourceNotice> Drain(IDBCore* db) {
        std::vector<DataSourceNotice> out;
        MSG msg;
        while (PeekMessageA(&msg, m_hwnd, WM_DB_NOTICE, WM_DB_NOTICE, PM_REMOVE)) {
            EXPECT_EQ(1u, msg.wParam);
            DataSourceNotice* n = (DataSourceNotice*)msg.lParam;
            out.push_back(*n);
            db->FreeDBNotice(n);
        }
        return out;
    }

private:
    HWND m_hwnd;
};

// A zero-filled descriptor for a source, field and position.
inline DataSourceDescriptor Desc(const char* source, const char* field = "", LONG position = 0,
                                 LONG relative = 0, const char* object = "") {
    DataSourceDescriptor d;
    memset(&d, 0, sizeof(d));
    memcpy(d.sourceName, source, strnlen(source, sizeof(d.sourceName) - 1));
    memcpy(d.fieldName, field, strnlen(field, sizeof(d.fieldName) - 1));
    memcpy(d.objectName, object, strnlen(object, sizeof(d.objectName) - 1));
    d.position = position;
    d.relative = relative;
    return d;
}

// A new database object linked in (not through COM).
inline CComPtr<IDBCore> NewDatabase() {
    CComPtr<IDBCore> db;
    EXPECT_EQ(S_OK, CreateMavroBase(__uuidof(IDBCore), (void**)&db));
    return db;
}
