// The accessor alone, apart from the log's code: a program that only logs
// when another part made a log (the launcher) links no more than this.
#include "bTraceLog.h"

ITraceLog* g_traceLog = nullptr;

ITraceLog* GetTraceLog() {
    return g_traceLog;
}
