#include "smswindow/MassSendWindow.h"

#include "common/AppState.h"
#include "common/Text.h"
#include "db/Connection.h"
#include "net/Endpoints.h"
#include "smswindow/ListComboBox.h"
#include "sms/SafetyTexts.h"
#include "sms/SendStatusModel.h"
#include "ui/CutTextTips.h"
#include "ui/Dialogs.h"
#include "ui/RoleGuard.h"
#include "ui/ScreenFit.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

namespace fd::smswindow {

using namespace fd::sms;

namespace {

    const QString kUserHint = QStringLiteral("请输入短信平台的用户名");
    const QString kPasswordHint = QStringLiteral("请输入短信平台的密码");
    const QString kSuffixHint = QStringLiteral("在“【】”里面输入公司名称，后缀3-8个汉字");
    const QString kBadAccount = QStringLiteral("请输入正确的短信用户名和密码");
    const QString kTestPrompt = QStringLiteral("请在下方输入测试短信手机号，并且发送成功后再群发短信。");
    const QString kTestCaption = QStringLiteral("测试短信");
    const QString kTestAccepted = QStringLiteral("短信提交成功！");
    const QString kTestRefused = QStringLiteral("短信提交失败！");
    const QString kNoTemplate = QStringLiteral("短信平台的地址设置不完整，无法发送短信，请联系软件供应商。");
    const QString kCloseDuringRun = QStringLiteral("群发尚未结束，确定要停止群发并关闭窗口吗？");
    constexpr int kValueRole = Qt::UserRole;
    constexpr int kTickMs = 1000;
    // The widest the window grows: a 1366-pixel screen less the window's frame.
    constexpr int kMaxClientWidth = 1366 - ui::kFrameWidth;

    // A tab control that tells where its pages start, also before it is first shown.
    class TabControl : public QTabWidget {
    public:
        using QTabWidget::QTabWidget;
        QPoint pageOrigin() const
        {
            QStyleOptionTabWidgetFrame option;
            initStyleOption(&option);
            return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this).topLeft();
        }
    };

    QString lowBalance(const QString& balance)
    {
        return QStringLiteral("短信余额还有") + balance + QStringLiteral("小于欲发送是数量，请充值后再次发送。");
    }

    QLabel* makeLabel(const QString& name, const QString& text)
    {
        auto* label = new QLabel(text);
        label->setObjectName(name);
        label->setTextFormat(Qt::PlainText);
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->setWordWrap(true);
        return label;
    }

    // The balance request of a step; a closed window ends it.
    auto balanceJob(SmsPlatform platform, QString user, QString password)
    {
        return [platform, user, password](JobControl& job) {
            SmsPlatform p = platform;
            p.http.cancel = &job.cancelFlag();
            return smsGetBalance(p, user, password);
        };
    }

} // namespace

MassSendWindow::MassSendWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent)
    : MassSendWindow(state, dialogs, RememberedAccount(), parent)
{
}

MassSendWindow::MassSendWindow(AppState& state, ui::Dialogs& dialogs, RememberedAccount remembered, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_remembered(std::move(remembered))
{
    setObjectName(QStringLiteral("massSendWindow"));
    buildControls();
    move(50, 50);
    resize(556, 454);
    fitStatusGrid();
    ui::fitToScreen(this);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &MassSendWindow::tick);
    open();
    updateButtons();
}

// A message on its way finishes on its own (and is logged when accepted); its reply is not shown.
// The window's jobs are cancelled with it.
MassSendWindow::~MassSendWindow() = default;

void MassSendWindow::buildControls()
{
    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("编辑框_用户名"));
    m_user->setGeometry(27, 16, 157, 32);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("编辑框_密码"));
    m_password->setGeometry(202, 16, 156, 32);
    for (QLineEdit* box : { m_user, m_password })
        box->installEventFilter(this);

    m_remember = new QCheckBox(QStringLiteral("保存用户名和密码"), this);
    m_remember->setObjectName(QStringLiteral("选择框_保存用户名和密码"));
    m_remember->setGeometry(401, 14, 126, 36);

    auto* tabs = new TabControl(this);
    m_tabs = tabs;
    m_tabs->setObjectName(QStringLiteral("高级选择夹1"));
    m_tabs->setGeometry(0, 72, 544, 288);
    QWidget* safety = buildSafetyPage();
    safety->setProperty("tag", QStringLiteral("1"));
    m_tabs->addTab(safety, QStringLiteral("安全教育类"));
    QWidget* reminder = buildReminderPage();
    reminder->setProperty("tag", QStringLiteral("2"));
    m_tabs->addTab(reminder, QStringLiteral("业务提醒类"));
    // The pages' controls were placed relative to the tab control, tab strip included; a page
    // starts below the strip.
    const QPoint origin = tabs->pageOrigin();
    for (QWidget* page : { safety, reminder })
        for (QObject* child : page->children())
            if (auto* control = qobject_cast<QWidget*>(child))
                control->move(control->pos() - origin);

    // On the tab control, beside the suffix hint of either page.
    m_suffix = new QLineEdit(QStringLiteral("【】"), this);
    m_suffix->setObjectName(QStringLiteral("编辑框_后缀"));
    m_suffix->setGeometry(241, 312, 77, 32);
    m_suffix->raise();

    m_start = new QPushButton(QStringLiteral("开始群发"), this);
    m_start->setObjectName(QStringLiteral("按钮_群发"));
    m_start->setGeometry(81, 376, 104, 40);
    m_start->setAutoDefault(false);
    connect(m_start, &QPushButton::clicked, this, &MassSendWindow::startRun);

    // Beside 开始群发; the balance and the test button make room for it.
    m_stop = new QPushButton(QStringLiteral("停止"), this);
    m_stop->setObjectName(QStringLiteral("按钮_停止"));
    m_stop->setGeometry(193, 376, 64, 40);
    m_stop->setAutoDefault(false);
    connect(m_stop, &QPushButton::clicked, this, &MassSendWindow::stopRun);

    m_balance = makeLabel(QStringLiteral("透明标签_短信余额"), QString());
    m_balance->setParent(this);
    m_balance->setGeometry(265, 376, 143, 40);

    m_test = new QPushButton(QStringLiteral("发送测试短信"), this);
    m_test->setObjectName(QStringLiteral("按钮_测试短信"));
    m_test->setGeometry(416, 374, 104, 40);
    m_test->setAutoDefault(false);
    connect(m_test, &QPushButton::clicked, this, &MassSendWindow::testSend);

    m_progress = makeLabel(QStringLiteral("透明标签_群发进度"), QString());
    m_progress->setParent(this);
    m_progress->setGeometry(27, 420, 500, 24);
}

void MassSendWindow::placeOnPage(QWidget* page, QWidget* control, const QRect& tabGeometry) const
{
    control->setParent(page);
    control->setGeometry(tabGeometry);
}

QWidget* MassSendWindow::buildSafetyPage()
{
    auto* page = new QWidget;
    m_tree = new QTreeWidget;
    m_tree->setObjectName(QStringLiteral("树型框1"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    const QList<SafetyCategory>& categories = safetyCategories();
    for (int c = 0; c < categories.size(); ++c) {
        auto* category = new QTreeWidgetItem(m_tree, { categories[c].caption });
        category->setData(0, kValueRole, 0);
        for (int n = 1; n <= categories[c].texts.size(); ++n) {
            auto* item = new QTreeWidgetItem(category, { QString::number(n) });
            item->setData(0, kValueRole, (c + 1) * 100 + n);
        }
    }
    placeOnPage(page, m_tree, QRect(6, 33, 99, 239));
    connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &MassSendWindow::onSafetySelection);

    placeOnPage(page, makeLabel(QStringLiteral("透明标签3"), QStringLiteral("短信内容")), QRect(125, 31, 88, 32));

    m_safetyText = new QPlainTextEdit;
    m_safetyText->setObjectName(QStringLiteral("编辑框_安全提醒短信"));
    m_safetyText->setReadOnly(true);
    placeOnPage(page, m_safetyText, QRect(120, 66, 196, 162));

    placeOnPage(page, makeLabel(QStringLiteral("透明标签2"), QStringLiteral("发送结果")), QRect(333, 31, 88, 32));

    m_grid = new QTableView;
    m_grid->setObjectName(QStringLiteral("高级表格_发送状态"));
    m_status = new SendStatusModel(this);
    m_grid->setModel(m_status);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 4);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui::CutTextTips::install(m_grid);
    placeOnPage(page, m_grid, QRect(328, 64, 208, 206));

    placeOnPage(page, makeLabel(QStringLiteral("透明标签1"), kSuffixHint), QRect(112, 240, 128, 32));
    return page;
}

QWidget* MassSendWindow::buildReminderPage()
{
    auto* page = new QWidget;
    placeOnPage(page, makeLabel(QStringLiteral("透明标签_第一段文本"), QStringLiteral("尊敬的豫P*****车主，您的")),
        QRect(8, 64, 152, 40));
    m_document = new ListComboBox({ QStringLiteral("营运证"), QStringLiteral("行车证"), QStringLiteral("商业险"),
        QStringLiteral("交强险"), QStringLiteral("驾驶证"), QStringLiteral("资格证") });
    m_document->setObjectName(QStringLiteral("组合框_第一段"));
    placeOnPage(page, m_document, QRect(155, 77, 72, 107));
    m_tense = new ListComboBox({ QStringLiteral("将于"), QStringLiteral("已经"), QStringLiteral("本月") });
    m_tense->setObjectName(QStringLiteral("组合框_第二段"));
    placeOnPage(page, m_tense, QRect(229, 78, 72, 66));
    placeOnPage(page, makeLabel(QStringLiteral("透明标签_第二段文本"), QStringLiteral("**年*月*日过期。请及时")),
        QRect(302, 68, 143, 40));
    m_action = new ListComboBox({ QStringLiteral("办理。"), QStringLiteral("审验。"), QStringLiteral("投保。") });
    m_action->setObjectName(QStringLiteral("组合框_第三段"));
    placeOnPage(page, m_action, QRect(438, 78, 72, 83));
    placeOnPage(page, makeLabel(QStringLiteral("透明标签4"), kSuffixHint), QRect(112, 240, 128, 32));
    return page;
}

void MassSendWindow::open()
{
    setWindowTitle(m_state.appTitle);
    if (m_remembered.ticked() == 1) {
        m_remember->setChecked(true);
        m_user->setText(m_remembered.userName());
        m_password->clear();
        // The keyring may answer after the window shows: a box the user is in, or has typed
        // into, keeps what is there.
        m_remembered.readPassword(this, [this](const QString& password) {
            if (m_password->text().isEmpty() && !m_password->hasFocus())
                m_password->setText(password);
        });
    } else {
        m_user->setText(kUserHint);
        m_password->setText(kPasswordHint);
    }
    m_tree->collapseAll();
    m_urlPieces = smsSplitTemplate(net::endpointsOf(m_state.settings).smsUrlTemplate);
    m_logDate = logDate(m_state.loginDateTime);
}

SmsPlatform MassSendWindow::platform() const
{
    SmsPlatform p;
    p.pieces = m_urlPieces;
    p.http = net::endpointsOf(m_state.settings).http;
    return p;
}

QString MassSendWindow::userName() const
{
    return text::trimSpaces(m_user->text());
}

QString MassSendWindow::password() const
{
    return text::trimSpaces(m_password->text());
}

int MassSendWindow::selectedTag() const
{
    const QWidget* page = m_tabs->currentWidget();
    return page ? static_cast<int>(text::toNumber(page->property("tag").toString())) : 0;
}

ReminderParts MassSendWindow::reminderParts() const
{
    return { m_document->currentText(), m_tense->currentText(), m_action->currentText() };
}

void MassSendWindow::showBalance(const QString& balance)
{
    m_balance->setText(QStringLiteral("短信余额") + balance + QStringLiteral("条。"));
}

template <typename R, typename Work> void MassSendWindow::request(Work work, std::function<void(R)> then)
{
    setWaiting(true);
    m_stepJob = startJob(JobLane::sms(), this, std::move(work), [this, then = std::move(then)](R result) {
        setWaiting(false);
        if (!m_closed)
            then(std::move(result));
    });
}

void MassSendWindow::setWaiting(bool waiting)
{
    m_waiting = waiting;
    updateButtons();
}

void MassSendWindow::updateButtons()
{
    // A new start waits for the end of the run: starting over would send the first recipients
    // their message a second time.
    const bool allowed = permits(m_state.loginRole, Permission::SendSms);
    m_start->setEnabled(allowed && !m_waiting && !running());
    m_test->setEnabled(allowed && !m_waiting);
    if (!allowed)
        m_start->setToolTip(refusalText(m_state.loginRole, Permission::SendSms));
    m_stop->setEnabled(running() && !m_run->stopped());
}

void MassSendWindow::checkAccount(std::function<void(const Account&)> accepted)
{
    if (!platform().complete()) {
        m_dialogs.message(kNoTemplate);
        return;
    }
    const Account account {platform(), userName(), password()};
    request<bool>(
        [account](JobControl& job) {
            SmsPlatform p = account.platform;
            p.http.cancel = &job.cancelFlag();
            return smsCheckAccount(p, account.user, account.password);
        },
        [this, account, accepted = std::move(accepted)](bool ok) {
            if (ok)
                accepted(account);
            else
                m_dialogs.message(kBadAccount);
        });
}

void MassSendWindow::testSend()
{
    if (m_waiting || !ui::allowedOrRefused(m_state, Permission::SendSms, m_dialogs))
        return;
    checkAccount([this](const Account& account) {
        const QString suffix = m_suffix->text();
        QString phone;
        if (!m_dialogs.inputText(kTestPrompt, phone, kTestCaption) || m_closed)
            return;
        // The test text travels with its own requests: the run's ticks never touch it.
        const QString message = selectedTag() == 2 ? composeTestReminder(reminderParts(), m_state.loginDateTime)
                                                   : m_safetyText->toPlainText();
        request<QString>(balanceJob(account.platform, account.user, account.password),
            [this, account, phone, message, suffix](const QString& balance) {
                showBalance(balance);
                if (text::isBelow(text::toNumber(balance), 1)) {
                    m_dialogs.message(lowBalance(balance));
                    return;
                }
                request<bool>(
                    [account, phone, message, suffix](JobControl&) {
                        return smsSendMessage(account.platform, account.user, account.password, phone, message, suffix);
                    },
                    [this](bool accepted) { m_dialogs.message(accepted ? kTestAccepted : kTestRefused); });
            });
    });
}

void MassSendWindow::startRun()
{
    if (m_waiting || running() || !ui::allowedOrRefused(m_state, Permission::SendSms, m_dialogs))
        return;
    checkAccount([this](const Account& account) {
        if (m_remember->isChecked())
            m_remembered.remember(account.user, account.password);
        request<QString>(balanceJob(account.platform, account.user, account.password), [this](const QString& balance) {
            showBalance(balance);
            const int n = static_cast<int>(m_state.smsPhones.size());
            if (text::isBelow(text::toNumber(balance), n)) {
                m_dialogs.message(lowBalance(balance));
                return;
            }
            if (m_dialogs.ask(startQuestion(n, checkRecipients(m_state.smsPhones)), ui::Dialogs::OkCancel) != ui::Dialogs::Ok
                || m_closed)
                return;
            beginRun();
        });
    });
}

void MassSendWindow::beginRun()
{
    m_run = std::make_unique<SendRun>(m_state.smsPlates, m_state.smsPhones, m_state.smsExpiryDates);
    m_runEnded = false;
    m_timer.start(kTickMs);
    showProgress();
    updateButtons();
}

void MassSendWindow::tick()
{
    // The previous recipient's reply has not come yet: this tick waits, so that no two messages of
    // a run are on their way together.
    if (!running() || m_run->inFlight())
        return;
    const int tag = selectedTag();
    const QString suffix = m_suffix->text();
    const std::optional<SendRun::Recipient> recipient = m_run->next();
    if (!recipient) {
        endRun();
        return;
    }
    if (recipient->phone.isEmpty()) {
        showProgress();
        return;
    }
    SendRequest request;
    request.platform = platform();
    request.user = userName();
    request.password = password();
    request.index = recipient->index;
    request.plate = recipient->plate;
    request.phone = recipient->phone;
    request.message = tag == 2 ? composeReminder(recipient->plate, recipient->expiryDate, reminderParts())
                               : m_safetyText->toPlainText();
    request.suffix = suffix;
    request.logDate = m_logDate;
    // The log row is written on the SMS lane right after the message went, with that thread's own
    // session on the window's database.
    std::optional<db::Connection::Options> logDatabase;
    if (m_state.dbConnection)
        logDatabase = m_state.dbConnection->options();
    m_run->sending();
    // The message is on its way from here: neither 停止 nor the window's end holds it back, and its
    // log record is written. Only its reply belongs to the window, which may be gone by then; the
    // job's owner is a courier of its own, gone once the reply is handed over.
    auto* courier = new QObject;
    startJob(
        JobLane::sms(), courier,
        [request, logDatabase](JobControl&) { return sendAndLog(request, logDatabase); },
        [courier, window = QPointer<MassSendWindow>(this)](const SendOutcome& outcome) {
            courier->deleteLater();
            if (window && window->sending())
                window->onSent(outcome);
        });
}

void MassSendWindow::onSent(const SendOutcome& outcome)
{
    m_status->append({ QString::number(outcome.index), outcome.plate, outcome.phone,
        outcome.accepted ? QStringLiteral("成功") : QStringLiteral("失败") });
    m_grid->scrollToBottom();
    m_run->record(outcome);
    showProgress();
    Q_EMIT recipientHandled(outcome.index);
    if (m_run->stopped())
        endRun();
}

void MassSendWindow::stopRun()
{
    if (!running() || m_run->stopped())
        return;
    m_run->stop();
    m_timer.stop();
    if (m_run->inFlight())
        updateButtons(); // the run ends when the reply of the message on its way is in
    else
        endRun();
}

void MassSendWindow::endRun()
{
    m_timer.stop();
    m_runEnded = true;
    showProgress();
    updateButtons();
    m_dialogs.message(m_run->stopped() ? stopMessage(m_run->counts(), m_run->remaining()) : endMessage(m_run->counts()));
}

void MassSendWindow::showProgress()
{
    if (m_run)
        m_progress->setText(progressText(m_run->counts(), m_run->remaining()));
}

void MassSendWindow::done(int result)
{
    if (running() && m_dialogs.ask(kCloseDuringRun, ui::Dialogs::YesNo) != ui::Dialogs::Yes)
        return;
    // Nothing of the window's work reaches it from here on. A message on its way is still sent and
    // logged by its job; a step waiting on the platform ends without its next request.
    m_closed = true;
    m_timer.stop();
    m_stepJob.cancel();
    if (running()) {
        m_run->stop();
        m_runEnded = true;
    }
    setWaiting(false);
    QDialog::done(result);
}

void MassSendWindow::showEvent(QShowEvent* event)
{
    m_closed = false;
    QDialog::showEvent(event);
}

void MassSendWindow::fitStatusGrid()
{
    // Every text a run can put into each column: the highest position number, the plates and
    // phone numbers of the list (and any 11-digit number), the two states.
    const int n = static_cast<int>(m_state.smsPhones.size());
    const QList<QStringList> texts {
        { QString::number(std::max(n, 1)) },
        m_state.smsPlates,
        m_state.smsPhones + QStringList { QStringLiteral("13800000000") },
        { QStringLiteral("成功"), QStringLiteral("失败") },
    };
    // The item delegate keeps a margin on either side of a cell's text; the grid line takes a pixel.
    const QFontMetricsF metrics(m_grid->font());
    const int cellMargin = 2 * (m_grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_grid) + 1)
        + (m_grid->showGrid() ? 1 : 0);
    QHeaderView* header = m_grid->horizontalHeader();
    QList<int> widths;
    int total = 0;
    for (int c = 0; c < SendStatusModel::kColumns; ++c) {
        qreal widest = 0;
        for (const QString& t : texts[c])
            widest = std::max(widest, metrics.horizontalAdvance(t));
        widths.append(std::max(header->sectionSizeHint(c), static_cast<int>(std::ceil(widest)) + cellMargin));
        total += widths.last();
    }
    const int scrollBar = m_grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_grid);
    const int need = total + 2 * m_grid->frameWidth() + scrollBar - m_grid->width();
    // The window may grow as wide as a 1366-pixel screen allows; past that the plate column gives
    // way, and its cut cells show their text as a tip.
    const int grow = std::clamp(need, 0, std::max(0, kMaxClientWidth - width()));
    if (need > grow)
        widths[1] = std::max(header->sectionSizeHint(1), widths[1] - (need - grow));
    for (int c = 0; c < SendStatusModel::kColumns; ++c)
        m_grid->setColumnWidth(c, widths[c]);
    if (grow > 0) {
        m_grid->resize(m_grid->width() + grow, m_grid->height());
        m_tabs->resize(m_tabs->width() + grow, m_tabs->height());
        resize(width() + grow, height());
    }
}

void MassSendWindow::onSafetySelection()
{
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    const int value = selected.isEmpty() ? 0 : selected.first()->data(0, kValueRole).toInt();
    m_safetyText->setPlainText(safetyText(value));
}

bool MassSendWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && (watched == m_user || watched == m_password)
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        static_cast<QLineEdit*>(watched)->clear(); // the press then goes on as usual
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace fd::smswindow
