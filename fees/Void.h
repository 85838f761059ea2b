#pragma once

#include "db/Connection.h"
#include "fees/Payment.h"

#include <QDate>
#include <QString>

// Voiding a payment (作废): never deleted, the ledger gets a void row that points at the payment
// and gives the reason; the vehicle's columns of the fee are recomputed from the ledger, and the
// months a management fee had added are taken back when 管理费到期日期 is still what the payment
// made it. The receipt keeps its number, which is never used again. A payment is voided on the
// day it was taken (by the server's clock), once: the void row's unique key refuses a second one,
// also from another cluster node. Runs on the calling thread; shows nothing.
namespace fd::fees {

struct VoidResult {
    enum Outcome { Voided, AlreadyVoided, NotToday, NoPayment, Refused, Failed };
    Outcome outcome = Failed;
    QString error;
    QString details;
    FeeStatus after; // Voided: the open period of the fee as recomputed
    bool expiryTakenBack = false;
};

VoidResult voidPayment(db::Connection& session, qint64 ledgerId, const QString& reason, const QString& clerk,
    const QString& machine);

} // namespace fd::fees
