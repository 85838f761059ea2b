#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class QMessageBox;
class QWidget;

namespace fd::ui {

// One field that this form and another user both changed, to different values, as the conflict
// window shows it: the field's name for the user and the three values.
struct ConflictRow {
    QString field;
    QString read;   // when the form was opened
    QString theirs; // what the other user saved
    QString mine;   // what this form holds
};

// What the user decided about a save that met another user's changes.
struct ConflictChoice {
    enum Action {
        KeepMine,      // save again, each field as picked in takeTheirs
        TakeTheirs,    // the stored values into the conflicting fields; the form's other changes stay, unsaved
        BackToEditing, // save nothing, the form stays as it is
    };
    Action action = BackToEditing;
    // KeepMine: per row, in the rows' order, true where the other user's value is to be kept.
    QList<bool> takeTheirs;
};

// Every message box, question, input box and file dialog of the program goes through this
// interface, so that tests answer them by script and never block on a modal dialog.
class Dialogs {
public:
    // Button numbers of a message box answer.
    enum Button { Ok = 0, Cancel = 1, Abort = 2, Retry = 3, Ignore = 4, Yes = 5, No = 6 };
    enum Buttons { OkOnly, OkCancel, YesNo, YesNoCancel };

    static inline const QString kCaption = QStringLiteral("信息：");

    virtual ~Dialogs() = default;
    // A message with an OK button only, no icon, modal to the whole program.
    virtual void message(const QString& text, const QString& caption = kCaption) = 0;
    // A message with a details part the user may open: the technical text kept for support (the
    // server's own words, the address), under a message the user reads. Without details, a message.
    virtual void detailedMessage(const QString& text, const QString& /*details*/, const QString& caption = kCaption)
    {
        message(text, caption);
    }
    // A message with an OK button and the error icon.
    virtual void error(const QString& text, const QString& caption) { message(text, caption); }
    // A message with the given buttons; returns the number of the button pressed.
    virtual int ask(const QString& text, Buttons buttons, const QString& caption = kCaption) = 0;
    // A text input box; returns false when cancelled.
    virtual bool inputText(const QString& prompt, QString& text, const QString& caption = kCaption) = 0;
    // The same with the typed characters hidden (a password).
    virtual bool inputPassword(const QString& prompt, QString& text, const QString& caption = kCaption)
    {
        return inputText(prompt, text, caption);
    }
    // File pickers; an empty text means cancelled.
    virtual QString openFileName(const QString& caption, const QString& filter) = 0;
    virtual QString saveFileName(const QString& caption, const QString& suggested, const QString& filter) = 0;
    // The conflict window: the fields both sides changed, and the user's choice. Without a window
    // to ask in, nothing is saved.
    virtual ConflictChoice resolveConflict(const QList<ConflictRow>& /*rows*/) { return {}; }
};

// The real dialogs: application-modal, without owner window.
class QtDialogs final : public Dialogs {
public:
    void message(const QString& text, const QString& caption = kCaption) override;
    void detailedMessage(const QString& text, const QString& details, const QString& caption = kCaption) override;
    void error(const QString& text, const QString& caption) override;
    int ask(const QString& text, Buttons buttons, const QString& caption = kCaption) override;
    bool inputText(const QString& prompt, QString& text, const QString& caption = kCaption) override;
    bool inputPassword(const QString& prompt, QString& text, const QString& caption = kCaption) override;
    QString openFileName(const QString& caption, const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& suggested, const QString& filter) override;
    ConflictChoice resolveConflict(const QList<ConflictRow>& rows) override;

    // The box message and ask show, before it is shown: no icon, application-modal, the standard
    // buttons in the language of the installed Qt translations.
    static std::unique_ptr<QMessageBox> messageBox(const QString& text, Buttons buttons, const QString& caption);
};

} // namespace fd::ui
