#include "sms/SmsMessages.h"

#include "common/DateTime.h"

namespace fd::sms {

QString composeReminder(const QString& plate, const QString& expiryDate, const ReminderParts& parts)
{
    return QStringLiteral("尊敬的") + plate + QStringLiteral("车主，你的") + parts.document + parts.tense + expiryDate
        + QStringLiteral("过期。请及时") + parts.action;
}

QString composeTestReminder(const ReminderParts& parts, double loginDateTime)
{
    int y = 0, m = 0, d = 0;
    datetime::dateOf(loginDateTime, y, m, d);
    return QStringLiteral("尊敬的豫P88888车主你的") + parts.document + parts.tense
        + QStringLiteral("%1年%2月%3日").arg(y).arg(m).arg(d) + parts.action;
}

QString logDate(double loginDateTime)
{
    int y = 0, m = 0, d = 0;
    datetime::dateOf(loginDateTime, y, m, d);
    return datetime::dateText(y, m, d);
}

bool isMobileNumber(const QString& phone)
{
    if (phone.size() != 11)
        return false;
    for (const QChar c : phone)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

RecipientCheck checkRecipients(const QStringList& phones)
{
    RecipientCheck check;
    for (const QString& phone : phones) {
        if (phone.isEmpty())
            ++check.noPhone;
        else if (!isMobileNumber(phone))
            ++check.badNumber;
    }
    return check;
}

QString startQuestion(int recipients, const RecipientCheck& check)
{
    QString text = QStringLiteral("本次群发共%1个短信。是否现在开始群发。").arg(recipients);
    if (check.noPhone > 0 || check.badNumber > 0)
        text += QStringLiteral("\n其中%1个没有手机号（不发送），%2个手机号不是11位数字（可能无法送达）。")
                    .arg(check.noPhone)
                    .arg(check.badNumber);
    return text;
}

namespace {

    QString unloggedNote(const RunCounts& counts)
    {
        return counts.unlogged > 0 ? QStringLiteral("\n其中%1个发送成功的短信未能记入发送记录。").arg(counts.unlogged)
                                   : QString();
    }

} // namespace

QString endMessage(const RunCounts& counts)
{
    return QStringLiteral("短信已经群的完毕！成功%1个，失败%2个。").arg(counts.sent).arg(counts.failed)
        + unloggedNote(counts);
}

QString stopMessage(const RunCounts& counts, int notReached)
{
    return QStringLiteral("群发已停止！成功%1个，失败%2个，未发送%3个。")
               .arg(counts.sent)
               .arg(counts.failed)
               .arg(notReached)
        + unloggedNote(counts);
}

QString progressText(const RunCounts& counts, int remaining)
{
    // One recipient a second.
    const QString left = remaining >= 60 ? QStringLiteral("%1分%2秒").arg(remaining / 60).arg(remaining % 60)
                                         : QStringLiteral("%1秒").arg(remaining);
    return QStringLiteral("已发送%1个，失败%2个，跳过%3个，剩余%4个，约需%5")
        .arg(counts.sent)
        .arg(counts.failed)
        .arg(counts.skipped)
        .arg(remaining)
        .arg(left);
}

} // namespace fd::sms
