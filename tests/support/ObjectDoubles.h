// Doubles of the player's services that objects use: a play site, an object
// site, a sequencer that keeps its entries, an event procedure that records
// its calls and the factory that makes it. For object-layer tests.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "aObjItf.h"

// Keeps scheduled entries; RunDue delivers those due at the clock.
class TestSequencer : public ISequencer {
public:
    struct Entry {
        DWORD time;
        SequencerEntry entry;
    };
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(Schedule)(DWORD time, const SequencerEntry* entry) override;
    STDMETHOD(ScheduleFor)(DWORD time, const SequencerEntry* entry) override;
    STDMETHOD(Unschedule)(IObjectEvent* target) override;
    STDMETHOD(AddClockClient)(IUnknown* client, IUnknown** out) override;
    STDMETHOD(RemoveClockClient)(IUnknown* client) override;
    STDMETHOD(AddDeferredCall)(IUnknown*, DWORD_PTR) override { return S_OK; }
    STDMETHOD_(void, DeleteThis)(UINT) override {}

    // Delivers every entry due at or before `clock`, soonest first.
    void RunDue(DWORD clock);
    // Ticks every clock client (its slot 5).
    void TickClients();
    const Entry* Find(IObjectEvent* target, DWORD code) const;

    std::vector<Entry> entries;
    std::vector<IUnknown*> clients;
};

// The view as an object reaches it: records the hook changes as
// "ChangeWndProc ON" with the object, converts with a fixed offset (device =
// logical + offset).
class RecordingView : public IViewService {
public:
    BOOL ChangeWndProc(BOOL on, IUnknown* object) override {
        calls.push_back(std::string("ChangeWndProc ") + (on ? "1" : "0"));
        objects.push_back(object);
        return TRUE;
    }
    void LPtoDPRect(RECT* rect) override { OffsetRect(rect, offset.x, offset.y); }
    void LPtoDPPoint(POINT* pt) override {
        pt->x += offset.x;
        pt->y += offset.y;
    }
    void DPtoLPPoint(POINT* pt) override {
        pt->x -= offset.x;
        pt->y -= offset.y;
    }
    std::vector<std::string> calls;
    std::vector<IUnknown*> objects;
    POINT offset = {0, 0};
};

// The site's object finder: the objects a test names (not counted here;
// handed out counted).
class TestObjectFinder : public IObjectFinder {
public:
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(FindObjectByName)(const char* name, IUnknown** out) override;
    std::map<std::string, IUnknown*> objects;
    IPlayerSite* site = nullptr;
};

class TestPlayerSite : public IPlayerSite {
public:
    TestPlayerSite();
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(InvalidateRect)(const RECT* rect) override;
    STDMETHOD(InvalidateRgn)(HRGN) override { return S_OK; }
    STDMETHOD(GetMediaManager)(IMediaManager** out) override;
    STDMETHOD(GetDocument)(void** out) override { return Nothing(out); }
    STDMETHOD(GetTickThread)(void** out) override { return Nothing(out); }
    STDMETHOD(GetSequencer)(ISequencer** out) override;
    STDMETHOD(GetRootCreator)(IObjectCreator** out) override;
    STDMETHOD(GetEventProcessor)(void** out) override { return Nothing(out); }
    STDMETHOD(GetScriptContext)(void** out) override { return Nothing(out); }
    STDMETHOD(GetFunctionManager)(void** out) override { return Nothing(out); }
    STDMETHOD(GetProjectService)(void** out) override { return Nothing(out); }
    // The picture codec list (a PictureCodecManager), when a test gives one.
    STDMETHOD(GetCodecManager)(void** out) override {
        if (!codecs)
            return Nothing(out);
        *out = codecs;
        return S_OK;
    }
    STDMETHOD(GetExpression)(IExpression** out) override { return Nothing(out); }
    STDMETHOD(GetExpression2)(IExpression** out) override { return Nothing(out); }
    STDMETHOD(GetPageClock)(DWORD* out) override;
    STDMETHOD(GetCurrentCanvas)(void** out) override { return Nothing(out); }
    STDMETHOD(GetDatabase)(void** out) override { return Nothing(out); }
    STDMETHOD(GetProject)(void** out) override { return Nothing(out); }
    STDMETHOD(GetMediaService)(void** out) override { return Nothing(out); }
    STDMETHOD(GetSoundRecorder)(void** out) override { return Nothing(out); }
    STDMETHOD(GetVideoCapture)(void** out) override { return Nothing(out); }
    STDMETHOD(GetDirectDraw)(void** out) override {
        if (!directDraw)
            return Nothing(out);
        *out = directDraw;
        return S_OK;
    }
    STDMETHOD(SetDirectDraw)(void*) override { return S_OK; }
    STDMETHOD(GetToolTipWindow)(IUnknown** out) override;
    STDMETHOD(CreateForwarder)(void*, IUnknown*, IUnknown** out) override {
        return Nothing(reinterpret_cast<void**>(out));
    }
    STDMETHOD(GetTraceLog)(ITraceLog** out) override { return Nothing(out); }
    STDMETHOD(Stub29)(void*, void*) override { return 0; }
    STDMETHOD(SetProjectFlag)(int, void*) override { return 0; }
    STDMETHOD(ConvertTextToRtf)(const char*, int, char**, int*) override { return 0; }
    STDMETHOD(FreeConvertedText)(char*, void*) override { return 0; }
    STDMETHOD(FindObject)(const char*, DWORD*) override { return E_FAIL; }
    STDMETHOD_(BOOL, UsesDirectDraw)() override { return directDraw != nullptr; }
    STDMETHOD_(HWND, GetViewWindow)() override { return view; }
    STDMETHOD_(IViewService*, GetView)() override { return viewService; }
    STDMETHOD(SetView)(IViewService* v) override {
        viewService = v;
        return S_OK;
    }
    STDMETHOD_(int, GetProjectMinorVersion)() override { return -1; }
    STDMETHOD_(BOOL, GetProjectFlag7)() override { return FALSE; }
    STDMETHOD(SetProjectFlag7)(BOOL) override { return S_OK; }
    STDMETHOD_(BOOL, IsPlayer)() override { return player; }
    STDMETHOD_(BOOL, IsRunning)() override { return TRUE; }
    STDMETHOD(SetPlayState)(DWORD) override { return S_OK; }
    STDMETHOD_(BOOL, IsPlaying)() override { return playing; }
    STDMETHOD_(BOOL, IsPaused)() override { return FALSE; }
    STDMETHOD_(BOOL, IsStateTwo)() override { return FALSE; }
    STDMETHOD_(DWORD, GetSpareValue)() override { return 0; }
    STDMETHOD(SetSpareValue)(DWORD) override { return S_OK; }
    STDMETHOD_(void, DeleteThis)(UINT) override {}

    template <class T>
    static HRESULT Nothing(T** out) {
        if (out)
            *out = nullptr;
        return E_FAIL;
    }

    DWORD clock = 0;
    TestSequencer sequencer;
    IObjectCreator* creator = nullptr;
    IUnknown* toolTip = nullptr;
    IMediaManager* media = nullptr;
    void* codecs = nullptr;
    HWND view = nullptr;
    IViewService* viewService = nullptr;  // a RecordingView when a test gives one
    BOOL player = TRUE;                   // run mode
    BOOL playing = TRUE;                  // play state 0
    std::vector<RECT> invalidated;
    TestObjectFinder finder;
    void* directDraw = nullptr;  // a DXOwner the site draws with, when a test gives one
};

// The canvas's forwarder over a TestPlayerSite.
class TestObjectSite : public IObjectSite {
public:
    explicit TestObjectSite(TestPlayerSite* site) : play(site) {}
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(InvalidateRect)(const RECT* rect) override { return play->InvalidateRect(rect); }
    STDMETHOD(InvalidateRgn)(HRGN region) override { return play->InvalidateRgn(region); }
    STDMETHOD(GetMediaManager)(void** out) override {
        return play->GetMediaManager(reinterpret_cast<IMediaManager**>(out));
    }
    STDMETHOD(GetSequencer)(ISequencer** out) override { return play->GetSequencer(out); }
    STDMETHOD(GetRootCreator)(IObjectCreator** out) override { return play->GetRootCreator(out); }
    STDMETHOD(GetDatabase)(void** out) override { return play->GetDatabase(out); }
    STDMETHOD(Stub29)(DWORD_PTR) override { return 0; }
    STDMETHOD(GetPageClock)(DWORD* out) override { return play->GetPageClock(out); }
    STDMETHOD(AdjustTime)(DWORD* time) override;
    STDMETHOD(GetTypeIdByName)(const char* name, DWORD* typeId) override {
        return play->FindObject(name, typeId);
    }
    STDMETHOD(GetCanvasObject)(IUnknown** out) override {
        return TestPlayerSite::Nothing(reinterpret_cast<void**>(out));
    }
    STDMETHOD(GetPlaySite)(IPlayerSite** out) override;

    TestPlayerSite* play;
};

// An event procedure that records its calls.
class TestEventProc : public CComObjectRootBase,
                      public IDispatch,
                      public IEventProcStore,
                      public IEventProcTable {
public:
    BEGIN_COM_MAP(TestEventProc)
    COM_INTERFACE_ENTRY(IDispatch)
    COM_INTERFACE_ENTRY(IEventProcStore)
    COM_INTERFACE_ENTRY(IEventProcTable)
    END_COM_MAP()

    struct Call {
        DISPID id;
        std::vector<VARTYPE> types;
        std::vector<LONG> values;
    };
    STDMETHOD(GetTypeInfoCount)(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)
    (DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;
    // Its record: a 32-bit length, then that many bytes.
    STDMETHOD(LoadRecord)(ITeskStream* stream) override;
    STDMETHOD(SaveRecord)(ITeskStream* stream) override;
    STDMETHOD(StartTimers)(IObjectEvent*) override {
        ++timersStarted;
        return S_OK;
    }

    // Records the key of each interface whose events become its sub-events.
    STDMETHOD(InsertSubEvents)(DWORD key, ITypeInfo* info) override {
        if (!info)
            return E_INVALIDARG;
        subEventKeys.push_back(key);
        return S_OK;
    }

    std::vector<Call> calls;
    std::vector<DWORD> subEventKeys;
    int timersStarted = 0;
};

class TestEventProcFactory : public IEventProcFactory {
public:
    HRESULT CreateEventProc(int type, IUnknown* object, IDispatch** out) override;
    std::vector<int> types;
    CComObject<TestEventProc>* last = nullptr;  // not counted
};
