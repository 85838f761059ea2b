#include "db/Statement.h"

namespace fd::db {
namespace {

    // Splits the text at its placeholders: every "?" that is not inside '…', "…", `…`, a
    // "-- " or "#" line comment or a /* */ comment.
    QList<QString> splitAtPlaceholders(const QString& text)
    {
        QList<QString> parts;
        qsizetype start = 0;
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i) {
            const QChar c = text[i];
            if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
                // To the closing quote; a doubled quote stays inside, and so does a quote after
                // a backslash in a literal.
                for (++i; i < n; ++i) {
                    if (text[i] == QLatin1Char('\\') && c != QLatin1Char('`')) {
                        ++i;
                    } else if (text[i] == c) {
                        if (i + 1 < n && text[i + 1] == c)
                            ++i;
                        else
                            break;
                    }
                }
            } else if (c == QLatin1Char('#')
                || (c == QLatin1Char('-') && i + 2 < n && text[i + 1] == QLatin1Char('-')
                    && text[i + 2].isSpace())) {
                while (i < n && text[i] != QLatin1Char('\n'))
                    ++i;
            } else if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('*')) {
                const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
                i = end < 0 ? n : end + 1;
            } else if (c == QLatin1Char('?')) {
                parts.append(text.mid(start, i - start));
                start = i + 1;
            }
        }
        parts.append(text.mid(start));
        return parts;
    }

} // namespace

Statement::Statement(QString text) : m_parts(splitAtPlaceholders(text)) {}

Statement Statement::verbatim(QString text)
{
    Statement s;
    s.m_parts = { std::move(text) };
    return s;
}

Statement& Statement::bind(const QString& value)
{
    m_values.append(value.isNull() ? QString(QLatin1String("")) : value);
    return *this;
}

Statement& Statement::bindInteger(qint64 value)
{
    m_values.append(value);
    return *this;
}

Statement& Statement::bind(const QDate& value)
{
    if (!value.isValid())
        return bindNull();
    return bind(value.toString(QStringLiteral("yyyy-MM-dd")));
}

Statement& Statement::bind(const QDateTime& value)
{
    if (!value.isValid())
        return bindNull();
    return bind(value.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

Statement& Statement::bind(const std::optional<QString>& value)
{
    return value ? bind(*value) : bindNull();
}

Statement& Statement::bindNull()
{
    m_values.append(std::monostate {});
    return *this;
}

Statement& Statement::bindSql(const QString& sql)
{
    m_values.append(Sql { sql });
    return *this;
}

Statement& Statement::append(const Statement& more)
{
    if (m_parts.isEmpty()) {
        m_parts = more.m_parts;
    } else if (!more.m_parts.isEmpty()) {
        m_parts.back() += more.m_parts.front();
        m_parts.append(more.m_parts.mid(1));
    }
    m_values.append(more.m_values);
    return *this;
}

QString Statement::render(const Escape& escape, QString* error) const
{
    if (m_parts.isEmpty())
        return QString();
    if (m_values.size() != m_parts.size() - 1) {
        if (error)
            *error = QStringLiteral("statement has %1 placeholders but %2 values: %3")
                         .arg(m_parts.size() - 1)
                         .arg(m_values.size())
                         .arg(m_parts.join(QLatin1Char('?')).left(200));
        return QString();
    }
    QString out = m_parts.front();
    for (qsizetype i = 0; i < m_values.size(); ++i) {
        const Value& v = m_values[i];
        if (const auto* s = std::get_if<QString>(&v))
            out += QLatin1Char('\'') + escape(*s) + QLatin1Char('\'');
        else if (const auto* n = std::get_if<qint64>(&v))
            out += QString::number(*n);
        else if (const auto* sql = std::get_if<Sql>(&v))
            out += sql->text;
        else
            out += QLatin1String("NULL");
        out += m_parts[i + 1];
    }
    return out;
}

QString Statement::escapeOffline(const QString& value)
{
    QString out;
    out.reserve(value.size() + 8);
    for (QChar c : value) {
        switch (c.unicode()) {
        case 0: out += QLatin1String("\\0"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case 0x1a: out += QLatin1String("\\Z"); break;
        case '\\': out += QLatin1String("\\\\"); break;
        // Doubled, not \': a server with NO_BACKSLASH_ESCAPES would take \' as a backslash
        // followed by the end of the literal.
        case '\'': out += QLatin1String("''"); break;
        case '"': out += QLatin1String("\\\""); break;
        default: out += c;
        }
    }
    return out;
}

} // namespace fd::db
