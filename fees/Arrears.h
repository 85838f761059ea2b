#pragma once

#include "db/Statement.h"

#include <QString>
#include <array>
#include <atomic>
#include <vector>

namespace fd::db {
class Connection;
}

// 欠费车辆: what every vehicle owes per fee kind in its open period. For the four fee kinds with
// vehicle columns the open period is what the columns hold (every payment, void and new amount due
// writes them): 应缴费用 less 已缴费用. For the fees named apart under 其他 it is the largest period
// among the ledger rows: its (last) 应缴 row less the period's payments that were not voided. A stored text money::readAmount cannot read makes the figure unreadable: it is shown as
// the text, and never counted as some amount. No widgets; the reading runs on any thread with a
// session of its own.
namespace fd::fees {

// The columns of the list, in order: 审车费, 保险费, 营运费, 管理费 (each with vehicle columns), 其他.
inline constexpr int kArrearsKinds = 5;
inline constexpr int kStoredKinds = 4;
QString arrearsKindName(int kind);
// The vehicle columns of a fee kind with columns (kind < kStoredKinds).
struct StoredFeeColumns {
    const char* due; // 应缴费用
    const char* paid; // 已缴费用
    const char* owed; // 还欠费用
};
const StoredFeeColumns& storedFeeColumns(int kind);

// One vehicle's fee kind in its open period, as the ledger holds it.
struct OpenPeriod {
    int period = 0;
    qint64 dueFen = 0;
    bool hasDue = false; // the period has an 应缴 row
    qint64 paidFen = 0; // its payments that were not voided
};

// What a vehicle owes of one fee kind.
struct Owed {
    enum State {
        Nothing, // no amount recorded: no ledger rows and both stored texts empty
        Amount, // fen: due − paid (0 or less: nothing outstanding)
        Unreadable, // text: the stored text that could not be read; column: which one
    };
    State state = Nothing;
    qint64 fen = 0;
    QString text;
    QString column;

    bool outstanding() const { return state == Unreadable || (state == Amount && fen > 0); }
    bool operator==(const Owed&) const = default;
};

// The rule above for one fee kind: ledger is null when the vehicle has no ledger rows of it.
// dueText and paidText are the stored 应缴费用 and 已缴费用 (read only for period 0).
Owed owedOf(const OpenPeriod* ledger, const QString& dueText, const QString& paidText);

struct ArrearsRow {
    qint64 id = 0;
    QString fileNumber, plate, owner, phone, status;
    std::array<Owed, kArrearsKinds> owed {};

    // The readable outstanding amounts together.
    qint64 totalFen() const;
    bool unreadable() const;
};

struct Arrears {
    // The vehicles with something outstanding or unreadable, by plate.
    std::vector<ArrearsRow> rows;
    // Per fee kind: the outstanding amounts' sum, the vehicles owing, the unreadable figures.
    std::array<qint64, kArrearsKinds> fen {};
    std::array<qint64, kArrearsKinds> vehicles {};
    std::array<qint64, kArrearsKinds> unreadable {};

    qint64 totalFen() const;
    qint64 unreadableCount() const;
    // Counts a vehicle: kept in rows when it owes something or has an unreadable figure.
    void add(ArrearsRow row);
    // Orders the rows by plate (by character).
    void sort();
};

// Every vehicle's ID, its identifying texts and its stored due and paid texts, by ID.
db::Statement arrearsVehiclesStatement();
// Every vehicle's fee kinds (and fee names of 其他) in their open periods: cheliangid, kind 1..5 in
// list order or 0 for a kind the list does not know, qijian, due (NULL without 应缴), dues, paid;
// by vehicle.
db::Statement openPeriodsStatement();

// Reads the list on the session. False with error set when a statement failed; cancelled, when
// given, is polled between rows (the result is then incomplete and false is returned).
bool readArrears(db::Connection& session, Arrears& out, QString* error, const std::atomic_bool* cancelled = nullptr);

// The figure as the list shows it: "1200.00", the unreadable text with its mark, empty for nothing
// outstanding.
QString owedText(const Owed& owed);

} // namespace fd::fees
