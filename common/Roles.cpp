#include "common/Roles.h"

namespace fd {
namespace {

    struct RoleRow {
        Role role;
        const char16_t* name;
    };
    constexpr RoleRow kRoles[] = {
        {Role::Admin, u"管理员"},
        {Role::Clerk, u"业务员"},
        {Role::Cashier, u"收费员"},
        {Role::Reader, u"查询"},
    };

    const char16_t* actionName(Permission permission)
    {
        switch (permission) {
        case Permission::EditVehicles: return u"新增、修改或导入车辆";
        case Permission::Pictures: return u"导入或更换证件图片";
        case Permission::Print: return u"打印或导出";
        case Permission::SendSms: return u"发送短信";
        case Permission::EditRules: return u"修改提醒规则";
        case Permission::TakeFees: return u"收费登记";
        case Permission::VoidOwnToday: return u"作废收据";
        case Permission::VoidAnyDay: return u"作废其他人或以前日期的收据";
        case Permission::ManageUsers: return u"管理用户";
        case Permission::Backups: return u"备份或恢复数据库";
        }
        return u"";
    }

} // namespace

QString roleName(Role role)
{
    for (const RoleRow& row : kRoles)
        if (row.role == role)
            return QString::fromUtf16(row.name);
    return QString();
}

Role roleOfName(const QString& name)
{
    for (const RoleRow& row : kRoles)
        if (name == QString::fromUtf16(row.name))
            return row.role;
    return Role::None;
}

bool permits(Role role, Permission permission)
{
    switch (role) {
    case Role::Admin:
        return true;
    case Role::Clerk:
        return permission == Permission::EditVehicles || permission == Permission::Pictures
            || permission == Permission::Print || permission == Permission::SendSms;
    case Role::Cashier:
        return permission == Permission::TakeFees || permission == Permission::VoidOwnToday
            || permission == Permission::Print;
    case Role::Reader:
        return permission == Permission::Print;
    case Role::None:
        return false;
    }
    return false;
}

QString refusalText(Role role, Permission permission)
{
    const QString who = role == Role::None ? QStringLiteral("未登录的用户")
                                           : QStringLiteral("“%1”角色的用户").arg(roleName(role));
    return QStringLiteral("%1不能%2。").arg(who, QString::fromUtf16(actionName(permission)));
}

} // namespace fd
