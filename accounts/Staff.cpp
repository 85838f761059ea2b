#include "accounts/Staff.h"

#include "accounts/PasswordHash.h"
#include "common/Text.h"
#include "db/ErrorCodes.h"
#include "db/Transaction.h"

#include <QRandomGenerator>

namespace fd::accounts {
namespace {

    using db::Reply;
    using db::Statement;

    const QString kAdmin = QStringLiteral("管理员");

    // Results written to the login log.
    const QString kLogPassed = QStringLiteral("成功");
    const QString kLogWrong = QStringLiteral("密码错误");
    const QString kLogLocked = QStringLiteral("已锁定");
    const QString kLogDisabled = QStringLiteral("已停用");
    const QString kLogUnknown = QStringLiteral("无此用户");

    Statement logStatement(const QString& userName, const QString& machine, const QString& result)
    {
        return Statement("insert into denglujilu (yonghuming, jiqi, shijian, jieguo) values (?, ?, now(), ?)")
            .bind(userName)
            .bind(machine)
            .bind(result);
    }

    // What mimabiao holds in place of a password once the account has its hash: no one can type or
    // guess it, so an older program running on the same database logs nobody in with it.
    QString clearedPassword()
    {
        QString marker = QStringLiteral("$cleared$");
        for (int i = 0; i < 4; ++i)
            marker += QString::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, u'0');
        return marker;
    }

    Statement plainPasswordStatement(const QString& userName, const QString& newPassword, bool keepPlainPasswords)
    {
        return Statement("update mimabiao set mima=? where yonghuming=?")
            .bind(keepPlainPasswords ? newPassword : clearedPassword())
            .bind(userName);
    }

    bool isWeak(const QString& userName, const QString& password)
    {
        return !newPasswordProblem(userName, password).isEmpty();
    }

    QString timeText(const QDateTime& time)
    {
        return time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    }

    // Within the transaction: refuses (with the message) when the user is the last active 管理员.
    // The active administrators' rows stay locked until the transaction ends.
    QString lastAdminProblem(db::Transaction& tx, const QString& userName)
    {
        const Reply r = tx.run(Statement("select count(*) as alle, coalesce(sum(yonghuming=?),0) as zhe from "
                                         "yonghuzhanghu where juese=? and tingyong=0 for update")
                                   .bind(userName)
                                   .bind(kAdmin));
        if (!r.ok || !r.rows || !r.rows->hasRow())
            return QStringLiteral("读取用户失败：") + r.error;
        if (r.rows->integer("zhe") > 0 && r.rows->integer("alle") <= 1)
            return QStringLiteral("“%1”是最后一个可用的管理员，不能删除、停用或改为其他角色。").arg(userName);
        return QString();
    }

    QString failure(const QString& what, const Reply& reply)
    {
        return what + QStringLiteral("：") + reply.error;
    }

} // namespace

bool fillAccountsFromUsersTable(db::Connection& session, QString* error)
{
    const Reply r = session.run(
        Statement("insert ignore into yonghuzhanghu (yonghuming, juese, chuangjianshijian) "
                  "select yonghuming, if(yonghuming='admin' or not exists(select 1 from mimabiao where "
                  "yonghuming='admin'), ?, ?), now() from mimabiao where yonghuming<>'' group by yonghuming")
            .bind(kAdmin)
            .bind(roleName(Role::Clerk)));
    if (!r.ok && error)
        *error = r.error;
    return r.ok;
}

LoginOutcome checkPassword(db::Connection& session, const QString& userName, const QString& password,
    const QString& machine, bool keepPlainPasswords)
{
    LoginOutcome out;
    const Reply account = session.run(Statement("select mimahash, juese, tingyong, xuxiugai, suodingzhi, "
                                                "suodingzhi>now() as suoding from yonghuzhanghu where yonghuming=?")
                                          .bind(userName));
    if (!account.ok || !account.rows) {
        out.error = account.error;
        return out;
    }
    db::Result& row = *account.rows;
    if (row.rowCount() == 0) {
        session.run(logStatement(userName, machine, kLogUnknown));
        out.kind = LoginOutcome::WrongPassword;
        return out;
    }
    if (row.integer("suoding") == 1) {
        session.run(logStatement(userName, machine, kLogLocked));
        out.kind = LoginOutcome::Locked;
        out.lockedUntil = row.dateTime("suodingzhi");
        return out;
    }
    if (row.integer("tingyong") != 0) {
        session.run(logStatement(userName, machine, kLogDisabled));
        out.kind = LoginOutcome::Disabled;
        return out;
    }

    const QString hash = row.text("mimahash");
    const bool flagged = row.integer("xuxiugai") != 0;
    const Role role = roleOfName(row.text("juese"));
    bool passed = false;
    if (!hash.isEmpty()) {
        passed = verifyPassword(password, hash);
    } else {
        // An account that has only the plain password of the users table: checked the old way,
        // by the server under the column's collation, then hashed.
        const Reply counted = session.run(
            Statement("select count(*) as suliang from mimabiao where yonghuming=?and mima=?").bind(userName).bind(password));
        if (!counted.ok || !counted.rows || !counted.rows->hasRow()) {
            out.error = counted.error;
            return out;
        }
        passed = counted.rows->integer("suliang") > 0;
        if (passed) {
            const QString newHash = hashPassword(password);
            db::Transaction tx(session);
            const Reply hashed = newHash.isEmpty()
                ? Reply {}
                : tx.run(Statement("update yonghuzhanghu set mimahash=? where yonghuming=? and mimahash=''")
                             .bind(newHash)
                             .bind(userName));
            // Another office hashed it first: its hash stands, and the plain password is cleared there.
            if (hashed.ok && hashed.matchedRows > 0 && !keepPlainPasswords)
                tx.commit(plainPasswordStatement(userName, password, false));
            else if (hashed.ok)
                tx.commit();
            else
                qWarning("the password of %s could not be hashed: %s", qPrintable(userName), qPrintable(hashed.error));
        }
    }

    if (!passed) {
        // The attempt, the lock when it was the fifth within the window (counted since the last
        // login or unlock), and the lock as it stands, in one round trip.
        const Reply wrong = session.runAll({
            logStatement(userName, machine, kLogWrong),
            Statement("update yonghuzhanghu set suodingzhi=now() + interval ? minute where yonghuming=? and "
                      "(select count(*) from denglujilu where denglujilu.yonghuming=? and jieguo=? and shijian > "
                      "greatest(now() - interval ? minute, coalesce(jiesuoshijian, '1000-01-01'), "
                      "coalesce(zuihoudenglu, '1000-01-01'))) >= ?")
                .bind(kLockoutMinutes)
                .bind(userName)
                .bind(userName)
                .bind(kLogWrong)
                .bind(kLockoutMinutes)
                .bind(kLockoutFailures),
            Statement("select suodingzhi, suodingzhi>now() as suoding from yonghuzhanghu where yonghuming=?")
                .bind(userName),
        });
        out.kind = LoginOutcome::WrongPassword;
        if (wrong.ok && wrong.rows && wrong.rows->hasRow() && wrong.rows->integer("suoding") == 1)
            out.lockedUntil = wrong.rows->dateTime("suodingzhi");
        return out;
    }

    const bool weak = isWeak(userName, password);
    const Reply logged = session.runAll({
        logStatement(userName, machine, kLogPassed),
        Statement("update yonghuzhanghu set zuihoudenglu=now() where yonghuming=?").bind(userName),
    });
    if (!logged.ok)
        qWarning("the login of %s could not be logged: %s", qPrintable(userName), qPrintable(logged.error));
    out.kind = LoginOutcome::Passed;
    // An account whose role the program does not know may read, nothing more.
    out.role = role == Role::None ? Role::Reader : role;
    out.mustChange = flagged || weak;
    out.changeRequired = flagged;
    return out;
}

QString refusalMessage(const LoginOutcome& outcome)
{
    switch (outcome.kind) {
    case LoginOutcome::WrongPassword:
        if (outcome.lockedUntil.isValid())
            return QStringLiteral("用户名和密码不正确！密码已连续输错%1次，该用户已被锁定至 %2。")
                .arg(kLockoutFailures)
                .arg(timeText(outcome.lockedUntil));
        return QStringLiteral("用户名和密码不正确！请重新输入。");
    case LoginOutcome::Locked:
        return QStringLiteral("该用户因密码连续输错已被锁定至 %1，请到时再试，或请管理员解锁。")
            .arg(timeText(outcome.lockedUntil));
    case LoginOutcome::Disabled:
        return QStringLiteral("该用户已被停用，请与管理员联系。");
    case LoginOutcome::Passed:
    case LoginOutcome::Failed:
        break;
    }
    return QString();
}

bool setPassword(db::Connection& session, const QString& userName, const QString& newPassword,
    bool keepPlainPasswords, bool mustChange, QString* error)
{
    const QString hash = hashPassword(newPassword);
    if (hash.isEmpty()) {
        if (error)
            *error = QStringLiteral("密码加密失败（内存不足）");
        return false;
    }
    db::Transaction tx(session);
    const Reply hashed = tx.run(Statement("update yonghuzhanghu set mimahash=?, xuxiugai=? where yonghuming=?")
                                    .bind(hash)
                                    .bind(mustChange ? 1 : 0)
                                    .bind(userName));
    if (!hashed.ok || hashed.matchedRows == 0) {
        if (error)
            *error = hashed.ok ? QStringLiteral("没有这个用户") : hashed.error;
        return false;
    }
    const Reply committed = tx.commit(plainPasswordStatement(userName, newPassword, keepPlainPasswords));
    if (!committed.ok && error)
        *error = committed.error;
    return committed.ok;
}

QList<StaffAccount> listAccounts(db::Connection& session, QString* error)
{
    QList<StaffAccount> accounts;
    const Reply r = session.run(Statement("select yonghuming, juese, tingyong, xuxiugai, if(suodingzhi>now(), "
                                          "suodingzhi, null) as suoding, zuihoudenglu from yonghuzhanghu order by "
                                          "yonghuming"));
    if (!r.ok || !r.rows) {
        if (error)
            *error = r.error;
        return accounts;
    }
    while (r.rows->next()) {
        StaffAccount a;
        a.userName = r.rows->text("yonghuming");
        a.role = roleOfName(r.rows->text("juese"));
        a.disabled = r.rows->integer("tingyong") != 0;
        a.mustChange = r.rows->integer("xuxiugai") != 0;
        if (!r.rows->isNull(r.rows->columnIndex("suoding")))
            a.lockedUntil = r.rows->dateTime("suoding");
        if (!r.rows->isNull(r.rows->columnIndex("zuihoudenglu")))
            a.lastLogin = r.rows->dateTime("zuihoudenglu");
        accounts.append(a);
    }
    return accounts;
}

QString addAccount(db::Connection& session, const QString& userName, Role role, const QString& password,
    bool keepPlainPasswords)
{
    const QString name = text::trimSpaces(userName);
    if (name.isEmpty())
        return QStringLiteral("请输入用户名。");
    if (text::gbkLength(name) < 0 || text::gbkLength(name) > 64)
        return QStringLiteral("用户名最多64个字节（32个汉字），且只能用GBK中的字符。");
    if (role == Role::None)
        return QStringLiteral("请选择角色。");
    if (const QString problem = newPasswordProblem(name, password); !problem.isEmpty())
        return problem;
    const QString hash = hashPassword(password);
    if (hash.isEmpty())
        return QStringLiteral("密码加密失败（内存不足）。");
    QList<Statement> statements {
        Statement("insert into yonghuzhanghu (yonghuming, mimahash, juese, xuxiugai, chuangjianshijian) "
                  "values (?, ?, ?, 1, now())")
            .bind(name)
            .bind(hash)
            .bind(roleName(role)),
    };
    // An office that still runs older programs gets the user in their table too.
    if (keepPlainPasswords)
        statements.append(Statement("insert into mimabiao (yonghuming, mima) values (?, ?)").bind(name).bind(password));
    db::Transaction tx(session);
    const Reply r = tx.commit(statements);
    if (r.errorCode == db::errors::kDuplicateKey)
        return QStringLiteral("用户“%1”已存在。").arg(name);
    return r.ok ? QString() : failure(QStringLiteral("新增用户失败"), r);
}

QString setRole(db::Connection& session, const QString& userName, Role role)
{
    if (role == Role::None)
        return QStringLiteral("请选择角色。");
    db::Transaction tx(session);
    if (role != Role::Admin)
        if (const QString problem = lastAdminProblem(tx, userName); !problem.isEmpty())
            return problem;
    const Reply r = tx.commit(
        Statement("update yonghuzhanghu set juese=? where yonghuming=?").bind(roleName(role)).bind(userName));
    return r.ok ? QString() : failure(QStringLiteral("修改角色失败"), r);
}

QString setDisabled(db::Connection& session, const QString& userName, bool disabled)
{
    db::Transaction tx(session);
    if (disabled)
        if (const QString problem = lastAdminProblem(tx, userName); !problem.isEmpty())
            return problem;
    const Reply r = tx.commit(
        Statement("update yonghuzhanghu set tingyong=? where yonghuming=?").bind(disabled ? 1 : 0).bind(userName));
    return r.ok ? QString() : failure(disabled ? QStringLiteral("停用失败") : QStringLiteral("启用失败"), r);
}

QString removeAccount(db::Connection& session, const QString& userName)
{
    db::Transaction tx(session);
    if (const QString problem = lastAdminProblem(tx, userName); !problem.isEmpty())
        return problem;
    // The older table's row goes too, or the next login would make the account again.
    const Reply r = tx.commit({
        Statement("delete from yonghuzhanghu where yonghuming=?").bind(userName),
        Statement("delete from mimabiao where yonghuming=?").bind(userName),
    });
    return r.ok ? QString() : failure(QStringLiteral("删除用户失败"), r);
}

QString unlockAccount(db::Connection& session, const QString& userName)
{
    const Reply r = session.run(
        Statement("update yonghuzhanghu set suodingzhi=null, jiesuoshijian=now() where yonghuming=?").bind(userName));
    return r.ok ? QString() : failure(QStringLiteral("解锁失败"), r);
}

QList<LoginRecord> loginLog(db::Connection& session, const QString& userName, int limit, QString* error)
{
    QList<LoginRecord> records;
    Statement query("select yonghuming, jiqi, shijian, jieguo from denglujilu");
    if (!userName.isEmpty())
        query.append(Statement(" where yonghuming=?").bind(userName));
    query.append(Statement(" order by shijian desc, ID desc limit ?").bind(limit));
    const Reply r = session.run(query);
    if (!r.ok || !r.rows) {
        if (error)
            *error = r.error;
        return records;
    }
    while (r.rows->next())
        records.append({r.rows->text("yonghuming"), r.rows->text("jiqi"), r.rows->dateTime("shijian"),
            r.rows->text("jieguo")});
    return records;
}

} // namespace fd::accounts
