#include "vehicles/VehicleWindow.h"

// Placeholder until the vehicle window lands.
namespace fd::vehicles {
VehicleWindow::VehicleWindow(AppState&, Dialogs&, std::function<void()>, QWidget* parent) : QDialog(parent) {}
VehicleWindow::~VehicleWindow() = default;
}
