#include "bench/BenchSupport.h"

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cstdio>

namespace fd::bench {

void SilentDialogs::message(const QString& text, const QString&)
{
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
}

qint64 statusKb(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

QString list(const std::vector<double>& v)
{
    QStringList s;
    for (double x : v)
        s << QString::number(x, 'f', 1);
    return s.join(QStringLiteral(" "));
}

} // namespace fd::bench
