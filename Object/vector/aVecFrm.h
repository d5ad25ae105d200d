// CVecFrame: one picture of vector shapes (metas) in drawing order, owned by
// the frame, with the services its owner (a vector object, a draw board or
// a path holder) gives the metas, and its stored form.
#pragma once

#include <windows.h>

#include <memory>
#include <utility>
#include <vector>

#include "aMeta.h"

class CGraphMeta;
struct ITeskStream;
struct MorphMapping;

// Meta type ids as frames store them.
enum MetaType {
    METATYPE_TEXT = 0,
    METATYPE_GRAPH = 1,
    METATYPE_MATH = 2,
    METATYPE_CHEM = 3,
    METATYPE_PHYS = 4,
    METATYPE_OPTIC = 5
};

// Flag bits of a frame.
enum VecFrameFlags : WORD {
    VECFRAME_PATH = 0x0001,
    VECFRAME_BOARD = 0x0002,
    VECFRAME_LENGTHS = 0x0004
};

// What the object owning a frame gives its metas.
struct IVecFrameOwner {
    // Meta coordinates to the owner's logical coordinates and back.
    virtual void ToOwnerPoints(POINT* points, int n) = 0;
    virtual void FromOwnerPoints(POINT* points, int n) = 0;
    virtual HRESULT OwnerHitTest(POINT point) = 0;
    // The owner's rectangle in logical units, its centre, its rotation in
    // 1/100 degree.
    virtual HRESULT GetOwnerRect(RECT* rect) = 0;
    virtual HRESULT GetOwnerCenter(POINT* centre) = 0;
    virtual int GetOwnerDegree() = 0;
    // The draw board's drawing settings; null for other owners.
    virtual CMetaEnv* GetOwnerEnv() = 0;
    // The services every meta of the frame is made with.
    virtual IMetaEnv* GetMetaEnv() = 0;

protected:
    ~IVecFrameOwner() {}
};

// Makes an empty meta of a stored type for a frame; null when it cannot.
typedef CMetaBase* (*MetaCreator)(IMetaEnv* env);
// A creator set for a type (2 to 5) makes its metas instead of the built-in
// figure class; null restores the class.
void SetMetaCreator(int type, MetaCreator creator);

class CVecFrame {
public:
    // flags: VECFRAME_LENGTHS for a vector object, | VECFRAME_BOARD for a
    // draw board, | VECFRAME_PATH for a path holder.
    CVecFrame(IVecFrameOwner* owner, WORD flags);
    virtual ~CVecFrame();
    CVecFrame(const CVecFrame&) = delete;
    CVecFrame& operator=(const CVecFrame&) = delete;

    int GetCount() const { return (int)m_metas.size(); }
    CMetaBase* GetMeta(int index) const;
    bool IsGraphMeta(int index) const;
    bool IsTextMeta(int index) const;
    CGraphMeta* GetGraphMeta(int index) const;
    // Records the type in the meta, tells it its frame and appends it (the
    // frame owns it from then on).
    HRESULT AddMeta(CMetaBase* meta, int type);
    HRESULT RemoveMeta(int index);
    void Clear();
    HRESULT DuplicateFrom(const CVecFrame& source);
    // Deletes hidden metas.
    void RemoveEmptyMetas();
    HRESULT SetMetaRemoved(int index);
    HRESULT DrawAll(HDC dc);
    // The indexes of the metas that hold the point, in drawing order, in a
    // new array the caller frees with delete[] (null when none).
    HRESULT HitTest(POINT point, HDC dc, int** indexes, int* count);
    HRESULT Rotate(int angle);

    // Object-stream form. A damaged or short record is refused whole:
    // E_FAIL, the frame unchanged.
    HRESULT Load(ITeskStream* stream, IMetaEnv* env);
    HRESULT Save(ITeskStream* stream);
    // Vector-file form: no lengths; graph metas carry their pictures (see
    // CGraphMeta::LoadWithMedia), read relative to the stored owner
    // rectangle. Types 0 to 5 are read (2 to 5 as subject figures); an
    // unknown type or a damaged record ends the read: E_FAIL, the frame
    // unchanged.
    HRESULT LoadFile(ITeskStream* stream, const char* fileName, BOOL share, IMetaEnv* env);
    // A picture file is written once: later metas with the same picture
    // name it by its index.
    HRESULT SaveFile(ITeskStream* stream);

    // The owner services, for the metas.
    WORD GetFlags() const { return m_flags; }
    // Vector objects clip their metas to their rectangle.
    bool WantsClip() const { return (m_flags & (VECFRAME_PATH | VECFRAME_BOARD)) == 0; }
    void ToOwnerPoints(POINT* points, int n) const;
    void FromOwnerPoints(POINT* points, int n) const;
    HRESULT GetOwnerRect(RECT* rect) const;
    HRESULT GetOwnerCenter(POINT* centre) const;
    int GetOwnerDegree() const;
    // The owner's rectangle turned by its rotation about its centre.
    HRESULT GetOwnerCorners(POINT* four) const;
    CMetaEnv* GetOwnerEnv() const;
    IMetaEnv* GetMetaEnv() const;
    IVecFrameOwner* GetOwner() const { return m_owner; }
    // Inside DrawAll of a frame that clips its metas: true when the owner's
    // clip (it is turned) is already the context's, made once for all.
    bool HasSharedClip() const { return m_drawing && m_sharedClip; }
    // The owner's rectangle when it is not turned: a meta inside it needs
    // no clip. False when turned or unknown.
    bool GetUpright(RECT* box) const;
    // Whether the context keeps true colours (24 bits or more), asked once
    // a DrawAll.
    bool IsTrueColour(HDC dc) const;
    int TakeMetaId() { return m_nextId++; }

private:
    static void DeleteAll(std::vector<CMetaBase*>& metas);

    WORD m_flags;
    std::vector<CMetaBase*> m_metas;
    IVecFrameOwner* m_owner;
    int m_nextId;
    bool m_drawing;
    bool m_sharedClip;
    bool m_trueColour;
};

// How a key frame morphs into the next: tween kind (0 by points, 1 and 3
// by the mapping's point matching; 2 as 0), split flag (shapes paired with
// several are cut into parts rather than copied), pairing (0 by order, else
// by meta id) and the key frame's mapping (may be null: then by points).
struct TweenParams {
    int kind = 0;
    int split = 0;
    int pairing = 0;
    const MorphMapping* mapping = nullptr;
};

// Fills the empty frame out with the shapes between a and b at x (0 at a,
// 1 at b). Frames holding subject figures are not morphed: out shows a's
// normalised copy.
HRESULT TweenFrames(const CVecFrame& a, const CVecFrame& b, CVecFrame* out, float x,
                    const TweenParams& params);
// A tween's two key frames made ready once: copied, converted, their metas
// paired and given equal point counts or matched. Every frame between them
// is then only interpolated, the same frame TweenFrames gives.
class CTweenPair {
public:
    // Forgets a pair made before. A failure leaves an empty pair, which
    // fills nothing.
    HRESULT Prepare(const CVecFrame& a, const CVecFrame& b, const TweenParams& params);
    // Fills the empty frame out with the shapes at x (0 at a, 1 at b).
    HRESULT Fill(CVecFrame* out, float x) const;
    void Clear();

private:
    // Frames with subject figures are shown as a's converted copy.
    std::unique_ptr<CVecFrame> m_figures;
    std::unique_ptr<CVecFrame> m_a, m_b;
    // For each pair, its matched point indexes; empty: by points.
    std::vector<std::vector<std::pair<int, int>>> m_matches;
};

// A new frame of the same owner and kind holding copies of the metas; a
// frame already in *copy is deleted first.
HRESULT CopyFrameForTween(const CVecFrame& frame, CVecFrame** copy);
// Texts become their outlines and curves polylines; hidden metas go.
HRESULT ConvertFrameForTween(CVecFrame* frame);
// Fill outA and outB with as many graph metas each, the k-th of outA to
// morph into the k-th of outB: by meta id (the rest by order), or by order.
HRESULT MakeSameNumMetasById(const CVecFrame& a, const CVecFrame& b, CVecFrame* outA,
                             CVecFrame* outB, int split);
HRESULT MakeSameNumMetasAuto(const CVecFrame& a, const CVecFrame& b, CVecFrame* outA,
                             CVecFrame* outB, int split);
