#pragma once

#include <QString>

namespace fd {

// Deployment settings, read from one INI file. The database host, user and password and the FTP
// account are kept enciphered (see common/Cipher.h) and are deciphered at each use.
struct Settings {
    // enciphered, key settingKeyA: one host or several in order of preference
    // ("db1.example.com:3306,db2.example.com:3306"); hosts without a port take dbPort.
    QString dbHost;
    QString dbUser;      // enciphered, key settingKeyB
    QString dbPassword;  // enciphered, key settingKeyB
    QString ftpUser;     // enciphered, key settingKeyA
    QString ftpPassword; // enciphered, key settingKeyA
    // The SMS platform account of the unattended reminder run (fleetdesk-remind): enciphered, key
    // settingKeyA. The windows ask the user for theirs.
    QString smsUser;
    QString smsPassword;
    QString settingKeyA; // 11 decimal digits
    QString settingKeyB; // 11 decimal digits
    quint8 xorMask = 0;
    QString serverAddress;  // plain address of the database and web server (a host list too)
    QString supportContact; // shown after two connection failure messages
    int dbPort = 0;         // 0: the client library's default, 3306
    // Encryption of the database connections: with dbTlsRequired a server without TLS is
    // refused. dbTlsCaFile (PEM; a relative path is beside the program) signs the servers'
    // certificates, checked with their addresses when dbTlsVerifyServer is set.
    bool dbTlsRequired = false;
    QString dbTlsCaFile;
    bool dbTlsVerifyServer = true;
    int ftpPort = 21;
    int webPort = 80;
    // Picture file names travel to the FTP and web servers as UTF-8 (percent-encoded in URLs);
    // 1 for servers that keep their names as GBK bytes.
    bool gbkFileNames = false;
    QString smsUrlTemplate;
    QString connectivityUrl = QStringLiteral("http://www.baidu.com/");
    // Connecting to a web server, and a whole web request.
    int httpConnectTimeoutSeconds = 5;
    int httpTotalTimeoutSeconds = 30;

    // The file named by FLEETDESK_CONFIG, else fleetdesk.ini beside the program.
    static QString defaultPath();
    // Missing keys keep their defaults. Returns false when the file does not exist.
    bool load(const QString& path);
    // The file is readable by its owner only (0600), also when it existed with wider rights.
    bool save(const QString& path) const;
};

} // namespace fd
