#include "accounts/LoginWindow.h"

#include "accounts/Accounts.h"
#include "accounts/PasswordWindow.h"
#include "accounts/Widgets.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "ui/Dialogs.h"
#include "common/Text.h"
#include "db/Database.h"
#include "db/ProgramTables.h"

#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace fd::accounts {
namespace {

    // The boxes hold hints that the user is expected to overwrite: admin and the sample password.
    const QString kInitialUserName = QStringLiteral("admin");
    const QString kInitialPassword = QStringLiteral("123456");
    const QColor kHintColour(192, 192, 192);
    const QColor kLinkColour(0, 136, 255);

} // namespace

LoginWindow::LoginWindow(AppState& state, Dialogs& dialogs, QWidget* parent)
    : LoginWindow(state, dialogs, RememberedLogin(), parent)
{
}

LoginWindow::LoginWindow(AppState& state, Dialogs& dialogs, RememberedLogin remembered, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_remembered(std::move(remembered))
{
    setObjectName(QStringLiteral("loginWindow"));
    setWindowTitle(kProgramTitle);
    setFixedSize(318, 250);
    m_passwordOpener = [this] {
        PasswordWindow window(m_state, m_dialogs); // no owner, modal to the whole program
        window.exec();
    };
    buildControls();
    restoreRememberedLogin();
}

LoginWindow::~LoginWindow() = default;

bool LoginWindow::cancelled() const
{
    return m_cancelled;
}

void LoginWindow::setPasswordOpener(std::function<void()> opener)
{
    m_passwordOpener = std::move(opener);
}

void LoginWindow::buildControls()
{
    m_userName = makeEditBox(this, QStringLiteral("编辑框_许可证号"), QRect(64, 29, 184, 32), kHintColour);
    m_userName->setText(kInitialUserName);
    m_userName->installEventFilter(this);

    m_password = makeEditBox(this, QStringLiteral("编辑框_密码"), QRect(64, 102, 184, 32), kHintColour);
    m_password->setText(kInitialPassword);
    m_password->installEventFilter(this);

    m_remember = new QCheckBox(QStringLiteral("记住密码"), this);
    m_remember->setObjectName(QStringLiteral("选择框1"));
    m_remember->setGeometry(70, 149, 80, 16);
    setTextColour(m_remember, kLinkColour);

    m_changePassword = makeTransparentLabel(
        this, QStringLiteral("透明标签_改密"), QStringLiteral("密码\r\n修改"), QRect(191, 144, 50, 23));
    setTextColour(m_changePassword, kLinkColour);
    m_changePassword->setCursor(Qt::PointingHandCursor);
    m_changePassword->installEventFilter(this);

    m_login = new QPushButton(QStringLiteral("登录"), this);
    m_login->setObjectName(QStringLiteral("按钮_登录"));
    m_login->setGeometry(30, 173, 98, 32);
    m_login->setDefault(true); // Enter presses it
    connect(m_login, &QPushButton::clicked, this, &LoginWindow::login);

    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_cancel->setObjectName(QStringLiteral("按钮_取消"));
    m_cancel->setGeometry(176, 172, 98, 32);
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &LoginWindow::cancel);

    setTabOrder(m_userName, m_password);
    setTabOrder(m_password, m_remember);
    setTabOrder(m_remember, m_login);
    setTabOrder(m_login, m_cancel);
}

void LoginWindow::restoreRememberedLogin()
{
    if (m_remembered.ticked() == 1) {
        m_remember->setChecked(true);
        m_userName->setText(m_remembered.userName());
        m_password->setEchoMode(QLineEdit::Password);
        m_password->setText(m_remembered.password());
    }
    // Neither box may start with the focus: its focus handler would empty it.
    m_login->setFocus(Qt::OtherFocusReason);
}

void LoginWindow::enterBox(QLineEdit* box)
{
    setTextColour(box, Qt::black);
    if (box == m_password)
        box->setEchoMode(QLineEdit::Password);
    box->clear();
}

bool LoginWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && (watched == m_userName || watched == m_password)) {
        // The user entering the box empties it. The window getting active again (after a message
        // box, or when the user comes back from another program) gives the focus back to the box
        // it was in: what was typed there stays.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            enterBox(static_cast<QLineEdit*>(watched));
    } else if (event->type() == QEvent::MouseButtonPress && watched == m_changePassword) {
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && m_passwordOpener) {
            m_passwordOpener();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void LoginWindow::login()
{
    const Settings& settings = m_state.settings;
    if (!accounts::isOnline(settings)) {
        m_dialogs.message(QStringLiteral("联网失败！请检查上网设备。"));
        return;
    }
    m_state.appTitle = kProgramTitle;

    // A new connection at every attempt; a failed one leaves none.
    db::ConnectFailure failure = db::ConnectFailure::None;
    m_state.dbConnection = connectForLogin(settings, &failure);
    if (!m_state.dbConnection) {
        // Encryption refused says so: retrying or calling about the network would not help.
        const QString tls = tlsFailureText(failure);
        m_dialogs.message((tls.isEmpty() ? QStringLiteral("连接数据库失败！") : tls) + QStringLiteral("技术支持")
            + settings.supportContact);
        return;
    }
    if (!db::dbExecute(m_state.dbConnection, QStringLiteral("set names GBK")))
        m_dialogs.message(QStringLiteral("编码失败！"));

    const QString userName = text::trimSpaces(m_userName->text());
    const QString password = text::trimSpaces(m_password->text());
    const CredentialCount found = countCredentials(m_state.dbConnection, userName, password);
    switch (found.outcome) {
    case CredentialCount::QueryFailed:
        m_dialogs.message(QStringLiteral("打开数据库失败！技术支持") + settings.supportContact);
        return;
    case CredentialCount::ReadFailed:
        m_dialogs.message(QStringLiteral("读字段值 失败！"));
        return;
    case CredentialCount::Counted:
        break;
    }
    if (found.count == 0) {
        m_dialogs.message(QStringLiteral("用户名和密码不正确！请重新输入。"));
        m_password->clear();
        m_userName->clear();
        return;
    }

    // The program's own tables, once per login: no operation checks for them.
    if (QString error; !db::ensureProgramTables(*m_state.dbConnection, &error))
        qWarning("the program's own tables could not be created: %s", qPrintable(error));
    if (m_remember->isChecked())
        m_remembered.remember(userName, password);
    m_state.loginDateTime = datetime::nowInSeconds();
    m_state.loginUser = userName;
    accept();
}

void LoginWindow::cancel()
{
    m_cancelled = true;
    QDialog::reject();
}

void LoginWindow::reject()
{
    // The close box and Escape end the program like 取消.
    cancel();
}

} // namespace fd::accounts
