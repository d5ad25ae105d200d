// Little-endian fields in byte buffers: the one set of helpers for every
// stored format (container nodes, compressed bodies, records), whatever the
// alignment of the field.
#pragma once

#include <stdint.h>

inline uint16_t GetU16LE(const void* at) {
    const uint8_t* p = static_cast<const uint8_t*>(at);
    return (uint16_t)(p[0] | (p[1] << 8));
}
inline uint32_t GetU32LE(const void* at) {
    const uint8_t* p = static_cast<const uint8_t*>(at);
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
inline uint64_t GetU64LE(const void* at) {
    const uint8_t* p = static_cast<const uint8_t*>(at);
    return GetU32LE(p) | ((uint64_t)GetU32LE(p + 4) << 32);
}

inline void PutU16LE(void* at, uint16_t v) {
    uint8_t* p = static_cast<uint8_t*>(at);
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}
inline void PutU32LE(void* at, uint32_t v) {
    uint8_t* p = static_cast<uint8_t*>(at);
    PutU16LE(p, (uint16_t)v);
    PutU16LE(p + 2, (uint16_t)(v >> 16));
}
inline void PutU64LE(void* at, uint64_t v) {
    uint8_t* p = static_cast<uint8_t*>(at);
    PutU32LE(p, (uint32_t)v);
    PutU32LE(p + 4, (uint32_t)(v >> 32));
}
