#include "ui/RoleGuard.h"

#include "common/AppState.h"
#include "ui/Dialogs.h"

#include <QAction>
#include <QWidget>

namespace fd {

bool allowedOrRefused(const AppState& state, Permission permission, Dialogs& dialogs)
{
    if (permits(state.loginRole, permission))
        return true;
    dialogs.message(refusalText(state.loginRole, permission));
    return false;
}

void guardControl(QWidget* control, const AppState& state, Permission permission)
{
    const bool allowed = permits(state.loginRole, permission);
    control->setEnabled(allowed);
    control->setToolTip(allowed ? QString() : refusalText(state.loginRole, permission));
}

void guardControl(QAction* action, const AppState& state, Permission permission)
{
    const bool allowed = permits(state.loginRole, permission);
    action->setEnabled(allowed);
    action->setToolTip(allowed ? QString() : refusalText(state.loginRole, permission));
}

} // namespace fd
