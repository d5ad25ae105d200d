// The one checked reader of bytes held in memory (records, file images,
// decoded bodies). Every read knows how much is left; a read past the end
// fails, leaves the output zeroed and makes the reader stay failed, so a
// decoder can read a whole header and test Failed() once. A sub-reader
// keeps its place within the outermost data, so a report about bad data can
// say at which offset of the file it lies.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "bByteOrder.h"

class CByteReader {
public:
    CByteReader() : m_data(nullptr), m_size(0), m_pos(0), m_base(0), m_failed(false) {}
    // `base`: the offset of data[0] within the file it was read from.
    CByteReader(const void* data, size_t size, uint64_t base = 0)
        : m_data(static_cast<const uint8_t*>(data)),
          m_size(data ? size : 0),
          m_pos(0),
          m_base(base),
          m_failed(false) {}

    size_t Size() const { return m_size; }
    size_t Position() const { return m_pos; }
    // The current position as an offset within the file (for log lines).
    uint64_t FileOffset() const { return m_base + m_pos; }
    size_t Remaining() const { return m_size - m_pos; }
    bool AtEnd() const { return m_pos >= m_size; }
    bool Failed() const { return m_failed; }
    bool Ok() const { return !m_failed; }
    const uint8_t* Data() const { return m_data; }
    // Pointer to the current position (valid for Remaining() bytes).
    const uint8_t* Current() const { return m_data ? m_data + m_pos : nullptr; }

    // True when n more bytes can be read.
    bool Has(size_t n) const { return !m_failed && n <= m_size - m_pos; }

    bool Seek(size_t pos) {
        if (m_failed || pos > m_size)
            return Fail();
        m_pos = pos;
        return true;
    }
    bool Skip(size_t n) {
        if (!Has(n))
            return Fail();
        m_pos += n;
        return true;
    }
    bool ReadBytes(void* dst, size_t n) {
        if (!Has(n)) {
            if (dst && n)
                memset(dst, 0, n);
            return Fail();
        }
        if (n)
            memcpy(dst, m_data + m_pos, n);
        m_pos += n;
        return true;
    }
    // Pointer to the next n bytes, advancing past them; null when short.
    const uint8_t* Take(size_t n) {
        if (!Has(n)) {
            Fail();
            return nullptr;
        }
        const uint8_t* p = m_data + m_pos;
        m_pos += n;
        return p;
    }
    // Pointer to the next n bytes without advancing; null when short.
    const uint8_t* Peek(size_t n) const { return Has(n) ? m_data + m_pos : nullptr; }
    // A reader over the next n bytes; this one moves past them.
    CByteReader Sub(size_t n) {
        const uint64_t at = FileOffset();
        const uint8_t* p = Take(n);
        CByteReader r(p, p ? n : 0, at);
        if (!p)
            r.m_failed = true;
        return r;
    }

    uint8_t U8() {
        const uint8_t* p = Take(1);
        return p ? p[0] : 0;
    }
    uint16_t U16LE() {
        const uint8_t* p = Take(2);
        return p ? GetU16LE(p) : 0;
    }
    uint16_t U16BE() {
        const uint8_t* p = Take(2);
        return p ? (uint16_t)((p[0] << 8) | p[1]) : 0;
    }
    uint32_t U32LE() {
        const uint8_t* p = Take(4);
        return p ? GetU32LE(p) : 0;
    }
    uint32_t U32BE() {
        const uint8_t* p = Take(4);
        return p ? ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) |
                       (uint32_t)p[3]
                 : 0;
    }
    int16_t I16LE() { return (int16_t)U16LE(); }
    int32_t I32LE() { return (int32_t)U32LE(); }
    uint64_t U64LE() {
        uint64_t lo = U32LE();
        uint64_t hi = U32LE();
        return lo | (hi << 32);
    }
    double F64LE() {
        uint64_t bits = U64LE();
        double d;
        memcpy(&d, &bits, sizeof(d));
        return d;
    }
    // A plain little-endian record of fixed layout.
    template <class T>
    bool ReadPod(T& out) {
        return ReadBytes(&out, sizeof(T));
    }

    bool Fail() {
        m_failed = true;
        return false;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos;
    uint64_t m_base;
    bool m_failed;
};

// Size arithmetic that cannot wrap: false when a * b (+ c) exceeds the limit.
inline bool CheckedMul(size_t a, size_t b, size_t* out) {
    if (a != 0 && b > (size_t)-1 / a)
        return false;
    *out = a * b;
    return true;
}
inline bool CheckedAdd(size_t a, size_t b, size_t* out) {
    if (b > (size_t)-1 - a)
        return false;
    *out = a + b;
    return true;
}
