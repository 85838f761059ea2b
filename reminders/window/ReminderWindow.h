#pragma once

#include "common/Jobs.h"
#include "reminders/ReminderPlan.h"

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::reminders {

class TextTableModel;

// 自动提醒: the reminder rules, editable; today's plan; the history of the reminders sent; and the
// run of today's plan now, one message a second with 停止. Planning runs as a job on the database
// lane, the run on the SMS lane, each with a session of its worker thread's own (the window's
// session stays on the window's thread); the run is the one fleetdesk-remind does, with the
// settings' unattended account.
// Thread affinity: the window's thread.
class ReminderWindow : public QDialog {
    Q_OBJECT
public:
    ReminderWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent = nullptr);
    ~ReminderWindow() override;

    // Where the window reads "today" (a day number) each time it plans or sends: the clock's date
    // unless a test sets another source. Replans.
    void setTodaySource(std::function<qint64()> today);
    // A fixed day planned instead of the clock's. Replans.
    void setToday(qint64 day);
    // Between the starts of two messages (tests shorten it).
    void setPaceMs(int ms) { m_paceMs = ms; }

    void loadRules();
    // Stores the rules as edited; false (with a message) when a row does not read.
    bool saveRules();
    void refreshPlan();
    void runNow();
    void stopRun();
    void refreshHistory();

    // A plan or a run is under way (until its result has been shown).
    bool planning() const { return m_planning; }
    bool sending() const { return m_sending; }
    const ReminderPlan& plan() const { return m_plan; }

protected:
    // Closing during a run asks first; once closed, the run ends after the message on its way and
    // nothing of it reaches the window.
    void done(int result) override;

private:
    void buildControls();
    void showPlan();

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    std::function<qint64()> m_today;
    // 立即发送 was pressed on a plan of another day: it goes on once today's plan is read.
    bool m_runAfterPlan = false;
    int m_paceMs = 1000;
    ReminderPlan m_plan;
    ReminderRules m_rules;

    QTableWidget* m_rulesTable = nullptr;
    QLineEdit* m_signature = nullptr;
    QTableView* m_planView = nullptr;
    TextTableModel* m_planModel = nullptr;
    QLabel* m_planLabel = nullptr;
    QLabel* m_progress = nullptr;
    QPushButton* m_run = nullptr;
    QPushButton* m_stop = nullptr;
    QLineEdit* m_filter = nullptr;
    TextTableModel* m_historyModel = nullptr;

    bool m_planning = false;
    bool m_sending = false;
    JobHandle m_planJob;
    JobHandle m_sendJob;
    std::shared_ptr<std::atomic_bool> m_stopFlag;
};

} // namespace fd::reminders
