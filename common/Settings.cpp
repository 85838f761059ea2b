#include "common/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace fd {

QString Settings::defaultPath()
{
    const QString fromEnv = qEnvironmentVariable("FLEETDESK_CONFIG");
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("fleetdesk.ini"));
}

bool Settings::load(const QString& path)
{
    if (!QFileInfo::exists(path))
        return false;
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("fleetdesk"));
    // An unquoted value with commas comes back as a list; join it again.
    auto text = [&](const char* key, const QString& fallback) {
        const QVariant v = ini.value(QLatin1String(key), fallback);
        return v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(',')) : v.toString();
    };
    auto number = [&](const char* key, int fallback) {
        bool ok = false;
        const int v = ini.value(QLatin1String(key)).toString().toInt(&ok, 0);
        return ok ? v : fallback;
    };
    dbHost = text("dbHost", dbHost);
    dbUser = text("dbUser", dbUser);
    dbPassword = text("dbPassword", dbPassword);
    ftpUser = text("ftpUser", ftpUser);
    ftpPassword = text("ftpPassword", ftpPassword);
    settingKeyA = text("settingKeyA", settingKeyA);
    settingKeyB = text("settingKeyB", settingKeyB);
    xorMask = static_cast<quint8>(number("xorMask", xorMask));
    serverAddress = text("serverAddress", serverAddress);
    supportContact = text("supportContact", supportContact);
    dbPort = number("dbPort", dbPort);
    ftpPort = number("ftpPort", ftpPort);
    webPort = number("webPort", webPort);
    smsUrlTemplate = text("smsUrlTemplate", smsUrlTemplate);
    connectivityUrl = text("connectivityUrl", connectivityUrl);
    httpConnectTimeoutSeconds = number("httpConnectTimeoutSeconds", httpConnectTimeoutSeconds);
    httpTotalTimeoutSeconds = number("httpTotalTimeoutSeconds", httpTotalTimeoutSeconds);
    return ini.status() == QSettings::NoError;
}

bool Settings::save(const QString& path) const
{
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("fleetdesk"));
    ini.setValue(QStringLiteral("dbHost"), dbHost);
    ini.setValue(QStringLiteral("dbUser"), dbUser);
    ini.setValue(QStringLiteral("dbPassword"), dbPassword);
    ini.setValue(QStringLiteral("ftpUser"), ftpUser);
    ini.setValue(QStringLiteral("ftpPassword"), ftpPassword);
    ini.setValue(QStringLiteral("settingKeyA"), settingKeyA);
    ini.setValue(QStringLiteral("settingKeyB"), settingKeyB);
    ini.setValue(QStringLiteral("xorMask"), xorMask);
    ini.setValue(QStringLiteral("serverAddress"), serverAddress);
    ini.setValue(QStringLiteral("supportContact"), supportContact);
    ini.setValue(QStringLiteral("dbPort"), dbPort);
    ini.setValue(QStringLiteral("ftpPort"), ftpPort);
    ini.setValue(QStringLiteral("webPort"), webPort);
    ini.setValue(QStringLiteral("smsUrlTemplate"), smsUrlTemplate);
    ini.setValue(QStringLiteral("connectivityUrl"), connectivityUrl);
    ini.setValue(QStringLiteral("httpConnectTimeoutSeconds"), httpConnectTimeoutSeconds);
    ini.setValue(QStringLiteral("httpTotalTimeoutSeconds"), httpTotalTimeoutSeconds);
    ini.endGroup();
    ini.sync();
    return ini.status() == QSettings::NoError;
}

} // namespace fd
