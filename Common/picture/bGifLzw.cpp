#include "bGifLzw.h"

bool GifSameLetters(const uint8_t* p, const char* upper, int n) {
    for (int i = 0; i < n; ++i) {
        uint8_t c = p[i];
        if (c >= 'a' && c <= 'z')
            c -= 'a' - 'A';
        if (c != (uint8_t)upper[i])
            return false;
    }
    return true;
}

bool GifSkipSubBlocks(CByteReader& r) {
    for (;;) {
        uint8_t n = r.U8();
        if (r.Failed())
            return false;
        if (n == 0)
            return true;
        if (!r.Skip(n))
            return false;
    }
}

namespace {

// LZW codes packed least significant bit first across the data sub-blocks.
class GifCodeReader {
public:
    explicit GifCodeReader(CByteReader& r)
        : m_r(r), m_block(nullptr), m_left(0), m_bits(0), m_count(0), m_ended(false) {}
    // The next code of the given width, or -1 at the end of the data.
    int Next(int width) {
        while (m_count < width) {
            if (m_left == 0 && !NextBlock())
                return -1;
            m_bits |= (uint32_t)*m_block++ << m_count;
            m_count += 8;
            --m_left;
        }
        int code = (int)(m_bits & ((1u << width) - 1));
        m_bits >>= width;
        m_count -= width;
        return code;
    }

private:
    bool NextBlock() {
        if (m_ended)
            return false;
        uint8_t n = m_r.U8();
        size_t available = m_r.Remaining() < n ? m_r.Remaining() : n;
        if (m_r.Failed() || available == 0) {
            m_ended = true;
            return false;
        }
        m_block = m_r.Take(available);
        m_left = available;
        return true;
    }

public:
    // The terminator (or the end of the data) was read.
    bool Ended() const { return m_ended; }

private:
    CByteReader& m_r;
    const uint8_t* m_block;
    size_t m_left;
    uint32_t m_bits;
    int m_count;
    bool m_ended;
};

}  // namespace

ptrdiff_t GifLzwDecode(CByteReader& r, uint8_t* out, size_t total, bool* terminated) {
    if (terminated)
        *terminated = false;
    const int minSize = r.U8();
    if (r.Failed() || minSize < 2 || minSize > 8)
        return -1;
    const int clear = 1 << minSize, end = clear + 1;
    static const int kTableSize = 4096;
    uint16_t prefix[kTableSize];
    uint8_t suffix[kTableSize];
    uint8_t first[kTableSize];
    uint16_t length[kTableSize];
    for (int i = 0; i < clear; ++i) {
        prefix[i] = 0;
        suffix[i] = (uint8_t)i;
        first[i] = (uint8_t)i;
        length[i] = 1;
    }

    GifCodeReader codes(r);
    int width = minSize + 1;
    int next = clear + 2;
    int prev = -1;
    size_t pos = 0;
    while (pos < total) {
        int code = codes.Next(width);
        if (code < 0 || code == end)
            break;
        if (code == clear) {
            width = minSize + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (prev < 0) {
            if (code >= clear)
                break;  // damaged: no string to start from
            out[pos++] = (uint8_t)code;
            prev = code;
            continue;
        }
        if (code > next || (code == next && next >= kTableSize))
            break;  // damaged
        if (next < kTableSize) {
            // The new entry is the previous string plus the first byte of
            // this one (of the previous one when the code is the new entry).
            prefix[next] = (uint16_t)prev;
            suffix[next] = code < next ? first[code] : first[prev];
            first[next] = first[prev];
            length[next] = (uint16_t)(length[prev] + 1);
            ++next;
            if (next == (1 << width) && width < 12)
                ++width;
        }
        // Write the string backwards from its last byte.
        size_t n = length[code];
        int c = code;
        for (size_t i = n; i-- > 0;) {
            if (pos + i < total)
                out[pos + i] = suffix[c];
            c = prefix[c];
        }
        pos += n;
        prev = code;
    }
    if (terminated)
        *terminated = codes.Ended();
    return (ptrdiff_t)(pos < total ? pos : total);
}
