// figsheet: draws every chemistry (178-209) and physics kind (78-168) as the
// player builds it, each in a cell with its number, and writes the sheet as
// a BMP file for review by eye.
//   figsheet <sheet.bmp>
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <memory>
#include <vector>

#include "VectorOwner.h"
#include "aCheMeta.h"
#include "aPhyMeta.h"
#include "aVecFrm.h"

namespace {

const int kCell = 120;
const int kColumns = 12;
const int U = 256;  // one unit in figure parameters

// Sizes most kinds read as lengths, radii and steps, in units: a figure of
// about 40 x 30 units.
void PhysicsParams(int kind, IntList& p) {
    const int values[] = {0, 0, 40 * U, 24 * U, 8 * U, 6 * U, 30 * U, 6 * U, 3, 4 * U};
    for (int i = 0; i < 10; ++i) p.Set(i, values[i]);
    switch (kind) {
        case 78:
            p.Set(2, 16 * U);
            p.Set(3, 10 * U);
            p.Set(4, 30 * U);
            break;
        case 79:
            p.Set(3, 8 * U);
            p.Set(4, 6 * U);
            break;
        case 80:
            p.Set(2, 40 * U);
            p.Set(3, 0);
            p.Set(4, 0);
            p.Set(5, -40 * U);
            p.Set(6, 6 * U);
            break;
        case 82:
            p.Set(3, 14 * U);
            break;
        case 85:
            p.Set(2, 8 * U);
            p.Set(3, 12 * U);
            p.Set(4, -30 * U);
            p.Set(5, 0);
            p.Set(6, 30 * U);
            p.Set(7, 0);
            p.Set(8, 3 * U);
            break;
        case 86:
            p.Set(2, 30 * U);
            p.Set(3, 0);
            p.Set(4, 0);
            p.Set(5, -30 * U);
            p.Set(6, -20 * U);
            p.Set(7, 20 * U);
            p.Set(8, 4 * U);
            p.Set(9, 2 * U);
            break;
        case 105:
            p.Set(2, 80 * 256 / 2);
            p.Set(3, 8 * U);
            break;
        case 123:
        case 124:
        case 125:
        case 126:
        case 133:
            p.Set(2, 16 * U);
            p.Set(3, 3 * U);
            p.Set(4, 2 * U);
            p.Set(5, 10 * U);
            p.Set(6, -10 * U);
            break;
        case 127:
        case 128:
            p.Set(2, 10 * U);
            p.Set(3, 12 * U);
            p.Set(4, 6 * U);
            p.Set(5, 3 * U);
            break;
        case 138:
        case 153:
            p.Set(2, 20 * U);
            p.Set(3, 14 * U);
            break;
        case 140:
            // A wave through four points.
            for (int i = 0; i < 8; ++i) {
                const int points[8] = {-20, 0, -7, -15, 7, 15, 20, 0};
                p.Set(2 + i, points[i] * U);
            }
            break;
        case 158:
        case 159:
        case 160:
        case 164:
            p.Set(2, 30 * U);
            p.Set(3, 20 * U);
            break;
        case 161:
        case 165:
            p.Set(2, 20 * U);
            p.Set(3, 6 * U);
            break;
        default:
            break;
    }
    // Figures drawn from a corner start there.
    if (kind == 83 || kind == 84 || (kind >= 87 && kind <= 104) || (kind >= 118 && kind <= 152)) {
        p.Set(0, -20 * U);
        p.Set(1, -12 * U);
    }
}

bool DrawKind(HDC dc, CentredOwner& owner, int kind, bool chemistry) {
    CVecFrame frame(&owner, VECFRAME_LENGTHS);
    CGraphMetaEx* m = chemistry ? static_cast<CGraphMetaEx*>(new CChemMeta(&owner))
                                : static_cast<CGraphMetaEx*>(new CPhysMeta(&owner));
    m->SetKind(kind);
    if (chemistry) {
        for (int v : {0, 20 * U, 36 * U, 40 * U, 14 * U, 12 * U}) m->Params1().Append(v);
    } else {
        PhysicsParams(kind, m->Params1());
    }
    m->SetFillType(0);
    m->SetFillMode(1);
    m->SetColor(RGB(150, 200, 240));
    m->AddHolder();
    m->SetColor(RGB(240, 190, 120));
    m->AddHolder();
    m->SetMainColor(RGB(30, 40, 60));
    frame.AddMeta(m, chemistry ? METATYPE_CHEM : METATYPE_PHYS);
    return SUCCEEDED(frame.DrawAll(dc));
}

bool WriteBmp(const char* path, int w, int h, const DWORD* bits) {
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = w;
    info.biHeight = -h;
    info.biPlanes = 1;
    info.biBitCount = 32;
    const DWORD size = (DWORD)w * (DWORD)h * 4;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + size;
    FILE* f = fopen(path, "wb");
    if (!f)
        return false;
    bool ok = fwrite(&file, sizeof(file), 1, f) == 1 && fwrite(&info, sizeof(info), 1, f) == 1 &&
              fwrite(bits, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: figsheet <sheet.bmp>\n");
        return 2;
    }
    const int chemRows = (32 + kColumns - 1) / kColumns;
    const int physRows = (77 + kColumns - 1) / kColumns;
    const int w = kColumns * kCell, h = (chemRows + physRows) * kCell + 2 * 24;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    DWORD* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp =
        CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    if (!dc || !bmp) {
        fprintf(stderr, "figsheet: no drawing surface\n");
        return 1;
    }
    HGDIOBJ old = SelectObject(dc, bmp);
    RECT all = {0, 0, w, h};
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    SetBkMode(dc, TRANSPARENT);
    std::vector<int> chemistry, physics;
    for (int k = 178; k <= 209; ++k) chemistry.push_back(k);
    for (int k = 78; k <= 168; ++k)
        if (CPhysMeta::IsPhysicsKind(k))
            physics.push_back(k);
    CentredOwner owner;
    int failed = 0, y0 = 0;
    for (int part = 0; part < 2; ++part) {
        const std::vector<int>& kinds = part == 0 ? chemistry : physics;
        const char* title = part == 0 ? "Chemistry 178-209" : "Physics 78-168";
        TextOutA(dc, 6, y0 + 4, title, (int)strlen(title));
        y0 += 24;
        for (size_t i = 0; i < kinds.size(); ++i) {
            const int cx = (int)(i % kColumns) * kCell, cy = y0 + (int)(i / kColumns) * kCell;
            RECT cell = {cx, cy, cx + kCell, cy + kCell};
            FrameRect(dc, &cell, (HBRUSH)GetStockObject(LTGRAY_BRUSH));
            char label[16];
            snprintf(label, sizeof(label), "%d", kinds[i]);
            TextOutA(dc, cx + 4, cy + 2, label, (int)strlen(label));
            // The figure sits in the middle of its cell, under its number.
            owner.centre = POINT{cx + kCell / 2, cy + kCell / 2 + 8};
            owner.rect = RECT{owner.centre.x - kCell / 2, owner.centre.y - kCell / 2 + 14,
                              owner.centre.x + kCell / 2, owner.centre.y + kCell / 2};
            if (!DrawKind(dc, owner, kinds[i], part == 0))
                ++failed;
        }
        y0 += (int)((kinds.size() + kColumns - 1) / kColumns) * kCell;
    }
    GdiFlush();
    // GDI leaves the alpha byte 0: the sheet is opaque.
    for (int i = 0; i < w * h; ++i) bits[i] |= 0xFF000000u;
    const bool written = WriteBmp(argv[1], w, h, bits);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    printf("figsheet: %d chemistry and %d physics kinds drawn, %d failed; %s\n",
           (int)chemistry.size(), (int)physics.size(), failed, written ? argv[1] : "not written");
    return written && failed == 0 ? 0 : 1;
}
