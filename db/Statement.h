#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <concepts>
#include <functional>
#include <optional>
#include <variant>

namespace fd::db {

// One SQL statement with its values kept apart from its text: "?" marks where a value goes, and
// bind() gives the values in order. The session that sends the statement fills them in, a text
// escaped by the client library in the session's character set and put between single quotes, a
// number as its digits, a missing value as NULL. So no caller quotes or escapes anything, and a
// value can never change what the statement means.
//
// A "?" inside a quoted literal, a quoted name or a comment is text, not a placeholder. "%" and
// "_" in a bound text stay as they are, so a LIKE pattern is bound whole ("%" + text + "%").
//
//     Statement("select * from celiangzongbiao where cepaihao=?").bind(plate)
//
// Thread affinity: a value type; copy it freely.
class Statement {
public:
    Statement() = default;
    // A statement with placeholders.
    explicit Statement(QString text);
    explicit Statement(const char* text) : Statement(QString::fromUtf8(text)) {}
    // A complete statement made elsewhere that is sent as it stands: a "?" in it is text.
    static Statement verbatim(QString text);

    Statement& bind(const QString& value);
    Statement& bind(const char* value) { return bind(QString::fromUtf8(value)); }
    // A whole number of any width: its digits.
    template <std::integral T>
        requires(!std::same_as<T, bool> && !std::same_as<T, char>)
    Statement& bind(T value)
    {
        return bindInteger(static_cast<qint64>(value));
    }
    // 'yyyy-MM-dd'; an invalid date is NULL.
    Statement& bind(const QDate& value);
    // 'yyyy-MM-dd hh:mm:ss'; an invalid one is NULL.
    Statement& bind(const QDateTime& value);
    // A text, or NULL when there is none.
    Statement& bind(const std::optional<QString>& value);
    Statement& bindNull();
    // A piece of SQL the program made itself (a column name from its own tables, an expression):
    // put in as it stands. Never a value typed by a user or read from the database.
    Statement& bindSql(const QString& sql);

    // Appends the text and the values of another statement: for statements built in parts (the
    // rows of one insert).
    Statement& append(const Statement& more);
    Statement& append(const QString& text) { return append(Statement(text)); }
    Statement& append(const char* text) { return append(Statement(text)); }

    bool isEmpty() const { return m_parts.isEmpty() || (m_parts.size() == 1 && m_parts.front().isEmpty()); }
    // How many placeholders the text has and how many values were bound; they must be equal.
    int placeholderCount() const { return static_cast<int>(m_parts.size()) - 1; }
    int valueCount() const { return static_cast<int>(m_values.size()); }

    // The text with every value filled in: texts escaped by escape() and put between single
    // quotes. Empty (with error set) when the number of values is not the number of placeholders.
    using Escape = std::function<QString(const QString&)>;
    QString render(const Escape& escape, QString* error = nullptr) const;
    // The same with the client library's escaping rules applied without a session (for messages
    // and tests; a session escapes in its own character set).
    QString renderOffline() const { return render(escapeOffline); }
    static QString escapeOffline(const QString& value);

private:
    Statement& bindInteger(qint64 value);

    struct Sql {
        QString text;
    };
    using Value = std::variant<std::monostate, QString, qint64, Sql>; // monostate: NULL

    // The text around the placeholders: m_parts.size() == placeholders + 1.
    QList<QString> m_parts;
    QList<Value> m_values;
};

} // namespace fd::db
