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
    // The database account of the backup program (fleetdesk-backup), which creates and drops a
    // scratch database to prove each backup: enciphered, key settingKeyB. Empty: dbUser/dbPassword.
    QString backupUser;
    QString backupPassword;
    // A second folder (another disk, a mounted share) that receives a copy of every proven backup,
    // kept by the same rotation. Empty: none.
    QString backupCopyDir;
    // A file holding the passphrase the backup archives are enciphered with (its text without the
    // line end; a relative path lies beside the settings file). Kept apart from this file on
    // purpose: the settings' own cipher hides a value from a glance, not from whoever has the
    // file, while the key file can be owner-only or on another medium, and a copy of the settings
    // and the archives together does not open them. Empty: archives are not enciphered.
    QString backupKeyFile;
    // backupKeyFile as a full path (the way tlsCaFilePath resolves a relative one, without the
    // program's folder).
    QString backupKeyFilePath() const;
    QString settingKeyA; // 11 decimal digits
    QString settingKeyB; // 11 decimal digits
    quint8 xorMask = 0;
    QString serverAddress;  // plain address of the database and web server (a host list too)
    QString supportContact; // shown after two connection failure messages
    int dbPort = 0;         // 0: the client library's default, 3306
    // Encryption of the database connections: with dbTlsRequired a server without TLS is
    // refused. dbTlsCaFile (PEM; see tlsCaFilePath for a relative path) signs the servers'
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
    // The fee desk: the company named on receipts (empty: the reminders' signature), the office's
    // receipt number prefix, and the receipt page ("A5": A5 landscape, "241": the 241 mm
    // continuous form) an office uses unless a user chose another in 页面设置.
    QString companyName;
    QString receiptPrefix = QStringLiteral("A");
    QString receiptPage = QStringLiteral("A5");
    // 1 for an office that still runs an older program on the same database: the users table
    // mimabiao then keeps each password in plain text beside its hash. Off by default.
    bool keepPlainPasswords = false;

    // The file the settings were last loaded from (not a setting of its own).
    QString loadedFrom;

    // The file named by FLEETDESK_CONFIG when it is set. Otherwise the first fleetdesk.ini that
    // exists: beside the program, in the user's configuration folder ($XDG_CONFIG_HOME/fleetdesk,
    // by default ~/.config/fleetdesk), in systemFolder (an administrator's file for every user of
    // the machine). Where none exists, the user's file.
    static QString defaultPath(const QString& systemFolder = QStringLiteral("/etc/fleetdesk"));
    // The user's own settings file. A program that saves settings saves them here, never into the
    // system folder, whose file it only reads.
    static QString userPath();
    // dbTlsCaFile as a full path. A relative path lies in the folder of the settings file that
    // named it; where that folder has no such file but the program's folder has, that one (the
    // way an older settings file beside the program meant it).
    QString tlsCaFilePath() const;
    // Missing keys keep their defaults. Returns false when the file does not exist, or when it
    // exists but cannot be read: then error (when given) names the file and the reason, for the
    // user to see instead of the failures that empty settings would cause later.
    bool load(const QString& path, QString* error = nullptr);
    // The file is readable by its owner only (0600), also when it existed with wider rights.
    bool save(const QString& path) const;
};

} // namespace fd
