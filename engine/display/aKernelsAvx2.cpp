// AVX2 forms of the SSE2 kernels' inner loops: per-pixel alpha on eight
// pixels per register, and the two- and four-tap stretch samples two
// pixels per register, with the same bytes. Only this file is compiled for
// AVX2; nothing here is called unless CpuHasAvx2() said so. The functions
// keep their values in registers (no 32-byte value ever goes to the stack,
// which 64-bit Windows aligns to 16 only).
#include "aKernelsAvx2.h"

#if defined(__x86_64__) || defined(__i386__)

#pragma GCC target("avx2")

#include <immintrin.h>

#if defined(__i386__)
#define AVX2_ENTRY __attribute__((force_align_arg_pointer))
#else
#define AVX2_ENTRY
#endif

namespace {

inline __m256i Load8(const DWORD* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
inline void Store8(DWORD* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

struct Consts {
    __m256i low, high, round, top, zero;
    // Written out: a generated constructor would miss this file's target.
    Consts()
        : low(_mm256_set1_epi16(0x00FF)),
          high(_mm256_set1_epi16((short)0xFF00)),
          round(_mm256_set1_epi16(0x80)),
          top(_mm256_set1_epi32((int)0xFF000000)),
          zero(_mm256_setzero_si256()) {}
};

// Eight pixels: per lane (d * 256 + 128 + w * (s - d)) >> 8 with w = A, or
// 256 for A = 255, in wrapping 16-bit lanes (the true sum is 0..65408);
// blue and red in the low bytes of the lanes, green and alpha in the high
// ones, so each pixel's weight serves both halves. A = 0 gives back d.
inline __m256i PixelAlphaEight(__m256i sv, __m256i dv, const Consts& k) {
    const __m256i sAG = _mm256_srli_epi16(sv, 8), dAG = _mm256_srli_epi16(dv, 8);
    const __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sAG, 0xF5), 0xF5);
    const __m256i w = _mm256_sub_epi16(a, _mm256_cmpeq_epi16(a, k.low));
    const __m256i top = _mm256_andnot_si256(_mm256_cmpeq_epi16(a, k.zero), k.top);
    const __m256i rb = _mm256_add_epi16(
        _mm256_or_si256(_mm256_slli_epi16(dv, 8), k.round),
        _mm256_mullo_epi16(
            _mm256_sub_epi16(_mm256_and_si256(sv, k.low), _mm256_and_si256(dv, k.low)), w));
    const __m256i ag = _mm256_add_epi16(_mm256_or_si256(_mm256_and_si256(dv, k.high), k.round),
                                        _mm256_mullo_epi16(_mm256_sub_epi16(sAG, dAG), w));
    return _mm256_or_si256(_mm256_or_si256(_mm256_srli_epi16(rb, 8), _mm256_and_si256(ag, k.high)),
                           top);
}

inline __attribute__((always_inline)) void Row(DWORD* d, const DWORD* s, int n, const Consts& k) {
    int j = 0;
    for (; j + 16 <= n; j += 16) {
        const __m256i a = Load8(s + j), b = Load8(s + j + 8);
        // Sign bits of the sixteen alpha bytes: all clear or all set marks
        // a possible run of transparent or opaque pixels.
        const int signs = _mm256_movemask_ps(_mm256_castsi256_ps(a)) |
                          (_mm256_movemask_ps(_mm256_castsi256_ps(b)) << 8);
        if (((signs + 1) & 0xFFFE) == 0) {
            if (signs == 0) {
                if (((unsigned)_mm256_movemask_epi8(
                         _mm256_cmpeq_epi8(_mm256_or_si256(a, b), k.zero)) &
                     0x88888888u) == 0x88888888u)
                    continue;
            } else if (((unsigned)_mm256_movemask_epi8(
                            _mm256_cmpeq_epi8(_mm256_and_si256(a, b), _mm256_cmpeq_epi8(a, a))) &
                        0x88888888u) == 0x88888888u) {
                Store8(d + j, a);
                Store8(d + j + 8, b);
                continue;
            }
        }
        Store8(d + j, PixelAlphaEight(a, Load8(d + j), k));
        Store8(d + j + 8, PixelAlphaEight(b, Load8(d + j + 8), k));
    }
    if (j + 8 <= n) {
        Store8(d + j, PixelAlphaEight(Load8(s + j), Load8(d + j), k));
        j += 8;
    }
    if (j < n) {
        // The last one to seven pixels: masked loads and stores touch no
        // byte beyond the row.
        const __m256i mask =
            _mm256_cmpgt_epi32(_mm256_set1_epi32(n - j), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        const int* sp = reinterpret_cast<const int*>(s + j);
        int* dp = reinterpret_cast<int*>(d + j);
        _mm256_maskstore_epi32(
            dp, mask,
            PixelAlphaEight(_mm256_maskload_epi32(sp, mask), _mm256_maskload_epi32(dp, mask), k));
    }
}

// Four-tap stretch. Per channel the row blend V = wy*P(r) + (1024 - wy)*P(r+1)
// is kept as V >> 10 and V & 1023 (E: four high words, then four low words
// of one column), so that the column blend fits _mm256_madd_epi16:
// (wx*V(c) + (1024 - wx)*V(c+1)) >> 20, exactly.
inline __m256i SplitBlend(__m256i words, __m256i weight, __m256i low10) {
    const __m256i v = _mm256_madd_epi16(words, weight);
    return _mm256_packs_epi32(_mm256_srli_epi32(v, 10), _mm256_and_si256(v, low10));
}

inline __m128i SplitBlend128(__m128i words, __m128i weight, __m128i low10) {
    const __m128i v = _mm_madd_epi16(words, weight);
    return _mm_packs_epi32(_mm_srli_epi32(v, 10), _mm_and_si128(v, low10));
}

// The pairs of the column in each lane of a with the column in the same
// lane of b: lane 0 gives column first, lane 1 column second.
inline void StorePairs(__m128i* pairs, int first, int second, __m256i a, __m256i b) {
    const __m256i high = _mm256_unpacklo_epi16(a, b), low = _mm256_unpackhi_epi16(a, b);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pairs + 2 * first),
                        _mm256_permute2x128_si256(high, low, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pairs + 2 * second),
                        _mm256_permute2x128_si256(high, low, 0x31));
}

inline void StorePair128(__m128i* pairs, int c, __m128i e0, __m128i e1) {
    _mm_storeu_si128(pairs + 2 * c, _mm_unpacklo_epi16(e0, e1));
    _mm_storeu_si128(pairs + 2 * c + 1, _mm_unpackhi_epi16(e0, e1));
}

// One pixel's pairs in one register: high sums in lane 0, low in lane 1.
inline __m256i PixelSums(const __m128i* pairs, const StretchPoint* cols, const __m128i* weights,
                         int j) {
    return _mm256_madd_epi16(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs + 2 * cols[j].index)),
        _mm256_broadcastsi128_si256(_mm_loadu_si128(weights + j)));
}

// Two pixels' sums to their channels: lane 0 the first, lane 1 the second.
inline __m256i PairChannels(__m256i a, __m256i b) {
    const __m256i high = _mm256_permute2x128_si256(a, b, 0x20),
                  low = _mm256_permute2x128_si256(a, b, 0x31);
    return _mm256_srli_epi32(_mm256_add_epi32(_mm256_slli_epi32(high, 10), low), 20);
}

// Two taps across for pixels j and j + 1 (lanes 0 and 1), whose neighbours
// lie in the row: each pixel is loaded with its neighbour and pairUp puts
// their channels side by side in 16-bit lanes.
inline __m256i AcrossTwo(const DWORD* row, const StretchPoint* cols, const __m128i* weights, int j,
                         __m256i pairUp) {
    const __m128i first = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + cols[j].index));
    const __m128i second =
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + cols[j + 1].index));
    const __m256i pixels = _mm256_inserti128_si256(_mm256_castsi128_si256(first), second, 1);
    const __m256i weight = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(weights + j)), _mm_loadu_si128(weights + j + 1), 1);
    return _mm256_srli_epi32(_mm256_madd_epi16(_mm256_shuffle_epi8(pixels, pairUp), weight), 10);
}

inline const DWORD* RowOf(const BYTE* base, int pitch, int row) {
    return reinterpret_cast<const DWORD*>(base + (ptrdiff_t)pitch * row);
}

}  // namespace

bool CpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}

AVX2_ENTRY void PixelAlphaRowAvx2(DWORD* d, const DWORD* s, int n) {
    const Consts k;
    Row(d, s, n, k);
}

AVX2_ENTRY void PixelAlphaRectAvx2(BYTE* d, int pd, const BYTE* s, int ps, int w, int h,
                                   bool vflip) {
    const Consts k;
    for (int i = 0; i < h; ++i)
        Row(const_cast<DWORD*>(RowOf(d, pd, vflip ? h - 1 - i : i)), RowOf(s, ps, i), w, k);
}

AVX2_ENTRY void StretchVerticalAvx2(void* pairStore, const DWORD* row0, const DWORD* row1,
                                    int count, int wy) {
    __m128i* pairs = static_cast<__m128i*>(pairStore);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i weight = _mm256_set1_epi32(wy | ((1024 - wy) << 16));
    const __m256i low10 = _mm256_set1_epi32(1023);
    // Eight columns a round; lane 0 of E0..E3 holds columns c..c+3, lane 1
    // columns c+4..c+7.
    __m256i last = zero;  // E3 of the round before
    int c = 0;
    for (; c + 8 <= count; c += 8) {
        const __m256i a = Load8(row0 + c), b = Load8(row1 + c);
        const __m256i lo = _mm256_unpacklo_epi8(a, b), hi = _mm256_unpackhi_epi8(a, b);
        const __m256i e0 = SplitBlend(_mm256_unpacklo_epi8(lo, zero), weight, low10);
        const __m256i e1 = SplitBlend(_mm256_unpackhi_epi8(lo, zero), weight, low10);
        const __m256i e2 = SplitBlend(_mm256_unpacklo_epi8(hi, zero), weight, low10);
        const __m256i e3 = SplitBlend(_mm256_unpackhi_epi8(hi, zero), weight, low10);
        StorePairs(pairs, c, c + 4, e0, e1);
        StorePairs(pairs, c + 1, c + 5, e1, e2);
        StorePairs(pairs, c + 2, c + 6, e2, e3);
        // Column c+3 with c+4, and c-1 (the last of the round before) with c.
        const __m256i swapped = _mm256_permute4x64_epi64(e0, 0x4E);
        if (c > 0) {
            StorePairs(pairs, c + 3, c - 1, _mm256_blend_epi32(e3, last, 0xF0), swapped);
        } else {
            const __m256i high = _mm256_unpacklo_epi16(e3, swapped),
                          low = _mm256_unpackhi_epi16(e3, swapped);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(pairs + 2 * (c + 3)),
                                _mm256_permute2x128_si256(high, low, 0x20));
        }
        last = e3;
    }
    const __m128i zero128 = _mm_setzero_si128();
    const __m128i weight128 = _mm256_castsi256_si128(weight);
    const __m128i low128 = _mm256_castsi256_si128(low10);
    __m128i prev = _mm256_extracti128_si256(last, 1);
    for (; c < count; ++c) {
        const __m128i e = SplitBlend128(
            _mm_unpacklo_epi8(
                _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)row0[c]), _mm_cvtsi32_si128((int)row1[c])),
                zero128),
            weight128, low128);
        if (c > 0)
            StorePair128(pairs, c - 1, prev, e);
        prev = e;
    }
    if (count > 0)
        StorePair128(pairs, count - 1, prev, prev);
}

AVX2_ENTRY void StretchHorizontalAvx2(DWORD* out, const void* pairStore, const StretchPoint* cols,
                                      const void* weightStore, int wd) {
    const __m128i* pairs = static_cast<const __m128i*>(pairStore);
    const __m128i* weights = static_cast<const __m128i*>(weightStore);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int j = 0;
    for (; j + 4 <= wd; j += 4) {
        const __m256i p01 = PairChannels(PixelSums(pairs, cols, weights, j),
                                         PixelSums(pairs, cols, weights, j + 1));
        const __m256i p23 = PairChannels(PixelSums(pairs, cols, weights, j + 2),
                                         PixelSums(pairs, cols, weights, j + 3));
        // Words: lane 0 pixels j, j+2; lane 1 pixels j+1, j+3. Bytes then
        // put in order by dwords.
        const __m256i words = _mm256_packs_epi32(p01, p23);
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), order);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm256_castsi256_si128(bytes));
    }
    for (; j < wd; ++j) {
        const __m128i* p = pairs + 2 * cols[j].index;
        const __m128i w = _mm_loadu_si128(weights + j);
        const __m128i high = _mm_madd_epi16(_mm_loadu_si128(p), w);
        const __m128i low = _mm_madd_epi16(_mm_loadu_si128(p + 1), w);
        const __m128i v = _mm_srli_epi32(_mm_add_epi32(_mm_slli_epi32(high, 10), low), 20);
        const __m128i words = _mm_packs_epi32(v, v);
        out[j] = (DWORD)_mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    }
}

AVX2_ENTRY void StretchAcrossAvx2(DWORD* out, const DWORD* row, const StretchPoint* cols,
                                  const void* weightStore, int wd, int span) {
    const __m128i* weights = static_cast<const __m128i*>(weightStore);
    // Bytes of a pixel and its neighbour to (pixel, neighbour) channel pairs.
    const __m256i pairUp = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1,
                                            0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int j = 0;
    // Four pixels whose neighbours all lie in the span (the indexes grow).
    for (; j + 4 <= wd && cols[j + 3].index + 1 < span; j += 4) {
        const __m256i words = _mm256_packs_epi32(AcrossTwo(row, cols, weights, j, pairUp),
                                                 AcrossTwo(row, cols, weights, j + 2, pairUp));
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), order);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm256_castsi256_si128(bytes));
    }
    const __m128i zero = _mm_setzero_si128();
    for (; j < wd; ++j) {
        const int c = cols[j].index, c1 = c + 1 < span ? c + 1 : c;
        const __m128i p = _mm_unpacklo_epi8(
            _mm_unpacklo_epi8(_mm_cvtsi32_si128((int)row[c]), _mm_cvtsi32_si128((int)row[c1])),
            zero);
        const __m128i v = _mm_srli_epi32(_mm_madd_epi16(p, _mm_loadu_si128(weights + j)), 10);
        const __m128i words = _mm_packs_epi32(v, v);
        out[j] = (DWORD)_mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    }
}

#else

bool CpuHasAvx2() {
    return false;
}
void PixelAlphaRowAvx2(DWORD*, const DWORD*, int) {}
void PixelAlphaRectAvx2(BYTE*, int, const BYTE*, int, int, int, bool) {}
void StretchVerticalAvx2(void*, const DWORD*, const DWORD*, int, int) {}
void StretchHorizontalAvx2(DWORD*, const void*, const StretchPoint*, const void*, int) {}
void StretchAcrossAvx2(DWORD*, const DWORD*, const StretchPoint*, const void*, int, int) {}

#endif
