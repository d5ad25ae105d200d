// The one little-endian byte builder of the test fixtures: records, package
// and project files, pictures.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

class CByteWriter {
public:
    CByteWriter& U8(uint8_t v) {
        m_bytes += (char)v;
        return *this;
    }
    CByteWriter& U16(uint16_t v) { return U8((uint8_t)v).U8((uint8_t)(v >> 8)); }
    CByteWriter& U32(uint32_t v) { return U16((uint16_t)v).U16((uint16_t)(v >> 16)); }
    CByteWriter& U64(uint64_t v) { return U32((uint32_t)v).U32((uint32_t)(v >> 32)); }
    CByteWriter& Bytes(const void* p, size_t n) {
        m_bytes.append(static_cast<const char*>(p), n);
        return *this;
    }
    CByteWriter& Bytes(const std::string& s) {
        m_bytes += s;
        return *this;
    }
    CByteWriter& Bytes(const std::vector<uint8_t>& b) { return Bytes(b.data(), b.size()); }
    // The characters of a text, without its NUL.
    CByteWriter& Text(const char* s) {
        m_bytes += s;
        return *this;
    }
    CByteWriter& Fill(uint8_t v, size_t n) {
        m_bytes.append(n, (char)v);
        return *this;
    }
    CByteWriter& Zeros(size_t n) { return Fill(0, n); }
    // ANSI text as `units` UTF-16 units, NUL-terminated and zero-padded (cut when longer).
    CByteWriter& WideFixed(const char* text, size_t units);

    const std::string& Str() const { return m_bytes; }
    std::vector<uint8_t> Vector() const {
        return std::vector<uint8_t>(m_bytes.begin(), m_bytes.end());
    }
    size_t Size() const { return m_bytes.size(); }

private:
    std::string m_bytes;
};
