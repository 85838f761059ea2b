#pragma once

#include "db/ErrorCodes.h"

#include <QString>

// The server's common refusals of a statement, told in the user's words: what was refused and in
// which column, while the server's own message is kept for the details.
namespace fd::db {

struct Refusal {
    enum Kind { None, TooLong, Duplicate, OutOfRange, BadValue, LockWait };
    Kind kind = None;
    QString column; // the column the server named (Duplicate: the key's name); empty when none
    QString value;  // Duplicate: the value that exists already
};

// What the server refused, from its error number and message; None for any other error.
Refusal refusalOf(unsigned code, const QString& message);

// The refusal in Chinese: field is the column as the user knows it (empty: the message names no
// field), limit what the column holds (TooLong, e.g. "255 个字符"; empty: not known).
QString refusalText(const Refusal& refusal, const QString& field, const QString& limit = QString());

// A refusal for want of a privilege (ErrorCodes.h: the access-denied errors), in Chinese for the
// user, naming the privilege and the table, column, database or routine the server's English
// message names, e.g. "数据库账户缺少 INSERT 权限（表 xiugaijilu），请管理员按说明书为本程序的账户授权。".
// Empty for any other error.
bool isPrivilegeError(unsigned code);
QString privilegeText(unsigned code, const QString& message);

} // namespace fd::db
