// The program's start: the login window shows before the rest of the program is loaded, the main
// window opens once (behind the login, or after it when the login ends first), and the full list
// loads only after a login that was not cancelled. The login runs against the stack's database.
#include "app/Startup.h"
#include "accounts/LoginWindow.h"
#include "accounts/RememberedLogin.h"
#include "app/MainWindow.h"
#include "app/ProgramParts.h"
#include "backup/BackupRun.h"
#include "BoundStatements.h"
#include "common/AppState.h"
#include "fleet/FleetList.h"
#include "support/ListWait.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>
#include <utility>

using namespace fd;
using namespace fd::test;

namespace {

const QString kPlate = QStringLiteral("豫A启动01");
const QString kLoadFailure = QStringLiteral("找不到程序文件 fleetdesk-program.so");

// The program's own parts, counting what the start asks of them. The test program has set up the
// client libraries itself, and ends them itself.
class CountingModule final : public ProgramModule {
public:
    void start() override {}
    accounts::LoginCheck checkLogin(
        AppState& state, ui::Dialogs& dialogs, const QString& userName, const QString& password) override
    {
        return parts.checkLogin(state, dialogs, userName, password);
    }
    void openPasswordWindow(AppState&, ui::Dialogs&) override {}
    QWidget* openMainWindow(AppState& state, ui::Dialogs& dialogs) override
    {
        ++mainWindowsOpened;
        QWidget* window = parts.openMainWindow(state, dialogs);
        if (onMainWindowOpened)
            onMainWindowOpened();
        return window;
    }
    void afterLogin() override
    {
        ++afterLogins;
        parts.afterLogin();
    }
    void shutdown() override {}

    ProgramParts parts;
    int mainWindowsOpened = 0;
    int afterLogins = 0;
    std::function<void()> onMainWindowOpened;
};

// What the user does, and when.
enum class Action {
    LoginBehindMain, // 登录 once the main window has opened behind the login
    CancelBehindMain, // 取消 then
    LoginAtOnce, // 登录 as soon as the login window is on the screen, before the main window opens
    CancelAtOnce, // 取消 then
    NoModule, // nothing: the module cannot be loaded
};

struct Case {
    const char* name;
    Action action;
    Startup::Outcome outcome;
    int loads; // of the module
    int mainWindows; // opened
    bool mainBehindLogin; // the main window opened while the login was still open
    bool listed; // the full list loaded
};

class StartupTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        state.settings = stackSettings();
        admin = connectStack(QStringLiteral("yunsugongsi"));
        ASSERT_TRUE(admin);
        mustRun(admin, deletePlate());
        backup::Outcome good;
        good.ok = true;
        good.started = QDateTime::currentDateTime();
        ASSERT_TRUE(backup::recordOutcome(admin, good, QStringLiteral("test")));
        mustRun(admin,
            db::Statement("insert into celiangzongbiao (danganbianhao, cepaihao, cezuxingming) values ('QD-01', ?, '赵六')")
                .bind(kPlate));
    }

    void TearDown() override { mustRun(admin, deletePlate()); }

    static db::Statement deletePlate()
    {
        return db::Statement("delete from celiangzongbiao where cepaihao=?").bind(kPlate);
    }

    static void press(accounts::LoginWindow* login, const char* button)
    {
        QTest::mouseClick(login->findChild<QPushButton*>(QString::fromUtf8(button)), Qt::LeftButton);
    }

    AppState state;
    ScriptedDialogs dialogs;
    db::ConnectionPtr admin;
    QTemporaryDir dir;
};

// Runs a callback at the first exposure of a window, before anything else sees it.
class AtFirstExposure final : public QObject {
public:
    AtFirstExposure(QWindow* window, std::function<void()> action)
        : m_action(std::move(action))
    {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (m_action && event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            std::exchange(m_action, nullptr)();
        return false;
    }

private:
    std::function<void()> m_action;
};

TEST_P(StartupTest, TheLoginShowsFirstAndTheMainWindowOpensOnce)
{
    const Case& c = GetParam();
    CountingModule module;
    int loads = 0;
    bool loadedBeforeExposure = false;
    std::unique_ptr<Startup> startup;
    startup = std::make_unique<Startup>(state, dialogs,
        accounts::RememberedLogin(dir.filePath(QStringLiteral("remembered.ini"))),
        [&](QString* error) -> ProgramModule* {
            ++loads;
            loadedBeforeExposure = !startup->loginWindow() || !startup->loginWindow()->windowHandle()->isExposed();
            if (c.action == Action::NoModule) {
                *error = kLoadFailure;
                return nullptr;
            }
            return &module;
        });
    accounts::LoginWindow* login = startup->loginWindow();
    ASSERT_TRUE(login);

    bool mainBehindLogin = false;
    QString captionBehindLogin = QStringLiteral("<none>");
    module.onMainWindowOpened = [&] {
        mainBehindLogin = startup->loginWindow() && startup->loginWindow()->isVisible();
        if (c.action != Action::LoginBehindMain && c.action != Action::CancelBehindMain)
            return;
        // Once the start has put the login back above the main window.
        QTimer::singleShot(0, login, [&, login] {
            EXPECT_EQ(QApplication::activeModalWidget(), login);
            captionBehindLogin = module.parts.mainWindow()->windowTitle();
            press(login, c.action == Action::LoginBehindMain ? "按钮_登录" : "按钮_取消");
        });
    };
    AtFirstExposure atOnce(login->windowHandle(), [&] {
        EXPECT_EQ(loads, 0) << "the module is loaded before the login window is on the screen";
        if (c.action == Action::LoginAtOnce)
            press(login, "按钮_登录");
        else if (c.action == Action::CancelAtOnce)
            press(login, "按钮_取消");
    });

    const Startup::Outcome outcome = startup->run();
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(loads, c.loads);
    EXPECT_FALSE(loadedBeforeExposure);
    EXPECT_EQ(module.mainWindowsOpened, c.mainWindows);
    EXPECT_EQ(mainBehindLogin, c.mainBehindLogin);
    EXPECT_FALSE(startup->loginWindow()) << "the login window outlives the login";
    if (c.mainBehindLogin) {
        EXPECT_EQ(captionBehindLogin, QString()) << "before the login the main window's caption is empty";
    }
    EXPECT_EQ(module.afterLogins, c.outcome == Startup::Outcome::LoggedIn ? 1 : 0);

    MainWindow* main = module.parts.mainWindow();
    ASSERT_EQ(main != nullptr, c.mainWindows > 0);
    if (c.outcome == Startup::Outcome::Failed)
        EXPECT_EQ(dialogs.messages(), QStringList { kLoadFailure });
    else
        EXPECT_TRUE(dialogs.messages().isEmpty()) << dialogs.lastMessage().toStdString();
    if (main) {
        EXPECT_EQ(startup->mainWindow(), main);
        EXPECT_TRUE(main->isVisible());
        const fleet::FleetList& fleet = main->fleet();
        EXPECT_TRUE(waitForList(fleet));
        bool listed = false;
        for (int row = 1; row < fleet.gridRowCount(); ++row)
            listed = listed || fleet.gridText(row, 3) == kPlate;
        EXPECT_EQ(listed, c.listed);
        if (c.listed) {
            EXPECT_EQ(main->windowTitle(), kProgramTitle);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Start, StartupTest,
    ::testing::Values(
        Case{"LoginBehindMain", Action::LoginBehindMain, Startup::Outcome::LoggedIn, 1, 1, true, true},
        Case{"CancelBehindMain", Action::CancelBehindMain, Startup::Outcome::Cancelled, 1, 1, true, false},
        Case{"LoginAtOnce", Action::LoginAtOnce, Startup::Outcome::LoggedIn, 1, 1, false, true},
        Case{"CancelAtOnce", Action::CancelAtOnce, Startup::Outcome::Cancelled, 0, 0, false, false},
        Case{"NoModule", Action::NoModule, Startup::Outcome::Failed, 1, 0, false, false}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace
