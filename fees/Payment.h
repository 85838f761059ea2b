#pragma once

#include "common/Money.h"
#include "db/Connection.h"
#include "fees/PaymentKinds.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <functional>
#include <optional>

// Taking a payment: the ledger row, the vehicle's fee columns and their history in one
// transaction, under the rules of the checked save: the vehicle's fee columns are read FOR UPDATE
// and compared with what the window showed, and a payment that meets another office's change of
// them writes nothing. Runs on the calling thread with its session; shows nothing.
//
// Periods: each vehicle's fee kind (其他: each fee name) has numbered periods; an amount due (an
// 应缴 row) opens the next one. What is due in the open period is its 应缴 row's amount; what is
// paid, the sum of its payments not voided. Period 0, a fee kind without ledger rows, is what the
// vehicle's stored texts say. The first payment of a fee kind with stored texts opens period 1
// with the amount still owed by them (应缴 less 已缴), so that from then on the ledger alone tells
// what is due and paid, and no amount is counted twice.
namespace fd::fees {

// An amount of the open period, or a stored text that cannot be read: shown as it is, with a mark,
// never counted as some number.
struct Figure {
    bool readable = true;
    qint64 fen = 0;
    QString text; // the stored text, when it cannot be read

    static Figure of(qint64 fen) { return Figure {true, fen, QString()}; }
    // A stored fee text read by the program's one money reader; an empty text is no amount (0).
    static Figure stored(const QString& text);
    // "1200.00", or the text itself marked as unreadable.
    QString shown() const;
    bool operator==(const Figure&) const = default;
};

struct FeeStatus {
    int period = 0;
    Figure due;
    Figure paid;
    // The vehicle's 应缴 column holds a new amount (typed in the vehicle window, or by another
    // program) that the ledger's open period does not: period is the next one, not yet written, with
    // that amount due and nothing paid. The next payment writes its 应缴 row.
    bool dueFromVehicle = false;
    // Unreadable when either is.
    Figure owed() const;
};

// What the payment window shows of one fee kind of a vehicle, read in one go.
struct VehicleFees {
    bool found = false;
    qint64 id = 0;
    QString plate;
    QString owner;
    QString phone;
    FeeKind kind = FeeKind::Management;
    QString otherName;
    // The kind's vehicle columns and 管理费到期日期 as stored (a NULL as the empty text).
    QHash<QString, QString> columns;
    FeeStatus status;
    QDateTime serverTime; // the server's clock when read

    QDate expiry() const;
};

// Reads the vehicle and the open period of the fee kind; empty (error set) when the statements
// failed, found false when no vehicle has the ID. A ledger not made yet reads as no rows.
std::optional<VehicleFees> readVehicleFees(db::Connection& session, qint64 vehicleId, FeeKind kind,
    const QString& otherName, QString* error = nullptr);

// How months of management fee move 管理费到期日期: from its current date, or from today when it
// is empty or ran out more than kLongPastMonths ago.
inline constexpr int kLongPastMonths = 3;
struct ExpiryMove {
    QDate before; // as stored (invalid: none)
    QDate from;
    QDate after;
    bool fromToday = false;
};
ExpiryMove moveExpiry(const QDate& current, const QDate& today, int months);
// The sentence the window shows before 确定.
QString expiryNote(const ExpiryMove& move);

struct PaymentRequest {
    qint64 vehicleId = 0;
    FeeKind kind = FeeKind::Management;
    QString otherName; // 其他: the fee's name
    qint64 amountFen = 0;
    QString method;
    QString payer;
    QString remark;
    int months = 0; // 管理费: the months paid for
    // 本期应缴: a new amount due, which opens a new period that the payment belongs to.
    std::optional<qint64> newDueFen;
    // The fees as the window showed them: what the stored columns are compared with.
    VehicleFees read;
    QString receiptPrefix = QStringLiteral("A");
    QString clerk; // the login user
    QString machine;
};

struct PaymentResult {
    enum Outcome {
        Taken,     // written: the ledger row, the columns and their history
        Conflict,  // nothing written: another office changed the vehicle's fee columns meanwhile
        NoVehicle, // nothing written: no vehicle has the ID
        Refused,   // nothing written: the request cannot be taken as it stands (error says why)
        Failed,    // nothing written: a statement or the session failed (error, details)
    };
    Outcome outcome = Failed;
    QString error;
    QString details;
    qint64 ledgerId = 0;
    QString receiptNumber;
    FeeStatus after; // Taken: the open period after the payment
    QDate expiryAfter;
    // Conflict: the columns another office changed (column names).
    QStringList changedColumns;
};

// Takes the payment in one transaction, tried again from the start (the row read and compared
// anew) when a deadlock or a cluster's certification failure ends it.
PaymentResult takePayment(db::Connection& session, const PaymentRequest& request);

// A payment's request checked before anything is sent: an empty text when it can be taken.
QString checkRequest(const PaymentRequest& request);

// For tests: called inside the payment's transaction once its ledger rows are written and before
// the vehicle's columns, their history and the commit go out together.
void setBeforeCommitHook(std::function<void()> hook);

} // namespace fd::fees
