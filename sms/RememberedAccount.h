#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace fd::sms {

// The SMS platform account remembered on this PC: values "yhm" (user name), "mm" (password, in
// plain text) and "xz" (1: fill the account in at the next opening) under HKEY_CURRENT_USER\Network,
// beside the remembered login. On Windows that is the registry; elsewhere the same "Network.ini"
// in the user's configuration folder that holds the remembered login.
class RememberedAccount {
public:
    RememberedAccount();
    // An INI file of the caller's choice (tests).
    explicit RememberedAccount(const QString& iniPath);
    ~RememberedAccount();
    RememberedAccount(RememberedAccount&&) noexcept;
    RememberedAccount& operator=(RememberedAccount&&) noexcept;

    // A missing value, or one of another type, reads as the empty text or 0.
    QString userName() const;
    QString password() const;
    int ticked() const;

    // Writes the three values (xz = 1). Nothing is ever erased.
    void remember(const QString& userName, const QString& password);

    QString location() const;

private:
    QString text(const QString& key) const;

    std::unique_ptr<QSettings> m_settings;
    bool m_native = false; // registry values carry their type; INI values are all text
};

} // namespace fd::sms
