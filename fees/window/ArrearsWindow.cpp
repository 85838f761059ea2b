#include "fees/window/ArrearsWindow.h"

#include "common/AppState.h"
#include "common/Money.h"
#include "db/ThreadSession.h"
#include "fees/TableXlsx.h"
#include "fees/window/ArrearsModel.h"
#include "fees/window/FeesWindowParts.h"
#include "ui/Dialogs.h"

#include <array>

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace fd::fees {
namespace {

    struct ArrearsRead {
        std::shared_ptr<Arrears> arrears = std::make_shared<Arrears>();
        bool ok = false;
        QString error;
    };

    constexpr int kWidths[] = { 80, 80, 70, 95, 60, 95, 95, 95, 95, 95, 100 };

} // namespace

ArrearsWindow::ArrearsWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_state(state)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("欠费车辆"));
    setWindowTitle(QStringLiteral("欠费车辆"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("组合框_费用种类"));
    m_kind->addItem(QStringLiteral("全部"), -1);
    for (int k = 0; k < kArrearsKinds; ++k)
        m_kind->addItem(arrearsKindName(k), k);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &ArrearsWindow::applyFilter);
    m_plate = new QLineEdit(this);
    m_plate->setObjectName(QStringLiteral("编辑框_车牌号"));
    m_plate->setPlaceholderText(QStringLiteral("车牌号"));
    m_plate->setClearButtonEnabled(true);
    connect(m_plate, &QLineEdit::textChanged, this, &ArrearsWindow::applyFilter);
    m_refresh = makeButton(this, QStringLiteral("按钮_刷新"), QStringLiteral("刷新"));
    connect(m_refresh, &QPushButton::clicked, this, &ArrearsWindow::refresh);
    auto* pay = makeButton(this, QStringLiteral("按钮_收费"), QStringLiteral("收费"));
    connect(pay, &QPushButton::clicked, this, &ArrearsWindow::askPayment);
    auto* xlsx = makeButton(this, QStringLiteral("按钮_导出Excel"), QStringLiteral("导出Excel"));
    connect(xlsx, &QPushButton::clicked, this, &ArrearsWindow::exportXlsx);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("标签_状态"));

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("费用种类"), this));
    row->addWidget(m_kind);
    row->addWidget(m_plate);
    row->addWidget(m_refresh);
    row->addWidget(pay);
    row->addWidget(xlsx);
    row->addWidget(m_status, 1);

    m_model = new ArrearsModel(this);
    m_table = makeTable(this, QStringLiteral("表格_欠费车辆"), m_model, kWidths);
    m_table->setToolTip(QStringLiteral("双击一行，为这辆车收费"));
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        const ArrearsRow* r = m_model->shownRow(index.row());
        if (!r)
            return;
        const int c = index.column() - ArrearsModel::kFirstKindColumn;
        Q_EMIT paymentRequested(r->id, c >= 0 && c < kArrearsKinds ? c : -1);
    });

    m_totals = new QLabel(this);
    m_totals->setObjectName(QStringLiteral("标签_欠费合计"));
    m_totals->setWordWrap(true);
    m_unreadable = new QLabel(this);
    m_unreadable->setObjectName(QStringLiteral("标签_无法识别"));
    m_unreadable->setStyleSheet(QStringLiteral("color: #c00000"));
    m_unreadable->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_totals);
    layout->addWidget(m_unreadable);
    resize(fitToScreen(this, QSize(1100, 640)));
    refresh();
}

ArrearsWindow::~ArrearsWindow()
{
    m_read.cancel();
    m_export.cancel();
}

void ArrearsWindow::refresh()
{
    m_read.cancel();
    if (!m_state.dbConnection) {
        m_status->setText(QStringLiteral("没有连接数据库"));
        ++m_readsEnded;
        Q_EMIT refreshed();
        return;
    }
    m_status->setText(QStringLiteral("正在统计欠费…"));
    m_refresh->setEnabled(false);
    m_read = startJob(
        JobLane::database(), this,
        [options = m_state.dbConnection->options()](JobControl& control) {
            ArrearsRead read;
            db::ConnectionPtr session = db::threadSession(options, &read.error);
            if (session)
                read.ok = readArrears(*session, *read.arrears, &read.error, &control.cancelFlag());
            return read;
        },
        [this](ArrearsRead read) {
            m_refresh->setEnabled(true);
            if (!read.ok) {
                m_status->setText(QStringLiteral("统计失败：") + read.error);
            } else {
                m_model->setArrears(std::move(read.arrears));
                showTotals();
            }
            ++m_readsEnded;
            Q_EMIT refreshed();
        });
}

void ArrearsWindow::setKind(int kind)
{
    const int index = m_kind->findData(kind);
    m_kind->setCurrentIndex(index < 0 ? 0 : index);
}

void ArrearsWindow::applyFilter()
{
    m_model->setFilter(m_kind->currentData().toInt(), m_plate->text());
    if (m_model->arrears())
        m_status->setText(QStringLiteral("列出 %1 辆").arg(m_model->rowCount()));
}

void ArrearsWindow::showTotals()
{
    const Arrears& a = *m_model->arrears();
    QStringList parts;
    for (int k = 0; k < kArrearsKinds; ++k)
        if (a.vehicles[k] > 0)
            parts << QStringLiteral("%1 %2 元（%3 辆）")
                         .arg(arrearsKindName(k), money::formatFen(a.fen[k]))
                         .arg(a.vehicles[k]);
    m_totals->setText(QStringLiteral("共 %1 辆车欠费。%2%3合计 %4 元。")
                          .arg(a.rows.size())
                          .arg(parts.join(QStringLiteral("；")), parts.isEmpty() ? QString() : QStringLiteral("。"),
                              money::formatFen(a.totalFen())));
    const qint64 n = a.unreadableCount();
    m_unreadable->setText(n > 0
            ? QStringLiteral("无法识别的金额 %1 条（标红），未计入合计；在 收费管理 → 收费数据检查 中列出。").arg(n)
            : QString());
    m_unreadable->setVisible(n > 0);
    m_status->setText(QStringLiteral("列出 %1 辆").arg(m_model->rowCount()));
}

void ArrearsWindow::askPayment()
{
    const QModelIndex current = m_table->currentIndex();
    const ArrearsRow* r = current.isValid() ? m_model->shownRow(current.row()) : nullptr;
    if (!r) {
        m_dialogs.message(QStringLiteral("请先选择一辆车。"));
        return;
    }
    Q_EMIT paymentRequested(r->id, m_kind->currentData().toInt());
}

void ArrearsWindow::exportXlsx()
{
    if (!m_model->arrears()) {
        m_dialogs.message(QStringLiteral("欠费车辆还在统计中，请稍候再导出。"));
        return;
    }
    if (m_export.running())
        return;
    const QString path = m_dialogs.saveFileName(
        QStringLiteral("导出Excel"), QStringLiteral("欠费车辆.xlsx"), QStringLiteral("Excel 文件 (*.xlsx)"));
    if (path.isEmpty())
        return;
    m_status->setText(QStringLiteral("正在导出…"));
    const QString title = m_state.appTitle + QStringLiteral("  欠费车辆  ") + m_kind->currentText();
    // The rows are shared with the window; the workbook is made from them on the files lane.
    m_export = startJob(
        JobLane::files(), this,
        [arrears = m_model->sharedArrears(), shown = m_model->shownIndexes(), title, path](JobControl&) {
            XlsxTable table;
            table.title = title;
            table.headers = ArrearsModel::headers();
            table.widths = { 12, 12, 10, 14, 8, 14, 14, 14, 14, 14, 14 };
            for (int c = ArrearsModel::kFirstKindColumn; c <= ArrearsModel::kTotalColumn; ++c)
                table.rightAligned << c;
            table.rows.reserve(shown.size() + 1);
            // The totals of the rows written, which a narrowed list makes smaller than the whole.
            std::array<qint64, kArrearsKinds + 1> sums {};
            for (int i : shown) {
                const ArrearsRow& r = arrears->rows[static_cast<std::size_t>(i)];
                for (int k = 0; k < kArrearsKinds; ++k)
                    if (r.owed[k].state == Owed::Amount && r.owed[k].fen > 0)
                        sums[k] += r.owed[k].fen;
                sums[kArrearsKinds] += r.totalFen();
                XlsxTable::Row row;
                for (int c = 0; c <= ArrearsModel::kTotalColumn; ++c)
                    row.cells << ArrearsModel::cellText(r, c);
                row.red = r.unreadable();
                table.rows.push_back(std::move(row));
            }
            XlsxTable::Row total;
            total.bold = true;
            total.cells << QStringLiteral("合计") << QString() << QString() << QString() << QString();
            for (qint64 sum : sums)
                total.cells << money::formatFen(sum);
            table.rows.push_back(std::move(total));
            QString error;
            saveTableXlsx(table, path, &error);
            return error;
        },
        [this, path](QString error) {
            m_status->setText(error.isEmpty() ? QStringLiteral("已导出到 %1").arg(path) : QString());
            if (!error.isEmpty())
                m_dialogs.message(error);
            Q_EMIT exported(error.isEmpty());
        });
}

} // namespace fd::fees
