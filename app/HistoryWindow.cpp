#include "app/HistoryWindow.h"

#include "app/HistoryModel.h"
#include "common/AppState.h"
#include "db/ThreadSession.h"
#include "ui/ScreenFit.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

namespace fd::app {
namespace {

const QString kReading = QStringLiteral("正在读取修改记录……");
const QString kReadFailed = QStringLiteral("读取修改记录失败！");
const QString kNone = QStringLiteral("此车辆还没有修改记录。");
const QString kCount = QStringLiteral("共 %1 条修改记录，最新的在最上面。");

// Column widths: the time whole, the values the room that is left.
constexpr int kWidths[] = {140, 70, 110, 44, 130, 170};

struct HistoryRead {
    bool ok = false;
    QString error;
    std::vector<vehicles::HistoryEntry> entries;
};

} // namespace

HistoryWindow::HistoryWindow(AppState& state, const QString& vehicleId, const QString& plate, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("historyWindow"));
    setWindowTitle(plate.isEmpty() ? QStringLiteral("修改记录") : QStringLiteral("修改记录 - ") + plate);

    m_status = new QLabel(kReading, this);
    m_status->setObjectName(QStringLiteral("标签_修改记录"));
    m_status->setWordWrap(true);

    m_model = new HistoryModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("表格_修改记录"));
    m_table->setModel(m_model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setWordWrap(false);
    m_table->setAlternatingRowColors(true);
    // Fixed heights and widths: nothing measures a thousand rows.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->hide();
    QHeaderView* header = m_table->horizontalHeader();
    for (int c = 0; c < static_cast<int>(std::size(kWidths)); ++c)
        header->resizeSection(c, kWidths[c]);
    header->setStretchLastSection(true);

    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("按钮_关闭"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    // Within the screen less its taskbar and the window's frame.
    QSize size(1000, 560);
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(ui::kFrameWidth, ui::kFrameHeight));
    resize(size);

    // Read on a session of the database lane's own, opened with the login's options.
    if (!state.dbConnection) {
        showHistory(false, QStringLiteral("没有连接数据库"), {});
        return;
    }
    const db::Connection::Options options = state.dbConnection->options();
    m_read = startJob(
        JobLane::database(), this,
        [options, vehicleId](JobControl&) {
            HistoryRead read;
            const db::ConnectionPtr session = db::threadSession(options, &read.error);
            if (!session)
                return read;
            auto entries = vehicles::readHistory(session, vehicleId, &read.error);
            read.ok = entries.has_value();
            if (entries)
                read.entries = std::move(*entries);
            return read;
        },
        [this](HistoryRead read) { showHistory(read.ok, read.error, std::move(read.entries)); });
}

HistoryWindow::~HistoryWindow()
{
    m_read.cancel();
}

void HistoryWindow::showHistory(bool ok, const QString& error, std::vector<vehicles::HistoryEntry> entries)
{
    m_readDone = true;
    m_readFailed = !ok;
    if (!ok) {
        m_status->setText(error.isEmpty() ? kReadFailed : kReadFailed + QLatin1Char('\n') + error);
        m_status->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0);"));
    } else {
        m_status->setText(entries.empty() ? kNone : kCount.arg(static_cast<qulonglong>(entries.size())));
        m_model->setEntries(std::move(entries));
    }
    Q_EMIT historyShown();
}

} // namespace fd::app
