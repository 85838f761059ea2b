#pragma once

#include "fees/Payment.h"
#include "fees/Receipt.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::fees {

// 收费登记: one payment of one vehicle. It shows the vehicle (plate, owner, phone) and, for the
// chosen fee kind, what is due, paid and owed in the open period (a stored text the program
// cannot read is shown as such, marked, and counted as nothing); the clerk enters the amount (to
// the fen, with its capitals shown as typed), the method, the payer (the owner unless changed), a
// remark, a new amount due when one is to open a new period, and for the management fee the
// months, with the new 管理费到期日期 and whence it counts said before 确定.
//
// 确定 takes the payment on the database lane with a session of that thread, so the window stays
// responsive; once taken the receipt's preview opens (through the opener, which a test replaces)
// and the window closes. Another office's change of the fee meanwhile writes nothing: the window
// says so and shows what is stored now.
class PaymentWindow : public QDialog {
    Q_OBJECT
public:
    PaymentWindow(AppState& state, ui::Dialogs& dialogs, qint64 vehicleId, QWidget* parent = nullptr);
    ~PaymentWindow() override;

    using ReceiptOpener = std::function<void(const Receipt&)>;
    void setReceiptOpener(ReceiptOpener opener) { m_receiptOpener = std::move(opener); }

    // Reads the vehicle and the open period of the chosen fee kind again.
    void reload();
    // The request the controls make (its read part from the last reload).
    PaymentRequest currentRequest() const;
    // 确定.
    void confirm();
    bool running() const { return m_running; }
    // The payment taken, once 确定 succeeded.
    const PaymentResult& result() const { return m_result; }

Q_SIGNALS:
    // A payment ended: taken or not.
    void paymentEnded(bool taken);

private:
    void buildControls();
    void updateKind();
    void updateAmount();
    void updateExpiry();
    void finished(const PaymentResult& result, const std::optional<Receipt>& receipt);

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    const qint64 m_vehicleId;
    VehicleFees m_read;
    bool m_loaded = false;
    bool m_running = false;
    PaymentResult m_result;
    ReceiptOpener m_receiptOpener;

    QLabel* m_vehicle = nullptr;
    QComboBox* m_kind = nullptr;
    QLineEdit* m_otherName = nullptr;
    QLabel* m_period = nullptr;
    QLineEdit* m_newDue = nullptr;
    QLineEdit* m_amount = nullptr;
    QLabel* m_capitals = nullptr;
    QComboBox* m_method = nullptr;
    QLineEdit* m_payer = nullptr;
    QSpinBox* m_months = nullptr;
    QLabel* m_expiry = nullptr;
    QLineEdit* m_remark = nullptr;
    QPushButton* m_ok = nullptr;
};

} // namespace fd::fees
