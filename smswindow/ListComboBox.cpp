#include "smswindow/ListComboBox.h"

#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace fd::smswindow {

ListComboBox::ListComboBox(const QStringList& items, QWidget* parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
    , m_list(new QListWidget(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_edit->setFixedHeight(20);
    m_list->addItems(items);
    m_list->setCurrentRow(-1);
    layout->addWidget(m_edit);
    layout->addWidget(m_list);
    setFocusProxy(m_edit);
    connect(m_list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { m_edit->setText(item->text()); });
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            m_edit->setText(m_list->item(row)->text());
    });
}

QString ListComboBox::currentText() const
{
    return m_edit->text();
}

void ListComboBox::choose(int i)
{
    m_list->setCurrentRow(i);
}

} // namespace fd::smswindow
