// LineStyle: the outline part of a vector shape and of the drawing settings,
// holding one line style object; adds the width hit tests and bounds count
// and the line types a shape kind can take.
#pragma once

#include <windows.h>

struct ITeskStream;
struct LineStyleObject;

class LineStyle {
public:
    LineStyle();
    ~LineStyle();
    LineStyle(const LineStyle&) = delete;
    LineStyle& operator=(const LineStyle&) = delete;

    HRESULT Duplicate(const LineStyle& other);
    // Duplicate, then a doubled line (6) is kept only for graph kinds 0, 2,
    // 3 and 6, a border (7) only for 0, 1, 2 and 7; otherwise the type
    // becomes solid. Kind -1 keeps every type.
    HRESULT DuplicateForKind(const LineStyle& other, int kind);
    static HRESULT Interpolate(const LineStyle& a, const LineStyle& b, LineStyle* out, float x);

    int GetLineType() const;
    HRESULT SetLineType(int type);
    HRESULT SetLineCode(WORD code);
    HRESULT SetLineWidth(WORD width);
    HRESULT SetMainColor(COLORREF color);
    // The width a hit test or bound counts: twice the width for a doubled
    // line.
    int GetEffectiveWidth() const;

    // The line style object's 48-byte record; a short one is refused, the
    // style unchanged.
    HRESULT LoadLineMode(ITeskStream* stream);
    HRESULT SaveLineMode(ITeskStream* stream);

    // Borrowed; null when it could not be created.
    LineStyleObject* Get() const { return m_style; }

private:
    LineStyleObject* m_style;
};
