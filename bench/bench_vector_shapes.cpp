// Draw-board shapes against plain GDI, in the same run: 2,000 metas of a
// board (rectangles, ellipses and unsmoothed lines, every other one filled
// with a solid colour) redrawn into a 1920 x 1080 GDI buffer, against
// drawing the same shapes with GDI directly, a pen and a brush made for each
// (goal 2 x). The same board with smoothed lines is reported beside it.
#include "BenchClock.h"
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <vector>

#include "ObjectDoubles.h"
#include "aGDIBuf.h"
#include "adrwObj.h"
#include "bLinStyl.h"

namespace {

const int kShapes = 2000, kWidth = 1920, kHeight = 1080;

struct Shape {
    int kind;  // 0 rectangle, 1 ellipse, 2 line
    RECT r;
    COLORREF line, fill;
    bool filled;
};

std::vector<Shape> MakeShapes() {
    std::vector<Shape> shapes;
    unsigned seed = 2026;
    auto next = [&](int n) {
        seed = seed * 1103515245u + 12345u;
        return (int)((seed >> 8) % (unsigned)n);
    };
    for (int i = 0; i < kShapes; ++i) {
        Shape s;
        s.kind = i % 3;
        const int x = next(kWidth - 200), y = next(kHeight - 150);
        s.r = {x, y, x + 20 + next(180), y + 20 + next(130)};
        s.line = RGB(next(256), next(256), next(256));
        s.fill = RGB(next(256), next(256), next(256));
        s.filled = s.kind != 2 && (i / 3) % 2 == 0;
        shapes.push_back(s);
    }
    return shapes;
}

DrawBoardObject* MakeBoard(TestPlayerSite& site, const std::vector<Shape>& shapes, bool smooth) {
    IUnknown* unknown = nullptr;
    if (FAILED(CreateDrawBoardObject(&unknown)) || !unknown)
        return nullptr;
    IObjectBase* base = nullptr;
    unknown->QueryInterface(__uuidof(IObjectBase), reinterpret_cast<void**>(&base));
    unknown->Release();
    base->SetEventSite(&site);
    DrawBoardObject* b = static_cast<DrawBoardObject*>(base);
    b->SetWidth(kWidth);
    b->SetHeight(kHeight);
    b->MoveTo(kWidth / 2, kHeight / 2);
    b->SetUpdateMode(0);
    b->SetLineStyle(1);
    b->Env()->line.Get()->SetSmooth(smooth ? 1 : 0);
    for (const Shape& s : shapes) {
        b->SetLineColor((LONG)s.line);
        b->SetFillType(s.filled ? 1 : 0);
        if (s.filled)
            b->SetFillColor((LONG)s.fill);
        if (s.kind == 0)
            b->DrawRect(s.r.left, s.r.top, s.r.right, s.r.bottom);
        else if (s.kind == 1)
            b->DrawEllipse(s.r.left, s.r.top, s.r.right, s.r.bottom);
        else
            b->DrawLine(s.r.left, s.r.top, s.r.right, s.r.bottom);
    }
    return b;
}

// The same shapes as a program would draw them with GDI.
void PlainGdi(HDC dc, const std::vector<Shape>& shapes) {
    for (const Shape& s : shapes) {
        HPEN pen = CreatePen(PS_SOLID, 1, s.line);
        HBRUSH brush = s.filled ? CreateSolidBrush(s.fill) : nullptr;
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, brush ? brush : GetStockObject(NULL_BRUSH));
        if (s.kind == 0) {
            Rectangle(dc, s.r.left, s.r.top, s.r.right, s.r.bottom);
        } else if (s.kind == 1) {
            Ellipse(dc, s.r.left, s.r.top, s.r.right, s.r.bottom);
        } else {
            MoveToEx(dc, s.r.left, s.r.top, nullptr);
            LineTo(dc, s.r.right, s.r.bottom);
        }
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(pen);
        if (brush)
            DeleteObject(brush);
    }
}

}  // namespace

int main() {
    CoInitialize(nullptr);
    TestPlayerSite site;
    const std::vector<Shape> shapes = MakeShapes();
    IPixelBuffer* target = CreateGDIBuffer(kWidth, kHeight);
    DrawBoardObject* board = MakeBoard(site, shapes, false);
    DrawBoardObject* smooth = MakeBoard(site, shapes, true);
    if (!target || !board || !smooth) {
        printf("buffer or boards not made\n");
        return 1;
    }

    // Alternating, the fastest of each.
    double plain = 1e30, drawn = 1e30, smoothed = 1e30;
    for (int round = 0; round < 5; ++round) {
        plain = std::min(plain, FastestRun(
                                    [&] {
                                        // The buffer's DC is lent one caller at a time.
                                        HDC dc = nullptr;
                                        target->GetDC(&dc);
                                        PlainGdi(dc, shapes);
                                        target->ReleaseDC(dc);
                                    },
                                    1));
        drawn = std::min(drawn, FastestRun([&] { board->Draw(target); }, 1));
        smoothed = std::min(smoothed, FastestRun([&] { smooth->Draw(target); }, 1));
    }
    printf("%d board shapes (rectangles, ellipses, lines, half filled) into %d x %d:\n", kShapes,
           kWidth, kHeight);
    printf("  board %.2f ms, plain GDI %.2f ms: ratio %.2f, goal 2\n", drawn * 1000, plain * 1000,
           drawn / plain);
    printf("  smoothed lines %.2f ms: ratio %.2f to plain GDI (reported)\n", smoothed * 1000,
           smoothed / plain);
    static_cast<IObjectBase*>(board)->Release();
    static_cast<IObjectBase*>(smooth)->Release();
    target->Release();
    CoUninitialize();
    return 0;
}
