// The deployment settings file: where it is found, what missing keys mean, what survives a save.
#include "common/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using fd::Settings;

namespace {

void writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// Sets an environment variable for one scope and puts the old value back.
class EnvScope {
public:
    EnvScope(const char* name, const QByteArray& value) : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvScope()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace

// Which settings file the program reads: FLEETDESK_CONFIG alone when set, else the first file that
// exists beside the program, in the user's configuration folder, in the system folder; the user's
// file when there is none. An installed program (in /usr/bin) finds an administrator's file in
// /etc/fleetdesk, and a user's own file comes before it.
TEST(SettingsFile, LookedUpInOrderTheFirstThatExistsWins)
{
    enum Place { Env = 1, Beside = 2, User = 4, System = 8 };
    struct Row {
        const char* what;
        int existing;   // the places holding a fleetdesk.ini
        bool envSet;    // FLEETDESK_CONFIG names the file at Env (existing or not)
        int xdg;        // 0 XDG_CONFIG_HOME unset, 1 set, 2 relative (to be ignored)
        Place expected;
    };
    const Row rows[] = {
        {"the environment's file before all others", Env | Beside | User | System, true, 1, Env},
        {"the environment's file even when it is missing", Beside | User | System, true, 1, Env},
        {"beside the program before the user's file", Beside | User | System, false, 1, Beside},
        {"the user's file before the system's", User | System, false, 1, User},
        {"the system's file when it is the only one", System, false, 1, System},
        {"none: the user's file, where a saved one would go", 0, false, 1, User},
        {"no XDG_CONFIG_HOME: ~/.config", User | System, false, 0, User},
        {"a relative XDG_CONFIG_HOME is ignored", User | System, false, 2, User},
    };
    const QString name = QStringLiteral("fleetdesk.ini");
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(name);
    ASSERT_FALSE(QFileInfo::exists(beside)) << "a settings file lies beside the test program";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QTemporaryDir home, config, system, env;
        const QString configHome = row.xdg == 1 ? config.path() : QDir(home.path()).filePath(QStringLiteral(".config"));
        EnvScope homeScope("HOME", home.path().toLocal8Bit());
        EnvScope xdgScope("XDG_CONFIG_HOME",
            row.xdg == 0 ? QByteArray() : row.xdg == 1 ? config.path().toLocal8Bit() : QByteArray("relative/config"));
        const QString envFile = env.filePath(name);
        EnvScope envScope("FLEETDESK_CONFIG", row.envSet ? envFile.toLocal8Bit() : QByteArray());
        const QString userFile = QDir(configHome).filePath(QStringLiteral("fleetdesk/") + name);
        const QString systemFile = QDir(system.path()).filePath(name);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(userFile).path()));

        const std::pair<Place, QString> places[] = {{Env, envFile}, {Beside, beside}, {User, userFile}, {System, systemFile}};
        for (const auto& [place, path] : places) {
            if (row.existing & place)
                writeFile(path, "[fleetdesk]\n");
        }
        QString expected;
        for (const auto& [place, path] : places) {
            if (place == row.expected)
                expected = path;
        }
        EXPECT_EQ(Settings::defaultPath(system.path()).toStdString(), expected.toStdString());
        EXPECT_EQ(Settings::userPath().toStdString(), userFile.toStdString());
        QFile::remove(beside);
    }
}

// A relative CA file lies beside the settings file that names it, wherever the program is.
TEST(SettingsFile, RelativeCaFileIsBesideTheSettingsFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fleetdesk.ini"));
    writeFile(path, "[fleetdesk]\ndbTlsCaFile=tls/ca.pem\n");
    Settings s;
    ASSERT_TRUE(s.load(path));
    EXPECT_EQ(s.tlsCaFilePath().toStdString(), dir.filePath(QStringLiteral("tls/ca.pem")).toStdString());
    s.dbTlsCaFile = QStringLiteral("/etc/ssl/company-ca.pem");
    EXPECT_EQ(s.tlsCaFilePath(), QStringLiteral("/etc/ssl/company-ca.pem"));
    s.dbTlsCaFile.clear();
    EXPECT_TRUE(s.tlsCaFilePath().isEmpty());
}

TEST(SettingsFile, ReadsValuesAndKeepsDefaultsForMissingKeys)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fleetdesk.ini"));
    writeFile(path,
        "[fleetdesk]\n"
        "dbHost=0A0B0C0D5E4E8C5B4F0\n"
        "settingKeyA=31415926535\n"
        "xorMask=90\n"
        "dbPort=03307\n"
        "supportContact=QQ 800012345, \xe6\x89\x8b\xe6\x9c\xba 13800138000\n"
        "webPort=not a number\r\n"
        "; a comment line\n"
        "smsUrlTemplate = http://sms.example.cn/send?u=%1;p=%2&to=%3,%4  \n"
        "serverAddress=\"quoted \\\"x\\\" ; kept\"\n"
        "[other]\n"
        "dbUser=not this section\n");
    Settings s;
    ASSERT_TRUE(s.load(path));
    EXPECT_EQ(s.dbHost, QStringLiteral("0A0B0C0D5E4E8C5B4F0"));
    EXPECT_EQ(s.settingKeyA, QStringLiteral("31415926535"));
    EXPECT_EQ(s.xorMask, 90);
    EXPECT_EQ(s.dbPort, 3307); // a leading zero is still decimal
    // A comma in an unquoted value must not cut the text into a list.
    EXPECT_EQ(s.supportContact, QStringLiteral("QQ 800012345, 手机 13800138000"));
    // nor may a ";" cut it short
    EXPECT_EQ(s.smsUrlTemplate, QStringLiteral("http://sms.example.cn/send?u=%1;p=%2&to=%3,%4"));
    EXPECT_EQ(s.serverAddress, QStringLiteral("quoted \"x\" ; kept"));
    // Missing or unreadable keys keep their defaults.
    const Settings defaults;
    EXPECT_EQ(s.webPort, defaults.webPort);
    EXPECT_EQ(s.ftpPort, defaults.ftpPort);
    EXPECT_EQ(s.connectivityUrl, defaults.connectivityUrl);
    EXPECT_EQ(s.httpTotalTimeoutSeconds, defaults.httpTotalTimeoutSeconds);
    EXPECT_TRUE(s.dbUser.isEmpty());
    // Without the encryption keys a connection is as before: clear text allowed.
    EXPECT_FALSE(s.dbTlsRequired);
    EXPECT_TRUE(s.dbTlsVerifyServer);

    Settings missing;
    EXPECT_FALSE(missing.load(dir.filePath(QStringLiteral("absent.ini"))));
    EXPECT_EQ(missing.dbPort, 0);
}

// A file that is there but cannot be read is not taken for an empty one: load says which file and
// why. The owner-only file of another user is read as a user who is not its owner (as root, a
// child process that drops to nobody; root itself reads every file).
TEST(SettingsFile, FileThatCannotBeReadIsNamedNotTakenAsEmpty)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
        | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther));
    const QString folder = dir.filePath(QStringLiteral("folder.ini"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString locked = dir.filePath(QStringLiteral("fleetdesk.ini"));
    writeFile(locked, "[fleetdesk]\ndbPort=3307\n");
    ASSERT_TRUE(QFile::setPermissions(locked, geteuid() == 0 ? QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                              : QFileDevice::Permissions{}));

    struct Case {
        const char* what;
        QString path;
        const char* reason;
    };
    for (const Case& c : {Case{"a folder", folder, "这是一个文件夹"}, Case{"no read permission", locked, "没有读取权限"}}) {
        SCOPED_TRACE(c.what);
        auto expectNamed = [&c] {
            Settings s;
            QString error;
            const bool loaded = s.load(c.path, &error);
            return !loaded && error.contains(QStringLiteral("读不到设置文件 ") + c.path)
                && error.contains(QString::fromUtf8(c.reason)) && s.dbPort == 0;
        };
        if (c.path == locked && geteuid() == 0) {
            const pid_t child = fork();
            ASSERT_NE(child, -1);
            if (child == 0)
                _exit(setgid(65534) == 0 && setuid(65534) == 0 && expectNamed() ? 0 : 1);
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        } else {
            EXPECT_TRUE(expectNamed());
        }
    }
    // A file that does not exist is no error: the defaults stay and nothing is said.
    Settings missing;
    QString error;
    EXPECT_FALSE(missing.load(dir.filePath(QStringLiteral("absent.ini")), &error));
    EXPECT_TRUE(error.isEmpty());
}

TEST(SettingsFile, SaveAndLoadKeepEveryValueExactly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.ini"));
    Settings out;
    out.dbHost = QStringLiteral("6B686D746B6A747B6AC8D5E8F4A1C");
    out.settingKeyA = QStringLiteral("31415926535");
    out.settingKeyB = QStringLiteral("27182818284");
    out.xorMask = 255;
    out.serverAddress = QStringLiteral("db.example.cn");
    out.supportContact = QStringLiteral("技术支持：QQ 800012345, 手机 13800138000; 李工 = 张工");
    out.dbPort = 3306;
    out.ftpPort = 2121;
    out.webPort = 8080;
    out.gbkFileNames = true;
    out.smsUrlTemplate = QStringLiteral("http://sms.example.cn/send?user=%1&pass=%2&to=%3&text=%4;x=\"1\"");
    out.connectivityUrl = QStringLiteral("http://www.baidu.com/");
    out.httpConnectTimeoutSeconds = 2;
    out.httpTotalTimeoutSeconds = 9;
    out.dbTlsRequired = true;
    out.dbTlsCaFile = QStringLiteral("证书/公司 CA,2026.pem");
    out.dbTlsVerifyServer = false;
    ASSERT_TRUE(out.save(path));

    Settings in;
    ASSERT_TRUE(in.load(path));
    EXPECT_EQ(in.dbHost, out.dbHost);
    EXPECT_EQ(in.settingKeyA, out.settingKeyA);
    EXPECT_EQ(in.settingKeyB, out.settingKeyB);
    EXPECT_EQ(in.xorMask, out.xorMask);
    EXPECT_EQ(in.serverAddress, out.serverAddress);
    EXPECT_EQ(in.supportContact, out.supportContact);
    EXPECT_EQ(in.dbPort, out.dbPort);
    EXPECT_EQ(in.ftpPort, out.ftpPort);
    EXPECT_EQ(in.webPort, out.webPort);
    EXPECT_EQ(in.gbkFileNames, out.gbkFileNames);
    EXPECT_EQ(in.smsUrlTemplate, out.smsUrlTemplate);
    EXPECT_EQ(in.connectivityUrl, out.connectivityUrl);
    EXPECT_EQ(in.httpConnectTimeoutSeconds, out.httpConnectTimeoutSeconds);
    EXPECT_EQ(in.httpTotalTimeoutSeconds, out.httpTotalTimeoutSeconds);
    EXPECT_EQ(in.dbTlsRequired, out.dbTlsRequired);
    EXPECT_EQ(in.dbTlsCaFile, out.dbTlsCaFile);
    EXPECT_EQ(in.dbTlsVerifyServer, out.dbTlsVerifyServer);
}

// The settings hold the enciphered database and FTP accounts: the file is its owner's alone, when
// it is new and when an existing file was readable by others.
TEST(SettingsFile, SavedFileIsReadableByItsOwnerOnly)
{
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const QFileDevice::Permissions wide = ownerOnly | QFileDevice::ReadGroup | QFileDevice::ReadOther
        | QFileDevice::WriteGroup;
    for (const bool existed : {false, true}) {
        SCOPED_TRACE(existed ? "existing file readable by all" : "new file");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("fleetdesk.ini"));
        if (existed) {
            QFile old(path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("[fleetdesk]\ndbPort=3306\n");
            old.close();
            ASSERT_TRUE(QFile::setPermissions(path, wide));
        }
        Settings out;
        out.dbPassword = QStringLiteral("6B686D746B6A747B6AC8D5E8F4A1C");
        ASSERT_TRUE(out.save(path));
        EXPECT_EQ(QFile::permissions(path) & (wide | QFileDevice::WriteOther), ownerOnly);
        Settings in;
        ASSERT_TRUE(in.load(path));
        EXPECT_EQ(in.dbPassword, out.dbPassword);
    }
}
