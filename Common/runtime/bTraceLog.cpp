// The process-wide trace log. Trace points collect in a ring and are written
// out only in front of the next message, so that each message carries the
// path that led to it while quiet code costs no disk traffic.
#include "bTraceLog.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "bErrorText.h"
#include "bFileUtil.h"
#include "bStrConv.h"

namespace {

enum {
    RING_SIZE = 128,
    RING_LIMIT_LOG = 32,     // trace lines in front of a log message
    RING_LIMIT_FLOODED = 2,  // once the file is very long
    FLOOD_LOGGED = 100000,
    SOURCE_PATH_MAX = 259,
    NAME_MAX_COPY = 252,
    ENTRY_BUFFER = 512,
    ENTRY_CUT = 508,
    FORMAT_BUFFER = 1024,
    FORMAT_CUT = 1016,
    MUTEX_WAIT_MS = 1000,
};

// Report kinds kept in the thread record.
enum { KIND_WIN32 = 4, KIND_HRESULT = 5, KIND_EXCEPTION = 8 };

struct ThreadRecord {
    BYTE traceOn;
    BYTE exceptionOn;
    BYTE errorOn;
    DWORD lastKind;
    DWORD lastCode;
    DWORD threadId;
};

thread_local ThreadRecord t_record = {1, 1, 1, 0, 0, 0};

struct TracePointSlot {
    char file[SOURCE_PATH_MAX + 1];
    int line;
    DWORD threadId;
};

inline bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

void CutAt(char* text, size_t limit) {
    if (strlen(text) > limit)
        text[MbCutLength(text, limit)] = 0;
}

// Case-insensitive equality of multibyte texts: single-byte letters fold,
// double-byte characters must match exactly (their trail bytes may look
// like letters).
bool SameTextIgnoringCase(const char* a, const char* b) {
    for (;;) {
        BYTE ca = (BYTE)*a, cb = (BYTE)*b;
        if (IsDBCSLeadByte(ca)) {
            if (ca != cb)
                return false;
            if (!a[1] || !b[1])
                return a[1] == b[1];
            if (a[1] != b[1])
                return false;
            a += 2;
            b += 2;
            continue;
        }
        if (ca >= 'A' && ca <= 'Z')
            ca = (BYTE)(ca + 32);
        if (cb >= 'A' && cb <= 'Z')
            cb = (BYTE)(cb + 32);
        if (ca != cb)
            return false;
        if (!ca)
            return true;
        ++a;
        ++b;
    }
}

// Position just after the fourth-last separator of this file's own path: the
// folders above the source tree's top folder. 0 when there are fewer.
size_t ComputeSourcePrefix(const char* path) {
    // This file is <top>/Common/runtime/bTraceLog.cpp: the prefix ends before <top>.
    size_t seps[4] = {0, 0, 0, 0};
    int found = 0;
    for (size_t i = 0; path[i]; ++i) {
        if (IsDBCSLeadByte((BYTE)path[i]) && path[i + 1]) {
            ++i;
            continue;
        }
        if (IsSeparator(path[i])) {
            seps[0] = seps[1];
            seps[1] = seps[2];
            seps[2] = seps[3];
            seps[3] = i + 1;
            ++found;
        }
    }
    return found >= 4 ? seps[0] : 0;
}

// The system's text for a Win32 code, without its line break.
void AppendSystemText(char* buffer, size_t size, DWORD code) {
    size_t len = strlen(buffer);
    if (len + 4 >= size)
        return;
    memcpy(buffer + len, " -- ", 5);
    len += 4;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, LANG_USER_DEFAULT, buffer + len, (DWORD)(size - len), nullptr);
    buffer[len + (n < size - len ? n : 0)] = 0;
    len = strlen(buffer);
    while (len > 0 && (buffer[len - 1] == '\n' || buffer[len - 1] == '\r')) buffer[--len] = 0;
}

class CTraceLog final : public CComObjectRootBase, public ITraceLog {
public:
    BEGIN_COM_MAP(CTraceLog)
    COM_INTERFACE_ENTRY(ITraceLog)
    END_COM_MAP()

    explicit CTraceLog(DWORD options);

    // IUnknown (slots 0-2)
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override {
        return _InternalQueryInterface(iid, ppv);
    }
    STDMETHOD_(ULONG, AddRef)() override { return InternalAddRef(); }
    STDMETHOD_(ULONG, Release)() override {
        ULONG n = InternalRelease();
        if (n == 0)
            DeleteThis();
        return n;
    }

    STDMETHOD(OpenLogFile)(const char* path) override;
    STDMETHOD(GetLogFileName)(char* buffer, int size) override;
    STDMETHOD(CloseLogFile)() override;
    STDMETHOD_(int, RegisterThread)() override {
        t_record.threadId = GetCurrentThreadId();
        return 0;
    }
    STDMETHOD_(int, WriteEntry)(const char* text, int type) override;
    STDMETHOD_(void, SetAllSwitches)(BOOL on) override {
        t_record.traceOn = t_record.exceptionOn = t_record.errorOn = on ? 1 : 0;
    }
    STDMETHOD_(void, SetTraceSwitch)(BOOL on) override { t_record.traceOn = on ? 1 : 0; }
    STDMETHOD_(void, SetExceptionSwitch)(BOOL on) override { t_record.exceptionOn = on ? 1 : 0; }
    STDMETHOD_(void, SetErrorSwitch)(BOOL on) override { t_record.errorOn = on ? 1 : 0; }
    STDMETHOD_(DWORD, SetLastErrorCode)(DWORD code) override {
        t_record.lastCode = code;
        return code;
    }
    STDMETHOD_(int, RecordTracePoint)(const char* file, int line) override;
    STDMETHOD_(int, TracePoint)(const char* file, int line) override {
        if (m_file && t_record.traceOn)
            RecordTracePoint(file, line);
        return 0;
    }
    STDMETHOD_(int, Reserved15)(int, int, int) override { return 0; }
    STDMETHOD_(int, ReportException)(const CSE_Exception* e, const char* file, int line) override;
    int LogMessage(const char* format, ...) override;
    int LogLastError(DWORD code, const char* format, ...) override;
    int LogAt(const char* file, int line, const char* format, ...) override;
    int ErrorAt(const char* file, int line, DWORD code, const char* format, ...) override;
    int HResultErrorAt(const char* file, int line, HRESULT hr, const char* format, ...) override;
    int FormatOnly(int a, int b, const char* format, ...) override;
    STDMETHOD_(int, Reserved23)(int, int) override { return 0; }
    STDMETHOD(GetOptions)(DWORD* out) override {
        if (out)
            *out = m_options;
        return S_OK;
    }
    STDMETHOD_(void, DeleteThis)() override {
        if (m_file)
            CloseLogFile();
        delete this;
    }

private:
    ~CTraceLog() { DeleteCriticalSection(&m_lock); }
    // The writer lock, waited for at most MUTEX_WAIT_MS. A critical section
    // taken by polling: uncontended it costs no kernel call, where a mutex
    // costs two per trace point (and under Wine two server round trips).
    bool Lock() {
        if (TryEnterCriticalSection(&m_lock))
            return true;
        DWORD start = GetTickCount();
        for (int spins = 0;; ++spins) {
            Sleep(spins < 64 ? 0 : 1);
            if (TryEnterCriticalSection(&m_lock))
                return true;
            if (GetTickCount() - start >= MUTEX_WAIT_MS)
                return false;
        }
    }
    void Unlock() { LeaveCriticalSection(&m_lock); }
    // Formats the error text of an ErrorAt-style call: message, " -- ", and
    // the code's text.
    static void FormatWithCode(char* text, const char* format, va_list args) LOG_FORMAT(2, 0);
    // Records a Win32 failure as the thread's last error and formats its
    // entry: the message and the system's text of the code.
    static void FormatWin32Error(char* text, DWORD code, const char* format, va_list args)
        LOG_FORMAT(3, 0);

    DWORD m_options;
    ULONG m_repeat;
    char m_lastText[ENTRY_BUFFER];
    char m_fileName[MAX_PATH];
    TracePointSlot m_ring[RING_SIZE];
    int m_writeIndex;
    int m_pending;  // points in the ring, up to RING_SIZE
    LONG m_totalTrace;
    LONG m_totalLogged;
    size_t m_prefixLength;
    FILE* m_file;
    volatile BYTE m_busy;
    CRITICAL_SECTION m_lock;
};

CTraceLog::CTraceLog(DWORD options)
    : m_options(options),
      m_repeat(0),
      m_writeIndex(0),
      m_pending(0),
      m_totalTrace(0),
      m_totalLogged(0),
      m_prefixLength(ComputeSourcePrefix(__FILE__)),
      m_file(nullptr),
      m_busy(0) {
    InitializeCriticalSection(&m_lock);
    m_dwRef = 1;
    m_lastText[0] = 0;
    m_fileName[0] = 0;
}

HRESULT CTraceLog::OpenLogFile(const char* path) {
    try {
        if (m_file)
            CloseLogFile();
        if (!path)
            path = "";
        size_t len = MbCutLength(path, NAME_MAX_COPY);
        memcpy(m_fileName, path, len);
        m_fileName[len] = 0;
        // The extension starts at the last point of the file-name part (the
        // name is under MAX_PATH, so the extension always fits).
        char ext[MAX_PATH];
        PathExtension(m_fileName, ext, sizeof(ext));
        const size_t extAt = len - strlen(ext);
        strcpy(m_fileName + extAt, ".lg0");
        char* digit = m_fileName + extAt + 3;

        // Rotate: .lg6 goes, .lg5 becomes .lg6, ..., .lg0 becomes .lg1.
        *digit = '6';
        DeleteFileA(m_fileName);
        char older[MAX_PATH];
        for (char d = '5'; d >= '0'; --d) {
            strcpy(older, m_fileName);
            older[extAt + 3] = (char)(d + 1);
            *digit = d;
            MoveFileA(m_fileName, older);
        }
        *digit = '0';

        m_file = fopen(m_fileName, "w");
        if (m_file) {
            time_t now = time(nullptr);
            const char* when = ctime(&now);
            fprintf(m_file, "Version: %s %s\nLogFile: %s start at: %s", __DATE__, __TIME__,
                    m_fileName, when ? when : "\n");
        }
        m_busy = 0;
        m_totalTrace = 0;
        m_totalLogged = 0;
        m_writeIndex = 0;
        m_pending = 0;
        m_repeat = 0;
        m_lastText[0] = 0;
        RegisterThread();
    } catch (...) {
        if (m_file)
            fclose(m_file);
        m_file = nullptr;
    }
    return m_file ? S_OK : E_FAIL;
}

HRESULT CTraceLog::GetLogFileName(char* buffer, int size) {
    if (!buffer || size <= 0)
        return E_POINTER;
    size_t n = MbCutLength(m_fileName, (size_t)size - 1);
    memcpy(buffer, m_fileName, n);
    buffer[n] = 0;
    return S_OK;
}

HRESULT CTraceLog::CloseLogFile() {
    if (!m_file)
        return S_OK;
    // Wait (boundedly) for a writer on another thread to finish its entry.
    bool locked = false;
    for (int tries = 0; tries < 100; ++tries) {
        locked = Lock();
        if (!locked || !m_busy)
            break;
        Unlock();
        locked = false;
        Sleep(10);
    }
    fprintf(m_file, "\n>>SYSTEM TERMINATED NORMALLY<<  Total Trace : %d   Total Logged : %d\n\n",
            (int)m_totalTrace, (int)m_totalLogged);
    fclose(m_file);
    m_file = nullptr;
    m_busy = 0;
    if (locked)
        Unlock();
    return S_OK;
}

int CTraceLog::RecordTracePoint(const char* file, int line) {
    if (!Lock())
        return 1;
    if (m_busy) {
        Unlock();
        return 1;
    }
    // The slot is filled under the lock so that a writer never sees it half
    // written.
    TracePointSlot& slot = m_ring[m_writeIndex];
    m_writeIndex = (m_writeIndex + 1) % RING_SIZE;
    if (m_pending < RING_SIZE)
        ++m_pending;
    ++m_totalTrace;
    if (!file)
        file = "";
    size_t len = strlen(file);
    // Paths of the source tree lose the folders above it; any other path
    // (shorter, or from elsewhere) is kept whole.
    const char* shown = len >= m_prefixLength && strncmp(file, __FILE__, m_prefixLength) == 0
                            ? file + m_prefixLength
                            : file;
    size_t n = MbCutLength(shown, SOURCE_PATH_MAX);
    memcpy(slot.file, shown, n);
    slot.file[n] = 0;
    slot.line = line;
    slot.threadId = GetCurrentThreadId();
    Unlock();
    return 0;
}

int CTraceLog::WriteEntry(const char* text, int type) {
    if (!m_file)
        return 1;
    if (!Lock())
        return 1;
    if (m_busy || !m_file) {
        Unlock();
        return 1;
    }
    m_busy = 1;
    Unlock();

    if (!text)
        text = "";
    char entry[ENTRY_BUFFER];
    switch (type) {
        case TRACE_ENTRY_EXCEPTION:
            snprintf(entry, sizeof(entry), ">>ERROR EXCEPTION<<   Exception(%d:0x%08X) : %s",
                     (int)t_record.lastKind, (unsigned)t_record.lastCode, text);
            break;
        case TRACE_ENTRY_ERROR:
            snprintf(entry, sizeof(entry), ">>ERROR MESSAGE<<   Error(%d:0x%08X) : %s",
                     (int)t_record.lastKind, (unsigned)t_record.lastCode, text);
            break;
        default:
            snprintf(entry, sizeof(entry), ">>LOG MESSAGE<<   %s", text);
            break;
    }
    CutAt(entry, ENTRY_CUT);

    if (!(m_options & TRACE_OPTION_KEEP_REPEATS) && SameTextIgnoringCase(entry, m_lastText)) {
        ++m_repeat;
    } else {
        if (m_repeat) {
            fprintf(m_file, ">>REPEAT<< Last message repeated by %d time(s)\n\n", (int)m_repeat);
            ++m_totalLogged;
        }
        strcpy(m_lastText, entry);
        m_repeat = 0;

        int pending = m_pending;
        int limit =
            (type != TRACE_ENTRY_LOG || pending <= RING_LIMIT_LOG) ? RING_SIZE : RING_LIMIT_LOG;
        if (m_totalLogged > FLOOD_LOGGED)
            limit = RING_LIMIT_FLOODED;
        int written = pending < limit ? pending : limit;
        int start = ((m_writeIndex - written) % RING_SIZE + RING_SIZE) % RING_SIZE;
        for (int i = 0; i < written; ++i) {
            const TracePointSlot& slot = m_ring[(start + i) % RING_SIZE];
            fprintf(m_file, "<%08X> %s (%d)\n", (unsigned)slot.threadId, slot.file, slot.line);
        }
        fprintf(m_file, "\n%s\n\n", entry);
        fflush(m_file);
        m_totalLogged += written;
        m_writeIndex = 0;
        m_pending = 0;
    }
    m_busy = 0;
    return 0;
}

int CTraceLog::LogMessage(const char* format, ...) {
    if (!t_record.traceOn)
        return 0;
    char text[FORMAT_BUFFER];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format ? format : "", args);
    va_end(args);
    return WriteEntry(text, TRACE_ENTRY_LOG);
}

int CTraceLog::LogAt(const char* file, int line, const char* format, ...) {
    if (!t_record.traceOn)
        return 0;
    char text[FORMAT_BUFFER];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format ? format : "", args);
    va_end(args);
    if (!m_file)
        return 1;
    RecordTracePoint(file, line);
    return WriteEntry(text, TRACE_ENTRY_LOG);
}

void CTraceLog::FormatWithCode(char* text, const char* format, va_list args) {
    vsnprintf(text, FORMAT_BUFFER, format ? format : "", args);
    CutAt(text, FORMAT_CUT);
}

void CTraceLog::FormatWin32Error(char* text, DWORD code, const char* format, va_list args) {
    t_record.lastKind = KIND_WIN32;
    t_record.lastCode = code;
    FormatWithCode(text, format, args);
    AppendSystemText(text, FORMAT_BUFFER, code);
}

int CTraceLog::LogLastError(DWORD code, const char* format, ...) {
    if (!code)
        code = GetLastError();
    if (!t_record.errorOn)
        return 0;
    char text[FORMAT_BUFFER];
    va_list args;
    va_start(args, format);
    FormatWin32Error(text, code, format, args);
    va_end(args);
    return WriteEntry(text, TRACE_ENTRY_LOG);
}

int CTraceLog::ErrorAt(const char* file, int line, DWORD code, const char* format, ...) {
    if (!t_record.errorOn)
        return 0;
    char text[FORMAT_BUFFER];
    va_list args;
    va_start(args, format);
    FormatWin32Error(text, code, format, args);
    va_end(args);
    if (!m_file)
        return 1;
    RecordTracePoint(file, line);
    return WriteEntry(text, TRACE_ENTRY_ERROR);
}

int CTraceLog::HResultErrorAt(const char* file, int line, HRESULT hr, const char* format, ...) {
    if (!t_record.errorOn)
        return 0;
    t_record.lastKind = KIND_HRESULT;
    t_record.lastCode = (DWORD)hr;
    char text[FORMAT_BUFFER];
    va_list args;
    va_start(args, format);
    FormatWithCode(text, format, args);
    va_end(args);
    size_t len = strlen(text);
    if (len + 4 < sizeof(text)) {
        memcpy(text + len, " -- ", 5);
        len += 4;
        FormatErrorCode(text + len, hr, (int)(sizeof(text) - len));
        len = strlen(text);
        while (len > 0 && (text[len - 1] == '\n' || text[len - 1] == '\r')) text[--len] = 0;
    }
    if (!m_file)
        return 1;
    RecordTracePoint(file, line);
    return WriteEntry(text, TRACE_ENTRY_ERROR);
}

int CTraceLog::ReportException(const CSE_Exception* e, const char* file, int line) {
    if (!t_record.exceptionOn)
        return 0;
    try {
        t_record.lastKind = KIND_EXCEPTION;
        t_record.lastCode = e ? e->GetCode() : 0;
        char text[FORMAT_BUFFER];
        text[0] = 0;
        if (e)
            e->GetText(text, sizeof(text));
        if (!m_file)
            return 1;
        RecordTracePoint(file, line);
        return WriteEntry(text, TRACE_ENTRY_EXCEPTION);
    } catch (...) {
        return 1;
    }
}

int CTraceLog::FormatOnly(int, int, const char* format, ...) {
    char text[FORMAT_BUFFER];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format ? format : "", args);
    va_end(args);
    return 0;
}

}  // namespace

// The process-wide object, kept with its accessor in bTraceLogAccessor.cpp.
extern ITraceLog* g_traceLog;

int CreateTraceLog(const char* path, DWORD options) {
    if (g_traceLog)
        ReleaseTraceLog();
    CTraceLog* log = new (std::nothrow) CTraceLog(options);
    if (!log)
        return 0;
    g_traceLog = log;
    log->OpenLogFile(path);
    return 0;
}

void ReleaseTraceLog() {
    ITraceLog* log = g_traceLog;
    if (!log)
        return;
    g_traceLog = nullptr;
    log->CloseLogFile();
    log->Release();
}
