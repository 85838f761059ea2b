// The conflict window as the user drives it: one value ticked per field, and the button pressed
// decides what the save does next.
#include "ui/ConflictDialog.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace fd;

namespace {

const QList<ui::ConflictRow> kRows = {
    {QStringLiteral("车主姓名"), QStringLiteral("张三"), QStringLiteral("李四"), QStringLiteral("王五")},
    {QStringLiteral("车主电话"), QString(), QStringLiteral("13800000001"), QStringLiteral("13800000002")},
    {QStringLiteral("基本信息的备注"), QStringLiteral("旧"), QString(), QStringLiteral("新")},
};

void tick(QTableWidget& table, int row, int column, Qt::CheckState state)
{
    table.item(row, column)->setCheckState(state);
}

ui::ConflictChoice press(ui::ConflictDialog& window, const char* button)
{
    auto* b = window.findChild<QPushButton*>(QString::fromUtf8(button));
    EXPECT_TRUE(b) << button;
    if (b)
        QTest::mouseClick(b, Qt::LeftButton);
    return window.choice();
}

TEST(ConflictDialog, EachFieldKeepsExactlyOneTickedValueAndKeepMineReportsThem)
{
    ui::ConflictDialog window(kRows);
    window.show();
    auto* table = window.findChild<QTableWidget*>(QStringLiteral("表格_保存冲突"));
    ASSERT_TRUE(table);
    ASSERT_EQ(table->rowCount(), 3);
    EXPECT_EQ(table->item(1, ui::ConflictDialog::ReadColumn)->text(), QStringLiteral("（空）"));

    tick(*table, 1, ui::ConflictDialog::TheirsColumn, Qt::Checked);  // theirs instead of mine
    tick(*table, 2, ui::ConflictDialog::MineColumn, Qt::Unchecked);   // unticking mine ticks theirs
    tick(*table, 2, ui::ConflictDialog::TheirsColumn, Qt::Unchecked); // and back
    for (int r = 0; r < 3; ++r) {
        EXPECT_NE(table->item(r, ui::ConflictDialog::TheirsColumn)->checkState(),
            table->item(r, ui::ConflictDialog::MineColumn)->checkState())
            << "row " << r;
    }
    const ui::ConflictChoice choice = press(window, "按钮_保留我的");
    EXPECT_EQ(choice.action, ui::ConflictChoice::KeepMine);
    EXPECT_EQ(choice.takeTheirs, (QList<bool> {false, true, false}));
    EXPECT_FALSE(window.isVisible());

    // Closing the window saves nothing.
    ui::ConflictDialog closed(kRows);
    closed.show();
    QTest::keyClick(&closed, Qt::Key_Escape);
    EXPECT_EQ(closed.choice().action, ui::ConflictChoice::BackToEditing);
}

} // namespace
