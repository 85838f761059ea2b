#pragma once

#include "fleet/ShownList.h"

#include <QString>
#include <functional>

class QIODevice;

namespace fd::printing {

// The shown list written to files: the header row, then every row with its texts as the grid
// shows them (dates exactly as read). A file is written whole under a temporary name and only then
// takes the chosen name, so a failure leaves no half-written file there and an older file of
// that name as it was. The error text says what went wrong, in Chinese, for the user.
//
// The list is a snapshot: the writing may run on any thread. Progress, when given, is told now and
// then with the rows written and the row count; when it answers false the writing stops, no file
// is made and the error is left empty.
using RowProgress = std::function<bool(qint64 done, qint64 total)>;

// CSV, UTF-8 with a byte-order mark, CRLF line ends, fields quoted where they hold a comma, quote
// or line break. A text that a spreadsheet would take for a formula (starting with = + - @) is
// written with a leading apostrophe, so opening the file never runs anything.
bool writeCsv(const fleet::ShownList& list, QIODevice& out, const RowProgress& progress = {});
bool saveCsv(const fleet::ShownList& list, const QString& path, QString* error, const RowProgress& progress = {});

// An Excel workbook: one sheet, the header row frozen, the column widths of the grid, the band
// colours of the date cells, every text as a text cell (the row number as a number).
bool saveXlsx(const fleet::ShownList& list, const QString& path, QString* error, const RowProgress& progress = {});

} // namespace fd::printing
