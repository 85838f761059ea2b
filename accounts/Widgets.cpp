#include "accounts/Widgets.h"

#include <QLabel>
#include <QLineEdit>

namespace fd::accounts {

QLineEdit* makeEditBox(QWidget* parent, const QString& name, const QRect& geometry, const QColor& textColour)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, Qt::white);
    box->setPalette(pal);
    setTextColour(box, textColour);
    return box;
}

QLabel* makeTransparentLabel(QWidget* parent, const QString& name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(false);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette pal = widget->palette();
    for (QPalette::ColorGroup group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled }) {
        pal.setColor(group, QPalette::Text, colour);
        pal.setColor(group, QPalette::WindowText, colour);
        pal.setColor(group, QPalette::ButtonText, colour);
    }
    widget->setPalette(pal);
}

QColor textColour(const QWidget* widget)
{
    // An edit box draws its text in the Text role, labels and check boxes in WindowText.
    const bool edit = qobject_cast<const QLineEdit*>(widget) != nullptr;
    return widget->palette().color(QPalette::Active, edit ? QPalette::Text : QPalette::WindowText);
}

} // namespace fd::accounts
