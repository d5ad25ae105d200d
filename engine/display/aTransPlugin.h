// Shared parts of the transition plug-in classes: typed parameter records,
// the tiling record and tile geometry, the creators of the thirteen classes.
#pragma once

#include <vector>

#include "aTransition.h"
#include "bComBase.h"

// Field types of a plug-in record.
enum ParamField { PF_I32, PF_U32, PF_U16, PF_DBL };
// What a setter does with a value outside lo..hi.
enum ParamCheck {
    PCHK_NONE,
    PCHK_FAIL,       // E_FAIL outside lo..hi
    PCHK_CLAMP,      // clamped into lo..hi
    PCHK_MOD360,     // taken modulo 360
    PCHK_FAILNEG,    // E_FAIL below 0
    PCHK_SFALSENEG,  // S_FALSE below 0
};
struct ParamDef {
    ParamField field;
    double def;
    ParamCheck check;
    double lo, hi;
};

// The parameters of a plug-in, kept as doubles and stored as their fields.
class CParamSet {
public:
    CParamSet(const ParamDef* defs, int count);
    HRESULT Set(int index, double value);
    HRESULT Get(int index, double* value) const;
    // Reads or writes every field in order (short reads throw).
    HRESULT LoadFields(ITeskStream* stream);
    HRESULT SaveFields(ITeskStream* stream) const;
    int Int(int index) const;
    DWORD U32(int index) const;
    double Dbl(int index) const { return m_values[index]; }
    // Changes with every Set and Load: cached tables compare it.
    unsigned Version() const { return m_version; }
    void Touch() { ++m_version; }

protected:
    const ParamDef* m_defs;
    int m_count;
    double m_values[8];
    unsigned m_version;
};

// Reads and writes of record fields.
DWORD ReadU32(ITeskStream* stream);
double ReadDouble(ITeskStream* stream);
void WriteU32(ITeskStream* stream, DWORD value);
void WriteDouble(ITeskStream* stream, double value);

// Progress clamped to 0..1 (NaN: 0).
double ClampProgress(double x);
// The intersection; false when empty.
bool IntersectRects(RECT* out, const RECT& a, const RECT& b);

// The tiling part of region and mask plug-ins.
class CTiling {
public:
    CTiling();
    HRESULT Load(ITeskStream* stream);
    HRESULT Save(ITeskStream* stream) const;
    TransitionTiling Get() const { return m_tiling; }
    HRESULT Set(const TransitionTiling& tiling);
    // Tile columns and rows for the rectangle: at least 1, at most its pixels.
    void Count(const RECT& rect, int* columns, int* rows) const;
    // Tile (i, j) of columns x rows over the rectangle.
    static RECT TileRect(const RECT& rect, int columns, int rows, int i, int j);
    // The local progress of tile (i, j) at x.
    double Progress(int columns, int rows, int i, int j, double x);
    bool IsSingle(const RECT& rect) const;

private:
    TransitionTiling m_tiling;
    std::vector<int> m_random;  // order 9: a permutation of the tiles
    int m_randomCount;
    bool m_randomStale;
};

// Per-class creators (number 1..13), for the extension manager's table.
HRESULT CreateTransMove(REFIID iid, void** out);
HRESULT CreateTransWipe(REFIID iid, void** out);
HRESULT CreateTransShape(REFIID iid, void** out);
HRESULT CreateTransClock(REFIID iid, void** out);
HRESULT CreateTransDissolve(REFIID iid, void** out);
HRESULT CreateTransRamp(REFIID iid, void** out);
HRESULT CreateTransShapeRamp(REFIID iid, void** out);
HRESULT CreateTransSpiral(REFIID iid, void** out);
HRESULT CreateTransFade(REFIID iid, void** out);
HRESULT CreateTransSine(REFIID iid, void** out);
HRESULT CreateTransStars(REFIID iid, void** out);
HRESULT CreateTransEdge(REFIID iid, void** out);
HRESULT CreateTransShadow(REFIID iid, void** out);

// The outer and role interfaces of regions and masks share slot names;
// these forwarders give each its own member.
struct CRegionOuterPart : public ITransitionRegion {
    STDMETHOD(GetClassID)(CLSID* clsid) override { return OuterClassID(clsid); }
    STDMETHOD(Load)(ITeskStream* stream) override { return LoadWhole(stream); }
    STDMETHOD(Save)(ITeskStream* stream) override { return SaveWhole(stream); }
    STDMETHOD(GetRole)(ITransitionRegionRole** role) override { return OuterRole(role); }
    STDMETHOD(BuildTiledRegion)(HRGN* out, double x, const RECT* rect, const RECT* clip) override {
        return BuildTiled(out, x, rect, clip);
    }
    virtual HRESULT OuterClassID(CLSID* clsid) = 0;
    virtual HRESULT LoadWhole(ITeskStream* stream) = 0;
    virtual HRESULT SaveWhole(ITeskStream* stream) = 0;
    virtual HRESULT OuterRole(ITransitionRegionRole** role) = 0;
    virtual HRESULT BuildTiled(HRGN* out, double x, const RECT* rect, const RECT* clip) = 0;
};
struct CRegionRolePart : public ITransitionRegionRole {
    STDMETHOD(Load)(ITeskStream* stream) override { return LoadRole(stream); }
    STDMETHOD(Save)(ITeskStream* stream) override { return SaveRole(stream); }
    STDMETHOD(BuildRegion)(HRGN* out, double x, const RECT* rect, const RECT* clip) override {
        return Build(out, x, rect, clip);
    }
    STDMETHOD(Reserved6)() override { return S_OK; }
    STDMETHOD(Reserved7)() override { return S_OK; }
    virtual HRESULT LoadRole(ITeskStream* stream) = 0;
    virtual HRESULT SaveRole(ITeskStream* stream) = 0;
    virtual HRESULT Build(HRGN* out, double x, const RECT* rect, const RECT* clip) = 0;
};

// What region and mask plug-ins share: the parameters, the tiling, and the
// outer object's class, role and stream (the tiling, then the role's fields).
template <class OuterPart, class RolePart, class Role>
class CTiledPlugin : public CComObjectRootBase,
                     public ITransitionParams,
                     public ITransitionTiling,
                     public OuterPart,
                     public RolePart {
public:
    CTiledPlugin(const CLSID& clsid, const ParamDef* defs, int count)
        : m_clsid(clsid), m_params(defs, count) {}
    virtual ~CTiledPlugin() {}

    STDMETHOD(SetParam)(int index, double value) override { return m_params.Set(index, value); }
    STDMETHOD(GetParam)(int index, double* value) override { return m_params.Get(index, value); }
    STDMETHOD(SetTiling)(const TransitionTiling* tiling) override {
        if (!tiling)
            return E_POINTER;
        return m_tiling.Set(*tiling);
    }
    STDMETHOD(GetTiling)(TransitionTiling* tiling) override {
        if (!tiling)
            return E_POINTER;
        *tiling = m_tiling.Get();
        return S_OK;
    }

    HRESULT OuterClassID(CLSID* clsid) override {
        if (!clsid)
            return E_POINTER;
        *clsid = m_clsid;
        return S_OK;
    }
    HRESULT LoadWhole(ITeskStream* stream) override {
        HRESULT hr = m_tiling.Load(stream);
        if (FAILED(hr))
            return hr;
        return this->LoadRole(stream);
    }
    HRESULT SaveWhole(ITeskStream* stream) override {
        HRESULT hr = m_tiling.Save(stream);
        if (FAILED(hr))
            return hr;
        return this->SaveRole(stream);
    }
    HRESULT OuterRole(Role** role) override {
        if (!role)
            return E_POINTER;
        *role = static_cast<Role*>(this);
        (*role)->AddRef();
        return S_OK;
    }
    HRESULT LoadRole(ITeskStream* stream) override { return m_params.LoadFields(stream); }
    HRESULT SaveRole(ITeskStream* stream) override { return m_params.SaveFields(stream); }

protected:
    const CLSID& m_clsid;
    CParamSet m_params;
    CTiling m_tiling;
};

class CRegionPlugin
    : public CTiledPlugin<CRegionOuterPart, CRegionRolePart, ITransitionRegionRole> {
public:
    BEGIN_COM_MAP(CRegionPlugin)
    COM_INTERFACE_ENTRY(ITransitionParams)
    COM_INTERFACE_ENTRY(ITransitionTiling)
    COM_INTERFACE_ENTRY(ITransitionRegion)
    COM_INTERFACE_ENTRY(ITransitionRegionRole)
    END_COM_MAP()

    CRegionPlugin(const CLSID& clsid, const ParamDef* defs, int count)
        : CTiledPlugin(clsid, defs, count) {}

    // The role's region for one rectangle and a clip inside it (not empty);
    // x already clamped. Null *out: empty.
    virtual HRESULT Region(HRGN* out, double x, const RECT& rect, const RECT& clip) = 0;

    HRESULT BuildTiled(HRGN* out, double x, const RECT* rect, const RECT* clip) override;
    HRESULT Build(HRGN* out, double x, const RECT* rect, const RECT* clip) override;
};

struct CMaskOuterPart : public ITransitionMask {
    STDMETHOD(GetClassID)(CLSID* clsid) override { return OuterClassID(clsid); }
    STDMETHOD(Load)(ITeskStream* stream) override { return LoadWhole(stream); }
    STDMETHOD(Save)(ITeskStream* stream) override { return SaveWhole(stream); }
    STDMETHOD(GetRole)(ITransitionMaskRole** role) override { return OuterRole(role); }
    STDMETHOD(BuildTiledMask)(BYTE** out, double x, const RECT* rect, const RECT* clip) override {
        return BuildTiled(out, x, rect, clip);
    }
    STDMETHOD(ApplyMask)
    (IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask, double progress,
     const RECT* rect, const RECT* clip) override {
        return Apply(target, source, mask, progress, rect, clip);
    }
    STDMETHOD(ApplyTiledMask)
    (IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask, double progress,
     const RECT* rect, const RECT* clip) override {
        return ApplyTiled(target, source, mask, progress, rect, clip);
    }
    virtual HRESULT OuterClassID(CLSID* clsid) = 0;
    virtual HRESULT LoadWhole(ITeskStream* stream) = 0;
    virtual HRESULT SaveWhole(ITeskStream* stream) = 0;
    virtual HRESULT OuterRole(ITransitionMaskRole** role) = 0;
    virtual HRESULT BuildTiled(BYTE** out, double x, const RECT* rect, const RECT* clip) = 0;
    virtual HRESULT Apply(IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask,
                          double progress, const RECT* rect, const RECT* clip) = 0;
    virtual HRESULT ApplyTiled(IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask,
                               double progress, const RECT* rect, const RECT* clip) = 0;
};
struct CMaskRolePart : public ITransitionMaskRole {
    STDMETHOD(Load)(ITeskStream* stream) override { return LoadRole(stream); }
    STDMETHOD(Save)(ITeskStream* stream) override { return SaveRole(stream); }
    STDMETHOD(BuildMask)(BYTE** out, double x, const RECT* rect, DWORD) override {
        return Build(out, x, rect);
    }
    STDMETHOD(Reserved6)() override { return S_OK; }
    STDMETHOD(Reserved7)() override { return S_OK; }
    virtual HRESULT LoadRole(ITeskStream* stream) = 0;
    virtual HRESULT SaveRole(ITeskStream* stream) = 0;
    virtual HRESULT Build(BYTE** out, double x, const RECT* rect) = 0;
};

// The frame composition's shortcut to a mask's compose: the page image and
// the fill image blended straight into the back buffer.
// {38C9486A-BFB3-4171-A74A-8BBC903E50F4}
struct ITransitionMaskCompose : public IUnknown {
    STDMETHOD(ComposeFrom)
    (IPixelBuffer* target, IPixelBuffer* first, IPixelBuffer* source, const BYTE* mask,
     double progress, const RECT* rect, const RECT* clip) = 0;
};
DECLARE_IID(ITransitionMaskCompose, 0x38C9486A, 0xBFB3, 0x4171, 0xA7, 0x4A, 0x8B, 0xBC, 0x90, 0x3E,
            0x50, 0xF4);

class CMaskPlugin : public CTiledPlugin<CMaskOuterPart, CMaskRolePart, ITransitionMaskRole>,
                    public ITransitionMaskCompose {
public:
    BEGIN_COM_MAP(CMaskPlugin)
    COM_INTERFACE_ENTRY(ITransitionParams)
    COM_INTERFACE_ENTRY(ITransitionTiling)
    COM_INTERFACE_ENTRY(ITransitionMask)
    COM_INTERFACE_ENTRY(ITransitionMaskRole)
    COM_INTERFACE_ENTRY(ITransitionMaskCompose)
    END_COM_MAP()

    CMaskPlugin(const CLSID& clsid, const ParamDef* defs, int count)
        : CTiledPlugin(clsid, defs, count) {}

    // Writes the w x h mask (w, h > 0) for x (clamped) into out.
    virtual HRESULT Fill(BYTE* out, double x, int w, int h) = 0;
    // Whether Apply looks at the progress (the tiled form then goes tile by tile).
    virtual bool ApplyUsesProgress() const { return false; }
    // Whether Apply is the standard compose.
    virtual bool IsStandardCompose() const { return true; }

    // The compose of the class into a target that has not yet received a
    // copy of `first` (the frame's page image): E_NOTIMPL unless standard.
    STDMETHOD(ComposeFrom)
    (IPixelBuffer* target, IPixelBuffer* first, IPixelBuffer* source, const BYTE* mask,
     double progress, const RECT* rect, const RECT* clip) override;

    HRESULT BuildTiled(BYTE** out, double x, const RECT* rect, const RECT* clip) override;
    // The standard compose unless a class has its own.
    HRESULT Apply(IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask, double progress,
                  const RECT* rect, const RECT* clip) override;
    HRESULT ApplyTiled(IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask,
                       double progress, const RECT* rect, const RECT* clip) override;
    HRESULT Build(BYTE** out, double x, const RECT* rect) override;
};

// The creator of a plug-in class: its default-parameter initialisation
// runs under a temporary reference, then the caller's query.
template <class T>
HRESULT CreatePluginObject(REFIID iid, void** out) {
    return ComCreateInstance<T>(iid, out);
}

// Mask helpers: out[i] = clamp(base[i] + t, 0, 255).
void AddClampBytes(const short* base, BYTE* out, size_t count, int t);
// The standard compose: target = (target * m + source * (256 - m)) / 256
// per colour byte, over clip ∩ rect ∩ both buffers.
HRESULT ApplyMaskStandard(IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask,
                          const RECT* rect, const RECT* clip);
// target = (first * m + source * (256 - m)) / 256, alpha from first: the
// standard compose of a target that would first receive a copy of `first`.
HRESULT ApplyMaskFrom(IPixelBuffer* target, IPixelBuffer* first, IPixelBuffer* source,
                      const BYTE* mask, const RECT* rect, const RECT* clip);
// The plain per-pixel form of the standard compose, for checks.
HRESULT ApplyMaskReference(IPixelBuffer* target, IPixelBuffer* source, const BYTE* mask,
                           const RECT* rect, const RECT* clip);
