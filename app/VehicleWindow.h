#pragma once

#include "vehicles/VehicleStatements.h"
#include "vehicles/VehicleStore.h"

#include <QDate>
#include <QDialog>
#include <QHash>
#include <QImage>
#include <QSet>
#include <utility>
#include <QStringList>
#include <functional>
#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;

namespace fd {
namespace ui {
struct ConflictRow;
class Dialogs;
}
struct AppState;
}

namespace fd::pictures {
class PictureWindow;
class ThumbnailLoader;
}

namespace fd::vehicles {
struct VehicleColumn;
struct SaveResult;
}

namespace fd::app {

class HistoryWindow;

// The form on which one vehicle is added (newFlag = 1) or changed (modifyFlag = 1, the row
// editVehicleId). afterSave makes the tree's root current and reloads the full list.
//
// Controls carry their names as objectNames: edit boxes (QLineEdit, QPlainTextEdit for the six
// multi-line ones) "编辑框_…", date boxes (QDateEdit) "日期框_…", the status "组合框_车辆状态",
// the thumbnails (QLabel) "图片框_…", "按钮_保存" and, in modify mode, "按钮_修改记录" (the
// vehicle's history). A date box showing "无日期" opens its calendar at the login month.
//
// In modify mode the form keeps the row it read. A save that finds another user's changes to the
// same fields writes nothing and asks the conflict window (Dialogs::resolveConflict); changes
// only one side made go together without asking. 采用对方的 there fills the conflicting fields
// with the stored values and keeps the user's other changes in the form, saved only by 保存.
//
// A status that is none of the three items (an older program's text, none) is shown as one more
// item of the status box: the form never shows, nor saves, 正常 in its place.
class VehicleWindow : public QDialog {
    Q_OBJECT
public:
    VehicleWindow(AppState& state, ui::Dialogs& dialogs, std::function<void()> afterSave, QWidget* parent = nullptr);
    ~VehicleWindow() override;

    // Fits the window to an available screen area (the screen less its taskbar), as its creation
    // does for its own screen: on a smaller screen the form scrolls and 保存 stays in view below it.
    void fitToArea(const QRect& available);

    // Fills the form from the row whose ID is editVehicleId (modify mode). When the row cannot be
    // read (the statement failed) the failure is shown and the form cannot be saved: a blank
    // form must never overwrite the stored vehicle. A date the row does not hold (NULL, a zero
    // date, one before the box's first day) shows as no date and is kept as stored on save.
    void loadVehicle();
    // False after a failed read: the form shows nothing that may be saved.
    bool canSave() const { return !m_loadFailed; }
    // Empties every edit box; date boxes, the status and the thumbnails stay as they are.
    void clearEditBoxes();
    // True when no vehicle holds the trimmed text as its plate (file number). False also when the
    // count could not be run.
    bool isPlateFree(const QString& text);
    bool isFileNumberFree(const QString& text);
    // The Save button: validates, writes, refreshes the list and closes; on failure, and when the
    // user goes back from a conflict, the form stays open with its input.
    void saveVehicle();

    // The stored picture file names of the loaded vehicle, by picture column; empty in add mode.
    QString pictureName(const QString& column) const { return m_pictureNames.value(column); }
    // The values as they would be stored, by column (trimmed texts, date texts, status). A date
    // box that shows no date has no entry: the update keeps what is stored.
    vehicles::VehicleValues currentValues() const;
    // A new 应缴 of a fee the ledger keeps starts its next period: 已缴 becomes 0.00 and 还欠 the
    // amount due, unless the user typed them too. False, with the user told, when the ledger could
    // not be read.
    bool startNewFeePeriods(vehicles::VehicleValues& values);

    // Shows a picture window modally; a test replaces it so that nothing waits on exec().
    using PictureOpener = std::function<void(pictures::PictureWindow&)>;
    void setPictureOpener(PictureOpener opener) { m_pictureOpener = std::move(opener); }
    // The double-click on a thumbnail: the picture window of that document for the plate typed.
    void openPictureWindow(const QString& docKind);
    // The bytes of the picture a thumbnail shows; empty when it shows none.
    QByteArray thumbnailBytes(const QString& docKind) const { return m_thumbnailBytes.value(docKind); }

    // Opens 收费登记 of the vehicle modally; true when a payment was taken. None: no 收费 button.
    using PaymentOpener = std::function<bool(qint64 vehicleId)>;
    void setPaymentOpener(PaymentOpener opener);
    // The 收费 button: a payment of the loaded vehicle. The form shows the stored fee columns
    // afterwards unless the user has unsaved changes, which a save then merges as usual.
    void openPaymentWindow();

    // Shows the history window modally; a test replaces it so that nothing waits on exec().
    using HistoryOpener = std::function<void(HistoryWindow&)>;
    void setHistoryOpener(HistoryOpener opener) { m_historyOpener = std::move(opener); }
    // The 修改记录 button: the history of the loaded vehicle.
    void openHistoryWindow();

Q_SIGNALS:
    // A thumbnail was double-clicked: the picture window of that document kind is to open.
    void pictureRequested(const QString& docKind);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    // Fits the window to the area (none: its screen's), 修改记录 beside 保存.
    void fitTo(const QRect* available);
    QWidget* buildControl(const vehicles::VehicleColumn& column, QWidget* parent, QDate loginDate);
    QString editText(const QString& column) const;
    void setEditText(const QString& column, const QString& text);
    // False, with the message shown, when a value holds a character GBK cannot store.
    bool checkStorable(const vehicles::VehicleValues& values);
    // The headline and the reason on a second line; the server's own words, when given, in the
    // message's details.
    void failSave(const QString& headline, const QString& reason, const QString& details = QString());
    // Another vehicle holds the plate (cepaihao) or the file number (danganbianhao): says so and
    // empties the box, as the check before an add does.
    void refuseTaken(const QString& column);
    // Selects the stored status; a text that is none of the items is shown as one more item.
    void showStatus(const QString& stored);
    // The columns whose values the user changed since the form showed m_read.
    QSet<QString> changedColumns() const;
    // 采用对方的: shows the stored row and makes it the one a save compares with, with the user's
    // changes to the other fields kept in the form (unsaved); takenTheirs show the stored values.
    void showOverStored(const vehicles::VehicleRecord& stored, const QSet<QString>& takenTheirs);
    void finishSave();
    // Fills the form from a row and makes it the row a save compares with.
    void showRecord(const vehicles::VehicleRecord& record);
    // The modify mode's save: true when the row was written.
    bool saveModified();
    // A second save after a conflict: this form's changes, the stored row's values for the fields
    // the user did not change or gave to the other side.
    vehicles::VehicleValues valuesOverStored(const vehicles::VehicleRecord& stored, const QSet<QString>& takenTheirs) const;
    // The conflict window's rows: each field's name and its three values as the user reads them.
    QList<ui::ConflictRow> conflictRows(const vehicles::SaveResult& result, const vehicles::VehicleValues& mine) const;
    void startThumbnailLoader();
    // Shows the picture (already decoded, off this thread) and keeps its bytes; no picture leaves
    // the box empty.
    void showThumbnail(const QString& docKind, const QByteArray& bytes, const QImage& image);

    AppState& m_state;
    ui::Dialogs& m_dialogs;
    std::function<void()> m_afterSave;
    const bool m_adding;
    const bool m_modifying;
    const QString m_vehicleId;

    QHash<QString, QWidget*> m_edits; // the 54 edit boxes, by column
    // Per multi-line box: the text it showed when it was set, and the text it was set to.
    QHash<QString, std::pair<QString, QString>> m_multiLineOriginals;
    QHash<QString, QDateEdit*> m_dates;
    QComboBox* m_status = nullptr;
    QHash<QObject*, QString> m_thumbnailKinds; // thumbnail -> document kind
    QPushButton* m_save = nullptr;
    QPushButton* m_history = nullptr;
    QPushButton* m_pay = nullptr;
    vehicles::VehicleRecord m_read; // the row the form was filled from: what a save compares with
    vehicles::VehicleValues m_readValues; // what the form gave right after it showed m_read
    QHash<QString, QString> m_pictureNames;
    bool m_loadFailed = false;
    QHash<QString, QLabel*> m_thumbnails;         // document kind -> thumbnail
    QHash<QString, QByteArray> m_thumbnailBytes;  // document kind -> the picture it shows
    QSet<QString> m_uploadedKinds;                // stored by a picture window since the load
    std::unique_ptr<pictures::ThumbnailLoader> m_loader;
    PictureOpener m_pictureOpener;
    HistoryOpener m_historyOpener;
    PaymentOpener m_paymentOpener;
};

} // namespace fd::app
