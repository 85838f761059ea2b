#pragma once

#include "overview/OverviewCounts.h"

#include <QString>

// The overview as an Excel workbook: the sheet "到期总览" with the band table (and the vehicles
// that were transferred or deregistered, when shown), and the sheet "到期预测" with the twelve
// months, a column per document, the month's total and the management fee due, under a stacked
// column chart of the same numbers. Written whole under a temporary name and only then given the
// chosen name, so a failure leaves an older file of that name as it was. Runs on any thread.
namespace fd::overview {

bool saveOverviewXlsx(const Overview& overview, bool withGone, const QString& title, const QString& path,
    QString* error);

} // namespace fd::overview
