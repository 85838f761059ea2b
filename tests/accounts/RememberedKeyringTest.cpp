// The remembered passwords in a desktop keyring: a private session bus (dbus-daemon) with
// gnome-keyring-daemon's Secret Service on it, both started by this program, which owns the bus
// from its first use. Skipped when either daemon is missing or does not start.
#include "accounts/RememberedLogin.h"
#include "common/OwnerOnlyFile.h"
#include "sms/RememberedAccount.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>

using fd::accounts::RememberedLogin;
using fd::sms::RememberedAccount;

namespace {

const QString kSecrets = QStringLiteral("org.freedesktop.secrets");

// The bus and the keyring daemon of this test program, stopped when it ends.
class PrivateDesktop {
public:
    ~PrivateDesktop()
    {
        for (QProcess* p : {&m_keyring, &m_bus}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(3000))
                    p->kill();
                p->waitForFinished(3000);
            }
        }
    }

    // Starts the bus; the empty text, or why it could not start.
    QString startBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            return QStringLiteral("dbus-daemon is not installed");
        m_bus.start(daemon,
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                QStringLiteral("--print-address=1")});
        if (!m_bus.waitForStarted(5000))
            return QStringLiteral("dbus-daemon did not start");
        const QDeadlineTimer deadline(5000);
        while (!m_bus.canReadLine() && !deadline.hasExpired())
            m_bus.waitForReadyRead(100);
        const QByteArray address = m_bus.readLine().trimmed();
        if (address.isEmpty())
            return QStringLiteral("dbus-daemon gave no address");
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        if (!QDBusConnection::sessionBus().isConnected())
            return QStringLiteral("the private bus cannot be reached");
        return {};
    }

    // Starts the keyring daemon on the bus with a new login keyring, unlocked, in a folder of the
    // test's own; the empty text, or why it could not start.
    QString startKeyring()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
        if (daemon.isEmpty())
            return QStringLiteral("gnome-keyring-daemon is not installed");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        m_keyring.setProcessEnvironment(env);
        m_keyring.start(daemon,
            {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
        if (!m_keyring.waitForStarted(5000))
            return QStringLiteral("gnome-keyring-daemon did not start");
        m_keyring.write("unlock"); // the new login keyring's password, read until the end of input
        m_keyring.waitForBytesWritten(5000);
        m_keyring.closeWriteChannel();
        const QDeadlineTimer deadline(10000);
        while (!QDBusConnection::sessionBus().interface()->isServiceRegistered(kSecrets).value()) {
            if (deadline.hasExpired() || m_keyring.state() == QProcess::NotRunning)
                return QStringLiteral("gnome-keyring-daemon did not take the Secret Service's name: ")
                    + QString::fromLocal8Bit(m_keyring.readAllStandardError());
            QThread::msleep(20);
        }
        return {};
    }

private:
    QTemporaryDir m_home;
    QProcess m_bus;
    QProcess m_keyring;
};

PrivateDesktop* desktop = nullptr;

class RememberedKeyringTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        desktop = new PrivateDesktop;
        busError = desktop->startBus();
    }
    static void TearDownTestSuite()
    {
        delete desktop;
        desktop = nullptr;
    }
    void SetUp() override
    {
        if (!busError.isEmpty())
            GTEST_SKIP() << busError.toStdString();
        path = dir.filePath(QStringLiteral("Network.ini"));
    }

    // What an earlier version left: the three values, the password in plain text.
    void writeOldFile(const QString& user, const QString& password)
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.setValue(QStringLiteral("dlyhm"), user);
        ini.setValue(QStringLiteral("dlmm"), password);
        ini.setValue(QStringLiteral("dlxz"), 1);
    }
    bool fileHas(const QString& name) const { return QSettings(path, QSettings::IniFormat).contains(name); }

    static QString busError;
    QTemporaryDir dir;
    QString path;
};

QString RememberedKeyringTest::busError;

// Runs first: the keyring daemon is not started yet.
TEST_F(RememberedKeyringTest, ABusWithoutSecretServiceKeepsThePasswordInTheFile)
{
    ASSERT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(kSecrets).value());
    writeOldFile(QStringLiteral("张三"), QStringLiteral("旧密码"));
    RememberedLogin store(path);
    EXPECT_FALSE(store.usesKeyring());
    EXPECT_EQ(store.password(), QStringLiteral("旧密码"));
    EXPECT_TRUE(fileHas(QStringLiteral("dlmm")));

    store.remember(QStringLiteral("李四"), QStringLiteral("新密码"));
    EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("dlmm")).toString(), QStringLiteral("新密码"));
}

TEST_F(RememberedKeyringTest, APasswordInTheFileIsMovedToTheKeyringAndNewOnesGoThere)
{
    const QString keyringError = desktop->startKeyring();
    if (!keyringError.isEmpty())
        GTEST_SKIP() << keyringError.toStdString();

    writeOldFile(QStringLiteral("张三"), QStringLiteral("旧密码 = \"x\""));
    {
        RememberedLogin store(path);
        ASSERT_TRUE(store.usesKeyring());
        EXPECT_EQ(store.password(), QStringLiteral("旧密码 = \"x\""));
    }
    // Moved: gone from the file, which keeps the rest and stays its owner's; the next reading
    // finds the password in the keyring.
    EXPECT_FALSE(fileHas(QStringLiteral("dlmm")));
    EXPECT_FALSE(fd::othersMayRead(path));
    {
        RememberedLogin store(path);
        EXPECT_EQ(store.userName(), QStringLiteral("张三"));
        EXPECT_EQ(store.ticked(), 1);
        EXPECT_EQ(store.password(), QStringLiteral("旧密码 = \"x\""));
    }

    // A new login remembered: the keyring's entry changes, the file never gets it.
    RememberedLogin(path).remember(QStringLiteral("李四"), QStringLiteral("新密码"));
    EXPECT_FALSE(fileHas(QStringLiteral("dlmm")));
    EXPECT_EQ(RememberedLogin(path).userName(), QStringLiteral("李四"));
    EXPECT_EQ(RememberedLogin(path).password(), QStringLiteral("新密码"));

    // The SMS account in the same file has an entry of its own.
    RememberedAccount(path).remember(QStringLiteral("demo"), QStringLiteral("demo123"));
    EXPECT_FALSE(fileHas(QStringLiteral("mm")));
    EXPECT_EQ(RememberedAccount(path).password(), QStringLiteral("demo123"));
    EXPECT_EQ(RememberedLogin(path).password(), QStringLiteral("新密码"));

    // Another file's store has nothing in the keyring, and the user's own store's entry is not the
    // one a chosen file uses.
    const QString other = dir.filePath(QStringLiteral("other.ini"));
    EXPECT_TRUE(RememberedLogin(other).password().isEmpty());
    EXPECT_NE(RememberedLogin(other).keyringKey(), RememberedLogin(path).keyringKey());
    EXPECT_NE(RememberedLogin().keyringKey(), RememberedLogin(path).keyringKey());
}

TEST_F(RememberedKeyringTest, AWindowGetsTheKeyringsPasswordWhenItAnswersAndNeverAfterItIsGone)
{
    const QString keyringError = desktop->startKeyring();
    if (!keyringError.isEmpty())
        GTEST_SKIP() << keyringError.toStdString();
    RememberedLogin(path).remember(QStringLiteral("张三"), QStringLiteral("钥匙环里的"));
    ASSERT_FALSE(fileHas(QStringLiteral("dlmm")));
    const RememberedLogin store(path);

    // The call returns before the keyring answers: the window's event loop is never held for it.
    QStringList delivered;
    QObject window;
    store.readPassword(&window, [&](const QString& password) { delivered << password; });
    EXPECT_TRUE(delivered.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !delivered.isEmpty(); }, 5000));
    EXPECT_EQ(delivered, QStringList {QStringLiteral("钥匙环里的")});

    // A password an earlier version left in the file comes at once and moves to the keyring meanwhile.
    writeOldFile(QStringLiteral("张三"), QStringLiteral("文件里的"));
    {
        const RememberedLogin old(path);
        QObject window;
        QStringList fromFile;
        old.readPassword(&window, [&](const QString& password) { fromFile << password; });
        EXPECT_EQ(fromFile, QStringList {QStringLiteral("文件里的")});
        EXPECT_TRUE(QTest::qWaitFor([&] { return !fileHas(QStringLiteral("dlmm")); }, 5000));
    }
    EXPECT_EQ(RememberedLogin(path).password(), QStringLiteral("文件里的"));

    // A window closed before the answer gets nothing.
    QStringList late;
    auto closed = std::make_unique<QObject>();
    store.readPassword(closed.get(), [&](const QString& password) { late << password; });
    closed.reset();
    QTest::qWait(500);
    EXPECT_TRUE(late.isEmpty());
}

} // namespace
