#include "overview/OverviewPage.h"

#include "common/AppState.h"
#include "common/Money.h"
#include "db/ThreadSession.h"
#include "overview/OverviewExport.h"
#include "overview/OverviewPrint.h"
#include "overview/OverviewStatements.h"
#include "ui/Dialogs.h"
#include "printing/PrintPreview.h"
#include "fleet/ShownList.h"
#include "vehicles/VehicleColumns.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QPainter>
#include <QPushButton>
#include <QScatterSeries>
#include <QStackedBarSeries>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

namespace fd::overview {
namespace {

const QString kGoneSuffix = QStringLiteral("（转出/注销）");

struct Counted {
    Overview overview;
    QString error; // empty when the counts are whole
};

QColor cellBackground(Column column, qint64 n)
{
    if (n <= 0)
        return Qt::white;
    switch (column) {
    case Column::farAhead:
        return vehicles::bandBackground(vehicles::ExpiryBand::farAhead, false);
    case Column::dueNextMonth:
        return vehicles::bandBackground(vehicles::ExpiryBand::dueNextMonth, false);
    case Column::dueThisMonth:
        return vehicles::bandBackground(vehicles::ExpiryBand::dueThisMonth, false);
    case Column::expiredRecently:
        return vehicles::bandBackground(vehicles::ExpiryBand::expiredRecently, false);
    case Column::expiredLong:
    case Column::noDate:
        break;
    }
    return vehicles::bandBackground(vehicles::ExpiryBand::expiredLong, false);
}

QColor cellText(Column column, qint64 n)
{
    if (n <= 0)
        return Qt::black;
    return column == Column::expiredLong || column == Column::expiredRecently || column == Column::noDate ? QColor(Qt::white)
                                                                                                         : QColor(Qt::black);
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

OverviewPage::OverviewPage(AppState& state, ui::Dialogs& dialogs, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("到期总览"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout;
    m_refresh = makeButton(this, QStringLiteral("按钮_刷新总览"), QStringLiteral("刷新"));
    connect(m_refresh, &QPushButton::clicked, this, &OverviewPage::refresh);
    m_showGone = new QCheckBox(QStringLiteral("显示转出/注销车辆"), this);
    m_showGone->setObjectName(QStringLiteral("选择框_转出注销"));
    connect(m_showGone, &QCheckBox::toggled, this, &OverviewPage::fillTable);
    auto* print = makeButton(this, QStringLiteral("按钮_打印总览"), QStringLiteral("打印"));
    connect(print, &QPushButton::clicked, this, &OverviewPage::print);
    auto* xlsx = makeButton(this, QStringLiteral("按钮_导出总览"), QStringLiteral("导出Excel"));
    connect(xlsx, &QPushButton::clicked, this, &OverviewPage::exportXlsx);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("透明标签_总览状态"));
    row->addWidget(m_refresh);
    row->addWidget(m_showGone);
    row->addWidget(print);
    row->addWidget(xlsx);
    row->addWidget(m_status, 1);
    layout->addLayout(row);

    m_table = new QTableWidget(kDocuments, kColumns + 1, this);
    m_table->setObjectName(QStringLiteral("表格_到期总览"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    QStringList headers;
    for (int c = 0; c < kColumns; ++c)
        headers << columnTitle(static_cast<Column>(c));
    headers << QStringLiteral("合计");
    m_table->setHorizontalHeaderLabels(headers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_table->verticalHeader()->setDefaultSectionSize(22);
    m_table->setToolTip(QStringLiteral("双击数字，在车辆列表中列出这些车辆"));
    connect(m_table, &QTableWidget::cellDoubleClicked, this, &OverviewPage::openCell);
    layout->addWidget(m_table, 3);

    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("未来十二个月到期的证件（点击柱子列出车辆）"));
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setMargins(QMargins(4, 4, 4, 4));
    m_chartView = new QChartView(chart, this);
    m_chartView->setObjectName(QStringLiteral("图表_到期预测"));
    m_chartView->setRenderHint(QPainter::Antialiasing);
    layout->addWidget(m_chartView, 5);

    m_fees = new QTableWidget(1, kMonths, this);
    m_fees->setObjectName(QStringLiteral("表格_应收管理费"));
    m_fees->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_fees->setVerticalHeaderLabels({QStringLiteral("应收管理费")});
    m_fees->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_fees->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fees->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fees->setFixedHeight(m_fees->horizontalHeader()->sizeHint().height() + 26);
    m_fees->setToolTip(QStringLiteral("双击，列出欠费车辆"));
    connect(m_fees, &QTableWidget::cellDoubleClicked, this, [this] { Q_EMIT arrearsRequested(); });
    layout->addWidget(m_fees);
    m_unreadableFees = new QLabel(this);
    m_unreadableFees->setObjectName(QStringLiteral("标签_无法识别的金额"));
    m_unreadableFees->setStyleSheet(QStringLiteral("color: #c00000"));
    m_unreadableFees->hide();
    layout->addWidget(m_unreadableFees);
    fillTable();
}

OverviewPage::~OverviewPage()
{
    m_job.cancel();
    m_export.cancel();
}

QChart& OverviewPage::chart() const
{
    return *m_chartView->chart();
}

QString OverviewPage::title() const
{
    return fleet::listTitle(m_state.appTitle, m_state.loginDateTime) + QStringLiteral("  到期总览");
}

void OverviewPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_stale)
        refresh();
}

void OverviewPage::fleetChanged()
{
    m_stale = true;
    if (isVisible())
        refresh();
}

void OverviewPage::refresh()
{
    m_stale = false;
    m_job.cancel();
    m_status->setText(QStringLiteral("正在统计…"));
    m_refresh->setEnabled(false);
    // The rows are read and counted on the database lane, with that thread's own session opened
    // with the options of the window's (copied here, on the window's thread).
    std::optional<DatabaseOptions> options;
    if (m_state.dbConnection)
        options = m_state.dbConnection->options();
    m_job = startJob(
        JobLane::database(), this,
        [options, login = m_state.loginDateTime](JobControl& control) {
            Counted out;
            QString reason;
            if (options) {
                if (const db::ConnectionPtr session = db::threadSession(*options, &reason)) {
                    if (auto counted = readOverview(*session, login, &control.cancelFlag(), &reason)) {
                        out.overview = *counted;
                        return out;
                    }
                }
            }
            out.error = QStringLiteral("统计失败：") + (reason.isEmpty() ? QStringLiteral("没有连接数据库") : reason);
            return out;
        },
        [this](Counted counted) {
            m_refresh->setEnabled(true);
            if (!counted.error.isEmpty()) {
                m_status->setText(counted.error);
                return;
            }
            showCounts(counted.overview);
        });
}

void OverviewPage::showCounts(const Overview& overview)
{
    m_overview = overview;
    m_status->setText(QStringLiteral("共 %1 辆车，转出/注销 %2 辆").arg(overview.vehicles[0] + overview.vehicles[1]).arg(overview.vehicles[1]));
    fillTable();
    fillChart();
    Q_EMIT refreshed();
}

void OverviewPage::fillTable()
{
    const bool withGone = m_showGone->isChecked();
    const int rows = withGone ? 2 * kDocuments : kDocuments;
    m_table->setRowCount(rows);
    QStringList labels;
    for (int r = 0; r < rows; ++r)
        labels << documentTitle(r % kDocuments) + (r >= kDocuments ? kGoneSuffix : QString());
    m_table->setVerticalHeaderLabels(labels);
    for (int r = 0; r < rows; ++r) {
        const Fleet fleet = r >= kDocuments ? Fleet::gone : Fleet::active;
        const int d = r % kDocuments;
        for (int c = 0; c <= kColumns; ++c) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (m_overview) {
                const qint64 n = c < kColumns ? m_overview->count(fleet, d, static_cast<Column>(c)) : m_overview->rowTotal(fleet, d);
                item->setText(QString::number(n));
                if (c < kColumns) {
                    item->setBackground(cellBackground(static_cast<Column>(c), n));
                    item->setForeground(cellText(static_cast<Column>(c), n));
                }
            }
            m_table->setItem(r, c, item);
        }
    }
    if (m_overview)
        for (int k = 0; k < kMonths; ++k) {
            m_fees->setHorizontalHeaderItem(k, new QTableWidgetItem(m_overview->monthTitle(k)));
            auto* item = new QTableWidgetItem(money::formatFen(m_overview->feeFen[k]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            QString tip = QStringLiteral("%1 辆车的管理费在本月到期").arg(m_overview->feeVehicles[k]);
            if (m_overview->feeUnreadable[k] > 0)
                tip += QStringLiteral("\n无法识别的金额 %1 条，未计入").arg(m_overview->feeUnreadable[k]);
            tip += QStringLiteral("\n双击，列出欠费车辆");
            item->setToolTip(tip);
            m_fees->setItem(0, k, item);
        }
    const QString note = m_overview ? unreadableFeesNote(*m_overview) : QString();
    m_unreadableFees->setText(note);
    m_unreadableFees->setVisible(!note.isEmpty());
}

void OverviewPage::fillChart()
{
    QChart* chart = m_chartView->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes())
        chart->removeAxis(axis);
    if (!m_overview)
        return;
    const Overview& o = *m_overview;
    auto* bars = new QStackedBarSeries;
    for (int d = 0; d < kDocuments; ++d) {
        auto* set = new QBarSet(documentTitle(d));
        set->setColor(documentColour(d));
        set->setBorderColor(documentColour(d).darker(130));
        for (int k = 0; k < kMonths; ++k)
            set->append(static_cast<qreal>(o.forecast[k][d]));
        connect(set, &QBarSet::clicked, this, [this, d](int k) { openMonth(d, k); });
        bars->append(set);
    }
    bars->setBarWidth(0.7);
    chart->addSeries(bars);
    // The month's total above its bar: an unmarked point at the top of the stack with its label.
    auto* totals = new QScatterSeries;
    totals->setName(QStringLiteral("合计"));
    totals->setMarkerSize(1);
    totals->setColor(Qt::transparent);
    totals->setBorderColor(Qt::transparent);
    totals->setPointLabelsVisible(true);
    totals->setPointLabelsFormat(QStringLiteral("@yPoint"));
    totals->setPointLabelsClipping(false);
    qint64 highest = 0;
    for (int k = 0; k < kMonths; ++k) {
        totals->append(k, static_cast<qreal>(o.monthTotal(k)));
        highest = std::max(highest, o.monthTotal(k));
    }
    chart->addSeries(totals);
    QStringList months;
    for (int k = 0; k < kMonths; ++k) {
        int y = 0, m = 0;
        o.month(k, y, m);
        // The year goes in the title: a year on an axis label of this width would be cut.
        months << QStringLiteral("%1月").arg(m);
    }
    auto* x = new QBarCategoryAxis;
    x->append(months);
    auto* y = new QValueAxis;
    y->setLabelFormat(QStringLiteral("%d"));
    y->setRange(0, std::max<qint64>(4, highest + highest / 8 + 1));
    y->applyNiceNumbers();
    chart->setTitle(QStringLiteral("%1至%2到期的证件（点击柱子列出车辆）").arg(o.monthTitle(0), o.monthTitle(kMonths - 1)));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    bars->attachAxis(x);
    bars->attachAxis(y);
    totals->attachAxis(x);
    totals->attachAxis(y);
    // The totals' own legend entry says nothing the labels do not.
    const auto markers = chart->legend()->markers(totals);
    for (auto* marker : markers)
        marker->setVisible(false);
}

void OverviewPage::openCell(int row, int column)
{
    if (row < 0 || row >= 2 * kDocuments || column < 0 || column >= kColumns)
        return; // the total lists nothing: its vehicles are the whole fleet
    const int d = row % kDocuments;
    const Fleet fleet = row >= kDocuments ? Fleet::gone : Fleet::active;
    Q_EMIT listRequested(cellStatement(d, static_cast<Column>(column), fleet, m_state.loginDateTime),
        vehicles::watchedDates()[d], documentHeader(d));
}

void OverviewPage::openMonth(int document, int month)
{
    if (document < 0 || document >= kDocuments || month < 0 || month >= kMonths)
        return;
    Q_EMIT listRequested(monthStatement(document, month, m_state.loginDateTime), vehicles::watchedDates()[document],
        documentHeader(document));
}

QImage OverviewPage::chartImage(QSize size) const
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    m_chartView->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), m_chartView->viewport()->rect());
    return image;
}

void OverviewPage::print()
{
    if (!m_overview) {
        m_dialogs.message(QStringLiteral("到期总览还在统计中，请稍候再打印。"));
        return;
    }
    fleet::ShownList page;
    page.title = title();
    // The chart is drawn here, on the window's thread; the page paints the copy wherever it prints.
    const QSize shown = m_chartView->viewport()->size();
    const QImage chart = chartImage(shown.scaled(2000, 1200, Qt::KeepAspectRatio));
    page.drawing = [o = *m_overview, withGone = m_showGone->isChecked(), chart](QPainter& painter, const QRectF& area) {
        paintOverview(painter, area, o, withGone, chart);
    };
    printing::printList(page, m_dialogs, window());
}

void OverviewPage::exportXlsx()
{
    if (!m_overview) {
        m_dialogs.message(QStringLiteral("到期总览还在统计中，请稍候再导出。"));
        return;
    }
    if (m_export.running())
        return;
    const QString path = m_dialogs.saveFileName(QStringLiteral("导出Excel"), QStringLiteral("到期总览.xlsx"), QStringLiteral("Excel 文件 (*.xlsx)"));
    if (path.isEmpty())
        return;
    m_status->setText(QStringLiteral("正在导出…"));
    m_export = startJob(
        JobLane::files(), this,
        [o = *m_overview, withGone = m_showGone->isChecked(), title = title(), path](JobControl&) {
            QString error;
            saveOverviewXlsx(o, withGone, title, path, &error);
            return error;
        },
        [this, path](QString error) {
            m_status->setText(error.isEmpty() ? QStringLiteral("已导出到 %1").arg(path) : QString());
            if (!error.isEmpty())
                m_dialogs.message(error);
            Q_EMIT exported(error.isEmpty());
        });
}

} // namespace fd::overview
