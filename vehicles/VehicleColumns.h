#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

// The columns of the vehicle table celiangzongbiao: the key, the 69 data columns edited on the
// vehicle window and the 10 picture columns, each with the control that edits or shows it, its
// label and where both sit on the vehicle window. Pure data: no widgets, no database.
namespace fd::vehicles {

enum class ColumnForm {
    Key,     // ID: assigned by the server, never written by the program
    Text,    // an edit box; trimmed when saved (except the insurance amount due)
    Date,    // a date box; written as dateText
    Status,  // the status combo box: "正常", "转出" or "注销"
    Picture, // the bare file name of an uploaded document picture
};

enum class Section { None, Basic, Inspection, Insurance, Operating, Management, Pictures };

struct VehicleColumn {
    QString name;    // column of celiangzongbiao
    ColumnForm form = ColumnForm::Text;
    Section section = Section::None;
    QString control; // objectName of the control
    QString label;   // the text beside the control; the caption above a picture box
    QPoint labelPos; // relative to the group box (to the window for pictures)
    QRect geometry;  // the control, relative to the group box (to the window for pictures)
    bool multiLine = false;  // edit boxes that accept several lines
    bool startsToday = false; // date boxes of payment dates: start at the current date, not 2000-01-01
    bool keepSpaces = false;  // stored as typed, without trimming
    QString docKind;          // pictures: the document kind that names the picture file
};

struct VehicleSection {
    Section section;
    QString control; // objectName of the group box
    QString title;
    QRect geometry; // relative to the window
};

// All 80 columns: the key first, then the data columns group by group in the window's reading
// order, then the ten pictures.
const std::vector<VehicleColumn>& vehicleColumns();
// The five group boxes, top to bottom.
const std::vector<VehicleSection>& vehicleSections();
// The column of that name, or null.
const VehicleColumn* findColumn(const QString& name);
const VehicleSection* findSection(Section section);

// The 69 data columns in the order the vehicle window reads a stored row into its controls.
const QStringList& loadOrder();
// The 69 data columns in the order of the insert's assignment list; the update leaves out the
// first two (danganbianhao, cepaihao), which never change after a vehicle is added.
const QStringList& saveOrder();
// The ten picture columns in the order the vehicle window reads them.
const QStringList& pictureLoadOrder();
// The seven watched expiry dates: the list colours them, the category tree sorts by them.
enum class WatchedDate {
    DrivingPermit,    // zuceyouxiaoriqi
    OperatingPermit,  // yingyunzengyouxiaoqi
    MainInsurance,    // zucebaoxianyouxiaoqi
    TrailerInsurance, // guacebaoxianyouxiaoqi
    Qualification,    // zigezengyouxiaoqi
    DrivingLicence,   // jiasizengyouxiaoqi
    ManagementFee,    // guanlifeiyouxiaoqi: shown only in category lists
};
// Their columns in the order of WatchedDate, which is the order of the full list's date columns.
const QStringList& watchedDates();
// The first six: the date columns of the twelve-column list (grid columns 6 to 11).
const QStringList& listedDates();
QString watchedDateColumn(WatchedDate date);
// The grid's header of the date column ("行车证有效日期"); empty for any other column.
QString watchedDateHeader(const QString& column);
bool isWatchedDateColumn(const QString& column);

// The start date of the ten validity and first-issue date boxes.
inline constexpr int kDateStartYear = 2000;

// How a message names the field: its label without the closing colon, preceded by the group's
// title when several fields share that label ("保险信息的备注").
QString fieldName(const VehicleColumn& column);

} // namespace fd::vehicles
