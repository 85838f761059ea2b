#pragma once

#include "ui/Dialogs.h"

#include <QDialog>
#include <QList>

class QTableWidget;
class QTableWidgetItem;

namespace fd::ui {

// The window shown when a save meets another user's changes to the same fields: per field the
// value read when the form opened, the other user's and this form's, one of the last two ticked
// (this form's at first), and the three ways on: 保留我的 (save the ticked values), 采用对方的
// (the other user's values into these fields of the form, the form's other changes kept, nothing
// saved yet), 返回修改 (save nothing). Closing the window is 返回修改.
//
// Controls: the table "表格_保存冲突" (columns 项目, 打开时, 对方保存的, 您填写的), the buttons
// "按钮_保留我的", "按钮_采用对方的", "按钮_返回修改".
class ConflictDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ConflictDialog(const QList<ConflictRow>& rows, QWidget* parent = nullptr);

    // The choice once the window has closed; BackToEditing while it is open.
    ConflictChoice choice() const { return m_choice; }

    // The table's columns.
    enum Column { FieldColumn, ReadColumn, TheirsColumn, MineColumn, ColumnCount };

private:
    void keepOneTicked(QTableWidgetItem* item);
    void finish(ConflictChoice::Action action);

    QTableWidget* m_table = nullptr;
    ConflictChoice m_choice;
    bool m_ticking = false;
};

} // namespace fd::ui
