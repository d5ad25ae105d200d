// MetaFillHolder: one of a subject figure's fills, kept as a snapshot of the
// meta's single fill object and loaded into it whenever it is drawn or
// saved; draws clipped to a sub-path and, for vessels, below a level line.
#pragma once

#include <windows.h>

#include "bComBase.h"

class CGraphMetaEx;
struct FillObject;
struct IMetaEnv;
struct ITeskStream;
struct MetaSubPath;

class MetaFillHolder {
public:
    MetaFillHolder();
    ~MetaFillHolder();
    MetaFillHolder(const MetaFillHolder&) = delete;
    MetaFillHolder& operator=(const MetaFillHolder&) = delete;

    // Remembers the meta and takes a snapshot of its current fill.
    HRESULT Attach(CGraphMetaEx* meta);
    // Belongs to the meta from now on; the snapshot is kept.
    void SetMeta(CGraphMetaEx* meta) { m_meta = meta; }
    // The fill type, its data value (a solid colour or the gradient's first
    // one), a picture name for a picture fill (may be null) and the pattern
    // of pattern mode, put into the meta's fill; then the snapshot.
    HRESULT SetParams(int type, COLORREF data, const char* picture, int pattern);
    HRESULT TakeSnapshot(FillObject* fill);
    HRESULT RestoreSnapshot(FillObject* fill);
    // The fill object's own record.
    HRESULT Save(ITeskStream* stream);
    HRESULT Load(ITeskStream* stream);
    // The other holder's snapshot, as this one's.
    HRESULT CopySnapshot(MetaFillHolder& other);
    // The fill clipped to the sub-path (below its anchor when it has one)
    // and to the owner's rectangle (unless the context is clipped to it
    // already); E_FAIL when a region could not be made.
    HRESULT DrawClipped(HDC dc, const MetaSubPath& path, IMetaEnv* env, bool ownerClipped = false);

private:
    // The snapshot as a fill object of the holder's own, read once per
    // snapshot: drawing does not reload the meta's fill.
    FillObject* SnapshotFill();
    // The colour to paint straight for an opaque solid fill, else
    // CLR_INVALID.
    static COLORREF SolidOf(FillObject* fill);

    CComPtr<ITeskStream> m_stream;
    CGraphMetaEx* m_meta;
    CComPtr<FillObject> m_drawn;
    COLORREF m_solid = CLR_INVALID;
};
