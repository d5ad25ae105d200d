// Conversions between time_t, calendar fields, OLE DATE values (days since
// 30 December 1899) and strftime text.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <stddef.h>
#include <time.h>

// One day before the first valid DATE; what DateTimeFromTime gives when the
// time cannot be converted.
#define DATE_INVALID (-657435.0)
// The range FormatDateTime accepts (1 January 100 to 31 December 9999).
#define DATE_FIRST (-657434.0)
#define DATE_LAST 2958465.0

// Size FormatDateTime's callers give their buffer.
enum { DATE_TEXT_SIZE = 4096 };

// The local time of a time_t as a DATE, or DATE_INVALID.
DATE DateTimeFromTime(time_t time);

// SystemTimeToVariantTime of the fields; false when they do not convert.
bool DateFromFields(int year, int month, int day, int hour, int minute, int second, DATE* out);

// The fields of a DATE as a C tm: month from 0, year minus 1900, week day and
// day of the year filled, daylight flag -1. False when it does not convert.
bool DateToTm(DATE date, struct tm* out);

// strftime of the date into out; an empty text when the date lies outside
// DATE_FIRST..DATE_LAST, does not convert, the format holds a conversion
// strftime does not know, or the text does not fit.
void FormatDateTime(DATE date, const char* format, char* out, size_t size);
