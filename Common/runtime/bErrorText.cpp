#include "bErrorText.h"

#include <stdio.h>
#include <string.h>

#include "bStrConv.h"

int FormatErrorCode(char* buffer, HRESULT code, int size) {
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = 0;
    DWORD value = (DWORD)code;
    char text[1024];
    int len = 0;
    if (value >= OWN_CODE_FIRST && value <= OWN_CODE_LAST) {
        len = LoadStringA(GetModuleHandleA(nullptr), value - OWN_CODE_FIRST + OWN_CODE_STRING_BASE,
                          text, sizeof(text));
    } else {
        len = (int)FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, value, LANG_USER_DEFAULT, text, sizeof(text), nullptr);
        if (len < 0 || len >= (int)sizeof(text))
            len = 0;
        text[len] = 0;
        while (len > 0 && (text[len - 1] == '\n' || text[len - 1] == '\r')) text[--len] = 0;
    }
    if (len <= 0)
        snprintf(text, sizeof(text), "%08X", (unsigned)value);
    size_t n = MbCutLength(text, (size_t)size - 1);
    memcpy(buffer, text, n);
    buffer[n] = 0;
    return (int)n;
}
