// printf-style checking of a format argument and the arguments after it
// (positions count from 1; a member function's object is argument 1; 0 for
// the first argument when they come as a va_list). The C library's vsnprintf
// is the one the formats go to, so its dialect is the one checked.
#pragma once

#include <stdio.h>

#define LOG_FORMAT(formatArg, firstArg) \
    __attribute__((format(__MINGW_PRINTF_FORMAT, formatArg, firstArg)))
