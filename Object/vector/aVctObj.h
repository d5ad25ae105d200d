// VectorObject: a key-frame vector animation on a page. Each tick of its
// clock shows the frame for the play time: a key frame as stored, or the
// tween between the two key frames around that time. Shapes are kept
// relative to the object's centre.
#pragma once

#include <string>
#include <vector>

#include "aGrphMta.h"
#include "aObjClass.h"
#include "aVecBase.h"
#include "aVecFrm.h"

// One key frame: its shapes, its time (ms from the start) and how it morphs
// into the next one.
struct CKeyFrame {
    CKeyFrame() = default;
    ~CKeyFrame();
    CKeyFrame(const CKeyFrame&) = delete;
    CKeyFrame& operator=(const CKeyFrame&) = delete;
    // A copy of everything, the frame made for the same owner.
    HRESULT CopyFrom(const CKeyFrame& other);
    TweenParams Params() const;
    bool HasMapping() const { return kind == 1 || kind == 3; }

    int kind = 0;
    int split = 1;
    int pairing = 0;
    MorphMapping* mapping = nullptr;
    int time = 0;
    CVecFrame* frame = nullptr;
};

// The vector file's header: size (this field included), magic, 2, 1, the
// gap before the frame.
enum { VECFILE_MAGIC = 0x19981121, VECFILE_HEADER_MIN = 20, VECFILE_HEADER_MAX = 256 };

class VectorObject : public VectorObjectClass<VectorObject> {
public:
    VectorObject();
    ~VectorObject() override;
    HRESULT SetUp();
    // One key frame at 0 with an empty frame, shown.
    HRESULT FinalConstruct();

    // ---- IVectorDispObj / private ----
    STDMETHOD(ObjStart)() override { return Start(); }
    STDMETHOD(ObjStop)() override { return CAbility::Stop(); }
    STDMETHOD(ObjPause)() override { return CAbility::Pause(); }
    STDMETHOD(ObjContinue)() override { return CAbility::Resume(); }
    STDMETHOD(LoadFromFile)(BSTR name, LONG flag) override;
    STDMETHOD(SaveToFile)(BSTR name, LONG flag) override;

    // ---- ability ----
    // Starting rebuilds the working copies.
    STDMETHOD(Start)() override;
    STDMETHOD(OnClock)() override;

    // ---- object and render parts ----
    STDMETHOD(Init)(ObjectCreationRecord* record) override;
    STDMETHOD(FireEvent)(DWORD id, DWORD_PTR arg1, DWORD_PTR arg2, DWORD_PTR prev) override;
    STDMETHOD(BeforeExit)() override;
    // 0 on a shape of the shown frame, else 1.
    STDMETHOD_(int, HitTestPoint)(LONG x, LONG y) override;
    STDMETHOD(OnGeometryChanged)(const RECT* before, const RECT* after, int code) override;
    HRESULT DrawContent(IPixelBuffer* target, const RECT* rect) override;
    // The pictures of the shapes' fills in every key frame, then the base's.
    STDMETHOD(CollectFiles)(IFileCollector* collector) override;

    // Codes, setting, key frames. A damaged record is refused: E_FAIL, the
    // key frames unchanged.
    HRESULT LoadKind(ITeskStream* stream);
    HRESULT SaveKind(ITeskStream* stream);

    // Shows the frame for the play time t (ms).
    void ShowTime(DWORD t);
    // The working copies: the key frames with their curves as polylines.
    HRESULT PrepareTweenFrames();
    // Takes the key frame (the object owns it from then on); kept in time
    // order.
    HRESULT AddKeyFrame(CKeyFrame* key);
    // A new key frame with an empty frame of this object, not yet added.
    CKeyFrame* NewKeyFrame(int time);

    int KeyFrameCount() const { return (int)m_keys.size(); }
    CKeyFrame* KeyFrame(int i) const { return m_keys[(size_t)i]; }
    CVecFrame* CurrentFrame() const { return m_play.current; }
    int CurrentKeyIndex() const { return m_currentKey; }
    int PlaySetting() const { return m_play.setting; }
    // The times the working copies were rebuilt, and a tween's pair made
    // ready.
    int Preparations() const { return m_preparations; }
    int PairsMade() const { return m_pairsMade; }
    IVecFrameOwner* FrameOwner() { return &m_owner; }

private:
    struct Owner final : IVecFrameOwner, IMetaEnv {
        void ToOwnerPoints(POINT* points, int n) override;
        void FromOwnerPoints(POINT* points, int n) override;
        HRESULT OwnerHitTest(POINT point) override;
        HRESULT GetOwnerRect(RECT* rect) override;
        HRESULT GetOwnerCenter(POINT* centre) override;
        int GetOwnerDegree() override;
        CMetaEnv* GetOwnerEnv() override { return nullptr; }
        IMetaEnv* GetMetaEnv() override { return this; }
        IPlayerSite* GetPlaySite() override { return object->ClassSite(); }
        BOOL IgnoresUnfilledArea() override { return FALSE; }
        void GetEditState(MetaEditState* state) override;
        BOOL GetMediaFolder(char* folder, size_t size) override;
        VectorObject* object = nullptr;
    } m_owner;

    RECT OwnerRect();
    void DropTween();
    static void DeleteAll(std::vector<CKeyFrame*>* keys);

    std::vector<CKeyFrame*> m_keys;
    std::vector<CKeyFrame*> m_tweens;
    CVecPlayState m_play;
    CVecFrame* m_tween;  // the shown tween, when m_currentKey < 0
    // The working copies of the key frames before and after the shown
    // tween, made ready; kept until the pair or the working copies change.
    CTweenPair m_pair;
    int m_pairKey;
    int m_pairMadeAt;
    int m_currentKey;
    DWORD m_time;
    bool m_stale;
    int m_preparations;
    int m_pairsMade;
    const RECT* m_drawRect;
};

HRESULT CreateVectorObject(IUnknown** out);
