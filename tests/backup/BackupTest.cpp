// Backups against the stack: a round trip, damaged archives refused, a backup taken while vehicles
// are being saved, and a failed backup that leaves no archive and is recorded.
#include "backup/BackupRun.h"
#include "backup/Encryption.h"
#include "backup/Tools.h"
#include "common/Cipher.h"
#include "db/ProgramTables.h"
#include "db/ThreadSession.h"
#include "db/Transaction.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace fd;
using namespace fd::backup;
using fd::test::mustExecute;
using fd::test::queryValue;

namespace {

const QString kFleet = QStringLiteral("t_backup");

class BackupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The restored databases are looked at, filled and dropped beside the fleet's: as the
        // administrator (the backup itself runs with the stack's backup account).
        ASSERT_TRUE(test::freshDatabase(kFleet));
        db = test::connectAdmin(kFleet);
        for (int i = 0; i < 40; ++i)
            ASSERT_TRUE(db->run(vehicle(i)).ok);
    }
    static void TearDownTestSuite() { db.reset(); }

    // Vehicle i of the fleet, its remark with quotes and a backslash.
    static db::Statement vehicle(int i)
    {
        const QString number = QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
        return db::Statement("insert into ?.celiangzongbiao set cepaihao=?,cezudianhua=?,cezuxingming=?,jibenbeizu=?")
            .bindSql(kFleet)
            .bind(QStringLiteral("豫H") + number)
            .bind(QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0')))
            .bind(QStringLiteral("车主") + number)
            .bind(QStringLiteral("备注'引号'\\"));
    }

    static backup::Setup setup()
    {
        backup::Setup s = setupOf(test::stackSettings());
        s.program.database = kFleet;
        s.version = QStringLiteral("test");
        return s;
    }

    static QList<TableFacts> factsOf(const QString& database)
    {
        QList<TableFacts> facts;
        QString error;
        EXPECT_TRUE(readTableFacts(db, database, &facts, &error)) << error.toStdString();
        return facts;
    }

    static bool exists(const QString& database)
    {
        bool there = true;
        EXPECT_TRUE(databaseExists(db, database, &there));
        return there;
    }

    static void quiet(const QString&) {}

    inline static db::ConnectionPtr db;
};

TEST_F(BackupTest, RoundTripRestoresTheFleetAsItWasAndThePictures)
{
    // A picture of our own on the FTP server (the folder is shared with the other tests).
    QTemporaryDir work;
    const QString picture = work.filePath(QStringLiteral("src.jpg"));
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\xFF\xD8 backup round trip \xFF\xD9", 24));
    file.close();
    const QString pictureName = QStringLiteral("豫H备份往返行车证.jpg");
    ASSERT_TRUE(net::ftpPutFile(net::ftpConnect(setup().ftp), picture, pictureName.toUtf8()));

    // Enough pictures in the server's folder that several sessions fetch them side by side.
    QStringList many;
    for (int i = 0; i < 40; ++i) {
        many.append(QStringLiteral("备份往返%1.jpg").arg(i));
        QFile put(test::stackDir() + QStringLiteral("/pic/") + many.last());
        ASSERT_TRUE(put.open(QIODevice::WriteOnly));
        put.write(QByteArray(1000 + i, static_cast<char>('a' + i % 26)));
    }

    const QList<TableFacts> before = factsOf(kFleet);
    const Outcome made = makeBackup(setup(), work.filePath(QStringLiteral("out")), Keep {}, quiet);
    for (const QString& name : many)
        QFile::remove(test::stackDir() + QStringLiteral("/pic/") + name);
    ASSERT_TRUE(made.ok) << made.reason.toStdString();
    EXPECT_TRUE(QFile::exists(made.archive));
    EXPECT_FALSE(exists(kFleet + QStringLiteral("_proof_") + QString::number(QCoreApplication::applicationPid())));

    // The second copy: the same bytes, owner-only, and the rotation kept there too; into a folder
    // that cannot be made, a failure that leaves nothing behind.
    const QString copies = work.filePath(QStringLiteral("copies"));
    QDir().mkpath(copies);
    QFile old(QDir(copies).filePath(QStringLiteral("fleetdesk-20200101-020000.tar.zst")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();
    QString copyError;
    ASSERT_TRUE(copyArchive(made.archive, copies, Keep {1, 0, 0}, quiet, &copyError)) << copyError.toStdString();
    const QString copy = QDir(copies).filePath(QFileInfo(made.archive).fileName());
    EXPECT_EQ(QDir(copies).entryList(QDir::Files), QStringList {QFileInfo(made.archive).fileName()});
    EXPECT_EQ(fileSha256(copy), fileSha256(made.archive));
    EXPECT_EQ(QFileInfo(copy).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
    const QString notAFolder = work.filePath(QStringLiteral("src.jpg/copies"));
    EXPECT_FALSE(copyArchive(made.archive, notAFolder, Keep {}, quiet, &copyError));
    EXPECT_FALSE(copyError.isEmpty());
    EXPECT_TRUE(QFile::exists(made.archive));

    mustExecute(db, QStringLiteral("delete from %1.celiangzongbiao order by ID limit 5").arg(kFleet));
    ASSERT_NE(factsOf(kFleet), before);

    const QString into = QStringLiteral("t_backup_restored");
    mustExecute(db, QStringLiteral("DROP DATABASE IF EXISTS ") + into);
    RestoreTarget target { into, work.filePath(QStringLiteral("pictures")), false };
    const Outcome restored = restoreBackup(setup(), made.archive, target, quiet);
    ASSERT_TRUE(restored.ok) << restored.reason.toStdString();
    EXPECT_EQ(factsOf(into), before);
    QFile back(QDir(target.picturesFolder).filePath(pictureName));
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), QByteArray("\xFF\xD8 backup round trip \xFF\xD9", 24));
    for (int i = 0; i < many.size(); ++i) {
        QFile one(QDir(target.picturesFolder).filePath(many[i]));
        ASSERT_TRUE(one.open(QIODevice::ReadOnly)) << many[i].toStdString();
        EXPECT_EQ(one.readAll(), QByteArray(1000 + i, static_cast<char>('a' + i % 26))) << many[i].toStdString();
    }

    // A second restore under the same name is refused and leaves the database as it is.
    mustExecute(db, QStringLiteral("delete from %1.celiangzongbiao").arg(into));
    const Outcome again = restoreBackup(setup(), made.archive, target, quiet);
    EXPECT_FALSE(again.ok);
    EXPECT_TRUE(again.reason.contains(QStringLiteral("已经存在"))) << again.reason.toStdString();
    EXPECT_EQ(queryValue(db, QStringLiteral("select count(*) from %1.celiangzongbiao").arg(into)), QStringLiteral("0"));
    mustExecute(db, QStringLiteral("DROP DATABASE ") + into);
}

TEST_F(BackupTest, DamagedArchiveIsRefusedAndNothingIsCreated)
{
    QTemporaryDir work;
    const Outcome made = makeBackup(setup(), work.filePath(QStringLiteral("out")), Keep {}, quiet);
    ASSERT_TRUE(made.ok) << made.reason.toStdString();
    QFile file(made.archive);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    QByteArray flipped = whole;
    flipped[flipped.size() / 2] = static_cast<char>(flipped.at(flipped.size() / 2) ^ 0x40);

    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        { "cut in the middle", whole.left(whole.size() / 2) },
        { "cut near the end", whole.left(whole.size() - 20) },
        { "one byte changed", flipped },
        { "empty", QByteArray() },
    };
    const QString into = QStringLiteral("t_backup_never");
    mustExecute(db, QStringLiteral("DROP DATABASE IF EXISTS ") + into);
    for (const auto& c : cases) {
        const QString path = work.filePath(QStringLiteral("damaged.tar.zst"));
        QFile damaged(path);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(c.bytes);
        damaged.close();
        const QString pictures = work.filePath(QStringLiteral("pictures-never"));
        const Outcome restored = restoreBackup(setup(), path, RestoreTarget { into, pictures, false }, quiet);
        EXPECT_FALSE(restored.ok) << c.what;
        EXPECT_TRUE(restored.reason.contains(QStringLiteral("损坏"))) << c.what << ": " << restored.reason.toStdString();
        EXPECT_FALSE(exists(into)) << c.what;
        EXPECT_FALSE(QFileInfo::exists(pictures)) << c.what;
    }

    // A whole archive whose manifest gives a character set carrying SQL of its own: refused before
    // the database is made.
    QTemporaryDir unpacked;
    ASSERT_EQ(QProcess::execute(QStringLiteral("tar"),
                  { QStringLiteral("-I"), QStringLiteral("zstd"), QStringLiteral("-xf"), made.archive, QStringLiteral("-C"),
                      unpacked.path() }),
        0);
    QFile manifestFile(unpacked.filePath(QStringLiteral("manifest.json")));
    ASSERT_TRUE(manifestFile.open(QIODevice::ReadWrite));
    QJsonObject manifest = QJsonDocument::fromJson(manifestFile.readAll()).object();
    manifest.insert(QStringLiteral("charset"), QStringLiteral("latin1 COLLATE latin1_bin -- "));
    manifestFile.resize(0);
    manifestFile.write(QJsonDocument(manifest).toJson());
    manifestFile.close();
    const QString forged = work.filePath(QStringLiteral("forged.tar.zst"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("tar"),
                  { QStringLiteral("-I"), QStringLiteral("zstd"), QStringLiteral("-cf"), forged, QStringLiteral("-C"),
                      unpacked.path(), QStringLiteral("manifest.json"), QStringLiteral("database.sql"), QStringLiteral("pictures") }),
        0);
    const Outcome restored = restoreBackup(setup(), forged, RestoreTarget { into, QString(), false }, quiet);
    EXPECT_FALSE(restored.ok);
    EXPECT_TRUE(restored.reason.contains(QStringLiteral("字符集"))) << restored.reason.toStdString();
    EXPECT_FALSE(exists(into));
}

TEST_F(BackupTest, EncipheredBackupIsProvenAndOpensOnlyWithItsKey)
{
    QTemporaryDir work;
    auto keyFile = [&](const QString& name, const QByteArray& text) {
        QFile key(work.filePath(name));
        EXPECT_TRUE(key.open(QIODevice::WriteOnly));
        key.write(text);
        return key.fileName();
    };
    backup::Setup keyed = setup();
    keyed.keyFile = keyFile(QStringLiteral("backup.key"), "the office's own long passphrase\n");
    const QList<TableFacts> before = factsOf(kFleet);
    const Outcome made = makeBackup(keyed, work.filePath(QStringLiteral("out")), Keep {}, quiet);
    ASSERT_TRUE(made.ok) << made.reason.toStdString();
    ASSERT_TRUE(isEnciphered(made.archive));
    EXPECT_NE(QProcess::execute(QStringLiteral("tar"), { QStringLiteral("-I"), QStringLiteral("zstd"), QStringLiteral("-tf"), made.archive }), 0);

    // What the restore window shows of it, read with the key.
    ArchiveContents contents;
    QString error;
    ASSERT_TRUE(readArchiveContents(keyed, made.archive, &contents, &error)) << error.toStdString();
    EXPECT_TRUE(contents.enciphered);
    EXPECT_EQ(contents.database, kFleet);
    EXPECT_EQ(contents.tables, before);

    QFile file(made.archive);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray flipped = file.readAll();
    flipped[flipped.size() / 2] = static_cast<char>(flipped.at(flipped.size() / 2) ^ 0x01);
    const QString damaged = work.filePath(QStringLiteral("damaged.tar.zst"));
    QFile out(damaged);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(flipped);
    out.close();
    backup::Setup wrongKey = setup();
    wrongKey.keyFile = keyFile(QStringLiteral("other.key"), "another office's passphrase");
    const QString into = QStringLiteral("t_backup_keyed");
    mustExecute(db, QStringLiteral("DROP DATABASE IF EXISTS ") + into);
    const struct {
        const char* what;
        backup::Setup setup;
        QString archive;
        const char* says;
    } refused[] = {
        { "no key in the settings", setup(), made.archive, "backupKeyFile" },
        { "another key", wrongKey, made.archive, "密钥不对" },
        { "one byte changed", keyed, damaged, "损坏" },
    };
    for (const auto& c : refused) {
        const Outcome restored = restoreBackup(c.setup, c.archive, RestoreTarget { into, QString(), false }, quiet);
        EXPECT_FALSE(restored.ok) << c.what;
        EXPECT_TRUE(restored.reason.contains(QString::fromUtf8(c.says))) << c.what << ": " << restored.reason.toStdString();
        EXPECT_FALSE(exists(into)) << c.what;
    }

    const Outcome restored = restoreBackup(keyed, made.archive, RestoreTarget { into, QString(), false }, quiet);
    ASSERT_TRUE(restored.ok) << restored.reason.toStdString();
    EXPECT_EQ(factsOf(into), before);
    mustExecute(db, QStringLiteral("DROP DATABASE ") + into);
}

TEST_F(BackupTest, BackupThatCannotBeWholeOrConsistentIsRefusedAndLeavesNoArchive)
{
    QTemporaryDir work;
    backup::Setup keyMissing = setup();
    keyMissing.keyFile = work.filePath(QStringLiteral("no-such.key"));
    const struct {
        const char* what;
        backup::Setup setup;
        QString statement; // made before the backup, undone after
        QString undo;
        const char* says;
    } cases[] = {
        // Never a plain archive where an enciphered one was asked for.
        { "key file missing", keyMissing, QString(), QString(), "读不了备份密钥文件" },
        // A table outside InnoDB would be dumped as it changes, not as of the dump's moment.
        { "a MyISAM table", setup(), QStringLiteral("create table %1.zanshi_myisam (a int) engine=MyISAM").arg(kFleet),
            QStringLiteral("drop table %1.zanshi_myisam").arg(kFleet), "不是 InnoDB" },
    };
    for (const auto& c : cases) {
        if (!c.statement.isEmpty())
            mustExecute(db, c.statement);
        const QString out = work.filePath(QStringLiteral("out"));
        const Outcome made = makeBackup(c.setup, out, Keep {}, quiet);
        if (!c.undo.isEmpty())
            mustExecute(db, c.undo);
        EXPECT_FALSE(made.ok) << c.what;
        EXPECT_TRUE(made.reason.contains(QString::fromUtf8(c.says))) << c.what << ": " << made.reason.toStdString();
        EXPECT_EQ(QDir(out).entryList({ QStringLiteral("fleetdesk-*") }, QDir::Files), QStringList()) << c.what;
    }
}

TEST_F(BackupTest, BackupWhileVehiclesAreSavedIsConsistent)
{
    std::atomic_bool stop { false };
    std::atomic_bool failed { false };
    std::atomic_int saved { 0 };
    // An office saving vehicles, with a session of its own thread.
    std::thread writer([&, options = db->options()] {
        const db::ConnectionPtr c = db::threadSession(options);
        failed = !c;
        for (int i = 1000; c && !stop.load(); ++i) {
            // Two tables in one transaction: a copy that caught one without the other would differ.
            db::Transaction transaction(*c);
            transaction.run(vehicle(i));
            if (transaction
                    .commit(db::Statement("insert into ?.xiugaijilu set cheliangid=LAST_INSERT_ID(),caozuo='新增',"
                                          "shijian=NOW(),ziduan='cepaihao'")
                                .bindSql(kFleet))
                    .ok)
                saved.fetch_add(1);
        }
    });
    while (saved.load() < 20 && !failed.load())
        std::this_thread::yield();
    ASSERT_FALSE(failed.load()) << "the writer has no session";
    QTemporaryDir work;
    const int savedBefore = saved.load();
    const Outcome made = makeBackup(setup(), work.filePath(QStringLiteral("out")), Keep {}, quiet);
    const int savedAfter = saved.load();
    stop = true;
    writer.join();
    ASSERT_TRUE(made.ok) << made.reason.toStdString();
    EXPECT_GT(savedAfter, savedBefore) << "the vehicles were meant to be saved during the backup";

    // The copy holds every vehicle together with its record, as one moment of the fleet.
    const QString into = QStringLiteral("t_backup_busy");
    mustExecute(db, QStringLiteral("DROP DATABASE IF EXISTS ") + into);
    const Outcome restored = restoreBackup(setup(), made.archive, RestoreTarget { into, QString(), false }, quiet);
    ASSERT_TRUE(restored.ok) << restored.reason.toStdString();
    EXPECT_EQ(queryValue(db, QStringLiteral("select (select count(*) from %1.celiangzongbiao where cepaihao >= '豫H01000' and "
                                            "ID not in (select cheliangid from %1.xiugaijilu)) + (select count(*) from "
                                            "%1.xiugaijilu where cheliangid not in (select ID from %1.celiangzongbiao))")
                                 .arg(into)),
        QStringLiteral("0"));
    EXPECT_NE(queryValue(db, QStringLiteral("select count(*) from %1.xiugaijilu").arg(into)), QStringLiteral("0"));
    mustExecute(db, QStringLiteral("DROP DATABASE ") + into);
}

TEST_F(BackupTest, FailedBackupLeavesNoArchiveExitsNonZeroAndIsRecorded)
{
    // The program's own settings with an FTP server that does not answer.
    Settings settings = test::stackSettings();
    settings.ftpPort = test::closedPort();
    QTemporaryDir work;
    const QString ini = work.filePath(QStringLiteral("fleetdesk.ini"));
    ASSERT_TRUE(settings.save(ini));
    const QString out = work.filePath(QStringLiteral("out"));

    QProcess tool;
    tool.start(qEnvironmentVariable("FD_BACKUP_TOOL"), { QStringLiteral("--config"), ini, QStringLiteral("--out"), out });
    ASSERT_TRUE(tool.waitForFinished(300000));
    const QString said = QString::fromUtf8(tool.readAllStandardOutput());
    EXPECT_EQ(tool.exitCode(), 1) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("备份失败：图片备份失败"))) << said.toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());

    const LastBackup last = lastBackup(test::connectStack(QStringLiteral("yunsugongsi")));
    ASSERT_TRUE(last.known);
    EXPECT_FALSE(last.ok);
    EXPECT_TRUE(last.reason.startsWith(QStringLiteral("图片备份失败"))) << last.reason.toStdString();
    // The stack's register is every test's: its last backup must not stay a failure, which each
    // login would then report.
    mustExecute(test::connectStack(QStringLiteral("yunsugongsi")),
        QStringLiteral("delete from beifenjilu where chenggong=0 and yuanyin like '图片备份失败%'"));
}

TEST_F(BackupTest, RestoreOverCurrentNeedsTheCompanyNameAndSwapsEveryTable)
{
    mustExecute(db, QStringLiteral("replace into %1.tixingshezhi set mingcheng='houzhui',zhi='【豫运物流】'").arg(kFleet));
    auto register_ = [] {
        QList<TableFacts> facts = factsOf(kFleet);
        facts.removeIf([](const TableFacts& t) { return t.name == QStringLiteral("beifenjilu") || t.name == QStringLiteral("huifujilu"); });
        return facts;
    };
    const QList<TableFacts> before = register_();
    // A picture deleted with its vehicle comes back; one replaced since the backup is kept as it is.
    const QString deleted = test::stackDir() + QStringLiteral("/pic/恢复覆盖删掉的.jpg");
    const QString replaced = test::stackDir() + QStringLiteral("/pic/恢复覆盖换过的.jpg");
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    };
    auto read = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    };
    ASSERT_TRUE(write(deleted, "backed-up picture") && write(replaced, "older picture"));
    QTemporaryDir work;
    const Outcome made = makeBackup(setup(), work.filePath(QStringLiteral("out")), Keep {}, quiet);
    ASSERT_TRUE(made.ok) << made.reason.toStdString();
    ASSERT_TRUE(QFile::remove(deleted) && write(replaced, "newer picture"));
    mustExecute(db, QStringLiteral("delete from %1.celiangzongbiao order by ID limit 3").arg(kFleet));
    mustExecute(db, QStringLiteral("create table %1.zanshi (a int)").arg(kFleet));
    const QList<TableFacts> changed = register_();
    const qint64 restoresBefore = db::lastRestore(test::connectStack(kFleet)).id;

    QString said;
    const Outcome refused = restoreOverCurrent(setup(), made.archive, QStringLiteral("豫运"), [&](const QString& t) { said += t + '\n'; });
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.reason.contains(QStringLiteral("豫运物流"))) << refused.reason.toStdString();
    const qint64 vehicles = std::find_if(before.begin(), before.end(), [](const TableFacts& t) { return t.name == QStringLiteral("celiangzongbiao"); })->rows;
    EXPECT_TRUE(said.contains(QStringLiteral("表 celiangzongbiao：%1 行").arg(vehicles))) << said.toStdString();
    EXPECT_EQ(register_(), changed);

    EXPECT_EQ(read(deleted), QByteArray("<missing>")) << "a refused restore put a picture back";
    const Outcome restored = restoreOverCurrent(setup(), made.archive, QStringLiteral("豫运物流"), quiet);
    ASSERT_TRUE(restored.ok) << restored.reason.toStdString();
    EXPECT_TRUE(restored.warning.isEmpty()) << restored.warning.toStdString();
    EXPECT_EQ(register_(), before);
    EXPECT_EQ(read(deleted), QByteArray("backed-up picture"));
    EXPECT_EQ(read(replaced), QByteArray("newer picture"));
    QFile::remove(deleted);
    QFile::remove(replaced);
    const db::LastRestore last = db::lastRestore(test::connectStack(kFleet));
    EXPECT_GT(last.id, restoresBefore);
    EXPECT_EQ(last.archive, made.archive);
    EXPECT_EQ(queryValue(db, QStringLiteral("select count(*) from information_schema.SCHEMATA where SCHEMA_NAME like '%1\\_restore\\_%%' "
                                            "or SCHEMA_NAME like '%1\\_old\\_%%'")
                                 .arg(kFleet)),
        QStringLiteral("0"));
}

TEST(BackupAccount, BackupUserOfTheSettingsFileIsTheOneThatConnects)
{
    Settings settings = test::stackSettings();
    settings.backupUser = encipherSetting(QStringLiteral("no_such_backup_user"), settings.settingKeyB, settings.xorMask);
    settings.backupPassword = encipherSetting(QStringLiteral("wrong"), settings.settingKeyB, settings.xorMask);
    QTemporaryDir work;
    const QString ini = work.filePath(QStringLiteral("backup.ini"));
    ASSERT_TRUE(settings.save(ini));
    Settings loaded;
    ASSERT_TRUE(loaded.load(ini));

    const Outcome made = makeBackup(setupOf(loaded), work.filePath(QStringLiteral("out")), Keep {}, [](const QString&) {});
    EXPECT_FALSE(made.ok);
    EXPECT_TRUE(made.reason.startsWith(QStringLiteral("连接不上数据库"))) << made.reason.toStdString();
    EXPECT_EQ(QDir(work.filePath(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList());
}

} // namespace
