#include "sms/SendRun.h"

#include "db/Legacy.h"

namespace fd::sms {

SendOutcome sendAndLog(const SendRequest& request, const db::ConnectionPtr& connection)
{
    SendOutcome outcome;
    outcome.index = request.index;
    outcome.plate = request.plate;
    outcome.phone = request.phone;
    outcome.accepted = smsSendMessage(
        request.platform, request.user, request.password, request.phone, request.message, request.suffix);
    if (outcome.accepted)
        outcome.logged = logSentMessage(request, connection);
    return outcome;
}

bool logSentMessage(const SendRequest& request, const db::ConnectionPtr& connection)
{
    if (!connection)
        return false;
    const QString assignments = QStringLiteral("cepaihao=%1,dianhua=%2,sijian=%3,neirong=%4")
                                    .arg(db::dbQuote(connection, request.plate), db::dbQuote(connection, request.phone),
                                        db::dbQuote(connection, request.logDate), db::dbQuote(connection, request.message));
    return db::dbInsert(connection, QStringLiteral("duanxinbiao"), assignments);
}

SendRun::SendRun(QStringList plates, QStringList phones, QStringList expiryDates)
    : m_plates(std::move(plates))
    , m_phones(std::move(phones))
    , m_expiryDates(std::move(expiryDates))
{
}

std::optional<SendRun::Recipient> SendRun::next()
{
    if (m_inFlight || m_stopped || m_index >= size())
        return std::nullopt;
    const int k = m_index++;
    Recipient r {m_index, m_plates.value(k), m_phones.value(k), m_expiryDates.value(k)};
    if (r.phone.isEmpty())
        ++m_counts.skipped;
    return r;
}

void SendRun::record(const SendOutcome& outcome)
{
    m_inFlight = false;
    if (outcome.accepted) {
        ++m_counts.sent;
        if (!outcome.logged)
            ++m_counts.unlogged;
    } else {
        ++m_counts.failed;
    }
}

} // namespace fd::sms
