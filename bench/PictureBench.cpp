// Two figures for the document pictures:
//  1. re-encoding a 12-megapixel photo (quality 75, optimised, baseline) against
//     `djpeg | cjpeg -quality 75 -optimize` on the same file, as a ratio (goal <= 1.1);
//  2. the time until all ten thumbnails have arrived from a web server that answers each request
//     after 200 ms, against one request alone (goal <= 2);
//  3. with FLEETDESK_CONFIG naming a running stack's settings (bench/run_picture_bench.sh), the
//     longest time the picture window's event loop is held while it imports that photo (goal
//     <= 100 ms), and how long the import takes.
//
//   picture_bench [PORT]     (a free port for the slow web server; 4360 by default)
#include "bench/BenchSupport.h"
#include "common/AppState.h"
#include "common/Jobs.h"
#include "common/Cipher.h"
#include "db/Database.h"
#include "net/Http.h"
#include "pictures/JpegConvert.h"
#include "pictures/PictureWindow.h"
#include "pictures/ThumbnailLoader.h"

#include <QTimer>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <curl/curl.h>
#include <mysql.h>
#include <vector>

using namespace fd;
using namespace fd::bench;

namespace {

void reencodeFigure(const QString& dir)
{
    const QString source = QDir(dir).filePath(QStringLiteral("photo.jpg"));
    benchPhoto().save(source, "JPG", 92);
    std::printf("source: 12 MP, %lld bytes\n", static_cast<long long>(QFileInfo(source).size()));
    std::vector<double> ours, tools, peaks;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        QFile in(source);
        in.open(QIODevice::ReadOnly);
        const QByteArray bytes = in.readAll();
        resetPeak();
        const qint64 before = statusKb("VmRSS");
        const pictures::JpegResult r = pictures::encodeJpeg(bytes);
        peaks.push_back(static_cast<double>(statusKb("VmHWM") - before) / 1024.0);
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
    // Later runs reuse memory the allocator kept from the first: the first run is the figure.
    std::printf("re-encode memory (peak growth of the first run): %.1f MB; all runs [%s] MB\n", peaks.front(), qPrintable(list(peaks)));
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
        pictures::ThumbnailLoader loader(
            &receiver, urls,
            [&](int, const QByteArray& bytes, const QImage&) {
                arrived += bytes.isEmpty() ? 0 : 1;
                if (arrived == 10)
                    loop.quit();
            },
            10);
        loop.exec();
        ten.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        waitForAllJobs(5000);
    }
    server.kill();
    server.waitForFinished();
    std::printf("thumbnails: one request %.0f ms, all ten %.0f ms (medians of 5)\n", median(one), median(ten));
    std::printf("thumbnail ratio: %.2f\n", median(ten) / median(one));
}

// Hands the file dialog one answer.
class OneFile final : public ui::Dialogs {
public:
    QString file;
    void message(const QString& text, const QString&) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    int ask(const QString&, Buttons, const QString&) override { return Ok; }
    bool inputText(const QString&, QString&, const QString&) override { return false; }
    QString openFileName(const QString&, const QString&) override { return file; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
};

void importFigure(const QString& dir)
{
    AppState state;
    if (qEnvironmentVariableIsEmpty("FLEETDESK_CONFIG") || !state.settings.load(Settings::defaultPath())) {
        std::printf("import: skipped (FLEETDESK_CONFIG names no stack's settings; see bench/run_picture_bench.sh)\n");
        return;
    }
    const Settings& s = state.settings;
    state.dbConnection = db::dbConnect(fd::decipherSetting(s.dbHost, s.settingKeyA, s.xorMask),
        fd::decipherSetting(s.dbUser, s.settingKeyB, s.xorMask), fd::decipherSetting(s.dbPassword, s.settingKeyB, s.xorMask),
        QStringLiteral("yunsugongsi"), s.dbPort);
    if (!state.dbConnection) {
        std::printf("import: skipped (no database)\n");
        return;
    }
    OneFile dialogs;
    dialogs.file = QDir(dir).filePath(QStringLiteral("photo.jpg"));
    std::vector<double> held, took;
    for (int run = 0; run < 5; ++run) {
        pictures::PictureWindow window(state, dialogs, QStringLiteral("营运证"), QStringLiteral("豫H00000"), QByteArray());
        if (window.refused())
            return;
        window.show();
        QEventLoop loop;
        QObject::connect(&window, &pictures::PictureWindow::importEnded, &loop, &QEventLoop::quit);
        // A 5 ms probe: the longest gap between two of its ticks, less 5 ms, is the longest hold.
        QElapsedTimer since, total;
        qint64 longest = 0;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longest = std::max(longest, since.nsecsElapsed() - 5'000'000);
            since.restart();
        });
        probe.start(5);
        since.start();
        total.start();
        QTimer::singleShot(0, &window, [&] { window.importPicture(); });
        loop.exec();
        took.push_back(ms(total));
        probe.stop();
        longest = std::max(longest, since.nsecsElapsed() - 5'000'000);
        held.push_back(static_cast<double>(longest) / 1e6);
    }
    std::printf("import 12 MP in the picture window: took %.0f ms, event loop held at most %.1f ms (medians of 5; runs %s)\n",
        median(took), median(held), qPrintable(list(held)));
}

} // namespace

int main(int argc, char** argv)
{
    mysql_library_init(0, nullptr, nullptr);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int port = argc > 1 ? std::atoi(argv[1]) : 4360;
    QTemporaryDir dir;
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("FD_BENCH_KEEP"));
    std::printf("files in %s\n", qPrintable(dir.path()));
    reencodeFigure(dir.path());
    thumbnailFigure(dir.path(), port);
    importFigure(dir.path());
    waitForAllJobs(30000);
    return 0;
}
