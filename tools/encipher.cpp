// Enciphers a value for the settings file:
//   fleetdesk-encipher <key text> <xor mask> <value>
#include "common/Cipher.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() != 4) {
        err << "usage: fleetdesk-encipher <key text> <xor mask 0-255> <value>\n";
        return 2;
    }
    bool ok = false;
    const int mask = args[2].toInt(&ok, 0);
    if (!ok || mask < 0 || mask > 255) {
        err << "the mask must be a number from 0 to 255\n";
        return 2;
    }
    const QString enciphered = fd::encipherSetting(args[3], args[1], static_cast<quint8>(mask));
    if (enciphered.isEmpty()) {
        err << "the value holds a character that GBK cannot store\n";
        return 1;
    }
    out << enciphered << "\n";
    return 0;
}
