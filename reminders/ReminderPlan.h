#pragma once

#include "db/Connection.h"
#include "reminders/DueStage.h"
#include "reminders/ReminderRules.h"

#include <QString>
#include <vector>

// Today's reminders: every (vehicle, document, expiry date, stage) due by the rules, and what is
// to become of it. Reads the fleet and the stage records; sends nothing.
namespace fd::reminders {

struct PlanEntry {
    enum class Status {
        Send,         // due and not sent yet (earlierResult kNotSentResult: an earlier try did not go out)
        AlreadySent,  // the stage has a result: sent (or tried) before
        Unresolved,   // marked by a run that ended before the result came: a person decides
        OutOfService, // 车辆状态 转出 or 注销
        NoPhone,      // no phone number
        BadPhone,     // not 11 digits
    };
    qint64 vehicleId = 0;
    QString plate, owner, phone, vehicleStatus;
    QString column, document;
    QString expiryText; // as stored: 2016-06-30
    qint64 expiryDay = 0;
    int stage = 0; // days before expiry, or kAfterExpiry
    Status status = Status::Send;
    QString message; // the reminder without the signature
    QString earlierResult; // the result recorded by an earlier run, if any
};

struct ReminderPlan {
    qint64 today = 0;
    ReminderRules rules;
    std::vector<PlanEntry> entries; // vehicle by vehicle, documents in the rules' order
    qint64 vehicles = 0;            // vehicles read
    int count(PlanEntry::Status status) const;
};

// 提前30天, 到期当天, 过期次日
QString stageText(int stage);
QString statusText(PlanEntry::Status status);

// Whether planning stores the default rules of the documents that have none (ensureDefaultRules)
// before reading them. A dry run writes nothing: missing tables read as the default rules and no
// stage recorded.
enum class PlanRules { StoreDefaults, ReadOnly };

// Reads the rules, the fleet (streamed: 100 000 vehicles are never held twice) and the stage
// records, and plans `today` (a day number). False, with the server's reason, when a statement
// fails.
bool planReminders(const db::ConnectionPtr& connection, qint64 today, ReminderPlan& plan, QString* error = nullptr,
    PlanRules rules = PlanRules::StoreDefaults);

} // namespace fd::reminders
