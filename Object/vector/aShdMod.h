// ShadeFill: the fill part of a vector shape, holding one fill object. A new
// one fills nothing (mode 0); its record is the fill object's own.
#pragma once

#include <windows.h>

struct FillObject;
struct ITeskStream;

class ShadeFill {
public:
    ShadeFill();
    virtual ~ShadeFill();
    ShadeFill(const ShadeFill&) = delete;
    ShadeFill& operator=(const ShadeFill&) = delete;

    virtual HRESULT Save(ITeskStream* stream);
    // A short or damaged record leaves the fill as it was.
    virtual HRESULT Load(ITeskStream* stream);

    // Copies the source's fill; S_OK with nothing done when either has no
    // fill object.
    HRESULT Duplicate(const ShadeFill& source);
    // out's fill becomes the one between a's and b's at trunc(x * 100)
    // percent; S_OK with nothing done when out has no fill object.
    static HRESULT Interpolate(const ShadeFill& a, const ShadeFill& b, ShadeFill* out, float x);

    // Fill types 0 solid .. 3 texture; modes 0 none, 1 fill, 2 pattern.
    HRESULT SetFillType(int type);
    int GetFillType() const;
    HRESULT SetFillMode(int mode);
    int GetFillMode() const;
    bool IsNoFill() const { return GetFillMode() == 0; }
    // The solid colour, or the gradient's first colour.
    HRESULT SetColor(COLORREF color);
    // The gradient's second colour; S_FALSE for other fill types.
    HRESULT SetColor2(COLORREF color);

    // Borrowed; null when it could not be created.
    FillObject* GetFill() const { return m_fill; }

private:
    FillObject* m_fill;
};
