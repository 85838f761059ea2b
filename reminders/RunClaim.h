#pragma once

#include "db/Connection.h"

#include <QString>

// One reminder run at a time for the company: two offices' timers, two cluster nodes, a timer and
// 立即发送 in the window. The run holds the one row of tixingyunxing by writing its own token
// into it; the row's unique key makes the write conflict on every node of a cluster (a named lock
// would hold on one node only). The holder refreshes the row's heartbeat before each message; a
// row whose heartbeat is older than kStaleClaimMinutes belongs to a run that died (killed, power
// cut) and is taken over.
namespace fd::reminders {

constexpr int kStaleClaimMinutes = 5;

struct RunClaim {
    enum class Outcome { Claimed, Busy, Failed };
    Outcome outcome = Outcome::Failed;
    QString token;   // Claimed: this run's, for refreshing and releasing
    QString holder;  // Busy: the machine of the run that holds it and when it started
    QString error;   // Failed: the server's reason
};

// Tries to take the company's run for `runner` (the machine's name). The table is expected to
// exist (db/ProgramTables.h).
RunClaim claimRun(const db::ConnectionPtr& connection, const QString& runner);
// Refreshes the heartbeat. False when the run is no longer held by this token (taken over); a
// statement that fails (the server is gone) counts as still held.
bool keepRunClaim(const db::ConnectionPtr& connection, const QString& token);
// Frees the run for the next one.
void releaseRun(const db::ConnectionPtr& connection, const QString& token);

} // namespace fd::reminders
