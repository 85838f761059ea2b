#include "app/VehicleWindow.h"

#include "app/HistoryWindow.h"
#include "common/AppState.h"
#include "common/DateTime.h"
#include "common/Money.h"
#include "ui/Dialogs.h"
#include "ui/RoleGuard.h"
#include "ui/ScreenFit.h"
#include "common/Text.h"
#include "fees/Payment.h"
#include "net/Endpoints.h"
#include "pictures/PictureFiles.h"
#include "pictures/PictureWindow.h"
#include "pictures/ThumbnailLoader.h"
#include "vehicles/VehicleColumns.h"
#include "vehicles/VehicleHistory.h"
#include "vehicles/VehicleStore.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <optional>

namespace fd::app {
namespace {

const QString kPlatePrefix = QStringLiteral("豫H");
const QStringList kStatusItems = {QStringLiteral("正常"), QStringLiteral("转出"), QStringLiteral("注销")};

const QString kNeedFileNumber = QStringLiteral("请输入档案编号！");
const QString kBadPlate = QStringLiteral("请输入正确的车牌号！");
const QString kPlateTaken = QStringLiteral("对不起此车牌号已经存在！");
const QString kFileNumberTaken = QStringLiteral("对不起此档案编号已经存在！");
const QString kAdded = QStringLiteral("新增车辆信息成功！");
const QString kSaved = QStringLiteral("保存车辆信息成功！");
const QString kAddFailed = QStringLiteral("新增车辆信息失败！");
const QString kSaveFailed = QStringLiteral("保存车辆信息失败！");
const QString kVehicleGone = QStringLiteral("此车辆已不存在，可能已被删除。");
const QString kReadFailed = QStringLiteral("读取车辆信息失败！");
// Shown by a date box whose column holds no date the box can show.
const QString kNoDate = QStringLiteral("无日期");
const QString kBadCharacter = QStringLiteral("中有无法保存的字符，请修改后再保存。");

// The ten thumbnails are asked for at once, so that a slow web server shows them all in the time
// of about one request. (A server whose queue of waiting connections is shorter than ten, like
// Python's own http.server with five, makes the others wait for the client's one-second retry.)
constexpr int kParallelDownloads = 10;

constexpr int kPlateMinBytes = 8;
constexpr int kPlateMaxBytes = 9;

// 修改记录: beside 保存 in the row of buttons below a scrolled form, under the thumbnails on a
// window shown whole.
const QRect kHistoryInRow(671, 877, 204, 48);
const QRect kHistoryUnderThumbnails(671, 930, 204, 30);

// The first day a date box can show.
const QDate kFirstShownDay(1752, 9, 14);

// The date a date box shows for a stored day number; none when the box cannot show it (NULL, a
// zero date, the empty date, a day before the box's first).
std::optional<QDate> shownDate(double days)
{
    int y = 0, m = 0, d = 0;
    datetime::dateOf(days, y, m, d);
    const QDate date(y, m, d);
    if (date.isValid() && date > kFirstShownDay)
        return date;
    return std::nullopt;
}

// How the conflict window shows a value: dates as the date boxes show them, no date as empty.
QString readableDate(const std::optional<QDate>& date)
{
    return date ? date->toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QString readableStored(const vehicles::VehicleRecord& record, const vehicles::VehicleColumn& column)
{
    if (column.form != vehicles::ColumnForm::Date)
        return record.texts.value(column.name);
    return readableDate(shownDate(record.dates.value(column.name, datetime::kEmptyDate)));
}

QString readableValue(const vehicles::VehicleValues& values, const vehicles::VehicleColumn& column)
{
    const QString value = values.value(column.name);
    if (column.form != vehicles::ColumnForm::Date)
        return value;
    const QStringList parts = value.split(QLatin1Char('-'));
    if (parts.size() != 3)
        return value;
    const QDate date(parts.at(0).toInt(), parts.at(1).toInt(), parts.at(2).toInt());
    return date.isValid() ? readableDate(date) : value;
}

QDate startDate(const vehicles::VehicleColumn& column)
{
    return column.startsToday ? QDate::currentDate() : QDate(vehicles::kDateStartYear, 1, 1);
}

void showNoDate(QDateEdit* box)
{
    box->setSpecialValueText(kNoDate);
    box->setDate(box->minimumDate());
}

// The box still shows "no date": the user has not picked one.
bool showsNoDate(const QDateEdit* box)
{
    return !box->specialValueText().isEmpty() && box->date() == box->minimumDate();
}

// A date box whose calendar opens at a given month while the box shows no date, instead of at
// the box's first day (September 1752). Opening the calendar picks nothing: the box keeps showing
// no date until a day is chosen.
class DateBox final : public QDateEdit {
public:
    DateBox(QDate noDateMonth, QWidget* parent) : QDateEdit(parent), m_noDateMonth(noDateMonth) {}

protected:
    // The calendar opens from a press on the arrow or from the keyboard (Alt+Down, F4).
    void mousePressEvent(QMouseEvent* event) override
    {
        QDateEdit::mousePressEvent(event);
        turnCalendar();
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        QDateEdit::keyPressEvent(event);
        turnCalendar();
    }

private:
    void turnCalendar()
    {
        if (!showsNoDate(this) || !calendarPopup())
            return;
        QCalendarWidget* calendar = calendarWidget();
        if (calendar && calendar->isVisible())
            calendar->setCurrentPage(m_noDateMonth.year(), m_noDateMonth.month());
    }

    const QDate m_noDateMonth;
};

} // namespace

VehicleWindow::VehicleWindow(AppState& state, ui::Dialogs& dialogs, std::function<void()> afterSave, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_dialogs(dialogs)
    , m_afterSave(std::move(afterSave))
    , m_adding(state.newFlag == 1)
    , m_modifying(state.modifyFlag == 1)
    , m_vehicleId(state.editVehicleId)
{
    setObjectName(QStringLiteral("vehicleWindow"));
    buildControls();
    move(50, 50);
    resize(892, 965);
    fitTo(nullptr);
    setWindowTitle(m_state.appTitle);
    connect(this, &VehicleWindow::pictureRequested, this, &VehicleWindow::openPictureWindow);

    QWidget* plate = m_edits.value(QStringLiteral("cepaihao"));
    QWidget* fileNumber = m_edits.value(QStringLiteral("danganbianhao"));
    if (m_adding) {
        plate->setEnabled(true);
        fileNumber->setEnabled(true);
        setEditText(QStringLiteral("cepaihao"), kPlatePrefix);
    }
    if (m_modifying) {
        plate->setEnabled(false);
        fileNumber->setEnabled(false);
        clearEditBoxes();
        loadVehicle();
    }
}

void VehicleWindow::fitToArea(const QRect& available)
{
    fitTo(&available);
}

void VehicleWindow::fitTo(const QRect* available)
{
    QList<QWidget*> actions {m_save};
    // Placed for the row of buttons unless it is there already; back under the thumbnails when
    // the window is shown whole.
    const bool inRow = m_history && m_history->parentWidget() != this;
    if (m_history) {
        actions.append(m_history);
        if (!inRow)
            m_history->setGeometry(kHistoryInRow);
    }
    const QScrollArea* area = available ? ui::fitToScreen(this, *available, actions) : ui::fitToScreen(this, actions);
    if (m_history && !area && !inRow)
        m_history->setGeometry(kHistoryUnderThumbnails);
}

VehicleWindow::~VehicleWindow()
{
    // Before the thumbnails go: returns at once, and no picture arrives after it.
    m_loader.reset();
}

void VehicleWindow::buildControls()
{
    // A date box without a date opens its calendar at the login month.
    QDate loginDate = QDate::currentDate();
    if (m_state.loginDateTime > 0) {
        int y = 0, m = 0, d = 0;
        datetime::dateOf(m_state.loginDateTime, y, m, d);
        loginDate = QDate(y, m, d);
    }
    QHash<vehicles::Section, QWidget*> groups;
    for (const vehicles::VehicleSection& s : vehicles::vehicleSections()) {
        auto* group = new QGroupBox(s.title, this);
        group->setObjectName(s.control);
        group->setGeometry(s.geometry);
        groups.insert(s.section, group);
    }
    for (const vehicles::VehicleColumn& column : vehicles::vehicleColumns()) {
        if (column.form == vehicles::ColumnForm::Key)
            continue;
        QWidget* parent = column.form == vehicles::ColumnForm::Picture ? this : groups.value(column.section);
        auto* label = new QLabel(column.label, parent);
        label->move(column.labelPos);
        label->adjustSize();
        buildControl(column, parent, loginDate);
    }

    m_save = new QPushButton(QStringLiteral("保     存"), this);
    m_save->setObjectName(QStringLiteral("按钮_保存"));
    m_save->setGeometry(8, 877, 656, 48);
    // Enter in an edit box must not save the form.
    m_save->setAutoDefault(false);
    m_save->setDefault(false);
    connect(m_save, &QPushButton::clicked, this, &VehicleWindow::saveVehicle);
    ui::guardControl(m_save, m_state, Permission::EditVehicles);

    if (m_modifying) {
        m_history = new QPushButton(QStringLiteral("修改记录"), this);
        m_history->setObjectName(QStringLiteral("按钮_修改记录"));
        m_history->setGeometry(kHistoryUnderThumbnails);
        m_history->setAutoDefault(false);
        m_history->setEnabled(false); // until a stored vehicle is shown
        connect(m_history, &QPushButton::clicked, this, &VehicleWindow::openHistoryWindow);
        // In the management fee's group, right of its first row.
        for (QGroupBox* group : findChildren<QGroupBox*>(QStringLiteral("分组框_管理费用"))) {
            m_pay = new QPushButton(QStringLiteral("收费"), group);
            m_pay->setObjectName(QStringLiteral("按钮_收费"));
            m_pay->setGeometry(562, 20, 76, 32);
            m_pay->setAutoDefault(false);
            m_pay->setVisible(false); // until the program gives it a payment window
            connect(m_pay, &QPushButton::clicked, this, &VehicleWindow::openPaymentWindow);
        }
    }
}

void VehicleWindow::setPaymentOpener(PaymentOpener opener)
{
    m_paymentOpener = std::move(opener);
    if (m_pay)
        m_pay->setVisible(static_cast<bool>(m_paymentOpener));
}

void VehicleWindow::openPaymentWindow()
{
    if (!m_paymentOpener || !m_modifying || m_loadFailed)
        return;
    const bool unsaved = !changedColumns().isEmpty();
    if (m_paymentOpener(m_vehicleId.toLongLong()) && !unsaved)
        loadVehicle();
}

QWidget* VehicleWindow::buildControl(const vehicles::VehicleColumn& column, QWidget* parent, QDate loginDate)
{
    QWidget* control = nullptr;
    switch (column.form) {
    case vehicles::ColumnForm::Text:
        if (column.multiLine) {
            auto* edit = new QPlainTextEdit(parent);
            edit->setTabChangesFocus(true);
            control = edit;
        } else {
            control = new QLineEdit(parent);
        }
        m_edits.insert(column.name, control);
        break;
    case vehicles::ColumnForm::Date: {
        auto* date = new DateBox(loginDate, parent);
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        date->setCalendarPopup(true);
        date->setDate(startDate(column));
        m_dates.insert(column.name, date);
        control = date;
        break;
    }
    case vehicles::ColumnForm::Status:
        m_status = new QComboBox(parent);
        m_status->setEditable(false);
        m_status->addItems(kStatusItems);
        m_status->setCurrentIndex(0);
        control = m_status;
        break;
    case vehicles::ColumnForm::Picture: {
        auto* box = new QLabel(parent);
        box->setFrameShape(QFrame::Box);
        box->setAlignment(Qt::AlignCenter);
        box->installEventFilter(this);
        m_thumbnailKinds.insert(box, column.docKind);
        m_thumbnails.insert(column.docKind, box);
        control = box;
        break;
    }
    case vehicles::ColumnForm::Key:
        return nullptr;
    }
    control->setObjectName(column.control);
    control->setGeometry(column.geometry);
    return control;
}

bool VehicleWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        const auto kind = m_thumbnailKinds.constFind(watched);
        if (kind != m_thumbnailKinds.constEnd()) {
            Q_EMIT pictureRequested(kind.value());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QString VehicleWindow::editText(const QString& column) const
{
    QWidget* w = m_edits.value(column);
    if (auto* line = qobject_cast<QLineEdit*>(w))
        return line->text();
    if (auto* multi = qobject_cast<QPlainTextEdit*>(w)) {
        // A multi-line box shows "\r\n" as a plain line break: while the user has not changed
        // the box, the text goes back exactly as it was stored.
        const QString shown = multi->toPlainText();
        const auto original = m_multiLineOriginals.constFind(column);
        if (original != m_multiLineOriginals.constEnd() && original->first == shown)
            return original->second;
        return shown;
    }
    return {};
}

void VehicleWindow::setEditText(const QString& column, const QString& text)
{
    QWidget* w = m_edits.value(column);
    if (auto* line = qobject_cast<QLineEdit*>(w))
        line->setText(text);
    else if (auto* multi = qobject_cast<QPlainTextEdit*>(w)) {
        multi->setPlainText(text);
        m_multiLineOriginals.insert(column, {multi->toPlainText(), text});
    }
}

void VehicleWindow::clearEditBoxes()
{
    for (auto it = m_edits.cbegin(); it != m_edits.cend(); ++it)
        setEditText(it.key(), QString());
}

void VehicleWindow::loadVehicle()
{
    const vehicles::VehicleRecord record = vehicles::readVehicle(m_state.dbConnection, m_vehicleId);
    if (!record.error.isEmpty()) {
        // Nothing is known about the row: an empty form saved over it would wipe the vehicle.
        m_loadFailed = true;
        for (QGroupBox* group : findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
            group->setEnabled(false);
        m_save->setEnabled(false);
        m_dialogs.message(kReadFailed + QLatin1Char('\n') + record.error);
        return;
    }
    showRecord(record);
}

void VehicleWindow::showRecord(const vehicles::VehicleRecord& record)
{
    for (const QString& name : vehicles::loadOrder()) {
        const vehicles::VehicleColumn* column = vehicles::findColumn(name);
        switch (column->form) {
        case vehicles::ColumnForm::Text:
            setEditText(name, record.texts.value(name));
            break;
        case vehicles::ColumnForm::Date: {
            QDateEdit* box = m_dates.value(name);
            if (!record.found) {
                box->setDate(QDate::currentDate());
                break;
            }
            // A NULL or invalid date (the empty date 100-01-01), or one before the box's first
            // day, cannot be shown: the box says so, and the save keeps the column as stored.
            const auto date = shownDate(record.dates.value(name, datetime::kEmptyDate));
            if (date && *date > box->minimumDate() && *date <= box->maximumDate())
                box->setDate(*date);
            else
                showNoDate(box);
            break;
        }
        case vehicles::ColumnForm::Status:
            if (record.found)
                showStatus(record.texts.value(name));
            break;
        case vehicles::ColumnForm::Key:
        case vehicles::ColumnForm::Picture:
            break;
        }
    }
    m_read = record;
    m_readValues = currentValues();
    if (m_history)
        m_history->setEnabled(record.found);
    // A row shown again after a conflict brings new thumbnails only when its pictures changed.
    if (!m_loader || m_pictureNames != record.pictures) {
        m_pictureNames = record.pictures;
        startThumbnailLoader();
    }
}

void VehicleWindow::showStatus(const QString& stored)
{
    // Only the three items and the stored status the box shows now.
    while (m_status->count() > kStatusItems.size())
        m_status->removeItem(m_status->count() - 1);
    // An item as stored, or once trimmed ("转出 "), which the save takes for the stored text.
    qsizetype index = kStatusItems.indexOf(stored);
    if (index < 0)
        index = kStatusItems.indexOf(text::trimSpaces(stored));
    if (index < 0) {
        // Any other text (an older program's, none at all) is shown as it is, as one more item:
        // saved untouched, the vehicle keeps it.
        m_status->addItem(stored);
        index = m_status->count() - 1;
    }
    m_status->setCurrentIndex(static_cast<int>(index));
}

void VehicleWindow::startThumbnailLoader()
{
    const net::Endpoints servers = net::endpointsOf(m_state.settings);
    QList<QStringList> urls;
    const QStringList& kinds = pictures::thumbnailFetchOrder();
    for (const QString& kind : kinds) {
        const vehicles::VehicleColumn* column = pictures::pictureColumnOf(kind);
        // An empty name still asks for the bare base address; what comes back is not a picture.
        urls << pictures::thumbnailUrls(servers.webBases, m_pictureNames.value(column->name), m_state.settings.gbkFileNames);
    }
    QLabel* first = m_thumbnails.value(kinds.first());
    m_loader = std::make_unique<pictures::ThumbnailLoader>(
        this, urls,
        [this, kinds](int index, const QByteArray& bytes, const QImage& picture) {
            // A picture uploaded meanwhile is newer than what the loader fetched.
            if (!m_uploadedKinds.contains(kinds.at(index)))
                showThumbnail(kinds.at(index), bytes, picture);
        },
        kParallelDownloads, servers.http, first ? first->contentsRect().size() : QSize());
}

void VehicleWindow::showThumbnail(const QString& docKind, const QByteArray& bytes, const QImage& image)
{
    QLabel* box = m_thumbnails.value(docKind);
    if (!box)
        return;
    if (image.isNull()) {
        // An error page, a folder listing, nothing at all: an empty box.
        m_thumbnailBytes.remove(docKind);
        box->clear();
        return;
    }
    m_thumbnailBytes.insert(docKind, bytes);
    box->setPixmap(QPixmap::fromImage(image.scaled(box->contentsRect().size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void VehicleWindow::openPictureWindow(const QString& docKind)
{
    pictures::PictureWindow window(m_state, m_dialogs, docKind, editText(QStringLiteral("cepaihao")), thumbnailBytes(docKind), this);
    if (window.refused())
        return;
    if (m_pictureOpener)
        m_pictureOpener(window);
    else
        window.exec();
    // Only a stored picture goes into the thumbnail: a window closed without its upload
    // succeeding leaves the thumbnail as it was.
    if (window.uploaded()) {
        m_uploadedKinds.insert(docKind);
        showThumbnail(docKind, window.uploadedBytes(), window.uploadedPicture());
    }
}

bool VehicleWindow::isPlateFree(const QString& text)
{
    const auto count = vehicles::countVehiclesWith(m_state.dbConnection, QStringLiteral("cepaihao"), text);
    return count && *count == 0;
}

bool VehicleWindow::isFileNumberFree(const QString& text)
{
    const auto count = vehicles::countVehiclesWith(m_state.dbConnection, QStringLiteral("danganbianhao"), text);
    return count && *count == 0;
}

vehicles::VehicleValues VehicleWindow::currentValues() const
{
    vehicles::VehicleValues values;
    for (const QString& name : vehicles::saveOrder()) {
        const vehicles::VehicleColumn* column = vehicles::findColumn(name);
        switch (column->form) {
        case vehicles::ColumnForm::Text: {
            const QString typed = editText(name);
            values.insert(name, column->keepSpaces ? typed : text::trimSpaces(typed));
            break;
        }
        case vehicles::ColumnForm::Date: {
            const QDateEdit* box = m_dates.value(name);
            if (!showsNoDate(box))
                values.insert(name, datetime::dateText(box->date()));
            break;
        }
        case vehicles::ColumnForm::Status:
            values.insert(name, m_status->currentText());
            break;
        case vehicles::ColumnForm::Key:
        case vehicles::ColumnForm::Picture:
            break;
        }
    }
    return values;
}

bool VehicleWindow::checkStorable(const vehicles::VehicleValues& values)
{
    for (const QString& name : vehicles::saveOrder()) {
        if (!text::toGbk(values.value(name)).ok()) {
            m_dialogs.message(vehicles::fieldName(*vehicles::findColumn(name)) + kBadCharacter);
            return false;
        }
    }
    return true;
}

void VehicleWindow::failSave(const QString& headline, const QString& reason, const QString& details)
{
    const QString text = reason.isEmpty() ? headline : headline + QLatin1Char('\n') + reason;
    if (details.isEmpty())
        m_dialogs.message(text);
    else
        m_dialogs.detailedMessage(text, details);
}

void VehicleWindow::refuseTaken(const QString& column)
{
    if (column == QLatin1String("cepaihao")) {
        m_dialogs.message(kPlateTaken);
        setEditText(QStringLiteral("cepaihao"), kPlatePrefix);
    } else {
        m_dialogs.message(kFileNumberTaken);
        setEditText(QStringLiteral("danganbianhao"), QString());
    }
}

void VehicleWindow::finishSave()
{
    if (m_afterSave)
        m_afterSave();
    done(QDialog::Accepted);
}

void VehicleWindow::saveVehicle()
{
    if (m_loadFailed || !ui::allowedOrRefused(m_state, Permission::EditVehicles, m_dialogs))
        return;
    const db::ConnectionPtr& conn = m_state.dbConnection;
    if (m_adding) {
        if (editText(QStringLiteral("danganbianhao")).isEmpty()) {
            m_dialogs.message(kNeedFileNumber);
            return;
        }
        const QString plate = text::trimSpaces(editText(QStringLiteral("cepaihao")));
        const qsizetype plateBytes = text::gbkLength(plate);
        if (plateBytes < 0) {
            m_dialogs.message(vehicles::fieldName(*vehicles::findColumn(QStringLiteral("cepaihao"))) + kBadCharacter);
            return;
        }
        if (plateBytes < kPlateMinBytes || plateBytes > kPlateMaxBytes) {
            m_dialogs.message(kBadPlate);
            return;
        }
        const vehicles::VehicleValues values = currentValues();
        if (!checkStorable(values))
            return;

        QString error;
        const auto plates = vehicles::countVehiclesWith(conn, QStringLiteral("cepaihao"), plate, &error);
        if (!plates) {
            failSave(kAddFailed, error);
            return;
        }
        if (*plates > 0) {
            refuseTaken(QStringLiteral("cepaihao"));
            return;
        }
        const auto fileNumbers =
            vehicles::countVehiclesWith(conn, QStringLiteral("danganbianhao"), editText(QStringLiteral("danganbianhao")), &error);
        if (!fileNumbers) {
            failSave(kAddFailed, error);
            return;
        }
        if (*fileNumbers > 0) {
            refuseTaken(QStringLiteral("danganbianhao"));
            return;
        }

        // Another office may add the same plate meanwhile: the add decides again in its transaction.
        const vehicles::SaveResult added = vehicles::addVehicle(conn, values, vehicles::changeAuthor(m_state));
        if (added.outcome == vehicles::SaveResult::Taken) {
            refuseTaken(added.takenColumn);
            return;
        }
        if (added.outcome != vehicles::SaveResult::Written) {
            failSave(kAddFailed, added.error, added.details);
            return;
        }
        m_dialogs.message(kAdded);
    } else if (m_modifying) {
        m_edits.value(QStringLiteral("cepaihao"))->setEnabled(false);
        m_edits.value(QStringLiteral("danganbianhao"))->setEnabled(false);
        if (!saveModified())
            return;
    }
    finishSave();
}

bool VehicleWindow::saveModified()
{
    vehicles::VehicleValues values = currentValues();
    if (!checkStorable(values))
        return false;
    if (!startNewFeePeriods(values))
        return false;
    const vehicles::ChangeAuthor author = vehicles::changeAuthor(m_state);
    vehicles::SaveResult result = vehicles::saveVehicle(m_state.dbConnection, m_read, values, m_vehicleId, author);
    // Fields the user handed to the other side in an earlier round stay theirs.
    QSet<QString> takenTheirs;
    while (result.outcome == vehicles::SaveResult::Conflict) {
        const ui::ConflictChoice choice = m_dialogs.resolveConflict(conflictRows(result, values));
        switch (choice.action) {
        case ui::ConflictChoice::BackToEditing:
            return false;
        case ui::ConflictChoice::TakeTheirs:
            for (const vehicles::FieldConflict& conflict : result.conflicts)
                takenTheirs.insert(conflict.column);
            showOverStored(result.stored, takenTheirs);
            return false;
        case ui::ConflictChoice::KeepMine:
            break;
        }
        for (qsizetype i = 0; i < result.conflicts.size(); ++i)
            if (choice.takeTheirs.value(i))
                takenTheirs.insert(result.conflicts.at(i).column);
        // Compared with the row as it is now, so the user's choices are the changes made to it.
        values = valuesOverStored(result.stored, takenTheirs);
        const vehicles::VehicleRecord stored = result.stored;
        result = vehicles::saveVehicle(m_state.dbConnection, stored, values, m_vehicleId, author);
    }
    switch (result.outcome) {
    case vehicles::SaveResult::Written:
        m_dialogs.message(kSaved);
        return true;
    case vehicles::SaveResult::NoRow:
        failSave(kSaveFailed, kVehicleGone);
        return false;
    case vehicles::SaveResult::Failed:
    case vehicles::SaveResult::Conflict:
    case vehicles::SaveResult::Taken:
        break;
    }
    failSave(kSaveFailed, result.error, result.details);
    return false;
}

bool VehicleWindow::startNewFeePeriods(vehicles::VehicleValues& values)
{
    for (const fees::FeeKind kind : fees::feeKinds()) {
        const std::optional<fees::FeeColumns> columns = fees::feeColumns(kind);
        if (!columns || values.value(columns->due) == m_readValues.value(columns->due))
            continue;
        // Whoever also typed 已缴 or 还欠 says what they are: those stay as typed.
        if (values.value(columns->paid) != m_readValues.value(columns->paid)
            || values.value(columns->owed) != m_readValues.value(columns->owed))
            continue;
        const money::Amount due = money::readAmount(values.value(columns->due));
        if (!due.read())
            continue; // unreadable or cleared: kept as typed, the fee desk shows it as such
        QString error;
        const std::optional<fees::VehicleFees> stored =
            fees::readVehicleFees(*m_state.dbConnection, m_vehicleId.toLongLong(), kind, QString(), &error);
        if (!stored) {
            failSave(kSaveFailed, error);
            return false;
        }
        // Only a fee the ledger keeps has periods; before its first payment the texts are its record.
        if (stored->status.period == 0)
            continue;
        values.insert(columns->due, money::formatFen(due.fen));
        values.insert(columns->paid, money::formatFen(0));
        values.insert(columns->owed, money::formatFen(due.fen));
    }
    return true;
}

QSet<QString> VehicleWindow::changedColumns() const
{
    const vehicles::VehicleValues values = currentValues();
    QSet<QString> changed;
    for (const QString& name : vehicles::saveOrder())
        if (values.contains(name) != m_readValues.contains(name) || values.value(name) != m_readValues.value(name))
            changed.insert(name);
    return changed;
}

void VehicleWindow::showOverStored(const vehicles::VehicleRecord& stored, const QSet<QString>& takenTheirs)
{
    // What the user changed, as the controls show it, before the stored row replaces it.
    struct Shown {
        QString text;
        QDate date;
        bool noDate = false;
    };
    QHash<QString, Shown> kept;
    for (const QString& name : changedColumns()) {
        if (takenTheirs.contains(name))
            continue;
        Shown shown;
        if (QWidget* edit = m_edits.value(name)) {
            auto* line = qobject_cast<QLineEdit*>(edit);
            shown.text = line ? line->text() : qobject_cast<QPlainTextEdit*>(edit)->toPlainText();
        } else if (const QDateEdit* box = m_dates.value(name)) {
            shown.noDate = showsNoDate(box);
            shown.date = box->date();
        } else {
            shown.text = m_status->currentText();
        }
        kept.insert(name, shown);
    }
    // The row as stored now becomes the one the next save compares with; the user's other
    // changes go back into the form over it, still unsaved.
    showRecord(stored);
    for (auto it = kept.cbegin(); it != kept.cend(); ++it) {
        const QString& name = it.key();
        if (m_edits.contains(name)) {
            setEditText(name, it->text);
        } else if (QDateEdit* box = m_dates.value(name)) {
            if (it->noDate)
                showNoDate(box);
            else
                box->setDate(it->date);
        } else if (m_status->findText(it->text) >= 0) {
            m_status->setCurrentIndex(m_status->findText(it->text));
        }
    }
}

vehicles::VehicleValues VehicleWindow::valuesOverStored(const vehicles::VehicleRecord& stored, const QSet<QString>& takenTheirs) const
{
    vehicles::VehicleValues values = currentValues();
    const vehicles::VehicleValues now = vehicles::storedValues(stored);
    const QSet<QString> changed = changedColumns();
    for (const QString& name : vehicles::saveOrder()) {
        // The user's own change stays, unless it was given up for the other side's.
        if (changed.contains(name) && !takenTheirs.contains(name))
            continue;
        // Otherwise the row keeps what it holds now, whoever wrote it since the form was filled.
        const auto value = now.constFind(name);
        if (value != now.constEnd())
            values.insert(name, *value);
        else
            values.remove(name);
    }
    return values;
}

QList<ui::ConflictRow> VehicleWindow::conflictRows(const vehicles::SaveResult& result, const vehicles::VehicleValues& mine) const
{
    QList<ui::ConflictRow> rows;
    for (const vehicles::FieldConflict& conflict : result.conflicts) {
        const vehicles::VehicleColumn* column = vehicles::findColumn(conflict.column);
        if (!column) {
            rows.append({conflict.column, conflict.read, conflict.theirs, conflict.mine});
            continue;
        }
        rows.append({vehicles::fieldName(*column), readableStored(m_read, *column), readableStored(result.stored, *column),
            readableValue(mine, *column)});
    }
    return rows;
}

void VehicleWindow::openHistoryWindow()
{
    if (!m_read.found)
        return;
    HistoryWindow window(m_state, m_vehicleId, editText(QStringLiteral("cepaihao")), this);
    if (m_historyOpener)
        m_historyOpener(window);
    else
        window.exec();
}

} // namespace fd::app
