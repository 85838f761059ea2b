#pragma once

#include <QList>
#include <optional>

// Which reminder of one document is due on a day: pure arithmetic on day numbers (days since
// 1899-12-30, see common/DateTime.h), no database.
namespace fd::reminders {

// The stage of the reminder on the day after expiry; the other stages are the days before expiry
// at which they go out (0: on the day of expiry).
constexpr int kAfterExpiry = -1;
// How long after expiry the reminder of the day after is still sent when runs were missed. A
// document expired longer ago (a vehicle sold off without a word) is left alone.
constexpr int kAfterExpiryCatchUpDays = 30;

struct DueStage {
    int stage = 0;     // days before expiry, or kAfterExpiry
    qint64 day = 0;    // the day it was meant for
    bool expired() const { return stage == kAfterExpiry; }
};

// The stage of a document expiring on `expiry` that is due `today`: the latest stage whose day has
// come. Stages whose day passed without a run are still due (caught up), unless a later stage's
// day has come too: then only the later one is. A stage before expiry is no longer due once the
// document has expired (its text would announce a day already past); the stage of the day after
// expiry is due for kAfterExpiryCatchUpDays days. None when no stage is due.
std::optional<DueStage> dueStage(const QList<int>& daysBefore, bool afterExpiry, qint64 expiry, qint64 today);

} // namespace fd::reminders
