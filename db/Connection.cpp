#include "db/Connection.h"

#include "common/Text.h"

#include <mysql.h>
#include <errmsg.h>
#include <cstring>
#include <thread>

namespace fd::db {

struct Connection::Pending {
    std::thread::id thread;
    MYSQL_RES* result = nullptr;
    qint64 affected = 0;
    unsigned errorCode = 0;
    QString error;
};

namespace {

// The GBK bytes of a setting; ok becomes false (and stays false) when GBK cannot hold it.
QByteArray bytesOrNull(const QString& text, bool& ok)
{
    const text::GbkResult r = text::toGbk(text);
    ok = ok && r.ok();
    return r.bytes;
}

const char* orNull(const QByteArray& bytes) { return bytes.isEmpty() ? nullptr : bytes.constData(); }

} // namespace

Connection::Connection(const Options& options) : m_options(options) {}

Connection::~Connection()
{
    close();
}

std::shared_ptr<Connection> Connection::open(const Options& options, QString* error)
{
    std::shared_ptr<Connection> conn(new Connection(options));
    std::lock_guard lock(conn->m_mutex);
    if (!conn->connectLocked(error))
        return nullptr;
    return conn;
}

bool Connection::connectLocked(QString* error)
{
    MYSQL* mysql = mysql_init(nullptr);
    if (!mysql) {
        if (error)
            *error = QStringLiteral("out of memory");
        return false;
    }
    // The client library must know the set is GBK, or it escapes byte by byte and a GBK character
    // whose second byte is 0x5C could end a literal early.
    mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "gbk");
    const unsigned timeout = static_cast<unsigned>(m_options.connectTimeoutSeconds);
    mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    const unsigned ioTimeout = static_cast<unsigned>(m_options.readTimeoutSeconds);
    mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &ioTimeout);
    mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, &ioTimeout);
    my_bool reconnect = 0; // never let the library resend a statement on its own
    mysql_options(mysql, MYSQL_OPT_RECONNECT, &reconnect);

    bool ok = true;
    const QByteArray host = bytesOrNull(m_options.host, ok);
    const QByteArray user = bytesOrNull(m_options.user, ok);
    const QByteArray password = bytesOrNull(m_options.password, ok);
    const QByteArray database = bytesOrNull(m_options.database, ok);
    if (!ok) {
        // Passed on as absent, such a value would connect with the library's default user or
        // no database selected and look like success.
        if (error)
            *error = QStringLiteral("a connection setting holds a character that GBK cannot store");
        mysql_close(mysql);
        return false;
    }
    // CLIENT_FOUND_ROWS: an update reports the rows it matched, so saving an unchanged row counts.
    if (!mysql_real_connect(mysql, orNull(host), orNull(user), orNull(password), orNull(database),
            static_cast<unsigned>(m_options.port), nullptr, CLIENT_FOUND_ROWS)) {
        if (error)
            *error = text::fromGbk(QByteArray(mysql_error(mysql)));
        mysql_close(mysql);
        return false;
    }
    if (m_mysql)
        mysql_close(m_mysql);
    m_mysql = mysql;
    m_broken = false;
    m_lastUsed = std::chrono::steady_clock::now();
    return true;
}

bool Connection::isOpen() const
{
    const auto lock = lockUnlessStreaming();
    return m_mysql != nullptr;
}

void Connection::close()
{
    if (streamingOnThisThread())
        return; // released with the streamed result; closing now would wait for ourselves
    const auto lock = lockUnlessStreaming();
    for (auto& p : m_pending) {
        if (p->result)
            mysql_free_result(p->result);
    }
    m_pending.clear();
    if (m_mysql) {
        mysql_close(m_mysql);
        m_mysql = nullptr;
    }
}

Connection::Pending& Connection::pendingForThisThreadLocked() const
{
    const auto id = std::this_thread::get_id();
    for (auto& p : m_pending)
        if (p->thread == id)
            return *p;
    m_pending.push_back(std::make_unique<Pending>());
    m_pending.back()->thread = id;
    return *m_pending.back();
}

void Connection::setErrorLocked(unsigned code, const QString& message)
{
    Pending& p = pendingForThisThreadLocked();
    p.errorCode = code;
    p.error = message;
}

bool Connection::ensureAliveLocked()
{
    if (!m_mysql)
        return false;
    const auto idle = std::chrono::steady_clock::now() - m_lastUsed;
    if (!m_broken && idle < std::chrono::seconds(m_options.idleCheckSeconds))
        return true;
    if (!m_broken && mysql_ping(m_mysql) == 0)
        return true;
    // The server dropped the session (wait timeout, restart): open a new one with the same settings.
    QString error;
    if (!connectLocked(&error)) {
        setErrorLocked(CR_SERVER_GONE_ERROR, error);
        m_broken = true;
        return false;
    }
    return true;
}

Connection::Pending* Connection::sendLocked(const QString& sql)
{
    Pending& p = pendingForThisThreadLocked();
    if (p.result) {
        mysql_free_result(p.result);
        p.result = nullptr;
    }
    p.affected = 0;
    const text::GbkResult gbk = text::toGbk(sql);
    if (!gbk.ok()) {
        setErrorLocked(0, QStringLiteral("语句中第 %1 个字符无法用 GBK 保存").arg(gbk.badIndex + 1));
        return nullptr;
    }
    if (!ensureAliveLocked()) {
        if (!m_mysql)
            setErrorLocked(CR_CONNECTION_ERROR, QStringLiteral("没有连接数据库"));
        return nullptr;
    }
    m_lastUsed = std::chrono::steady_clock::now();
    if (mysql_real_query(m_mysql, gbk.bytes.constData(), static_cast<unsigned long>(gbk.bytes.size())) != 0) {
        const unsigned code = mysql_errno(m_mysql);
        setErrorLocked(code, text::fromGbk(QByteArray(mysql_error(m_mysql))));
        // The statement may or may not have reached the server: it is not sent again, but the
        // next statement starts on a checked connection.
        if (code == CR_SERVER_GONE_ERROR || code == CR_SERVER_LOST)
            m_broken = true;
        return nullptr;
    }
    p.errorCode = 0;
    p.error.clear();
    return &p;
}

bool Connection::execute(const QString& sql)
{
    if (streamingOnThisThread())
        return false;
    const auto lock = lockUnlessStreaming();
    Pending* p = sendLocked(sql);
    if (!p)
        return false;
    if (mysql_field_count(m_mysql) == 0) {
        p->affected = static_cast<qint64>(mysql_affected_rows(m_mysql));
        return true;
    }
    p->result = mysql_store_result(m_mysql);
    if (!p->result) {
        setErrorLocked(mysql_errno(m_mysql), text::fromGbk(QByteArray(mysql_error(m_mysql))));
        return false;
    }
    return true;
}

ResultPtr Connection::executeStreamed(const QString& sql)
{
    if (streamingOnThisThread())
        return nullptr;
    const auto lock = lockUnlessStreaming();
    Pending* p = sendLocked(sql);
    if (!p)
        return nullptr;
    if (mysql_field_count(m_mysql) == 0) {
        p->affected = static_cast<qint64>(mysql_affected_rows(m_mysql));
        return nullptr;
    }
    MYSQL_RES* res = mysql_use_result(m_mysql);
    if (!res) {
        setErrorLocked(mysql_errno(m_mysql), text::fromGbk(QByteArray(mysql_error(m_mysql))));
        return nullptr;
    }
    // The result has the connection to itself until it is released; other threads' statements
    // wait for that, without this thread holding the mutex meanwhile.
    m_streaming = true;
    m_streamingThread.store(std::this_thread::get_id());
    return std::make_unique<Result>(res, shared_from_this());
}

ResultPtr Connection::takeResult()
{
    if (streamingOnThisThread())
        return nullptr;
    const auto lock = lockUnlessStreaming();
    Pending& p = pendingForThisThreadLocked();
    MYSQL_RES* res = p.result;
    p.result = nullptr;
    if (!res)
        return nullptr;
    return std::make_unique<Result>(res);
}

qint64 Connection::affectedRows() const
{
    const auto lock = lockUnlessStreaming();
    return pendingForThisThreadLocked().affected;
}

void Connection::forgetThisThread()
{
    const auto lock = lockUnlessStreaming();
    const auto id = std::this_thread::get_id();
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if ((*it)->thread == id) {
            if ((*it)->result)
                mysql_free_result((*it)->result);
            m_pending.erase(it);
            return;
        }
    }
}

std::size_t Connection::threadsKept() const
{
    const auto lock = lockUnlessStreaming();
    return m_pending.size();
}

void Connection::endStreaming(bool broken)
{
    {
        std::lock_guard lock(m_mutex);
        if (broken)
            m_broken = true;
        m_streaming = false;
        m_streamingThread.store(std::thread::id());
    }
    m_streamEnded.notify_all();
}

QString Connection::escape(const QString& value)
{
    const text::GbkResult gbk = text::toGbk(value);
    const auto lock = lockUnlessStreaming();
    if (!gbk.ok() || !m_mysql) {
        // Nothing can be sent in this state (the statement fails before it leaves the program),
        // but escape alike so that the text never reads as a changed statement.
        return escapeOffline(value);
    }
    QByteArray escaped(gbk.bytes.size() * 2 + 1, Qt::Uninitialized);
    const unsigned long n = mysql_real_escape_string(m_mysql, escaped.data(), gbk.bytes.constData(),
        static_cast<unsigned long>(gbk.bytes.size()));
    escaped.resize(static_cast<qsizetype>(n));
    return text::fromGbk(escaped);
}

QString Connection::escapeOffline(const QString& value)
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

QString Connection::lastError() const
{
    const auto lock = lockUnlessStreaming();
    return pendingForThisThreadLocked().error;
}

unsigned Connection::lastErrno() const
{
    const auto lock = lockUnlessStreaming();
    return pendingForThisThreadLocked().errorCode;
}

void Connection::setIdleCheckSeconds(int seconds)
{
    const auto lock = lockUnlessStreaming();
    m_options.idleCheckSeconds = seconds;
}

unsigned long Connection::threadId() const
{
    const auto lock = lockUnlessStreaming();
    return m_mysql ? mysql_thread_id(m_mysql) : 0;
}

// ---- Result ----

Result::Result(MYSQL_RES* res)
    : m_res(res)
    , m_fields(mysql_fetch_fields(res))
    , m_columnCount(mysql_num_fields(res))
    , m_rowCount(static_cast<qint64>(mysql_num_rows(res)))
{
    m_lengths.resize(m_columnCount);
    loadRow(mysql_fetch_row(m_res));
}

Result::Result(MYSQL_RES* res, std::shared_ptr<Connection> owner)
    : m_res(res)
    , m_fields(mysql_fetch_fields(res))
    , m_columnCount(mysql_num_fields(res))
    , m_rowCount(0)
    , m_owner(std::move(owner))
{
    m_lengths.resize(m_columnCount);
    MYSQL_ROW row = mysql_fetch_row(m_res);
    if (row) {
        ++m_rowCount;
        loadRow(row);
    } else {
        noteEndOfStream();
    }
}

void Result::noteEndOfStream()
{
    m_failed = mysql_errno(m_owner->m_mysql) != 0;
    if (m_failed)
        m_error = text::fromGbk(QByteArray(mysql_error(m_owner->m_mysql)));
}

Result::~Result()
{
    mysql_free_result(m_res); // a streamed result reads and drops the rows left on the wire
    if (m_owner) {
        const unsigned code = mysql_errno(m_owner->m_mysql);
        m_owner->endStreaming(code == CR_SERVER_LOST || code == CR_SERVER_GONE_ERROR);
    }
}

void Result::loadRow(char** row)
{
    if (!row)
        return;
    m_row = row;
    const unsigned long* lengths = mysql_fetch_lengths(m_res);
    for (unsigned i = 0; i < m_columnCount; ++i)
        m_lengths[i] = lengths ? lengths[i] : 0;
}

bool Result::next()
{
    if (!m_row || m_pastEnd)
        return false;
    MYSQL_ROW row = mysql_fetch_row(m_res);
    if (!row) {
        m_pastEnd = true; // the last row stays readable
        if (m_owner) {
            // A streamed row lives in the connection's buffer, which the end of the rows reuses.
            m_row = nullptr;
            noteEndOfStream();
        }
        return true;
    }
    if (m_owner)
        ++m_rowCount;
    loadRow(row);
    return true;
}

int Result::columnIndex(const char* name) const
{
    // Field names arrive in GBK; a name written in the (UTF-8) source must be converted first.
    for (const char* p = name; *p; ++p)
        if (static_cast<unsigned char>(*p) >= 0x80)
            return columnIndex(QString::fromUtf8(name));
    return indexOfGbkName(name);
}

int Result::indexOfGbkName(const char* gbkName) const
{
    for (unsigned i = 0; i < m_columnCount; ++i)
        if (std::strcmp(m_fields[i].name, gbkName) == 0)
            return static_cast<int>(i);
    return -1;
}

int Result::columnIndex(const QString& name) const
{
    const text::GbkResult gbk = text::toGbk(name);
    if (!gbk.ok())
        return -1;
    return indexOfGbkName(gbk.bytes.constData());
}

bool Result::isNull(int column) const { return m_row[column] == nullptr; }
const char* Result::data(int column) const { return m_row[column]; }
std::size_t Result::size(int column) const { return m_lengths[static_cast<std::size_t>(column)]; }
int Result::sqlType(int column) const { return m_fields[column].type; }

} // namespace fd::db
