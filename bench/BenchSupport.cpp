#include "bench/BenchSupport.h"


#include <QFile>
#include <QRandomGenerator>
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

QImage benchPhoto()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator rng(2016);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = static_cast<int>(rng.bounded(24)) - 12;
            const int band = ((x / 250) + (y / 250)) % 2 ? 40 : 0;
            line[x] = qRgb(std::clamp(x * 255 / 4000 + n + band, 0, 255), std::clamp(y * 255 / 3000 + n, 0, 255),
                std::clamp(128 + n - band, 0, 255));
        }
    }
    return image;
}

BenchArgs readBenchArgs(const QStringList& args, int defaultRuns)
{
    BenchArgs a;
    a.runs = defaultRuns;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            a.runs = std::max(1, args[++i].toInt());
        else
            a.expected = args[i].toLongLong();
    }
    return a;
}

} // namespace fd::bench
