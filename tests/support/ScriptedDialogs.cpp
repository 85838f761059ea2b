#include "ScriptedDialogs.h"

namespace fd::test {

void ScriptedDialogs::message(const QString& text, const QString& caption)
{
    shown.append({QStringLiteral("message"), text, caption, QString()});
    if (onShown)
        onShown(shown.last());
}

void ScriptedDialogs::detailedMessage(const QString& text, const QString& details, const QString& caption)
{
    shown.append({QStringLiteral("message"), text, caption, details});
    if (onShown)
        onShown(shown.last());
}

void ScriptedDialogs::error(const QString& text, const QString& caption)
{
    shown.append({QStringLiteral("error"), text, caption, QString()});
    if (onShown)
        onShown(shown.last());
}

int ScriptedDialogs::ask(const QString& text, Buttons, const QString& caption)
{
    shown.append({QStringLiteral("ask"), text, caption, QString()});
    if (onShown)
        onShown(shown.last());
    return answers.isEmpty() ? Ok : answers.takeFirst();
}

bool ScriptedDialogs::inputText(const QString& prompt, QString& text, const QString& caption)
{
    shown.append({QStringLiteral("input"), prompt, caption, QString()});
    if (inputs.isEmpty())
        return false;
    text = inputs.takeFirst();
    return true;
}

QString ScriptedDialogs::openFileName(const QString& caption, const QString&)
{
    shown.append({QStringLiteral("open"), QString(), caption, QString()});
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}

QString ScriptedDialogs::saveFileName(const QString& caption, const QString&, const QString&)
{
    shown.append({QStringLiteral("save"), QString(), caption, QString()});
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}

ui::ConflictChoice ScriptedDialogs::resolveConflict(const QList<ui::ConflictRow>& rows)
{
    QStringList fields;
    for (const ui::ConflictRow& row : rows)
        fields.append(row.field);
    shown.append({QStringLiteral("conflict"), fields.join(QLatin1Char(',')), QString(), QString()});
    conflicts.append(rows);
    if (onShown)
        onShown(shown.last());
    return conflictChoices.isEmpty() ? ui::ConflictChoice() : conflictChoices.takeFirst();
}

QStringList ScriptedDialogs::messages() const
{
    QStringList out;
    for (const Shown& s : shown)
        if (s.kind == QLatin1String("message") || s.kind == QLatin1String("error") || s.kind == QLatin1String("ask"))
            out.append(s.text);
    return out;
}

QString ScriptedDialogs::lastMessage() const
{
    const QStringList all = messages();
    return all.isEmpty() ? QString() : all.last();
}

} // namespace fd::test
