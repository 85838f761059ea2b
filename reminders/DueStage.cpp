#include "reminders/DueStage.h"

namespace fd::reminders {

std::optional<DueStage> dueStage(const QList<int>& daysBefore, bool afterExpiry, qint64 expiry, qint64 today)
{
    std::optional<DueStage> due;
    auto consider = [&](int stage, qint64 day) {
        if (day <= today && (!due || day > due->day))
            due = DueStage {stage, day};
    };
    if (today <= expiry) {
        for (const int days : daysBefore)
            if (days >= 0)
                consider(days, expiry - days);
    } else if (afterExpiry && today <= expiry + kAfterExpiryCatchUpDays) {
        consider(kAfterExpiry, expiry + 1);
    }
    return due;
}

} // namespace fd::reminders
