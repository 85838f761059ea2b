#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct st_mysql;
struct st_mysql_res;
struct st_mysql_field;

namespace fd::db {

// Why no connection could be opened, where the caller tells the user something specific.
enum class ConnectFailure {
    None,
    Other,       // no server answered, the account was refused, ...
    NoTls,       // encryption is required and the server does not offer it
    Certificate, // the server's certificate could not be verified
};

class Result;
using ResultPtr = std::unique_ptr<Result>;

// One MySQL connection, told that the character set is GBK so that escaping and the server agree.
//
// Thread affinity: any thread may run statements; a mutex lets one statement run at a time. A
// statement and the storing of its result happen under one lock, and the result is kept for the
// thread that ran the statement, so a worker's statement cannot take the user-interface thread's
// result. While a streamed result is open, statements of other threads wait until it is
// released (on whichever thread releases it). A worker calls forgetThisThread() before it ends.
// Likewise, while a thread has a transaction open (START TRANSACTION until COMMIT or ROLLBACK) the
// session serves that thread only: another thread's statement would otherwise land inside it.
// A session lost inside a transaction is never replaced under it: the transaction's statements
// and its COMMIT fail (the server has rolled it back) until the thread sends ROLLBACK.
// Share a connection as std::shared_ptr<Connection>; the handle closes with the last owner or on
// close().
class Connection : public std::enable_shared_from_this<Connection> {
public:
    struct Options {
        // host: one server or several in order of preference ("db1:3306,db2:3307", see
        // HostList.h). Opening tries them in turn, each with the connect time-out.
        QString host, user, password, database;
        int port = 0; // for hosts without a port of their own; 0: 3306
        // Encryption: with tlsRequired a server that does not offer TLS is refused (never clear
        // text). The server's certificate is checked against tlsCaFile (PEM) and its address
        // when tlsVerifyServer is set.
        bool tlsRequired = false;
        QString tlsCaFile;
        bool tlsVerifyServer = true;
        // A statement after this much idleness first checks that the server still answers (a
        // statement that changes nothing, given aliveCheckMs to answer), and reopens the
        // connection with the same settings when it does not: a server that vanished without
        // closing its connections (power cut, frozen) costs that check, not the read time-out.
        // One round trip per user action that follows a pause.
        int idleCheckSeconds = 2;
        int aliveCheckMs = 3000;
        int connectTimeoutSeconds = 10;
        // A server that stops answering in the middle of a statement fails it after this long
        // instead of freezing the window for good. No statement of the program comes near it.
        // When the server's machine is gone (no TCP acknowledgements), keepalive probes end the
        // wait after about deadPeerSeconds instead.
        int readTimeoutSeconds = 60;
        int deadPeerSeconds = 13;
    };

    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens a connection to the first host of the list that accepts it; empty on failure, with
    // the client library's messages in error. A cluster node that is not ready for statements is
    // passed over, and so is one that is not synced with the others (a donor of a state transfer,
    // a node desynced by hand) as long as a synced one answers; when none does, the first ready
    // one is taken.
    static std::shared_ptr<Connection> open(
        const Options& options, QString* error = nullptr, ConnectFailure* failure = nullptr);

    bool isOpen() const;
    void close();

    // Runs one statement. The text is sent as GBK; a character GBK cannot hold fails the statement
    // before anything is sent. A statement is sent at most once.
    bool execute(const QString& sql);
    // Runs the statements in one round trip (sent together, each still at most once); the server
    // stops at the first that fails, and the ones after it do not run. The rows of the last
    // statement that produced some are kept for takeResult(); affectedRows() is that of the last
    // statement without rows. False when one failed, with its error.
    bool executeMany(const QStringList& statements);
    // Takes the result of the last statement this thread ran (empty when it produced no rows).
    ResultPtr takeResult();
    // Runs a statement whose rows come one by one as the server sends them, so that a long list
    // is never held twice in memory. The row count grows as the rows are read. Until the result
    // is released the connection serves this thread only: read it, release it, then run the
    // next statement (another statement of this thread meanwhile fails instead of waiting).
    // Empty when the statement failed or produced no rows.
    ResultPtr executeStreamed(const QString& sql);
    // Rows matched (not only changed) by the last insert/update/delete this thread ran.
    qint64 affectedRows() const;
    // Frees what the connection keeps for this thread (its last result, counts and error): for a
    // worker thread that has finished with the connection.
    void forgetThisThread();
    // How many threads the connection keeps bookkeeping for.
    std::size_t threadsKept() const;

    // The value escaped for use between single quotes, by the client library in GBK.
    QString escape(const QString& value);
    // The same escaping done on the text alone, for when no connection is open.
    static QString escapeOffline(const QString& value);

    QString lastError() const;
    unsigned lastErrno() const;
    void setIdleCheckSeconds(int seconds);
    // The server's id of the session, to tell a reopened connection from the first one.
    unsigned long threadId() const;
    // "host:port" of the server this connection is open on; empty when none.
    QString serverAddress() const;
    // The TLS cipher of the session; empty for a clear-text one.
    QString tlsCipher() const;

private:
    friend class Result;
    explicit Connection(const Options& options);
    // True when this thread holds a streamed result: its own statements must not wait for the lock.
    bool streamingOnThisThread() const { return m_streamingThread.load() == std::this_thread::get_id(); }
    // The lock, taken once no other thread streams; none needed when this thread streams (its
    // streamed result has the connection to itself).
    std::unique_lock<std::mutex> lockUnlessStreaming() const
    {
        if (streamingOnThisThread())
            return std::unique_lock<std::mutex>();
        std::unique_lock<std::mutex> lock(m_mutex);
        const std::thread::id me = std::this_thread::get_id();
        m_streamEnded.wait(lock, [this, me] {
            return !m_streaming && (m_transactionThread == std::thread::id() || m_transactionThread == me);
        });
        return lock;
    }
    // Called by a streamed result when it is released, on any thread.
    void endStreaming(bool broken);
    // Opens a session on the first host that takes it. A reopen tries the host it lost last.
    bool connectLocked(QString* error, ConnectFailure* failure, bool reopen);
    // A session on one host, or none; synced is false for a cluster node that is ready but not
    // synced with the others.
    st_mysql* connectOne(int hostIndex, QString* error, ConnectFailure* failure, bool* synced);
    // Whether the server answers a statement that changes nothing within aliveCheckMs.
    bool answersLocked();
    // Whether the server has closed this idle session or sent something unasked (its shutdown
    // notice): either way the session must be checked before a statement goes out on it.
    bool peerSpokeLocked() const;
    bool ensureAliveLocked();
    void setErrorLocked(unsigned code, const QString& message);
    // Records the failure of what was just sent. After a lost session the next statement starts
    // on a checked connection, and an open transaction is lost with it.
    void failSentLocked();
    // After a statement went through: whether the session now has a transaction open, and so
    // whose statements it serves.
    void noteTransactionLocked();
    // The session's transaction is gone with the session: the thread that had it open is told so
    // at its next statements, and the session serves every thread again.
    void loseTransactionLocked();
    void endTransactionHoldLocked();
    enum class AfterLoss { Send, Answered, Refused };
    // What becomes of a statement of a thread whose transaction was lost with its session.
    AfterLoss afterLostTransactionLocked(const QString& sql);

    struct Pending;
    Pending& pendingForThisThreadLocked() const;
    // Sends one statement (checking the connection first); this thread's slot, or none on failure.
    Pending* sendLocked(const QString& sql);

    Options m_options;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_streamEnded;
    bool m_streaming = false; // a streamed result is open (guarded by m_mutex)
    st_mysql* m_mysql = nullptr;
    bool m_broken = false;
    int m_hostIndex = -1; // in the parsed host list
    QString m_serverAddress;
    std::chrono::steady_clock::time_point m_lastUsed;
    mutable std::vector<std::unique_ptr<Pending>> m_pending;
    std::atomic<std::thread::id> m_streamingThread {};
    // The thread whose transaction is open on the session (guarded by m_mutex); none outside one.
    std::thread::id m_transactionThread {};
    bool m_inTransaction = false;
};

using ConnectionPtr = std::shared_ptr<Connection>;

// The rows of one statement with a row cursor that starts on the first row: either complete in
// memory, or (streamed) read from the server as the cursor moves. Used by one thread at a time.
class Result {
public:
    explicit Result(st_mysql_res* res);
    // A streamed result: keeps the connection to itself until it is released, on any thread.
    Result(st_mysql_res* res, std::shared_ptr<Connection> owner);
    ~Result();
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    qint64 rowCount() const { return m_rowCount; }
    int columnCount() const { return static_cast<int>(m_columnCount); }
    // The index of the column with exactly this name (case-sensitive), or -1.
    int columnIndex(const QString& name) const;
    int columnIndex(const char* utf8Name) const;
    bool hasRow() const { return m_row != nullptr; }
    bool next();
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

private:
    void loadRow(char** row);
    // After the rows of a streamed result ended: failed when the connection reports an error.
    void noteEndOfStream();
    int indexOfGbkName(const char* gbkName) const;

    st_mysql_res* m_res;
    st_mysql_field* m_fields;
    unsigned m_columnCount;
    qint64 m_rowCount;
    char** m_row = nullptr;
    std::vector<unsigned long> m_lengths;
    bool m_pastEnd = false;
    bool m_failed = false;
    QString m_error;
    std::shared_ptr<Connection> m_owner; // set for a streamed result
};

} // namespace fd::db
