#include "sms/RememberedAccount.h"

#include <QSettings>

namespace fd::sms {
namespace {

    const QString kUserName = QStringLiteral("yhm");
    const QString kPassword = QStringLiteral("mm");
    const QString kTicked = QStringLiteral("xz");

} // namespace

RememberedAccount::RememberedAccount()
{
#ifdef Q_OS_WIN
    m_settings = std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Network"), QSettings::NativeFormat);
    m_native = true;
#else
    m_settings = std::make_unique<QSettings>(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("fleetdesk"), QStringLiteral("Network"));
#endif
}

RememberedAccount::RememberedAccount(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

RememberedAccount::~RememberedAccount() = default;
RememberedAccount::RememberedAccount(RememberedAccount&&) noexcept = default;
RememberedAccount& RememberedAccount::operator=(RememberedAccount&&) noexcept = default;

QString RememberedAccount::text(const QString& key) const
{
    const QVariant v = m_settings->value(key);
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

QString RememberedAccount::userName() const
{
    return text(kUserName);
}

QString RememberedAccount::password() const
{
    return text(kPassword);
}

int RememberedAccount::ticked() const
{
    const QVariant v = m_settings->value(kTicked);
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return v.toInt();
    case QMetaType::QString:
        if (!m_native) { // an INI file keeps every value as text; in the registry a text is no DWORD
            bool ok = false;
            const int n = v.toString().trimmed().toInt(&ok);
            return ok ? n : 0;
        }
        return 0;
    default:
        return 0;
    }
}

void RememberedAccount::remember(const QString& userName, const QString& password)
{
    m_settings->setValue(kUserName, userName);
    m_settings->setValue(kPassword, password);
    m_settings->setValue(kTicked, 1); // an int is stored as REG_DWORD
    m_settings->sync();
}

QString RememberedAccount::location() const
{
    return m_settings->fileName();
}

} // namespace fd::sms
