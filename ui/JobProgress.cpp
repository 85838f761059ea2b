#include "ui/JobProgress.h"

#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <limits>

namespace fd::ui {
namespace {
// A job shorter than this shows no dialog at all.
constexpr int kShowAfterMs = 400;
} // namespace

JobProgress::JobProgress(const QString& label, QWidget* window)
    : QProgressDialog(window)
    , m_label(label)
    , m_bar(new QProgressBar)
{
    setObjectName(QStringLiteral("jobProgress"));
    setWindowTitle(QStringLiteral("信息："));
    setWindowModality(Qt::WindowModal);
    setCancelButtonText(QStringLiteral("取消"));
    // The bar is set directly: QProgressDialog::setValue runs the event loop of a modal dialog
    // from inside the report.
    setBar(m_bar);
    setAutoClose(false);
    setAutoReset(false);
    setRange(0, 0);
    m_bar->setValue(0);
    setMinimumDuration(24 * 3600 * 1000); // shown by the timer below, not by the dialog's own
    setLabelText(m_label.arg(0).arg(QStringLiteral("…")));
    // 取消 and closing the dialog say canceled(); Esc rejects it.
    connect(this, &QProgressDialog::canceled, this, &JobProgress::stop);
    connect(this, &QDialog::rejected, this, &JobProgress::stop);
    QTimer::singleShot(kShowAfterMs, this, [this] {
        if (m_job.running())
            show();
    });
}

JobProgress::~JobProgress()
{
    m_job.cancel();
}

void JobProgress::report(qint64 done, qint64 total)
{
    const int max = static_cast<int>(std::min<qint64>(total, std::numeric_limits<int>::max()));
    if (m_bar->maximum() != max)
        m_bar->setRange(0, max);
    m_bar->setValue(static_cast<int>(std::clamp<qint64>(done, 0, max)));
    setLabelText(m_label.arg(done).arg(total));
}

void JobProgress::stop()
{
    m_job.cancel();
    finish();
}

void JobProgress::finish()
{
    hide();
    deleteLater();
}

} // namespace fd::ui
