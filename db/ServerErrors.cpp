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

} // namespace

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
