#include "backup/BackupRun.h"

#include "backup/Encryption.h"
#include "backup/Pictures.h"
#include "backup/Tools.h"
#include "db/Database.h"
#include "common/Cipher.h"
#include "net/Endpoints.h"

#include <QCoreApplication>
#include <algorithm>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

namespace fd::backup {
namespace {

    const QString kManifest = QStringLiteral("manifest.json");
    const QString kDump = QStringLiteral("database.sql");
    const QString kPictures = QStringLiteral("pictures");
    // An enciphered archive deciphered for tar, in the folder it unpacks into (removed after).
    const QString kDeciphered = QStringLiteral(".archive.tar.zst");
    constexpr int kFormat = 1;

    // MariaDB's programs write and read the dump in this set: it holds every character of any table.
    const QString kDumpCharset = QStringLiteral("--default-character-set=utf8mb4");

    QJsonArray factsJson(const QList<TableFacts>& facts)
    {
        QJsonArray tables;
        for (const TableFacts& t : facts)
            tables.append(QJsonObject { { QStringLiteral("name"), t.name }, { QStringLiteral("rows"), t.rows },
                { QStringLiteral("checksum"), t.checksum } });
        return tables;
    }

    QList<TableFacts> factsOf(const QJsonObject& manifest)
    {
        QList<TableFacts> facts;
        for (const QJsonValue& v : manifest.value(QStringLiteral("tables")).toArray()) {
            const QJsonObject t = v.toObject();
            facts.append({ t.value(QStringLiteral("name")).toString(), t.value(QStringLiteral("rows")).toInteger(),
                t.value(QStringLiteral("checksum")).toString() });
        }
        return facts;
    }

    // The archive as tar reads it: the file itself, or an enciphered one deciphered with the
    // passphrase of keyFile into folder. False with the reason (nothing left in folder then).
    bool plainArchive(const QString& archive, const QString& folder, const QString& keyFile, QString* packed,
        QString* error)
    {
        *packed = archive;
        if (!isEnciphered(archive))
            return true;
        if (keyFile.isEmpty()) {
            *error = QStringLiteral("备份文件 %1 是加密的，设置文件里没有备份密钥文件（backupKeyFile），解不开").arg(archive);
            return false;
        }
        QByteArray passphrase;
        if (!readKeyFile(keyFile, &passphrase, error))
            return false;
        *packed = QDir(folder).filePath(kDeciphered);
        return decipherFile(archive, *packed, passphrase, error);
    }

    // Unpacks the archive (deciphered first when it is enciphered) into folder and checks every
    // file against the manifest. Nothing else is touched before this has passed.
    bool unpackAndCheck(const QString& archive, const QString& folder, const QString& keyFile, QJsonObject* manifest,
        QString* error, const std::atomic_bool* cancel)
    {
        QString why;
        QString packed;
        if (!plainArchive(archive, folder, keyFile, &packed, error))
            return false;
        const bool unpacked = runTool(QStringLiteral("tar"),
            { QStringLiteral("-I"), QStringLiteral("zstd"), QStringLiteral("-xf"), packed, QStringLiteral("-C"), folder },
            QString(), QString(), &why, cancel);
        if (packed != archive)
            QFile::remove(packed);
        if (!unpacked) {
            *error = QStringLiteral("备份文件 %1 损坏或不完整，解不开：%2").arg(archive, why);
            return false;
        }
        QFile file(QDir(folder).filePath(kManifest));
        const QJsonDocument doc = file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()) : QJsonDocument();
        *manifest = doc.object();
        if (manifest->value(QStringLiteral("format")).toInt() != kFormat) {
            *error = QStringLiteral("备份文件 %1 里没有可读的清单").arg(archive);
            return false;
        }
        auto mismatch = [&](const QString& path, const QString& sha) {
            return fileSha256(QDir(folder).filePath(path)) != sha || sha.isEmpty();
        };
        const QJsonObject dump = manifest->value(QStringLiteral("dump")).toObject();
        if (mismatch(kDump, dump.value(QStringLiteral("sha256")).toString())) {
            *error = QStringLiteral("备份文件 %1 已损坏：数据库部分的校验值不符").arg(archive);
            return false;
        }
        for (const QJsonValue& v : manifest->value(QStringLiteral("pictures")).toObject().value(QStringLiteral("files")).toArray()) {
            const QJsonObject p = v.toObject();
            const QString name = p.value(QStringLiteral("name")).toString();
            if (mismatch(kPictures + QLatin1Char('/') + name, p.value(QStringLiteral("sha256")).toString())) {
                *error = QStringLiteral("备份文件 %1 已损坏：图片 %2 的校验值不符").arg(archive, name);
                return false;
            }
        }
        return true;
    }

    // The names of the pictures the manifest lists.
    QStringList pictureNames(const QJsonObject& manifest)
    {
        QStringList names;
        for (const QJsonValue& v : manifest.value(QStringLiteral("pictures")).toObject().value(QStringLiteral("files")).toArray())
            names.append(v.toObject().value(QStringLiteral("name")).toString());
        return names;
    }

    void dropDatabase(const db::ConnectionPtr& connection, const QString& database)
    {
        connection->run(db::Statement("DROP DATABASE IF EXISTS ?").bindSql(sqlName(database)));
    }

    // Creates the database in the character set given, loads the dump of folder into it and reads
    // the facts of every table. A database that could not be loaded is dropped again.
    bool loadDump(const db::ConnectionPtr& connection, const ClientDefaults& defaults, const QString& folder,
        const QString& charset, const QString& collation, const QString& database, QList<TableFacts>* facts,
        QString* error, const std::atomic_bool* cancel)
    {
        // Read from the archive: plain names only, so that they can never stand for SQL of their own.
        if (!plainDatabaseName(charset) || !plainDatabaseName(collation)) {
            *error = QStringLiteral("备份文件的清单里的字符集不可用：%1 %2").arg(charset, collation);
            return false;
        }
        const db::Reply created = connection->run(db::Statement("CREATE DATABASE ? CHARACTER SET ? COLLATE ?")
                                                      .bindSql(sqlName(database))
                                                      .bindSql(charset)
                                                      .bindSql(collation));
        if (!created.ok) {
            *error = QStringLiteral("建不了数据库 %1：%2").arg(database, created.error);
            return false;
        }
        QString why;
        bool ok = runTool(QStringLiteral("mariadb"), { defaults.argument(), kDumpCharset, database },
            QDir(folder).filePath(kDump), QString(), &why, cancel);
        if (!ok)
            *error = QStringLiteral("数据库 %1 恢复失败：%2").arg(database, why);
        else if (!readTableFacts(connection, database, facts, &why)) {
            ok = false;
            *error = why;
        }
        if (!ok)
            dropDatabase(connection, database);
        return ok;
    }

    // Creates the database, loads the dump into it and compares every table with the manifest.
    // A database that could not be loaded or does not match is dropped again.
    bool loadAndCompare(const db::ConnectionPtr& connection, const ClientDefaults& defaults, const QString& folder,
        const QJsonObject& manifest, const QString& database, QString* error, const std::atomic_bool* cancel)
    {
        QList<TableFacts> facts;
        if (!loadDump(connection, defaults, folder, manifest.value(QStringLiteral("charset")).toString(QStringLiteral("gbk")),
                manifest.value(QStringLiteral("collation")).toString(QStringLiteral("gbk_chinese_ci")), database, &facts,
                error, cancel))
            return false;
        if (const QString difference = compareTableFacts(factsOf(manifest), facts); !difference.isEmpty()) {
            *error = QStringLiteral("恢复出的数据库与备份时不一致：%1").arg(difference);
            dropDatabase(connection, database);
            return false;
        }
        return true;
    }

    struct Dumped {
        QList<TableFacts> facts;
        QStringList tables; // the base tables of the database while the dump began
        QString server;
        QString charset;
        QString collation;
    };

    // The dump: mariadb-dump in one InnoDB transaction (every table of the program is InnoDB), so
    // that it is one moment of the register without holding anything back: no lock is taken, and
    // the office's saves go on while it runs. (A global read lock held until the dump's
    // transaction was seen open made every save of that while wait: seconds on a busy server, in
    // the lock's own wait for running writes and in the look for the transaction.) The facts of
    // the tables come from the dump itself, loaded (see makeBackup).
    bool dumpDatabase(const Setup& setup, const db::ConnectionPtr& reader, const ClientDefaults& defaults,
        const QString& dumpPath, Dumped* dumped, QString* error)
    {
        const QString database = setup.program.database;
        auto failed = [&](const db::Reply& reply, const QString& what) {
            *error = QStringLiteral("%1：%2").arg(what, reply.error);
            return false;
        };
        const db::Reply schema = reader->run(db::Statement("SELECT DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME FROM "
                                                           "information_schema.SCHEMATA WHERE SCHEMA_NAME = ?")
                                                 .bind(database));
        if (!schema.ok)
            return failed(schema, QStringLiteral("读不到数据库 %1").arg(database));
        if (!schema.rows || schema.rows->rowCount() == 0) {
            *error = QStringLiteral("服务器 %1 上没有数据库 %2").arg(dumped->server, database);
            return false;
        }
        dumped->charset = schema.rows->text(0);
        dumped->collation = schema.rows->text(1);
        const db::Reply tables = reader->run(db::Statement("SELECT TABLE_NAME, ENGINE FROM information_schema.TABLES WHERE "
                                                           "TABLE_SCHEMA = ? AND TABLE_TYPE = 'BASE TABLE' ORDER BY TABLE_NAME")
                                                 .bind(database));
        if (!tables.ok)
            return failed(tables, QStringLiteral("读不到数据库 %1 的表").arg(database));
        while (tables.rows && tables.rows->next()) {
            // A table outside InnoDB would be dumped as it changes, not as of the transaction.
            if (tables.rows->text(1).compare(QStringLiteral("InnoDB"), Qt::CaseInsensitive) != 0) {
                *error = QStringLiteral("表 %1 不是 InnoDB 表（%2），不能在不锁表的情况下一致地备份").arg(tables.rows->text(0), tables.rows->text(1));
                return false;
            }
            dumped->tables.append(tables.rows->text(0));
        }
        QString why;
        if (!runTool(QStringLiteral("mariadb-dump"),
                { defaults.argument(), QStringLiteral("--single-transaction"), QStringLiteral("--routines"),
                    QStringLiteral("--triggers"), QStringLiteral("--hex-blob"), kDumpCharset, database },
                QString(), dumpPath, &why, setup.cancel)) {
            *error = QStringLiteral("mariadb-dump 失败：%1").arg(why);
            return false;
        }
        return true;
    }

    void rotate(const QString& outDir, const Keep& keep, const QString& justMade, const Say& say)
    {
        QDir dir(outDir);
        for (const QString& name : archivesToDelete(dir.entryList(QDir::Files), keep, justMade)) {
            if (dir.remove(name))
                say(QStringLiteral("删除旧备份 %1").arg(name));
            else
                say(QStringLiteral("删不掉旧备份 %1").arg(name));
        }
    }

} // namespace

Setup setupOf(const Settings& settings)
{
    Setup setup;
    setup.program = net::endpointsOf(settings).database;
    setup.backup = setup.program;
    const QString user = decipherSetting(settings.backupUser, settings.settingKeyB, settings.xorMask);
    if (!user.isEmpty()) {
        setup.backup.user = user;
        setup.backup.password = decipherSetting(settings.backupPassword, settings.settingKeyB, settings.xorMask);
    }
    setup.backup.database.clear();
    setup.ftp = net::endpointsOf(settings).ftp;
    setup.keyFile = settings.backupKeyFilePath().trimmed();
    return setup;
}

Outcome makeBackup(const Setup& setup, const QString& outDir, const Keep& keep, const Say& say)
{
    Outcome out;
    out.started = QDateTime::currentDateTime();
    QElapsedTimer timer;
    timer.start();
    const QString finalPath = QDir(outDir).absoluteFilePath(archiveName(out.started));
    const QString partPath = finalPath + QStringLiteral(".part");

    auto body = [&]() -> bool {
        if (!QDir().mkpath(outDir)) {
            out.reason = QStringLiteral("建不了备份目录 %1").arg(outDir);
            return false;
        }
        QTemporaryDir work(QDir(outDir).absoluteFilePath(QStringLiteral(".fleetdesk-backup-XXXXXX")));
        if (!work.isValid()) {
            out.reason = QStringLiteral("在 %1 里建不了临时目录：%2").arg(outDir, work.errorString());
            return false;
        }
        QString error;
        // A key that cannot be read fails the backup before anything is done: never a plain
        // archive where an enciphered one was asked for.
        QByteArray passphrase;
        if (!setup.keyFile.isEmpty() && !readKeyFile(setup.keyFile, &passphrase, &error)) {
            out.reason = error;
            return false;
        }
        db::ConnectionPtr locker = db::dbConnect(setup.backup, &error);
        if (!locker) {
            out.reason = QStringLiteral("连接不上数据库：%1").arg(error);
            return false;
        }
        Dumped dumped;
        dumped.server = locker->serverAddress();
        const QList<HostPort> servers = parseHostList(dumped.server, setup.backup.port);
        ClientDefaults defaults(work.path(), setup.backup, servers.value(0));
        if (servers.isEmpty() || !defaults.ok()) {
            out.reason = QStringLiteral("写不了数据库程序的账号文件（%1）").arg(work.path());
            return false;
        }
        say(QStringLiteral("导出数据库 %1（服务器 %2）").arg(setup.program.database, dumped.server));
        if (!dumpDatabase(setup, locker, defaults, QDir(work.path()).filePath(kDump), &dumped, &error)) {
            out.reason = QStringLiteral("数据库导出失败：%1").arg(error);
            return false;
        }
        // The proof of the dump: loaded into a scratch database, every table of the register there;
        // the facts read there are the manifest's, which every restore is compared with. The archive
        // is proven below to hold this very dump, byte for byte.
        say(QStringLiteral("验证备份：恢复到临时数据库并逐表比较"));
        const QString scratch = QStringLiteral("%1_proof_%2").arg(setup.program.database).arg(QCoreApplication::applicationPid());
        dropDatabase(locker, scratch);
        const bool loaded = loadDump(locker, defaults, work.path(), dumped.charset, dumped.collation, scratch, &dumped.facts, &error, setup.cancel);
        dropDatabase(locker, scratch);
        if (!loaded) {
            out.reason = QStringLiteral("备份未通过验证：%1").arg(error);
            return false;
        }
        QStringList loadedTables;
        for (const TableFacts& t : dumped.facts)
            loadedTables.append(t.name);
        if (loadedTables != dumped.tables) {
            out.reason = QStringLiteral("备份未通过验证：导出的表（%1）与数据库的表（%2）不同")
                             .arg(loadedTables.join(QLatin1Char(' ')), dumped.tables.join(QLatin1Char(' ')));
            return false;
        }
        say(QStringLiteral("从 FTP 服务器取图片"));
        const QString pictureFolder = QDir(work.path()).filePath(kPictures);
        QList<PictureFile> pictures;
        if (!QDir().mkpath(pictureFolder) || !downloadPictures(setup.ftp, pictureFolder, &pictures, &error)) {
            out.reason = QStringLiteral("图片备份失败：%1").arg(error);
            return false;
        }

        QJsonArray pictureList;
        qint64 pictureBytes = 0;
        for (const PictureFile& p : pictures) {
            pictureList.append(QJsonObject { { QStringLiteral("name"), p.name }, { QStringLiteral("bytes"), p.bytes },
                { QStringLiteral("sha256"), p.sha256 } });
            pictureBytes += p.bytes;
        }
        const QString dumpPath = QDir(work.path()).filePath(kDump);
        const QJsonObject manifest {
            { QStringLiteral("format"), kFormat },
            { QStringLiteral("program"), QStringLiteral("fleetdesk-backup") },
            { QStringLiteral("version"), setup.version },
            { QStringLiteral("created"), out.started.toString(Qt::ISODate) },
            { QStringLiteral("server"), dumped.server },
            { QStringLiteral("database"), setup.program.database },
            { QStringLiteral("charset"), dumped.charset },
            { QStringLiteral("collation"), dumped.collation },
            { QStringLiteral("seconds"), timer.elapsed() / 1000.0 },
            { QStringLiteral("tables"), factsJson(dumped.facts) },
            { QStringLiteral("dump"),
                QJsonObject { { QStringLiteral("file"), kDump }, { QStringLiteral("bytes"), QFileInfo(dumpPath).size() },
                    { QStringLiteral("sha256"), fileSha256(dumpPath) } } },
            { QStringLiteral("pictures"),
                QJsonObject { { QStringLiteral("count"), pictures.size() }, { QStringLiteral("bytes"), pictureBytes },
                    { QStringLiteral("files"), pictureList } } },
        };
        QFile manifestFile(QDir(work.path()).filePath(kManifest));
        if (!manifestFile.open(QIODevice::WriteOnly) || manifestFile.write(QJsonDocument(manifest).toJson()) < 0
            || !manifestFile.flush()) {
            out.reason = QStringLiteral("写不了清单：%1").arg(manifestFile.errorString());
            return false;
        }
        manifestFile.close();
        // The archive holds the whole register: made readable by its owner only before tar fills it.
        QFile archive(partPath);
        if (!archive.open(QIODevice::WriteOnly | QIODevice::Truncate, QFileDevice::ReadOwner | QFileDevice::WriteOwner)
            || !archive.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            out.reason = QStringLiteral("写不了备份文件 %1：%2").arg(partPath, archive.errorString());
            return false;
        }
        archive.close();
        const QString packed = passphrase.isEmpty() ? partPath : QDir(work.path()).filePath(kDeciphered);
        if (!runTool(QStringLiteral("tar"),
                { QStringLiteral("-I"), QStringLiteral("zstd"), QStringLiteral("-cf"), packed, QStringLiteral("-C"),
                    work.path(), kManifest, kDump, kPictures },
                QString(), QString(), &error, setup.cancel)) {
            out.reason = QStringLiteral("打包失败：%1").arg(error);
            return false;
        }
        if (!passphrase.isEmpty()) {
            say(QStringLiteral("加密备份文件"));
            const bool enciphered = encipherFile(packed, partPath, passphrase, &error);
            QFile::remove(packed);
            if (!enciphered) {
                out.reason = QStringLiteral("加密失败：%1").arg(error);
                return false;
            }
        }

        // The proof of the archive as written: deciphered when enciphered, unpacked, and every
        // file the same as the manifest says (the dump the one loaded above, the pictures those
        // fetched), by SHA-256.
        say(QStringLiteral("验证备份文件：解开并逐个文件核对"));
        const QString proofFolder = QDir(work.path()).filePath(QStringLiteral("proof"));
        QDir().mkpath(proofFolder);
        QJsonObject unpacked;
        if (!unpackAndCheck(partPath, proofFolder, setup.keyFile, &unpacked, &error, setup.cancel)) {
            out.reason = QStringLiteral("备份未通过验证：%1").arg(error);
            return false;
        }
        if (fileSha256(QDir(proofFolder).filePath(kManifest)) != fileSha256(QDir(work.path()).filePath(kManifest))) {
            out.reason = QStringLiteral("备份未通过验证：备份文件里的清单与写入的不同");
            return false;
        }
        if (!QFile::rename(partPath, finalPath)) {
            out.reason = QStringLiteral("备份文件改不了名：%1").arg(finalPath);
            return false;
        }
        out.archive = finalPath;
        say(QStringLiteral("备份完成：%1（%2 张表，%3 张图片）").arg(finalPath).arg(dumped.facts.size()).arg(pictures.size()));
        return true;
    };

    out.ok = body();
    if (!out.ok) {
        QFile::remove(partPath);
        out.archive = finalPath;
    }
    out.seconds = timer.elapsed() / 1000.0;
    if (out.ok)
        rotate(outDir, keep, QFileInfo(finalPath).fileName(), say);
    return out;
}

Outcome backupAndRecord(
    const Setup& setup, const QString& outDir, const QString& copyFolder, const Keep& keep, const Say& say)
{
    Outcome outcome = makeBackup(setup, outDir, keep, say);
    // The second copy: a backup without it has not done what the office asked for.
    if (outcome.ok && !copyFolder.isEmpty()) {
        if (QString copyError; !copyArchive(outcome.archive, copyFolder, keep, say, &copyError)) {
            outcome.ok = false;
            outcome.reason = QStringLiteral("备份 %1 已完成，但第二份没有复制成功：%2").arg(outcome.archive, copyError);
        }
    }
    if (!outcome.ok)
        say(QStringLiteral("备份失败：%1").arg(outcome.reason));
    say(QStringLiteral("用时 %1 秒").arg(outcome.seconds, 0, 'f', 1));
    QString error;
    const db::ConnectionPtr connection = db::dbConnect(setup.program, &error);
    if (!connection || !recordOutcome(connection, outcome, QSysInfo::machineHostName(), &error))
        say(QStringLiteral("备份结果记不进数据库：%1").arg(error));
    return outcome;
}

bool copyArchive(const QString& archive, const QString& folder, const Keep& keep, const Say& say, QString* error)
{
    const QString name = QFileInfo(archive).fileName();
    const QString target = QDir(folder).filePath(name);
    const QString part = target + QStringLiteral(".part");
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("建不了目录 %1").arg(folder);
        return false;
    }
    QFile::remove(part);
    QFile from(archive);
    QFile to(part);
    // Owner-only before a byte of the register is in it.
    if (!from.open(QIODevice::ReadOnly)
        || !to.open(QIODevice::WriteOnly | QIODevice::Truncate, QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        || !to.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        *error = QStringLiteral("写不了 %1：%2").arg(part, to.isOpen() ? from.errorString() : to.errorString());
        to.remove();
        return false;
    }
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    bool ok = true;
    for (qint64 n; ok && (n = from.read(buffer.data(), buffer.size())) != 0;)
        ok = n > 0 && to.write(buffer.constData(), n) == n;
    ok = ok && to.flush();
    const QString written = to.errorString();
    to.close();
    if (!ok) {
        *error = QStringLiteral("复制到 %1 没有完成：%2").arg(part, written);
        QFile::remove(part);
        return false;
    }
    if (fileSha256(part) != fileSha256(archive)) {
        *error = QStringLiteral("复制到 %1 的文件与备份不一致").arg(part);
        QFile::remove(part);
        return false;
    }
    QFile::remove(target);
    if (!QFile::rename(part, target)) {
        *error = QStringLiteral("第二份备份改不了名：%1").arg(target);
        QFile::remove(part);
        return false;
    }
    say(QStringLiteral("第二份备份：%1").arg(target));
    rotate(folder, keep, name, say);
    return true;
}

// What both restores check before anything changes: a database name fit to stand in a statement,
// the archive there, unpacked into work and whole against its manifest. False with the reason.
static bool openArchive(const Setup& setup, const QString& database, const QString& archive, const QTemporaryDir& work,
    QJsonObject* manifest, QString* reason, const Say& say)
{
    if (!plainDatabaseName(database)) {
        *reason = QStringLiteral("数据库名 %1 不可用：只能有字母、数字和下划线").arg(database);
        return false;
    }
    if (!QFileInfo(archive).isFile()) {
        *reason = QStringLiteral("备份文件 %1 不存在").arg(archive);
        return false;
    }
    if (!work.isValid()) {
        *reason = QStringLiteral("建不了临时目录：%1").arg(work.errorString());
        return false;
    }
    say(QStringLiteral("检查备份文件 %1").arg(archive));
    return unpackAndCheck(archive, work.path(), setup.keyFile, manifest, reason, setup.cancel);
}

Outcome restoreBackup(const Setup& setup, const QString& archive, const RestoreTarget& target, const Say& say)
{
    Outcome out;
    out.started = QDateTime::currentDateTime();
    out.archive = archive;
    QElapsedTimer timer;
    timer.start();
    auto body = [&]() -> bool {
        QTemporaryDir work;
        QJsonObject manifest;
        QString error;
        if (!openArchive(setup, target.database, archive, work, &manifest, &out.reason, say))
            return false;
        db::ConnectionPtr connection = db::dbConnect(setup.backup, &error);
        if (!connection) {
            out.reason = QStringLiteral("连接不上数据库：%1").arg(error);
            return false;
        }
        bool exists = true;
        if (!databaseExists(connection, target.database, &exists, &error)) {
            out.reason = QStringLiteral("查不了数据库 %1 是否存在：%2").arg(target.database, error);
            return false;
        }
        if (exists) {
            out.reason = QStringLiteral("数据库 %1 已经存在，不会覆盖：请换一个名字").arg(target.database);
            return false;
        }
        const QList<HostPort> servers = parseHostList(connection->serverAddress(), setup.backup.port);
        QTemporaryDir secrets;
        ClientDefaults defaults(secrets.path(), setup.backup, servers.value(0));
        if (servers.isEmpty() || !defaults.ok()) {
            out.reason = QStringLiteral("写不了数据库程序的账号文件");
            return false;
        }
        say(QStringLiteral("恢复数据库到 %1").arg(target.database));
        if (!loadAndCompare(connection, defaults, work.path(), manifest, target.database, &error, setup.cancel)) {
            out.reason = error;
            return false;
        }
        const QStringList pictures = pictureNames(manifest);
        const QDir from(QDir(work.path()).filePath(kPictures));
        if (!target.picturesFolder.isEmpty()) {
            if (!QDir().mkpath(target.picturesFolder)) {
                out.reason = QStringLiteral("建不了图片目录 %1").arg(target.picturesFolder);
                return false;
            }
            for (const QString& name : pictures) {
                const QString to = QDir(target.picturesFolder).filePath(name);
                QFile::remove(to);
                if (!QFile::copy(from.filePath(name), to)) {
                    out.reason = QStringLiteral("图片 %1 放不进 %2").arg(name, target.picturesFolder);
                    return false;
                }
            }
            say(QStringLiteral("%1 张图片放进 %2").arg(pictures.size()).arg(target.picturesFolder));
        }
        if (target.picturesToFtp) {
            int sent = 0;
            if (!uploadPictures(setup.ftp, from.path(), pictures, PresentPictures::Replaced, &sent, &error)) {
                out.reason = error;
                return false;
            }
            say(QStringLiteral("%1 张图片传回 FTP 服务器").arg(sent));
        }
        say(QStringLiteral("恢复完成：数据库 %1").arg(target.database));
        return true;
    };
    out.ok = body();
    out.seconds = timer.elapsed() / 1000.0;
    return out;
}

namespace {
    const QString kRestoresTable = QStringLiteral("huifujilu");
    // Not swapped by a restore over the current database: what was backed up and restored when.
    const QStringList kKeptTables { QStringLiteral("beifenjilu"), kRestoresTable };

    bool baseTables(const db::ConnectionPtr& connection, const QString& database, QStringList* names, QString* error)
    {
        const db::Reply reply = connection->run(db::Statement("SELECT TABLE_NAME FROM information_schema.TABLES WHERE "
                                                              "TABLE_SCHEMA = ? AND TABLE_TYPE = 'BASE TABLE' ORDER BY "
                                                              "TABLE_NAME")
                                                    .bind(database));
        if (!reply.ok) {
            *error = reply.error;
            return false;
        }
        while (reply.rows && reply.rows->next())
            names->append(reply.rows->text(0));
        return true;
    }
} // namespace

bool readArchiveContents(const Setup& setup, const QString& archive, ArchiveContents* contents, QString* error)
{
    QTemporaryDir work;
    if (!work.isValid()) {
        *error = QStringLiteral("建不了临时目录：%1").arg(work.errorString());
        return false;
    }
    if (!QFileInfo(archive).isFile()) {
        *error = QStringLiteral("备份文件 %1 不存在").arg(archive);
        return false;
    }
    QString packed;
    if (!plainArchive(archive, work.path(), setup.keyFile, &packed, error))
        return false;
    QString why;
    const bool read = runTool(QStringLiteral("tar"),
        { QStringLiteral("-I"), QStringLiteral("zstd"), QStringLiteral("-xf"), packed, QStringLiteral("-C"), work.path(),
            kManifest },
        QString(), QString(), &why, setup.cancel);
    QFile file(QDir(work.path()).filePath(kManifest));
    const QJsonObject manifest
        = read && file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    if (manifest.value(QStringLiteral("format")).toInt() != kFormat) {
        *error = QStringLiteral("备份文件 %1 里没有可读的清单：%2").arg(archive, why);
        return false;
    }
    contents->enciphered = packed != archive;
    contents->created = QDateTime::fromString(manifest.value(QStringLiteral("created")).toString(), Qt::ISODate);
    contents->database = manifest.value(QStringLiteral("database")).toString();
    contents->server = manifest.value(QStringLiteral("server")).toString();
    contents->pictures = manifest.value(QStringLiteral("pictures")).toObject().value(QStringLiteral("count")).toInt();
    contents->tables.clear();
    // An archive of an earlier version lists its last table twice.
    for (const TableFacts& t : factsOf(manifest))
        if (std::none_of(contents->tables.cbegin(), contents->tables.cend(), [&](const TableFacts& f) { return f.name == t.name; }))
            contents->tables.append(t);
    return true;
}

QString companyName(const db::ConnectionPtr& connection, const QString& database)
{
    QString signature;
    if (const db::Reply r = connection->run(
            db::Statement("SELECT zhi FROM ?.`tixingshezhi` WHERE mingcheng = 'houzhui'").bindSql(sqlName(database)));
        r.ok && r.rows && r.rows->rowCount() > 0)
        signature = r.rows->text(0);
    signature.remove(QChar(0x3010)).remove(QChar(0x3011));
    signature = signature.trimmed();
    return signature.isEmpty() ? database : signature;
}

Outcome restoreOverCurrent(const Setup& setup, const QString& archive, const QString& confirm, const Say& say)
{
    Outcome out;
    out.started = QDateTime::currentDateTime();
    out.archive = archive;
    QElapsedTimer timer;
    timer.start();
    const QString database = setup.program.database;
    auto body = [&]() -> bool {
        QTemporaryDir work;
        QJsonObject manifest;
        QString error;
        if (!openArchive(setup, database, archive, work, &manifest, &out.reason, say))
            return false;
        const QDateTime created = QDateTime::fromString(manifest.value(QStringLiteral("created")).toString(), Qt::ISODate);
        say(QStringLiteral("备份时间：%1，数据库 %2").arg(created.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            manifest.value(QStringLiteral("database")).toString()));
        // An archive of an earlier version lists its last table twice.
        QList<TableFacts> facts;
        for (const TableFacts& t : factsOf(manifest))
            if (std::none_of(facts.cbegin(), facts.cend(), [&](const TableFacts& f) { return f.name == t.name; }))
                facts.append(t);
        for (const TableFacts& t : facts)
            say(QStringLiteral("  表 %1：%2 行").arg(t.name).arg(t.rows));
        say(QStringLiteral("  图片：%1 张").arg(manifest.value(QStringLiteral("pictures")).toObject().value(QStringLiteral("count")).toInt()));

        db::ConnectionPtr connection = db::dbConnect(setup.backup, &error);
        if (!connection) {
            out.reason = QStringLiteral("连接不上数据库：%1").arg(error);
            return false;
        }
        const QString company = companyName(connection, database);
        if (confirm != company) {
            out.reason = QStringLiteral("确认文字与公司名称“%1”不符，数据库没有改动").arg(company);
            return false;
        }
        const QList<HostPort> servers = parseHostList(connection->serverAddress(), setup.backup.port);
        QTemporaryDir secrets;
        ClientDefaults defaults(secrets.path(), setup.backup, servers.value(0));
        if (servers.isEmpty() || !defaults.ok()) {
            out.reason = QStringLiteral("写不了数据库程序的账号文件");
            return false;
        }
        const QString pid = QString::number(QCoreApplication::applicationPid());
        const QString scratch = database + QStringLiteral("_restore_") + pid;
        const QString old = database + QStringLiteral("_old_") + pid;
        struct Drop {
            db::ConnectionPtr c;
            QStringList names;
            ~Drop()
            {
                for (const QString& n : names)
                    dropDatabase(c, n);
            }
        } drop { connection, { scratch, old } };
        for (const QString& n : drop.names)
            dropDatabase(connection, n);
        say(QStringLiteral("先恢复到临时数据库 %1 并逐表比较").arg(scratch));
        if (!loadAndCompare(connection, defaults, work.path(), manifest, scratch, &error, setup.cancel)) {
            out.reason = error;
            return false;
        }
        QStringList current;
        if (!baseTables(connection, database, &current, &error)) {
            out.reason = QStringLiteral("读不到数据库 %1 的表：%2").arg(database, error);
            return false;
        }
        if (const db::Reply created = connection->run(db::Statement("CREATE DATABASE ?").bindSql(sqlName(old)));
            !created.ok) {
            out.reason = QStringLiteral("建不了数据库 %1：%2").arg(old, created.error);
            return false;
        }
        // One statement: either every table is the restored one or none is.
        QStringList renames;
        for (const QString& t : current)
            if (!kKeptTables.contains(t))
                renames << QStringLiteral("%1.%2 TO %3.%2").arg(sqlName(database), sqlName(t), sqlName(old));
        for (const TableFacts& t : facts)
            if (!kKeptTables.contains(t.name))
                renames << QStringLiteral("%1.%2 TO %3.%2").arg(sqlName(scratch), sqlName(t.name), sqlName(database));
        say(QStringLiteral("换入恢复的表"));
        if (const db::Reply swapped
            = connection->run(db::Statement("RENAME TABLE ?").bindSql(renames.join(QStringLiteral(", "))));
            !swapped.ok) {
            out.reason = QStringLiteral("换不进恢复的表（数据库 %1 没有改动）：%2").arg(database, swapped.error);
            return false;
        }
        if (!recordRestore(connection, database, archive, created, &error))
            say(QStringLiteral("恢复记不进数据库（已打开的程序不会提示重新登录）：%1").arg(error));
        say(QStringLiteral("恢复完成：数据库 %1 已恢复为 %2 的备份").arg(database, created.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        // The pictures the restored register names that the FTP folder has lost (deleted with their
        // vehicles) go back; a picture there now is kept, newer or not.
        int putBack = 0;
        if (!uploadPictures(setup.ftp, QDir(work.path()).filePath(kPictures), pictureNames(manifest), PresentPictures::Kept,
                &putBack, &error))
            out.warning = QStringLiteral("数据库已恢复，但图片没有全部传回 FTP 服务器（已传回 %1 张）：%2").arg(putBack).arg(error);
        else
            say(QStringLiteral("FTP 服务器缺少的 %1 张图片已传回").arg(putBack));
        return true;
    };
    out.ok = body();
    out.seconds = timer.elapsed() / 1000.0;
    return out;
}

bool recordRestore(const db::ConnectionPtr& connection, const QString& database, const QString& archive,
    const QDateTime& backedUp, QString* error)
{
    const db::Reply reply = connection
        ? connection->run(db::Statement("INSERT INTO ?.? (shijian, beifenshijian, dangan, jiqi) VALUES (NOW(), ?, ?, ?)")
                              .bindSql(sqlName(database))
                              .bindSql(sqlName(kRestoresTable))
                              .bind(backedUp)
                              .bind(archive.left(500))
                              .bind(QSysInfo::machineHostName().left(255)))
        : db::Reply {};
    if (!reply.ok && error)
        *error = connection ? reply.error : QStringLiteral("没有连接数据库");
    return reply.ok;
}

bool recordOutcome(const db::ConnectionPtr& connection, const Outcome& outcome, const QString& machine, QString* error)
{
    if (!connection) {
        if (error)
            *error = QStringLiteral("没有连接数据库");
        return false;
    }
    auto insert = [&](const QString& reason) {
        return connection->run(db::Statement("INSERT INTO `beifenjilu` (kaishi, haoshi, dangan, chenggong, yuanyin, jiqi) "
                                             "VALUES (?, ?, ?, ?, ?, ?)")
                                   .bind(outcome.started)
                                   .bindSql(QString::number(outcome.seconds))
                                   .bind(outcome.archive.left(500))
                                   .bind(outcome.ok ? 1 : 0)
                                   .bind(reason)
                                   .bind(machine.left(255)));
    };
    db::Reply reply = insert(outcome.reason);
    // A reason quoting a server message may hold a character GBK cannot: then its Chinese part.
    if (!reply.ok)
        reply = insert(outcome.reason.section(QStringLiteral("："), 0, 0));
    if (!reply.ok && error)
        *error = reply.error;
    return reply.ok;
}

LastBackup lastBackup(const db::ConnectionPtr& connection)
{
    LastBackup last;
    if (!connection)
        return last;
    const db::Reply reply = connection->run(
        db::Statement("SELECT kaishi, chenggong, dangan, yuanyin FROM `beifenjilu` ORDER BY ID DESC LIMIT 1"));
    const db::ResultPtr& r = reply.rows;
    if (!reply.ok || !r || r->rowCount() == 0)
        return last;
    last.known = true;
    last.when = r->dateTime(0);
    db::dbReadField(r, 1, last.ok);
    last.archive = r->text(2);
    last.reason = r->text(3);
    return last;
}

} // namespace fd::backup
