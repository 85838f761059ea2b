#include "db/Connection.h"

#include "common/Text.h"

#include "db/HostList.h"

#include <QFile>
#include <QStringList>
#include <mysql.h>
#include <errmsg.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <type_traits>
#include <thread>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace fd::db {

struct Connection::Pending {
    std::thread::id thread;
    MYSQL_RES* result = nullptr;
    qint64 affected = 0;
    unsigned errorCode = 0;
    QString error;
    // This thread's transaction was lost with the session: its statements fail until ROLLBACK.
    bool transactionLost = false;
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

// Server errors after which the session is no use (mysqld_error.h names).
constexpr unsigned kNodeNotReady = 1047;     // ER_UNKNOWN_COM_ERROR: WSREP has not yet prepared node
constexpr unsigned kServerShutdown = 1053;   // ER_SERVER_SHUTDOWN
constexpr unsigned kConnectionKilled = 1927; // ER_CONNECTION_KILLED

const QString kTransactionLostText = QStringLiteral("与数据库的连接在事务中断开，事务中的修改都没有保存");

// After this error the session is no use: the next statement opens a new one. Over TLS a
// connection that the server closed is reported as a TLS error.
bool sessionLost(unsigned code)
{
    return code == CR_SERVER_GONE_ERROR || code == CR_SERVER_LOST || code == CR_SSL_CONNECTION_ERROR
        || code == kServerShutdown || code == kConnectionKilled || code == kNodeNotReady;
}

} // namespace

Connection::Connection(const Options& options) : m_options(options) {}

Connection::~Connection()
{
    close();
}

std::shared_ptr<Connection> Connection::open(const Options& options, QString* error, ConnectFailure* failure)
{
    std::shared_ptr<Connection> conn(new Connection(options));
    std::lock_guard lock(conn->m_mutex);
    if (!conn->connectLocked(error, failure, false))
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
    const QList<net::HostPort> hosts = net::parseHostList(m_options.host, m_options.port);
    const net::HostPort& target = hosts[hostIndex];
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
        *error = text::fromGbk(QByteArray(mysql_error(mysql)));
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

bool Connection::connectLocked(QString* error, ConnectFailure* failure, bool reopen)
{
    const QList<net::HostPort> hosts = net::parseHostList(m_options.host, m_options.port);
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
        endTransactionHoldLocked();
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

bool Connection::answersLocked()
{
    static const char probe[] = "DO 0";
    if (mysql_send_query(m_mysql, probe, sizeof probe - 1) != 0)
        return false;
    if (!waitReadable(m_mysql, m_options.aliveCheckMs))
        return false; // the session is given up; closing it sends nothing that waits for an answer
    return mysql_read_query_result(m_mysql) == 0;
}

bool Connection::peerSpokeLocked() const
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
    endTransactionHoldLocked();
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
    if (!m_broken && idle < std::chrono::seconds(m_options.idleCheckSeconds) && !peerSpokeLocked())
        return true;
    if (!m_broken && answersLocked())
        return true;
    if (m_inTransaction) {
        // What the transaction did so far died with the session; a new session would run the
        // rest (and the COMMIT) on its own, half a change.
        m_broken = true;
        loseTransactionLocked();
        setErrorLocked(CR_SERVER_LOST, kTransactionLostText);
        return false;
    }
    // The server dropped the session (wait timeout, restart, a cluster node stopped) or no longer
    // answers (its machine vanished, the process froze): open a new session with the same
    // settings, on the next host that takes it. Nothing of the statement has been sent yet.
    QString error;
    if (!connectLocked(&error, nullptr, true)) {
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
        // The statement may or may not have reached the server: it is not sent again.
        failSentLocked();
        return nullptr;
    }
    noteTransactionLocked();
    p.errorCode = 0;
    p.error.clear();
    return &p;
}

void Connection::failSentLocked()
{
    const unsigned code = mysql_errno(m_mysql);
    setErrorLocked(code, text::fromGbk(QByteArray(mysql_error(m_mysql))));
    // A server shutting down, a killed session and a cluster node that left the primary
    // component (1047) count alike.
    if (sessionLost(code)) {
        m_broken = true;
        if (m_inTransaction)
            loseTransactionLocked();
    }
}

void Connection::noteTransactionLocked()
{
    unsigned status = 0;
    mariadb_get_infov(m_mysql, MARIADB_CONNECTION_SERVER_STATUS, &status);
    if (status & SERVER_STATUS_IN_TRANS) {
        m_inTransaction = true;
        m_transactionThread = std::this_thread::get_id();
    } else {
        endTransactionHoldLocked();
    }
}

void Connection::endTransactionHoldLocked()
{
    m_inTransaction = false;
    if (m_transactionThread != std::thread::id()) {
        m_transactionThread = std::thread::id();
        m_streamEnded.notify_all();
    }
}

void Connection::loseTransactionLocked()
{
    pendingForThisThreadLocked().transactionLost = true;
    endTransactionHoldLocked();
}

Connection::AfterLoss Connection::afterLostTransactionLocked(const QString& sql)
{
    Pending& p = pendingForThisThreadLocked();
    if (!p.transactionLost)
        return AfterLoss::Send;
    const QString word = sql.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    if (word == QLatin1String("ROLLBACK")) {
        // The server rolled the transaction back when the session ended.
        p.transactionLost = false;
        p.affected = 0;
        p.errorCode = 0;
        p.error.clear();
        return AfterLoss::Answered;
    }
    if (word == QLatin1String("COMMIT"))
        p.transactionLost = false;
    p.errorCode = CR_SERVER_LOST;
    p.error = kTransactionLostText;
    return AfterLoss::Refused;
}

bool Connection::execute(const QString& sql)
{
    if (streamingOnThisThread())
        return false;
    const auto lock = lockUnlessStreaming();
    switch (afterLostTransactionLocked(sql)) {
    case AfterLoss::Answered: return true;
    case AfterLoss::Refused: return false;
    case AfterLoss::Send: break;
    }
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

bool Connection::executeMany(const QStringList& statements)
{
    if (streamingOnThisThread())
        return false;
    const auto lock = lockUnlessStreaming();
    // One compound statement, so the session needs no multi-statement queries: the server runs
    // the steps in order and stops at the first that fails, leaving an open transaction open.
    const QString sql = QStringLiteral("BEGIN NOT ATOMIC ") + statements.join(QStringLiteral(";\n"))
        + QStringLiteral(";\nEND");
    switch (afterLostTransactionLocked(sql)) {
    case AfterLoss::Answered: return true;
    case AfterLoss::Refused: return false;
    case AfterLoss::Send: break;
    }
    Pending* p = sendLocked(sql);
    if (!p)
        return false;
    for (;;) {
        if (mysql_field_count(m_mysql) == 0) {
            p->affected = static_cast<qint64>(mysql_affected_rows(m_mysql));
        } else if (MYSQL_RES* res = mysql_store_result(m_mysql)) {
            if (p->result)
                mysql_free_result(p->result);
            p->result = res;
        } else {
            setErrorLocked(mysql_errno(m_mysql), text::fromGbk(QByteArray(mysql_error(m_mysql))));
            return false;
        }
        const int next = mysql_next_result(m_mysql);
        if (next < 0)
            break;
        if (next > 0) {
            // A later statement failed; the server ran none after it.
            failSentLocked();
            return false;
        }
    }
    noteTransactionLocked();
    return true;
}

ResultPtr Connection::executeStreamed(const QString& sql)
{
    if (streamingOnThisThread())
        return nullptr;
    const auto lock = lockUnlessStreaming();
    if (afterLostTransactionLocked(sql) != AfterLoss::Send)
        return nullptr;
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
    if (m_transactionThread == id) {
        // A thread that ends with its transaction open leaves nothing half done behind.
        if (m_mysql)
            mysql_query(m_mysql, "ROLLBACK");
        endTransactionHoldLocked();
    }
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

QString Connection::serverAddress() const
{
    const auto lock = lockUnlessStreaming();
    return m_mysql ? m_serverAddress : QString();
}

QString Connection::tlsCipher() const
{
    const auto lock = lockUnlessStreaming();
    const char* cipher = m_mysql ? mysql_get_ssl_cipher(m_mysql) : nullptr;
    return cipher ? QString::fromLatin1(cipher) : QString();
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
        m_owner->endStreaming(sessionLost(mysql_errno(m_owner->m_mysql)));
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
