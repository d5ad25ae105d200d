// Placeholder until the trace log lands: no log object exists.
#include "bTraceLog.h"

static ITraceLog* g_traceLog = nullptr;

ITraceLog* GetTraceLog() { return g_traceLog; }
int CreateTraceLog(const char*) { return 0; }
void ReleaseTraceLog() {}
void InstallSETranslator() {}
CSE_Exception::CSE_Exception(const EXCEPTION_RECORD* record, const CONTEXT* context) : CSE_Exception() {
    if (record) {
        m_record = *record;
        m_code = record->ExceptionCode;
    }
    if (context) m_context = *context;
}
void CSE_Exception::GetText(char* buffer, int size) const {
    if (buffer && size > 0) buffer[0] = 0;
}
