#pragma once

#include <QPointer>
#include <functional>

class QWidget;

namespace fd {
namespace ui {
class Dialogs;
class JobProgress;
}
struct AppState;

namespace backup {

// 文件 → 备份数据库, for the roles allowed backups (others are refused with a message): asks for
// the folder (the archive takes its dated name there), then runs the whole backup of the daily
// run (proof, second copy to backupCopyDir, result recorded) off the window thread while a
// progress dialog tells the step; the window stays usable. Closing the dialog stops the waiting,
// not the backup: it runs to its end and its result is recorded as always. The outcome is said
// in a message. Null when nothing was started.
ui::JobProgress* backupFromProgram(AppState& state, ui::Dialogs& dialogs, QWidget* window);

// 文件 → 恢复数据库, for the roles allowed restores: the administrator picks an archive, sees its
// date and contents (read off the window thread), types the company's name to confirm, and the
// archive is restored over the program's database (checked whole first, see restoreOverCurrent)
// while a progress dialog tells the step. After a restore, restored() runs on the window's thread:
// the program's own session is out of date and must log in again.
void restoreFromProgram(AppState& state, ui::Dialogs& dialogs, QWidget* window, std::function<void()> restored);

} // namespace backup
} // namespace fd
