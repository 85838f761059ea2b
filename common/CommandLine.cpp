#include "common/CommandLine.h"

#include <QCommandLineParser>
#include <cstdio>

namespace fd::cli {

void say(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QCommandLineOption configOption()
{
    return QCommandLineOption(QStringLiteral("config"),
        QStringLiteral("设置文件，默认 FLEETDESK_CONFIG，否则依次为程序旁边、~/.config/fleetdesk/、/etc/fleetdesk/ 的 fleetdesk.ini"),
        QStringLiteral("file"));
}

bool loadSettings(const QCommandLineParser& parser, const QCommandLineOption& config, Settings& settings)
{
    const QString path = parser.isSet(config) ? parser.value(config) : Settings::defaultPath();
    QString error;
    if (settings.load(path, &error))
        return true;
    say(error.isEmpty() ? QStringLiteral("读不到设置文件 %1：文件不存在").arg(path) : error);
    return false;
}

} // namespace fd::cli
