#include "import/Values.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "vehicles/VehicleColumns.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace fd::import {

namespace {

QString halfWidth(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            u = static_cast<char16_t>(u - 0xFEE0);
        else if (u == 0x3000)
            u = ' ';
        out += QChar(u);
    }
    return out;
}

// Excel's day 1 is 1900-01-01, counted as if 1900-02-29 existed: day numbers from 61 on are one
// day ahead of the plain count from 1899-12-31.
std::optional<QDate> fromDayNumber(double number)
{
    if (!(number >= 1 && number < 2958466))
        return std::nullopt;
    const qint64 day = static_cast<qint64>(std::floor(number));
    if (day == 60)
        return std::nullopt; // 1900-02-29 does not exist
    return QDate(1899, 12, 30).addDays(day < 60 ? day + 1 : day);
}

std::optional<QDate> fromParts(int y, int m, int d)
{
    const QDate date(y, m, d);
    if (!date.isValid() || y < 1900)
        return std::nullopt;
    return date;
}

std::optional<QDate> fromText(const QString& raw)
{
    const QString text = halfWidth(raw).trimmed();
    static const QRegularExpression separated(QStringLiteral(
        "^(\\d{4})\\s*[-/.年]\\s*(\\d{1,2})\\s*[-/.月]\\s*(\\d{1,2})\\s*日?(?:[ T]\\d{1,2}:\\d{2}(?::\\d{2}(?:\\.\\d+)?)?)?$"));
    static const QRegularExpression compact(QStringLiteral("^(\\d{4})(\\d{2})(\\d{2})$"));
    QRegularExpressionMatch m = separated.match(text);
    if (!m.hasMatch())
        m = compact.match(text);
    if (m.hasMatch())
        return fromParts(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    return std::nullopt;
}

} // namespace

std::optional<QDate> readDate(const Cell& cell)
{
    switch (cell.kind) {
    case Cell::Date:
        if (!cell.text.isEmpty())
            return fromText(cell.text);
        return fromDayNumber(cell.number);
    case Cell::Number:
        if (cell.number >= 19000101 && cell.number <= 99991231 && std::floor(cell.number) == cell.number)
            return fromText(QString::number(static_cast<qint64>(cell.number)));
        return fromDayNumber(cell.number);
    case Cell::Text:
        return fromText(cell.text);
    default:
        return std::nullopt;
    }
}

QString normalizePlate(const QString& text)
{
    QString out;
    for (QChar c : halfWidth(text))
        if (!c.isSpace())
            out += c.toUpper();
    return out;
}

QString plateProblem(const QString& plate)
{
    const qsizetype bytes = text::gbkLength(plate);
    if (bytes < 0)
        return QStringLiteral("车牌号含有无法保存的字符");
    if (bytes < 8 || bytes > 9)
        return QStringLiteral("请输入正确的车牌号！");
    return QString();
}

QString phoneDigits(const Cell& cell)
{
    QString out;
    for (QChar c : halfWidth(cell.display()))
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            out += c;
    return out;
}

std::optional<QString> readStatus(const QString& text)
{
    const QString t = halfWidth(text).trimmed();
    if (t.isEmpty() || t == QStringLiteral("正常") || t == QStringLiteral("在用") || t == QStringLiteral("营运"))
        return QStringLiteral("正常");
    if (t == QStringLiteral("转出") || t == QStringLiteral("已转出") || t == QStringLiteral("过户"))
        return QStringLiteral("转出");
    if (t == QStringLiteral("注销") || t == QStringLiteral("已注销") || t == QStringLiteral("报废"))
        return QStringLiteral("注销");
    return std::nullopt;
}

ConvertedRow convertRow(const Row& row, const QStringList& mapping)
{
    ConvertedRow out;
    for (int col = 0; col < mapping.size(); ++col) {
        const QString& field = mapping.at(col);
        if (field.isEmpty())
            continue;
        const vehicles::VehicleColumn* column = vehicles::findColumn(field);
        if (!column)
            continue;
        const Cell empty;
        const Cell& cell = static_cast<std::size_t>(col) < row.size() ? row[static_cast<std::size_t>(col)] : empty;
        if (cell.isEmpty())
            continue;
        out.isEmpty = false;
        QString value;
        if (field == QLatin1String("cepaihao")) {
            value = normalizePlate(cell.display());
            const QString problem = plateProblem(value);
            if (!problem.isEmpty())
                out.problems.insert(col, problem);
        } else if (field == QLatin1String("cezudianhua") || field == QLatin1String("jiasiyuandianhua")) {
            value = phoneDigits(cell);
            if (value.isEmpty())
                out.problems.insert(col, QStringLiteral("电话号码中没有数字"));
        } else if (column->form == vehicles::ColumnForm::Date) {
            const std::optional<QDate> date = readDate(cell);
            if (date)
                value = datetime::dateText(*date);
            else
                out.problems.insert(col, QStringLiteral("无法识别的日期“%1”").arg(cell.display()));
        } else if (column->form == vehicles::ColumnForm::Status) {
            const std::optional<QString> status = readStatus(cell.display());
            if (status)
                value = *status;
            else
                out.problems.insert(col, QStringLiteral("车辆状态应为正常、转出或注销"));
        } else {
            value = column->keepSpaces ? cell.display() : text::trimSpaces(cell.display());
            if (!text::toGbk(value).ok())
                out.problems.insert(col, QStringLiteral("含有无法保存的字符"));
        }
        if (!out.problems.contains(col))
            out.values.insert(field, value);
    }
    return out;
}

QString problemText(const ConvertedRow& row, const QStringList& headers)
{
    QList<int> columns = row.problems.keys();
    std::sort(columns.begin(), columns.end());
    QStringList parts;
    for (int c : columns)
        parts << (c < headers.size() ? headers.at(c) : QString::number(c + 1)) + QStringLiteral("：") + row.problems.value(c);
    return parts.join(QStringLiteral("；"));
}

} // namespace fd::import
