// CGraphMeta: the basic vector shape (line, polyline or polygon, Bezier
// curve, ellipse, rectangle, rounded rectangle) with its fill, line style and
// ink mode, drawn through its frame or fitted into a rectangle, hit tested,
// moved and stored.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "aInkMode.h"
#include "aLineSty.h"
#include "aMeta.h"
#include "aShdMod.h"
#include "aVector.h"

// What a vector file's frame hands each graph meta it reads: the owner
// rectangle its shapes were drawn in, the meta's position in the frame, and
// the files of the pictures the frame's metas embedded so far, in order (a
// later meta names the k-th by index k).
struct VecFileContext {
    RECT reference = {0, 0, 0, 0};
    int position = 0;
    std::vector<std::string> pictures;
};

// The longest embedded picture name a vector file may store, in bytes.
enum { EMBEDDED_NAME_MAX = 255 };

// The motion settings a path keeps: roll mode, roll angle, delay, duration
// (ms), direction, eleven speed-curve values.
struct MotionBlock {
    int32_t values[16];
};

// The weights of the point matching of a mapping tween: length term,
// angle term, length exponent, angle exponent, angle offset, unused, length
// blend. A key frame keeps them (28 bytes as stored).
struct MorphMapping {
    float values[7];
};

// The largest matching table of a mapping tween, in cells.
enum { MAPPING_CELLS_MAX = 4194304 };

class CGraphMeta : public CVecPath,
                   public ShadeFill,
                   public LineStyle,
                   public InkMode,
                   public CMetaBase {
public:
    explicit CGraphMeta(IMetaEnv* env);
    ~CGraphMeta() override;

    HRESULT CopyFrom(CGraphMeta& other);

    // The primary interface.
    int GetCount() const override { return CVecPath::GetCount(); }
    virtual HRESULT ChangePtPos(int index, POINT point);
    virtual HRESULT RotateObj(int angle, POINT centre);
    IMetaEnv* GetEnv() const { return m_env; }
    // Kinds 3 to 5 always, others by their closed flag.
    virtual bool IsClosedShape() const;
    // The bounds' centre in 1/256 units.
    virtual void GetCenter(POINT* out) const;
    virtual HRESULT DrawTracker(HDC dc);
    // Path, fill, line mode, ink mode, attributes, motion block. A short or
    // damaged record is refused: E_FAIL, the shape unchanged.
    virtual HRESULT Load(ITeskStream* stream);
    virtual HRESULT Save(ITeskStream* stream);
    // The vector-file form: the record with a media part after the fill (an
    // index; -1 with a picture fill: the picture file's name and bytes).
    // The embedded file is written under the media folder's TempDir, named
    // after the file name's title, the position and the stored name's last
    // component, and the fill's picture loads it by its path (sharing it
    // with the media service needs an editing host). Index k names the k-th
    // picture of the context. A damaged or short record, a stored name of
    // more than EMBEDDED_NAME_MAX bytes or none left, or data beyond the
    // stream is refused: E_FAIL, the shape unchanged, nothing written.
    virtual HRESULT LoadWithMedia(ITeskStream* stream, const char* fileName,
                                  VecFileContext* context, BOOL share);
    // index: -2 no picture fill, -1 the picture's file follows, else the
    // index of one a meta before wrote.
    virtual HRESULT SaveWithMedia(ITeskStream* stream, int mediaIndex);
    // The picture file of a picture fill: its name without folders, its
    // size and bytes (an empty name and no bytes when it cannot be read).
    HRESULT SaveEmbeddedMedia(ITeskStream* stream, int mediaIndex);
    // The name a picture fill's picture goes by (its media name, else its
    // path); empty for other fills.
    std::string PictureKey() const;
    // Kind, corner percent, meta id, bounds, flags, base value, motion, the
    // points, then the line mode when flag bit 4 is set.
    HRESULT LoadGeometry(ITeskStream* stream);
    virtual HRESULT SetPointAt(int index, POINT point);
    // selector 0: bound handle 0-7 (clockwise from the top-left corner);
    // 1: path point.
    virtual HRESULT GetPointAt(POINT* out, int selector, int index);

    // The meta interface.
    HRESULT DrawInRect(HDC dc, const RECT* rect) override;
    HRESULT Clone(CMetaBase** out) override;
    HRESULT DrawSelection(HDC dc, BOOL pointMarks) override;
    HRESULT DrawBoundHandles(HDC dc) override;
    HRESULT DrawPointHandles(HDC dc) override;
    HRESULT GetBoundsWithPen(RECT* out) override;
    HRESULT Draw(HDC dc, BOOL noSelection) override;
    HRESULT FinishShape() override;
    HRESULT CalcBoundRect() override;
    BOOL HitTestOutline(HDC dc, POINT point) override;
    int HitTestHandle(POINT point, int* index) override;
    int HitTest(HDC dc, POINT point, int mode) override;
    HRESULT Offset(POINT delta) override;
    HRESULT GetPos(POINT* out) override;
    HRESULT SetPosX(int x) override;
    HRESULT SetPosY(int y) override;
    BOOL IsInsideRect(const RECT* rect) override;
    HRESULT GetBoundRect(RECT* out) override;
    int HitTestBounds(POINT point) override;
    HRESULT DrawSelectionState(HDC dc) override;
    HRESULT CloseIfEndsMeet() override;
    HRESULT LoadRecord(ITeskStream* stream) override { return Load(stream); }
    HRESULT SaveRecord(ITeskStream* stream) override { return Save(stream); }

    // Kind 1 with more than 2 points: drops every point equal to the one
    // before it.
    void RemoveDuplicates();

    // Curve conversions, in place; nothing for no kind or the kind itself.
    HRESULT Convert2Polyline();
    HRESULT Convert2Bezier();
    // Kind 1: drops interior points within the tolerance of the last kept
    // one or on the line from it to the next.
    void Simplify(int tolerance);
    // The polyline of a Bezier chain (3k + 1 control points): 10 samples a
    // piece and the chain's end.
    static HRESULT SampleBezier(const POINT* controls, int count, std::vector<POINT>* out);

    // Morphing support. Part `part` of `count` consecutive pieces of the
    // outline as a new open meta (null for no points or a count <= 0).
    CGraphMeta* GetPart(int count, int part);
    // Gives the meta with fewer points as many as the other, spread over
    // its segments; nothing when either has none.
    static HRESULT EqualizePointCount(CGraphMeta* a, CGraphMeta* b);
    // Matches the points of a and b (dynamic programming weighted by the
    // mapping) and makes *out the meta between them at the factor. When the
    // matching fails (more than MAPPING_CELLS_MAX cells) *out is kept.
    static HRESULT BuildMappedMeta(CGraphMeta* a, CGraphMeta* b, const MorphMapping& mapping,
                                   CGraphMeta** out, float factor);
    // The meta between a and b at the factor along matched index pairs (as
    // CalcMapping gives them): a new graph meta, null without memory.
    static CGraphMeta* MakeMatchedMeta(CGraphMeta* a, CGraphMeta* b,
                                       const std::vector<std::pair<int, int>>& pairs, float factor);
    // The matched index pairs in row order and the path's cost.
    static HRESULT CalcMapping(const POINT* a, int n, const POINT* b, int m,
                               const MorphMapping& mapping, std::vector<std::pair<int, int>>* pairs,
                               int* cost);
    // Points (a's count; b must have at least as many), fill, line style,
    // ink and attributes between a and b; the motion block reset.
    static HRESULT InterpolateMeta(CGraphMeta* a, CGraphMeta* b, CGraphMeta* out, float factor,
                                   bool withPoints);

    const MotionBlock& Motion() const { return m_motion; }
    MotionBlock& Motion() { return m_motion; }
    void SetReferenceRect(const RECT& rect) { m_reference = rect; }
    const RECT& ReferenceRect() const { return m_reference; }

    // The line style's draw code and points for the shape; fit: the target
    // of DrawInRect, else through the frame. S_FALSE for a shape with no
    // kind, E_UNEXPECTED for an unknown kind.
    HRESULT PreparePoints(const RECT* fit, int* code, std::vector<POINT>* points);
    // The shape's area in device units (null for open shapes, shapes of
    // fewer than 2 points and other kinds).
    HRGN CreateRegion(HDC dc, const RECT* fit);
    // The owner's corners as a device region, to clip a turned owner's shapes.
    HRGN FrameClip(HDC dc) const;

private:
    void MapPoints(const RECT* fit, POINT* points, int n) const;
    void Recalc();
    HRESULT CalcBezierBounds();
    bool BezierControls(std::vector<POINT>* out) const;
    // The fill's colour when it may be painted straight into the context,
    // else CLR_INVALID.
    COLORREF SolidColor(HDC dc) const;
    static void FillSolid(HDC dc, const RECT* rect, COLORREF color);

    // The media part after the fill: the embedded picture's stored name and
    // bytes when there is one.
    HRESULT LoadMedia(ITeskStream* stream, int index, std::string* name,
                      std::vector<uint8_t>* data);
    // Writes an embedded picture's file; its path, empty when it failed.
    std::string WriteEmbeddedFile(const char* fileName, int position, const std::string& name,
                                  const std::vector<uint8_t>& data);
    void SetPicturePath(const std::string& path);

    MotionBlock m_motion;
    RECT m_reference;
    IMetaEnv* m_env;
};
