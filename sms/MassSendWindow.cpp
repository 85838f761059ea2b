#include "sms/MassSendWindow.h"

#include "common/AppState.h"
#include "common/Text.h"
#include "db/Database.h"
#include "net/Endpoints.h"
#include "sms/ListComboBox.h"
#include "sms/SafetyTexts.h"
#include "sms/SendStatusModel.h"
#include "ui/Dialogs.h"
#include "ui/ScreenFit.h"

#include <QCheckBox>
#include <QEvent>
#include <QEventLoop>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

namespace fd::sms {
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
    const QString kLogTable = QStringLiteral("duanxinbiao");
    constexpr int kValueRole = Qt::UserRole;
    constexpr int kTickMs = 1000;

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

    // The sending thread's part of one recipient: the request, and the log record of an accepted message.
    SendOutcome sendOne(SendOutcome outcome, SmsPlatform platform, QString user, QString password, QString message,
        QString suffix, QString logDate, db::ConnectionPtr connection)
    {
        outcome.accepted = smsSendMessage(platform, user, password, outcome.phone, message, suffix);
        if (outcome.accepted && connection) {
            const QString assignments
                = QStringLiteral("cepaihao=%1,dianhua=%2,sijian=%3,neirong=%4")
                      .arg(db::dbQuote(connection, outcome.plate), db::dbQuote(connection, outcome.phone),
                          db::dbQuote(connection, logDate), db::dbQuote(connection, message));
            outcome.logged = db::dbInsert(connection, kLogTable, assignments);
        }
        return outcome;
    }

} // namespace

MassSendWindow::MassSendWindow(AppState& state, Dialogs& dialogs, QWidget* parent)
    : MassSendWindow(state, dialogs, RememberedAccount(), parent)
{
}

MassSendWindow::MassSendWindow(AppState& state, Dialogs& dialogs, RememberedAccount remembered, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_remembered(std::move(remembered))
{
    setObjectName(QStringLiteral("massSendWindow"));
    buildControls();
    move(50, 50);
    resize(556, 454);
    fitToScreen(this);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &MassSendWindow::tick);
    connect(&m_sendWatcher, &QFutureWatcherBase::finished, this, &MassSendWindow::onSendFinished);
    open();
}

MassSendWindow::~MassSendWindow()
{
    // A message on its way finishes on its own (and is logged when accepted); its reply is not shown.
    m_timer.stop();
    m_sendWatcher.disconnect(this);
}

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

    m_balance = makeLabel(QStringLiteral("透明标签_短信余额"), QString());
    m_balance->setParent(this);
    m_balance->setGeometry(205, 376, 143, 40);

    m_test = new QPushButton(QStringLiteral("发送测试短信"), this);
    m_test->setObjectName(QStringLiteral("按钮_测试短信"));
    m_test->setGeometry(360, 374, 104, 40);
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
        m_password->setText(m_remembered.password());
    } else {
        m_user->setText(kUserHint);
        m_password->setText(kPasswordHint);
    }
    m_tree->collapseAll();
    m_state.smsUrlPieces = smsSplitTemplate(net::endpointsOf(m_state.settings).smsUrlTemplate);
    const int widths[SendStatusModel::kColumns] = { 20, 60, 90, 30 };
    for (int c = 0; c < SendStatusModel::kColumns; ++c)
        m_grid->setColumnWidth(c, widths[c]);
    m_state.smsLogDate = logDate(m_state.loginDateTime);
}

SmsPlatform MassSendWindow::platform() const
{
    SmsPlatform p;
    p.pieces = m_state.smsUrlPieces;
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

template <typename T> T MassSendWindow::await(std::function<T()> job)
{
    // The buttons wait too, so a second click cannot start a second check meanwhile.
    m_start->setEnabled(false);
    m_test->setEnabled(false);
    QFutureWatcher<T> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run(std::move(job)));
    if (!watcher.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    watcher.waitForFinished();
    m_start->setEnabled(true);
    m_test->setEnabled(true);
    return watcher.result();
}

std::optional<MassSendWindow::Account> MassSendWindow::checkedAccount()
{
    if (!platform().complete()) {
        m_dialogs.message(kNoTemplate);
        return std::nullopt;
    }
    Account a {platform(), userName(), password()};
    if (!await<bool>([a] { return smsCheckAccount(a.platform, a.user, a.password); })) {
        m_dialogs.message(kBadAccount);
        return std::nullopt;
    }
    return a;
}

void MassSendWindow::testSend()
{
    const std::optional<Account> account = checkedAccount();
    if (!account)
        return;
    const SmsPlatform p = account->platform;
    const QString user = account->user;
    const QString pass = account->password;
    const QString suffix = m_suffix->text();
    QString phone;
    if (!m_dialogs.inputText(kTestPrompt, phone, kTestCaption))
        return;
    m_state.smsMessage = selectedTag() == 2 ? composeTestReminder(reminderParts(), m_state.loginDateTime)
                                            : m_safetyText->toPlainText();
    const QString balance = await<QString>([p, user, pass] { return smsGetBalance(p, user, pass); });
    showBalance(balance);
    if (text::isBelow(text::toNumber(balance), 1)) {
        m_dialogs.message(lowBalance(balance));
        return;
    }
    const QString message = m_state.smsMessage;
    const bool accepted = await<bool>(
        [p, user, pass, phone, message, suffix] { return smsSendMessage(p, user, pass, phone, message, suffix); });
    m_dialogs.message(accepted ? kTestAccepted : kTestRefused);
}

void MassSendWindow::startRun()
{
    const std::optional<Account> account = checkedAccount();
    if (!account)
        return;
    const SmsPlatform p = account->platform;
    const QString user = account->user;
    const QString pass = account->password;
    if (m_remember->isChecked())
        m_remembered.remember(user, pass);
    const QString balance = await<QString>([p, user, pass] { return smsGetBalance(p, user, pass); });
    showBalance(balance);
    const int n = static_cast<int>(m_state.smsPhones.size());
    if (text::isBelow(text::toNumber(balance), n)) {
        m_dialogs.message(lowBalance(balance));
        return;
    }
    if (m_dialogs.ask(startQuestion(n, checkRecipients(m_state.smsPhones)), Dialogs::OkCancel) != Dialogs::Ok)
        return;
    m_state.smsRecipientIndex = 0;
    m_state.smsSuccessCount = 0;
    m_state.smsFailureCount = 0;
    m_counts = RunCounts();
    ++m_run;
    m_timer.start(kTickMs);
    showProgress();
}

void MassSendWindow::tick()
{
    // The previous recipient's reply has not come yet: this tick waits, so that no two messages of
    // a run are on their way together.
    if (m_inFlight)
        return;
    const int tag = selectedTag();
    const QString suffix = m_suffix->text();
    const int k = ++m_state.smsRecipientIndex;
    if (k > m_state.smsPhones.size()) {
        m_timer.stop();
        m_counts.sent = m_state.smsSuccessCount;
        m_counts.failed = m_state.smsFailureCount;
        showProgress();
        m_dialogs.message(endMessage(m_counts));
        return;
    }
    SendOutcome job;
    job.run = m_run;
    job.index = k;
    job.phone = m_state.smsPhones.value(k - 1);
    job.plate = m_state.smsPlates.value(k - 1);
    m_state.smsMessage = tag == 2 ? composeReminder(job.plate, m_state.smsExpiryDates.value(k - 1), reminderParts())
                                  : m_safetyText->toPlainText();
    if (job.phone.isEmpty()) {
        ++m_counts.skipped;
        showProgress();
        return;
    }
    m_inFlight = true;
    m_sendWatcher.setFuture(QtConcurrent::run(sendOne, job, platform(), userName(), password(), m_state.smsMessage,
        suffix, m_state.smsLogDate, m_state.dbConnection));
}

void MassSendWindow::onSendFinished()
{
    m_inFlight = false;
    const SendOutcome outcome = m_sendWatcher.result();
    m_status->append({ QString::number(outcome.index), outcome.plate, outcome.phone,
        outcome.accepted ? QStringLiteral("成功") : QStringLiteral("失败") });
    m_grid->scrollToBottom();
    if (outcome.run == m_run) {
        if (outcome.accepted) {
            ++m_state.smsSuccessCount;
            if (!outcome.logged)
                ++m_counts.unlogged;
        } else {
            ++m_state.smsFailureCount;
        }
        m_counts.sent = m_state.smsSuccessCount;
        m_counts.failed = m_state.smsFailureCount;
        showProgress();
    }
    Q_EMIT recipientHandled(outcome.index);
}

void MassSendWindow::showProgress()
{
    const int remaining = std::max(0, static_cast<int>(m_state.smsPhones.size()) - m_state.smsRecipientIndex);
    m_progress->setText(progressText(m_counts, remaining));
}

void MassSendWindow::stopRun()
{
    m_timer.stop();
}

void MassSendWindow::done(int result)
{
    stopRun();
    QDialog::done(result);
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

} // namespace fd::sms
