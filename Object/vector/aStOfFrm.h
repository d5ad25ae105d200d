// CFrameState: the frame-state record a vector object keeps and stores;
// playback reads none of it.
#pragma once

#include <windows.h>

class CFrameState {
public:
    CFrameState() { Reset(); }
    ~CFrameState() { delete[] m_buffer; }
    CFrameState(const CFrameState&) = delete;
    CFrameState& operator=(const CFrameState&) = delete;

    void Reset() {
        delete[] m_buffer;
        m_buffer = nullptr;
        m_first = m_second = 0;
        m_step = 2;
        m_limit = 0xFFFF;
    }
    int Step() const { return m_step; }
    int Limit() const { return m_limit; }

private:
    int m_first = 0;
    int m_second = 0;
    int m_step = 2;
    int m_limit = 0xFFFF;
    BYTE* m_buffer = nullptr;
};
