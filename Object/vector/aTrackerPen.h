// The pen a vector object's tracker is drawn with: red dots, XOR-ed onto
// the DC so that drawing it twice takes it away. The DC's state comes back
// when the scope ends.
#pragma once

#include <windows.h>

class CTrackerPen {
public:
    CTrackerPen(HDC dc, int width) : m_dc(dc), m_pen(CreatePen(PS_DOT, width, RGB(255, 0, 0))) {
        if (!m_pen)
            return;
        m_saved = SaveDC(dc);
        SelectObject(dc, m_pen);
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        SetROP2(dc, R2_XORPEN);
    }
    ~CTrackerPen() { Finish(); }
    CTrackerPen(const CTrackerPen&) = delete;
    CTrackerPen& operator=(const CTrackerPen&) = delete;

    // False when the pen could not be made: nothing was changed then.
    bool IsReady() const { return m_pen != nullptr; }
    // Puts the DC back and frees the pen; false when the pen would not go.
    bool Finish() {
        if (!m_pen)
            return true;
        RestoreDC(m_dc, m_saved);
        const bool deleted = DeleteObject(m_pen) != FALSE;
        m_pen = nullptr;
        return deleted;
    }

private:
    HDC m_dc;
    HPEN m_pen;
    int m_saved = 0;
};
