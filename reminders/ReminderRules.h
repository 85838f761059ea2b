#pragma once

#include "db/Connection.h"

#include <QList>
#include <QString>
#include <vector>

// The reminder rules, kept in the database beside the fleet: for each of the seven watched expiry
// dates the days before expiry at which its owner is reminded, whether once more on the day after
// expiry, and on or off; the signature every reminder ends with. Runs on the calling thread.
namespace fd::reminders {

inline const QString kRulesTable = QStringLiteral("tixingguize");
inline const QString kOptionsTable = QStringLiteral("tixingshezhi");
inline const QString kStagesTable = QStringLiteral("tixingjilu");
// One row per company: the run sending the reminders now (one at a time, see ReminderClaim.h).
inline const QString kRunTable = QStringLiteral("tixingyunxing");

// The result of a stage whose message certainly did not go out (the platform refused it, or could
// not be reached): a later run sends it again while the stage is due. "成功" is a sent stage; any
// other result (also the "失败" of older runs, which did not tell a refusal from a missing answer)
// is never sent again, and a stage without a result waits for a person.
inline const QString kSentResult = QStringLiteral("成功");
inline const QString kNotSentResult = QStringLiteral("未发出");

struct ReminderRule {
    QString column;   // the watched date column of celiangzongbiao
    QString document; // how the reminder names it: 行车证, 营运证, ...
    QString action;   // what the owner is asked to do: 审验。, 投保。, ...
    QList<int> daysBefore {30, 7};
    bool afterExpiry = true;
    bool enabled = true;
    bool operator==(const ReminderRule&) const = default;
};

struct ReminderRules {
    std::vector<ReminderRule> rules; // in the order of the watched dates
    QString signature;               // appended to every reminder: 【公司名称】
    const ReminderRule* find(const QString& column) const;
};

// The defaults of an affiliating haulier: every document at 30 and 7 days before and once on the
// day after expiry.
ReminderRules defaultRules();

// "30,7" -> {30, 7}: numbers 0 to 366 separated by commas, spaces or full-width commas, each once,
// largest first. False for anything else.
bool parseDays(const QString& text, QList<int>& days);
QString daysText(const QList<int>& days);

// Stores the default rule of each watched date that has none, and an empty signature when there is
// none; stored rules are left as they are. The tables are the program's (db/ProgramTables.h).
bool ensureDefaultRules(const db::ConnectionPtr& connection, QString* error = nullptr);
// The stored rules (the defaults for a document without a row), the stored signature. A table
// not made yet reads as no rows.
bool loadRules(const db::ConnectionPtr& connection, ReminderRules& rules, QString* error = nullptr);
// Stores every rule and the signature in one transaction: all of them or, on any failure, none. A
// text GBK cannot hold is refused before anything is written.
bool saveRules(const db::ConnectionPtr& connection, const ReminderRules& rules, QString* error = nullptr);

} // namespace fd::reminders
