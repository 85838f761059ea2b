#pragma once

#include "sms/RememberedAccount.h"
#include "sms/SmsClient.h"
#include "sms/SmsMessages.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QTimer>
#include <functional>
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
struct AppState;
class Dialogs;
}

namespace fd::sms {

class ListComboBox;
class SendStatusModel;

// What became of one recipient's message, handed from the sending thread to the window.
struct SendOutcome {
    int run = 0;
    int index = 0; // 1-based position in smsPhones
    QString plate, phone;
    bool accepted = false;
    bool logged = false;
};

// Sends one message to every vehicle owner listed in the main grid when the window was opened:
// a stock safety text (page 安全教育类, tag "1") or a reminder composed per vehicle (page
// 业务提醒类, tag "2"). A one-second timer takes one recipient per tick.
//
// The platform requests run on a pool thread, so a slow or silent platform never freezes the
// window; at most one message of a run is on its way at a time (a tick that finds one still on
// its way waits for the next). The sending thread also writes the log record of an accepted
// message, so a message that was sent is logged even when the window closes meanwhile.
class MassSendWindow : public QDialog {
    Q_OBJECT
public:
    // Remembers the account in this platform's per-user store.
    MassSendWindow(AppState& state, Dialogs& dialogs, QWidget* parent = nullptr);
    MassSendWindow(AppState& state, Dialogs& dialogs, RememberedAccount remembered, QWidget* parent = nullptr);
    ~MassSendWindow() override;

    // 发送测试短信.
    void testSend();
    // 开始群发: checks, confirmation, then the timer runs.
    void startRun();
    // One tick of 时钟1: one recipient, or the end of the run.
    void tick();
    // Ends a run at once, without the end message (closing the window does this).
    void stopRun();

    bool running() const { return m_timer.isActive(); }
    int timerInterval() const { return m_timer.isActive() ? m_timer.interval() : 0; }
    // A message of the run is on its way.
    bool sending() const { return m_inFlight; }
    const RunCounts& counts() const { return m_counts; }
    SendStatusModel& statusModel() const { return *m_status; }

    void done(int result) override;

Q_SIGNALS:
    // The reply for the recipient at index has been handled (row, counts and progress updated).
    void recipientHandled(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    QWidget* buildSafetyPage();
    QWidget* buildReminderPage();
    void placeOnPage(QWidget* page, QWidget* control, const QRect& tabGeometry) const;
    void open();
    SmsPlatform platform() const;
    QString userName() const;
    QString password() const;
    struct Account {
        SmsPlatform platform;
        QString user;
        QString password;
    };
    // The platform and the account in the boxes, once the platform has taken the account; none
    // (and the user told why) when the address template is incomplete or the account is refused.
    std::optional<Account> checkedAccount();
    int selectedTag() const;
    ReminderParts reminderParts() const;
    void showBalance(const QString& balance);
    void onSafetySelection();
    void onSendFinished();
    void showProgress();
    // Runs a request on a pool thread; the window keeps handling events until it is done.
    template <typename T> T await(std::function<T()> job);

    AppState& m_state;
    Dialogs& m_dialogs;
    RememberedAccount m_remembered;

    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_remember = nullptr;
    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_suffix = nullptr;
    QPushButton* m_start = nullptr;
    QLabel* m_balance = nullptr;
    QPushButton* m_test = nullptr;
    QLabel* m_progress = nullptr;
    QTreeWidget* m_tree = nullptr;
    QPlainTextEdit* m_safetyText = nullptr;
    QTableView* m_grid = nullptr;
    SendStatusModel* m_status = nullptr;
    ListComboBox* m_document = nullptr;
    ListComboBox* m_tense = nullptr;
    ListComboBox* m_action = nullptr;

    QTimer m_timer; // 时钟1
    int m_run = 0; // numbers the runs, so a late reply of an interrupted run is not counted in the next
    bool m_inFlight = false;
    RunCounts m_counts;
    QFutureWatcher<SendOutcome> m_sendWatcher;
};

} // namespace fd::sms
