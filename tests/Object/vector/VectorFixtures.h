// A white 32-bit drawing surface, and a frame owner whose metas are relative
// to a centre, for the vector shapes' tests.
#pragma once

#include <windows.h>

#include "VectorOwner.h"
#include "aVecFrm.h"

class WhiteSurface {
public:
    WhiteSurface(int w, int h) : m_w(w), m_h(h) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        m_dc = CreateCompatibleDC(nullptr);
        m_bmp = CreateDIBSection(m_dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits),
                                 nullptr, 0);
        m_old = SelectObject(m_dc, m_bmp);
        for (int i = 0; i < w * h; ++i) m_bits[i] = 0xFFFFFF;
    }
    ~WhiteSurface() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bmp);
        DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    // As a COLORREF.
    COLORREF At(int x, int y) const {
        GdiFlush();
        const DWORD v = m_bits[y * m_w + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }

private:
    int m_w, m_h;
    HDC m_dc;
    HBITMAP m_bmp;
    HGDIOBJ m_old;
    DWORD* m_bits = nullptr;
};

// Centred in a 200 x 200 area, hit everywhere.
class FakeOwner : public CentredOwner {
public:
    FakeOwner() {
        centre = POINT{100, 100};
        rect = RECT{0, 0, 200, 200};
        hitAnswer = S_OK;
    }
};
