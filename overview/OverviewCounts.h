#pragma once

#include "vehicles/ExpiryBand.h"

#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <cstddef>
#include <optional>

namespace fd::db {
class Connection;
class Result;
}

// What falls due: the seven watched documents of the whole fleet counted by the bands of the
// grid's colours, and the next twelve months of expiries. No widgets: the counts are read from a
// result, or from a session of the calling thread (readOverview), so they can be made on any
// thread.
namespace fd::overview {

// The columns of the band table: the five bands in the order time runs, then the vehicles with no
// date: NULL, or a text datetime::readDateTimeText does not read as a calendar day (2016-05-00,
// 0000-00-00; a date in year 0 such as 0000-01-01 is one, expired long ago). The colours' own band
// of a missing date is expiredLong; the table keeps them apart because "no date" needs other work
// than "expired long ago".
enum class Column : int { expiredLong, expiredRecently, dueThisMonth, dueNextMonth, farAhead, noDate };
inline constexpr int kColumns = 6;
inline constexpr int kDocuments = 7; // in the order of vehicles::WatchedDate
inline constexpr int kMonths = 12;

Column columnOfBand(vehicles::ExpiryBand band);
QString columnTitle(Column column);
// "营运证" and the like, by the order of vehicles::watchedDates().
QString documentTitle(int document);
// The document's colour in the forecast chart, on screen, on paper and in the workbook.
QColor documentColour(int document);

// Vehicles whose 车辆状态 is 转出 or 注销 no longer renew anything: they are counted apart.
enum class Fleet : int { active, gone };

struct Overview {
    int loginYear = 0, loginMonth = 0;
    qint64 vehicles[2] = {0, 0}; // by Fleet
    // [fleet][document][column]
    std::array<std::array<std::array<qint64, kColumns>, kDocuments>, 2> counts {};
    // Active vehicles whose document expires in login month + k (k = 0..11): [k][document].
    std::array<std::array<qint64, kDocuments>, kMonths> forecast {};
    // The management fee due (guanliyingjiaofei, read by money::readAmount) of the active
    // vehicles whose fee runs out in month k, in fen; how many of them hold an amount; how many
    // hold a text that is no amount (not in the sum).
    std::array<qint64, kMonths> feeFen {};
    std::array<qint64, kMonths> feeVehicles {};
    std::array<qint64, kMonths> feeUnreadable {};

    qint64 count(Fleet fleet, int document, Column column) const
    {
        return counts[static_cast<int>(fleet)][document][static_cast<int>(column)];
    }
    qint64 rowTotal(Fleet fleet, int document) const;
    qint64 monthTotal(int month) const;
    // Year and month of forecast month k.
    void month(int k, int& year, int& month) const;
    QString monthTitle(int k) const; // 2016年5月
    qint64 unreadableFees() const;
};

// Where the fee sums are shown: "无法识别的金额 N 条" and that they are not in the sums; empty when
// every fee text was read.
QString unreadableFeesNote(const Overview& overview);

// The select the counts are read from: status, fee due and the seven dates of every vehicle.
QString overviewStatement();

// No vehicles counted yet, against the login date (days since 1899-12-30).
Overview emptyOverview(double loginDateTime);

// Reads every row of a result of overviewStatement() and counts it against the login date (days
// since 1899-12-30). The band of a date is the grid's (vehicles::expiryBand). cancelled, when
// given, is polled now and then; the counts are then incomplete.
Overview countOverview(db::Result& result, double loginDateTime, const std::atomic_bool* cancelled = nullptr);

// Runs overviewStatement() on the session and counts its rows as the server sends them (never
// the whole fleet in memory at once). None, with the server's or the client library's reason in
// error, when the statement failed or its rows stopped coming; none with no error when cancelled
// was set before the last row. Thread affinity: the session's thread.
std::optional<Overview> readOverview(
    db::Connection& session, double loginDateTime, const std::atomic_bool* cancelled, QString* error);

// One vehicle's part of the counts, for countOverview and its tests: the status and fee texts as
// GBK bytes, the seven date texts as read (null pointer for NULL).
struct VehicleDates {
    const char* status = nullptr;
    std::size_t statusSize = 0;
    const char* fee = nullptr;
    std::size_t feeSize = 0;
    const char* dates[kDocuments] = {};
    std::size_t dateSizes[kDocuments] = {};
};
void addVehicle(Overview& overview, const VehicleDates& vehicle);

} // namespace fd::overview
