#pragma once

#include "common/DatabaseOptions.h"
#include "db/Statement.h"
#include "fleet/VehicleRows.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

namespace fd::fleet {

// When a list read in parts hands a part over: the first as soon as it holds firstRows rows, so
// that the first screen of the list shows at once, then one for each partMs of reading, so that
// the window takes a few dozen parts per second at most, whatever the speed of the rows; and
// whenever a part holds maxRows rows (0: no limit).
struct PartPacing {
    int firstRows = 100;
    int partMs = 25;
    int maxRows = 0;
};

// How the reading of a list ended.
struct ListEnd {
    enum class Outcome {
        complete,  // every row was handed over
        failed,    // no session, or the statement failed: no row was handed over
        cutShort,  // the rows stopped coming (a lost connection): the list is not whole
        tooLong,   // a row did not fit in the grid's rows: the list ends before it
        cancelled, // stopped by the cancel flag
    };
    Outcome outcome = Outcome::complete;
    QString error; // the session's or the server's message, when failed or cut short
    qint64 rows = 0; // rows handed over
};

// Reads the list of a statement on the calling thread's own session (db::threadSession with these
// options), its rows streamed as the server sends them and converted to VehicleRows (the ID, the
// leading texts and the date fields, banded against the login month), handing them over part by
// part to deliver, in order. The cancel flag is checked before each row; a cancelled or too long
// list releases its rows at once, which gives up the session's connection rather than reading the
// rest (the next statement opens a new one).
// Thread affinity: a thread of the database lane (the session is that thread's).
ListEnd readList(const DatabaseOptions& options, const db::Statement& statement, const QStringList& dateFields,
    double loginDateTime, const std::atomic_bool& cancel,
    const std::function<void(std::shared_ptr<const VehicleRows>)>& deliver, PartPacing pacing = {});

} // namespace fd::fleet
