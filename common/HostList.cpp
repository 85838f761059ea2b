#include "common/HostList.h"

#include <QRegularExpression>

namespace fd {
namespace {

    bool readPort(const QString& text, int& port)
    {
        bool ok = false;
        const int value = text.toInt(&ok, 10);
        if (!ok || value < 1 || value > 65535 || text.startsWith(QLatin1Char('+')))
            return false;
        port = value;
        return true;
    }

} // namespace

QList<HostPort> parseHostList(const QString& text, int defaultPort)
{
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    const QStringList entries = text.split(separators, Qt::SkipEmptyParts);
    if (entries.isEmpty())
        return { HostPort { QString(), defaultPort } };

    QList<HostPort> hosts;
    for (const QString& entry : entries) {
        HostPort hp { entry, defaultPort };
        if (entry.startsWith(QLatin1Char('['))) {
            const qsizetype close = entry.indexOf(QLatin1Char(']'));
            if (close < 0)
                continue;
            hp.host = entry.mid(1, close - 1);
            const QString rest = entry.mid(close + 1);
            if (!rest.isEmpty() && !(rest.startsWith(QLatin1Char(':')) && readPort(rest.mid(1), hp.port)))
                continue;
        } else if (entry.count(QLatin1Char(':')) == 1) {
            const qsizetype colon = entry.indexOf(QLatin1Char(':'));
            hp.host = entry.left(colon);
            if (!readPort(entry.mid(colon + 1), hp.port))
                continue;
        }
        if (hp.host.isEmpty())
            continue;
        hosts.append(hp);
    }
    return hosts;
}

QString urlHost(const QString& host)
{
    return host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
}

} // namespace fd
