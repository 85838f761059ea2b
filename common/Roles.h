#pragma once

#include <QString>

namespace fd {

// What a staff account may do. A role is stored as its Chinese name in the accounts table.
enum class Role {
    None,    // no login yet: nothing
    Admin,   // 管理员: everything, users, rules, settings, voids of any day
    Clerk,   // 业务员: the register, pictures, printing, SMS
    Cashier, // 收费员: fees, voids of their own receipts the same day, reading
    Reader,  // 查询: reading and printing only
};

// The guarded actions. Reading (lists, vehicle details, fee queries, reports) needs no permission.
enum class Permission {
    EditVehicles,  // add, change and import vehicles
    Pictures,      // import or replace a document picture
    Print,         // print and export lists
    SendSms,       // the mass send and the reminders' sends
    EditRules,     // the reminders' rules and signature
    TakeFees,      // 收费登记
    VoidOwnToday,  // void a receipt the user took, on the day it was taken
    VoidAnyDay,    // void any receipt
    ManageUsers,   // 用户管理
    Backups,       // 备份数据库, 恢复数据库
};

QString roleName(Role role);
// The role of a stored name; None for a name no role has.
Role roleOfName(const QString& name);

bool permits(Role role, Permission permission);

// What the user is told when the role does not allow the action: the window's tooltip on the
// disabled control and the message when a write is refused.
QString refusalText(Role role, Permission permission);

} // namespace fd
