#pragma once

#include "db/Connection.h"
#include "reminders/ReminderPlan.h"
#include "sms/SmsClient.h"

#include <QString>
#include <atomic>
#include <functional>

// Sending today's plan. Each stage is claimed in the database before its request (a row of
// tixingjilu without a result; the unique key on the stage lets one run of several win it) and
// given its result after it, so a stage is never sent twice: not by a rerun, not by a second
// office running at the same time, not after a run killed between the two (that stage stays
// without a result and is reported by every later run for a person to decide). A stage whose
// message certainly did not go out is sent again by a later run. Blocks the calling
// thread; meant for a job lane or the command line.
namespace fd::reminders {

// The unattended account and where the platform is.
struct SmsAccount {
    sms::SmsPlatform platform;
    QString user, password;
};

struct RunOptions {
    // Between the starts of two requests; the platform takes one message a second.
    int paceMs = 1000;
    // Who claims the stages (the machine's name), kept with each stage.
    QString runner;
    // The company's run this one holds (see RunClaim.h), kept alive before each stage; empty: none.
    QString claimToken;
    // After this many stages in a row that were not sent, the rest is left to the next run.
    int maxFailuresInARow = 5;
};

struct RunSummary {
    int planned = 0;      // stages to send at the start
    int sent = 0;         // accepted by the platform
    int failed = 0;       // not sent (refused, platform not reached, stage not claimed) or not closed
    int unknown = 0;      // the request went and no answer came: left for a person
    int unlogged = 0;     // accepted, but no row in duanxinbiao
    int takenElsewhere = 0; // claimed meanwhile by another run
    int notReached = 0;   // left when the run was stopped, gave up or lost its claim
    int gaveUpAfter = 0;  // stopped after this many stages in a row were not sent (0: did not)
    bool claimLost = false; // another run took the company's run over (this one seemed dead)
    QString error;        // the run could not start (account refused, balance too small)
};

// What became of one stage: "成功", "失败：…" (nothing went out), "结果不明，待人工确认" (the
// request went, no answer came), for the report and the window.
struct StageOutcome {
    const PlanEntry* entry = nullptr;
    QString result;
    bool ok = false;
};

// Sends the plan's entries whose status is Send, one request each, paceMs apart. A stage whose
// message certainly did not go out is recorded kNotSentResult and sent again by a later run; one
// whose request went without an answer keeps no result (a person decides). `stop` ends the run
// between two requests. `each` hears of every stage it handled, on the calling thread.
RunSummary sendPlan(const db::ConnectionPtr& connection, const SmsAccount& account, const ReminderPlan& plan,
    const RunOptions& options, const std::atomic_bool* stop = nullptr,
    const std::function<void(const StageOutcome&)>& each = {});

// The report of a plan (dry run: what would be sent) and of a run, in lines for the scheduler's log.
QString planReport(const ReminderPlan& plan, bool dryRun);
QString summaryReport(const ReminderPlan& plan, const RunSummary& summary);
// 0 nothing went wrong; 1 a stage failed or waits for a person (unresolved, unlogged) or some were
// left for the next run; 2 the run could not start. (3, another run was sending: see DailyRun.h.)
int exitStatus(const ReminderPlan& plan, const RunSummary& summary);

} // namespace fd::reminders
