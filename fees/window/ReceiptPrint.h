#pragma once

#include "fees/Receipt.h"
#include "fees/Takings.h"
#include "printing/PrintPreview.h"

#include <QPageLayout>
#include <QRectF>
#include <memory>

class QPainter;
class QSettings;

namespace fd {
namespace ui {
class Dialogs;
}
}

// The receipt and the day's takings on paper: drawn in tenths of a millimetre and shown in the
// program's print preview, which prints them and writes them as PDF. The receipt's page is A5
// landscape or the 241 mm continuous form (241 × 140 mm), chosen in the preview's 页面设置 and
// remembered for the user; the office's setting receiptPage is the first choice.
namespace fd::fees {

enum class ReceiptPaper { A5, Form241 };

QPageLayout receiptPageLayout(ReceiptPaper paper);
// The user's remembered choice, else the office's setting.
ReceiptPaper receiptPaper(QSettings& remembered, const Settings& settings);
void rememberReceiptPaper(QSettings& remembered, ReceiptPaper paper);

// Paints the receipt into the area (tenths of a millimetre); it needs nothing but its copy.
void paintReceipt(QPainter& painter, const QRectF& area, const Receipt& receipt);
// The takings with the lines to sign for 交款人, 收款人 and 复核人.
void paintTakings(QPainter& painter, const QRectF& area, const Takings& takings, const QString& company);

// The receipt as a page of the print preview.
fleet::ShownList receiptSheet(const Receipt& receipt);

// Opens the receipt's preview modally over the parent, on the remembered page, with 页面设置.
// settings: where the choice is remembered (the user's settings when none).
void showReceipt(const Receipt& receipt, const Settings& office, ui::Dialogs& dialogs, QWidget* parent,
    printing::DialogRunner run = printing::execDialog, std::shared_ptr<QSettings> settings = nullptr);

// The takings' preview, modally over the parent.
void showTakings(const Takings& takings, const QString& company, ui::Dialogs& dialogs, QWidget* parent,
    printing::DialogRunner run = printing::execDialog);

} // namespace fd::fees
