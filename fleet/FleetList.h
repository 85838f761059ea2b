#pragma once

#include "fleet/ListFill.h"

#include <QObject>
#include <QString>
#include <functional>

class QTableView;
class QTreeWidget;
class QAbstractTableModel;

namespace fd {
namespace ui {
class Dialogs;
}
struct AppState;
}

namespace fd::fleet {

// The fleet grid's contents: the full list, the search and the category lists, read from the
// database into a table model. The main window owns the widgets and hands them in.
//
// A list is read off the window thread, on the database lane with a session of that lane's own,
// its rows streamed and shown part by part as they arrive; the window stays responsive all the
// while. A new list cancels the one still being read, whose rows then never reach the grid.
// Thread affinity: the window thread.
class FleetList : public QObject {
    Q_OBJECT
public:
    FleetList(AppState& state, ui::Dialogs& dialogs, QObject* parent = nullptr);
    ~FleetList() override;

    // Shows the model in the view: fixed row height 24, column widths per layout, hidden ID column.
    void attachView(QTableView* view);
    QAbstractTableModel* model() const;

    // Grid rows as the rest of the program counts them: row 0 is the header, data from row 1.
    int gridRowCount() const;
    QString gridText(int gridRow, int column) const;

    // The fills start reading and return; the rows follow. The grid is cut back to the list's
    // header at once, and a list that fails or whose rows are cut short (a lost connection) stays
    // the header only, with a message saying why.
    void loadAllVehicles();
    // fieldValue: 1 plate, 2 file number, 3 owner name. The grid keeps what it shows until the
    // first rows found arrive; a search that finds nothing or fails says so and leaves the grid as
    // it was, and so does one cut short before its first rows were shown. False when no search
    // could be started (the message has been shown).
    bool searchVehicles(int fieldValue, const QString& text);
    void loadCategory(const QString& column, int categoryCode, const QString& header);
    // A seven-column list like a category's from a statement of that shape (ID, file number,
    // plate, owner, phone and the date column named).
    void loadDateList(const QString& sql, const QString& column, const QString& header);
    // The category tree's selection handler, given the selected item's value (0 when none).
    void categoryHandler(int itemValue);
    // Reads the list shown again: the same full list, category or search (the full list when none
    // was read yet). The way to read a list again after it failed.
    void reload();

    // A list is being read.
    bool filling() const;
    // When the rows being read are handed to the grid (the default suits the window).
    void setPacing(PartPacing pacing);
    // Runs the action once the grid holds a whole list: now when no list is being read, else when
    // the reading ends (also when it fails, or when a list that replaced it ends). Dropped when the
    // context is destroyed first.
    void whenComplete(QObject* context, std::function<void()> action);

    // Fills the tree with its 35 items, item values in Qt::UserRole of column 0.
    static void populateCategoryTree(QTreeWidget* tree);

Q_SIGNALS:
    // loadAllVehicles sets the main window's caption to appTitle.
    void captionRequested(const QString& caption);
    // The reading of a list has ended, whole or not (the message, if any, has been shown).
    void listEnded();

private:
    struct Private;
    Private* d;
};

} // namespace fd::fleet
