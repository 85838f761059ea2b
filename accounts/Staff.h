#pragma once

#include "common/Roles.h"
#include "db/Connection.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The staff accounts (table yonghuzhanghu) and the login log (denglujilu). Passwords are kept as
// hashes (PasswordHash.h) checked in the program; the older users table mimabiao is where
// accounts come from, and keeps no plain password once an account has its hash, unless the office
// still runs older programs on the same database (keepPlainPasswords). No widgets here.
// Thread affinity: the session's thread.
namespace fd::accounts {

// Five wrong passwords of one user within this many minutes lock the user for as long.
inline constexpr int kLockoutFailures = 5;
inline constexpr int kLockoutMinutes = 15;

// What a login attempt (or the password window's check of the current password) came to.
struct LoginOutcome {
    enum Kind {
        Passed,
        WrongPassword, // or no such user
        Locked,        // locked until lockedUntil
        Disabled,
        Failed, // the database could not be asked: error holds why
    };
    Kind kind = Failed;
    Role role = Role::None;
    // The password is to be changed now: an administrator reset it (required: the login is refused
    // unless it is changed), or it is shorter than the rules allow or the user name (asked at every
    // login until it is changed).
    bool mustChange = false;
    bool changeRequired = false;
    QDateTime lockedUntil; // Locked, or WrongPassword that locked the user just now (server time)
    QString error;
};

// Adds an account for every user of mimabiao that has none: "admin" (or every user, when there is
// no "admin") as 管理员, the others as 业务员, with no hash yet: their first login checks the plain
// password and writes the hash.
bool fillAccountsFromUsersTable(db::Connection& session, QString* error = nullptr);

// Checks a user name and password against the accounts, honours and counts the lock, and logs the
// attempt from this machine. An account that has only a plain password in mimabiao is checked
// against it once; then its hash is written and the plain password cleared in one transaction.
LoginOutcome checkPassword(db::Connection& session, const QString& userName, const QString& password,
    const QString& machine, bool keepPlainPasswords);

// The message for an outcome that refused the login; empty for Passed and Failed.
QString refusalMessage(const LoginOutcome& outcome);

// Writes the new password's hash (and clears or keeps the plain one in mimabiao), and the user need
// not change it again. mustChange: an administrator's reset, to be changed at the next login.
bool setPassword(db::Connection& session, const QString& userName, const QString& newPassword,
    bool keepPlainPasswords, bool mustChange = false, QString* error = nullptr);

// What 用户管理 shows of an account.
struct StaffAccount {
    QString userName;
    Role role = Role::None;
    bool disabled = false;
    bool mustChange = false;
    QDateTime lockedUntil; // null when not locked now
    QDateTime lastLogin;
};
QList<StaffAccount> listAccounts(db::Connection& session, QString* error = nullptr);

// The administrator's operations. Each returns an empty text when done, else what to tell the user.
// The last active 管理员 can be neither removed, nor disabled, nor given another role.
QString addAccount(db::Connection& session, const QString& userName, Role role, const QString& password,
    bool keepPlainPasswords);
QString setRole(db::Connection& session, const QString& userName, Role role);
QString setDisabled(db::Connection& session, const QString& userName, bool disabled);
QString removeAccount(db::Connection& session, const QString& userName);
QString unlockAccount(db::Connection& session, const QString& userName);

struct LoginRecord {
    QString userName;
    QString machine;
    QDateTime time;
    QString result;
};
// The newest attempts first, of one user or (empty name) of all.
QList<LoginRecord> loginLog(db::Connection& session, const QString& userName, int limit, QString* error = nullptr);

} // namespace fd::accounts
