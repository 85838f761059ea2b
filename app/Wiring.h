#pragma once

#include "app/MainWindow.h"

namespace fd::app {

// The windows the program really opens from the main window. The login is not among them: the
// program's start (Startup) runs it, with the main window opened behind it.
MainWindowHooks programHooks(AppState& state, ui::Dialogs& dialogs, MainWindow& window);

} // namespace fd::app
