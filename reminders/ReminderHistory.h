#pragma once

#include "db/Connection.h"

#include <QString>
#include <vector>

// The stages sent or tried, newest first, for the window's history.
namespace fd::reminders {

struct HistoryRow {
    QString marked;   // when the stage was claimed: 2016-05-08 09:30:00
    QString plate, phone, document, expiry, stage, result, runner, message;
};

// At most `limit` rows; with a plate filter only the vehicles whose plate contains it.
bool readHistory(const db::ConnectionPtr& connection, const QString& plateFilter, int limit,
    std::vector<HistoryRow>& rows, QString* error = nullptr);

} // namespace fd::reminders
