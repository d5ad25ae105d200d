// Canvases: the objects of one page, background or foreground, read from the
// "CanvasInfo" and "ObjData" streams of their storage when their stub asks,
// and the canvas set of the three shown together.
#pragma once

#include <string>
#include <vector>

#include "aCnvStub.h"
#include "aEffectRender.h"
#include "aObjItf.h"
#include "aObjWrap.h"
#include "aPackage.h"
#include "aevtbase.h"
#include "bFillShd.h"
#include "bVarMgr.h"

// Canvas kinds, as the stubs'.
enum { CANVAS_PAGE = 1, CANVAS_BACKGROUND = 2, CANVAS_FOREGROUND = 3 };

#define OBJDATA_MARKER 0x55667788u

// The canvas's event part: the keyboard variant of pages and the
// application, with the canvas's event procedure.
class CCanvas : public ICanvasData, public IStubCanvas, public CObjectEventB {
public:
    CCanvas(IPlayerSite* site, int kind, CanvasStub* stub);
    virtual ~CCanvas();
    CCanvas(const CCanvas&) = delete;
    CCanvas& operator=(const CCanvas&) = delete;

    // The stub owns the canvas.
    BEGIN_COM_MAP(CCanvas)
    COM_INTERFACE_ENTRY(IObjectEvent)
    END_COM_MAP()
    DECLARE_OWNED_IUNKNOWN()

    // ICanvasData
    int GetCanvasKind() override { return m_kind; }
    const char* GetStubName() override { return m_pStub ? m_pStub->GetName() : ""; }
    BOOL LoadFromStorage(ITeskStorage* storage) override;
    // IStubCanvas
    ICanvasData* GetCanvasData() override { return this; }
    void SetLayerStubs(CBackgroundStub*, CForegroundStub*) override {}
    void DeleteCanvas() override { delete this; }

    int GetKind() const { return m_kind; }
    CanvasStub* GetStub() const { return m_pStub; }
    IPlayerSite* GetPlaySite() const { return m_pSite; }
    IObjectSite* GetObjectSite() const { return m_pObjectSite; }

    BOOL ReadCanvas(ITeskStorage* storage);
    // Creates and loads one object; appended to the list when it loaded.
    CObjWrapper* LoadObject(const ObjectRecord& record, CObjWrapper* parent, ITeskStream* stream);
    virtual bool LoadProperty(ITeskStream* stream) = 0;

    int GetObjectCount() const { return m_pList->GetCount(); }
    CObjWrapper* GetObjectAt(int i) const { return m_pList->GetAt(i); }
    IObjWrapperList* GetList() const { return m_pList; }
    // The topmost object under the logical point, or none.
    CObjWrapper* HitTest(LONG x, LONG y) const;
    CObjWrapper* FindByName(const char* name) const;

    // Page events 1220 to 1223 and others; the fire's result.
    virtual HRESULT OnPageEvent(DWORD event, DWORD_PTR a, DWORD_PTR b, DWORD_PTR c);
    // Code 1: notice 1 to the object at index param; 0x10000: to every object.
    STDMETHOD(Notify)(DWORD code, DWORD_PTR param) override;
    // Stops every active object and resets it.
    void StopObjects();
    // Draws itself (a background its fill) and its objects, in list order.
    virtual void Draw(IPixelBuffer* target, const RECT* clip);
    CVarList* GetVariables() { return &m_variables; }

protected:
    IPlayerSite* m_pSite;  // not counted
    int m_kind;
    CanvasStub* m_pStub;  // the owner
    IObjectSite* m_pObjectSite;
    IObjectCreator* m_pCreator;  // the site's, not counted
    CObjWrapperList* m_pList;    // owns the wrappers
    CVarList m_variables;
};

class CBackground : public CCanvas {
public:
    CBackground(IPlayerSite* site, CanvasStub* stub);
    ~CBackground() override;
    bool LoadProperty(ITeskStream* stream) override;
    void Draw(IPixelBuffer* target, const RECT* clip) override;
    LONG GetWidth() const { return m_width; }
    LONG GetHeight() const { return m_height; }
    FillObject* GetFill() const { return m_pFill; }

private:
    LONG m_width, m_height;
    FillObject* m_pFill;
};

class CForeground : public CCanvas {
public:
    CForeground(IPlayerSite* site, CanvasStub* stub) : CCanvas(site, CANVAS_FOREGROUND, stub) {}
    bool LoadProperty(ITeskStream*) override { return true; }
};

// Page flags.
enum {
    PAGE_USE_PROJECT_HOLD = 0x01,
    PAGE_KEEP_SOUND = 0x02,
    PAGE_HAS_SOUND = 0x04,
    PAGE_HAS_TEXT = 0x08,
    PAGE_AUTO_NEXT = 0x40,
};

// The stored part of the page sound record.
struct PageSoundRecord {
    DWORD first = 0;
    std::string path;  // at most 259 bytes
    DWORD values[10] = {0, 0, 0, 0, 0, 0, 0, 0, 1000, 0};
};

class CPageCanvas : public CCanvas {
public:
    CPageCanvas(IPlayerSite* site, CanvasStub* stub);
    ~CPageCanvas() override;
    bool LoadProperty(ITeskStream* stream) override;
    // Page enter first starts or stops the page's sound.
    HRESULT OnPageEvent(DWORD event, DWORD_PTR a, DWORD_PTR b, DWORD_PTR c) override;
    void HandlePageSound();
    void SetLayerStubs(CBackgroundStub* background, CForegroundStub* foreground) override {
        m_pBackgroundStub = background;
        m_pForegroundStub = foreground;
    }
    CBackgroundStub* GetBackgroundStub() const { return m_pBackgroundStub; }
    CForegroundStub* GetForegroundStub() const { return m_pForegroundStub; }

    DWORD GetFlags() const { return m_flags; }
    DWORD GetHoldTime() const { return m_holdTime; }
    DWORD GetEnterTime() const { return m_enterTime; }
    DWORD GetLeaveTime() const { return m_leaveTime; }
    DWORD GetAutoAction() const { return m_autoAction; }
    const std::string& GetLabel() const { return m_label; }
    const std::string& GetPageText() const { return m_text; }
    const PageSoundRecord& GetSound() const { return m_sound; }
    IEffectRender* GetEnterEffect() const { return m_pEnter; }
    IEffectRender* GetLeaveEffect() const { return m_pLeave; }

private:
    CBackgroundStub* m_pBackgroundStub;
    CForegroundStub* m_pForegroundStub;
    DWORD m_flags;
    DWORD m_holdTime, m_enterTime, m_leaveTime, m_autoAction;
    std::string m_label;
    IEffectRender* m_pEnter;
    IEffectRender* m_pLeave;
    PageSoundRecord m_sound;
    std::string m_text;
};

// The canvas of a stub (none when unloaded).
inline CCanvas* CanvasOf(IStubCanvas* c) {
    return static_cast<CCanvas*>(c);
}

// The page canvas with its background and foreground.
class CCanvasSet {
public:
    // Takes the background and foreground from the page's stubs (GetCanvas).
    explicit CCanvasSet(CPageCanvas* page);
    CPageCanvas* page;
    CBackground* background;
    CForeground* foreground;  // may be none

    // Background, page, foreground.
    void ForEach(void (*fn)(CCanvas*, void*), void* arg);
    HRESULT OnPageEvent(DWORD event);
    void StopObjects();
    void Notify(DWORD code, DWORD_PTR param);
    // Foreground, page, background; the object and its canvas.
    CObjWrapper* HitTestCanvasSet(POINT pt, CCanvas** canvas) const;
    // "_name": foreground then background; other names: the page only.
    CObjWrapper* FindObjectByName(const char* name, CCanvas** canvas) const;
};
