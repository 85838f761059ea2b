#include "fees/window/QueryWindow.h"

#include "common/AppState.h"
#include "common/Money.h"
#include "db/ThreadSession.h"
#include "fees/PaymentKinds.h"
#include "fees/Receipt.h"
#include "fees/Void.h"
#include "fees/window/ReceiptPrint.h"
#include "ui/Dialogs.h"
#include "ui/RoleGuard.h"

#include <QColor>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTableView>
#include <iterator>
#include <QVBoxLayout>

namespace fd::fees {

void PaymentModel::setList(PaymentList list)
{
    beginResetModel();
    m_list = std::move(list);
    endResetModel();
}

int PaymentModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_list.rows.size());
}

int PaymentModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(paymentHeaders().size());
}

QVariant PaymentModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const PaymentRow& row = m_list.rows[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return paymentCells(row).value(index.column());
    if (role == Qt::ForegroundRole && row.voided)
        return QColor(128, 128, 128);
    if (role == Qt::TextAlignmentRole && index.column() == 6)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant PaymentModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return paymentHeaders().value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QueryWindow::QueryWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("queryWindow"));
    setWindowTitle(QStringLiteral("收费查询"));
    m_receiptOpener = [this](const Receipt& receipt) { showReceipt(receipt, m_state.settings, m_dialogs, this); };

    const QDate today = QDate::currentDate();
    m_from = new QDateEdit(today.addDays(1 - today.day()), this);
    m_from->setObjectName(QStringLiteral("日期框_起始日期"));
    m_to = new QDateEdit(today, this);
    m_to->setObjectName(QStringLiteral("日期框_截止日期"));
    for (QDateEdit* d : {m_from, m_to}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    m_clerk = new QLineEdit(this);
    m_clerk->setObjectName(QStringLiteral("编辑框_经办人"));
    m_clerk->setPlaceholderText(QStringLiteral("全部"));
    m_fee = new QComboBox(this);
    m_fee->setObjectName(QStringLiteral("组合框_费用"));
    m_fee->addItem(QStringLiteral("全部"), QString());
    for (FeeKind kind : feeKinds())
        m_fee->addItem(feeName(kind), feeName(kind));
    m_method = new QComboBox(this);
    m_method->setObjectName(QStringLiteral("组合框_收款方式"));
    m_method->addItem(QStringLiteral("全部"), QString());
    for (const QString& method : paymentMethods())
        m_method->addItem(method, method);
    m_plate = new QLineEdit(this);
    m_plate->setObjectName(QStringLiteral("编辑框_车牌号"));
    auto* find = new QPushButton(QStringLiteral("查询"), this);
    find->setObjectName(QStringLiteral("按钮_查询"));

    auto* filters = new QHBoxLayout;
    const std::pair<const char16_t*, QWidget*> fields[] = {{u"从", m_from}, {u"到", m_to}, {u"经办人", m_clerk},
        {u"费用", m_fee}, {u"方式", m_method}, {u"车牌号", m_plate}};
    for (const auto& [label, widget] : fields) {
        filters->addWidget(new QLabel(QString::fromUtf16(label), this));
        filters->addWidget(widget);
    }
    filters->addWidget(find);

    m_model = new PaymentModel(this);
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("表格_收费"));
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    // Fixed widths that show a whole time and receipt number: nothing measures a month's rows.
    const int widths[] = {110, 118, 80, 70, 90, 30, 80, 70, 70, 70, 140};
    for (int c = 0; c < static_cast<int>(std::size(widths)); ++c)
        m_grid->horizontalHeader()->resizeSection(c, widths[c]);

    m_totals = new QLabel(this);
    m_totals->setObjectName(QStringLiteral("标签_合计"));
    auto* reprintButton = new QPushButton(QStringLiteral("补打"), this);
    reprintButton->setObjectName(QStringLiteral("按钮_补打"));
    auto* voidButton = new QPushButton(QStringLiteral("作废"), this);
    voidButton->setObjectName(QStringLiteral("按钮_作废"));
    ui::guardControl(voidButton, m_state, Permission::VoidOwnToday);
    auto* exportButton = new QPushButton(QStringLiteral("导出Excel"), this);
    exportButton->setObjectName(QStringLiteral("按钮_导出Excel"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_totals, 1);
    bottom->addWidget(reprintButton);
    bottom->addWidget(voidButton);
    bottom->addWidget(exportButton);
    for (QPushButton* b : {find, reprintButton, voidButton, exportButton})
        b->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_grid, 1);
    layout->addLayout(bottom);
    resize(1100, 600);

    connect(find, &QPushButton::clicked, this, &QueryWindow::search);
    connect(reprintButton, &QPushButton::clicked, this, &QueryWindow::reprint);
    connect(voidButton, &QPushButton::clicked, this, &QueryWindow::voidSelected);
    connect(exportButton, &QPushButton::clicked, this, &QueryWindow::exportXlsx);
}

QueryWindow::~QueryWindow()
{
    m_job.cancel();
}

PaymentFilter QueryWindow::filter() const
{
    PaymentFilter f;
    f.from = m_from->date();
    f.to = m_to->date();
    f.clerk = m_clerk->text().trimmed();
    f.fee = m_fee->currentData().toString();
    f.method = m_method->currentData().toString();
    f.plate = m_plate->text().trimmed();
    return f;
}

void QueryWindow::search()
{
    if (m_job.running() || !m_state.dbConnection)
        return;
    m_totals->setText(QStringLiteral("正在查询…"));
    struct Found {
        std::optional<PaymentList> list;
        QString error;
    };
    m_job = startJob(
        JobLane::database(), this,
        [f = filter(), options = m_state.dbConnection->options()](JobControl&) {
            Found found;
            const db::ConnectionPtr session = db::threadSession(options, &found.error);
            if (session)
                found.list = queryPayments(*session, f, &found.error);
            return found;
        },
        [this](Found found) {
            if (!found.list) {
                m_totals->clear();
                m_dialogs.detailedMessage(QStringLiteral("查询失败"), found.error);
            } else {
                const PaymentList& l = *found.list;
                m_totals->setText(QStringLiteral("共 %1 笔，%2 元；作废 %3 笔，%4 元；实收 %5 元")
                                      .arg(l.count)
                                      .arg(money::formatFen(l.totalFen))
                                      .arg(l.voidedCount)
                                      .arg(money::formatFen(l.voidedFen), money::formatFen(l.netFen())));
                m_model->setList(std::move(*found.list));
            }
            Q_EMIT jobEnded();
        });
}

const PaymentRow* QueryWindow::selectedRow() const
{
    const QModelIndex current = m_grid->currentIndex();
    if (!current.isValid() || current.row() >= m_model->rowCount())
        return nullptr;
    return &m_model->list().rows[static_cast<std::size_t>(current.row())];
}

void QueryWindow::reprint()
{
    const PaymentRow* row = selectedRow();
    if (!row) {
        m_dialogs.message(QStringLiteral("请先选择一张收据。"));
        return;
    }
    if (m_job.running() || !m_state.dbConnection)
        return;
    struct Printed {
        std::optional<Receipt> receipt;
        QString error;
    };
    m_job = startJob(
        JobLane::database(), this,
        [id = row->id, options = m_state.dbConnection->options(), settings = m_state.settings](JobControl&) {
            Printed p;
            const db::ConnectionPtr session = db::threadSession(options, &p.error);
            if (session) {
                p.receipt = printAgain(*session, id, &p.error);
                if (p.receipt)
                    p.receipt->company = companyName(*session, settings);
            }
            return p;
        },
        [this](Printed p) {
            Q_EMIT jobEnded();
            if (!p.receipt) {
                m_dialogs.detailedMessage(QStringLiteral("读取收据失败"), p.error);
                return;
            }
            if (m_receiptOpener)
                m_receiptOpener(*p.receipt);
        });
}

void QueryWindow::voidSelected()
{
    const PaymentRow* row = selectedRow();
    if (!row) {
        m_dialogs.message(QStringLiteral("请先选择一张收据。"));
        return;
    }
    if (row->voided) {
        m_dialogs.message(QStringLiteral("收据 %1 已作废。").arg(row->number));
        return;
    }
    if (m_job.running() || !m_state.dbConnection)
        return;
    // An administrator voids any receipt; a cashier their own of the day (the void checks both).
    const VoidScope scope = permits(m_state.loginRole, Permission::VoidAnyDay) ? VoidScope::Any : VoidScope::OwnToday;
    if (scope == VoidScope::OwnToday && !ui::allowedOrRefused(m_state, Permission::VoidOwnToday, m_dialogs))
        return;
    QString reason;
    if (!m_dialogs.inputText(QStringLiteral("作废收据 %1（%2 %3 元），请输入作废原因：")
                                 .arg(row->number, row->plate, money::formatFen(row->amountFen)),
            reason)
        || reason.trimmed().isEmpty())
        return;
    m_job = startJob(
        JobLane::database(), this,
        [id = row->id, reason, clerk = m_state.loginUser, scope, options = m_state.dbConnection->options()](
            JobControl&) {
            QString error;
            const db::ConnectionPtr session = db::threadSession(options, &error);
            if (!session) {
                VoidResult r;
                r.error = QStringLiteral("无法连接数据库");
                r.details = error;
                return r;
            }
            return voidPayment(*session, id, reason, clerk, QSysInfo::machineHostName(), scope);
        },
        [this](VoidResult r) {
            Q_EMIT jobEnded();
            if (r.outcome != VoidResult::Voided) {
                m_dialogs.detailedMessage(r.error, r.details);
                return;
            }
            m_dialogs.message(r.expiryTakenBack ? QStringLiteral("已作废，管理费到期日期已退回。") : QStringLiteral("已作废。"));
            search();
        });
}

void QueryWindow::exportXlsx()
{
    if (m_job.running())
        return;
    const QString path = m_dialogs.saveFileName(QStringLiteral("导出Excel"), QStringLiteral("收费查询.xlsx"),
        QStringLiteral("Excel 文件 (*.xlsx)"));
    if (path.isEmpty())
        return;
    const PaymentFilter f = filter();
    const QString title = QStringLiteral("收费查询 %1 至 %2").arg(f.from.toString(Qt::ISODate), f.to.toString(Qt::ISODate));
    m_job = startJob(
        JobLane::files(), this,
        [list = m_model->list(), title, path](JobControl&) {
            QString error;
            savePaymentsXlsx(list, title, path, &error);
            return error;
        },
        [this](QString error) {
            Q_EMIT jobEnded();
            if (!error.isEmpty())
                m_dialogs.message(error);
        });
}

} // namespace fd::fees
