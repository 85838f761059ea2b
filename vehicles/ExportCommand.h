#pragma once

#include "vehicles/ShownList.h"

namespace fd {
class Dialogs;
}

namespace fd::vehicles {

enum class ExportFormat { xlsx, csv };

// The export commands of the 文件 menu: asks for a file name and writes the shown list there; a
// file that cannot be written is reported with the reason. True when the file was written.
bool exportShownList(const ShownList& list, Dialogs& dialogs, ExportFormat format);

} // namespace fd::vehicles
