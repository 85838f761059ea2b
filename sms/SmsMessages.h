#pragma once

#include <QString>
#include <QStringList>

// The texts a mass send composes: reminders, the log record, the counts behind the confirmation
// and the end message. Pure functions of their inputs.
namespace fd::sms {

// The three parts the user picks on page 业务提醒类.
struct ReminderParts {
    QString document; // 营运证, 行车证, …
    QString tense; // 将于, 已经, 本月
    QString action; // 办理。, 审验。, 投保。
};

// 尊敬的<plate>车主，你的<document><tense><date>过期。请及时<action>
QString composeReminder(const QString& plate, const QString& expiryDate, const ReminderParts& parts);
// The test message: 尊敬的豫P88888车主你的<document><tense><Y>年<M>月<D>日<action>, the date being the
// login date.
QString composeTestReminder(const ReminderParts& parts, double loginDateTime);
// The login date as it is logged: 2016-5-8.
QString logDate(double loginDateTime);

// A phone number that can receive a message: exactly 11 ASCII digits.
bool isMobileNumber(const QString& phone);

struct RecipientCheck {
    int noPhone = 0; // empty phone numbers (skipped by the run)
    int badNumber = 0; // not empty, but not 11 digits
};
RecipientCheck checkRecipients(const QStringList& phones);

// The run's counts and the texts that report them.
struct RunCounts {
    int sent = 0; // accepted by the platform
    int failed = 0; // refused, or no reply
    int skipped = 0; // empty phone number
    int unlogged = 0; // accepted, but the log record could not be written
};
QString startQuestion(int recipients, const RecipientCheck& check);
QString endMessage(const RunCounts& counts);
// The message of a run stopped by the user, with the recipients it did not reach.
QString stopMessage(const RunCounts& counts, int notReached);
// Sent, failed, skipped, remaining and the time left at one message a second.
QString progressText(const RunCounts& counts, int remaining);

} // namespace fd::sms
