#pragma once

#include <QColor>
#include <QRect>
#include <QString>

class QLabel;
class QLineEdit;
class QWidget;

// Controls shared by the login and the password window.
namespace fd::accounts {

// A single-line edit box on white with the given text colour; masked input shows "*".
QLineEdit* makeEditBox(QWidget* parent, const QString& name, const QRect& geometry, const QColor& textColour);
// A label without background of its own.
QLabel* makeTransparentLabel(QWidget* parent, const QString& name, const QString& text, const QRect& geometry);
// The colour in which the control draws its text.
void setTextColour(QWidget* widget, const QColor& colour);
QColor textColour(const QWidget* widget);

} // namespace fd::accounts
