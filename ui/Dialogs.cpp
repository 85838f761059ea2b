#include "ui/Dialogs.h"

#include "ui/ConflictDialog.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace fd::ui {

std::unique_ptr<QMessageBox> QtDialogs::messageBox(const QString& text, Buttons buttons, const QString& caption)
{
    QMessageBox::StandardButtons qtButtons;
    switch (buttons) {
    case OkOnly: qtButtons = QMessageBox::Ok; break;
    case OkCancel: qtButtons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case YesNo: qtButtons = QMessageBox::Yes | QMessageBox::No; break;
    case YesNoCancel: qtButtons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, caption, text, qtButtons);
    box->setWindowModality(Qt::ApplicationModal);
    return box;
}

void QtDialogs::message(const QString& text, const QString& caption)
{
    messageBox(text, OkOnly, caption)->exec();
}

void QtDialogs::detailedMessage(const QString& text, const QString& details, const QString& caption)
{
    const auto box = messageBox(text, OkOnly, caption);
    box->setDetailedText(details);
    box->exec();
}

void QtDialogs::error(const QString& text, const QString& caption)
{
    const auto box = messageBox(text, OkOnly, caption);
    box->setIcon(QMessageBox::Critical);
    box->exec();
}

int QtDialogs::ask(const QString& text, Buttons buttons, const QString& caption)
{
    switch (messageBox(text, buttons, caption)->exec()) {
    case QMessageBox::Ok: return Ok;
    case QMessageBox::Yes: return Yes;
    case QMessageBox::No: return No;
    default: return Cancel;
    }
}

bool QtDialogs::inputText(const QString& prompt, QString& text, const QString& caption)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal, text, &ok);
    if (ok)
        text = answer;
    return ok;
}

bool QtDialogs::inputPassword(const QString& prompt, QString& text, const QString& caption)
{
    bool ok = false;
    const QString answer = QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Password, text, &ok);
    if (ok)
        text = answer;
    return ok;
}

QString QtDialogs::openFileName(const QString& caption, const QString& filter)
{
    return QFileDialog::getOpenFileName(nullptr, caption, QString(), filter);
}

QString QtDialogs::saveFileName(const QString& caption, const QString& suggested, const QString& filter)
{
    return QFileDialog::getSaveFileName(nullptr, caption, suggested, filter);
}

ConflictChoice QtDialogs::resolveConflict(const QList<ConflictRow>& rows)
{
    ConflictDialog window(rows);
    window.setWindowModality(Qt::ApplicationModal);
    window.exec();
    return window.choice();
}

} // namespace fd::ui
