#include "common/RememberedValues.h"

#include "common/OwnerOnlyFile.h"

#include <QSettings>
#include <functional>

#ifndef Q_OS_WIN
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <qt6keychain/keychain.h>
#endif

namespace fd {
namespace {

    const QString kKeyringService = QStringLiteral("fleetdesk");

    bool isIntegerType(int typeId)
    {
        return typeId == QMetaType::Int || typeId == QMetaType::UInt || typeId == QMetaType::LongLong
            || typeId == QMetaType::ULongLong;
    }

#ifndef Q_OS_WIN
    // Whether a Secret Service runs on the session bus. Without a bus (a console, CI, a bare X
    // server) nothing is connected at all: the address is neither in the environment nor at its
    // usual place.
    bool secretServiceRuns()
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
            const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
            if (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus")))
                return false;
        }
        const QDBusConnection bus = QDBusConnection::sessionBus();
        const QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
        return names && names->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value();
    }

    // Starts a keyring job and runs the events until it ends, at most kKeyringWaitMs. A job still
    // running then is left to end and delete itself. `done` sees the finished job; returns whether
    // it finished in time without an error (or, for `missingIsFine`, with nothing stored).
    bool runJob(QKeychain::Job* job, const std::function<void(QKeychain::Job&)>& done = {}, bool missingIsFine = false)
    {
        QEventLoop loop;
        bool finished = false;
        bool ok = false;
        QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* j) {
            finished = true;
            ok = j->error() == QKeychain::NoError || (missingIsFine && j->error() == QKeychain::EntryNotFound);
            if (ok && done)
                done(*j);
            loop.quit();
        });
        QTimer::singleShot(RememberedValues::kKeyringWaitMs, &loop, &QEventLoop::quit);
        job->setAutoDelete(true);
        job->start();
        if (!finished)
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        return finished && ok;
    }
#endif

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
    m_keyringKey = m_names.password;
}

RememberedValues::RememberedValues(Names names, const QString& iniPath)
    : m_names(std::move(names))
    , m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
    m_keyringKey = m_settings->fileName() + QLatin1Char(' ') + m_names.password;
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
    const QString inFile = text(m_names.password);
    if (!usesKeyring())
        return inFile;
#ifndef Q_OS_WIN
    if (!inFile.isEmpty()) {
        // Left by an earlier version, or by a time without the keyring: moved once.
        auto* job = new QKeychain::WritePasswordJob(kKeyringService);
        job->setKey(m_keyringKey);
        job->setTextData(inFile);
        if (runJob(job))
            eraseFilePassword();
        return inFile;
    }
    QString stored;
    auto* job = new QKeychain::ReadPasswordJob(kKeyringService);
    job->setKey(m_keyringKey);
    runJob(job, [&stored](QKeychain::Job& j) { stored = static_cast<QKeychain::ReadPasswordJob&>(j).textData(); }, true);
    return stored;
#else
    return inFile;
#endif
}

void RememberedValues::readPassword(QObject* context, std::function<void(const QString&)> deliver) const
{
#ifndef Q_OS_WIN
    const QString inFile = text(m_names.password);
    if (usesKeyring() && !inFile.isEmpty()) {
        // Left by an earlier version, or by a time without the keyring: moved once, without
        // waiting for it. The window (context) owns this store, so both go together.
        auto* job = new QKeychain::WritePasswordJob(kKeyringService);
        job->setKey(m_keyringKey);
        job->setTextData(inFile);
        QObject::connect(job, &QKeychain::Job::finished, context, [this](QKeychain::Job* j) {
            if (j->error() == QKeychain::NoError)
                eraseFilePassword();
        });
        job->setAutoDelete(true);
        job->start();
        deliver(inFile);
        return;
    }
    if (usesKeyring()) {
        auto* job = new QKeychain::ReadPasswordJob(kKeyringService);
        job->setKey(m_keyringKey);
        QObject::connect(job, &QKeychain::Job::finished, context, [deliver = std::move(deliver)](QKeychain::Job* j) {
            if (j->error() == QKeychain::NoError)
                deliver(static_cast<QKeychain::ReadPasswordJob*>(j)->textData());
        });
        job->setAutoDelete(true);
        job->start();
        return;
    }
#endif
    Q_UNUSED(context)
    deliver(text(m_names.password));
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
    bool inKeyring = false;
#ifndef Q_OS_WIN
    if (usesKeyring()) {
        auto* job = new QKeychain::WritePasswordJob(kKeyringService);
        job->setKey(m_keyringKey);
        job->setTextData(password);
        inKeyring = runJob(job);
    }
#endif
    // Without the keyring the password is kept in plain text: the file is its owner's alone,
    // before and after the write.
    if (!m_native)
        makeOwnerOnly(m_settings->fileName());
    m_settings->setValue(m_names.userName, userName);
    if (inKeyring)
        m_settings->remove(m_names.password); // an older one must not be found and moved back
    else
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

bool RememberedValues::usesKeyring() const
{
#ifndef Q_OS_WIN
    if (m_keyring < 0)
        m_keyring = !m_native && secretServiceRuns() ? 1 : 0;
    return m_keyring == 1;
#else
    return false;
#endif
}

QString RememberedValues::keyringService() const
{
    return kKeyringService;
}

QString RememberedValues::keyringKey() const
{
    return m_keyringKey;
}

void RememberedValues::eraseFilePassword() const
{
    m_settings->remove(m_names.password);
    m_settings->sync();
    makeOwnerOnly(m_settings->fileName());
}

} // namespace fd
