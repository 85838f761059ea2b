#include "ui/RoleGuard.h"

#include "common/AppState.h"
#include "db/ProgramTables.h"
#include "ui/Dialogs.h"

#include <QAction>
#include <QWidget>

namespace fd::ui {

bool allowedOrRefused(const AppState& state, Permission permission, Dialogs& dialogs)
{
    return allowedByRole(state, permission, dialogs) && !refusedAfterRestore(state, dialogs);
}

bool allowedByRole(const AppState& state, Permission permission, Dialogs& dialogs)
{
    if (permits(state.loginRole, permission))
        return true;
    dialogs.message(refusalText(state.loginRole, permission));
    return false;
}

bool refusedAfterRestore(const AppState& state, Dialogs& dialogs)
{
    if (state.restoreAtLogin < 0 || !state.dbConnection)
        return false;
    const db::LastRestore last = db::lastRestore(state.dbConnection);
    if (last.id <= state.restoreAtLogin)
        return false;
    dialogs.message(QStringLiteral("数据库已恢复为 %1 的备份，请重新登录")
                        .arg(last.backedUp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    return true;
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

} // namespace fd::ui
