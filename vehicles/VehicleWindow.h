#pragma once

#include <QDialog>
#include <functional>

namespace fd {
struct AppState;
class Dialogs;
}

namespace fd::vehicles {

// The form on which one vehicle is added (newFlag = 1) or changed (modifyFlag = 1, the row
// editVehicleId). afterSave makes the tree's root current and reloads the full list.
class VehicleWindow : public QDialog {
    Q_OBJECT
public:
    VehicleWindow(AppState& state, Dialogs& dialogs, std::function<void()> afterSave, QWidget* parent = nullptr);
    ~VehicleWindow() override;
};

} // namespace fd::vehicles
