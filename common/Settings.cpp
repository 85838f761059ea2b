#include "common/Settings.h"

#include "common/OwnerOnlyFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSettings>

namespace fd {
namespace {

// The unquoted values of the [fleetdesk] section exactly as written. QSettings cuts an unquoted
// value at ";" (a comment to it) and splits it at "," dropping the spaces around the pieces, so
// a hand-written "QQ 800012345, 手机 ..." or a URL template with ";" would come back changed.
QHash<QString, QString> unquotedValues(const QString& path)
{
    QHash<QString, QString> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return values;
    QString content = QString::fromUtf8(file.readAll());
    if (content.startsWith(QChar(0xFEFF)))
        content.remove(0, 1);
    bool inSection = false;
    for (QString line : content.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inSection = line.mid(1, line.size() - 2).trimmed() == QLatin1String("fleetdesk");
            continue;
        }
        if (!inSection || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString value = line.mid(eq + 1).trimmed();
        if (!value.startsWith(QLatin1Char('"'))) // quoted values carry escapes: QSettings reads those
            values.insert(line.left(eq).trimmed(), value);
    }
    return values;
}

} // namespace

QString Settings::userPath()
{
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the XDG base directory rules say.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(config).filePath(QStringLiteral("fleetdesk/fleetdesk.ini"));
}

QString Settings::defaultPath(const QString& systemFolder)
{
    const QString fromEnv = qEnvironmentVariable("FLEETDESK_CONFIG");
    if (!fromEnv.isEmpty())
        return fromEnv;
    const QString name = QStringLiteral("fleetdesk.ini");
    const QString user = userPath();
    for (const QString& path : {QDir(QCoreApplication::applicationDirPath()).filePath(name), user,
             QDir(systemFolder).filePath(name)}) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return user;
}

QString Settings::backupKeyFilePath() const
{
    if (backupKeyFile.isEmpty() || QDir::isAbsolutePath(backupKeyFile) || loadedFrom.isEmpty())
        return backupKeyFile;
    return QFileInfo(loadedFrom).absoluteDir().absoluteFilePath(backupKeyFile);
}

QString Settings::tlsCaFilePath() const
{
    if (dbTlsCaFile.isEmpty() || QDir::isAbsolutePath(dbTlsCaFile))
        return dbTlsCaFile;
    const QString program = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(dbTlsCaFile);
    if (loadedFrom.isEmpty())
        return program;
    const QString beside = QFileInfo(loadedFrom).absoluteDir().absoluteFilePath(dbTlsCaFile);
    if (!QFileInfo::exists(beside) && QFileInfo::exists(program))
        return program;
    return beside;
}

bool Settings::load(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    // QSettings reads a file it cannot open as an empty one: look first.
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        if (error) {
            QString reason;
            if (info.isDir())
                reason = QStringLiteral("这是一个文件夹");
            else if (!info.isReadable())
                reason = QStringLiteral("没有读取权限（请管理员检查文件的所有者和权限）");
            else
                reason = file.errorString();
            *error = QStringLiteral("读不到设置文件 %1：%2").arg(QDir::toNativeSeparators(path), reason);
        }
        return false;
    }
    file.close();
    loadedFrom = path;
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("fleetdesk"));
    const QHash<QString, QString> unquoted = unquotedValues(path);
    auto text = [&](const char* key, const QString& fallback) {
        const auto raw = unquoted.constFind(QLatin1String(key));
        if (raw != unquoted.constEnd())
            return raw.value();
        return ini.value(QLatin1String(key), fallback).toString();
    };
    auto number = [&](const char* key, int fallback) {
        bool ok = false;
        const int v = ini.value(QLatin1String(key)).toString().trimmed().toInt(&ok, 10); // "03306" is 3306
        return ok ? v : fallback;
    };
    dbHost = text("dbHost", dbHost);
    dbUser = text("dbUser", dbUser);
    dbPassword = text("dbPassword", dbPassword);
    ftpUser = text("ftpUser", ftpUser);
    ftpPassword = text("ftpPassword", ftpPassword);
    smsUser = text("smsUser", smsUser);
    smsPassword = text("smsPassword", smsPassword);
    backupUser = text("backupUser", backupUser);
    backupPassword = text("backupPassword", backupPassword);
    backupCopyDir = text("backupCopyDir", backupCopyDir);
    backupKeyFile = text("backupKeyFile", backupKeyFile);
    settingKeyA = text("settingKeyA", settingKeyA);
    settingKeyB = text("settingKeyB", settingKeyB);
    xorMask = static_cast<quint8>(number("xorMask", xorMask));
    serverAddress = text("serverAddress", serverAddress);
    supportContact = text("supportContact", supportContact);
    dbPort = number("dbPort", dbPort);
    dbTlsRequired = number("dbTlsRequired", dbTlsRequired ? 1 : 0) != 0;
    dbTlsCaFile = text("dbTlsCaFile", dbTlsCaFile);
    dbTlsVerifyServer = number("dbTlsVerifyServer", dbTlsVerifyServer ? 1 : 0) != 0;
    ftpPort = number("ftpPort", ftpPort);
    webPort = number("webPort", webPort);
    gbkFileNames = number("gbkFileNames", gbkFileNames ? 1 : 0) != 0;
    smsUrlTemplate = text("smsUrlTemplate", smsUrlTemplate);
    connectivityUrl = text("connectivityUrl", connectivityUrl);
    httpConnectTimeoutSeconds = number("httpConnectTimeoutSeconds", httpConnectTimeoutSeconds);
    httpTotalTimeoutSeconds = number("httpTotalTimeoutSeconds", httpTotalTimeoutSeconds);
    companyName = text("companyName", companyName);
    receiptPrefix = text("receiptPrefix", receiptPrefix);
    receiptPage = text("receiptPage", receiptPage);
    keepPlainPasswords = number("keepPlainPasswords", keepPlainPasswords ? 1 : 0) != 0;
    return ini.status() == QSettings::NoError;
}

bool Settings::save(const QString& path) const
{
    // Enciphered is not secret to whoever has the program: the file is its owner's alone.
    makeOwnerOnly(path);
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("fleetdesk"));
    ini.setValue(QStringLiteral("dbHost"), dbHost);
    ini.setValue(QStringLiteral("dbUser"), dbUser);
    ini.setValue(QStringLiteral("dbPassword"), dbPassword);
    ini.setValue(QStringLiteral("ftpUser"), ftpUser);
    ini.setValue(QStringLiteral("ftpPassword"), ftpPassword);
    ini.setValue(QStringLiteral("smsUser"), smsUser);
    ini.setValue(QStringLiteral("smsPassword"), smsPassword);
    // Written only when set: a file without them keeps reading as the program's account.
    if (!backupUser.isEmpty() || !backupPassword.isEmpty()) {
        ini.setValue(QStringLiteral("backupUser"), backupUser);
        ini.setValue(QStringLiteral("backupPassword"), backupPassword);
    }
    if (!backupCopyDir.isEmpty())
        ini.setValue(QStringLiteral("backupCopyDir"), backupCopyDir);
    if (!backupKeyFile.isEmpty())
        ini.setValue(QStringLiteral("backupKeyFile"), backupKeyFile);
    ini.setValue(QStringLiteral("settingKeyA"), settingKeyA);
    ini.setValue(QStringLiteral("settingKeyB"), settingKeyB);
    ini.setValue(QStringLiteral("xorMask"), xorMask);
    ini.setValue(QStringLiteral("serverAddress"), serverAddress);
    ini.setValue(QStringLiteral("supportContact"), supportContact);
    ini.setValue(QStringLiteral("dbPort"), dbPort);
    ini.setValue(QStringLiteral("dbTlsRequired"), dbTlsRequired ? 1 : 0);
    ini.setValue(QStringLiteral("dbTlsCaFile"), dbTlsCaFile);
    ini.setValue(QStringLiteral("dbTlsVerifyServer"), dbTlsVerifyServer ? 1 : 0);
    ini.setValue(QStringLiteral("ftpPort"), ftpPort);
    ini.setValue(QStringLiteral("webPort"), webPort);
    ini.setValue(QStringLiteral("gbkFileNames"), gbkFileNames ? 1 : 0);
    ini.setValue(QStringLiteral("smsUrlTemplate"), smsUrlTemplate);
    ini.setValue(QStringLiteral("connectivityUrl"), connectivityUrl);
    ini.setValue(QStringLiteral("httpConnectTimeoutSeconds"), httpConnectTimeoutSeconds);
    ini.setValue(QStringLiteral("httpTotalTimeoutSeconds"), httpTotalTimeoutSeconds);
    ini.setValue(QStringLiteral("companyName"), companyName);
    ini.setValue(QStringLiteral("receiptPrefix"), receiptPrefix);
    ini.setValue(QStringLiteral("receiptPage"), receiptPage);
    ini.setValue(QStringLiteral("keepPlainPasswords"), keepPlainPasswords ? 1 : 0);
    ini.endGroup();
    ini.sync();
    return ini.status() == QSettings::NoError && makeOwnerOnly(path);
}

} // namespace fd
