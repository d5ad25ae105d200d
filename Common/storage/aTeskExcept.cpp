// Exceptions of the storage layer.
#include "bStorage.h"

#include "bMsgBox.h"
#include "bTraceLog.h"

#include <stdlib.h>
#include <string.h>

static char* DuplicateText(const char* text) {
    if (!text)
        return nullptr;
    size_t n = strlen(text) + 1;
    char* copy = static_cast<char*>(malloc(n));
    if (copy)
        memcpy(copy, text, n);
    return copy;
}

CTeskExcept::CTeskExcept() : m_code(0), m_text(nullptr) {
    TRACE_POINT();
}

CTeskExcept::CTeskExcept(int code) : m_code(code), m_text(nullptr) {
    TRACE_POINT();
}

// The text is duplicated, not shared: each copy frees its own.
CTeskExcept::CTeskExcept(const CTeskExcept& other)
    : m_code(other.m_code), m_text(DuplicateText(other.m_text)) {}

CTeskExcept& CTeskExcept::operator=(const CTeskExcept& other) {
    if (this != &other) {
        char* text = DuplicateText(other.m_text);
        free(m_text);
        m_text = text;
        m_code = other.m_code;
    }
    return *this;
}

CTeskExcept::~CTeskExcept() {
    free(m_text);
}

BOOL CTeskExcept::GetErrorMessage(char* text, UINT maxChars, UINT* helpContext) {
    if (helpContext)
        *helpContext = 0;
    if (text && maxChars)
        text[0] = 0;
    return FALSE;
}

int CTeskExcept::ReportError(UINT type, UINT helpId) {
    (void)helpId;
    char text[512];
    GetErrorMessage(text, sizeof(text), nullptr);
    return SysMessageBox(nullptr, text, "Mavro", type);
}

CTeskStreamExcept::CTeskStreamExcept(int code) : CTeskExcept(code) {
    if (ITraceLog* log = GetTraceLog())
        log->FormatOnly(0, 0, "TeskException has been throwed!");
}

void ThrowTeskStreamExcept(int code, const char* text) {
    if (ITraceLog* log = GetTraceLog())
        log->FormatOnly(0, 0, text);
    throw CTeskStreamExcept(code);
}
