// CGraphMetaEx: the common base of the subject figures (mathematics,
// chemistry, physics, optics). A figure is not stored as points but rebuilt
// from its kind and a few parameters into sub-paths, each stroked with the
// meta's line style and filled through one of the meta's fill holders.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <memory>
#include <new>
#include <vector>

#include "aGrphMta.h"
#include "bGrphLib.h"
#include "bTraceLog.h"

class MetaFillHolder;

// A growable list of int32 values with a default value; stored as a count,
// then the values.
class IntList {
public:
    int GetCount() const { return (int)m_values.size(); }
    // The default value for an index outside the list.
    int Get(int index) const;
    // Grows the list to index + 1 (new entries take the default); false for
    // a negative index or when it cannot grow.
    bool Set(int index, int value);
    bool Append(int value);
    bool SetSize(int count);
    void SetDefault(int value) { m_default = value; }
    const std::vector<int32_t>& Values() const { return m_values; }
    // A count beyond the stream is refused: E_FAIL, the list unchanged.
    HRESULT Load(ITeskStream* stream);
    void Save(ITeskStream* stream) const;

private:
    bool Reserve(size_t count);

    std::vector<int32_t> m_values;
    int m_default = 0;
};

// One built part of a figure: points in 1/256 units, and how it is drawn.
struct MetaSubPath {
    PointArray points;
    bool closed = false;
    bool stroke = false;
    bool anchored = false;
    POINT anchor = {0, 0};
    // Index into the meta's fill holders; -1 none.
    int holder = -1;
};

class CGraphMetaEx : public CGraphMeta {
public:
    explicit CGraphMetaEx(IMetaEnv* env);
    ~CGraphMetaEx() override;

    // Takes copies of the other's sub-paths, fill holders (attached to this
    // meta), lists, scale and bounds: each meta owns its own.
    HRESULT CopyFrom(CGraphMetaEx& other);

    // The primary interface.
    HRESULT RotateObj(int angle, POINT centre) override;
    bool IsClosedShape() const override { return !m_holders.empty(); }
    // The origin (parameter list 1, entries 0 and 1) in 1/256 units.
    void GetCenter(POINT* out) const override;
    HRESULT DrawTracker(HDC dc) override;
    HRESULT DrawRotateTracker(HDC dc, const RECT* rect, int cx, int cy, int angle);
    // Computes the sub-paths from the parameters; the subject classes'.
    virtual HRESULT Rebuild() { return S_OK; }
    // The figure record: the graph meta's with the fill-holder list in the
    // place of the fill, then the parameters. A short or damaged record is
    // refused: E_FAIL, the figure unchanged.
    HRESULT Load(ITeskStream* stream) override;
    HRESULT Save(ITeskStream* stream) override;
    // The vector-file form: the media index after the holder list is read
    // and ignored; no embedded file is ever written.
    HRESULT LoadWithMedia(ITeskStream* stream, const char* fileName, VecFileContext* context,
                          BOOL share) override;
    HRESULT SaveWithMedia(ITeskStream* stream, int mediaIndex) override;
    HRESULT SetPointAt(int, POINT) override { return S_OK; }
    HRESULT CalcPathBounds();
    HRESULT CalcCurveBounds();
    // May handle index move to (x, y) (1/256 units)? Applies it when so.
    virtual int CanMovePoint(int x, int y, int index);
    // Parameter lists 2, 1 and 3, then the scale percent.
    HRESULT SaveParams(ITeskStream* stream);
    HRESULT LoadParams(ITeskStream* stream);

    // The meta interface.
    HRESULT DrawInRect(HDC, const RECT*) override { return S_OK; }
    HRESULT Clone(CMetaBase** out) override;
    HRESULT Draw(HDC dc, BOOL noSelection) override;
    HRESULT CalcBoundRect() override { return S_OK; }
    BOOL HitTestOutline(HDC dc, POINT point) override;
    int HitTest(HDC dc, POINT point, int mode) override;
    HRESULT Offset(POINT delta) override;
    HRESULT GetPos(POINT*) override { return S_OK; }
    HRESULT SetPosX(int) override { return S_OK; }
    HRESULT SetPosY(int) override { return S_OK; }
    HRESULT GetBoundRect(RECT* out) override;

    // Path builders for the subject classes.
    using CVecPath::AddPoint;
    void CreatePaths(int n);
    void AddPoint(int path, long long x, long long y);
    void AddPoints(int path, const POINT* points, int n);
    void AddRotatedPoints(int path, POINT* points, int n, int angle, int cx, int cy);
    void AppendPath(int destination, int source, BOOL reverse);
    void AddRectPath(int path, int x, int y, int w, int h);
    void AddRotatedRectPath(int path, int x, int y, int w, int h, int angle, int cx, int cy);
    // start 1 top, 2 left, 3 bottom, else right.
    void AddEllipsePath(int path, int cx, int cy, int rx, int ry, int start);
    void AddArcPath(int path, int x1, int y1, int x2, int y2, int cx, int cy, int rx, int ry,
                    BOOL reverse);
    // Adds the origin and turns the path by the figure's and the owner's
    // rotation; fill -1 none, else the holder at that index.
    void PlacePath(int path, int fill, const POINT* anchor, BOOL stroke, BOOL closed);
    void PlaceAllPaths(int n);
    int SetScaleFromSize(int x1, int y1, int x0, int y0, int w0, int h0);
    void ScalePaths();
    HRESULT GetRotatedPointAt(POINT* out, int selector, int index);

    // Fill holders (the meta owns them).
    int GetHolderCount() const { return (int)m_holders.size(); }
    MetaFillHolder* GetHolder(int index) const;
    // A new holder of the meta's current fill; its index, -1 when it
    // cannot be made.
    int AddHolder();
    // The meta's own fill object, which the holders load and save through.
    FillObject* GetShadeFillPtr() const { return ShadeFill::GetFill(); }

    int GetPathCount() const { return (int)m_paths.size(); }
    MetaSubPath* GetPath(int index) const;
    IntList& Params1() { return m_list1; }
    IntList& Params2() { return m_list2; }
    IntList& Params3() { return m_list3; }
    const IntList& Params1() const { return m_list1; }
    const IntList& Params2() const { return m_list2; }
    const IntList& Params3() const { return m_list3; }
    int GetScale() const { return m_scale; }
    void SetScale(int percent);

protected:
    // The owner frame's rotation in 1/100 degree, 0 without a frame.
    int OwnerDegree() const;
    // Clears the point counts of the sub-paths (their storage kept).
    void ClearPaths();
    // Builds the figure when it has no sub-paths or its owner turned since.
    void EnsureBuilt();
    // The owner's offset in whole units.
    POINT FrameOffset() const;
    // The start of a handle move (a point in whole units) as the edit state
    // says: while the figure is being created the point becomes the path
    // part's point 1 and the scale 100 (false); when editing handles (mode
    // 2), true with the point in 1/256 units turned back about the centre.
    bool BeginHandleMove(POINT point, POINT* local);
    // A subject figure's handle: nothing (0) for a selector other than 0,
    // else the bound handle turned as the figure is.
    HRESULT SubjectPointAt(POINT* out, int selector, int index);
    // The origin-relative value of a coordinate at the figure's scale.
    int Unscaled(int value, int origin) const;

private:
    HRESULT LoadRecordInto(ITeskStream* stream, bool media);
    HRESULT LoadWhole(ITeskStream* stream, bool media, const char* caller);
    HRESULT SaveRecordFrom(ITeskStream* stream, bool media, int mediaIndex);
    HRESULT LoadHolders(ITeskStream* stream);
    void TakeOver(CGraphMetaEx& read);

    std::vector<std::unique_ptr<MetaSubPath>> m_paths;
    std::vector<std::unique_ptr<MetaFillHolder>> m_holders;
    IntList m_list1, m_list2, m_list3;
    int m_scale;
    // The owner's rotation the sub-paths were placed with.
    int m_placedDegree = 0;
};

// Makes a copy of a subject figure as its own class; E_OUTOFMEMORY (logged)
// with no copy when it cannot.
template <class T>
HRESULT CloneFigure(T& source, CMetaBase** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    T* copy = new (std::nothrow) T(source.GetEnv());
    if (!copy) {
        LOG_MSG("can not allocate enough memory.");
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = copy->CopyFrom(source);
    if (FAILED(hr)) {
        delete copy;
        return hr;
    }
    *out = copy;
    return S_OK;
}
