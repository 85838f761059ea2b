#pragma once

#include "db/Connection.h"
#include "db/Statement.h"

#include <QString>

namespace fd {
struct Settings;
}

// The users table "mimabiao" and the connections of the login and the password window. No
// widgets here: the windows decide what the user sees.
namespace fd::accounts {

// The connectivity test with the configured page and time-outs.
bool isOnline(const Settings& settings);

// The login's connection: the enciphered host list, user and password, deciphered for this attempt only.
db::ConnectionPtr connectForLogin(const Settings& settings, db::ConnectFailure* failure = nullptr);
// The password window's connection: the plain server address with the enciphered user and password.
db::ConnectionPtr connectForPasswordChange(const Settings& settings, db::ConnectFailure* failure = nullptr);

// What the user is told when encryption was required and could not be had; empty for other failures.
QString tlsFailureText(db::ConnectFailure failure);

// "select count(*) as suliang from mimabiao where yonghuming='…'and mima='…'" with both values
// bound: the session escapes them, so quotes and backslashes in them stay inside their literals.
db::Statement credentialCountStatement(const QString& userName, const QString& password);

struct CredentialCount {
    enum Outcome { QueryFailed, ReadFailed, Counted };
    Outcome outcome = QueryFailed;
    qint32 count = 0;
};
// Counts the rows of mimabiao with this user name and password (compared as given: the caller trims).
CredentialCount countCredentials(const db::ConnectionPtr& connection, const QString& userName, const QString& password);

// Sets the password of every row of the user; true when the statement ran.
bool changePassword(const db::ConnectionPtr& connection, const QString& userName, const QString& newPassword);

} // namespace fd::accounts
