#pragma once

#include "sms/RememberedAccount.h"
#include "sms/SmsClient.h"
#include "sms/SmsMessages.h"

#include "common/Jobs.h"
#include "sms/SendRun.h"

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QTreeWidget;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::sms {
class SendStatusModel;
}

namespace fd::smswindow {

class ListComboBox;

// Sends one message to every vehicle owner listed in the main grid when the window was opened:
// a stock safety text (page 安全教育类, tag "1") or a reminder composed per vehicle (page
// 业务提醒类, tag "2"). A one-second timer takes one recipient per tick.
//
// Every platform request runs as a job on the SMS lane, so a slow or silent platform never
// freezes the window. A step that needs several requests (account, balance, then the send or the
// start) is a chain of jobs whose continuations run on the window's thread; the buttons wait
// while a step waits, and closing the window ends the step. At most one message of a run is on
// its way at a time (a tick that finds one still on its way waits for the next). The sending
// job also writes the log record of an accepted message, so a message that went out is logged
// even when the window closes meanwhile: with the SMS lane thread's own session on the window's
// database, never with the window's session.
class MassSendWindow : public QDialog {
    Q_OBJECT
public:
    // Remembers the account in this platform's per-user store.
    MassSendWindow(AppState& state, ui::Dialogs& dialogs, QWidget* parent = nullptr);
    MassSendWindow(AppState& state, ui::Dialogs& dialogs, sms::RememberedAccount remembered, QWidget* parent = nullptr);
    ~MassSendWindow() override;

    // 发送测试短信.
    void testSend();
    // 开始群发: checks, confirmation, then the timer runs.
    void startRun();
    // One tick of 时钟1: one recipient, or the end of the run.
    void tick();
    // 停止: no further recipient is taken; the message on its way is still logged and counted,
    // then the run ends with its counts.
    void stopRun();

    // A run has started and not ended (a stopped run ends when its last reply is in).
    bool running() const { return m_run && !m_runEnded; }
    int timerInterval() const { return m_timer.isActive() ? m_timer.interval() : 0; }
    // A message of the run is on its way, and its reply will be shown (not after the window closed).
    bool sending() const { return running() && m_run->inFlight(); }
    // A step (test send or start) waits on the platform.
    bool waiting() const { return m_waiting; }
    // The counts of the current or last run.
    sms::RunCounts counts() const { return m_run ? m_run->counts() : sms::RunCounts(); }
    sms::SendStatusModel& statusModel() const { return *m_status; }

    void done(int result) override;

Q_SIGNALS:
    // The reply for the recipient at index has been handled (row, counts and progress updated).
    void recipientHandled(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    QWidget* buildSafetyPage();
    QWidget* buildReminderPage();
    void placeOnPage(QWidget* page, QWidget* control, const QRect& tabGeometry) const;
    void open();
    sms::SmsPlatform platform() const;
    QString userName() const;
    QString password() const;
    struct Account {
        sms::SmsPlatform platform;
        QString user;
        QString password;
    };
    // Runs one request of a step on the SMS lane; then(result) runs on this thread unless the
    // window has closed meanwhile. The buttons wait until then.
    template <typename R, typename Work> void request(Work work, std::function<void(R)> then);
    // The account check of either step; accepted() runs once the platform has taken the account.
    void checkAccount(std::function<void(const Account&)> accepted);
    void setWaiting(bool waiting);
    void updateButtons();
    void beginRun();
    void onSent(const sms::SendOutcome& outcome);
    void endRun();
    int selectedTag() const;
    sms::ReminderParts reminderParts() const;
    void showBalance(const QString& balance);
    void onSafetySelection();
    void showProgress();
    // Column widths that show every text the run can put into the status grid, and a grid (and
    // window) wide enough for them.
    void fitStatusGrid();

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    sms::RememberedAccount m_remembered;

    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_remember = nullptr;
    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_suffix = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QLabel* m_balance = nullptr;
    QPushButton* m_test = nullptr;
    QLabel* m_progress = nullptr;
    QTreeWidget* m_tree = nullptr;
    QPlainTextEdit* m_safetyText = nullptr;
    QTableView* m_grid = nullptr;
    sms::SendStatusModel* m_status = nullptr;
    ListComboBox* m_document = nullptr;
    ListComboBox* m_tense = nullptr;
    ListComboBox* m_action = nullptr;

    QStringList m_urlPieces; // the URL template split, at the opening
    QString m_logDate; // the login date as logged: 2016-5-8

    QTimer m_timer; // 时钟1
    std::unique_ptr<sms::SendRun> m_run; // the current or last run
    bool m_runEnded = false;
    JobHandle m_stepJob; // the request a step waits on
    bool m_waiting = false;
    bool m_closed = false;
};

} // namespace fd::smswindow
