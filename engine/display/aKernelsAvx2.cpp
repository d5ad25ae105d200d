// AVX2 per-pixel alpha: the rule of the SSE2 kernel on eight pixels per
// register. Only this file is compiled for AVX2; nothing here is called
// unless CpuHasAvx2() said so. The functions keep their values in registers
// (no 32-byte value ever goes to the stack, which Windows aligns to 16).
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

#else

bool CpuHasAvx2() {
    return false;
}
void PixelAlphaRowAvx2(DWORD*, const DWORD*, int) {}
void PixelAlphaRectAvx2(BYTE*, int, const BYTE*, int, int, int, bool) {}

#endif
