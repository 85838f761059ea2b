#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace fd {

// An account remembered on this PC: a user name, a password (in plain text) and a tick, under three
// value names of HKEY_CURRENT_USER\Network. On Windows that is the registry; elsewhere an INI file
// "Network.ini" in the user's configuration folder, readable by its owner only. The remembered
// login and the SMS platform account share that key, each with its own value names.
class RememberedValues {
public:
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

    // A missing value, or one of another type, reads as the empty text or 0.
    QString userName() const;
    QString password() const;
    int ticked() const;

    // Writes the three values (the tick as 1). Failures are ignored: nothing is shown. An INI file
    // is its owner's alone (0600), also when it existed with wider rights. Nothing is ever erased.
    void remember(const QString& userName, const QString& password);

    QString location() const;

private:
    QString text(const QString& key) const;

    Names m_names;
    std::unique_ptr<QSettings> m_settings;
    bool m_native = false; // registry values carry their type; INI values are all text
};

} // namespace fd
