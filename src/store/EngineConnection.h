#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <string_view>
#include <vector>

struct sqlite3;

// The engine behind a Database: the data file's SQLite (SqliteConnection.cpp) or a PostgreSQL
// server through libpq (ServerConnection.cpp). Only Database.cpp and the data-file and server
// layers of the store reach these classes; the rest of the program uses Database, Transaction,
// ResultSet and RowCursor.

// The codes the store itself gives a statement it refuses (the engine's own codes otherwise).
// They are SQLite's numbers, so the error log reads as before in both modes.
namespace EngineCode {
constexpr int Ok = 0;
constexpr int Error = 1;
constexpr int CantOpen = 14;
constexpr int Misuse = 21;
constexpr int Range = 25;
} // namespace EngineCode

// A notification the server delivered (NOTIFY): its channel, its text and the server process
// of the connection that sent it.
struct EngineNotice {
    QByteArray channel;
    QByteArray payload;
    int senderPid = 0;
};

// One prepared statement of a connection. Placeholders are numbered from 1; text is UTF-8.
class EngineStatement {
public:
    enum class Step { Row, Done, Error };
    enum class ValueType { Integer, Real, Text, Blob, Null };

    virtual ~EngineStatement() = default;
    virtual int parameterCount() const = 0;
    virtual bool bindNull(int index) = 0;
    virtual bool bindInt(int index, qint64 v) = 0;
    virtual bool bindDouble(int index, double v) = 0;
    virtual bool bindText(int index, const QByteArray& utf8) = 0;
    // Back to before the first row, with every value unbound (NULL).
    virtual void reset() = 0;
    // Runs the statement on its first call, then steps through its rows.
    virtual Step step() = 0;

    // The result columns (known before the first step) and the current row's values.
    virtual int columnCount() const = 0;
    virtual QString columnName(int col) const = 0;
    // Whether the column is declared numeric (for the Null conversion of untyped columns).
    virtual bool columnDeclaredNumeric(int col) const = 0;
    virtual ValueType type(int col) const = 0;
    virtual qint64 int64(int col) const = 0;
    virtual double real(int col) const = 0;
    // Valid until the next step; empty for NULL.
    virtual std::string_view text(int col) const = 0;
};

class EngineConnection {
public:
    virtual ~EngineConnection() = default;

    // "SQLite" or "PostgreSQL": the source named in the error log.
    virtual QString engineName() const = 0;
    // Prepares one statement: null, with the code in code and the store's reason in why (empty
    // when the engine's own message tells it), when it cannot be prepared or holds a second one.
    virtual std::unique_ptr<EngineStatement> prepare(const QString& sql, int& code,
                                                     QString& why) = 0;
    // Runs several statements without parameters.
    virtual bool executeScript(const QString& sql) = 0;
    // The schema version of the open database; -1 when it cannot be read.
    virtual int schemaVersion() = 0;
    virtual qint64 lastInsertId() const = 0;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    virtual int changes() const = 0;
    virtual QString errorText() const = 0;
    virtual int errorCode() const = 0;
    // Whether the code of a failure is a damaged page of the data file.
    virtual bool isDamage(int code) const = 0;
    // Whether the last failure was an integer overflow of a sum.
    virtual bool sumOverflowed() const = 0;
    virtual bool inTransaction() const = 0;
    // The statement that opens a transaction that writes.
    virtual QString beginStatement() const = 0;
    // Rolls back the open transaction, if any, without a report.
    virtual void rollbackQuietly() = 0;
    // Runs a statement without parameters and without a report (savepoint housekeeping).
    virtual void runQuietly(const QByteArray& sql) = 0;
    // The data file's SQLite handle; null on a server.
    virtual sqlite3* sqliteHandle() const { return nullptr; }
    // The server process of this connection (0 on the data file).
    virtual int backendPid() const { return 0; }
    // Asks the server for the notifications of a channel: false on the data file.
    virtual bool listen(const QByteArray&) { return false; }
    // The notifications that arrived since the last call, without waiting for any.
    virtual std::vector<EngineNotice> takeNotices() { return {}; }
    // Rows in bulk (the server's COPY ... FROM STDIN, in its text format): beginCopy runs the
    // COPY statement, putCopyData sends whole lines, endCopy ends it and gives the statement's
    // outcome; abandon ends it as a failure, the table unchanged. The data file has none.
    virtual bool beginCopy(const QByteArray&) { return false; }
    virtual bool putCopyData(const QByteArray&) { return false; }
    virtual bool endCopy(bool /*abandon*/) { return false; }
    // Whether the connection to the server is gone (the server stopped, the network cut): known
    // once a statement or a look for notifications met it. Never on the data file.
    virtual bool connectionLost() const { return false; }
    // Connects again with the same connection string and the same session settings: false (with
    // the client library's text in errorText) while the server cannot be reached.
    virtual bool reconnect() { return false; }
};

// Opens an existing SQLite file (never creates one): null, with code and text, when it fails.
std::unique_ptr<EngineConnection> openSqliteConnection(const QByteArray& nativePath, bool readOnly,
                                                       int& code, QString& text);

// Connects to a PostgreSQL server by a libpq connection string: null, with the server's or the
// client library's text, when it fails (or when this build has no server mode). password: the
// one the user typed for this connection ("" when none; it is kept in memory only, for
// reconnecting). needsPassword: set when the server asked for a password and none was given.
std::unique_ptr<EngineConnection> openServerConnection(const QString& conninfo, QString& text,
                                                       const QString& password = {},
                                                       bool* needsPassword = nullptr);

// Whether this build can reach a server (the Windows build has no client library yet).
bool serverModeAvailable();
