#pragma once

#include "fleet/ShownList.h"

#include <functional>

class QWidget;

namespace fd {
namespace ui {
class Dialogs;
class JobProgress;
}
}

namespace fd::printing {

enum class ExportFormat { xlsx, csv };

// The export commands of the 文件 menu: asks for a file name, then writes the shown list there
// on the files lane while a progress dialog over the window shows how far it has come; its 取消
// stops the export. A file that cannot be written is reported with the reason; a stopped export
// leaves no file and an older file of that name as it was. finished(written) runs on the
// window's thread when the export has ended, never after it was stopped or the window is gone.
// Returns the progress dialog, which owns the export (stop() ends it), or null when no name was
// chosen.
ui::JobProgress* exportShownList(fleet::ShownList list, ui::Dialogs& dialogs, ExportFormat format, QWidget* window,
    std::function<void(bool written)> finished = {});

} // namespace fd::printing
