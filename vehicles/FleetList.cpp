#include "vehicles/FleetList.h"

#include <QAbstractTableModel>

// Placeholder until the fleet grid lands.
namespace fd::vehicles {
struct FleetList::Private {};
FleetList::FleetList(AppState&, Dialogs&, QObject* parent) : QObject(parent), d(new Private) {}
FleetList::~FleetList() { delete d; }
void FleetList::attachView(QTableView*) {}
QAbstractTableModel* FleetList::model() const { return nullptr; }
int FleetList::gridRowCount() const { return 1; }
QString FleetList::gridText(int, int) const { return {}; }
void FleetList::loadAllVehicles() {}
bool FleetList::searchVehicles(int, const QString&) { return false; }
void FleetList::loadCategory(const QString&, int, const QString&) {}
void FleetList::categoryHandler(int) {}
void FleetList::populateCategoryTree(QTreeWidget*) {}
}
