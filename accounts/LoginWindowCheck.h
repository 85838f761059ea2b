#pragma once

#include "accounts/LoginWindow.h"

namespace fd::accounts {

// The login window's checks against the network and the database (see LoginChecks), with the
// messages of each failure. The window trims the user name and password before.
LoginCheck checkLogin(AppState& state, ui::Dialogs& dialogs, const QString& userName, const QString& password);

// The change of a password the login found to be changed (required: set by an administrator; else
// too weak): the new password twice, until it passes the rules or the user cancels (false).
bool changePasswordAtLogin(AppState& state, ui::Dialogs& dialogs, const QString& userName, bool required);

// The password window opened from the login window's label: modal to the whole program, no owner,
// until it closes.
void runPasswordWindow(AppState& state, ui::Dialogs& dialogs);

} // namespace fd::accounts
