#pragma once

#include "common/Jobs.h"

#include <QProgressDialog>

class QProgressBar;

namespace fd::ui {

// How far a job has come, over the window it works for: a window-modal progress dialog with
// 取消, shown (never exec'd) once the job lasts a moment. 取消, Esc or closing it stops the job
// and the dialog goes. It never runs the event loop itself: the window's own loop keeps the
// events flowing while the work runs on its lane. Made the owner of its job, it also stops the
// job when it is destroyed with its window. Thread affinity: the window's thread.
class JobProgress : public QProgressDialog {
    Q_OBJECT
public:
    // label: the text under the caption, "%1" the units done and "%2" their count.
    JobProgress(const QString& label, QWidget* window);
    ~JobProgress() override;

    void setJob(JobHandle job) { m_job = std::move(job); }
    bool running() const { return m_job.running(); }
    // A report of the job's progress: the bar and the label follow it.
    void report(qint64 done, qint64 total);
    // Stops the job (nothing of it is delivered afterwards) and removes the dialog.
    void stop();
    // The job has ended: the dialog goes.
    void finish();

private:
    QString m_label;
    QProgressBar* m_bar = nullptr;
    JobHandle m_job;
};

} // namespace fd::ui
