#pragma once

#include "common/Roles.h"

class QAction;
class QWidget;

namespace fd {
struct AppState;
}

namespace fd::ui {
class Dialogs;

// The checks of the logged-in user's role. A control whose action the role does not allow is
// disabled, its tooltip saying why; the write behind it checks again and refuses with a message,
// so a window opened before a change of role or a click sent from outside writes nothing.

// True when the role allows it and no restore has replaced the database since the login;
// otherwise tells the user and returns false.
bool allowedOrRefused(const AppState& state, Permission permission, Dialogs& dialogs);
// The role's part alone, for a caller that has just made the restore's check itself (one read of
// the table of restores per click on the window thread, not two).
bool allowedByRole(const AppState& state, Permission permission, Dialogs& dialogs);

// True, after telling the user to log in again, when a backup was restored over the database since
// the login (state.restoreAtLogin; never while that is unknown). allowedOrRefused refuses then too,
// so that a window left open, a vehicle's or a payment's, writes nothing into the restored data.
bool refusedAfterRestore(const AppState& state, Dialogs& dialogs);

// Enables the control when the role allows the action; else disables it with the reason as tooltip.
void guardControl(QWidget* control, const AppState& state, Permission permission);
void guardControl(QAction* action, const AppState& state, Permission permission);

} // namespace fd::ui
