#include "accounts/RememberedLogin.h"

#include "common/OwnerOnlyFile.h"

#include <QSettings>

namespace fd::accounts {
namespace {

    const QString kUserName = QStringLiteral("dlyhm");
    const QString kPassword = QStringLiteral("dlmm");
    const QString kTicked = QStringLiteral("dlxz");

    bool isIntegerType(int typeId)
    {
        return typeId == QMetaType::Int || typeId == QMetaType::UInt || typeId == QMetaType::LongLong
            || typeId == QMetaType::ULongLong;
    }

} // namespace

RememberedLogin::RememberedLogin()
{
#ifdef Q_OS_WIN
    m_settings = std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Network"), QSettings::NativeFormat);
    m_native = true;
#else
    m_settings = std::make_unique<QSettings>(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("fleetdesk"), QStringLiteral("Network"));
#endif
}

RememberedLogin::RememberedLogin(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

RememberedLogin::~RememberedLogin() = default;
RememberedLogin::RememberedLogin(RememberedLogin&&) noexcept = default;
RememberedLogin& RememberedLogin::operator=(RememberedLogin&&) noexcept = default;

QString RememberedLogin::text(const QString& key) const
{
    const QVariant v = m_settings->value(key);
    // A registry value of another type (a number, binary data, a list of texts) is not a text.
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

QString RememberedLogin::userName() const
{
    return text(kUserName);
}
QString RememberedLogin::password() const
{
    return text(kPassword);
}

int RememberedLogin::ticked() const
{
    const QVariant v = m_settings->value(kTicked);
    if (isIntegerType(v.typeId()))
        return v.toInt();
    // An INI file keeps every value as text; in the registry a text is not a DWORD.
    if (!m_native && v.typeId() == QMetaType::QString) {
        bool ok = false;
        const int n = v.toString().trimmed().toInt(&ok);
        return ok ? n : 0;
    }
    return 0;
}

void RememberedLogin::remember(const QString& userName, const QString& password)
{
    // The password is kept in plain text: the file is its owner's alone, before and after the write.
    if (!m_native)
        makeOwnerOnly(m_settings->fileName());
    m_settings->setValue(kUserName, userName);
    m_settings->setValue(kPassword, password);
    m_settings->setValue(kTicked, 1); // an int is stored as REG_DWORD
    m_settings->sync();
    if (!m_native)
        makeOwnerOnly(m_settings->fileName());
}

QString RememberedLogin::location() const
{
    return m_settings->fileName();
}

} // namespace fd::accounts
