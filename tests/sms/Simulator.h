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
    QString user, mobile, content, result;
    double time = 0;
};

class Simulator {
public:
    explicit Simulator(const Settings& settings)
    {
        const QUrl send(sms::smsSplitTemplate(settings.smsUrlTemplate).value(0));
        m_origin = send.scheme() + QStringLiteral("://") + send.host() + QLatin1Char(':') + QString::number(send.port());
        if (send.port() <= 0)
            ADD_FAILURE() << "the settings hold no simulator URL: " << settings.smsUrlTemplate.toStdString();
    }

    // Faults off, the message log emptied, the accounts of the stack only.
    void reset() { control(QStringLiteral("reset")); }
    void account(const QString& user, const QString& password, int balance)
    {
        control(QStringLiteral("account?uid=%1&pwd=%2&balance=%3").arg(user, password).arg(balance));
    }
    // For example "refuse=13900000002" or "hang=1&scope=all".
    void fault(const QString& query) { control(QStringLiteral("fault?") + query); }
    int balance(const QString& user)
    {
        return control(QStringLiteral("state"))[QStringLiteral("accounts")][user][QStringLiteral("balance")].toInt(-1);
    }

    static QList<Received> received()
    {
        QList<Received> out;
        QFile file(stackDir() + QStringLiteral("/sms/messages.jsonl"));
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "no message log at " << file.fileName().toStdString();
            return out;
        }
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            out.append({o[QStringLiteral("user")].toString(), o[QStringLiteral("mobile")].toString(),
                o[QStringLiteral("content")].toString(), o[QStringLiteral("result")].toString(),
                o[QStringLiteral("time")].toString().toDouble()});
        }
        return out;
    }

    QString origin() const { return m_origin; }

private:
    QJsonObject control(const QString& what)
    {
        const QByteArray reply = net::httpGet(m_origin + QStringLiteral("/sim/") + what);
        const QJsonObject o = QJsonDocument::fromJson(reply).object();
        if (o.isEmpty())
            ADD_FAILURE() << "the simulator did not answer " << what.toStdString() << ": " << reply.toStdString();
        return o;
    }

    QString m_origin;
};

} // namespace fd::test
