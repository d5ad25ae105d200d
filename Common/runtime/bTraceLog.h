// The process-wide trace log and the structured-exception class.
// GetTraceLog() is null when logging is off; every report goes through the
// macros below so that a call site costs one test when it is.
#pragma once

#include "bComBase.h"
#include "bFormatCheck.h"

// Win32 structured exceptions turned into C++ exceptions.
class CSE_Exception {
public:
    CSE_Exception() : m_code(0) {
        ZeroMemory(&m_record, sizeof(m_record));
        ZeroMemory(&m_context, sizeof(m_context));
    }
    CSE_Exception(const EXCEPTION_RECORD* record, const CONTEXT* context);
    DWORD GetCode() const { return m_code; }
    const EXCEPTION_RECORD& GetRecord() const { return m_record; }
    // The exception's text, cut to fit the buffer.
    void GetText(char* buffer, int size) const;

private:
    DWORD m_code;
    EXCEPTION_RECORD m_record;
    CONTEXT m_context;
};

// Makes structured exceptions on the calling thread arrive as a thrown
// CSE_Exception wherever a C++ handler for it is active.
void InstallSETranslator();

// {C0BC2631-1049-11D4-9EEB-00104B04B807}
struct ITraceLog : public IUnknown {
    STDMETHOD(OpenLogFile)(const char* path) = 0;                                              // 3
    STDMETHOD(GetLogFileName)(char* buffer, int size) = 0;                                     // 4
    STDMETHOD(CloseLogFile)() = 0;                                                             // 5
    STDMETHOD_(int, RegisterThread)() = 0;                                                     // 6
    STDMETHOD_(int, WriteEntry)(const char* text, int type) = 0;                               // 7
    STDMETHOD_(void, SetAllSwitches)(BOOL on) = 0;                                             // 8
    STDMETHOD_(void, SetTraceSwitch)(BOOL on) = 0;                                             // 9
    STDMETHOD_(void, SetExceptionSwitch)(BOOL on) = 0;                                         // 10
    STDMETHOD_(void, SetErrorSwitch)(BOOL on) = 0;                                             // 11
    STDMETHOD_(DWORD, SetLastErrorCode)(DWORD code) = 0;                                       // 12
    STDMETHOD_(int, RecordTracePoint)(const char* file, int line) = 0;                         // 13
    STDMETHOD_(int, TracePoint)(const char* file, int line) = 0;                               // 14
    STDMETHOD_(int, Reserved15)(int a, int b, int c) = 0;                                      // 15
    STDMETHOD_(int, ReportException)(const CSE_Exception* e, const char* file, int line) = 0;  // 16
    // Variadic slots use the C calling convention, as on Windows. Their
    // formats are checked at compile time (argument 1 is the object).
    virtual int LogMessage(const char* format, ...) LOG_FORMAT(2, 3) = 0;                // 17
    virtual int LogLastError(DWORD code, const char* format, ...) LOG_FORMAT(3, 4) = 0;  // 18
    virtual int LogAt(const char* file, int line, const char* format, ...)
        LOG_FORMAT(4, 5) = 0;  // 19
    virtual int ErrorAt(const char* file, int line, DWORD code, const char* format, ...)
        LOG_FORMAT(5, 6) = 0;  // 20
    virtual int HResultErrorAt(const char* file, int line, HRESULT hr, const char* format, ...)
        LOG_FORMAT(5, 6) = 0;                                                            // 21
    virtual int FormatOnly(int a, int b, const char* format, ...) LOG_FORMAT(4, 5) = 0;  // 22
    STDMETHOD_(int, Reserved23)(int a, int b) = 0;                                       // 23
    STDMETHOD(GetOptions)(DWORD* out) = 0;                                               // 24
    STDMETHOD_(void, DeleteThis)() = 0;                                                  // 25
};
DECLARE_IID(ITraceLog, 0xC0BC2631, 0x1049, 0x11D4, 0x9E, 0xEB, 0x00, 0x10, 0x4B, 0x04, 0xB8, 0x07);

// Options of CreateTraceLog, answered by GetOptions.
enum {
    // Every entry is written, also one equal to the entry before it (the
    // setup programs' logs, where a repeated step is itself the news).
    TRACE_OPTION_KEEP_REPEATS = 1,
};

// Creates the log object and opens the file; 0 on return.
int CreateTraceLog(const char* path, DWORD options = 0);
// Writes the closing line and releases the object.
void ReleaseTraceLog();
ITraceLog* GetTraceLog();

// Entry types of WriteEntry.
enum { TRACE_ENTRY_LOG = 0, TRACE_ENTRY_EXCEPTION = 1, TRACE_ENTRY_ERROR = 2 };

#define TRACE_POINT()                               \
    do {                                            \
        if (ITraceLog* trace_ = GetTraceLog())      \
            trace_->TracePoint(__FILE__, __LINE__); \
    } while (0)

// A log message with the caller's place.
#define LOG_MSG(...)                                        \
    do {                                                    \
        if (ITraceLog* trace_ = GetTraceLog())              \
            trace_->LogAt(__FILE__, __LINE__, __VA_ARGS__); \
    } while (0)

// A Win32 error with its system text; code 0 means GetLastError().
#define LOG_WIN32_ERROR(code, ...)                                   \
    do {                                                             \
        DWORD code_ = (code) ? (DWORD)(code) : GetLastError();       \
        if (ITraceLog* trace_ = GetTraceLog())                       \
            trace_->ErrorAt(__FILE__, __LINE__, code_, __VA_ARGS__); \
    } while (0)

// An HRESULT error with the code's text.
#define LOG_HRESULT(hr, ...)                                                        \
    do {                                                                            \
        if (ITraceLog* trace_ = GetTraceLog())                                      \
            trace_->HResultErrorAt(__FILE__, __LINE__, (HRESULT)(hr), __VA_ARGS__); \
    } while (0)

#define LOG_EXCEPTION(e)                                       \
    do {                                                       \
        if (ITraceLog* trace_ = GetTraceLog())                 \
            trace_->ReportException(&(e), __FILE__, __LINE__); \
    } while (0)
