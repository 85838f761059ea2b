#include "reminders/ReminderRules.h"

#include "common/Text.h"
#include "db/Database.h"
#include "db/ErrorCodes.h"
#include "db/Transaction.h"
#include "vehicles/VehicleColumns.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace fd::reminders {
namespace {

    using vehicles::WatchedDate;

    void fail(QString* error, const QString& text)
    {
        if (error)
            *error = text;
    }

    const QString kNoConnection = QStringLiteral("没有连接数据库");

} // namespace

const ReminderRule* ReminderRules::find(const QString& column) const
{
    for (const ReminderRule& rule : rules)
        if (rule.column == column)
            return &rule;
    return nullptr;
}

ReminderRules defaultRules()
{
    struct Default {
        WatchedDate date;
        const char16_t* document;
        const char16_t* action;
    };
    static const Default defaults[] = {
        {WatchedDate::DrivingPermit, u"行车证", u"审验。"},
        {WatchedDate::OperatingPermit, u"营运证", u"审验。"},
        {WatchedDate::MainInsurance, u"主车保险", u"投保。"},
        {WatchedDate::TrailerInsurance, u"挂车保险", u"投保。"},
        {WatchedDate::Qualification, u"资格证", u"办理。"},
        {WatchedDate::DrivingLicence, u"驾驶证", u"办理。"},
        {WatchedDate::ManagementFee, u"管理费", u"缴纳。"},
    };
    ReminderRules r;
    for (const Default& d : defaults) {
        ReminderRule rule;
        rule.column = vehicles::watchedDateColumn(d.date);
        rule.document = QString::fromUtf16(d.document);
        rule.action = QString::fromUtf16(d.action);
        r.rules.push_back(rule);
    }
    return r;
}

bool parseDays(const QString& text, QList<int>& days)
{
    static const QRegularExpression separators(QStringLiteral("[,，、\\s]+"));
    QList<int> out;
    for (const QString& part : text.split(separators, Qt::SkipEmptyParts)) {
        bool ok = false;
        const int n = part.toInt(&ok, 10);
        if (!ok || n < 0 || n > 366 || out.contains(n))
            return false;
        out.append(n);
    }
    std::sort(out.begin(), out.end(), std::greater<int>());
    days = out;
    return true;
}

QString daysText(const QList<int>& days)
{
    QStringList parts;
    for (const int d : days)
        parts.append(QString::number(d));
    return parts.join(QLatin1Char(','));
}

namespace {

// The statement writing one rule: "insert ignore" keeps a rule already stored, "replace"
// overwrites it.
db::Statement ruleStatement(const QString& verb, const ReminderRule& rule)
{
    return db::Statement(verb
        + QStringLiteral(" into tixingguize set wendang=?,mingcheng=?,banli=?,tiqiantianshu=?,guoqicitian=?,qiyong=?"))
        .bind(rule.column)
        .bind(rule.document)
        .bind(rule.action)
        .bind(daysText(rule.daysBefore))
        .bind(rule.afterExpiry ? 1 : 0)
        .bind(rule.enabled ? 1 : 0);
}

} // namespace

bool ensureDefaultRules(const db::ConnectionPtr& connection, QString* error)
{
    if (!connection) {
        fail(error, kNoConnection);
        return false;
    }
    QList<db::Statement> statements;
    for (const ReminderRule& rule : defaultRules().rules)
        statements.append(ruleStatement(QStringLiteral("insert ignore"), rule));
    statements.append(db::Statement("insert ignore into tixingshezhi set mingcheng='houzhui',zhi=''"));
    const db::Reply reply = connection->runAll(statements);
    if (!reply.ok)
        fail(error, reply.error);
    return reply.ok;
}

bool loadRules(const db::ConnectionPtr& connection, ReminderRules& rules, QString* error)
{
    if (!connection) {
        fail(error, kNoConnection);
        return false;
    }
    ReminderRules r = defaultRules();
    // A table not made yet (a read-only account's dry run) holds no rows.
    auto read = [&](const char* sql) -> std::optional<db::ResultPtr> {
        db::Reply reply = connection->run(db::Statement(sql));
        if (reply.ok)
            return std::move(reply.rows);
        if (reply.errorCode == db::errors::kNoSuchTable)
            return db::ResultPtr();
        fail(error, reply.error);
        return std::nullopt;
    };
    std::optional<db::ResultPtr> rows = read("select wendang,mingcheng,banli,tiqiantianshu,guoqicitian,qiyong from tixingguize");
    if (!rows)
        return false;
    for (const db::ResultPtr& result = *rows; result && result->next();) {
        const QString column = result->text("wendang");
        for (ReminderRule& rule : r.rules) {
            if (rule.column != column)
                continue;
            QString days;
            qint32 after = 1, enabled = 1;
            db::dbReadField(result, "mingcheng", rule.document);
            db::dbReadField(result, "banli", rule.action);
            db::dbReadField(result, "tiqiantianshu", days);
            db::dbReadField(result, "guoqicitian", after);
            db::dbReadField(result, "qiyong", enabled);
            // A hand-edited row that does not read keeps no stage before expiry rather than guessing.
            if (!parseDays(days, rule.daysBefore))
                rule.daysBefore.clear();
            rule.afterExpiry = after != 0;
            rule.enabled = enabled != 0;
        }
    }
    rows = read("select zhi from tixingshezhi where mingcheng='houzhui'");
    if (!rows)
        return false;
    if (const db::ResultPtr& result = *rows; result && result->hasRow())
        db::dbReadField(result, "zhi", r.signature);
    rules = r;
    return true;
}

bool saveRules(const db::ConnectionPtr& connection, const ReminderRules& rules, QString* error)
{
    for (const ReminderRule& rule : rules.rules)
        for (const QString& t : {rule.document, rule.action})
            if (!text::toGbk(t).ok()) {
                fail(error, QStringLiteral("“%1”含有无法保存的字符。").arg(t));
                return false;
            }
    if (!text::toGbk(rules.signature).ok()) {
        fail(error, QStringLiteral("“%1”含有无法保存的字符。").arg(rules.signature));
        return false;
    }
    if (!connection) {
        fail(error, kNoConnection);
        return false;
    }
    // Every rule and the signature, or none of them.
    QList<db::Statement> statements;
    for (const ReminderRule& rule : rules.rules)
        statements.append(ruleStatement(QStringLiteral("replace"), rule));
    statements.append(db::Statement("replace into tixingshezhi set mingcheng='houzhui',zhi=?").bind(rules.signature));
    db::Transaction transaction(*connection);
    const db::Reply reply = transaction.commit(statements);
    if (!reply.ok) {
        fail(error, reply.error);
        return false;
    }
    return true;
}

} // namespace fd::reminders
