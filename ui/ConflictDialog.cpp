#include "ui/ConflictDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace fd::ui {
namespace {

const QString kTitle = QStringLiteral("保存冲突");
const QString kHeadline = QStringLiteral("其他用户在您打开此车辆后修改并保存了以下项目：");
const QString kHint = QStringLiteral(
    "请在每一项中勾选要保存的值（默认为您填写的），再点“保留我的”保存。\n"
    "点“采用对方的”在这些项目上采用对方保存的值，您对其他项目的修改仍留在窗口中，点“保存”后才保存；"
    "点“返回修改”暂不保存。");
const QString kKeepMine = QStringLiteral("保留我的");
const QString kTakeTheirs = QStringLiteral("采用对方的");
const QString kBack = QStringLiteral("返回修改");
// An empty value would show as a blank cell the user cannot tell from a missing one.
const QString kEmpty = QStringLiteral("（空）");

constexpr int kWidth = 760;
constexpr int kMaxTableHeight = 420;

QTableWidgetItem* valueItem(const QString& value, bool checkable)
{
    auto* item = new QTableWidgetItem(value.isEmpty() ? kEmpty : value);
    item->setToolTip(value);
    Qt::ItemFlags flags = Qt::ItemIsEnabled;
    if (checkable)
        flags |= Qt::ItemIsUserCheckable;
    item->setFlags(flags);
    if (value.isEmpty())
        item->setForeground(Qt::gray);
    return item;
}

} // namespace

ConflictDialog::ConflictDialog(const QList<ConflictRow>& rows, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("conflictWindow"));
    setWindowTitle(kTitle);

    auto* headline = new QLabel(kHeadline, this);
    headline->setObjectName(QStringLiteral("标签_冲突说明"));

    m_table = new QTableWidget(static_cast<int>(rows.size()), ColumnCount, this);
    m_table->setObjectName(QStringLiteral("表格_保存冲突"));
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("项目"), QStringLiteral("打开时"), QStringLiteral("对方保存的"), QStringLiteral("您填写的")});
    m_table->verticalHeader()->hide();
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    // The ticks are clicked; a focus frame on the first cell would only look like a selection.
    m_table->setFocusPolicy(Qt::NoFocus);
    for (int r = 0; r < rows.size(); ++r) {
        const ConflictRow& row = rows.at(r);
        m_table->setItem(r, FieldColumn, valueItem(row.field, false));
        m_table->setItem(r, ReadColumn, valueItem(row.read, false));
        QTableWidgetItem* theirs = valueItem(row.theirs, true);
        theirs->setCheckState(Qt::Unchecked);
        m_table->setItem(r, TheirsColumn, theirs);
        QTableWidgetItem* mine = valueItem(row.mine, true);
        mine->setCheckState(Qt::Checked);
        m_table->setItem(r, MineColumn, mine);
    }
    m_table->resizeRowsToContents();
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionResizeMode(FieldColumn, QHeaderView::ResizeToContents);
    for (int c = ReadColumn; c < ColumnCount; ++c)
        header->setSectionResizeMode(c, QHeaderView::Stretch);
    // Tall enough for the rows, up to a height that leaves the window on a laptop's screen.
    int rowsHeight = header->sizeHint().height() + 2 * m_table->frameWidth();
    for (int r = 0; r < m_table->rowCount(); ++r)
        rowsHeight += m_table->rowHeight(r);
    m_table->setFixedHeight(std::min(rowsHeight, kMaxTableHeight));
    connect(m_table, &QTableWidget::itemChanged, this, &ConflictDialog::keepOneTicked);

    auto* hint = new QLabel(kHint, this);
    hint->setObjectName(QStringLiteral("标签_冲突提示"));
    hint->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    const auto addButton = [&](const QString& text, const QString& name, ConflictChoice::Action action) {
        auto* button = buttons->addButton(text, QDialogButtonBox::ActionRole);
        button->setObjectName(name);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, action] { finish(action); });
        return button;
    };
    addButton(kKeepMine, QStringLiteral("按钮_保留我的"), ConflictChoice::KeepMine);
    addButton(kTakeTheirs, QStringLiteral("按钮_采用对方的"), ConflictChoice::TakeTheirs);
    addButton(kBack, QStringLiteral("按钮_返回修改"), ConflictChoice::BackToEditing)->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(headline);
    layout->addWidget(m_table);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    resize(kWidth, minimumSizeHint().height());
}

void ConflictDialog::keepOneTicked(QTableWidgetItem* item)
{
    if (m_ticking || (item->column() != TheirsColumn && item->column() != MineColumn))
        return;
    // Exactly one of the row's two values is ticked: ticking one unticks the other, and the
    // ticked one cannot be unticked by itself.
    m_ticking = true;
    const int other = item->column() == TheirsColumn ? MineColumn : TheirsColumn;
    m_table->item(item->row(), other)->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    m_ticking = false;
}

void ConflictDialog::finish(ConflictChoice::Action action)
{
    m_choice.action = action;
    m_choice.takeTheirs.clear();
    if (action == ConflictChoice::KeepMine)
        for (int r = 0; r < m_table->rowCount(); ++r)
            m_choice.takeTheirs.append(m_table->item(r, TheirsColumn)->checkState() == Qt::Checked);
    if (action == ConflictChoice::BackToEditing)
        reject();
    else
        accept();
}

} // namespace fd::ui
