#include "fees/window/MonthWindow.h"

#include "common/AppState.h"
#include "common/DateTime.h"
#include "common/Money.h"
#include "db/ThreadSession.h"
#include "fees/TableXlsx.h"
#include "fees/window/FeesWindowParts.h"
#include "fees/window/LinesModel.h"
#include "fees/window/ReportPrint.h"
#include "fleet/ShownList.h"
#include "printing/PrintPreview.h"
#include "ui/Dialogs.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace fd::fees {
namespace {

    struct TakingsRead {
        MonthTakings takings;
        bool ok = false;
        QString error;
    };

    constexpr int kWidths[] = { 110, 90, 70, 110, 70, 100, 110 };
    const QList<int> kRight { 2, 3, 4, 5, 6 };

    std::vector<LinesModel::Row> modelRows(const MonthTakings& t)
    {
        std::vector<LinesModel::Row> rows;
        for (const ReportLine& line : monthLines(t)) {
            LinesModel::Row r;
            r.cells = line.cells;
            r.bold = line.kind != ReportLine::Line;
            rows.push_back(std::move(r));
        }
        return rows;
    }

} // namespace

MonthWindow::MonthWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_state(state)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("月报"));
    setWindowTitle(QStringLiteral("月报"));
    m_month = new QDateEdit(this);
    m_month->setObjectName(QStringLiteral("日期框_月份"));
    m_month->setDisplayFormat(QStringLiteral("yyyy年M月"));
    int y = 0, m = 0, d = 0;
    datetime::dateOf(state.loginDateTime, y, m, d);
    const QDate today = QDate(y, m, d).isValid() ? QDate(y, m, d) : QDate::currentDate();
    m_month->setDate(monthFirst(today));
    connect(m_month, &QDateEdit::dateChanged, this, &MonthWindow::refresh);
    m_refresh = makeButton(this, QStringLiteral("按钮_刷新"), QStringLiteral("刷新"));
    connect(m_refresh, &QPushButton::clicked, this, &MonthWindow::refresh);
    auto* print = makeButton(this, QStringLiteral("按钮_打印"), QStringLiteral("打印"));
    connect(print, &QPushButton::clicked, this, &MonthWindow::print);
    auto* xlsx = makeButton(this, QStringLiteral("按钮_导出Excel"), QStringLiteral("导出Excel"));
    connect(xlsx, &QPushButton::clicked, this, &MonthWindow::exportXlsx);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("标签_状态"));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("月份"), this));
    row->addWidget(m_month);
    row->addWidget(m_refresh);
    row->addWidget(print);
    row->addWidget(xlsx);
    row->addWidget(m_status, 1);

    m_model = new LinesModel(monthHeaders(), kRight, this);
    m_table = makeTable(this, QStringLiteral("表格_月报"), m_model, kWidths);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_table, 1);
    resize(fitToScreen(this, QSize(760, 560)));
    refresh();
}

MonthWindow::~MonthWindow()
{
    m_read.cancel();
    m_export.cancel();
}

void MonthWindow::setMonth(const QDate& day)
{
    const QDate first = monthFirst(day);
    if (first == m_month->date())
        refresh();
    else
        m_month->setDate(first); // refreshes
}

QString MonthWindow::title() const
{
    const QDate first = monthFirst(m_month->date());
    return m_state.appTitle + QStringLiteral("  月报  %1年%2月").arg(first.year()).arg(first.month());
}

void MonthWindow::refresh()
{
    m_read.cancel();
    if (!m_state.dbConnection) {
        m_status->setText(QStringLiteral("没有连接数据库"));
        ++m_readsEnded;
        Q_EMIT refreshed();
        return;
    }
    const QDate first = monthFirst(m_month->date());
    m_status->setText(QStringLiteral("正在统计…"));
    m_refresh->setEnabled(false);
    m_read = startJob(
        JobLane::database(), this,
        [options = m_state.dbConnection->options(), first](JobControl&) {
            TakingsRead read;
            db::ConnectionPtr session = db::threadSession(options, &read.error);
            if (session)
                read.ok = readMonthTakings(*session, first, monthLast(first), read.takings, &read.error);
            return read;
        },
        [this](TakingsRead read) {
            m_refresh->setEnabled(true);
            if (!read.ok) {
                m_status->setText(QStringLiteral("统计失败：") + read.error);
            } else {
                m_model->setRows(modelRows(read.takings));
                const MonthLine& total = read.takings.total;
                m_status->setText(QStringLiteral("收费 %1 笔 %2 元；作废 %3 笔 %4 元；实收 %5 元")
                                      .arg(total.payments)
                                      .arg(money::formatFen(total.paidFen))
                                      .arg(total.voids)
                                      .arg(money::formatFen(total.voidedFen), money::formatFen(total.netFen())));
                m_takings = std::move(read.takings);
            }
            ++m_readsEnded;
            Q_EMIT refreshed();
        });
}

fleet::ShownList MonthWindow::printedPage() const
{
    fleet::ShownList page;
    page.title = title();
    if (!m_takings)
        return page;
    const MonthTakings t = *m_takings;
    const QString footer = QStringLiteral("打印日期：%1      制表人：%2      复核人：__________")
                               .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")), m_state.loginUser);
    page.drawing = [t, footer](QPainter& painter, const QRectF& area) {
        paintReport(painter, area, monthHeaders(), monthLines(t), { 3, 3, 2, 3, 2, 3, 3 }, kRight, footer);
    };
    return page;
}

void MonthWindow::print()
{
    if (!m_takings) {
        m_dialogs.message(QStringLiteral("月报还在统计中，请稍候再打印。"));
        return;
    }
    printing::printList(printedPage(), m_dialogs, window());
}

void MonthWindow::exportXlsx()
{
    if (!m_takings) {
        m_dialogs.message(QStringLiteral("月报还在统计中，请稍候再导出。"));
        return;
    }
    if (m_export.running())
        return;
    const QDate first = monthFirst(m_month->date());
    const QString path = m_dialogs.saveFileName(QStringLiteral("导出Excel"),
        QStringLiteral("月报%1.xlsx").arg(first.toString(QStringLiteral("yyyy-MM"))),
        QStringLiteral("Excel 文件 (*.xlsx)"));
    if (path.isEmpty())
        return;
    m_export = startJob(
        JobLane::files(), this,
        [t = *m_takings, title = title(), path](JobControl&) {
            XlsxTable table;
            table.title = title;
            table.headers = monthHeaders();
            table.widths = { 14, 12, 10, 14, 10, 14, 14 };
            table.rightAligned = kRight;
            table.numbers = { 2, 4 };
            for (const ReportLine& line : monthLines(t)) {
                XlsxTable::Row row;
                row.cells = line.cells;
                row.bold = line.kind != ReportLine::Line;
                table.rows.push_back(std::move(row));
            }
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
