#pragma once

#include "overview/OverviewCounts.h"

#include <QImage>
#include <QRectF>

class QPainter;

// The overview on paper: the band table, the forecast chart (an image the page made of its own
// chart) and the fee due per month, fitted into one area. Lengths are tenths of a millimetre. Draws
// from its arguments only: it runs on the files lane when the page is printed.
namespace fd::overview {

void paintOverview(QPainter& painter, const QRectF& area, const Overview& overview, bool withGone, const QImage& chart);

} // namespace fd::overview
