#pragma once

#include <QObject>
#include <QString>

class QTableView;
class QTreeWidget;
class QAbstractTableModel;

namespace fd {
struct AppState;
class Dialogs;
}

namespace fd::vehicles {

// The fleet grid's contents: the full list, the search and the category lists, filled from the
// database into a table model. The main window owns the widgets and hands them in.
class FleetList : public QObject {
    Q_OBJECT
public:
    FleetList(AppState& state, Dialogs& dialogs, QObject* parent = nullptr);
    ~FleetList() override;

    // Shows the model in the view: fixed row height 24, column widths per layout, hidden ID column.
    void attachView(QTableView* view);
    QAbstractTableModel* model() const;

    // Grid rows as the rest of the program counts them: row 0 is the header, data from row 1.
    int gridRowCount() const;
    QString gridText(int gridRow, int column) const;

    // A fill whose rows are cut short (a lost connection) shows the header only and says why in a
    // message; a failed statement shows the header only.
    void loadAllVehicles();
    // fieldValue: 1 plate, 2 file number, 3 owner name. Returns false when nothing was found or
    // the rows were cut short (the message has been shown and the grid is unchanged).
    bool searchVehicles(int fieldValue, const QString& text);
    void loadCategory(const QString& column, int categoryCode, const QString& header);
    // A seven-column list like a category's from a statement of that shape (ID, file number,
    // plate, owner, phone and the date column named).
    void loadDateList(const QString& sql, const QString& column, const QString& header);
    // The category tree's selection handler, given the selected item's value (0 when none).
    void categoryHandler(int itemValue);

    // Fills the tree with its 35 items, item values in Qt::UserRole of column 0.
    static void populateCategoryTree(QTreeWidget* tree);

Q_SIGNALS:
    // loadAllVehicles sets the main window's caption to appTitle.
    void captionRequested(const QString& caption);

private:
    struct Private;
    Private* d;
};

} // namespace fd::vehicles
