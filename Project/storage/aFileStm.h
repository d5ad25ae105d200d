// File stream: an ITeskStream over a file opened with the C run-time's
// buffered file functions.
#pragma once

#include "aTeskStream.h"

#include <stdio.h>

class CFileStream : public CStreamBase {
public:
    BEGIN_COM_MAP(CFileStream)
    COM_INTERFACE_ENTRY(ITeskStream)
    END_COM_MAP()

    CFileStream();

    STDMETHOD_(void, ResetPosition)() override {}
    STDMETHOD_(void, SetTag)(int) override {}
    STDMETHOD_(int, GetKind)() override { return TESK_KIND_FILESTREAM; }
    STDMETHOD_(int, GetTag)() override { return 10; }
    STDMETHOD(Close)() override;
    STDMETHOD_(ULONGLONG, RawGetPosition)() override;
    STDMETHOD_(ULONGLONG, RawGetSize)() override;
    STDMETHOD_(ULONG, RawRead)(void* buffer, ULONG n) override;
    STDMETHOD_(ULONG, RawWrite)(const void* buffer, ULONG n) override;
    STDMETHOD(RawSeek)(LONGLONG offset, int origin) override;

    // Mode 1 "rb", 4 "r+b", 128 "w+b" (mode byte 1). Any other mode opens
    // nothing and answers S_OK; HasFile() then tells.
    HRESULT Open(const char* name, int mode);
    bool HasFile() const { return m_file != nullptr; }

protected:
    ~CFileStream() override;

private:
    // The run-time needs a seek between a read and a write on one file.
    void SwitchTo(int op);

    FILE* m_file;
    int m_lastOp;  // 0 none, 1 read, 2 write
};
