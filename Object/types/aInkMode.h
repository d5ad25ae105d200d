// InkMode: the drawing mode a vector shape carries, a mode number that maps
// to a GDI binary raster operation, stored with the shape and taken over
// between key frames.
#pragma once

#include <windows.h>

struct ITeskStream;

class InkMode {
public:
    InkMode() : m_mode(0) {}

    void Assign(const InkMode& other);
    void CopyFrom(const InkMode& other);
    // The target takes the first mode up to factor 0.5, the second above.
    static void Interpolate(const InkMode& first, const InkMode& second, InkMode* target,
                            float factor);
    // The 4-byte mode; E_FAIL (nothing changed) when the stream is short.
    HRESULT Load(ITeskStream* stream);
    HRESULT Save(ITeskStream* stream) const;
    // The raster operation (R2_...) of the mode; R2_NOP for unknown modes.
    int ToRop2() const;

    LONG GetMode() const { return m_mode; }
    void SetMode(LONG mode) { m_mode = mode; }

private:
    LONG m_mode;
};
