// The gradient fill (fill type 1): a blend of two colours along a weight
// ramp laid out by one of seven profiles over the fill's bounds.
#pragma once

#include <windows.h>

#include <vector>

#include "bFillShd.h"

// Gradient profiles.
enum GradientType {
    GRAD_HORIZONTAL = 0,
    GRAD_VERTICAL = 1,
    GRAD_BOX = 2,
    GRAD_CORNERS = 3,
    GRAD_CORNER = 4,
    GRAD_RADIAL = 5,
    GRAD_ANGULAR = 6
};

// Parameter interface of the gradient fill (GetFillParams of a type-1 fill).
struct IGradientFillParams {
    STDMETHOD(SetGradType)(int type) = 0;       // 0
    STDMETHOD(GetGradType)(int* type) = 0;      // 1
    STDMETHOD(SetColor1)(COLORREF color) = 0;   // 2
    STDMETHOD(GetColor1)(COLORREF* color) = 0;  // 3
    STDMETHOD(SetColor2)(COLORREF color) = 0;   // 4
    STDMETHOD(GetColor2)(COLORREF* color) = 0;  // 5
    STDMETHOD(SetRepeat)(int repeat) = 0;       // 6
    STDMETHOD(GetRepeat)(int* repeat) = 0;      // 7
    STDMETHOD(SetBalance)(int balance) = 0;     // 8
    STDMETHOD(GetBalance)(int* balance) = 0;    // 9
    STDMETHOD(SetOffset)(int offset) = 0;       // 10
    STDMETHOD(GetOffset)(int* offset) = 0;      // 11
};

// The weight ramp of repeat periods over a bounds whose larger side is
// `longest` (repeat 1..20 and balance -100..100 already clamped), as a
// function of the entry: nothing is stored, whatever the size.
class GradientRamp {
public:
    GradientRamp(int repeat, int balance, int offset, long long longest);
    long long Size() const { return m_repeat * m_period; }
    // The weight (0..255) of entry 0..Size()-1.
    int Weight(long long index) const;

private:
    long long m_repeat;
    int m_balance;
    int m_offset;
    long long m_period;
    long long m_rising;
    long long m_falling;
    long long m_start;
};

// The weight ramp (0..255 per entry) of repeat periods over a bounds whose
// larger side is `longest`; repeat 1..20 and balance -100..100 already
// clamped. Positions are taken modulo the period, whatever the offset.
void BuildGradientRamp(int repeat, int balance, int offset, int longest, std::vector<int>& ramp);
