#pragma once

#include "db/Connection.h"
#include "sms/SmsClient.h"
#include "sms/SmsMessages.h"

#include <QString>
#include <QStringList>
#include <optional>

// One mass send: its recipients, where it has come, its counts, and the request each recipient's
// message travels in. No widgets; the mass-send window owns one run at a time and steps it.
namespace fd::sms {

// Everything the sending thread needs for one message, the message itself included: nothing is
// read from a shared place while the request is on its way.
struct SendRequest {
    SmsPlatform platform;
    QString user, password;
    int index = 0; // 1-based position in the run's list
    QString plate, phone;
    QString message; // as composed, without the suffix; also what the log keeps
    QString suffix;
    QString logDate; // 2016-5-8
};

// What became of one recipient's message.
struct SendOutcome {
    int index = 0;
    QString plate, phone;
    bool accepted = false;
    bool logged = false;
};

// The sending thread's part of one recipient: the request, and the log record of an accepted
// message, written with the calling thread's own session (db/ThreadSession.h) on the log's
// database, opened when the thread first logs a message; none: the message is not logged. Runs
// to its end once begun, so a message that went out is logged whatever the window does meanwhile.
// Blocks the calling thread.
SendOutcome sendAndLog(const SendRequest& request, const std::optional<db::Connection::Options>& logDatabase);
// The log record (duanxinbiao) of a message the platform accepted. False when it was not written.
bool logSentMessage(const SendRequest& request, db::Connection& session);

// The state of one run. Thread affinity: the window's thread.
class SendRun {
public:
    struct Recipient {
        int index = 0; // 1-based
        QString plate, phone, expiryDate;
    };

    // The lists are parallel (entry k of each belongs to one grid row); missing entries read as
    // empty.
    SendRun(QStringList plates, QStringList phones, QStringList expiryDates);

    int size() const { return static_cast<int>(m_phones.size()); }
    // Positions used up so far: the index of the last recipient taken.
    int index() const { return m_index; }
    int remaining() const { return std::max(0, size() - m_index); }
    const RunCounts& counts() const { return m_counts; }

    // Takes the next position. A recipient without a phone number is counted as skipped and
    // comes back with an empty phone (nothing to send). None once the list is through, while a
    // message is on its way, or after stop().
    std::optional<Recipient> next();
    // The message of the recipient last taken has left.
    void sending() { m_inFlight = true; }
    bool inFlight() const { return m_inFlight; }
    // Counts the reply of the message on its way.
    void record(const SendOutcome& outcome);
    // No further recipient is taken; the message on its way is still counted when it comes back.
    void stop() { m_stopped = true; }
    bool stopped() const { return m_stopped; }
    // Through the list or stopped, with no message on its way: the run has ended.
    bool over() const { return !m_inFlight && (m_stopped || m_index >= size()); }

private:
    QStringList m_plates, m_phones, m_expiryDates;
    int m_index = 0;
    bool m_inFlight = false;
    bool m_stopped = false;
    RunCounts m_counts;
};

} // namespace fd::sms
