#include "common/RememberedValues.h"

#include "common/OwnerOnlyFile.h"

#include <QSettings>

namespace fd {
namespace {

    bool isIntegerType(int typeId)
    {
        return typeId == QMetaType::Int || typeId == QMetaType::UInt || typeId == QMetaType::LongLong
            || typeId == QMetaType::ULongLong;
    }

} // namespace

RememberedValues::RememberedValues(Names names)
    : m_names(std::move(names))
{
#ifdef Q_OS_WIN
    m_settings = std::make_unique<QSettings>(QStringLiteral("HKEY_CURRENT_USER\\Network"), QSettings::NativeFormat);
    m_native = true;
#else
    m_settings = std::make_unique<QSettings>(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("fleetdesk"), QStringLiteral("Network"));
#endif
}

RememberedValues::RememberedValues(Names names, const QString& iniPath)
    : m_names(std::move(names))
    , m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

RememberedValues::~RememberedValues() = default;
RememberedValues::RememberedValues(RememberedValues&&) noexcept = default;
RememberedValues& RememberedValues::operator=(RememberedValues&&) noexcept = default;

QString RememberedValues::text(const QString& key) const
{
    const QVariant v = m_settings->value(key);
    // A registry value of another type (a number, binary data, a list of texts) is not a text.
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

QString RememberedValues::userName() const
{
    return text(m_names.userName);
}

QString RememberedValues::password() const
{
    return text(m_names.password);
}

int RememberedValues::ticked() const
{
    const QVariant v = m_settings->value(m_names.ticked);
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

void RememberedValues::remember(const QString& userName, const QString& password)
{
    // The password is kept in plain text: the file is its owner's alone, before and after the write.
    if (!m_native)
        makeOwnerOnly(m_settings->fileName());
    m_settings->setValue(m_names.userName, userName);
    m_settings->setValue(m_names.password, password);
    m_settings->setValue(m_names.ticked, 1); // an int is stored as REG_DWORD
    m_settings->sync();
    if (!m_native)
        makeOwnerOnly(m_settings->fileName());
}

QString RememberedValues::location() const
{
    return m_settings->fileName();
}

} // namespace fd
