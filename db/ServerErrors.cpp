#include "db/ServerErrors.h"

#include <QRegularExpression>

namespace fd::db {
namespace {

// "... for column 'x' at row 1" (MySQL, and MariaDB for lengths and ranges) or
// "... for column `db`.`table`.`x` at row 1" (MariaDB for wrong values): the last name.
QString columnNamed(const QString& message)
{
    static const QRegularExpression pattern(QStringLiteral("for column ((?:[`'][^`']*[`']\\.)*)[`']([^`']+)[`']"));
    const QRegularExpressionMatch m = pattern.match(message);
    return m.hasMatch() ? m.captured(2) : QString();
}

// A name as the server quotes it, `db`.`table` or 'table': the last part, without its quotes.
QString lastName(const QString& quoted)
{
    static const QRegularExpression part(QStringLiteral("[`']([^`']*)[`']"));
    QString last;
    for (const QRegularExpressionMatch& m : part.globalMatch(quoted))
        last = m.captured(1);
    return last.isEmpty() ? quoted : last;
}

} // namespace

bool isPrivilegeError(unsigned code)
{
    return code == errors::kDatabaseAccessDenied || code == errors::kTableAccessDenied || code == errors::kColumnAccessDenied
        || code == errors::kSpecificAccessDenied || code == errors::kRoutineAccessDenied;
}

QString privilegeText(unsigned code, const QString& message)
{
    if (!isPrivilegeError(code))
        return QString();
    // "INSERT command denied to user 'u'@'h' for table `db`.`t`" (MySQL: for table 't');
    // "SELECT command denied to user 'u'@'h' for column 'c' in table 't'";
    // "execute command denied to user 'u'@'h' for routine 'db.p'";
    // "Access denied for user 'u'@'h' to database 'db'";
    // "Access denied; you need (at least one of) the RELOAD privilege(s) for this operation".
    static const QRegularExpression command(QStringLiteral("^(.+?) command denied to user "));
    static const QRegularExpression table(QStringLiteral(" for table ((?:[`'][^`']*[`']\\.?)+)"));
    static const QRegularExpression column(QStringLiteral(" for column [`']([^`']*)[`'] in table [`']([^`']*)[`']"));
    static const QRegularExpression routine(QStringLiteral(" for routine [`']([^`']*)[`']"));
    static const QRegularExpression database(QStringLiteral(" to database [`']([^`']*)[`']"));
    static const QRegularExpression global(QStringLiteral("the (.+?) privilege"));
    QString privilege;
    QString where;
    if (const QRegularExpressionMatch m = command.match(message); m.hasMatch())
        privilege = m.captured(1).toUpper();
    if (const QRegularExpressionMatch m = column.match(message); m.hasMatch())
        where = QStringLiteral("表 %1 的列 %2").arg(m.captured(2), m.captured(1));
    else if (const QRegularExpressionMatch t = table.match(message); t.hasMatch())
        where = QStringLiteral("表 ") + lastName(t.captured(1));
    else if (const QRegularExpressionMatch r = routine.match(message); r.hasMatch())
        where = QStringLiteral("过程 ") + r.captured(1);
    else if (const QRegularExpressionMatch d = database.match(message); d.hasMatch())
        where = QStringLiteral("数据库 ") + d.captured(1);
    if (privilege.isEmpty())
        if (const QRegularExpressionMatch g = global.match(message); g.hasMatch())
            privilege = g.captured(1).toUpper();
    QString lacking;
    if (!privilege.isEmpty())
        lacking = QStringLiteral("缺少 %1 权限").arg(privilege);
    else if (code == errors::kDatabaseAccessDenied)
        lacking = QStringLiteral("缺少使用数据库的权限");
    else
        lacking = QStringLiteral("缺少所需的权限");
    if (!where.isEmpty())
        lacking += QStringLiteral("（%1）").arg(where);
    return QStringLiteral("数据库账户%1，请管理员按说明书为本程序的账户授权。").arg(lacking);
}

Refusal refusalOf(unsigned code, const QString& message)
{
    Refusal r;
    switch (code) {
    case errors::kDataTooLong:
        r.kind = Refusal::TooLong;
        break;
    case errors::kOutOfRange:
        r.kind = Refusal::OutOfRange;
        break;
    case errors::kWrongValue:
    case errors::kWrongValueForField:
        r.kind = Refusal::BadValue;
        break;
    case errors::kLockWaitTimeout:
        r.kind = Refusal::LockWait;
        return r;
    case errors::kDuplicateKey: {
        // "Duplicate entry 'v' for key 'k'"; MySQL 8 names the key as 'table.k'.
        static const QRegularExpression pattern(QStringLiteral("Duplicate entry '(.*)' for key [`']([^`']+)[`']"));
        const QRegularExpressionMatch m = pattern.match(message);
        r.kind = Refusal::Duplicate;
        if (m.hasMatch()) {
            r.value = m.captured(1);
            r.column = m.captured(2).section(QLatin1Char('.'), -1);
        }
        return r;
    }
    default:
        return r;
    }
    r.column = columnNamed(message);
    return r;
}

QString refusalText(const Refusal& refusal, const QString& field, const QString& limit)
{
    const QString what = field.isEmpty() ? QStringLiteral("输入的内容") : field;
    switch (refusal.kind) {
    case Refusal::TooLong:
        return limit.isEmpty() ? what + QStringLiteral("太长") : what + QStringLiteral("太长：最多 ") + limit;
    case Refusal::Duplicate:
        return field + QStringLiteral("“%1”已经存在").arg(refusal.value);
    case Refusal::OutOfRange:
        return what + QStringLiteral("的数值超出范围");
    case Refusal::BadValue:
        return what + QStringLiteral("的值不正确，数据库不接受");
    case Refusal::LockWait:
        return QStringLiteral("数据库等待超时：其他人正在修改同一条记录，请稍后再保存");
    case Refusal::None:
        break;
    }
    return QString();
}

} // namespace fd::db
