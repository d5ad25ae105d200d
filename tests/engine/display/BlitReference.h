// A deliberately plain blit, written pixel by pixel from the formulas of the
// buffers' blit contract, against which the engine's kernels are checked.
// No tables, no rows, no shortcuts: every destination pixel is computed on
// its own.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <utility>
#include <vector>

namespace ref {

struct Image {
    BYTE* base;  // pixel (x, y) at base + y * pitch + 4 * x
    int width, height, pitch;
    uint32_t Get(int x, int y) const {
        return *reinterpret_cast<const uint32_t*>(base + (ptrdiff_t)y * pitch + 4 * x);
    }
    void Set(int x, int y, uint32_t v) {
        *reinterpret_cast<uint32_t*>(base + (ptrdiff_t)y * pitch + 4 * x) = v;
    }
};

// How the source is drawn (its own switches) and where its offsets put it.
struct Source {
    Image image;
    int offsetX = 0, offsetY = 0;
    bool colorKey = false, constAlpha = false, pixelAlpha = false;
    int alpha = 0;
    uint32_t keyLow = 0, keyHigh = 0;
};

struct Sample {
    int index, weight;
};

// Destination pixel i samples source index s = i * (ns / nd) summed step by
// step, weight (1 - frac) * 1024; the last source pixel is taken whole.
inline std::vector<Sample> StretchTable(int ns, int nd) {
    std::vector<Sample> t(nd);
    if (ns == nd) {
        for (int i = 0; i < nd; ++i) t[i] = {i, 1024};
        return t;
    }
    const double step = (double)ns / nd;
    double s = 0.0;
    for (int i = 0; i < nd; ++i) {
        int index = (int)s;
        int weight = (int)((1.0 - (s - index)) * 1024.0);
        if (index == ns - 1)
            weight = 1024;
        t[i] = {index, weight};
        s += step;
    }
    return t;
}

inline int Byte(uint32_t v, int n) {
    return (int)((v >> (8 * n)) & 0xFF);
}

inline bool Keyed(uint32_t s, uint32_t lo, uint32_t hi) {
    for (int n = 0; n < 3; ++n)
        if (Byte(s, n) < Byte(lo, n) || Byte(s, n) > Byte(hi, n))
            return false;
    return true;
}

// The family rule for one pixel; false when the pixel is left alone.
inline bool Rule(int family, uint32_t d, uint32_t s, const Source& src, uint32_t* out) {
    const bool key = family & 1, constant = family & 2, pixel = family & 4;
    if (key && Keyed(s, src.keyLow, src.keyHigh))
        return false;
    if (!constant && !pixel) {
        *out = s;
        return true;
    }
    int A = Byte(s, 3);
    if (pixel && A == 0)
        return false;
    if (pixel && !constant && A == 255) {
        *out = s;
        return true;
    }
    uint32_t v = 0xFF000000u;
    for (int n = 0; n < 3; ++n) {
        const int dc = Byte(d, n), sc = Byte(s, n);
        int c;
        if (constant && !pixel)
            c = (255 * dc + src.alpha * (sc - dc) + 128) >> 8;
        else if (pixel && !constant)
            c = (256 * dc + A * (sc - dc) + 128) >> 8;
        else
            c = (255 * dc + ((src.alpha * A) >> 8) * (sc - dc) + 128) >> 8;
        v |= (uint32_t)c << (8 * n);
    }
    *out = v;
    return true;
}

inline uint32_t Lerp2(uint32_t p0, uint32_t p1, int w) {
    uint32_t v = 0;
    for (int n = 0; n < 4; ++n)
        v |= (uint32_t)((w * Byte(p0, n) + (1024 - w) * Byte(p1, n)) / 1024) << (8 * n);
    return v;
}

inline uint32_t Lerp4(uint32_t p00, uint32_t p01, uint32_t p10, uint32_t p11, int wx, int wy) {
    uint32_t v = 0;
    for (int n = 0; n < 4; ++n) {
        const long long sum = (long long)wy * wx * Byte(p00, n) +
                              (long long)wy * (1024 - wx) * Byte(p01, n) +
                              (long long)(1024 - wy) * wx * Byte(p10, n) +
                              (long long)(1024 - wy) * (1024 - wx) * Byte(p11, n);
        v |= (uint32_t)(sum / (1 << 20)) << (8 * n);
    }
    return v;
}

// The clip: destination first against its buffer, then the source against
// its own, each cut shortening the other rectangle by the same share.
inline bool Clip(long long& dl, long long& dr, long long& sl, long long& sr, long long dLimit,
                 long long sLimit, bool flip) {
    const double k = (double)(dr - dl) / (double)(sr - sl);
    if (dl < 0) {
        long long c = (long long)((double)(0 - dl) / k);
        dl = 0;
        (flip ? sr : sl) += flip ? -c : c;
        if (dr - dl <= 0 || sr - sl <= 0)
            return false;
    }
    if (dr > dLimit) {
        long long c = (long long)((double)(dr - dLimit) / k);
        dr = dLimit;
        (flip ? sl : sr) += flip ? c : -c;
        if (dr - dl <= 0 || sr - sl <= 0)
            return false;
    }
    if (sl < 0) {
        long long c = (long long)((double)(0 - sl) * k);
        sl = 0;
        (flip ? dr : dl) += flip ? -c : c;
        if (dr - dl <= 0 || sr - sl <= 0)
            return false;
    }
    if (sr > sLimit) {
        long long c = (long long)((double)(sr - sLimit) * k);
        sr = sLimit;
        (flip ? dl : dr) += flip ? c : -c;
    }
    return dr - dl > 0 && sr - sl > 0;
}

// The whole blit into dst (own offset dox, doy). Returns the blit code, or
// -1 when nothing is drawn before clipping.
inline int Blit(Image& dst, int dox, int doy, RECT dest, const Source& src, RECT sr) {
    if (dest.right <= dest.left || dest.bottom <= dest.top)
        return -1;
    bool hflip = false, vflip = false;
    long long sl = sr.left, srr = sr.right, st = sr.top, sb = sr.bottom;
    if (sb < st)
        std::swap(sb, st), vflip = true;
    if (srr < sl)
        std::swap(srr, sl), hflip = true;
    long long dl = dest.left, dr = dest.right, dt = dest.top, db = dest.bottom;
    if (srr == sl || sb == st)
        return -1;
    int code = 0;
    if (src.colorKey)
        code |= 32;
    if (src.constAlpha) {
        if (src.alpha == 0)
            return -1;
        if (src.alpha != 255)
            code |= 64;
    }
    if (vflip)
        code |= 1;
    if (hflip)
        code |= 2;
    if (srr - sl != dr - dl)
        code |= 4;
    if (sb - st != db - dt)
        code |= 8;
    if (src.pixelAlpha)
        code |= 128;

    sl += src.offsetX, srr += src.offsetX, st += src.offsetY, sb += src.offsetY;
    dl += dox, dr += dox, dt += doy, db += doy;
    if (!Clip(dl, dr, sl, srr, dst.width, src.image.width, hflip))
        return code;
    if (!Clip(dt, db, st, sb, dst.height, src.image.height, vflip))
        return code;

    const int ws = (int)(srr - sl), hs = (int)(sb - st), wd = (int)(dr - dl), hd = (int)(db - dt);
    const int family = code >> 5;
    // Variant of the low bits; a stretch in one axis with a mirror takes the
    // four-tap mirrored walk in every family.
    static const int kVariant[16] = {0, 1, 2, 3, 4, 7, 8, 9, 5, 7, 8, 9, 6, 7, 8, 9};
    const int v = kVariant[code & 15];
    const bool vm = v == 1 || v == 3 || v == 7 || v == 9, hm = v == 2 || v == 3 || v == 8 || v == 9;
    const bool pixel = family & 4;
    const Image& S = src.image;
    auto at = [&](int x, int y) { return S.Get((int)sl + x, (int)st + y); };
    auto xOk = [&](int x) { return sl + x < S.width; };  // inside the source buffer
    auto yOk = [&](int y) { return st + y < S.height; };
    auto zero = [](uint32_t p) { return (p >> 24) == 0; };
    const std::vector<Sample> cols = StretchTable(ws, wd), rows = StretchTable(hs, hd);

    for (int i = 0; i < hd; ++i) {
        for (int j = 0; j < wd; ++j) {
            uint32_t s;
            bool skip = false;
            if (v <= 3) {
                s = at(hm ? wd - 1 - j : j, vm ? hd - 1 - i : i);
            } else if (v == 4) {
                const int c = cols[j].index;
                const bool n = ws > 1 && xOk(c + 1);
                const uint32_t p0 = at(c, i), p1 = n ? at(c + 1, i) : p0;
                s = Lerp2(p0, p1, cols[j].weight);
                skip = pixel && (zero(p0) || (n && zero(p1)));
            } else if (v == 5) {
                const int r = rows[i].index;
                const bool n = hs > 1 && yOk(r + 1);
                const uint32_t p0 = at(j, r), p1 = n ? at(j, r + 1) : p0;
                s = Lerp2(p0, p1, rows[i].weight);
                skip = pixel && (zero(p0) || (n && zero(p1)));
            } else {
                // Destination (i, j) shows sample (si, sj) of the mirrored walk.
                const int si = vm ? hd - 1 - i : i, sj = hm ? wd - 1 - j : j;
                const int r = rows[si].index, c = cols[sj].index;
                const bool nx = xOk(c + 1), ny = yOk(r + 1);
                const uint32_t p00 = at(c, r), p01 = nx ? at(c + 1, r) : p00,
                               p10 = ny ? at(c, r + 1) : p00,
                               p11 = nx && ny ? at(c + 1, r + 1) : p00;
                s = Lerp4(p00, p01, p10, p11, cols[sj].weight, rows[si].weight);
                skip = pixel && (zero(p00) || (nx && zero(p01)) || (ny && zero(p10)) ||
                                 (nx && ny && zero(p11)));
            }
            if (skip)
                continue;
            const int x = (int)dl + j, y = (int)dt + i;
            uint32_t out;
            if (Rule(family, dst.Get(x, y), s, src, &out))
                dst.Set(x, y, out);
        }
    }
    return code;
}

}  // namespace ref
