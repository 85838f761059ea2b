#pragma once

// The SMS platform simulator of the local stack, driven through its control URLs, and the log of
// what it received.
#include "common/Settings.h"
#include "net/Http.h"
#include "sms/SmsClient.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QUrl>
#include <gtest/gtest.h>

namespace fd::test {

// A received message as the simulator logged it.
struct Received {
    QString mobile, content;
    double time = 0;
};

class Simulator {
public:
    explicit Simulator(const Settings& settings)
        : m_origin(QUrl(sms::smsSplitTemplate(settings.smsUrlTemplate).value(0))
                       .adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
                       .toString())
    {
    }

    // Faults off, the message log emptied, the accounts of the stack only.
    void reset() { control(QStringLiteral("reset")); }
    void account(const QString& user, const QString& password, int balance)
    {
        control(QStringLiteral("account?uid=%1&pwd=%2&balance=%3").arg(user, password).arg(balance));
    }
    // For example "refuse=13900000002" or "hang=1&scope=all".
    void fault(const QString& query) { control(QStringLiteral("fault?") + query); }

    static QList<Received> received()
    {
        QList<Received> out;
        QFile file(stackDir() + QStringLiteral("/sms/messages.jsonl"));
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "no message log at " << file.fileName().toStdString();
            return out;
        }
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            if (!o.isEmpty())
                out.append({o[QStringLiteral("mobile")].toString(), o[QStringLiteral("content")].toString(),
                    o[QStringLiteral("time")].toString().toDouble()});
        }
        return out;
    }

private:
    void control(const QString& what)
    {
        const QByteArray reply = net::httpGet(m_origin + QStringLiteral("/sim/") + what);
        if (QJsonDocument::fromJson(reply).object().isEmpty())
            ADD_FAILURE() << "the simulator did not answer " << what.toStdString() << ": " << reply.toStdString();
    }

    QString m_origin;
};

} // namespace fd::test
