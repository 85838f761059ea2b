// The pace of a mass send and how long the window's event loop is ever held, against the SMS
// platform simulator of a running local stack (FLEETDESK_CONFIG).
//
//   sms_bench [N] [SLOW_MS]     N recipients (default 300); the simulator answers each send SLOW_MS late
#include "common/AppState.h"
#include "common/Jobs.h"
#include "db/Database.h"
#include "net/Endpoints.h"
#include "net/Http.h"
#include "smswindow/MassSendWindow.h"
#include "sms/SmsClient.h"
#include "ui/Dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <mysql.h>

namespace {

class AnswerOk final : public fd::ui::Dialogs {
public:
    void message(const QString& text, const QString&) override { last = text; }
    int ask(const QString& text, Buttons, const QString&) override
    {
        last = text;
        return Ok;
    }
    bool inputText(const QString&, QString&, const QString&) override { return false; }
    QString openFileName(const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString last;
};

// Times every event the program handles (outermost deliveries only): the longest one is the
// longest time any handler of the window held the event loop, whatever the machine's load.
class TimingApp final : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth > 0)
            return QApplication::notify(receiver, event);
        ++m_depth;
        QElapsedTimer clock;
        clock.start();
        const int type = event->type();
        const QByteArray name = receiver->metaObject()->className();
        const bool done = QApplication::notify(receiver, event);
        const qint64 took = clock.nsecsElapsed();
        --m_depth;
        if (measuring && took > longest) {
            longest = took;
            longestWhat = name + " event " + QByteArray::number(type);
        }
        return done;
    }
    bool measuring = false;
    qint64 longest = 0;
    QByteArray longestWhat;

private:
    int m_depth = 0;
};

} // namespace

int main(int argc, char** argv)
{
    mysql_library_init(0, nullptr, nullptr);
    fd::net::globalInit();
    TimingApp app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 300;
    const int slow = argc > 2 ? std::atoi(argv[2]) : 0;

    fd::AppState state;
    if (!state.settings.load(fd::Settings::defaultPath())) {
        std::fprintf(stderr, "no settings: set FLEETDESK_CONFIG to a running stack's fleetdesk.ini\n");
        return 1;
    }
    const fd::Settings& s = state.settings;
    state.dbConnection = fd::db::dbConnect(fd::net::endpointsOf(s).database);
    if (!state.dbConnection) {
        std::fprintf(stderr, "cannot connect to the stack's database\n");
        return 1;
    }
    state.loginDateTime = 42500.5;
    for (int i = 0; i < n; ++i) {
        state.smsPlates.append(QStringLiteral("豫P%1").arg(10000 + i));
        state.smsPhones.append(QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0')));
        state.smsExpiryDates.append(QStringLiteral("2016-06-30"));
    }

    const QUrl send(fd::sms::smsSplitTemplate(s.smsUrlTemplate).value(0));
    const QString sim = QStringLiteral("http://127.0.0.1:%1/sim/").arg(send.port());
    fd::net::httpGet(sim + QStringLiteral("reset"));
    fd::net::httpGet(sim + QStringLiteral("account?uid=bench&pwd=bench&balance=%1").arg(n + 10));
    fd::net::httpGet(sim + QStringLiteral("fault?slow=%1").arg(slow));

    QTemporaryDir dir;
    AnswerOk dialogs;
    fd::smswindow::MassSendWindow window(state, dialogs, fd::sms::RememberedAccount(dir.filePath(QStringLiteral("n.ini"))));
    window.findChild<QLineEdit*>(QStringLiteral("编辑框_用户名"))->setText(QStringLiteral("bench"));
    window.findChild<QLineEdit*>(QStringLiteral("编辑框_密码"))->setText(QStringLiteral("bench"));
    window.show();
    { // the first paint is the opening's cost, not the run's
        QEventLoop settle;
        QTimer::singleShot(500, &settle, &QEventLoop::quit);
        settle.exec();
    }

    // A 5 ms probe: the longest gap between two of its ticks, less 5 ms, is the longest block.
    QElapsedTimer probeClock;
    qint64 lastProbe = 0;
    QList<qint64> blocks; // per probe tick: how late it came
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, &window, [&] {
        const qint64 now = probeClock.elapsed();
        blocks.append(std::max<qint64>(0, now - lastProbe - 5));
        lastProbe = now;
    });

    QElapsedTimer runClock;
    QList<qint64> handledAt;
    QObject::connect(&window, &fd::smswindow::MassSendWindow::recipientHandled, &window,
        [&](int) { handledAt.append(runClock.elapsed()); });

    window.startRun();
    { // the account check and the balance run as jobs: wait for the run to start or be refused
        QEventLoop starting;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &starting, [&] {
            if (window.running() || !window.waiting())
                starting.quit();
        });
        poll.start(10);
        starting.exec();
    }
    if (!window.running()) {
        std::fprintf(stderr, "the run did not start: %s\n", qPrintable(dialogs.last));
        return 1;
    }
    runClock.start();
    probeClock.start();
    app.measuring = true;
    probe.start(5);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!window.running())
            loop.quit();
    });
    poll.start(50);
    loop.exec();
    probe.stop();
    app.measuring = false;

    // The send times as the simulator saw them.
    QList<double> sentAt;
    QFile log(qEnvironmentVariable("FD_SMS_LOG"));
    if (log.open(QIODevice::ReadOnly))
        for (const QByteArray& line : log.readAll().split('\n'))
            if (!line.isEmpty())
                sentAt.append(
                    QJsonDocument::fromJson(line).object().value(QStringLiteral("time")).toString().toDouble());
    QList<double> gaps;
    for (int i = 1; i < sentAt.size(); ++i)
        gaps.append((sentAt[i] - sentAt[i - 1]) * 1000.0);
    double mean = 0, worst = 0, least = 1e9;
    for (double g : gaps) {
        mean += g;
        worst = std::max(worst, std::abs(g - 1000.0));
        least = std::min(least, g);
    }
    mean = gaps.isEmpty() ? 0 : mean / gaps.size();
    const double drift
        = sentAt.size() > 1 ? (sentAt.last() - sentAt.first()) * 1000.0 - 1000.0 * (sentAt.size() - 1) : 0;
    std::printf("recipients %d, simulator delay %d ms: %lld messages received, end message \"%s\"\n", n, slow,
        static_cast<long long>(sentAt.size()), qPrintable(dialogs.last.left(40)));
    std::printf("gap between sends: mean %.1f ms, smallest %.1f ms, worst deviation from 1000 ms %.1f ms\n", mean,
        least, worst);
    std::printf("drift over the run: %.1f ms (last send − first − (n−1) s)\n", drift);
    std::sort(blocks.begin(), blocks.end());
    auto at = [&](double q) {
        return blocks.isEmpty()
            ? 0LL
            : static_cast<long long>(
                blocks[qMin<qsizetype>(blocks.size() - 1, static_cast<qsizetype>(q * blocks.size()))]);
    };
    const auto over50 = std::count_if(blocks.begin(), blocks.end(), [](qint64 b) { return b > 50; });
    std::printf("event-loop block (lateness of a 5 ms probe, %lld samples): median %lld ms, 99th %lld ms, "
                "99.9th %lld ms, longest %lld ms, %lld above 50 ms\n",
        static_cast<long long>(blocks.size()), at(0.5), at(0.99), at(0.999),
        blocks.isEmpty() ? 0LL : static_cast<long long>(blocks.last()), static_cast<long long>(over50));
    std::printf(
        "longest single event handled during the run: %.1f ms (%s)\n", app.longest / 1e6, app.longestWhat.constData());
    QFile load(QStringLiteral("/proc/loadavg"));
    if (load.open(QIODevice::ReadOnly))
        std::printf("machine load at the end: %s", load.readAll().constData());
    fd::waitForAllJobs(60000);
    mysql_library_end();
    return 0;
}
