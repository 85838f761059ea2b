#include "fees/window/DataCheckWindow.h"

#include "common/AppState.h"
#include "db/ThreadSession.h"
#include "fees/DataCheck.h"
#include "fees/window/FeesWindowParts.h"
#include "fees/window/LinesModel.h"
#include "ui/Dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

namespace fd::fees {
namespace {

    struct CheckRead {
        std::vector<UnreadableFee> fees;
        bool ok = false;
        QString error;
    };

    constexpr int kWidths[] = { 90, 90, 80, 70, 80, 200 };

} // namespace

DataCheckWindow::DataCheckWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_state(state)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("收费数据检查"));
    setWindowTitle(QStringLiteral("收费数据检查"));
    m_refresh = makeButton(this, QStringLiteral("按钮_刷新"), QStringLiteral("刷新"));
    connect(m_refresh, &QPushButton::clicked, this, &DataCheckWindow::refresh);
    auto* edit = makeButton(this, QStringLiteral("按钮_修改车辆"), QStringLiteral("修改车辆"));
    connect(edit, &QPushButton::clicked, this, &DataCheckWindow::editVehicle);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("标签_状态"));
    m_status->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addWidget(m_refresh);
    row->addWidget(edit);
    row->addWidget(m_status, 1);

    m_model
        = new LinesModel({ QStringLiteral("档案编号"), QStringLiteral("车牌号"), QStringLiteral("车主姓名"),
                             QStringLiteral("费用"), QStringLiteral("项目"), QStringLiteral("内容（无法识别为金额）") },
            {}, this);
    m_table = makeTable(this, QStringLiteral("表格_收费数据检查"), m_model, kWidths);
    m_table->setToolTip(QStringLiteral("双击一行，在车辆窗口中改正"));
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex&) { editVehicle(); });
    auto* note
        = new QLabel(QStringLiteral("这些费用文字无法识别为金额，不计入欠费合计。金额请写成 1200 或 1200.50。"), this);
    note->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_table, 1);
    layout->addWidget(note);
    resize(fitToScreen(this, QSize(760, 520)));
    refresh();
}

DataCheckWindow::~DataCheckWindow()
{
    m_read.cancel();
}

void DataCheckWindow::refresh()
{
    m_read.cancel();
    if (!m_state.dbConnection) {
        m_status->setText(QStringLiteral("没有连接数据库"));
        ++m_readsEnded;
        Q_EMIT refreshed();
        return;
    }
    m_status->setText(QStringLiteral("正在检查…"));
    m_refresh->setEnabled(false);
    m_read = startJob(
        JobLane::database(), this,
        [options = m_state.dbConnection->options()](JobControl& control) {
            CheckRead read;
            db::ConnectionPtr session = db::threadSession(options, &read.error);
            if (session)
                read.ok = readUnreadableFees(*session, read.fees, &read.error, &control.cancelFlag());
            return read;
        },
        [this](CheckRead read) {
            m_refresh->setEnabled(true);
            if (!read.ok) {
                m_status->setText(QStringLiteral("检查失败：") + read.error);
                ++m_readsEnded;
                Q_EMIT refreshed();
                return;
            }
            std::vector<LinesModel::Row> rows;
            rows.reserve(read.fees.size());
            QSet<qint64> vehicles;
            for (const UnreadableFee& f : read.fees) {
                LinesModel::Row r;
                r.cells = QStringList { f.fileNumber, f.plate, f.owner, f.fee, f.column, f.text };
                r.key = f.vehicleId;
                r.tip = QStringLiteral("%1的%2（%3）").arg(f.fee, f.column, f.field);
                rows.push_back(std::move(r));
                vehicles.insert(f.vehicleId);
            }
            m_model->setRows(std::move(rows));
            m_status->setText(read.fees.empty()
                    ? QStringLiteral("所有费用文字都能识别为金额。")
                    : QStringLiteral("%1 辆车的 %2 项费用无法识别为金额").arg(vehicles.size()).arg(read.fees.size()));
            ++m_readsEnded;
            Q_EMIT refreshed();
        });
}

void DataCheckWindow::editVehicle()
{
    const QModelIndex current = m_table->currentIndex();
    if (!current.isValid() || current.row() >= m_model->rowCount()) {
        m_dialogs.message(QStringLiteral("请先选择一行。"));
        return;
    }
    Q_EMIT vehicleRequested(m_model->rows()[static_cast<std::size_t>(current.row())].key);
}

} // namespace fd::fees
