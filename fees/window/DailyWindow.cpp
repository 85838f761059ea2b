#include "fees/window/DailyWindow.h"

#include "common/AppState.h"
#include "common/Money.h"
#include "db/ThreadSession.h"
#include "fees/Receipt.h"
#include "fees/window/ReceiptPrint.h"
#include "ui/Dialogs.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace fd::fees {

DailyWindow::DailyWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("dailyWindow"));
    setWindowTitle(QStringLiteral("日结"));
    m_printer = [this](const Takings& t, const QString& company) { showTakings(t, company, m_dialogs, this); };
    m_day = new QDateEdit(QDate::currentDate(), this);
    m_day->setObjectName(QStringLiteral("日期框_日期"));
    m_day->setCalendarPopup(true);
    m_day->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    auto* countButton = new QPushButton(QStringLiteral("统计"), this);
    countButton->setObjectName(QStringLiteral("按钮_统计"));
    auto* printButton = new QPushButton(QStringLiteral("打印"), this);
    printButton->setObjectName(QStringLiteral("按钮_打印"));
    for (QPushButton* b : {countButton, printButton})
        b->setAutoDefault(false);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("日期"), this));
    top->addWidget(m_day);
    top->addWidget(countButton);
    top->addStretch();
    top->addWidget(printButton);

    m_model = new QStandardItemModel(0, 7, this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("经办人"), QStringLiteral("收款方式"), QStringLiteral("收费笔数"),
        QStringLiteral("收费金额"), QStringLiteral("作废笔数"), QStringLiteral("作废金额"), QStringLiteral("实收金额")});
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("表格_日结"));
    m_grid->setModel(m_model);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_total = new QLabel(this);
    m_total->setObjectName(QStringLiteral("标签_合计"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_total);
    resize(760, 420);
    connect(countButton, &QPushButton::clicked, this, &DailyWindow::count);
    connect(printButton, &QPushButton::clicked, this, &DailyWindow::print);
    connect(m_day, &QDateEdit::dateChanged, this, [this] { count(); });
    count();
}

DailyWindow::~DailyWindow()
{
    m_job.cancel();
}

void DailyWindow::setDay(const QDate& day)
{
    m_day->setDate(day);
}

void DailyWindow::count()
{
    if (!m_state.dbConnection)
        return;
    m_job.cancel();
    struct Counted {
        std::optional<Takings> takings;
        QString company;
        QString error;
    };
    m_total->setText(QStringLiteral("正在统计…"));
    m_job = startJob(
        JobLane::database(), this,
        [day = m_day->date(), options = m_state.dbConnection->options(), settings = m_state.settings](JobControl&) {
            Counted c;
            const db::ConnectionPtr session = db::threadSession(options, &c.error);
            if (session) {
                c.takings = readTakings(*session, day, day, &c.error);
                c.company = companyName(*session, settings);
            }
            return c;
        },
        [this](Counted c) {
            m_takings = c.takings;
            m_company = c.company;
            m_model->removeRows(0, m_model->rowCount());
            if (!c.takings) {
                m_total->clear();
                m_dialogs.detailedMessage(QStringLiteral("日结统计失败"), c.error);
                Q_EMIT counted();
                return;
            }
            auto add = [this](const TakingsLine& l, const QString& clerk, const QString& method) {
                QList<QStandardItem*> items;
                for (const QString& text : {clerk, method, QString::number(l.payments), money::formatFen(l.paidFen),
                         QString::number(l.voids), money::formatFen(l.voidedFen), money::formatFen(l.netFen())})
                    items.append(new QStandardItem(text));
                m_model->appendRow(items);
            };
            for (const TakingsLine& l : c.takings->lines)
                add(l, l.clerk, l.method);
            add(c.takings->total, QStringLiteral("合计"), QString());
            m_total->setText(QStringLiteral("收费 %1 笔 %2 元，作废 %3 笔 %4 元，实收 %5 元（%6）")
                                 .arg(c.takings->total.payments)
                                 .arg(money::formatFen(c.takings->total.paidFen))
                                 .arg(c.takings->total.voids)
                                 .arg(money::formatFen(c.takings->total.voidedFen), money::formatFen(c.takings->total.netFen()),
                                     money::capitals(c.takings->total.netFen())));
            Q_EMIT counted();
        });
}

void DailyWindow::print()
{
    if (!m_takings) {
        m_dialogs.message(QStringLiteral("日结还在统计中，请稍候再打印。"));
        return;
    }
    if (m_printer)
        m_printer(*m_takings, m_company);
}

} // namespace fd::fees
