// Date helpers: fields, OLE dates, C tm and strftime text.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include "bDateUtil.h"

namespace {

TEST(DateUtil, FieldsBecomeOleDates) {
    struct Case {
        int y, mo, d, h, mi, s;
        bool ok;
        double date;
    } cases[] = {
        {1899, 12, 30, 0, 0, 0, true, 0.0},     {2000, 1, 1, 12, 0, 0, true, 36526.5},
        {1899, 12, 29, 18, 0, 0, true, -1.75},  // before day 0 the fraction counts forward
        {100, 1, 1, 0, 0, 0, true, DATE_FIRST}, {9999, 12, 31, 0, 0, 0, true, DATE_LAST},
        {2000, 13, 1, 0, 0, 0, false, 0},       {2000, 1, 1, 0, 0, -1, false, 0},
        {70000, 1, 1, 0, 0, 0, false, 0},
    };
    for (const Case& c : cases) {
        DATE date = -99;
        EXPECT_EQ(DateFromFields(c.y, c.mo, c.d, c.h, c.mi, c.s, &date), c.ok)
            << c.y << "-" << c.mo;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(date, c.date) << c.y;
        }
    }
}

TEST(DateUtil, DateToTmFillsEveryField) {
    struct tm t;
    ASSERT_TRUE(DateToTm(36526.5, &t));  // Saturday 1 January 2000, 12:00
    EXPECT_EQ(t.tm_year, 100);
    EXPECT_EQ(t.tm_mon, 0);
    EXPECT_EQ(t.tm_mday, 1);
    EXPECT_EQ(t.tm_hour, 12);
    EXPECT_EQ(t.tm_min, 0);
    EXPECT_EQ(t.tm_wday, 6);
    EXPECT_EQ(t.tm_yday, 0);
    EXPECT_EQ(t.tm_isdst, -1);

    DATE d;
    ASSERT_TRUE(DateFromFields(2000, 12, 31, 23, 59, 59, &d));
    ASSERT_TRUE(DateToTm(d, &t));
    EXPECT_EQ(t.tm_yday, 365);  // leap year
    EXPECT_EQ(t.tm_sec, 59);
    ASSERT_TRUE(DateFromFields(1900, 3, 1, 0, 0, 0, &d));
    ASSERT_TRUE(DateToTm(d, &t));
    EXPECT_EQ(t.tm_yday, 59);  // 1900 is no leap year
    ASSERT_TRUE(DateFromFields(100, 1, 1, 0, 0, 0, &d));
    ASSERT_TRUE(DateToTm(d, &t));
    EXPECT_EQ(t.tm_year, 100 - 1900);

    EXPECT_FALSE(DateToTm(1e9, &t));
    EXPECT_FALSE(DateToTm(NAN, &t));
}

TEST(DateUtil, FormatDateTimeTable) {
    struct Case {
        DATE date;
        const char* format;
        const char* text;
    } cases[] = {
        {36526.5, "%Y-%m-%d %H:%M:%S", "2000-01-01 12:00:00"},
        {36526.5, "%j %w %%", "001 6 %"},
        {36526.5, "", ""},
        {DATE_LAST, "%Y-%m-%d", "9999-12-31"},
        {DATE_LAST + 0.5, "%Y", ""},  // above the range
        {2958466.0, "%Y", ""},
        {DATE_FIRST - 0.5, "%Y", ""},  // below it
        {NAN, "%Y", ""},
        {36526.5, "%Q", ""},    // a conversion the runtime does not know
        {36526.5, "100%", ""},  // a lone percent sign at the end
        {36526.5, "%#d", "1"},
    };
    for (const Case& c : cases) {
        char out[DATE_TEXT_SIZE];
        memset(out, 'x', sizeof(out));
        FormatDateTime(c.date, c.format, out, sizeof(out));
        EXPECT_STREQ(out, c.text) << c.format << " " << c.date;
    }
    // Text that does not fit leaves an empty result.
    char small[8];
    FormatDateTime(36526.5, "%Y-%m-%d", small, sizeof(small));
    EXPECT_STREQ(small, "");
}

TEST(DateUtil, DateTimeFromTimeUsesLocalTime) {
    time_t now = 1700000000;  // 14 November 2023
    struct tm* local = localtime(&now);
    ASSERT_NE(local, nullptr);
    DATE expected;
    ASSERT_TRUE(DateFromFields(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
                               local->tm_hour, local->tm_min, local->tm_sec, &expected));
    EXPECT_DOUBLE_EQ(DateTimeFromTime(now), expected);
    EXPECT_EQ(DateTimeFromTime((time_t)-1), DATE_INVALID);
}

}  // namespace
