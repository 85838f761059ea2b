#pragma once

#include "overview/OverviewCounts.h"

#include <QString>

// The lists behind the overview's numbers, in the seven-column layout of a category list: ID,
// file number, plate, owner, phone and the document's date, newest date first. Each lists exactly
// the vehicles its number counts. Pure functions.
namespace fd::overview {

// The vehicles of one cell of the band table. Empty for a document or column out of range.
QString cellStatement(int document, Column column, Fleet fleet, double loginDateTime);

// The active vehicles whose document expires in forecast month k (0 the login month).
QString monthStatement(int document, int k, double loginDateTime);

// The grid's header of the document's date column ("营运证有效日期").
QString documentHeader(int document);

} // namespace fd::overview
