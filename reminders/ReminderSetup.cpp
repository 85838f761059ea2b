#include "reminders/ReminderSetup.h"

#include "net/Endpoints.h"

namespace fd::reminders {

SmsAccount smsAccountOf(const Settings& settings)
{
    const net::Endpoints servers = net::endpointsOf(settings);
    SmsAccount account;
    account.platform.pieces = sms::smsSplitTemplate(servers.smsUrlTemplate);
    account.platform.http = servers.http;
    account.user = servers.smsUser;
    account.password = servers.smsPassword;
    return account;
}

} // namespace fd::reminders
