// The password window against the stack's database: its own connection, the four checks in
// order, the count query, the update of every row of the user and the connection closed with it.
#include "AccountsFixture.h"

#include "accounts/PasswordWindow.h"
#include "accounts/Widgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace fd;
using namespace fd::test;
using accounts::PasswordWindow;

namespace {

const QString kWrongCredentials = QStringLiteral("用户名和密码不正确！请重新输入。");
const QString kChanged = QStringLiteral("新密码更改成功！请妥善保存密码。");

class PasswordWindowTest : public AccountsFixture {
protected:
    void SetUp() override
    {
        AccountsFixture::SetUp();
        user = kTestUserPrefix + QStringLiteral("pw");
        addUser(user, QStringLiteral("old-1"));
        addUser(user, QStringLiteral("old-1"));
        addUser(kTestUserPrefix + QStringLiteral("other"), QStringLiteral("old-1"));
    }

    std::unique_ptr<PasswordWindow> open()
    {
        auto window = std::make_unique<PasswordWindow>(state, dialogs);
        window->show();
        return window;
    }

    QLineEdit* box(PasswordWindow& w, const char* role)
    {
        return find<QLineEdit>(&w, QStringLiteral("编辑框_") + QString::fromUtf8(role));
    }

    void fill(
        PasswordWindow& w, const QString& name, const QString& current, const QString& fresh, const QString& confirm)
    {
        box(w, "用户名")->setText(name);
        box(w, "原始密码")->setText(current);
        box(w, "新密码")->setText(fresh);
        box(w, "确认新密码")->setText(confirm);
    }

    QStringList texts(PasswordWindow& w)
    {
        return { box(w, "用户名")->text(), box(w, "原始密码")->text(), box(w, "新密码")->text(),
            box(w, "确认新密码")->text() };
    }

    void submit(PasswordWindow& w)
    {
        QTest::mouseClick(find<QPushButton>(&w, QStringLiteral("按钮_提交")), Qt::LeftButton);
    }

    QString user;
};

TEST_F(PasswordWindowTest, OpensItsOwnConnectionToTheServerAddressWithTheTitle)
{
    state.appTitle = kProgramTitle;
    auto w = open();
    EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
    EXPECT_EQ(w->windowTitle(), state.appTitle);
    EXPECT_EQ(w->size(), QSize(380, 348));
    ASSERT_TRUE(state.dbConnection);
    EXPECT_EQ(queryValue(state.dbConnection, QStringLiteral("select database()")), QStringLiteral("yunsugongsi"));
    // Told GBK like the login, so Chinese passwords compare the same way in both windows.
    EXPECT_EQ(queryValue(state.dbConnection, QStringLiteral("select @@character_set_client")), QStringLiteral("gbk"));

    const struct {
        const char* name;
        QRect geometry;
        const char* text;
    } labels[] = {
        { "透明标签_用户名", { 64, 32, 80, 32 }, "用户名" },
        { "透明标签_原始密码", { 64, 90, 88, 32 }, "原始密码" },
        { "透明标签_新密码", { 64, 152, 80, 32 }, "新密码" },
        { "透明标签_新确认密码", { 64, 208, 104, 32 }, "新确认密码" },
    };
    for (const auto& l : labels) {
        auto* label = find<QLabel>(w.get(), QString::fromUtf8(l.name));
        ASSERT_TRUE(label);
        EXPECT_EQ(label->geometry(), l.geometry) << l.name;
        EXPECT_EQ(label->text(), QString::fromUtf8(l.text));
    }
    const struct {
        const char* role;
        QRect geometry;
        QLineEdit::EchoMode echo;
    } boxes[] = {
        { "用户名", { 174, 32, 146, 32 }, QLineEdit::Normal },
        { "原始密码", { 174, 91, 146, 32 }, QLineEdit::Normal },
        { "新密码", { 174, 150, 146, 32 }, QLineEdit::Password },
        { "确认新密码", { 174, 210, 146, 32 }, QLineEdit::Password },
    };
    for (const auto& b : boxes) {
        QLineEdit* edit = box(*w, b.role);
        ASSERT_TRUE(edit);
        EXPECT_EQ(edit->geometry(), b.geometry) << b.role;
        EXPECT_EQ(edit->echoMode(), b.echo) << b.role;
        EXPECT_TRUE(edit->text().isEmpty());
        EXPECT_EQ(accounts::textColour(edit), QColor(Qt::black));
        EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(Qt::white));
    }
    auto* ok = find<QPushButton>(w.get(), QStringLiteral("按钮_提交"));
    EXPECT_EQ(ok->geometry(), QRect(76, 262, 216, 40));
    EXPECT_EQ(ok->text(), QStringLiteral("确定"));
}

TEST_F(PasswordWindowTest, BeforeAnyLoginTheCaptionIsEmpty)
{
    auto w = open();
    EXPECT_TRUE(w->windowTitle().isEmpty());
    EXPECT_TRUE(state.dbConnection);
}

TEST_F(PasswordWindowTest, OfflineLeavesTheConnectionAsItWas)
{
    auto previous = connectStack(QStringLiteral("yunsugongsi"));
    state.dbConnection = previous;
    state.appTitle = kProgramTitle;
    state.settings.connectivityUrl = QStringLiteral("http://127.0.0.1:%1/").arg(kClosedPort);
    auto w = open();
    EXPECT_EQ(dialogs.messages(), QStringList { QStringLiteral("联网失败！请检查上网设备。") });
    EXPECT_EQ(state.dbConnection, previous);
    EXPECT_TRUE(w->windowTitle().isEmpty()); // stopped before the caption

    // The window still works on the connection it found.
    dialogs.clear();
    fill(*w, user, QStringLiteral("old-1"), QStringLiteral("new-1"), QStringLiteral("new-1"));
    submit(*w);
    EXPECT_EQ(dialogs.messages(), QStringList { kChanged });
    EXPECT_EQ(passwordOf(user), QStringLiteral("new-1|new-1"));
}

TEST_F(PasswordWindowTest, NoConnectionAtOpeningThenTheSearchFails)
{
    state.dbConnection = connectStack(QStringLiteral("yunsugongsi"));
    state.settings.dbPort = kClosedPort;
    auto w = open();
    EXPECT_EQ(dialogs.messages(), QStringList { QStringLiteral("连接数据库失败！") });
    EXPECT_FALSE(state.dbConnection);
    EXPECT_TRUE(w->isVisible());

    dialogs.clear();
    fill(*w, user, QStringLiteral("old-1"), QStringLiteral("new-1"), QStringLiteral("new-1"));
    submit(*w);
    EXPECT_EQ(dialogs.messages(), QStringList { QStringLiteral("查找失败") });
    EXPECT_EQ(
        texts(*w), (QStringList { user, QStringLiteral("old-1"), QStringLiteral("new-1"), QStringLiteral("new-1") }));
    EXPECT_EQ(passwordOf(user), QStringLiteral("old-1|old-1"));
}

TEST_F(PasswordWindowTest, TheFirstEmptyBoxIsNamedAndSpacesCountAsContent)
{
    auto w = open();
    const QString space = QStringLiteral(" ");
    const struct {
        QStringList boxes;
        const char* message;
    } cases[] = {
        { { "", "", "", "" }, "请输入用户名。" },
        { { "", "x", "y", "y" }, "请输入用户名。" },
        { { space, "", "", "" }, "请输入原始密码。" },
        { { "a", space, "", "x" }, "请输入新密码。" },
        { { "a", "b", space, "" }, "请输入确认新密码。" },
    };
    for (const auto& c : cases) {
        dialogs.clear();
        fill(*w, c.boxes[0], c.boxes[1], c.boxes[2], c.boxes[3]);
        submit(*w);
        EXPECT_EQ(dialogs.messages(), QStringList { QString::fromUtf8(c.message) }) << c.message;
        EXPECT_EQ(texts(*w), c.boxes) << "the boxes stay as they were";
    }
    EXPECT_EQ(passwordOf(user), QStringLiteral("old-1|old-1"));
}

TEST_F(PasswordWindowTest, DifferingNewPasswordsEmptyOnlyTheNewBoxes)
{
    auto w = open();
    for (const auto& [fresh, confirm] : { std::pair { QStringLiteral("new-1"), QStringLiteral("new-2") },
             std::pair { QStringLiteral("new-1"), QStringLiteral("new-1 ") }, // trimmed alike, still different
             std::pair { QStringLiteral("Abc"), QStringLiteral("abc") } }) {
        dialogs.clear();
        fill(*w, user, QStringLiteral("old-1"), fresh, confirm);
        submit(*w);
        EXPECT_EQ(dialogs.messages(), QStringList { QStringLiteral("对不起，两次输入的新密码不同。请重新输入") });
        EXPECT_EQ(texts(*w), (QStringList { user, QStringLiteral("old-1"), QString(), QString() }));
    }
    EXPECT_EQ(passwordOf(user), QStringLiteral("old-1|old-1"));
}

TEST_F(PasswordWindowTest, WrongCurrentPasswordEmptiesUserAndCurrentBoxes)
{
    auto w = open();
    fill(*w, user, QStringLiteral("old-2"), QStringLiteral("new-1"), QStringLiteral("new-1"));
    submit(*w);
    EXPECT_EQ(dialogs.messages(), QStringList { kWrongCredentials });
    EXPECT_EQ(texts(*w), (QStringList { QString(), QString(), QStringLiteral("new-1"), QStringLiteral("new-1") }));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(passwordOf(user), QStringLiteral("old-1|old-1"));
}

TEST_F(PasswordWindowTest, ChangesEveryRowOfTheUserAndClosesTheConnectionWithTheWindow)
{
    const QString before = usersSnapshot();
    auto w = open();
    std::shared_ptr<db::Connection> used = state.dbConnection;
    ASSERT_TRUE(used);
    // Spaces around the user name and the current password are not part of them.
    fill(*w, QStringLiteral("  ") + user + QStringLiteral("\u3000"), QStringLiteral(" old-1 "),
        QStringLiteral(" new-1 "), QStringLiteral(" new-1 "));
    submit(*w);
    EXPECT_EQ(dialogs.messages(), QStringList { kChanged });
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_EQ(passwordOf(user), QStringLiteral("new-1|new-1"));
    EXPECT_EQ(passwordOf(kTestUserPrefix + QStringLiteral("other")), QStringLiteral("old-1"));
    EXPECT_EQ(passwordOf(QStringLiteral("admin")), QStringLiteral("123456"));
    EXPECT_NE(usersSnapshot(), before);

    w.reset();
    EXPECT_FALSE(state.dbConnection);
    EXPECT_FALSE(used->isOpen());
}

TEST_F(PasswordWindowTest, ClosedByTheUserItClosesTheConnectionToo)
{
    auto w = open();
    std::shared_ptr<db::Connection> used = state.dbConnection;
    ASSERT_TRUE(used);
    w->close();
    w.reset();
    EXPECT_FALSE(state.dbConnection);
    EXPECT_FALSE(used->isOpen());
}

TEST_F(PasswordWindowTest, ANewPasswordOfSpacesIsStoredEmpty)
{
    auto w = open();
    fill(*w, user, QStringLiteral("old-1"), QStringLiteral("   "), QStringLiteral("   "));
    submit(*w);
    EXPECT_EQ(dialogs.messages(), QStringList { kChanged });
    EXPECT_EQ(passwordOf(user), QStringLiteral("|"));
}

TEST_F(PasswordWindowTest, ChineseAndQuotedPasswordsAreStoredAsTyped)
{
    QString current = QStringLiteral("old-1");
    for (const QString& fresh : { QStringLiteral("a'b\\c\"d"), QStringLiteral("縗'"), QStringLiteral("密码甲") }) {
        auto w = open();
        fill(*w, user, current, fresh, fresh);
        submit(*w);
        EXPECT_EQ(dialogs.lastMessage(), kChanged) << fresh.toStdString();
        EXPECT_EQ(passwordOf(user), fresh + QLatin1Char('|') + fresh);
        current = fresh;
    }
    // The GBK bytes of 密码甲 in the table, not a mangled form.
    EXPECT_EQ(
        queryValue(admin, db::Statement("select hex(mima) from mimabiao where yonghuming=? limit 1").bind(user)),
        QStringLiteral("C3DCC2EBBCD7"));
}

TEST_F(PasswordWindowTest, InjectionInTheUserOrCurrentPasswordChangesNothing)
{
    const QString before = usersSnapshot();
    auto w = open();
    for (const QString& attempt : { QStringLiteral("' or '1'='1"), QStringLiteral("x' or 1=1 -- "),
             QStringLiteral("縗' or 1=1 -- "), QStringLiteral("\\' or 1=1#") }) {
        for (bool inUser : { true, false }) {
            dialogs.clear();
            fill(*w, inUser ? attempt : user, inUser ? QStringLiteral("old-1") : attempt, QStringLiteral("hacked"),
                QStringLiteral("hacked"));
            submit(*w);
            EXPECT_EQ(dialogs.messages(), QStringList { kWrongCredentials }) << attempt.toStdString();
        }
    }
    EXPECT_EQ(usersSnapshot(), before);
}

TEST_F(PasswordWindowTest, AnUpdateTheServerRefusesIsReported)
{
    auto w = open();
    // Longer than the column holds: the strict server refuses the update.
    const QString tooLong(65, QLatin1Char('p'));
    fill(*w, user, QStringLiteral("old-1"), tooLong, tooLong);
    submit(*w);
    EXPECT_EQ(dialogs.messages(), QStringList { QStringLiteral("新密码更改失败！请重新更改。") });
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(texts(*w), (QStringList { user, QStringLiteral("old-1"), tooLong, tooLong }));

    // A character GBK cannot hold is refused before anything is sent.
    dialogs.clear();
    const QString emoji = QStringLiteral("pw\U0001F600");
    fill(*w, user, QStringLiteral("old-1"), emoji, emoji);
    submit(*w);
    EXPECT_EQ(dialogs.messages(), QStringList { QStringLiteral("新密码更改失败！请重新更改。") });
    EXPECT_EQ(passwordOf(user), QStringLiteral("old-1|old-1"));
}

} // namespace
