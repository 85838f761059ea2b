#pragma once

#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;

namespace fd::smswindow {

// A combo box whose list stays open below its edit field (the height includes the list). Choosing
// an entry puts its text into the edit field; the user may also type there. At first the field is
// empty and no entry is chosen.
class ListComboBox : public QWidget {
    Q_OBJECT
public:
    ListComboBox(const QStringList& items, QWidget* parent = nullptr);

    QString currentText() const;
    // Chooses entry i, as a click on it does.
    void choose(int i);
    QLineEdit* editField() const { return m_edit; }
    QListWidget* list() const { return m_list; }

private:
    QLineEdit* m_edit;
    QListWidget* m_list;
};

} // namespace fd::smswindow
