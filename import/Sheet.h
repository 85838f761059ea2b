#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// Reading the sheets of a workbook or a CSV file into cells. Shows nothing; no database.
namespace fd::import {

struct Cell {
    enum Kind { Empty, Text, Number, Boolean, Date };
    Kind kind = Empty;
    QString text;       // Text: as written; Date (.xls): "yyyy-MM-dd[ hh:mm:ss]"
    double number = 0;  // Number, Boolean (0 or 1), Date (.xlsx): the spreadsheet's day number
    bool isEmpty() const { return kind == Empty || (kind == Text && text.trimmed().isEmpty()); }
    // The cell as a person reads it in the sheet (numbers without a needless ".0").
    QString display() const;
};

using Row = std::vector<Cell>;

struct Sheet {
    QString name;
    std::vector<Row> rows;
};

struct Workbook {
    std::vector<Sheet> sheets;
    QString error; // why the file could not be read; empty when it was
    bool ok() const { return error.isEmpty(); }
};

// By the file's ending: .xlsx, .xls, else CSV.
Workbook readWorkbook(const QString& path);
Workbook readXlsx(const QString& path);
Workbook readXls(const QString& path);
Workbook readCsvFile(const QString& path);

// CSV bytes: UTF-8 with or without BOM, UTF-16 with BOM, else GBK; the separator (comma,
// semicolon or tab) is the one the first line uses most outside quotes. Quoted fields may hold
// separators, doubled quotes and line breaks. One sheet named after the file.
Sheet readCsv(const QByteArray& bytes, const QString& name = QString());
QString decodeCsvText(const QByteArray& bytes);
QChar findSeparator(const QString& text);

// Whether an Excel number format shows a date ("yyyy/m/d", "[$-804]yyyy\"年\"m\"月\"d\"日\"").
bool isDateFormat(int id, const QString& code);

} // namespace fd::import
