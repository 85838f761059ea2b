#pragma once

#include "common/DatabaseOptions.h"
#include "db/Statement.h"

#include <QByteArray>
#include <QList>
#include <QDateTime>
#include <QString>
#include <chrono>
#include <memory>
#include <vector>

struct st_mysql;
struct st_mysql_res;
struct st_mysql_field;
class QThread;

namespace fd::db {

// Why no session could be opened, where the caller tells the user something specific.
enum class ConnectFailure {
    None,
    Other,       // no server answered, the account was refused, ...
    NoTls,       // encryption is required and the server does not offer it
    Certificate, // the server's certificate could not be verified
};

class Connection;
class Transaction;

// The rows of one statement: either complete in memory, or (streamed) read from the server as
// the cursor moves. Owns its handle. Walked with while (next()); before the first next() the
// cursor stands on the first row already (a single row is read without next()), and once the
// cursor has passed the last row the last row stays readable for a result in memory.
// Thread affinity: the thread of the session that produced it.
class Result {
public:
    explicit Result(st_mysql_res* res);
    // A streamed result: the session runs nothing else until it is released.
    Result(st_mysql_res* res, std::shared_ptr<Connection> owner);
    ~Result();
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    // For a result in memory its number of rows; for a streamed one the rows read so far.
    qint64 rowCount() const { return m_rowCount; }
    int columnCount() const { return static_cast<int>(m_columnCount); }
    // The index of the column with exactly this name (case-sensitive), or -1.
    int columnIndex(const QString& name) const;
    int columnIndex(const char* utf8Name) const;

    // Moves to the next row to read; the first call stays on the first row. False at the end.
    bool next();
    // Moves past the row under the cursor: true when the cursor stood on a row.
    bool skipRow();
    // The cursor stands on a row (readable), false before the first for no rows and after the end.
    bool hasRow() const { return m_row != nullptr; }
    // The cursor has moved past the last row, or there was none.
    bool atEnd() const { return m_row == nullptr || m_pastEnd; }
    // A streamed result whose rows stopped coming because of an error (a lost connection).
    bool failed() const { return m_failed; }
    // Why the rows stopped coming (the client library's or the server's message), when failed().
    QString error() const { return m_error; }

    // Raw access to the cursor row: valid only while hasRow(). A streamed result has no row once
    // the cursor has passed the last one.
    bool isNull(int column) const;
    const char* data(int column) const;
    std::size_t size(int column) const;
    int sqlType(int column) const;

    // Reading a column of the cursor row, converted as dbReadField converts (Database.h). A
    // missing column, or no row, gives the empty value.
    QString text(int column) const;
    QString text(const char* column) const { return text(columnIndex(column)); }
    qint64 integer(int column) const;
    qint64 integer(const char* column) const { return integer(columnIndex(column)); }
    // A DATE or DATETIME column as the server writes it ("2026-12-10 08:30:00"); invalid for NULL,
    // the zero date or a text that is no date. Read without Qt's format parser, which costs tens
    // of microseconds a value: a month of the ledger has tens of thousands.
    QDateTime dateTime(int column) const;
    QDateTime dateTime(const char* column) const { return dateTime(columnIndex(column)); }
    QDate date(int column) const { return dateTime(column).date(); }
    QDate date(const char* column) const { return date(columnIndex(column)); }

private:
    void loadRow(char** row);
    // After the rows of a streamed result ended: failed when the session reports an error.
    void noteEndOfStream();
    int indexOfGbkName(const char* gbkName) const;
    bool advance();

    st_mysql_res* m_res;
    st_mysql_field* m_fields;
    unsigned m_columnCount;
    qint64 m_rowCount;
    char** m_row = nullptr;
    std::vector<unsigned long> m_lengths;
    bool m_started = false; // next() or skipRow() has been called
    bool m_pastEnd = false;
    bool m_failed = false;
    QString m_error;
    std::shared_ptr<Connection> m_owner; // set for a streamed result
};

using ResultPtr = std::unique_ptr<Result>;

// What one statement came back with: success or the server's (or the client library's) error,
// the rows it matched, and its rows when it produced some. Each call returns its own.
struct Reply {
    bool ok = false;
    unsigned errorCode = 0; // the server's error number (ServerErrors.h), or the client library's
    QString error;
    qint64 matchedRows = 0; // insert, update, delete: rows matched, changed or not
    ResultPtr rows;         // a statement that produced rows: them (a streamed one as they come)

    explicit operator bool() const { return ok; }
};

// One session with a MySQL server, told that the character set is GBK so that escaping and the
// server agree. Every session is strict (sql_mode), so the server refuses what it would cut.
//
// Thread affinity: the thread that opened it, and no other; a build with FLEETDESK_THREAD_CHECKS
// stops the program when another thread uses it. Work off the window thread uses a session of its
// own (ThreadSession.h).
//
// A session the server closed while idle, or that stopped answering, is reopened with the same
// settings before the next statement, never by sending again a statement that may have run, and
// never inside a transaction: a transaction whose session was lost fails its remaining statements
// and its commit (Transaction.h).
class Connection : public std::enable_shared_from_this<Connection> {
public:
    using Options = DatabaseOptions;

    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens a session on the first host of the list that accepts it; empty on failure, with the
    // client library's messages in error. A cluster node that is not ready for statements is
    // passed over, and so is one that is not synced with the others (a donor of a state transfer,
    // a node desynced by hand) as long as a synced one answers; when none does, the first ready
    // one is taken.
    static std::shared_ptr<Connection> open(
        const Options& options, QString* error = nullptr, ConnectFailure* failure = nullptr);

    bool isOpen() const;
    void close();
    const Options& options() const { return m_options; }

    // Runs one statement, its values filled in and escaped in GBK; a character GBK cannot hold
    // fails it before anything is sent. A statement is sent at most once. Its rows are read
    // into memory.
    Reply run(const Statement& statement);
    // Runs the statements in one round trip (each still at most once); the server stops at the
    // first that fails, and the ones after it do not run. The reply has the rows of the last
    // statement that produced some, and the matched rows of the last one that produced none.
    Reply runAll(const QList<Statement>& statements);
    // Runs a statement whose rows come one by one as the server sends them, so that a long list
    // is never held twice in memory and its first rows can be shown at once. Until the rows are
    // released the session runs nothing else (a statement meanwhile fails). Releasing them before
    // the end gives up the session's connection rather than reading the rest; the next statement
    // opens a new one.
    Reply stream(const Statement& statement);

    // A transaction is open on the session (a Transaction object, or one the server reports).
    bool inTransaction() const;

    // The server's id of the session, to tell a reopened session from the first one.
    unsigned long threadId() const;
    // "host:port" of the server this session is open on; empty when none.
    QString serverAddress() const;
    // The TLS cipher of the session; empty for a clear-text one.
    QString tlsCipher() const;
    void setIdleCheckSeconds(int seconds) { m_options.idleCheckSeconds = seconds; }

    // For the program's statement-by-statement operations (dbExecute, dbStoreResult, Database.h):
    // the reply of the last statement they ran, its rows kept until taken or until the next
    // statement runs.
    void keepReply(Reply reply);
    Reply& keptReply() { return m_kept; }

private:
    friend class Result;
    friend class Transaction;
    explicit Connection(const Options& options);

    void checkThread() const;
    // Opens a session on the first host that takes it. A reopen tries the host it lost last.
    bool connect(QString* error, ConnectFailure* failure, bool reopen);
    // A session on one host, or none; synced is false for a cluster node that is ready but not
    // synced with the others.
    st_mysql* connectOne(int hostIndex, QString* error, ConnectFailure* failure, bool* synced);
    // Whether the server answers a statement that changes nothing within aliveCheckMs.
    bool answers();
    // Whether the server has closed this idle session or sent something unasked (its shutdown
    // notice): either way the session must be checked before a statement goes out on it.
    bool peerSpoke() const;
    // Checks (and when needed reopens) the session before a statement goes out; false, with the
    // reply's error set, when none can be had.
    bool ensureAlive(Reply& reply);
    // Sends the text; false with the reply's error set when it did not go through.
    bool send(const QString& sql, Reply& reply);
    // Records the failure of what was just sent. After a lost session the next statement starts
    // on a checked connection, and an open transaction is lost with it.
    void failSent(Reply& reply);
    // Refuses a statement when the session cannot take one now (a streamed result is open, the
    // transaction was lost); true when refused, with the reply's error set.
    bool refused(Reply& reply) const;
    // After a statement went through: whether the server has a transaction open.
    void noteServerTransaction();
    void endStreaming(bool giveUp);

    Options m_options;
    st_mysql* m_mysql = nullptr;
    bool m_broken = false;
    int m_hostIndex = -1; // in the parsed host list
    QString m_serverAddress;
    std::chrono::steady_clock::time_point m_lastUsed;
    bool m_streaming = false;
    // A Transaction object has started one; the server reports one open.
    bool m_transactionOpen = false;
    bool m_serverTransaction = false;
    // The session was lost inside the open transaction: its statements fail until it ends.
    bool m_transactionLost = false;
    Reply m_kept;
#ifdef FLEETDESK_THREAD_CHECKS
    QThread* m_thread = nullptr;
#endif
};

using ConnectionPtr = std::shared_ptr<Connection>;

} // namespace fd::db
