// Shared base of the four stream classes: the interface slots that do not
// depend on the back end (10 to 24) and the measuring dry run. Each class
// supplies slots 3 to 9 and the Raw* back end (25 to 29).
#pragma once

#include "aStorage.h"

class CStreamBase : public CComObjectRootBase, public ITeskStream {
public:
    CStreamBase();

    // ITeskStream slots 4 and 5: the mode byte.
    STDMETHOD_(void, SetMode)(BYTE mode) override { m_mode = mode; }
    STDMETHOD_(BYTE, GetMode)() override { return m_mode; }

    STDMETHOD_(ULONGLONG, GetSize)() override;                                   // 10
    STDMETHOD_(ULONGLONG, GetPosition)() override;                               // 11
    STDMETHOD_(ULONG, Read)(void* buffer, ULONG n) override;                     // 12
    STDMETHOD_(ULONG, Write)(const void* buffer, ULONG n) override;              // 13
    STDMETHOD_(ULONG, ReadWideString)(char* buffer, ULONG n) override;           // 14
    STDMETHOD_(ULONG, WriteWideString)(const char* text, ULONG n) override;      // 15
    STDMETHOD(Seek)(LONGLONG offset, int origin) override;                       // 16
    STDMETHOD(BeginMeasure)() override;                                          // 17
    STDMETHOD(EndMeasure)() override;                                            // 18
    STDMETHOD_(BYTE, IsMeasuring)() override { return m_measuring; }             // 19
    STDMETHOD_(void, SetVersion)(int version) override { m_version = version; }  // 20
    STDMETHOD_(int, GetVersion)() override { return m_version; }                 // 21
    STDMETHOD_(BYTE, GetFlag)() override { return m_flag; }                      // 22
    STDMETHOD_(void, SetFlag)(BYTE flag) override { m_flag = flag; }             // 23
    STDMETHOD_(void, DeleteThis)(UINT flags) override;                           // 24

    // Release at 0 closes the back end before the object goes.
    void FinalRelease() { Close(); }

protected:
    virtual ~CStreamBase() {}

    int m_version;  // record format version, 3 unless set
    BYTE m_mode;    // 1 writing, 0 reading
    BYTE m_flag;
    BYTE m_measuring;
    ULONGLONG m_measuredPos;
    ULONGLONG m_measuredSize;
};
