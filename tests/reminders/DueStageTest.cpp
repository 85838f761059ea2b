// Which stage of a document is due on a day, and the reading of the days typed into the rules.
#include "common/DateTime.h"
#include "reminders/DueStage.h"
#include "reminders/ReminderRules.h"

#include <gtest/gtest.h>

namespace fd::reminders {
namespace {

qint64 day(int y, int m, int d)
{
    return datetime::daysFromCivil(y, m, d);
}

constexpr int kNone = -99;

struct Case {
    const char* what;
    QList<int> days;
    bool after;
    qint64 expiry, today;
    int stage; // kNone: nothing due
};

TEST(DueStage, StagesBeforeOnAndAfterExpiry)
{
    const qint64 e = day(2016, 6, 30);
    const Case cases[] = {
        {"31 days before", {30, 7}, true, e, day(2016, 5, 30), kNone},
        {"30 days before", {30, 7}, true, e, day(2016, 5, 31), 30},
        {"8 days before: the 30-day stage caught up", {30, 7}, true, e, day(2016, 6, 22), 30},
        {"7 days before", {30, 7}, true, e, day(2016, 6, 23), 7},
        {"missed days with both passed: only the later", {30, 7}, true, e, day(2016, 6, 29), 7},
        {"the day of expiry", {30, 7}, true, e, e, 7},
        {"the day of expiry as a stage", {30, 0}, true, e, e, 0},
        {"the day after expiry", {30, 7}, true, e, day(2016, 7, 1), kAfterExpiry},
        {"after expiry no stage before is due", {30, 7}, false, e, day(2016, 7, 1), kNone},
        {"last catch-up day after expiry", {30, 7}, true, e, e + kAfterExpiryCatchUpDays, kAfterExpiry},
        {"expired too long ago", {30, 7}, true, e, e + kAfterExpiryCatchUpDays + 1, kNone},
        {"only the day after", {}, true, e, day(2016, 6, 29), kNone},
        {"a renewed date starts again", {30, 7}, true, day(2017, 6, 30), day(2017, 5, 31), 30},
        {"renewed, the old stage's day is not due", {30, 7}, true, day(2017, 6, 30), day(2016, 7, 1), kNone},
        {"December to January: 30 days", {30, 7}, true, day(2017, 1, 5), day(2016, 12, 6), 30},
        {"December to January: 7 days", {30, 7}, true, day(2017, 1, 5), day(2016, 12, 29), 7},
        {"expired on New Year's Eve", {30, 7}, true, day(2016, 12, 31), day(2017, 1, 1), kAfterExpiry},
        {"leap day", {1}, true, day(2016, 3, 1), day(2016, 2, 29), 1},
    };
    for (const Case& c : cases) {
        const std::optional<DueStage> due = dueStage(c.days, c.after, c.expiry, c.today);
        EXPECT_EQ(due ? due->stage : kNone, c.stage) << c.what;
        if (due && due->stage != kAfterExpiry) {
            EXPECT_EQ(due->day, c.expiry - due->stage) << c.what;
        }
    }
}

TEST(DueStage, DaysAsTyped)
{
    const struct {
        const char16_t* text;
        bool ok;
        QList<int> days;
    } cases[] = {
        {u"30,7", true, {30, 7}},
        {u"7， 30", true, {30, 7}},
        {u"0", true, {0}},
        {u"", true, {}},
        {u"30,30", false, {}},
        {u"-1", false, {}},
        {u"367", false, {}},
        {u"30天", false, {}},
    };
    for (const auto& c : cases) {
        QList<int> days {99};
        EXPECT_EQ(parseDays(QString::fromUtf16(c.text), days), c.ok) << QString::fromUtf16(c.text).toStdString();
        if (c.ok) {
            EXPECT_EQ(days, c.days);
        }
    }
}

} // namespace
} // namespace fd::reminders
