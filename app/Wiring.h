#pragma once

#include "app/MainWindow.h"

namespace fd::app {

// The windows the program really opens from the main window.
MainWindowHooks programHooks(AppState& state, Dialogs& dialogs, MainWindow& window);

} // namespace fd::app
