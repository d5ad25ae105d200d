#include "bDateUtil.h"

#include <string.h>

#include "bTraceLog.h"

namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DayOfYear(int year, int month, int day) {
    static const int before[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    return before[month - 1] + day - 1 + (month > 2 && IsLeapYear(year) ? 1 : 0);
}

// The C runtime treats an unknown conversion as an invalid parameter (which
// may end the process), so formats from scripts are checked first.
bool IsKnownFormat(const char* format) {
    for (const char* p = format; *p; ++p) {
        if (*p != '%')
            continue;
        ++p;
        if (*p == '#')
            ++p;
        if (!*p || !strchr("aAbBcdHIjmMpSUwWxXyYzZ%", *p))
            return false;
    }
    return true;
}

}  // namespace

DATE DateTimeFromTime(time_t time) {
    struct tm* t = localtime(&time);
    DATE date;
    if (!t || !DateFromFields(t->tm_year + 1900, t->tm_mon + 1, t->tm_mday, t->tm_hour, t->tm_min,
                              t->tm_sec, &date))
        return DATE_INVALID;
    return date;
}

bool DateFromFields(int year, int month, int day, int hour, int minute, int second, DATE* out) {
    if (!out || year < 0 || year > 0xFFFF || month < 0 || month > 0xFFFF || day < 0 ||
        day > 0xFFFF || hour < 0 || hour > 0xFFFF || minute < 0 || minute > 0xFFFF || second < 0 ||
        second > 0xFFFF)
        return false;
    SYSTEMTIME st = {};
    st.wYear = (WORD)year;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    st.wHour = (WORD)hour;
    st.wMinute = (WORD)minute;
    st.wSecond = (WORD)second;
    return SystemTimeToVariantTime(&st, out) != 0;
}

bool DateToTm(DATE date, struct tm* out) {
    SYSTEMTIME st;
    // NaN passes some VariantTimeToSystemTime range tests and comes back as
    // arbitrary fields.
    if (!out || !(date > DATE_INVALID && date < DATE_LAST + 1.0))
        return false;
    if (!VariantTimeToSystemTime(date, &st))
        return false;
    if (st.wMonth < 1 || st.wMonth > 12)
        return false;
    memset(out, 0, sizeof(*out));
    out->tm_year = st.wYear - 1900;
    out->tm_mon = st.wMonth - 1;
    out->tm_mday = st.wDay;
    out->tm_hour = st.wHour;
    out->tm_min = st.wMinute;
    out->tm_sec = st.wSecond;
    out->tm_wday = st.wDayOfWeek;
    out->tm_yday = DayOfYear(st.wYear, st.wMonth, st.wDay);
    out->tm_isdst = -1;
    return true;
}

void FormatDateTime(DATE date, const char* format, char* out, size_t size) {
    if (!out || size == 0)
        return;
    out[0] = '\0';
    if (!format || !(date >= DATE_FIRST && date <= DATE_LAST))
        return;
    struct tm t;
    if (!DateToTm(date, &t))
        return;
    if (!IsKnownFormat(format)) {
        LOG_MSG("FormatDateTime: unknown conversion in \"%s\"", format);
        return;
    }
    if (strftime(out, size, format, &t) == 0)
        out[0] = '\0';
}
