#pragma once

#include "common/RememberedValues.h"

namespace fd::accounts {

// The login remembered on this PC: values "dlyhm" (user name), "dlmm" (password) and "dlxz"
// (1 when 记住密码 was ticked) under HKEY_CURRENT_USER\Network.
class RememberedLogin : public RememberedValues {
public:
    RememberedLogin() : RememberedValues(names()) {}
    explicit RememberedLogin(const QString& iniPath) : RememberedValues(names(), iniPath) {}

private:
    static Names names() { return {QStringLiteral("dlyhm"), QStringLiteral("dlmm"), QStringLiteral("dlxz")}; }
};

} // namespace fd::accounts
