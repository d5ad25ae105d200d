// SSE2 forms of the kernels. Each destination row is produced in two steps:
// the variant's walk gives a line of source colours (a source row, its
// mirror, or the stretch samples), then the family's rule is applied to the
// destination row four pixels at a time. The arithmetic is the same integer
// arithmetic as the plain kernels, so both give the same bytes. Where the
// processor has AVX2, the per-pixel alpha rule and the stretch samples
// across (two and four taps) take their AVX2 forms.
#include "aKernelsVector.h"

#include <string.h>

#include "aKernelsAvx2.h"

#include <new>

#if defined(__x86_64__) || defined(__i386__)

#if defined(__i386__)
// Only this file uses SSE2 on 32-bit builds; its entry realigns the stack,
// which Windows keeps at 4 bytes there.
#pragma GCC target("sse2")
#define VECTOR_ENTRY __attribute__((force_align_arg_pointer))
#else
#define VECTOR_ENTRY
#endif

#include <emmintrin.h>

#include "aKernelsImpl.h"

namespace {

bool g_avx2Enabled = true;
const bool g_avx2Available = CpuHasAvx2();

inline bool UseAvx2() {
    return g_avx2Enabled && g_avx2Available;
}

template <class T>
struct HeapArray {
    T* p;
    explicit HeapArray(int n) : p(n > 0 ? new (std::nothrow) T[n] : nullptr) {}
    HeapArray(const HeapArray&) = delete;
    HeapArray& operator=(const HeapArray&) = delete;
    ~HeapArray() { delete[] p; }
};

inline __m128i Load4(const DWORD* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store4(DWORD* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Weight pair (w, 1024 - w) in every 32-bit lane, for _mm_madd_epi16.
inline __m128i WeightPair(int w) {
    return _mm_set1_epi32(w | ((1024 - w) << 16));
}

// Four 32-bit channel values (0..255) of two pixels into two packed pixels.
inline __m128i PackTwo(__m128i a, __m128i b) {
    const __m128i words = _mm_packs_epi32(a, b);
    return _mm_packus_epi16(words, words);
}

// d[n-1-j] = s[j]
void ReverseRow(DWORD* d, const DWORD* s, int n) {
    int j = 0;
    for (; j + 4 <= n; j += 4) Store4(d + n - 4 - j, _mm_shuffle_epi32(Load4(s + j), 0x1B));
    for (; j < n; ++j) d[n - 1 - j] = s[j];
}

typedef void (*RowOp)(DWORD* d, const DWORD* s, int n, const PixelRuleCtx& c);

// The rule of family F over one row, source line s onto destination row d.
// Per channel, with D = d * 256 + 128 built by interleaving bytes:
//   constant alpha:        (d * (255 - a) + s * a + 128) >> 8
//   per-pixel alpha:       (D + w * (s - d)) >> 8, w = A, or 256 for A = 255
//   both:                  (D - d + e * (s - d)) >> 8, e = (a * A) >> 8
// The true sums lie in 0..65535, so 16-bit lanes that wrap give them exactly.
template <int F>
void RowRule(DWORD* d, const DWORD* s, int n, const PixelRuleCtx& c) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi32(-1);
    const __m128i topByte = _mm_set1_epi32((int)0xFF000000);
    // The top byte is ignored by the key test: make it always in range.
    const __m128i keyLo = _mm_set1_epi32((int)(c.keyLow & 0x00FFFFFF));
    const __m128i keyHi = _mm_set1_epi32((int)(c.keyHigh | 0xFF000000));
    const __m128i round = _mm_set1_epi16(128);
    const __m128i roundBytes = _mm_set1_epi8((char)0x80);
    const __m128i constA = _mm_set1_epi16((short)c.alpha);
    const __m128i constInv = _mm_set1_epi16((short)(255 - c.alpha));
    const __m128i constA32 = _mm_set1_epi32(c.alpha);
    const __m128i one32 = _mm_set1_epi32(1);
    int j = 0;
    for (; j + 4 <= n; j += 4) {
        const __m128i sv = Load4(s + j);
        __m128i keep = ones;
        if (F & FAM_KEY) {
            const __m128i inRange = _mm_and_si128(_mm_cmpeq_epi8(_mm_max_epu8(sv, keyLo), sv),
                                                  _mm_cmpeq_epi8(_mm_min_epu8(sv, keyHi), sv));
            keep = _mm_xor_si128(_mm_cmpeq_epi32(inRange, ones), ones);
        }
        __m128i alpha32 = zero;
        if (F & FAM_PIXEL) {
            alpha32 = _mm_srli_epi32(sv, 24);
            keep = _mm_andnot_si128(_mm_cmpeq_epi32(alpha32, zero), keep);
        }
        const int keepBits = _mm_movemask_epi8(keep);
        if (keepBits == 0)
            continue;

        __m128i out = sv;
        if (F & (FAM_CONST | FAM_PIXEL)) {
            const __m128i dv = Load4(d + j);
            const __m128i sLo = _mm_unpacklo_epi8(sv, zero), sHi = _mm_unpackhi_epi8(sv, zero);
            const __m128i dLo = _mm_unpacklo_epi8(dv, zero), dHi = _mm_unpackhi_epi8(dv, zero);
            __m128i rLo, rHi;
            if (!(F & FAM_PIXEL)) {
                rLo = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(dLo, constInv),
                                                                 _mm_mullo_epi16(sLo, constA)),
                                                   round),
                                     8);
                rHi = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(dHi, constInv),
                                                                 _mm_mullo_epi16(sHi, constA)),
                                                   round),
                                     8);
            } else {
                // The weight of each pixel, then in all four of its channel lanes.
                __m128i w32;
                if (F & FAM_CONST)
                    w32 = _mm_srli_epi32(_mm_mullo_epi16(alpha32, constA32), 8);
                else
                    w32 = _mm_add_epi32(alpha32, _mm_srli_epi32(_mm_add_epi32(alpha32, one32), 8));
                const __m128i w16 = _mm_or_si128(w32, _mm_slli_epi32(w32, 16));
                const __m128i wLo = _mm_unpacklo_epi32(w16, w16),
                              wHi = _mm_unpackhi_epi32(w16, w16);
                __m128i sumLo = _mm_add_epi16(_mm_unpacklo_epi8(roundBytes, dv),
                                              _mm_mullo_epi16(_mm_sub_epi16(sLo, dLo), wLo));
                __m128i sumHi = _mm_add_epi16(_mm_unpackhi_epi8(roundBytes, dv),
                                              _mm_mullo_epi16(_mm_sub_epi16(sHi, dHi), wHi));
                if (F & FAM_CONST) {
                    sumLo = _mm_sub_epi16(sumLo, dLo);
                    sumHi = _mm_sub_epi16(sumHi, dHi);
                }
                rLo = _mm_srli_epi16(sumLo, 8);
                rHi = _mm_srli_epi16(sumHi, 8);
            }
            out = _mm_or_si128(_mm_packus_epi16(rLo, rHi), topByte);
            if (keepBits != 0xFFFF)
                out = _mm_or_si128(_mm_and_si128(keep, out), _mm_andnot_si128(keep, dv));
        } else if (keepBits != 0xFFFF) {
            out = _mm_or_si128(_mm_and_si128(keep, out), _mm_andnot_si128(keep, Load4(d + j)));
        }
        Store4(d + j, out);
    }
    for (; j < n; ++j) PutPixel<F>(d + j, s[j], c);
}

// Four pixels of the per-pixel alpha rule, exact for every alpha: the
// channels stay in place, blue and red in the low bytes of 16-bit lanes,
// green and alpha (shifted down) in the others, so each pixel's weight
// serves both halves of it and one multiply covers eight channels. In each
// lane (d * 256 + 128 + w * (s - d)) lies in 0..65408, so the wrapping
// 16-bit sum is the true sum. A transparent pixel gets weight 0, which gives
// back d in every byte (0xFF goes only where A is not 0); A = 255 gets
// weight 256, which gives back s.
struct PixelAlphaConsts {
    __m128i low, high, round, top, zero;
    // Written out: a generated constructor would miss this file's SSE2 target.
    PixelAlphaConsts()
        : low(_mm_set1_epi16(0x00FF)),
          high(_mm_set1_epi16((short)0xFF00)),
          round(_mm_set1_epi16(0x80)),
          top(_mm_set1_epi32((int)0xFF000000)),
          zero(_mm_setzero_si128()) {}
};

inline __m128i PixelAlphaFour(__m128i sv, __m128i dv, const PixelAlphaConsts& k) {
    const __m128i sAG = _mm_srli_epi16(sv, 8), dAG = _mm_srli_epi16(dv, 8);
    // w = A, or 256 for A = 255, in both 16-bit halves of its pixel.
    const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sAG, 0xF5), 0xF5);
    const __m128i w = _mm_sub_epi16(a, _mm_cmpeq_epi16(a, k.low));
    const __m128i top = _mm_andnot_si128(_mm_cmpeq_epi16(a, k.zero), k.top);
    const __m128i rb = _mm_add_epi16(
        _mm_or_si128(_mm_slli_epi16(dv, 8), k.round),
        _mm_mullo_epi16(_mm_sub_epi16(_mm_and_si128(sv, k.low), _mm_and_si128(dv, k.low)), w));
    const __m128i ag = _mm_add_epi16(_mm_or_si128(_mm_and_si128(dv, k.high), k.round),
                                     _mm_mullo_epi16(_mm_sub_epi16(sAG, dAG), w));
    return _mm_or_si128(_mm_or_si128(_mm_srli_epi16(rb, 8), _mm_and_si128(ag, k.high)), top);
}

// Per-pixel alpha alone, the most used blend. Runs of fully transparent or
// fully opaque pixels (the inside and outside of a cut-out picture) are
// skipped or copied eight at a time. The sign bits of the eight alpha bytes
// pick those runs out with one test, so that pixels of mixed alpha pay
// little for it.
inline __attribute__((always_inline)) void PixelAlphaRow(DWORD* d, const DWORD* s, int n,
                                                         const PixelAlphaConsts& k) {
    int j = 0;
    for (; j + 8 <= n; j += 8) {
        const __m128i a = Load4(s + j), b = Load4(s + j + 4);
        const int signs =
            _mm_movemask_ps(_mm_castsi128_ps(a)) | (_mm_movemask_ps(_mm_castsi128_ps(b)) << 4);
        if (((signs + 1) & 0xFE) == 0) {  // all eight below 128, or all at or above
            // Alpha bytes are bits 3, 7, 11 and 15 of each mask.
            if (signs == 0) {
                if ((_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(a, b), k.zero)) & 0x8888) ==
                    0x8888)
                    continue;
            } else if ((_mm_movemask_epi8(
                            _mm_cmpeq_epi8(_mm_and_si128(a, b), _mm_cmpeq_epi8(a, a))) &
                        0x8888) == 0x8888) {
                Store4(d + j, a);
                Store4(d + j + 4, b);
                continue;
            }
        }
        Store4(d + j, PixelAlphaFour(a, Load4(d + j), k));
        Store4(d + j + 4, PixelAlphaFour(b, Load4(d + j + 4), k));
    }
    if (j + 4 <= n) {
        Store4(d + j, PixelAlphaFour(Load4(s + j), Load4(d + j), k));
        j += 4;
    }
    if (j < n) {
        // The last one to three pixels through the same rule, so that no
        // byte beyond the row is read or written.
        DWORD sb[4] = {0, 0, 0, 0}, db[4] = {0, 0, 0, 0};
        const int rest = n - j;
        for (int i = 0; i < rest; ++i) sb[i] = s[j + i], db[i] = d[j + i];
        Store4(db, PixelAlphaFour(Load4(sb), Load4(db), k));
        for (int i = 0; i < rest; ++i) d[j + i] = db[i];
    }
}

void RowRulePixelAlpha(DWORD* d, const DWORD* s, int n, const PixelRuleCtx&) {
    if (UseAvx2()) {
        PixelAlphaRowAvx2(d, s, n);
        return;
    }
    const PixelAlphaConsts k;
    PixelAlphaRow(d, s, n, k);
}

const RowOp kRowRules[8] = {RowRule<0>,        RowRule<1>, RowRule<2>, RowRule<3>,
                            RowRulePixelAlpha, RowRule<5>, RowRule<6>, RowRule<7>};

// Two taps across one row: out[j] from row[c] and its neighbour.
void SampleAcross(DWORD* out, const DWORD* row, const StretchTable& cols, int wd, int spanX,
                  bool single) {
    const __m128i zero = _mm_setzero_si128();
    __m128i r[2];
    int k = 0;
    for (int j = 0; j < wd; ++j) {
        const int c = cols[j].index;
        const int c1 = (!single && c + 1 < spanX) ? c + 1 : c;
        const __m128i p = _mm_unpacklo_epi8(
            _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)row[c]), _mm_cvtsi32_si128((int)row[c1])),
            zero);
        r[k++] = _mm_srli_epi32(_mm_madd_epi16(p, WeightPair(cols[j].weight)), 10);
        if (k == 2) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + j - 1), PackTwo(r[0], r[1]));
            k = 0;
        }
    }
    if (k)
        out[wd - 1] = (DWORD)_mm_cvtsi128_si32(PackTwo(r[0], r[0]));
}

// Two taps down: out[j] from row0[j] and row1[j] with the row weight.
void SampleDown(DWORD* out, const DWORD* row0, const DWORD* row1, int w, int weight) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i wp = WeightPair(weight);
    int j = 0;
    for (; j + 4 <= w; j += 4) {
        const __m128i a = Load4(row0 + j), b = Load4(row1 + j);
        const __m128i lo = _mm_unpacklo_epi8(a, b), hi = _mm_unpackhi_epi8(a, b);
        const __m128i r0 = _mm_srli_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), wp), 10);
        const __m128i r1 = _mm_srli_epi32(_mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), wp), 10);
        const __m128i r2 = _mm_srli_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), wp), 10);
        const __m128i r3 = _mm_srli_epi32(_mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), wp), 10);
        Store4(out + j, _mm_packus_epi16(_mm_packs_epi32(r0, r1), _mm_packs_epi32(r2, r3)));
    }
    for (; j < w; ++j) out[j] = Lerp2(row0[j], row1[j], weight);
}

// Vertical half of the four taps: for each source column the row blend
// V = wy*P(r) + (1024 - wy)*P(r+1) per channel (18 bits), split as V >> 10
// and V & 1023 so that the horizontal half fits _mm_madd_epi16:
// four taps = (wx*V(c) + (1024 - wx)*V(c+1)) >> 20, exactly. Each column c
// is stored with its neighbour's values already interleaved (two vectors:
// the high parts of c and c+1, then the low parts), so each destination
// pixel needs only two loads and two multiply-adds.
inline void StorePair(__m128i* pairs, int c, __m128i e0, __m128i e1) {
    _mm_storeu_si128(pairs + 2 * c, _mm_unpacklo_epi16(e0, e1));
    _mm_storeu_si128(pairs + 2 * c + 1, _mm_unpackhi_epi16(e0, e1));
}

// count columns from 0; the last one has no neighbour in the pass (its
// neighbour is not read: either beyond the buffer or never a sample base).
void VerticalPass(__m128i* pairs, const DWORD* row0, const DWORD* row1, int count, int wy) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i wp = WeightPair(wy);
    const __m128i low10 = _mm_set1_epi32(1023);
    auto split = [&](__m128i p) {
        const __m128i v = _mm_madd_epi16(p, wp);
        return _mm_packs_epi32(_mm_srli_epi32(v, 10), _mm_and_si128(v, low10));
    };
    __m128i prev = zero;
    int c = 0;
    for (; c + 4 <= count; c += 4) {
        const __m128i a = Load4(row0 + c), b = Load4(row1 + c);
        const __m128i lo = _mm_unpacklo_epi8(a, b), hi = _mm_unpackhi_epi8(a, b);
        const __m128i e0 = split(_mm_unpacklo_epi8(lo, zero)),
                      e1 = split(_mm_unpackhi_epi8(lo, zero));
        const __m128i e2 = split(_mm_unpacklo_epi8(hi, zero)),
                      e3 = split(_mm_unpackhi_epi8(hi, zero));
        if (c > 0)
            StorePair(pairs, c - 1, prev, e0);
        StorePair(pairs, c, e0, e1);
        StorePair(pairs, c + 1, e1, e2);
        StorePair(pairs, c + 2, e2, e3);
        prev = e3;
    }
    for (; c < count; ++c) {
        const __m128i e = split(_mm_unpacklo_epi8(
            _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)row0[c]), _mm_cvtsi32_si128((int)row1[c])),
            zero));
        if (c > 0)
            StorePair(pairs, c - 1, prev, e);
        prev = e;
    }
    if (count > 0)
        StorePair(pairs, count - 1, prev, prev);
}

void HorizontalPass(DWORD* out, const __m128i* pairs, const StretchTable& cols,
                    const __m128i* weights, int wd) {
    __m128i r[2];
    int k = 0;
    for (int j = 0; j < wd; ++j) {
        const __m128i* p = pairs + 2 * cols[j].index;
        const __m128i wp = _mm_loadu_si128(weights + j);
        const __m128i high = _mm_madd_epi16(_mm_loadu_si128(p), wp);
        const __m128i low = _mm_madd_epi16(_mm_loadu_si128(p + 1), wp);
        r[k++] = _mm_srli_epi32(_mm_add_epi32(_mm_slli_epi32(high, 10), low), 20);
        if (k == 2) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + j - 1), PackTwo(r[0], r[1]));
            k = 0;
        }
    }
    if (k)
        out[wd - 1] = (DWORD)_mm_cvtsi128_si32(PackTwo(r[0], r[0]));
}

inline void ClearAlpha(DWORD* p) {
    *p &= 0x00FFFFFF;
}

// All rows of an unmirrored or vertically mirrored rectangle in one call, so
// that small rectangles do not pay a call and the rule's set-up per row.
typedef void (*RectOp)(BYTE* d, int pd, const BYTE* s, int ps, int w, int h, bool vflip,
                       const PixelRuleCtx& c);

template <void (*Rule)(DWORD*, const DWORD*, int, const PixelRuleCtx&)>
void RectRule(BYTE* d, int pd, const BYTE* s, int ps, int w, int h, bool vflip,
              const PixelRuleCtx& c) {
    for (int i = 0; i < h; ++i)
        Rule(PixelRow(d, pd, vflip ? h - 1 - i : i), PixelRow(s, ps, i), w, c);
}

// Per-pixel alpha keeps its constants in registers across all rows.
void RectPixelAlpha(BYTE* d, int pd, const BYTE* s, int ps, int w, int h, bool vflip,
                    const PixelRuleCtx&) {
    if (UseAvx2()) {
        PixelAlphaRectAvx2(d, pd, s, ps, w, h, vflip);
        return;
    }
    const PixelAlphaConsts k;
    for (int i = 0; i < h; ++i)
        PixelAlphaRow(PixelRow(d, pd, vflip ? h - 1 - i : i), PixelRow(s, ps, i), w, k);
}

const RectOp kRectRules[8] = {RectRule<RowRule<0>>, RectRule<RowRule<1>>, RectRule<RowRule<2>>,
                              RectRule<RowRule<3>>, RectPixelAlpha,       RectRule<RowRule<5>>,
                              RectRule<RowRule<6>>, RectRule<RowRule<7>>};

bool RunUnstretched(int F, int V, const BlitKernelArgs& a, const PixelRuleCtx& ctx) {
    const bool vflip = VariantVFlip(V), hflip = VariantHFlip(V);
    const int w = a.wd < a.ws ? a.wd : a.ws, h = a.hd < a.hs ? a.hd : a.hs;
    if (F != 0 && !hflip) {
        kRectRules[F](a.dst, a.pd, a.src, a.ps, w, h, vflip, ctx);
        return true;
    }
    HeapArray<DWORD> line(F != 0 && hflip ? w : 0);
    if (F != 0 && hflip && !line.p)
        return false;
    const RowOp rule = kRowRules[F];
    for (int i = 0; i < h; ++i) {
        const DWORD* s = PixelRow(a.src, a.ps, i);
        DWORD* d = PixelRow(a.dst, a.pd, vflip ? h - 1 - i : i);
        if (F == 0) {
            if (hflip)
                ReverseRow(d, s, w);
            else
                memcpy(d, s, (size_t)w * 4);
        } else if (hflip) {
            ReverseRow(line.p, s, w);
            rule(d, line.p, w, ctx);
        } else {
            rule(d, s, w, ctx);
        }
    }
    return true;
}

bool RunStretched(int F, int V, const BlitKernelArgs& a, const PixelRuleCtx& ctx) {
    const bool vflip = VariantVFlip(V), hflip = VariantHFlip(V);
    const bool pixelAlpha = (F & FAM_PIXEL) != 0;
    const RowOp rule = kRowRules[F];
    const int wd = V == 5 ? (a.wd < a.ws ? a.wd : a.ws) : a.wd;
    const int hd = V == 4 ? (a.hd < a.hs ? a.hd : a.hs) : a.hd;

    StretchTable cols, rows;
    if (V != 5 && !cols.Build(a.ws, wd))
        return false;
    if (V != 4 && !rows.Build(a.hs, hd))
        return false;
    // Samples in natural order, and a mirrored copy when needed.
    HeapArray<DWORD> line(wd), mirror(hflip ? wd : 0);
    if (!line.p || (hflip && !mirror.p))
        return false;
    // Columns that the four-tap walk reads: the clipped source and, when
    // the buffer has it, one neighbour column.
    const int vertCount = a.ws + 1 < a.srcSpanX ? a.ws + 1 : a.srcSpanX;
    // 32 bytes per column and 16 per destination weight, used unaligned;
    // the AVX2 form of the two taps across takes the weights too.
    const bool avx2Across = V == 4 && UseAvx2();
    const bool needWeights = V >= 6 || avx2Across;
    HeapArray<DWORD> pairStore(V >= 6 ? vertCount * 8 : 0), weightStore(needWeights ? wd * 4 : 0);
    __m128i* pairs = reinterpret_cast<__m128i*>(pairStore.p);
    __m128i* weights = reinterpret_cast<__m128i*>(weightStore.p);
    HeapArray<unsigned char> zeroCol(V >= 6 && pixelAlpha ? vertCount : 0);
    if ((V >= 6 && (!pairs || (pixelAlpha && !zeroCol.p))) || (needWeights && !weights))
        return false;
    if (needWeights)
        for (int j = 0; j < wd; ++j) _mm_storeu_si128(weights + j, WeightPair(cols[j].weight));

    for (int i = 0; i < hd; ++i) {
        DWORD* d = PixelRow(a.dst, a.pd, vflip ? hd - 1 - i : i);
        // The plain family writes its samples straight into the row.
        DWORD* out = (F == 0 && !hflip) ? d : line.p;
        if (V == 4) {
            const DWORD* s = PixelRow(a.src, a.ps, i);
            const bool single = a.ws == 1;
            if (avx2Across)
                StretchAcrossAvx2(out, s, cols.points, weights, wd, single ? 1 : a.srcSpanX);
            else
                SampleAcross(out, s, cols, wd, a.srcSpanX, single);
            if (pixelAlpha) {
                for (int j = 0; j < wd; ++j) {
                    const int c = cols[j].index;
                    if (AlphaZero(s[c]) || (!single && c + 1 < a.srcSpanX && AlphaZero(s[c + 1])))
                        ClearAlpha(out + j);
                }
            }
        } else if (V == 5) {
            const int r = rows[i].index;
            const bool n = a.hs != 1 && r + 1 < a.srcSpanY;
            const DWORD* s0 = PixelRow(a.src, a.ps, r);
            const DWORD* s1 = n ? PixelRow(a.src, a.ps, r + 1) : s0;
            SampleDown(out, s0, s1, wd, rows[i].weight);
            if (pixelAlpha) {
                for (int j = 0; j < wd; ++j)
                    if (AlphaZero(s0[j]) || (n && AlphaZero(s1[j])))
                        ClearAlpha(out + j);
            }
        } else {
            const int r = rows[i].index;
            const bool n = r + 1 < a.srcSpanY;
            const DWORD* s0 = PixelRow(a.src, a.ps, r);
            const DWORD* s1 = n ? PixelRow(a.src, a.ps, r + 1) : s0;
            if (UseAvx2()) {
                StretchVerticalAvx2(pairs, s0, s1, vertCount, rows[i].weight);
                StretchHorizontalAvx2(out, pairs, cols.points, weights, wd);
            } else {
                VerticalPass(pairs, s0, s1, vertCount, rows[i].weight);
                HorizontalPass(out, pairs, cols, weights, wd);
            }
            if (pixelAlpha) {
                for (int c = 0; c < vertCount; ++c)
                    zeroCol.p[c] = AlphaZero(s0[c]) || (n && AlphaZero(s1[c]));
                for (int j = 0; j < wd; ++j) {
                    const int c = cols[j].index;
                    if (zeroCol.p[c] || (c + 1 < a.srcSpanX && zeroCol.p[c + 1]))
                        ClearAlpha(out + j);
                }
            }
        }
        if (F == 0) {
            if (hflip)
                ReverseRow(d, out, wd);
        } else if (hflip) {
            ReverseRow(mirror.p, out, wd);
            rule(d, mirror.p, wd, ctx);
        } else {
            rule(d, out, wd, ctx);
        }
    }
    return true;
}

}  // namespace

VECTOR_ENTRY bool RunBlitKernelVector(int kernel, const BlitKernelArgs& args) {
    if (kernel < 0 || kernel >= BLIT_KERNEL_COUNT)
        return false;
    const int F = kernel / 10, V = kernel % 10;
    // Whole rows go four pixels at a time; the blend tables serve the tails
    // (per-pixel alpha alone takes its tails through the vector rule).
    const int narrower = args.wd < args.ws ? args.wd : args.ws;
    const int rowLength = (V <= 3 || V == 5) ? narrower : args.wd;
    PixelRuleCtx ctx;
    ctx.Init(F, args, F != FAM_PIXEL && rowLength % 4 != 0);
    return V <= 3 ? RunUnstretched(F, V, args, ctx) : RunStretched(F, V, args, ctx);
}

bool SetBlitKernelAvx2(bool enable) {
    const bool old = g_avx2Enabled;
    g_avx2Enabled = enable;
    return old;
}

bool IsBlitKernelAvx2() {
    return UseAvx2();
}

#else

bool RunBlitKernelVector(int, const BlitKernelArgs&) {
    return false;
}
bool SetBlitKernelAvx2(bool) {
    return false;
}
bool IsBlitKernelAvx2() {
    return false;
}

#endif
