#include "db/Connection.h"

#include "common/Text.h"
#include "db/HostList.h"
#include "db/ServerErrors.h"

#include <QFile>
#include <QStringList>
#include <QThread>
#include <mysql.h>
#include <errmsg.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <type_traits>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace fd::db {

namespace {

// The GBK bytes of a setting; ok becomes false (and stays false) when GBK cannot hold it.
QByteArray bytesOrNull(const QString& text, bool& ok)
{
    const text::GbkResult r = text::toGbk(text);
    ok = ok && r.ok();
    return r.bytes;
}

const char* orNull(const QByteArray& bytes) { return bytes.isEmpty() ? nullptr : bytes.constData(); }

const QString kTransactionLostText = QStringLiteral("与数据库的连接在事务中断开，事务中的修改都没有保存");

// After this error the session is no use: the next statement opens a new one. Over TLS a
// connection that the server closed is reported as a TLS error.
bool sessionLost(unsigned code)
{
    return code == CR_SERVER_GONE_ERROR || code == CR_SERVER_LOST || code == CR_SSL_CONNECTION_ERROR
        || code == errors::kServerShutdown || code == errors::kConnectionKilled || code == errors::kNodeNotReady;
}

// A refusal for want of a privilege is told in the user's words wherever it is shown: the
// program's account lacks a right the administrator must give (its number stays in errorCode).
void setError(Reply& reply, unsigned code, const QString& message)
{
    reply.ok = false;
    reply.errorCode = code;
    reply.error = isPrivilegeError(code) ? privilegeText(code, message) : message;
}

void setMysqlError(Reply& reply, MYSQL* mysql)
{
    setError(reply, mysql_errno(mysql), text::fromGbk(QByteArray(mysql_error(mysql))));
}

} // namespace

Connection::Connection(const Options& options) : m_options(options)
{
#ifdef FLEETDESK_THREAD_CHECKS
    m_thread = QThread::currentThread();
#endif
}

Connection::~Connection()
{
    m_kept.rows.reset();
    if (m_mysql)
        mysql_close(m_mysql);
}

void Connection::checkThread() const
{
#ifdef FLEETDESK_THREAD_CHECKS
    if (QThread::currentThread() != m_thread)
        qFatal("a database session was used on a thread other than its own");
#endif
}

std::shared_ptr<Connection> Connection::open(const Options& options, QString* error, ConnectFailure* failure)
{
    std::shared_ptr<Connection> conn(new Connection(options));
    if (!conn->connect(error, failure, false))
        return nullptr;
    return conn;
}

namespace {

// The first column of the first row of a query, or nothing when it fails or has no row.
std::optional<QByteArray> firstValue(MYSQL* mysql, const char* sql)
{
    if (mysql_query(mysql, sql) != 0)
        return std::nullopt;
    MYSQL_RES* res = mysql_store_result(mysql);
    if (!res)
        return std::nullopt;
    std::optional<QByteArray> value;
    const unsigned column = mysql_num_fields(res) > 1 ? 1 : 0;
    if (MYSQL_ROW row = mysql_fetch_row(res); row && row[column])
        value = QByteArray(row[column]);
    mysql_free_result(res);
    return value;
}

enum class NodeState { Usable, NotSynced, NotReady };

// A node of a Galera cluster is ready when it is in the primary component: one that has lost the
// others (or is still joining) takes connections but refuses every statement. A ready node is
// usable when it is also synced (wsrep_local_state 4): a donor of a full state transfer blocks
// writes while it lasts, and a node desynced by hand lags behind; wsrep_ready does not tell them
// apart. On a ready node the session waits for the writes the cluster has already committed
// before each read, so what another office (or the node this connection has just lost) saved is
// never missing from a list. A server that is not a cluster node needs nothing.
NodeState prepareClusterSession(MYSQL* mysql)
{
    if (firstValue(mysql, "SELECT @@wsrep_on") != QByteArray("1"))
        return NodeState::Usable;
    if (firstValue(mysql, "SHOW STATUS LIKE 'wsrep_ready'") != QByteArray("ON"))
        return NodeState::NotReady;
    if (mysql_query(mysql, "SET SESSION wsrep_sync_wait=1") != 0)
        return NodeState::NotReady;
    return firstValue(mysql, "SHOW STATUS LIKE 'wsrep_local_state'") == QByteArray("4") ? NodeState::Usable
                                                                                        : NodeState::NotSynced;
}

// A server in a lenient mode (many are run so) cuts a text too long for its column, clamps a
// number out of range and stores '?' for a character its set lacks, and reports success. Every
// session of the program is strict, so that such a statement fails instead; the server's other
// flags stay. Zero dates stay as a lenient server treats them (stored data holds them): the
// zero-date flags, which strict mode would turn from warnings into refusals, are left out. A
// server that is strict already is left as it is.
bool makeSessionStrict(MYSQL* mysql)
{
    const std::optional<QByteArray> mode = firstValue(mysql, "SELECT @@SESSION.sql_mode");
    if (!mode)
        return false;
    QList<QByteArray> flags = mode->split(',');
    flags.removeAll(QByteArray());
    if (flags.contains("STRICT_TRANS_TABLES") || flags.contains("STRICT_ALL_TABLES"))
        return true;
    flags.removeAll("NO_ZERO_DATE");
    flags.removeAll("NO_ZERO_IN_DATE");
    flags.append("STRICT_TRANS_TABLES");
    const QByteArray sql = "SET SESSION sql_mode='" + flags.join(',') + "'";
    return mysql_query(mysql, sql.constData()) == 0;
}

// TCP keepalive with short periods: when the server's machine vanishes (power cut, cable) while
// the program waits for an answer, the wait ends after about deadPeerSeconds instead of the read
// time-out. A server that is only slow still acknowledges the probes.
void detectDeadPeer(MYSQL* mysql, int deadPeerSeconds)
{
    const auto fd = mysql_get_socket(mysql);
#ifdef _WIN32
    const BOOL on = TRUE;
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
#else
    if (fd < 0)
        return;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    const int idle = 5, interval = 2;
    const int count = std::max(1, (deadPeerSeconds - idle) / interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
#ifdef TCP_USER_TIMEOUT
    // Also when a statement has gone out and is never acknowledged.
    const unsigned userTimeoutMs = static_cast<unsigned>(deadPeerSeconds) * 1000u;
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs);
#endif
#endif
}

// Waits until the socket has something to read (or is closed); false after timeoutMs.
bool waitReadable(MYSQL* mysql, int timeoutMs)
{
    const auto fd = mysql_get_socket(mysql);
    if (fd == static_cast<std::remove_const_t<decltype(fd)>>(-1))
        return true; // closed: reading reports it at once
#ifdef _WIN32
    WSAPOLLFD p { fd, POLLIN, 0 };
    return WSAPoll(&p, 1, timeoutMs) != 0;
#else
    pollfd p { static_cast<int>(fd), POLLIN, 0 };
    int n;
    do
        n = ::poll(&p, 1, timeoutMs);
    while (n < 0 && errno == EINTR);
    return n != 0;
#endif
}

// TLS failures of the handshake, told apart from the rest.
ConnectFailure failureOf(MYSQL* mysql, bool tlsRequired)
{
    if (!tlsRequired || mysql_errno(mysql) != CR_SSL_CONNECTION_ERROR)
        return ConnectFailure::Other;
    const QByteArray message = QByteArray(mysql_error(mysql)).toLower();
    if (message.contains("not support") || message.contains("doesn't support"))
        return ConnectFailure::NoTls;
    for (const char* word : { "certificate", "verif", "mismatch", "match" })
        if (message.contains(word))
            return ConnectFailure::Certificate;
    return ConnectFailure::Other;
}

// The more telling of two reasons: a TLS refusal says more than a host that did not answer.
ConnectFailure worse(ConnectFailure a, ConnectFailure b)
{
    return static_cast<int>(b) > static_cast<int>(a) ? b : a;
}

} // namespace

MYSQL* Connection::connectOne(int hostIndex, QString* error, ConnectFailure* failure, bool* synced)
{
    *failure = ConnectFailure::Other;
    *synced = true;
    const QList<HostPort> hosts = parseHostList(m_options.host, m_options.port);
    const HostPort& target = hosts[hostIndex];
    MYSQL* mysql = mysql_init(nullptr);
    if (!mysql) {
        *error = QStringLiteral("out of memory");
        return nullptr;
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
    const QByteArray caFile = QFile::encodeName(m_options.tlsCaFile);
    if (m_options.tlsRequired) {
        my_bool enforce = 1;
        mysql_options(mysql, MYSQL_OPT_SSL_ENFORCE, &enforce);
        my_bool verify = m_options.tlsVerifyServer ? 1 : 0;
        mysql_options(mysql, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &verify);
        if (!caFile.isEmpty())
            mysql_options(mysql, MYSQL_OPT_SSL_CA, caFile.constData());
    }

    bool ok = true;
    const QByteArray host = bytesOrNull(target.host, ok);
    const QByteArray user = bytesOrNull(m_options.user, ok);
    const QByteArray password = bytesOrNull(m_options.password, ok);
    const QByteArray database = bytesOrNull(m_options.database, ok);
    if (!ok) {
        // Passed on as absent, such a value would connect with the library's default user or
        // no database selected and look like success.
        *error = QStringLiteral("a connection setting holds a character that GBK cannot store");
        mysql_close(mysql);
        return nullptr;
    }
    // CLIENT_FOUND_ROWS: an update reports the rows it matched, so saving an unchanged row counts.
    // No CLIENT_MULTI_STATEMENTS: one query is one statement, whatever a value might hold.
    // executeMany sends its steps as one compound statement instead.
    if (!mysql_real_connect(mysql, orNull(host), orNull(user), orNull(password), orNull(database),
            static_cast<unsigned>(target.port), nullptr, CLIENT_FOUND_ROWS)) {
        *error = isPrivilegeError(mysql_errno(mysql)) ? privilegeText(mysql_errno(mysql), text::fromGbk(QByteArray(mysql_error(mysql))))
                                                      : text::fromGbk(QByteArray(mysql_error(mysql)));
        *failure = failureOf(mysql, m_options.tlsRequired);
        mysql_close(mysql);
        return nullptr;
    }
    if (m_options.tlsRequired && !mysql_get_ssl_cipher(mysql)) {
        // Never go on in clear text when encryption was asked for, whatever the library did.
        *error = QStringLiteral("the server does not support TLS");
        *failure = ConnectFailure::NoTls;
        mysql_close(mysql);
        return nullptr;
    }
    switch (prepareClusterSession(mysql)) {
    case NodeState::NotReady:
        *error = QStringLiteral("the cluster node is not ready for statements");
        mysql_close(mysql);
        return nullptr;
    case NodeState::NotSynced:
        *error = QStringLiteral("the cluster node is not synced with the others");
        *synced = false;
        break;
    case NodeState::Usable:
        break;
    }
    if (!makeSessionStrict(mysql)) {
        *error = QStringLiteral("cannot make the session strict (sql_mode): ") + text::fromGbk(QByteArray(mysql_error(mysql)));
        mysql_close(mysql);
        return nullptr;
    }
    detectDeadPeer(mysql, m_options.deadPeerSeconds);
    *failure = ConnectFailure::None;
    return mysql;
}

bool Connection::connect(QString* error, ConnectFailure* failure, bool reopen)
{
    const QList<HostPort> hosts = parseHostList(m_options.host, m_options.port);
    if (hosts.isEmpty()) {
        if (error)
            *error = QStringLiteral("the database host setting names no usable host");
        if (failure)
            *failure = ConnectFailure::Other;
        return false;
    }
    // In order of preference; a reopen tries the host it has just lost last, so that a dead
    // server costs no connect time-out when another one can take over.
    std::vector<int> order;
    for (int i = 0; i < hosts.size(); ++i)
        if (!(reopen && i == m_hostIndex && hosts.size() > 1))
            order.push_back(i);
    if (reopen && m_hostIndex >= 0 && m_hostIndex < hosts.size() && hosts.size() > 1)
        order.push_back(m_hostIndex);

    QStringList errors;
    ConnectFailure reason = ConnectFailure::None;
    // The first node that is ready but not synced, kept for when no synced one answers.
    MYSQL* fallback = nullptr;
    int fallbackIndex = -1;
    const auto adopt = [&](MYSQL* mysql, int index) {
        if (m_mysql)
            mysql_close(m_mysql);
        m_mysql = mysql;
        m_hostIndex = index;
        m_serverAddress = hostPortText(hosts[index]);
        m_broken = false;
        m_serverTransaction = false;
        m_lastUsed = std::chrono::steady_clock::now();
        if (failure)
            *failure = ConnectFailure::None;
        return true;
    };
    for (int index : order) {
        QString message;
        ConnectFailure why = ConnectFailure::None;
        bool synced = true;
        MYSQL* mysql = connectOne(index, &message, &why, &synced);
        if (!mysql || !synced) {
            errors << (hosts.size() > 1 ? hostPortText(hosts[index]) + QStringLiteral(": ") + message : message);
            reason = worse(reason, why);
            if (mysql && !fallback) {
                fallback = mysql;
                fallbackIndex = index;
            } else if (mysql) {
                mysql_close(mysql);
            }
            continue;
        }
        if (fallback)
            mysql_close(fallback);
        return adopt(mysql, index);
    }
    if (fallback)
        return adopt(fallback, fallbackIndex);
    if (error)
        *error = errors.join(QStringLiteral("; "));
    if (failure)
        *failure = reason;
    return false;
}

bool Connection::answers()
{
    static const char probe[] = "DO 0";
    if (mysql_send_query(m_mysql, probe, sizeof probe - 1) != 0)
        return false;
    if (!waitReadable(m_mysql, m_options.aliveCheckMs))
        return false; // the session is given up; closing it sends nothing that waits for an answer
    return mysql_read_query_result(m_mysql) == 0;
}

bool Connection::peerSpoke() const
{
    // Between statements the server sends nothing; anything readable is its farewell (an
    // error packet, a TLS alert) or the end of the connection. No round trip is spent.
    const auto fd = mysql_get_socket(m_mysql);
    if (fd == static_cast<std::remove_const_t<decltype(fd)>>(-1))
        return true; // the library has already closed it after a failed exchange
#ifdef _WIN32
    WSAPOLLFD p { fd, POLLIN, 0 };
    return WSAPoll(&p, 1, 0) > 0;
#else
    pollfd p { static_cast<int>(fd), POLLIN | POLLRDHUP, 0 };
    return ::poll(&p, 1, 0) > 0;
#endif
}

bool Connection::isOpen() const
{
    checkThread();
    return m_mysql != nullptr;
}

void Connection::close()
{
    checkThread();
    m_kept.rows.reset();
    if (m_streaming)
        return; // closed with the streamed result
    m_transactionOpen = m_serverTransaction = m_transactionLost = false;
    if (m_mysql) {
        mysql_close(m_mysql);
        m_mysql = nullptr;
    }
}

bool Connection::inTransaction() const
{
    return m_transactionOpen || m_serverTransaction;
}

bool Connection::refused(Reply& reply) const
{
    checkThread();
    if (m_streaming) {
        setError(reply, CR_COMMANDS_OUT_OF_SYNC, QStringLiteral("a list is still being read on this session"));
        return true;
    }
    if (m_transactionLost) {
        setError(reply, CR_SERVER_LOST, kTransactionLostText);
        return true;
    }
    return false;
}

bool Connection::ensureAlive(Reply& reply)
{
    if (!m_mysql) {
        setError(reply, CR_CONNECTION_ERROR, QStringLiteral("没有连接数据库"));
        return false;
    }
    const auto idle = std::chrono::steady_clock::now() - m_lastUsed;
    if (!m_broken && idle < std::chrono::seconds(m_options.idleCheckSeconds) && !peerSpoke())
        return true;
    if (!m_broken && answers())
        return true;
    if (inTransaction()) {
        // What the transaction did so far died with the session; a new session would run the
        // rest (and the commit) on its own, half a change.
        m_broken = true;
        m_serverTransaction = false;
        m_transactionLost = m_transactionOpen;
        setError(reply, CR_SERVER_LOST, kTransactionLostText);
        return false;
    }
    // The server dropped the session (wait timeout, restart, a cluster node stopped) or no longer
    // answers (its machine vanished, the process froze): open a new session with the same
    // settings, on the next host that takes it. Nothing of the statement has been sent yet.
    QString error;
    if (!connect(&error, nullptr, true)) {
        setError(reply, CR_SERVER_GONE_ERROR, error);
        m_broken = true;
        return false;
    }
    return true;
}

bool Connection::send(const QString& sql, Reply& reply)
{
    m_kept.rows.reset();
    const text::GbkResult gbk = text::toGbk(sql);
    if (!gbk.ok()) {
        setError(reply, 0, QStringLiteral("语句中第 %1 个字符无法用 GBK 保存").arg(gbk.badIndex + 1));
        return false;
    }
    if (!ensureAlive(reply))
        return false;
    m_lastUsed = std::chrono::steady_clock::now();
    if (mysql_real_query(m_mysql, gbk.bytes.constData(), static_cast<unsigned long>(gbk.bytes.size())) != 0) {
        // The statement may or may not have reached the server: it is not sent again.
        failSent(reply);
        return false;
    }
    reply.ok = true;
    return true;
}

void Connection::failSent(Reply& reply)
{
    setMysqlError(reply, m_mysql);
    // A server shutting down, a killed session and a cluster node that left the primary
    // component (1047) count alike.
    if (sessionLost(reply.errorCode)) {
        m_broken = true;
        if (m_transactionOpen)
            m_transactionLost = true;
        m_serverTransaction = false;
    }
}

void Connection::noteServerTransaction()
{
    unsigned status = 0;
    mariadb_get_infov(m_mysql, MARIADB_CONNECTION_SERVER_STATUS, &status);
    m_serverTransaction = (status & SERVER_STATUS_IN_TRANS) != 0;
}

namespace {

// The text of a statement with its values escaped by the session in GBK.
QString rendered(MYSQL* mysql, const Statement& statement, Reply& reply)
{
    QString error;
    const QString sql = statement.render(
        [mysql](const QString& value) {
            const text::GbkResult gbk = text::toGbk(value);
            if (!gbk.ok() || !mysql) {
                // Nothing can be sent in this state (the statement fails before it leaves the
                // program), but escape alike so that the text never reads as a changed statement.
                return Statement::escapeOffline(value);
            }
            QByteArray escaped(gbk.bytes.size() * 2 + 1, Qt::Uninitialized);
            const unsigned long n = mysql_real_escape_string(mysql, escaped.data(), gbk.bytes.constData(),
                static_cast<unsigned long>(gbk.bytes.size()));
            escaped.resize(static_cast<qsizetype>(n));
            return text::fromGbk(escaped);
        },
        &error);
    if (!error.isEmpty())
        setError(reply, 0, error);
    return sql;
}

} // namespace

Reply Connection::run(const Statement& statement)
{
    Reply reply;
    if (refused(reply))
        return reply;
    const QString sql = rendered(m_mysql, statement, reply);
    if (!reply.error.isEmpty() || !send(sql, reply))
        return reply;
    if (mysql_field_count(m_mysql) == 0) {
        reply.matchedRows = static_cast<qint64>(mysql_affected_rows(m_mysql));
    } else if (MYSQL_RES* res = mysql_store_result(m_mysql)) {
        reply.rows = std::make_unique<Result>(res);
    } else {
        failSent(reply);
        return reply;
    }
    noteServerTransaction();
    return reply;
}

Reply Connection::runAll(const QList<Statement>& statements)
{
    if (statements.size() == 1)
        return run(statements.front());
    Reply reply;
    if (refused(reply))
        return reply;
    // One compound statement, so the session needs no multi-statement queries: the server runs
    // the steps in order and stops at the first that fails, leaving an open transaction open.
    QStringList texts;
    for (const Statement& s : statements) {
        texts << rendered(m_mysql, s, reply);
        if (!reply.error.isEmpty())
            return reply;
    }
    const QString sql = QStringLiteral("BEGIN NOT ATOMIC ") + texts.join(QStringLiteral(";\n")) + QStringLiteral(";\nEND");
    if (!send(sql, reply))
        return reply;
    for (;;) {
        if (mysql_field_count(m_mysql) == 0) {
            reply.matchedRows = static_cast<qint64>(mysql_affected_rows(m_mysql));
        } else if (MYSQL_RES* res = mysql_store_result(m_mysql)) {
            reply.rows = std::make_unique<Result>(res);
        } else {
            failSent(reply);
            return reply;
        }
        const int next = mysql_next_result(m_mysql);
        if (next < 0)
            break;
        if (next > 0) {
            // A later statement failed; the server ran none after it.
            failSent(reply);
            reply.rows.reset();
            noteServerTransaction();
            return reply;
        }
    }
    noteServerTransaction();
    return reply;
}

Reply Connection::stream(const Statement& statement)
{
    Reply reply;
    if (refused(reply))
        return reply;
    const QString sql = rendered(m_mysql, statement, reply);
    if (!reply.error.isEmpty() || !send(sql, reply))
        return reply;
    if (mysql_field_count(m_mysql) == 0) {
        reply.matchedRows = static_cast<qint64>(mysql_affected_rows(m_mysql));
        noteServerTransaction();
        return reply;
    }
    MYSQL_RES* res = mysql_use_result(m_mysql);
    if (!res) {
        failSent(reply);
        return reply;
    }
    m_streaming = true;
    reply.rows = std::make_unique<Result>(res, shared_from_this());
    return reply;
}

void Connection::endStreaming(bool giveUp)
{
    m_streaming = false;
    if (giveUp)
        m_broken = true;
}

void Connection::keepReply(Reply reply)
{
    m_kept = std::move(reply);
}

QString Connection::serverAddress() const
{
    return m_mysql ? m_serverAddress : QString();
}

QString Connection::tlsCipher() const
{
    checkThread();
    const char* cipher = m_mysql ? mysql_get_ssl_cipher(m_mysql) : nullptr;
    return cipher ? QString::fromLatin1(cipher) : QString();
}

unsigned long Connection::threadId() const
{
    checkThread();
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
    if (!m_owner) {
        mysql_free_result(m_res);
        return;
    }
    m_owner->checkThread();
    // Rows left on the wire would all have to be read before the session could be used again:
    // a list cancelled after its first rows gives up the connection instead, and the session
    // opens a new one for its next statement.
    const bool giveUp = !m_pastEnd && m_row != nullptr;
    if (giveUp) {
        const auto fd = mysql_get_socket(m_owner->m_mysql);
        if (fd != static_cast<std::remove_const_t<decltype(fd)>>(-1))
            ::shutdown(fd, SHUT_RDWR);
    }
    mysql_free_result(m_res);
    m_owner->endStreaming(giveUp || sessionLost(mysql_errno(m_owner->m_mysql)));
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

bool Result::advance()
{
    if (!m_row || m_pastEnd)
        return false;
    MYSQL_ROW row = mysql_fetch_row(m_res);
    if (!row) {
        m_pastEnd = true; // the last row stays readable
        if (m_owner) {
            // A streamed row lives in the session's buffer, which the end of the rows reuses.
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

bool Result::skipRow()
{
    m_started = true;
    return advance();
}

bool Result::next()
{
    if (!m_started) {
        m_started = true;
        return m_row != nullptr;
    }
    advance();
    return m_row != nullptr && !m_pastEnd;
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
