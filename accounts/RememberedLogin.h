#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace fd::accounts {

// The login remembered on this PC: values "dlyhm" (user name), "dlmm" (password) and "dlxz"
// (1 when 记住密码 was ticked) under HKEY_CURRENT_USER\Network. On Windows that is the registry;
// elsewhere an INI file "Network.ini" in the user's configuration folder.
class RememberedLogin {
public:
    // The per-user store of this platform.
    RememberedLogin();
    // An INI file of the caller's choice (tests).
    explicit RememberedLogin(const QString& iniPath);
    ~RememberedLogin();
    RememberedLogin(RememberedLogin&&) noexcept;
    RememberedLogin& operator=(RememberedLogin&&) noexcept;

    // A missing value, or one of another type, reads as the empty text or 0.
    QString userName() const;
    QString password() const;
    int ticked() const;

    // Writes the three values (dlxz = 1). Failures are ignored: nothing is shown. An INI file is
    // readable by its owner only (0600), also when it existed with wider rights.
    void remember(const QString& userName, const QString& password);

    QString location() const;

private:
    QString text(const QString& key) const;

    std::unique_ptr<QSettings> m_settings;
    bool m_native = false; // registry values carry their type; INI values are all text
};

} // namespace fd::accounts
