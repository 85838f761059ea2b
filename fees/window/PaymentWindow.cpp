#include "fees/window/PaymentWindow.h"

#include "common/AppState.h"
#include "common/Jobs.h"
#include "db/ThreadSession.h"
#include "fees/window/ReceiptPrint.h"
#include "ui/Dialogs.h"
#include "ui/RoleGuard.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSysInfo>
#include <QVBoxLayout>

namespace fd::fees {
namespace {

// An amount typed by the clerk: read by the program's money reader; empty when it is none.
std::optional<qint64> typedAmount(const QString& text)
{
    const money::Amount a = money::readAmount(text);
    return a.read() ? std::optional<qint64>(a.fen) : std::nullopt;
}

QString figureHtml(const Figure& f)
{
    return f.readable ? f.shown() : QStringLiteral("<span style='color:#c00000'>%1</span>").arg(f.shown().toHtmlEscaped());
}

} // namespace

PaymentWindow::PaymentWindow(AppState& state, ui::Dialogs& dialogs, qint64 vehicleId, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_vehicleId(vehicleId)
{
    setObjectName(QStringLiteral("paymentWindow"));
    setWindowTitle(QStringLiteral("收费登记"));
    setWindowModality(Qt::ApplicationModal);
    buildControls();
    m_receiptOpener = [this](const Receipt& receipt) { showReceipt(receipt, m_state.settings, m_dialogs, this); };
    reload();
}

PaymentWindow::~PaymentWindow() = default;

void PaymentWindow::buildControls()
{
    auto* form = new QFormLayout;
    m_vehicle = new QLabel(this);
    m_vehicle->setObjectName(QStringLiteral("标签_车辆"));
    form->addRow(QStringLiteral("车辆"), m_vehicle);

    auto* kindRow = new QHBoxLayout;
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("组合框_费用"));
    for (FeeKind kind : feeKinds())
        m_kind->addItem(feeName(kind), static_cast<int>(kind));
    m_kind->setCurrentIndex(static_cast<int>(FeeKind::Management));
    m_otherName = new QLineEdit(this);
    m_otherName->setObjectName(QStringLiteral("编辑框_费用名称"));
    m_otherName->setPlaceholderText(QStringLiteral("其他费用的名称"));
    kindRow->addWidget(m_kind);
    kindRow->addWidget(m_otherName, 1);
    form->addRow(QStringLiteral("费用"), kindRow);

    m_period = new QLabel(this);
    m_period->setObjectName(QStringLiteral("标签_本期"));
    m_period->setTextFormat(Qt::RichText);
    form->addRow(QStringLiteral("本期"), m_period);
    m_newDue = new QLineEdit(this);
    m_newDue->setObjectName(QStringLiteral("编辑框_本期应缴"));
    m_newDue->setPlaceholderText(QStringLiteral("填写则开始新的一期"));
    form->addRow(QStringLiteral("本期应缴"), m_newDue);
    m_amount = new QLineEdit(this);
    m_amount->setObjectName(QStringLiteral("编辑框_收款金额"));
    form->addRow(QStringLiteral("收款金额"), m_amount);
    m_capitals = new QLabel(this);
    m_capitals->setObjectName(QStringLiteral("标签_大写金额"));
    form->addRow(QStringLiteral("大写金额"), m_capitals);
    m_method = new QComboBox(this);
    m_method->setObjectName(QStringLiteral("组合框_收款方式"));
    m_method->addItems(paymentMethods());
    form->addRow(QStringLiteral("收款方式"), m_method);
    m_payer = new QLineEdit(this);
    m_payer->setObjectName(QStringLiteral("编辑框_交款人"));
    form->addRow(QStringLiteral("交款人"), m_payer);
    m_months = new QSpinBox(this);
    m_months->setObjectName(QStringLiteral("数值框_缴费月数"));
    m_months->setRange(0, 120);
    m_months->setSuffix(QStringLiteral(" 个月"));
    form->addRow(QStringLiteral("缴费月数"), m_months);
    m_expiry = new QLabel(this);
    m_expiry->setObjectName(QStringLiteral("标签_到期日期"));
    m_expiry->setWordWrap(true);
    form->addRow(QStringLiteral("管理费到期"), m_expiry);
    m_remark = new QLineEdit(this);
    m_remark->setObjectName(QStringLiteral("编辑框_备注"));
    form->addRow(QStringLiteral("备注"), m_remark);

    m_ok = new QPushButton(QStringLiteral("确定"), this);
    m_ok->setObjectName(QStringLiteral("按钮_确定"));
    ui::guardControl(m_ok, m_state, Permission::TakeFees);
    m_ok->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setObjectName(QStringLiteral("按钮_取消"));
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    resize(520, 440);

    connect(m_kind, &QComboBox::currentIndexChanged, this, [this] { reload(); });
    connect(m_otherName, &QLineEdit::editingFinished, this, [this] {
        if (m_kind->currentData().toInt() == static_cast<int>(FeeKind::Other))
            reload();
    });
    connect(m_amount, &QLineEdit::textChanged, this, [this] { updateAmount(); });
    connect(m_months, &QSpinBox::valueChanged, this, [this] { updateExpiry(); });
    connect(m_ok, &QPushButton::clicked, this, &PaymentWindow::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void PaymentWindow::reload()
{
    const FeeKind kind = static_cast<FeeKind>(m_kind->currentData().toInt());
    m_loaded = false;
    if (!m_state.dbConnection) {
        m_vehicle->setText(QStringLiteral("没有连接数据库"));
        updateKind();
        return;
    }
    QString error;
    const std::optional<VehicleFees> fees = readVehicleFees(
        *m_state.dbConnection, m_vehicleId, kind, kind == FeeKind::Other ? m_otherName->text().trimmed() : QString(), &error);
    if (!fees || !fees->found) {
        m_vehicle->setText(fees ? QStringLiteral("没有此车辆（可能已被删除）") : QStringLiteral("读取车辆失败：") + error);
        updateKind();
        return;
    }
    m_read = *fees;
    m_loaded = true;
    m_vehicle->setText(QStringLiteral("%1    %2    %3").arg(m_read.plate, m_read.owner, m_read.phone));
    if (m_payer->text().isEmpty())
        m_payer->setText(m_read.owner);
    const FeeStatus& s = m_read.status;
    m_period->setText(QStringLiteral("第%1期　应缴 %2　已缴 %3　还欠 %4")
                          .arg(s.period)
                          .arg(figureHtml(s.due), figureHtml(s.paid), figureHtml(s.owed()))
        + (s.dueFromVehicle ? QStringLiteral("（车辆资料中的新应缴，确定后开始此期）") : QString()));
    updateKind();
}

void PaymentWindow::updateKind()
{
    const FeeKind kind = static_cast<FeeKind>(m_kind->currentData().toInt());
    m_otherName->setEnabled(kind == FeeKind::Other);
    m_months->setEnabled(kind == FeeKind::Management);
    if (kind != FeeKind::Management)
        m_months->setValue(0);
    m_ok->setEnabled(m_loaded && !m_running && permits(m_state.loginRole, Permission::TakeFees));
    updateAmount();
    updateExpiry();
}

void PaymentWindow::updateAmount()
{
    const std::optional<qint64> fen = typedAmount(m_amount->text());
    m_capitals->setText(fen ? money::capitals(*fen)
                            : (m_amount->text().trimmed().isEmpty() ? QString() : QStringLiteral("金额无法识别")));
}

void PaymentWindow::updateExpiry()
{
    const bool management = static_cast<FeeKind>(m_kind->currentData().toInt()) == FeeKind::Management;
    if (!management || !m_loaded) {
        m_expiry->clear();
        return;
    }
    const QDate today = m_read.serverTime.isValid() ? m_read.serverTime.date() : QDate::currentDate();
    if (m_months->value() == 0) {
        m_expiry->setText(m_read.expiry().isValid() ? QStringLiteral("现为 %1，不变").arg(m_read.expiry().toString(Qt::ISODate))
                                                    : QStringLiteral("现为空，不变"));
        return;
    }
    m_expiry->setText(expiryNote(moveExpiry(m_read.expiry(), today, m_months->value())));
}

PaymentRequest PaymentWindow::currentRequest() const
{
    PaymentRequest p;
    p.vehicleId = m_vehicleId;
    p.kind = static_cast<FeeKind>(m_kind->currentData().toInt());
    p.otherName = p.kind == FeeKind::Other ? m_otherName->text().trimmed() : QString();
    p.amountFen = typedAmount(m_amount->text()).value_or(0);
    p.method = m_method->currentText();
    p.payer = m_payer->text().trimmed();
    p.remark = m_remark->text().trimmed();
    p.months = p.kind == FeeKind::Management ? m_months->value() : 0;
    if (!m_newDue->text().trimmed().isEmpty())
        p.newDueFen = typedAmount(m_newDue->text()).value_or(-1);
    p.read = m_read;
    p.receiptPrefix = m_state.settings.receiptPrefix.trimmed().isEmpty() ? QStringLiteral("A")
                                                                          : m_state.settings.receiptPrefix.trimmed();
    p.clerk = m_state.loginUser;
    p.machine = QSysInfo::machineHostName();
    return p;
}

void PaymentWindow::confirm()
{
    if (!ui::allowedOrRefused(m_state, Permission::TakeFees, m_dialogs) || m_running || !m_loaded || !m_state.dbConnection)
        return;
    if (static_cast<FeeKind>(m_kind->currentData().toInt()) == FeeKind::Other
        && m_otherName->text().trimmed() != m_read.otherName)
        reload(); // the period shown belongs to the name typed
    const PaymentRequest request = currentRequest();
    if (const QString refused = checkRequest(request); !refused.isEmpty()) {
        m_dialogs.message(refused);
        return;
    }
    m_running = true;
    m_ok->setEnabled(false);
    struct Outcome {
        PaymentResult result;
        std::optional<Receipt> receipt;
    };
    startJob(
        JobLane::database(), this,
        [request, options = m_state.dbConnection->options(), settings = m_state.settings](JobControl&) {
            Outcome out;
            QString error;
            const db::ConnectionPtr session = db::threadSession(options, &error);
            if (!session) {
                out.result.error = QStringLiteral("无法连接数据库，没有收费");
                out.result.details = error;
                return out;
            }
            out.result = takePayment(*session, request);
            if (out.result.outcome == PaymentResult::Taken) {
                out.receipt = readReceipt(*session, out.result.ledgerId);
                if (out.receipt)
                    out.receipt->company = companyName(*session, settings);
            }
            return out;
        },
        [this](Outcome out) { finished(out.result, out.receipt); });
}

void PaymentWindow::finished(const PaymentResult& result, const std::optional<Receipt>& receipt)
{
    m_running = false;
    m_result = result;
    m_ok->setEnabled(m_loaded && permits(m_state.loginRole, Permission::TakeFees));
    switch (result.outcome) {
    case PaymentResult::Taken:
        Q_EMIT paymentEnded(true);
        if (receipt && m_receiptOpener)
            m_receiptOpener(*receipt);
        accept();
        return;
    case PaymentResult::Conflict:
    case PaymentResult::NoVehicle:
        m_dialogs.message(result.error);
        reload();
        break;
    case PaymentResult::Refused:
        m_dialogs.message(result.error);
        break;
    case PaymentResult::Failed:
        m_dialogs.detailedMessage(QStringLiteral("收费没有完成，没有写入任何数据。\n%1").arg(result.error), result.details);
        break;
    }
    Q_EMIT paymentEnded(false);
}

} // namespace fd::fees
