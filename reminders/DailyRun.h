#pragma once

#include "db/Connection.h"
#include "reminders/ReminderRun.h"

#include <QString>
#include <functional>

// What fleetdesk-remind does for one day, its report line by line through `say`. Blocks the
// calling thread.
namespace fd::reminders {

// The exit status of a run that left the day to another run sending the company's reminders now;
// the others are those of exitStatus().
constexpr int kExitOtherRun = 3;

// The day's plan, printed with the messages that would go out. Writes nothing: works with an
// account that may only read, and before the reminder tables exist (then with the default rules).
// 0, or 2 when the fleet or the rules cannot be read.
int dryRunDay(const db::ConnectionPtr& connection, qint64 today, const std::function<void(const QString&)>& say);

// Takes the company's run (see RunClaim.h), plans the day, sends it and reports. When another run
// has it, says so and sends nothing (kExitOtherRun). Otherwise the status of exitStatus().
int runDay(const db::ConnectionPtr& connection, const SmsAccount& account, qint64 today, RunOptions options,
    const std::function<void(const QString&)>& say);

// The line of a run that found another one sending: the other's machine and start.
QString otherRunText(const QString& holder);

} // namespace fd::reminders
