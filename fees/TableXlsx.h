#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

// The fee lists and reports as a workbook: a title line, the header row (frozen), then the rows.
// Amounts are written as the program writes them ("1200.00") into right-aligned text cells, so
// that no amount passes through floating point on the way; counts are numbers. Any thread.
namespace fd::fees {

struct XlsxTable {
    QString title;
    QStringList headers;
    QList<int> widths; // characters per column; missing ones take 12
    QList<int> rightAligned; // amount and count columns
    QList<int> numbers; // columns of whole numbers written as numbers
    struct Row {
        QStringList cells;
        bool bold = false;
        bool red = false;
    };
    std::vector<Row> rows;
};

// Writes the workbook whole under a temporary name and only then puts it at path, so a failure
// leaves any older file of that name as it was. error says why, in Chinese, for the user.
bool saveTableXlsx(const XlsxTable& table, const QString& path, QString* error);

} // namespace fd::fees
