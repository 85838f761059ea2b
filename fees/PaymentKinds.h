#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The kinds of fee a vehicle pays, the vehicle columns each one keeps, the ways of paying, and the
// texts the ledger writes for the kinds of its rows.
namespace fd::fees {

enum class FeeKind { Inspection, Insurance, Operating, Management, Other };

// The ledger's row kinds (leixing).
inline const QString kPaymentRow = QStringLiteral("收费");
inline const QString kDueRow = QStringLiteral("应缴");
inline const QString kVoidRow = QStringLiteral("作废");

// The operation of the history rows a payment (and a void) writes.
inline const QString kPaymentAction = QStringLiteral("收费");
inline const QString kVoidAction = QStringLiteral("作废");

// The vehicle columns of a fee kind: amount due, paid, owed (texts "1200.00"), the date of the
// last payment and its clerk. 其他 has none.
struct FeeColumns {
    QString due;
    QString paid;
    QString owed;
    QString date;
    QString clerk;
};

// 管理费到期日期, which a management fee's months move forward.
inline const QString kManagementExpiry = QStringLiteral("guanlifeiyouxiaoqi");

const QList<FeeKind>& feeKinds();
// 审车费, 保险费, 营运费, 管理费, 其他: the ledger's feiyong.
QString feeName(FeeKind kind);
std::optional<FeeKind> feeKindNamed(const QString& name);
// Empty for 其他.
std::optional<FeeColumns> feeColumns(FeeKind kind);

// 现金, 银行转账, 微信, 支付宝, 其他.
const QStringList& paymentMethods();

} // namespace fd::fees
