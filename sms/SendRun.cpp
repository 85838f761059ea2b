#include "sms/SendRun.h"

#include "db/ThreadSession.h"

namespace fd::sms {

SendOutcome sendAndLog(const SendRequest& request, const std::optional<db::Connection::Options>& logDatabase)
{
    SendOutcome outcome;
    outcome.index = request.index;
    outcome.plate = request.plate;
    outcome.phone = request.phone;
    outcome.accepted = smsSendMessage(
        request.platform, request.user, request.password, request.phone, request.message, request.suffix);
    if (outcome.accepted && logDatabase) {
        // Opened after the request, so that a slow server never holds a message back.
        if (const db::ConnectionPtr session = db::threadSession(*logDatabase))
            outcome.logged = logSentMessage(request, *session);
    }
    return outcome;
}

bool logSentMessage(const SendRequest& request, db::Connection& session)
{
    return session
        .run(db::Statement("insert into duanxinbiao set cepaihao=?,dianhua=?,sijian=?,neirong=?")
                 .bind(request.plate)
                 .bind(request.phone)
                 .bind(request.logDate)
                 .bind(request.message))
        .ok;
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
