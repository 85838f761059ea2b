#pragma once

#include <QString>
#include <functional>
#include <memory>

class QObject;

class QSettings;

namespace fd {

// An account remembered on this PC: a user name, a password and a tick, under three value names of
// HKEY_CURRENT_USER\Network. On Windows that is the registry; elsewhere an INI file "Network.ini"
// in the user's configuration folder, readable by its owner only. The remembered login and the SMS
// platform account share that key, each with its own value names.
//
// Outside Windows the password goes to the desktop's keyring (the Secret Service, through
// QtKeychain) when one runs on the session bus; the INI file then keeps the user name and the tick
// only. Without a keyring the password stays in the file as plain text. A password found in the
// file while the keyring works is moved there once and erased from the file. Asking the keyring
// waits at most kKeyringWaitMs; without a session bus, or with nothing owning the Secret Service's
// name on it, nothing is asked and nothing waits.
class RememberedValues {
public:
    static constexpr int kKeyringWaitMs = 300;

    struct Names {
        QString userName;
        QString password;
        QString ticked;
    };

    // The per-user store of this platform.
    explicit RememberedValues(Names names);
    // An INI file of the caller's choice (tests).
    RememberedValues(Names names, const QString& iniPath);
    ~RememberedValues();
    RememberedValues(RememberedValues&&) noexcept;
    RememberedValues& operator=(RememberedValues&&) noexcept;

    // A missing value, or one of another type, reads as the empty text or 0. The password comes
    // from the file when it is there (and is then moved to the keyring), else from the keyring;
    // a keyring that fails or does not answer in time gives the empty text.
    QString password() const;
    // The same without waiting for the keyring: deliver gets the password on context's thread, at
    // once when it is in the file or there is no keyring, else when the keyring answers (never when
    // it fails or has none); a password still in the file is delivered at once and moved to the
    // keyring meanwhile. Nothing is delivered once context is gone, which must own this store. For
    // windows, which must not hold their event loop meanwhile.
    void readPassword(QObject* context, std::function<void(const QString&)> deliver) const;
    QString userName() const;
    int ticked() const;

    // Writes the three values (the tick as 1): the password to the keyring, or to the file when
    // the keyring cannot take it. Failures are ignored: nothing is shown. An INI file is its
    // owner's alone (0600), also when it existed with wider rights. Nothing else is ever erased.
    void remember(const QString& userName, const QString& password);

    QString location() const;
    // Whether the password goes to the desktop's keyring (a Secret Service runs): asked once.
    bool usesKeyring() const;
    // The keyring entry of the password: QtKeychain's service and key. The store of this platform
    // uses the value's name as the key; a file of the caller's choice adds its path, so that it
    // never meets the user's own entries.
    QString keyringService() const;
    QString keyringKey() const;

private:
    QString text(const QString& key) const;
    void eraseFilePassword() const;

    Names m_names;
    std::unique_ptr<QSettings> m_settings;
    QString m_keyringKey;
    bool m_native = false; // registry values carry their type; INI values are all text
    mutable int m_keyring = -1; // -1: not asked yet
};

} // namespace fd
