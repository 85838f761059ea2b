#pragma once

#include "common/RememberedValues.h"

namespace fd::sms {

// The SMS platform account remembered on this PC: values "yhm" (user name), "mm" (password) and
// "xz" (1: fill the account in at the next opening) under HKEY_CURRENT_USER\Network, beside the
// remembered login.
class RememberedAccount : public RememberedValues {
public:
    RememberedAccount() : RememberedValues(names()) {}
    explicit RememberedAccount(const QString& iniPath) : RememberedValues(names(), iniPath) {}

private:
    static Names names() { return {QStringLiteral("yhm"), QStringLiteral("mm"), QStringLiteral("xz")}; }
};

} // namespace fd::sms
