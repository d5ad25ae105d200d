// The one little-endian byte builder of the test fixtures: records, package
// and project files, pictures. A fixture writer of one format derives from
// CByteWriterBase<itself>, so its own fields chain with the plain ones.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

template <class Self>
class CByteWriterBase {
public:
    Self& U8(uint8_t v) {
        m_bytes += (char)v;
        return self();
    }
    Self& U16(uint16_t v) { return U8((uint8_t)v).U8((uint8_t)(v >> 8)); }
    Self& U32(uint32_t v) { return U16((uint16_t)v).U16((uint16_t)(v >> 16)); }
    Self& U64(uint64_t v) { return U32((uint32_t)v).U32((uint32_t)(v >> 32)); }
    Self& Bytes(const void* p, size_t n) {
        m_bytes.append(static_cast<const char*>(p), n);
        return self();
    }
    Self& Bytes(const std::string& s) {
        m_bytes += s;
        return self();
    }
    Self& Bytes(const std::vector<uint8_t>& b) { return Bytes(b.data(), b.size()); }
    // The characters of a text, without its NUL.
    Self& Text(const char* s) {
        m_bytes += s;
        return self();
    }
    // A stored text: u32 length with the NUL, then the characters and the
    // NUL; a null text is a lone u32 0.
    Self& CountedText(const char* s) {
        if (!s)
            return U32(0);
        const size_t n = std::char_traits<char>::length(s) + 1;
        U32((uint32_t)n);
        m_bytes.append(s, n);
        return self();
    }
    Self& Fill(uint8_t v, size_t n) {
        m_bytes.append(n, (char)v);
        return self();
    }
    Self& Zeros(size_t n) { return Fill(0, n); }
    // ANSI text as `units` UTF-16 units, NUL-terminated and zero-padded (cut when longer).
    Self& WideFixed(const char* text, size_t units) {
        const std::wstring wide = WideOf(text);
        for (size_t i = 0; i < units; ++i)
            U16(i + 1 < units && i < wide.size() ? (uint16_t)wide[i] : 0);
        return self();
    }

    const std::string& Str() const { return m_bytes; }
    std::vector<uint8_t> Vector() const {
        return std::vector<uint8_t>(m_bytes.begin(), m_bytes.end());
    }
    size_t Size() const { return m_bytes.size(); }

private:
    Self& self() { return static_cast<Self&>(*this); }
    static std::wstring WideOf(const char* text);

    std::string m_bytes;
};

// UTF-16 of an ANSI text (the code page's conversion); defined in ByteWriter.cpp.
std::wstring ByteWriterWide(const char* text);
template <class Self>
std::wstring CByteWriterBase<Self>::WideOf(const char* text) {
    return ByteWriterWide(text);
}

class CByteWriter : public CByteWriterBase<CByteWriter> {};
