#pragma once

#include "fees/MonthReport.h"

#include <QList>
#include <QRectF>
#include <QStringList>
#include <vector>

class QPainter;

namespace fd::fees {

// Paints report lines as a ruled table into the area (tenths of a millimetre), totals bold and
// the 合计 shaded, columns in the given shares of the width and the right-aligned ones to the right;
// rows shrink to fit the area. Any thread (paints from its own copies).
void paintReport(QPainter& painter, const QRectF& area, const QStringList& headers,
    const std::vector<ReportLine>& lines, const QList<double>& shares, const QList<int>& rightAligned,
    const QString& footer = QString());

} // namespace fd::fees
