#pragma once

#include "ui/Dialogs.h"

#include <QList>
#include <QString>
#include <functional>

namespace fd::test {

// Answers every dialog by script and records what was shown. Nothing blocks.
class ScriptedDialogs final : public ui::Dialogs {
public:
    struct Shown {
        QString kind; // "message", "error", "ask", "input", "open", "save", "conflict"
        QString text;
        QString caption;
        QString details; // the details part of a detailed message
    };

    void message(const QString& text, const QString& caption = kCaption) override;
    void detailedMessage(const QString& text, const QString& details, const QString& caption = kCaption) override;
    void error(const QString& text, const QString& caption) override;
    int ask(const QString& text, Buttons buttons, const QString& caption = kCaption) override;
    bool inputText(const QString& prompt, QString& text, const QString& caption = kCaption) override;
    QString openFileName(const QString& caption, const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& suggested, const QString& filter) override;
    ui::ConflictChoice resolveConflict(const QList<ui::ConflictRow>& rows) override;

    // Scripted answers, taken in order; when none is left: Ok, cancelled input, cancelled picker.
    QList<int> answers;
    QList<QString> inputs;
    QList<QString> fileNames;
    // Answers of the conflict window; when none is left: back to editing.
    QList<ui::ConflictChoice> conflictChoices;
    // The rows of every conflict window shown, in order.
    QList<QList<ui::ConflictRow>> conflicts;
    // Runs when a message is shown (for example to check the state at that moment).
    std::function<void(const Shown&)> onShown;

    QList<Shown> shown;
    QStringList messages() const; // texts of every box shown, in order
    QString lastMessage() const;
    void clear() { shown.clear(); }
};

} // namespace fd::test
