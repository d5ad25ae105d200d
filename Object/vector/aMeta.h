// The meta base every vector shape derives from (its interface, owner frame,
// state flags, bounds, selection state, meta id), the attribute record it
// stores, the services a frame's owner gives its metas, and the drawing
// settings of the draw board.
#pragma once

#include <windows.h>

#include "aInkMode.h"
#include "aLineSty.h"
#include "aShdMod.h"

class CVecFrame;
struct IPlayerSite;
struct ITeskStream;

// Bits of a meta's state word.
enum MetaStateFlags : WORD {
    META_EDIT0 = 0x0001,
    META_HIDDEN = 0x0002,
    META_CLOSED = 0x0004,
    META_EDIT3 = 0x0008,
    META_HAS_LINEMODE = 0x0010
};

// What a frame's owner is doing with its shapes: creating one, the edit mode
// (2 editing handles) and its rotation in 1/100 degree.
struct MetaEditState {
    BOOL creating;
    int mode;
    int angle;
};

// The services a frame's owner gives every meta of the frame.
struct IMetaEnv {
    // The play site fills draw with (media manager); null when there is none.
    virtual IPlayerSite* GetPlaySite() = 0;
    // True when unfilled shapes are to be hit on their outline only.
    virtual BOOL IgnoresUnfilledArea() = 0;
    virtual void GetEditState(MetaEditState* state) = 0;
    // The media folder (up to size bytes with its NUL); false when none.
    virtual BOOL GetMediaFolder(char* folder, size_t size) = 0;

protected:
    ~IMetaEnv() {}
};

// The stored attributes of every meta.
class MetaAttrRecord {
public:
    // State word, base value, bounds, text flag 1 [text], text flag 2
    // [text], meta id, selection state. Texts are read and dropped. A short
    // or damaged record is refused whole: E_FAIL, nothing changed.
    HRESULT Load(ITeskStream* stream);
    // Writes no texts: their flags' bit 0 is cleared first.
    HRESULT Save(ITeskStream* stream);

protected:
    int m_baseValue = 1;
    RECT m_bounds = {0, 0, 0, 0};
    int m_selection = 0;
    int m_metaId = 0;
    WORD m_flags = 0;
    int m_textFlag1 = 0;
    int m_textFlag2 = 0;
};

class CMetaBase : public MetaAttrRecord {
public:
    CMetaBase() : m_frame(nullptr) {}
    CMetaBase(const CMetaBase&) = delete;
    CMetaBase& operator=(const CMetaBase&) = delete;

    // The meta interface, in its order.
    virtual HRESULT DrawInRect(HDC dc, const RECT* rect) = 0;
    virtual HRESULT Clone(CMetaBase** out) = 0;
    virtual HRESULT DrawSelection(HDC dc, BOOL pointMarks) = 0;
    virtual HRESULT DrawBoundHandles(HDC dc) = 0;
    virtual HRESULT DrawPointHandles(HDC dc) = 0;
    virtual HRESULT GetBoundsWithPen(RECT* out) = 0;
    virtual HRESULT Draw(HDC dc, BOOL noSelection) = 0;
    virtual HRESULT FinishShape() = 0;
    virtual HRESULT CalcBoundRect() = 0;
    virtual BOOL HitTestOutline(HDC dc, POINT point) = 0;
    virtual int HitTestHandle(POINT point, int* index) = 0;
    virtual int HitTest(HDC dc, POINT point, int mode) = 0;
    virtual HRESULT Offset(POINT delta) = 0;
    virtual HRESULT GetPos(POINT* out) = 0;
    virtual HRESULT SetPosX(int x) = 0;
    virtual HRESULT SetPosY(int y) = 0;
    virtual BOOL IsInsideRect(const RECT* rect) = 0;
    virtual HRESULT GetBoundRect(RECT* out) = 0;
    virtual int HitTestBounds(POINT point) = 0;
    virtual HRESULT DrawSelectionState(HDC dc) = 0;
    virtual HRESULT CloseIfEndsMeet() = 0;
    virtual ~CMetaBase() {}
    // The meta's own record in a frame's stream.
    virtual HRESULT LoadRecord(ITeskStream*) { return E_NOTIMPL; }
    virtual HRESULT SaveRecord(ITeskStream*) { return E_NOTIMPL; }

    bool IsClosed() const { return (m_flags & META_CLOSED) != 0; }
    void SetClosed(bool on) { SetFlag(META_CLOSED, on); }
    bool IsHidden() const { return (m_flags & META_HIDDEN) != 0; }
    void SetHidden(bool on) { SetFlag(META_HIDDEN, on); }
    bool GetEdit0() const { return (m_flags & META_EDIT0) != 0; }
    void SetEdit0(bool on) { SetFlag(META_EDIT0, on); }
    bool GetEdit3() const { return (m_flags & META_EDIT3) != 0; }
    void SetEdit3(bool on) { SetFlag(META_EDIT3, on); }
    WORD GetFlags() const { return m_flags; }
    void SetFlags(WORD flags) { m_flags = flags; }

    CVecFrame* GetFrame() const { return m_frame; }
    void SetFrame(CVecFrame* frame) { m_frame = frame; }
    // The meta type id a frame stores the meta under.
    int GetBaseValue() const { return m_baseValue; }
    void SetBaseValue(int value) { m_baseValue = value; }
    int GetMetaId() const { return m_metaId; }
    void SetMetaId(int id) { m_metaId = id; }
    int GetSelection() const { return m_selection; }
    void SetSelection(int state) { m_selection = state; }
    const RECT& Bounds() const { return m_bounds; }

    // Flag bits 2, 1, 3 and 0, the base value, owner frame, bounds (through
    // the other's GetBoundRect), meta id and selection state.
    void CopyAttributes(CMetaBase& other);
    // A tween's attributes: shown, closed as both or (when one is) as b from
    // 0.5 on, else as a; edit bits and selection cleared, base value 1;
    // bounds recomputed.
    static void InterpolateAttributes(const CMetaBase& a, const CMetaBase& b, CMetaBase* out,
                                      float factor);

private:
    void SetFlag(WORD bit, bool on) {
        m_flags = on ? (WORD)(m_flags | bit) : (WORD)(m_flags & ~bit);
    }

    CVecFrame* m_frame;
};

// The draw board's drawing settings: what new shapes take.
class CMetaEnv {
public:
    CMetaEnv();
    virtual ~CMetaEnv() {}
    CMetaEnv(const CMetaEnv&) = delete;
    CMetaEnv& operator=(const CMetaEnv&) = delete;

    // Value, ink mode, line mode, the 60-byte font, the fill. A short or
    // damaged record is refused: E_FAIL, the settings unchanged.
    HRESULT Load(ITeskStream* stream);
    HRESULT Save(ITeskStream* stream);
    HRESULT CopyFrom(CMetaEnv& other);

    InkMode ink;
    ShadeFill fill;
    LineStyle line;
    LOGFONTA font;
    int value;
};
