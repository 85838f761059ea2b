#pragma once

#include <QByteArray>
#include <QString>

namespace fd::accounts {

// Passwords are kept as a salted slow hash: libsodium's Argon2id in its string form
// ("$argon2id$v=19$m=…,t=…,p=1$salt$hash"), which carries its own salt and cost, so a stored hash
// keeps verifying after the cost of new ones changes. The cost is set for about 100 ms here.
// The password is hashed as its UTF-8 bytes.

// The hash of a password; empty when libsodium could not work (no memory).
QString hashPassword(const QString& password);
// True when the password matches the stored hash; false for any other text, an empty one included.
bool verifyPassword(const QString& password, const QString& storedHash);

// What is wrong with a new password for this user: at least 8 characters, not the user name
// (compared ignoring case). Empty when it will do.
QString newPasswordProblem(const QString& userName, const QString& newPassword);

} // namespace fd::accounts
