#include "accounts/LoginWindow.h"

#include "accounts/Accounts.h"
#include "accounts/Widgets.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "common/Text.h"

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

LoginWindow::LoginWindow(AppState& state, ui::Dialogs& dialogs, RememberedLogin remembered, LoginChecks checks,
    std::function<void()> passwordOpener, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_remembered(std::move(remembered))
    , m_checks(std::move(checks))
    , m_passwordOpener(std::move(passwordOpener))
{
    setObjectName(QStringLiteral("loginWindow"));
    setWindowTitle(kProgramTitle);
    setFixedSize(318, 250);
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
        m_password->clear();
        // The keyring may answer after the window shows; a box the user has entered meanwhile keeps
        // what was typed.
        m_remembered.readPassword(this, [this](const QString& password) {
            if (!m_passwordEntered)
                m_password->setText(password);
        });
    }
    // Neither box may start with the focus: its focus handler would empty it.
    m_login->setFocus(Qt::OtherFocusReason);
}

void LoginWindow::enterBox(QLineEdit* box)
{
    setTextColour(box, Qt::black);
    if (box == m_password) {
        box->setEchoMode(QLineEdit::Password);
        m_passwordEntered = true;
    }
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
    const QString userName = text::trimSpaces(m_userName->text());
    const QString password = text::trimSpaces(m_password->text());
    const LoginCheck outcome = m_checks(m_state, m_dialogs, userName, password);
    switch (outcome) {
    case LoginCheck::Refused:
        return;
    case LoginCheck::WrongCredentials:
        m_password->clear();
        m_userName->clear();
        return;
    case LoginCheck::Passed:
    case LoginCheck::PassedNewPassword:
        break;
    }
    // A password changed during the login is not remembered: the user types it once more.
    if (m_remember->isChecked())
        m_remembered.remember(userName, outcome == LoginCheck::Passed ? password : QString());
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

// The window's meta-object code here rather than among the folder's others: a program that links
// this window alone (before it loads its database code) takes no other window of the folder.
#include "moc_LoginWindow.cpp"
