#pragma once

#include "common/Settings.h"
#include "reminders/ReminderRun.h"

// What the reminder run takes from the settings file besides the database (whose options are
// net::endpointsOf(settings).database): the unattended SMS account.
namespace fd::reminders {

// The platform of the settings and the deciphered account of the unattended run.
SmsAccount smsAccountOf(const Settings& settings);

} // namespace fd::reminders
