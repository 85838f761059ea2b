#include "fees/PaymentQuery.h"

#include "common/Money.h"
#include "db/ErrorCodes.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <xlsxwriter.h>

namespace fd::fees {

db::Statement paymentQueryStatement(const PaymentFilter& filter)
{
    // A month is a large part of a year's ledger: left alone the server reads the whole table and
    // sorts it; walking the payments' time index (or the clerk's) gives the rows in order at once,
    // and no 应缴 row is read only to be passed over.
    db::Statement s("SELECT s.ID,s.shoujuhao,s.shijian,s.cepaihao,s.cezuxingming,s.feiyong,s.qitamingcheng,s.qijian,"
                    "s.jine,s.fangshi,s.jiaokuanren,s.beizhu,s.jingbanren,z.ID AS zuofei,z.zuofeiyuanyin"
                    " FROM shoufeijilu s FORCE INDEX (?) LEFT JOIN shoufeijilu z ON z.zuofeiid=s.ID"
                    " WHERE s.leixing='收费' AND s.shijian>=? AND s.shijian<?");
    s.bindSql(filter.clerk.isEmpty() ? QStringLiteral("k_leixing") : QStringLiteral("k_jingbanren"));
    s.bind(QDateTime(filter.from, QTime(0, 0))).bind(QDateTime(filter.to.addDays(1), QTime(0, 0)));
    if (!filter.clerk.isEmpty())
        s.append(db::Statement(" AND s.jingbanren=?").bind(filter.clerk));
    if (!filter.fee.isEmpty())
        s.append(db::Statement(" AND s.feiyong=?").bind(filter.fee));
    if (!filter.method.isEmpty())
        s.append(db::Statement(" AND s.fangshi=?").bind(filter.method));
    if (!filter.plate.trimmed().isEmpty())
        s.append(db::Statement(" AND s.cepaihao LIKE ?").bind(QLatin1Char('%') + filter.plate.trimmed() + QLatin1Char('%')));
    return s.append(" ORDER BY s.shijian,s.ID");
}

namespace {

// The texts that repeat down a month of payments (fee kinds, methods, clerks, payers, owners):
// each decoded once and shared by the rows that hold it.
class RepeatedTexts {
public:
    QString text(const db::Result& rows, int column)
    {
        const char* data = rows.data(column);
        const QByteArray raw = QByteArray::fromRawData(data ? data : "", static_cast<qsizetype>(rows.size(column)));
        if (const auto it = m_seen.constFind(raw); it != m_seen.cend())
            return *it;
        QString decoded = rows.text(column);
        if (m_seen.size() < kKept)
            m_seen.insert(QByteArray(raw.constData(), raw.size()), decoded);
        return decoded;
    }

private:
    static constexpr qsizetype kKept = 4096;
    QHash<QByteArray, QString> m_seen;
};

} // namespace

std::optional<PaymentList> queryPayments(db::Connection& session, const PaymentFilter& filter, QString* error)
{
    PaymentList list;
    // Streamed: a month's rows are read as they come, never held twice.
    const db::Reply reply = session.stream(paymentQueryStatement(filter));
    if (!reply.ok) {
        if (reply.errorCode == db::errors::kNoSuchTable)
            return list;
        if (error)
            *error = reply.error;
        return std::nullopt;
    }
    if (!reply.rows)
        return list;
    db::Result& rows = *reply.rows;
    const int id = rows.columnIndex("ID"), number = rows.columnIndex("shoujuhao"), time = rows.columnIndex("shijian"),
              plate = rows.columnIndex("cepaihao"), owner = rows.columnIndex("cezuxingming"),
              fee = rows.columnIndex("feiyong"), other = rows.columnIndex("qitamingcheng"),
              period = rows.columnIndex("qijian"), amount = rows.columnIndex("jine"), method = rows.columnIndex("fangshi"),
              payer = rows.columnIndex("jiaokuanren"), remark = rows.columnIndex("beizhu"),
              clerk = rows.columnIndex("jingbanren"), voided = rows.columnIndex("zuofei"),
              reason = rows.columnIndex("zuofeiyuanyin");
    RepeatedTexts repeated;
    while (rows.next()) {
        PaymentRow r;
        r.id = rows.integer(id);
        r.number = rows.text(number);
        r.time = rows.text(time).left(16); // the server writes 2026-09-01 08:30:00
        r.plate = rows.text(plate);
        r.owner = repeated.text(rows, owner);
        r.fee = repeated.text(rows, fee);
        r.otherName = repeated.text(rows, other);
        r.period = static_cast<int>(rows.integer(period));
        r.amountFen = rows.integer(amount);
        r.method = repeated.text(rows, method);
        r.payer = repeated.text(rows, payer);
        r.remark = rows.text(remark);
        r.clerk = repeated.text(rows, clerk);
        r.voided = !rows.isNull(voided);
        r.voidReason = rows.text(reason);
        ++list.count;
        list.totalFen += r.amountFen;
        if (r.voided) {
            ++list.voidedCount;
            list.voidedFen += r.amountFen;
        }
        list.rows.push_back(std::move(r));
    }
    if (rows.failed()) {
        if (error)
            *error = rows.error();
        return std::nullopt;
    }
    return list;
}

const QStringList& paymentHeaders()
{
    static const QStringList headers {QStringLiteral("收据号"), QStringLiteral("时间"), QStringLiteral("车牌号"),
        QStringLiteral("车主"), QStringLiteral("费用"), QStringLiteral("期"), QStringLiteral("金额"),
        QStringLiteral("方式"), QStringLiteral("交款人"), QStringLiteral("经办人"), QStringLiteral("备注"),
        QStringLiteral("状态")};
    return headers;
}

QStringList paymentCells(const PaymentRow& row)
{
    const QString fee = row.otherName.isEmpty() ? row.fee : QStringLiteral("%1（%2）").arg(row.fee, row.otherName);
    const QString state = row.voided ? QStringLiteral("作废：%1").arg(row.voidReason) : QString();
    return {row.number, row.time, row.plate, row.owner, fee,
        QString::number(row.period), money::formatFen(row.amountFen), row.method, row.payer, row.clerk, row.remark,
        state};
}

namespace {

struct WorkbookDeleter {
    void operator()(lxw_workbook* wb) const { workbook_close(wb); }
};

QString cannotWrite(const QString& path, const QString& why)
{
    return QStringLiteral("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(path), why);
}

} // namespace

bool savePaymentsXlsx(const PaymentList& list, const QString& title, const QString& path, QString* error)
{
    QTemporaryDir work;
    if (!work.isValid()) {
        if (error)
            *error = cannotWrite(path, work.errorString());
        return false;
    }
    const QString tempPath = work.filePath(QStringLiteral("payments.xlsx"));
    const QByteArray tempName = QFile::encodeName(tempPath);
    const QByteArray tempDir = QFile::encodeName(work.path());
    lxw_workbook_options options {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(tempDir.constData());
    std::unique_ptr<lxw_workbook, WorkbookDeleter> workbook(workbook_new_opt(tempName.constData(), &options));
    lxw_worksheet* sheet = workbook ? workbook_add_worksheet(workbook.get(), nullptr) : nullptr;
    if (!sheet) {
        if (error)
            *error = cannotWrite(path, QStringLiteral("无法建立工作簿"));
        return false;
    }
    lxw_format* bold = workbook_add_format(workbook.get());
    format_set_bold(bold);
    lxw_error failed = LXW_NO_ERROR;
    auto put = [&](lxw_row_t row, int col, const QString& text, lxw_format* format = nullptr) {
        if (!failed)
            failed = worksheet_write_string(sheet, row, static_cast<lxw_col_t>(col), text.toUtf8().constData(), format);
    };
    put(0, 0, title, bold);
    const QStringList& headers = paymentHeaders();
    for (int c = 0; c < headers.size(); ++c)
        put(1, c, headers[c], bold);
    lxw_row_t row = 2;
    for (const PaymentRow& r : list.rows) {
        const QStringList cells = paymentCells(r);
        for (int c = 0; c < cells.size(); ++c)
            put(row, c, cells[c]);
        ++row;
    }
    put(row, 0, QStringLiteral("合计 %1 笔").arg(list.count), bold);
    put(row, 6, money::formatFen(list.totalFen), bold);
    put(row + 1, 0, QStringLiteral("作废 %1 笔").arg(list.voidedCount), bold);
    put(row + 1, 6, money::formatFen(list.voidedFen), bold);
    put(row + 2, 0, QStringLiteral("实收"), bold);
    put(row + 2, 6, money::formatFen(list.netFen()), bold);
    const lxw_error closed = workbook_close(workbook.release());
    if (failed || closed) {
        if (error)
            *error = cannotWrite(path, QString::fromUtf8(lxw_strerror(failed ? failed : closed)));
        return false;
    }
    QFile made(tempPath);
    QSaveFile file(path);
    if (!made.open(QIODevice::ReadOnly) || !file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = cannotWrite(path, made.isOpen() ? file.errorString() : made.errorString());
        return false;
    }
    if (file.write(made.readAll()) < 0 || !file.commit()) {
        if (error)
            *error = cannotWrite(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace fd::fees
