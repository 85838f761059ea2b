#pragma once

#include "db/Connection.h"

#include <QString>

namespace fd {
struct Settings;
}

// The connections of the login and the password window. No
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

} // namespace fd::accounts
