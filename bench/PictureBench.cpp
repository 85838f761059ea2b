// Two figures for the document pictures:
//  1. re-encoding a 12-megapixel photo (quality 75, optimised, baseline) against
//     `djpeg | cjpeg -quality 75 -optimize` on the same file, as a ratio (goal <= 1.1);
//  2. the time until all ten thumbnails have arrived from a web server that answers each request
//     after 200 ms, against one request alone (goal <= 2).
//
//   picture_bench [PORT]     (a free port for the slow web server; 4360 by default)
#include "bench/BenchSupport.h"
#include "net/Http.h"
#include "vehicles/JpegConvert.h"
#include "vehicles/ThumbnailLoader.h"
#include "vehicles/Workers.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <curl/curl.h>
#include <vector>

using namespace fd;
using namespace fd::bench;

namespace {

// A photo-like 4000 x 3000 picture: smooth areas, edges and sensor noise.
QImage photo()
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

void reencodeFigure(const QString& dir)
{
    const QString source = QDir(dir).filePath(QStringLiteral("photo.jpg"));
    photo().save(source, "JPG", 92);
    std::printf("source: 12 MP, %lld bytes\n", static_cast<long long>(QFileInfo(source).size()));
    std::vector<double> ours, tools;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        QFile in(source);
        in.open(QIODevice::ReadOnly);
        const vehicles::JpegResult r = vehicles::encodeJpeg(in.readAll());
        QFile out(QDir(dir).filePath(QStringLiteral("ours.jpg")));
        out.open(QIODevice::WriteOnly);
        out.write(r.bytes);
        out.close();
        ours.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);

        t.restart();
        QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"),
            QStringLiteral("djpeg '%1' | cjpeg -quality 75 -optimize > '%2'").arg(source, QDir(dir).filePath(QStringLiteral("tools.jpg")))});
        tools.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::printf("re-encode: ours %.0f ms, djpeg|cjpeg %.0f ms (medians of 5)\n", median(ours), median(tools));
    std::printf("re-encode ratio: %.2f\n", median(ours) / median(tools));
}

void thumbnailFigure(const QString& dir, int port)
{
    for (int i = 0; i < 10; ++i) {
        QImage(99, 150, QImage::Format_RGB32).save(QDir(dir).filePath(QStringLiteral("t%1.jpg").arg(i)), "JPG");
    }
    const QString script = QStringLiteral(
        "import http.server, time, functools\n"
        "class H(http.server.SimpleHTTPRequestHandler):\n"
        "    def do_GET(self):\n"
        "        time.sleep(0.2)\n"
        "        super().do_GET()\n"
        "    def log_message(self, *a): pass\n"
        "class S(http.server.ThreadingHTTPServer):\n"
        "    request_queue_size = 128\n"
        "S(('127.0.0.1', %1), functools.partial(H, directory='%2')).serve_forever()\n")
                               .arg(port)
                               .arg(dir);
    QProcess server;
    server.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script});
    server.waitForStarted();
    const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    for (int i = 0; i < 100 && net::httpGet(base + QStringLiteral("t0.jpg")).isEmpty(); ++i)
        QThread::msleep(50);

    std::vector<double> one, ten;
    QList<QStringList> urls;
    for (int i = 0; i < 10; ++i)
        urls << QStringList { base + QStringLiteral("t%1.jpg").arg(i) };
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        net::httpGet(urls.first().first());
        one.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);

        QObject receiver;
        QEventLoop loop;
        int arrived = 0;
        t.restart();
        vehicles::ThumbnailLoader loader(
            &receiver, urls,
            [&](int, const QByteArray& bytes) {
                arrived += bytes.isEmpty() ? 0 : 1;
                if (arrived == 10)
                    loop.quit();
            },
            10);
        loop.exec();
        ten.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        vehicles::waitForWorkers(5000);
    }
    server.kill();
    server.waitForFinished();
    std::printf("thumbnails: one request %.0f ms, all ten %.0f ms (medians of 5)\n", median(one), median(ten));
    std::printf("thumbnail ratio: %.2f\n", median(ten) / median(one));
}

} // namespace

int main(int argc, char** argv)
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int port = argc > 1 ? std::atoi(argv[1]) : 4360;
    QTemporaryDir dir;
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("FD_BENCH_KEEP"));
    std::printf("files in %s\n", qPrintable(dir.path()));
    reencodeFigure(dir.path());
    thumbnailFigure(dir.path(), port);
    return 0;
}
