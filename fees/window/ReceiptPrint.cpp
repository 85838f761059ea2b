#include "fees/window/ReceiptPrint.h"

#include "common/DateTime.h"
#include "common/Money.h"
#include "ui/Dialogs.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFontMetricsF>
#include <QPainter>
#include <QPushButton>
#include <QPageSize>
#include <QRadioButton>
#include <QSettings>
#include <QVBoxLayout>

namespace fd::fees {
namespace {

const QString kPaperKey = QStringLiteral("receipt/page");

QFont paperFont(double size, bool bold = false)
{
    QFont f;
    // Faces whose Chinese glyphs keep their text in the PDF; the first one found is used.
    f.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun")});
    f.setPixelSize(std::max(1, qRound(size)));
    // The face has no bold of its own, and a drawn-on bold smears the strokes of Chinese: a bold
    // text is only a little larger.
    if (bold)
        f.setPixelSize(std::max(1, qRound(size * 1.08)));
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// One cell of a ruled table: its frame and its text, shrunk until it fits.
void cell(QPainter& painter, const QRectF& rect, const QString& text, double size, bool bold = false,
    Qt::Alignment align = Qt::AlignCenter)
{
    painter.setPen(QPen(Qt::black, 2));
    painter.drawRect(rect);
    QFont font = paperFont(size, bold);
    const QRectF inner = rect.adjusted(12, 0, -12, 0);
    while (QFontMetricsF(font).horizontalAdvance(text) > inner.width() && font.pixelSize() > 12)
        font.setPixelSize(font.pixelSize() - 2);
    painter.setFont(font);
    painter.drawText(inner, align | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

QString dateTimeText(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace

QPageLayout receiptPageLayout(ReceiptPaper paper)
{
    if (paper == ReceiptPaper::Form241)
        return QPageLayout(QPageSize(QSizeF(241, 140), QPageSize::Millimeter, QStringLiteral("241×140"), QPageSize::ExactMatch),
            QPageLayout::Portrait, QMarginsF());
    return QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Landscape, QMarginsF());
}

ReceiptPaper receiptPaper(QSettings& remembered, const Settings& settings)
{
    const QString choice = remembered.value(kPaperKey, settings.receiptPage).toString().trimmed();
    return choice == QLatin1String("241") ? ReceiptPaper::Form241 : ReceiptPaper::A5;
}

void rememberReceiptPaper(QSettings& remembered, ReceiptPaper paper)
{
    remembered.setValue(kPaperKey, paper == ReceiptPaper::Form241 ? QStringLiteral("241") : QStringLiteral("A5"));
    remembered.sync();
}

void paintReceipt(QPainter& painter, const QRectF& area, const Receipt& r)
{
    painter.save();
    const double w = area.width();
    const double unit = std::min(area.height() / 10.0, w / 18.0); // one line's height
    double y = area.top();
    painter.setPen(Qt::black);
    painter.setFont(paperFont(unit * 0.62, true));
    const QString title = r.company.isEmpty() ? QStringLiteral("收  据") : r.company + QStringLiteral("  收据");
    painter.drawText(QRectF(area.left(), y, w, unit * 1.2), Qt::AlignCenter, title);
    if (r.reprint) {
        painter.setFont(paperFont(unit * 0.5, true));
        const QRectF mark(area.right() - unit * 2.2, y + unit * 0.1, unit * 2.0, unit * 0.9);
        painter.setPen(QPen(Qt::black, 4));
        painter.drawRect(mark);
        painter.drawText(mark, Qt::AlignCenter, QStringLiteral("补打"));
    }
    y += unit * 1.4;
    painter.setFont(paperFont(unit * 0.4));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(area.left(), y, w / 2, unit * 0.7), Qt::AlignLeft | Qt::AlignVCenter,
        QStringLiteral("收据号：%1").arg(r.number));
    painter.drawText(QRectF(area.left() + w / 2, y, w / 2, unit * 0.7), Qt::AlignRight | Qt::AlignVCenter,
        QStringLiteral("日期：%1").arg(dateTimeText(r.time)));
    y += unit * 0.8;

    // The ruled table: label, value, label, value.
    const double col[] = {w * 0.16, w * 0.34, w * 0.16, w * 0.34};
    const double text = unit * 0.42;
    auto row = [&](const QString& l1, const QString& v1, const QString& l2, const QString& v2) {
        double x = area.left();
        const QString cells[] = {l1, v1, l2, v2};
        for (int i = 0; i < 4; ++i) {
            cell(painter, QRectF(x, y, col[i], unit), cells[i], text, i % 2 == 0,
                i % 2 == 0 ? Qt::AlignHCenter : Qt::AlignLeft);
            x += col[i];
        }
        y += unit;
    };
    auto wide = [&](const QString& label, const QString& value, bool bold = false) {
        cell(painter, QRectF(area.left(), y, col[0], unit), label, text, true);
        cell(painter, QRectF(area.left() + col[0], y, w - col[0], unit), value, text, bold, Qt::AlignLeft);
        y += unit;
    };
    row(QStringLiteral("车牌号"), r.plate, QStringLiteral("车主"), r.owner);
    row(QStringLiteral("费用"), QStringLiteral("%1（第%2期）").arg(r.feeText()).arg(r.period), QStringLiteral("交款人"), r.payer);
    row(QStringLiteral("金额（小写）"), QStringLiteral("¥%1").arg(money::formatFen(r.amountFen)), QStringLiteral("收款方式"),
        r.method);
    wide(QStringLiteral("金额（大写）"), money::capitals(r.amountFen), true);
    QString note;
    if (r.months > 0)
        note = QStringLiteral("%1个月，到期日期 %2 → %3")
                   .arg(r.months)
                   .arg(r.expiryBefore.isValid() ? datetime::dateText(r.expiryBefore) : QStringLiteral("无"),
                       datetime::dateText(r.expiryAfter));
    if (!r.remark.isEmpty())
        note += (note.isEmpty() ? QString() : QStringLiteral("；")) + r.remark;
    wide(QStringLiteral("说明"), note);
    y += unit * 0.3;
    painter.setFont(paperFont(unit * 0.4));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(area.left(), y, w / 2, unit * 0.7), Qt::AlignLeft | Qt::AlignVCenter,
        QStringLiteral("经办人：%1").arg(r.clerk));
    painter.drawText(QRectF(area.left() + w / 2, y, w / 2, unit * 0.7), Qt::AlignRight | Qt::AlignVCenter,
        QStringLiteral("交款人签字：________________"));
    if (r.voided) {
        // A voided receipt printed again says so across the page.
        painter.setFont(paperFont(unit * 2.2, true));
        painter.setPen(QColor(200, 0, 0));
        painter.drawText(area, Qt::AlignCenter, QStringLiteral("作废"));
    }
    painter.restore();
}

void paintTakings(QPainter& painter, const QRectF& area, const Takings& t, const QString& company)
{
    painter.save();
    const double w = area.width();
    const double unit = 90; // 9 mm a line
    double y = area.top();
    painter.setPen(Qt::black);
    painter.setFont(paperFont(60, true));
    const QString days = t.from == t.to ? datetime::dateText(t.from)
                                        : QStringLiteral("%1 至 %2").arg(datetime::dateText(t.from), datetime::dateText(t.to));
    painter.drawText(QRectF(area.left(), y, w, unit * 1.2), Qt::AlignCenter,
        QStringLiteral("%1日结  %2").arg(company.isEmpty() ? QString() : company + QStringLiteral(" "), days));
    y += unit * 1.5;
    const QStringList headers {QStringLiteral("经办人"), QStringLiteral("收款方式"), QStringLiteral("收费笔数"),
        QStringLiteral("收费金额"), QStringLiteral("作废笔数"), QStringLiteral("作废金额"), QStringLiteral("实收金额")};
    const double cw = w / headers.size();
    auto line = [&](const QStringList& cells, bool bold) {
        for (int i = 0; i < cells.size(); ++i)
            cell(painter, QRectF(area.left() + i * cw, y, cw, unit), cells[i], 34, bold,
                i < 2 ? Qt::AlignHCenter : Qt::AlignRight);
        y += unit;
    };
    line(headers, true);
    auto cells = [](const TakingsLine& l, const QString& clerk, const QString& method) {
        return QStringList {clerk, method, QString::number(l.payments), money::formatFen(l.paidFen),
            QString::number(l.voids), money::formatFen(l.voidedFen), money::formatFen(l.netFen())};
    };
    for (const TakingsLine& l : t.lines)
        line(cells(l, l.clerk, l.method), false);
    line(cells(t.total, QStringLiteral("合计"), QString()), true);
    y += unit * 0.4;
    painter.setFont(paperFont(36));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(area.left(), y, w, unit), Qt::AlignLeft | Qt::AlignVCenter,
        QStringLiteral("实收合计（大写）：%1").arg(money::capitals(t.total.netFen())));
    y += unit * 1.6;
    const QStringList signers {QStringLiteral("交款人"), QStringLiteral("收款人"), QStringLiteral("复核人")};
    for (int i = 0; i < signers.size(); ++i)
        painter.drawText(QRectF(area.left() + i * w / 3, y, w / 3, unit), Qt::AlignLeft | Qt::AlignVCenter,
            QStringLiteral("%1：______________").arg(signers[i]));
    painter.restore();
}

fleet::ShownList receiptSheet(const Receipt& receipt)
{
    fleet::ShownList sheet;
    sheet.drawing = [receipt](QPainter& painter, const QRectF& area) { paintReceipt(painter, area, receipt); };
    return sheet;
}

void showReceipt(const Receipt& receipt, const Settings& office, ui::Dialogs& dialogs, QWidget* parent,
    printing::DialogRunner run, std::shared_ptr<QSettings> settings)
{
    if (!settings)
        settings = std::make_shared<QSettings>(QSettings::UserScope, QStringLiteral("fleetdesk"), QStringLiteral("fleetdesk"));
    printing::PrintPreview preview(receiptSheet(receipt), dialogs, run, settings, parent);
    preview.setObjectName(QStringLiteral("receiptPreview"));
    preview.setWindowTitle(QStringLiteral("收据 %1").arg(receipt.number));
    preview.setPdfName(QStringLiteral("收据%1.pdf").arg(receipt.number));
    auto usePaper = [&preview](ReceiptPaper paper) {
        preview.printer().setPageLayout(receiptPageLayout(paper));
        preview.printer().setFullPage(true);
        preview.relayout();
    };
    usePaper(receiptPaper(*settings, office));
    preview.addCommand(QStringLiteral("页面设置"), [&preview, &run, settings, usePaper] {
        QDialog choose(&preview);
        choose.setObjectName(QStringLiteral("receiptPageSetup"));
        choose.setWindowTitle(QStringLiteral("页面设置"));
        auto* a5 = new QRadioButton(QStringLiteral("A5 横向"), &choose);
        a5->setObjectName(QStringLiteral("单选框_A5横向"));
        auto* form = new QRadioButton(QStringLiteral("241 mm 连续纸（241 × 140 mm）"), &choose);
        form->setObjectName(QStringLiteral("单选框_241连续纸"));
        const bool onA5 = preview.printer().pageLayout().pageSize().id() == QPageSize::A5;
        (onA5 ? a5 : form)->setChecked(true);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &choose);
        buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
        buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
        QObject::connect(buttons, &QDialogButtonBox::accepted, &choose, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &choose, &QDialog::reject);
        auto* layout = new QVBoxLayout(&choose);
        layout->addWidget(a5);
        layout->addWidget(form);
        layout->addWidget(buttons);
        if (run(choose) != QDialog::Accepted)
            return;
        const ReceiptPaper paper = form->isChecked() ? ReceiptPaper::Form241 : ReceiptPaper::A5;
        rememberReceiptPaper(*settings, paper);
        usePaper(paper);
    });
    run(preview);
}

void showTakings(const Takings& takings, const QString& company, ui::Dialogs& dialogs, QWidget* parent,
    printing::DialogRunner run)
{
    fleet::ShownList sheet;
    sheet.drawing = [takings, company](QPainter& painter, const QRectF& area) {
        paintTakings(painter, area, takings, company);
    };
    printing::PrintPreview preview(sheet, dialogs, run, nullptr, parent);
    preview.setObjectName(QStringLiteral("takingsPreview"));
    preview.setWindowTitle(QStringLiteral("日结"));
    preview.setPdfName(QStringLiteral("日结%1.pdf").arg(takings.from.toString(QStringLiteral("yyyyMMdd"))));
    preview.printer().setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    preview.relayout();
    run(preview);
}

} // namespace fd::fees
