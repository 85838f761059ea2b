#pragma once

#include "ui/Dialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QString>
#include <QStringList>
#include <ctime>
#include <vector>

// What the benchmarks share: dialogs that block nothing, memory readings and medians.
namespace fd::bench {

// Answers nothing and shows nothing; a message goes to standard error.
class SilentDialogs final : public ui::Dialogs {
public:
    void message(const QString& text, const QString& caption) override;
    int ask(const QString&, Buttons, const QString&) override { return Ok; }
    bool inputText(const QString&, QString&, const QString&) override { return false; }
    QString openFileName(const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
};

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
qint64 statusKb(const char* field);
// Resets the peak resident size to the present one (Linux 4.0 and later).
void resetPeak();

double median(std::vector<double> v);
// The values with one decimal, separated by blanks.
QString list(const std::vector<double>& v);
inline double ms(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }
inline double mb(double bytes) { return bytes / (1024.0 * 1024.0); }
// The processor time the calling thread has used, in nanoseconds. The gaps between a timer's
// ticks in it tell the window thread's own work apart from the time a loaded machine gave to
// other processes.
inline qint64 threadCpuNs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The command line of the fleet benchmarks: the number of vehicles expected and "--runs N".
struct BenchArgs {
    qint64 expected = 100000;
    int runs = 5;
};
BenchArgs readBenchArgs(const QStringList& args, int defaultRuns);

// Runs the window thread's events until the fleet grid's list has been read whole or has failed:
// the grid reads its lists off the window thread.
template <typename List> void waitForList(const List& list)
{
    while (list.filling())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// A photo-like 4000 x 3000 picture (12 megapixels): smooth areas, edges and sensor noise.
QImage benchPhoto();

} // namespace fd::bench
