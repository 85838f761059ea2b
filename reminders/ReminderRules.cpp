#include "reminders/ReminderRules.h"

#include "common/Text.h"
#include "db/Legacy.h"
#include "vehicles/VehicleColumns.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace fd::reminders {
namespace {

    using vehicles::WatchedDate;

    // The program's own statements, also in db/schema.sql for a new database.
    const char* const kCreateStatements[] = {
        "CREATE TABLE IF NOT EXISTS `tixingguize` ("
        " `wendang` VARCHAR(64) NOT NULL,"
        " `mingcheng` VARCHAR(64) NOT NULL DEFAULT '',"
        " `banli` VARCHAR(64) NOT NULL DEFAULT '',"
        " `tiqiantianshu` VARCHAR(255) NOT NULL DEFAULT '30,7',"
        " `guoqicitian` TINYINT NOT NULL DEFAULT 1,"
        " `qiyong` TINYINT NOT NULL DEFAULT 1,"
        " PRIMARY KEY (`wendang`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk",
        "CREATE TABLE IF NOT EXISTS `tixingshezhi` ("
        " `mingcheng` VARCHAR(64) NOT NULL,"
        " `zhi` VARCHAR(255) NOT NULL DEFAULT '',"
        " PRIMARY KEY (`mingcheng`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk",
        "CREATE TABLE IF NOT EXISTS `tixingjilu` ("
        " `ID` INT NOT NULL AUTO_INCREMENT,"
        " `cheliangid` INT NOT NULL,"
        " `cepaihao` VARCHAR(64) NULL,"
        " `wendang` VARCHAR(64) NOT NULL,"
        " `youxiaoqi` DATE NOT NULL,"
        " `jieduan` INT NOT NULL,"
        " `dianhua` VARCHAR(64) NULL,"
        " `neirong` TEXT NULL,"
        " `biaojishijian` DATETIME NOT NULL,"
        " `jieguo` VARCHAR(16) NULL,"
        " `jieguoshijian` DATETIME NULL,"
        " `jiqi` VARCHAR(64) NULL,"
        " PRIMARY KEY (`ID`),"
        " UNIQUE KEY `uk_jieduan` (`cheliangid`,`wendang`,`youxiaoqi`,`jieduan`),"
        " KEY `idx_cepaihao` (`cepaihao`),"
        " KEY `idx_youxiaoqi` (`youxiaoqi`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk",
        "CREATE TABLE IF NOT EXISTS `tixingyunxing` ("
        " `mingcheng` VARCHAR(16) NOT NULL,"
        " `pingzheng` VARCHAR(64) NOT NULL DEFAULT '',"
        " `jiqi` VARCHAR(64) NULL,"
        " `kaishishijian` DATETIME NULL,"
        " `xintiaoshijian` DATETIME NULL,"
        " PRIMARY KEY (`mingcheng`)"
        ") ENGINE=InnoDB DEFAULT CHARSET=gbk",
    };

    constexpr unsigned kNoSuchTable = 1146;

    void fail(QString* error, const QString& text)
    {
        if (error)
            *error = text;
    }

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
// overwrites it. The texts are filled in one pass: a "%5" in a rule's text stays as typed.
QString ruleStatement(const db::ConnectionPtr& connection, const QString& verb, const ReminderRule& rule)
{
    return verb
        + QStringLiteral(" into tixingguize set wendang=%1,mingcheng=%2,banli=%3,tiqiantianshu=%4,guoqicitian=%5,qiyong=%6")
              .arg(db::dbQuote(connection, rule.column), db::dbQuote(connection, rule.document),
                  db::dbQuote(connection, rule.action), db::dbQuote(connection, daysText(rule.daysBefore)),
                  rule.afterExpiry ? QStringLiteral("1") : QStringLiteral("0"),
                  rule.enabled ? QStringLiteral("1") : QStringLiteral("0"));
}

bool writeRule(const db::ConnectionPtr& connection, const QString& verb, const ReminderRule& rule, QString* error)
{
    if (!db::dbExecute(connection, ruleStatement(connection, verb, rule))) {
        fail(error, db::dbLastError(connection));
        return false;
    }
    return true;
}

} // namespace

bool ensureReminderTables(const db::ConnectionPtr& connection, QString* error)
{
    for (const char* sql : kCreateStatements)
        if (!db::dbExecute(connection, QString::fromUtf8(sql))) {
            fail(error, db::dbLastError(connection));
            return false;
        }
    for (const ReminderRule& rule : defaultRules().rules) {
        if (!writeRule(connection, QStringLiteral("insert ignore"), rule, error))
            return false;
    }
    if (!db::dbExecute(connection, QStringLiteral("insert ignore into tixingshezhi set mingcheng='houzhui',zhi=''"))) {
        fail(error, db::dbLastError(connection));
        return false;
    }
    return true;
}

bool loadRules(const db::ConnectionPtr& connection, ReminderRules& rules, QString* error)
{
    ReminderRules r = defaultRules();
    // A table not made yet (a read-only account's dry run) holds no rows.
    auto read = [&](const QString& sql) -> std::optional<db::ResultPtr> {
        if (db::dbExecute(connection, sql))
            return db::dbStoreResult(connection);
        if (connection && db::dbLastErrno(connection) == kNoSuchTable)
            return db::ResultPtr();
        fail(error, db::dbLastError(connection));
        return std::nullopt;
    };
    std::optional<db::ResultPtr> rows
        = read(QStringLiteral("select wendang,mingcheng,banli,tiqiantianshu,guoqicitian,qiyong from tixingguize"));
    if (!rows)
        return false;
    for (db::ResultPtr& result = *rows; result && !result->atEnd(); result->skipRow()) {
        QString column, days;
        qint32 after = 1, enabled = 1;
        db::dbReadField(result, "wendang", column);
        for (ReminderRule& rule : r.rules) {
            if (rule.column != column)
                continue;
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
    rows = read(QStringLiteral("select zhi from tixingshezhi where mingcheng='houzhui'"));
    if (!rows)
        return false;
    if (const db::ResultPtr& result = *rows; result && !result->atEnd())
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
    // Every rule and the signature, or none of them.
    QStringList statements {QStringLiteral("START TRANSACTION")};
    for (const ReminderRule& rule : rules.rules)
        statements << ruleStatement(connection, QStringLiteral("replace"), rule);
    statements << QStringLiteral("replace into tixingshezhi set mingcheng='houzhui',zhi=")
            + db::dbQuote(connection, rules.signature)
               << QStringLiteral("COMMIT");
    if (!db::dbExecuteMany(connection, statements)) {
        fail(error, db::dbLastError(connection));
        db::dbExecute(connection, QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}

} // namespace fd::reminders
