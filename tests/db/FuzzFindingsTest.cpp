// Inputs the fuzz targets (fuzz/) found to be read wrongly, kept so that they stay read right.
#include "db/FieldConvert.h"

#include "common/DateTime.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace fd::db::convert;
using fd::datetime::kEmptyDate;

namespace {

// A month or day wider than 32 bits was cut to its low bits before the calendar check, so a month
// of 2^32 + 1 read as January.
TEST(FuzzFindings, FieldsBeyondThirtyTwoBitsAreNotCutToValidOnes)
{
    struct Case {
        DateKind kind;
        const char* text;
    };
    const Case cases[] = {
        {DateKind::Date, "2016-4294967297-01"},
        {DateKind::Date, "2016-01-4294967297"},
        {DateKind::DateTime, "2016-1-4294967298 10:00:00"},
        {DateKind::DateTime, "2016-8589934594-01 00:00:00"},
    };
    for (const Case& c : cases) {
        double days = 12345.0;
        ASSERT_TRUE(toDayNumber(c.kind, c.text, std::strlen(c.text), days)) << c.text;
        EXPECT_EQ(days, kEmptyDate) << c.text;
    }
}

} // namespace
