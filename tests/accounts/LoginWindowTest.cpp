// The login window against the stack's database: its controls, the login with every failure
// branch, trimming, escaping, the remembered login and the focus handlers.
#include "AccountsFixture.h"

#include "accounts/LoginWindow.h"
#include "accounts/PasswordWindow.h"
#include "accounts/RememberedLogin.h"
#include "accounts/Staff.h"
#include "accounts/Widgets.h"
#include "common/DateTime.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <cmath>

using namespace fd;
using namespace fd::test;
using accounts::LoginWindow;
using accounts::RememberedLogin;

namespace {

const QString kTitle = kProgramTitle;
const QString kWrongCredentials = QStringLiteral("用户名和密码不正确！请重新输入。");
const QColor kGrey(192, 192, 192);

class LoginWindowTest : public AccountsFixture {
protected:
    std::unique_ptr<LoginWindow> open()
    {
        auto window = std::make_unique<LoginWindow>(state, dialogs, RememberedLogin(iniPath));
        window->show();
        return window;
    }

    QLineEdit* userBox(LoginWindow& w) { return find<QLineEdit>(&w, QStringLiteral("编辑框_许可证号")); }
    QLineEdit* passwordBox(LoginWindow& w) { return find<QLineEdit>(&w, QStringLiteral("编辑框_密码")); }
    QCheckBox* rememberBox(LoginWindow& w) { return find<QCheckBox>(&w, QStringLiteral("选择框1")); }
    QPushButton* loginButton(LoginWindow& w) { return find<QPushButton>(&w, QStringLiteral("按钮_登录")); }

    void pressLogin(LoginWindow& w) { QTest::mouseClick(loginButton(w), Qt::LeftButton); }

    void loginAs(LoginWindow& w, const QString& user, const QString& password)
    {
        userBox(w)->setText(user);
        passwordBox(w)->setText(password);
        pressLogin(w);
    }

    static void focusIn(QWidget* box, Qt::FocusReason reason)
    {
        QFocusEvent event(QEvent::FocusIn, reason);
        QApplication::sendEvent(box, &event);
    }

    QString remembered(const char* key)
    {
        QSettings ini(iniPath, QSettings::IniFormat);
        return ini.value(QLatin1String(key)).toString();
    }

    // The stack's settings with one database account replaced.
    void useDatabaseAccount(const QString& user, const QString& password)
    {
        state.settings.dbUser = encipheredForKeyB(user);
        state.settings.dbPassword = encipheredForKeyB(password);
    }

    void recreateDatabaseUser(const QString& user, const QString& grant)
    {
        mustExecute(admin, QStringLiteral("drop user if exists '%1'@'127.0.0.1'").arg(user));
        mustExecute(admin, QStringLiteral("create user '%1'@'127.0.0.1' identified by 'pw-%1'").arg(user));
        if (!grant.isEmpty())
            mustExecute(admin, grant.arg(QStringLiteral("'%1'@'127.0.0.1'").arg(user)));
    }
};

TEST_F(LoginWindowTest, OpensWithItsControlsHintsAndColours)
{
    auto w = open();
    EXPECT_EQ(w->windowTitle(), kTitle);
    EXPECT_EQ(w->size(), QSize(318, 250));

    QLineEdit* user = userBox(*w);
    QLineEdit* password = passwordBox(*w);
    EXPECT_EQ(user->geometry(), QRect(64, 29, 184, 32));
    EXPECT_EQ(password->geometry(), QRect(64, 102, 184, 32));
    EXPECT_EQ(user->text(), QStringLiteral("admin"));
    EXPECT_EQ(password->text(), QStringLiteral("123456"));
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
    for (QLineEdit* box : { user, password }) {
        EXPECT_EQ(accounts::textColour(box), kGrey);
        EXPECT_EQ(box->palette().color(QPalette::Base), QColor(Qt::white));
    }

    QCheckBox* remember = rememberBox(*w);
    EXPECT_EQ(remember->geometry(), QRect(70, 149, 80, 16));
    EXPECT_EQ(remember->text(), QStringLiteral("记住密码"));
    EXPECT_FALSE(remember->isChecked());
    EXPECT_EQ(accounts::textColour(remember), QColor(0, 136, 255));

    auto* label = find<QLabel>(w.get(), QStringLiteral("透明标签_改密"));
    EXPECT_EQ(label->geometry(), QRect(191, 144, 50, 23));
    EXPECT_EQ(label->text(), QStringLiteral("密码\r\n修改"));
    EXPECT_EQ(accounts::textColour(label), QColor(0, 136, 255));
    EXPECT_FALSE(label->autoFillBackground());

    QPushButton* login = loginButton(*w);
    auto* cancel = find<QPushButton>(w.get(), QStringLiteral("按钮_取消"));
    EXPECT_EQ(login->geometry(), QRect(30, 173, 98, 32));
    EXPECT_EQ(cancel->geometry(), QRect(176, 172, 98, 32));
    EXPECT_EQ(login->text(), QStringLiteral("登录"));
    EXPECT_EQ(cancel->text(), QStringLiteral("取消"));
    // Enter presses 登录, which holds the focus: neither box is entered (and emptied) at start.
    EXPECT_TRUE(login->isDefault());
    EXPECT_EQ(w->focusWidget(), login);
}

TEST_F(LoginWindowTest, UntouchedBoxesLogInAsAdminAndHandOverTheConnection)
{
    auto w = open();
    const double before = datetime::nowInSeconds();
    pressLogin(*w);

    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_FALSE(w->cancelled());
    EXPECT_EQ(state.appTitle, kTitle);

    ASSERT_TRUE(state.dbConnection);
    EXPECT_EQ(queryValue(state.dbConnection, QStringLiteral("select database()")), QStringLiteral("yunsugongsi"));
    EXPECT_EQ(queryValue(state.dbConnection, QStringLiteral("select @@character_set_client")), QStringLiteral("gbk"));
    EXPECT_EQ(queryValue(state.dbConnection, QStringLiteral("select @@character_set_results")), QStringLiteral("gbk"));

    // Whole seconds of the local clock at the moment of the login.
    const double seconds = state.loginDateTime * 86400.0;
    EXPECT_NEAR(seconds, std::round(seconds), 1e-3);
    EXPECT_GE(state.loginDateTime, before);
    EXPECT_LE(state.loginDateTime, datetime::nowInSeconds() + 1.0 / 86400.0);
    // Nothing is remembered unless 记住密码 is ticked.
    EXPECT_FALSE(QFile::exists(iniPath));
}

TEST_F(LoginWindowTest, OfflineStopsBeforeTouchingTitleOrConnection)
{
    auto previous = connectStack(QStringLiteral("yunsugongsi"));
    state.dbConnection = previous;
    state.settings.connectivityUrl = QStringLiteral("http://127.0.0.1:%1/").arg(kClosedPort);
    auto w = open();
    pressLogin(*w);

    EXPECT_EQ(dialogs.messages(), QStringList { QStringLiteral("联网失败！请检查上网设备。") });
    EXPECT_EQ(dialogs.shown.last().caption, QStringLiteral("信息："));
    EXPECT_EQ(state.dbConnection, previous);
    EXPECT_TRUE(state.appTitle.isEmpty());
    EXPECT_EQ(state.loginDateTime, 0.0);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(userBox(*w)->text(), QStringLiteral("admin"));
    EXPECT_EQ(passwordBox(*w)->text(), QStringLiteral("123456"));
}

TEST_F(LoginWindowTest, RefusedConnectionLeavesNoneAndAFailedTryIsReplacedByTheNext)
{
    state.dbConnection = connectStack(QStringLiteral("yunsugongsi"));
    const int port = state.settings.dbPort;
    state.settings.dbPort = kClosedPort;
    auto w = open();
    pressLogin(*w);

    EXPECT_EQ(
        dialogs.messages(), QStringList { QStringLiteral("连接数据库失败！技术支持") + state.settings.supportContact });
    EXPECT_FALSE(state.dbConnection);
    EXPECT_EQ(state.appTitle, kTitle); // set before the connection was tried
    EXPECT_EQ(state.loginDateTime, 0.0);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(userBox(*w)->text(), QStringLiteral("admin"));

    state.settings.dbPort = port;
    dialogs.clear();
    pressLogin(*w);
    EXPECT_TRUE(dialogs.messages().isEmpty());
    ASSERT_TRUE(state.dbConnection);
    EXPECT_EQ(queryValue(state.dbConnection, QStringLiteral("select count(*) from mimabiao where yonghuming='admin'")),
        QStringLiteral("1"));
    EXPECT_FALSE(w->isVisible());
}

TEST_F(LoginWindowTest, AccountWithoutTheDatabaseOrWithoutTheUsersTable)
{
    // No rights at all: the database cannot be selected, so no connection is made.
    recreateDatabaseUser(QStringLiteral("fd_login_none"), QString());
    useDatabaseAccount(QStringLiteral("fd_login_none"), QStringLiteral("pw-fd_login_none"));
    auto w = open();
    pressLogin(*w);
    EXPECT_EQ(dialogs.lastMessage(), QStringLiteral("连接数据库失败！技术支持") + state.settings.supportContact);
    EXPECT_FALSE(state.dbConnection);

    // Rights on the vehicles only: the connection opens, the count query is refused.
    recreateDatabaseUser(
        QStringLiteral("fd_login_part"), QStringLiteral("grant select on yunsugongsi.celiangzongbiao to %1"));
    useDatabaseAccount(QStringLiteral("fd_login_part"), QStringLiteral("pw-fd_login_part"));
    dialogs.clear();
    pressLogin(*w);
    EXPECT_EQ(
        dialogs.messages(), QStringList { QStringLiteral("打开数据库失败！技术支持") + state.settings.supportContact });
    EXPECT_TRUE(state.dbConnection);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(state.loginDateTime, 0.0);
    EXPECT_EQ(userBox(*w)->text(), QStringLiteral("admin"));
    EXPECT_EQ(passwordBox(*w)->text(), QStringLiteral("123456"));

    mustExecute(admin, QStringLiteral("drop user 'fd_login_none'@'127.0.0.1'"));
    mustExecute(admin, QStringLiteral("drop user 'fd_login_part'@'127.0.0.1'"));
}

TEST_F(LoginWindowTest, WrongCredentialsEmptyBothBoxesAndKeepTheirColour)
{
    auto w = open();
    for (const auto& [user, password] : { std::pair { QStringLiteral("admin"), QStringLiteral("654321") },
             std::pair { QStringLiteral("nobody"), QStringLiteral("123456") }, std::pair { QString(), QString() } }) {
        dialogs.clear();
        loginAs(*w, user, password);
        EXPECT_EQ(dialogs.messages(), QStringList { kWrongCredentials }) << user.toStdString();
        EXPECT_TRUE(userBox(*w)->text().isEmpty());
        EXPECT_TRUE(passwordBox(*w)->text().isEmpty());
        EXPECT_EQ(accounts::textColour(userBox(*w)), kGrey);
        EXPECT_EQ(accounts::textColour(passwordBox(*w)), kGrey);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(state.loginDateTime, 0.0);
    }
}

TEST_F(LoginWindowTest, SurroundingSpacesAreIgnoredInTheQueryAndInTheRememberedValues)
{
    auto w = open();
    rememberBox(*w)->setChecked(true);
    // ASCII and full-width spaces around both values.
    loginAs(*w, QStringLiteral("  admin\u3000"), QStringLiteral("\u3000123456 "));
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_EQ(remembered("dlyhm"), QStringLiteral("admin"));
    EXPECT_EQ(remembered("dlmm"), QStringLiteral("123456"));

    // A tab is not a space: it stays part of the password.
    auto again = open();
    loginAs(*again, QStringLiteral("admin"), QStringLiteral("123456\t"));
    EXPECT_EQ(dialogs.lastMessage(), kWrongCredentials);
}

TEST_F(LoginWindowTest, InjectionInEitherBoxIsOnlyAWrongLogin)
{
    const QStringList attempts = {
        QStringLiteral("' or '1'='1"),
        QStringLiteral("admin'-- "),
        QStringLiteral("admin'#"),
        QStringLiteral("x' or 1=1 or 'a'='"),
        QStringLiteral("\\' or 1=1 -- "),
        // 縗 is GBK BF 5C: its second byte is a backslash to a client that does not know GBK.
        QStringLiteral("縗' or 1=1 -- "),
        QStringLiteral("縗\\' or 1=1 -- "),
        QStringLiteral("'; update mimabiao set mima='' -- "),
    };
    const QString before = usersSnapshot();
    auto w = open();
    for (const QString& attempt : attempts) {
        for (bool inUserBox : { true, false }) {
            dialogs.clear();
            // Each attempt on its own: five wrong passwords in a row would lock admin.
            mustExecute(admin, QStringLiteral("delete from denglujilu where yonghuming='admin'"));
            loginAs(*w, inUserBox ? attempt : QStringLiteral("admin"), inUserBox ? QStringLiteral("123456") : attempt);
            EXPECT_EQ(dialogs.messages(), QStringList { kWrongCredentials })
                << attempt.toStdString() << (inUserBox ? " in the user name" : " in the password");
            EXPECT_TRUE(w->isVisible());
        }
    }
    EXPECT_EQ(usersSnapshot(), before);
}

TEST_F(LoginWindowTest, MatchingRowsAreCountedAndChineseCredentialsMatch)
{
    const QString user = kTestUserPrefix + QStringLiteral("调度员");
    addUser(user, QStringLiteral("密码甲"));
    addUser(user, QStringLiteral("密码甲"));
    auto w = open();
    loginAs(*w, user, QStringLiteral("密码甲"));
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
    EXPECT_EQ(w->result(), QDialog::Accepted);

    auto other = open();
    loginAs(*other, user, QStringLiteral("密码乙"));
    EXPECT_EQ(dialogs.lastMessage(), kWrongCredentials);
}

TEST_F(LoginWindowTest, TickedLoginIsRememberedAndRestoredNextTime)
{
    {
        auto w = open();
        rememberBox(*w)->setChecked(true);
        pressLogin(*w);
        ASSERT_EQ(w->result(), QDialog::Accepted);
    }
    EXPECT_EQ(remembered("dlyhm"), QStringLiteral("admin"));
    EXPECT_EQ(remembered("dlmm"), QStringLiteral("123456"));
    EXPECT_EQ(remembered("dlxz"), QStringLiteral("1"));

    // Change what is remembered, to see that the restore really reads it.
    RememberedLogin(iniPath).remember(QStringLiteral("张三"), QStringLiteral("密码"));
    auto w = open();
    EXPECT_TRUE(rememberBox(*w)->isChecked());
    EXPECT_EQ(userBox(*w)->text(), QStringLiteral("张三"));
    EXPECT_EQ(passwordBox(*w)->text(), QStringLiteral("密码"));
    EXPECT_EQ(passwordBox(*w)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(accounts::textColour(userBox(*w)), kGrey);
    EXPECT_EQ(accounts::textColour(passwordBox(*w)), kGrey);
    EXPECT_EQ(w->focusWidget(), loginButton(*w));

    // Entering a restored box still empties it.
    focusIn(userBox(*w), Qt::MouseFocusReason);
    EXPECT_TRUE(userBox(*w)->text().isEmpty());
}

TEST_F(LoginWindowTest, APasswordAnAdministratorSetMustBeChangedAtTheLoginAndTheRoleIsTaken)
{
    const QString user = kTestUserPrefix + QStringLiteral("reset");
    ASSERT_EQ(accounts::addAccount(*admin, user, Role::Cashier, QStringLiteral("first-pass"), false), QString());
    auto w = open();
    rememberBox(*w)->setChecked(true);
    // Put off: the login is refused and the window stays.
    loginAs(*w, user, QStringLiteral("first-pass"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(state.loginRole, Role::None);

    // A new password that breaks the rules is asked again; then the change logs in.
    dialogs.clear();
    dialogs.inputs = {QStringLiteral("short"), QStringLiteral("second-pass"), QStringLiteral("second-pass")};
    loginAs(*w, user, QStringLiteral("first-pass"));
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_EQ(dialogs.messages(),
        (QStringList {QStringLiteral("新密码至少需要8个字符。"), QStringLiteral("新密码更改成功！请妥善保存密码。")}));
    EXPECT_EQ(state.loginRole, Role::Cashier);
    EXPECT_EQ(state.loginUser, user);
    // The typed password is out of date: not remembered.
    EXPECT_EQ(remembered("dlyhm"), user);
    EXPECT_EQ(remembered("dlmm"), QString());
    EXPECT_EQ(accounts::checkPassword(*admin, user, QStringLiteral("second-pass"), QString(), false).mustChange, false);
}

TEST_F(LoginWindowTest, UntickedLoginLeavesTheEarlierRememberedLogin)
{
    const QString user = kTestUserPrefix + QStringLiteral("b");
    addUser(user, QStringLiteral("pw-b"));
    RememberedLogin(iniPath).remember(QStringLiteral("admin"), QStringLiteral("123456"));
    {
        auto w = open();
        rememberBox(*w)->setChecked(false);
        loginAs(*w, user, QStringLiteral("pw-b"));
        ASSERT_EQ(w->result(), QDialog::Accepted);
    }
    EXPECT_EQ(remembered("dlyhm"), QStringLiteral("admin"));
    EXPECT_EQ(remembered("dlmm"), QStringLiteral("123456"));

    // The next start restores it and ticks the box again.
    auto w = open();
    EXPECT_TRUE(rememberBox(*w)->isChecked());
    EXPECT_EQ(userBox(*w)->text(), QStringLiteral("admin"));

    // A failed login never writes, ticked or not.
    RememberedLogin(iniPath).remember(QStringLiteral("admin"), QStringLiteral("123456"));
    loginAs(*w, user, QStringLiteral("wrong"));
    EXPECT_EQ(dialogs.lastMessage(), kWrongCredentials);
    EXPECT_EQ(remembered("dlyhm"), QStringLiteral("admin"));
}

TEST_F(LoginWindowTest, OnlyAFlagOfOneRestores)
{
    for (const QString& flag : { QStringLiteral("0"), QStringLiteral("2"), QStringLiteral("yes"), QString() }) {
        {
            QSettings ini(iniPath, QSettings::IniFormat);
            ini.setValue(QStringLiteral("dlyhm"), QStringLiteral("张三"));
            ini.setValue(QStringLiteral("dlmm"), QStringLiteral("secret"));
            if (flag.isEmpty())
                ini.remove(QStringLiteral("dlxz"));
            else
                ini.setValue(QStringLiteral("dlxz"), flag);
        }
        auto w = open();
        EXPECT_FALSE(rememberBox(*w)->isChecked()) << flag.toStdString();
        EXPECT_EQ(userBox(*w)->text(), QStringLiteral("admin"));
        EXPECT_EQ(passwordBox(*w)->text(), QStringLiteral("123456"));
        EXPECT_EQ(passwordBox(*w)->echoMode(), QLineEdit::Normal);
    }
}

TEST_F(LoginWindowTest, EnteringABoxEmptiesItEveryTime)
{
    auto w = open();
    QLineEdit* user = userBox(*w);
    QLineEdit* password = passwordBox(*w);

    focusIn(user, Qt::TabFocusReason);
    EXPECT_TRUE(user->text().isEmpty());
    EXPECT_EQ(accounts::textColour(user), QColor(Qt::black));
    EXPECT_EQ(password->text(), QStringLiteral("123456")); // only the entered box
    EXPECT_EQ(accounts::textColour(password), kGrey);

    focusIn(password, Qt::MouseFocusReason);
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(accounts::textColour(password), QColor(Qt::black));

    // Coming back to a box empties it again.
    user->setText(QStringLiteral("someone"));
    focusIn(user, Qt::BacktabFocusReason);
    EXPECT_TRUE(user->text().isEmpty());

    // The window becoming active again hands the focus back to the box it was in: typing stays.
    user->setText(QStringLiteral("typed"));
    focusIn(user, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(user->text(), QStringLiteral("typed"));
}

TEST_F(LoginWindowTest, RealFocusMovesThroughTheHandlers)
{
    auto w = open();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::mouseClick(userBox(*w), Qt::LeftButton);
    EXPECT_TRUE(userBox(*w)->hasFocus());
    EXPECT_TRUE(userBox(*w)->text().isEmpty());
    QTest::keyClicks(userBox(*w), QStringLiteral("admin"));
    QTest::keyClick(userBox(*w), Qt::Key_Tab);
    EXPECT_TRUE(passwordBox(*w)->hasFocus());
    EXPECT_TRUE(passwordBox(*w)->text().isEmpty());
    QTest::keyClicks(passwordBox(*w), QStringLiteral("123456"));
    // Enter in the password box presses the default button.
    QTest::keyClick(passwordBox(*w), Qt::Key_Return);
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
    EXPECT_EQ(w->result(), QDialog::Accepted);
}

TEST_F(LoginWindowTest, CancelAndCloseEndTheProgram)
{
    auto w = open();
    QTest::mouseClick(find<QPushButton>(w.get(), QStringLiteral("按钮_取消")), Qt::LeftButton);
    EXPECT_TRUE(w->cancelled());
    EXPECT_EQ(w->result(), QDialog::Rejected);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(state.dbConnection);

    // Closing the window any other way does not let the program go on without a login either.
    auto closed = open();
    EXPECT_FALSE(closed->cancelled());
    QTest::keyClick(closed.get(), Qt::Key_Escape);
    EXPECT_TRUE(closed->cancelled());
    auto byCloseBox = open();
    byCloseBox->close();
    EXPECT_TRUE(byCloseBox->cancelled());
}

TEST_F(LoginWindowTest, LeftPressOnTheLabelOpensThePasswordWindow)
{
    auto w = open();
    int opened = 0;
    w->setPasswordOpener([&] { ++opened; });
    auto* label = find<QLabel>(w.get(), QStringLiteral("透明标签_改密"));
    QTest::mousePress(label, Qt::RightButton);
    EXPECT_EQ(opened, 0);
    QTest::mousePress(label, Qt::LeftButton);
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(w->isVisible()); // the login stays open under it
}

TEST_F(LoginWindowTest, LoginAfterThePasswordWindowClosedConnectsAnew)
{
    auto w = open();
    std::shared_ptr<db::Connection> used;
    w->setPasswordOpener([&] {
        accounts::PasswordWindow password(state, dialogs, w.get());
        used = state.dbConnection;
    });
    QTest::mousePress(find<QLabel>(w.get(), QStringLiteral("透明标签_改密")), Qt::LeftButton);
    ASSERT_TRUE(used);
    EXPECT_FALSE(used->isOpen());
    EXPECT_FALSE(state.dbConnection);

    pressLogin(*w);
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
    ASSERT_TRUE(state.dbConnection);
    EXPECT_NE(state.dbConnection, used);
    EXPECT_TRUE(state.dbConnection->isOpen());
}

} // namespace
