#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

class ChangeNotices;
class Currency;
struct sqlite3;
class EngineConnection;
class EngineStatement;

// One open database: the SQLite data file, or the books on a PostgreSQL server (server mode).
// Both take the same SQL text (docs/storage.md, "One SQL text for both engines"); a server
// connection turns the "?" placeholders into its own. Every statement binds its values: QString,
// integers, double, bool (0/1), Currency (its raw count), QDate ("yyyy-MM-dd"), QDateTime
// ("yyyy-MM-dd HH:mm:ss") and a null QVariant (NULL). No value is ever pasted into SQL text.
class Database {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing data file, read-write unless readOnly. Never creates one: a missing file,
    // or a file that is not an SQLite database, fails. Failures are reported under procName.
    bool open(const QString& path, const QString& procName = QStringLiteral("DbOpenDataBase"),
              bool readOnly = false);
    // Connects to a PostgreSQL server by a libpq connection string ("host=... dbname=...
    // user=..."). A failure is reported under procName; serverFailure() then holds the client
    // library's text.
    // password: one the user typed ("" to rely on ~/.pgpass); never kept beyond the connection.
    bool openServer(const QString& conninfo,
                    const QString& procName = QStringLiteral("DbOpenServer"),
                    const QString& password = {});
    QString serverFailure() const { return m_serverFailure; }
    // Whether the last refused connection failed for want of a password.
    bool serverWantsPassword() const { return m_wantsPassword; }
    void close();
    bool isOpen() const { return m_conn != nullptr; }
    bool isServer() const { return isOpen() && m_server; }
    // The data file's path, or the connection string on a server.
    QString path() const { return m_path; }
    // The data file's SQLite handle; null on a server and when none is open.
    sqlite3* handle() const;
    EngineConnection* engine() const { return m_conn.get(); }
    // The changes other programs make to the books on a server (store/ChangeNotices.h): made
    // when first asked for, it listens while a server is open and stays for every later one.
    ChangeNotices& changeNotices();

    // The server going away (server mode only). A statement on a lost connection fails like any
    // other; the next operation after it (a transaction, or a statement outside one) connects
    // again first, listens again for the change notices and tells the listeners that changes
    // may have been missed. A transaction the connection was lost in stays failed to its end:
    // nothing of it is run on the new connection.
    bool connectionLost() const;
    // Connects again now: false while the server cannot be reached (logged under procName).
    bool reconnect(const QString& procName = QStringLiteral("DbReconnect"));
    // Whether the last commit failed with the connection lost: whether the server committed it
    // is not known (the rows must be read again to tell).
    bool commitOutcomeUnknown() const { return m_commitUnknown; }

    // Runs one statement (trailing spaces removed). Blank text, a preparing or running error, a
    // second statement after the first, or a number of values that differs from the number of
    // placeholders: reported under procName with "SQL=" + sql, false.
    bool executeSQL(const QString& sql, const QVariantList& params = {},
                    const QString& procName = QStringLiteral("DbExecuteSQL"));
    // Runs several statements without parameters (schema scripts).
    bool executeScript(const QString& sql, const QString& procName);

    // Runs an INSERT that ends in "RETURNING <key column>" and gives the new row's key.
    bool insertRow(const QString& sql, const QVariantList& params, const QString& procName,
                   qint64& key);

    // The schema version (the file's PRAGMA user_version, the server's T_SCHEMA_VERSION); -1
    // when none is open or it cannot be read.
    int schemaVersion() const;

    // The data file's last inserted rowid (0 on a server: use insertRow).
    qint64 lastInsertId() const;
    int changes() const;
    QString lastErrorText() const;
    // The extended result code of the last failure (SQLITE_OK when none).
    int lastErrorCode() const;
    // Whether the last failure was a sum that overflowed the integers.
    bool sumOverflowed() const;

    // Explicit transactions; see Transaction below for the usual form.
    bool begin();
    // Whether a transaction is open (also one whose connection was lost, until its end).
    bool inTransaction() const;
    bool commit();
    void rollback();

    // Called when a statement of this connection meets a damaged page (the engine's "corrupt"
    // or "not a database"); every failure is logged either way.
    void setDamageNotice(std::function<void()> notice) { m_damageNotice = std::move(notice); }
    void damageFound() const {
        if (m_damageNotice)
            m_damageNotice();
    }

private:
    std::unique_ptr<EngineConnection> m_conn;
    QString m_path;
    QString m_serverFailure;
    bool m_server = false;
    // Connects again before a statement when the connection was lost outside a transaction.
    bool reviveIfLost(const QString& procName);
    friend class ResultSet;
    friend class RowCursor;

    std::function<void()> m_damageNotice;
    std::unique_ptr<ChangeNotices> m_notices;
    bool m_inTransaction = false; // between begin() and its commit() or rollback()
    bool m_wantsPassword = false;
    bool m_commitUnknown = false;
};

// Rolls back unless commit() was called. Opened inside another transaction it is a savepoint:
// its rollback undoes only its own changes, and its commit leaves the outer one to decide.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    bool ok() const { return m_active; }
    bool commit();

private:
    void rollbackNow();
    Database& m_db;
    QString m_savepoint;
    bool m_active = false;
};

// A result set owned by one object: all rows are read when it is opened, so the record count is
// exact and rows can be revisited. Values are typed by the column's (or alias's) name prefix:
// "cur" -> Currency, "bln" -> bool, "lng" -> qint64, "dat"/"date1" -> QDate (10 characters) or
// QDateTime (19; any other text is returned as QString), "str" -> QString; other columns keep
// the engine's own type. A table-qualified name types by its column ("T_DATA1.curCost"), and the
// functions that keep their argument's type (Sum, Total, Min, Max, Avg, Abs, IfNull, Coalesce)
// type by their first argument ("Sum(curCost)" is Currency; "Count(curCost)" is not). An
// unaliased expression ("curCost * 2") is not typed. NULL is a null QVariant.
class ResultSet {
public:
    explicit ResultSet(Database& db);

    // Opens a query. Failures are reported under procName with "SQL=" + sql.
    bool openRecordSet(const QString& sql, const QVariantList& params = {},
                       const QString& procName = QStringLiteral("DbOpenRecordSet"));
    int recordCount() const { return static_cast<int>(m_rows.size()); }
    int fieldCount() const { return m_fieldNames.size(); }
    QString fieldName(int index) const;
    int fieldIndex(const QString& name) const; // case-insensitive, -1 when absent

    // Cursor over the rows.
    bool moveFirst(); // false (reported) when there is no row
    bool moveNext();  // false (reported) when already past the last row
    void moveLast();
    bool eof() const { return m_pos >= m_rows.size(); }
    int position() const { return static_cast<int>(m_pos); }

    // The typed value of the current row; null QVariant for NULL or out of range.
    QVariant value(int index) const;
    QVariant value(const QString& name) const;
    bool isNull(int index) const { return value(index).isNull(); }
    // The value with the fixed Null conversion: "lng" columns give qint64 0, "cur" columns
    // Currency 0, date columns the text "1000/01/01 00:00:00", "bln" columns false, "str" columns
    // ""; other columns 0 when declared numeric, else "".
    QVariant getFldData(int index) const;

    // Convenience readers of the current row with Null conversion.
    QString text(int index) const;
    qint64 lng(int index) const;
    class Currency cur(int index) const;
    bool bln(int index) const;

    // All rows, for models that keep their own cache.
    const std::vector<QVariantList>& rows() const { return m_rows; }

private:
    Database& m_db;
    QStringList m_fieldNames;
    std::vector<QVariantList> m_rows;
    std::vector<bool> m_numeric; // declared numeric type, for the Null conversion
    std::size_t m_pos = 0;
};

// One prepared statement: bound with typed values, read row by row without copying its values
// (for scans that add up many rows in place), and run again after reset() (for loops that look
// up or insert many rows). Values are read straight from the current row; text stays valid
// until next(). Every failure is reported under the procName given to open or prepare, with
// "SQL=" + sql, and leaves failed() true.
class RowCursor {
public:
    // The storage type of a column's value in the current row.
    enum class Type { Integer, Real, Text, Blob, Null };

    explicit RowCursor(Database& db);
    ~RowCursor();
    RowCursor(const RowCursor&) = delete;
    RowCursor& operator=(const RowCursor&) = delete;

    // Prepares and binds a query (one value per placeholder).
    bool open(const QString& sql, const QVariantList& params, const QString& procName);
    // Prepares a statement whose values are bound afterwards, one by one (placeholders 1...).
    bool prepare(const QString& sql, const QString& procName);
    // Back to before the first row, with every value unbound (NULL); the statement is kept.
    void reset();
    void bindNull(int index);
    void bindInt(int index, qint64 v);
    void bindReal(int index, double v);
    void bindText(int index, const QString& v);
    // The value, or NULL when it is empty (a date as stored, an amount as its raw count).
    void bindOptional(int index, const std::optional<QString>& v);
    void bindOptional(int index, const std::optional<qint32>& v);
    void bindOptional(int index, const std::optional<QDate>& v);
    void bindOptional(int index, const std::optional<Currency>& v);

    // Steps to the next row: false at the end and on a failure (reported; failed() is true).
    // At the end the statement stays done until reset().
    bool next();
    // Runs a statement that returns no rows (an INSERT, UPDATE or DELETE): true when it is done.
    bool run();
    bool failed() const { return m_failed; }
    bool ready() const { return m_st && !m_failed; }

    Type type(int col) const;
    bool isNull(int col) const { return type(col) == Type::Null; }
    bool isInteger(int col) const { return type(col) == Type::Integer; }
    qint64 int64(int col) const;
    double real(int col) const;
    std::string_view text(int col) const;
    // The text of a column as a QString (a null QString for NULL).
    QString qtext(int col) const;

private:
    bool start(const QString& sql, const QVariantList* params, const QString& procName);
    void fail();
    Database& m_db;
    std::unique_ptr<EngineStatement> m_st;
    QString m_sql;
    QString m_proc;
    bool m_failed = false;
    bool m_done = false;
};

// The program's connection to its data file, opened by DbInit (store/DataFile.h), which tells
// the data-file layer of a damaged page it meets.
Database& gdbData();

// The stored text of a date and of a time stamp, as stored.
QString dbDateText(const QDate& d);
QString dbDateTimeText(const QDateTime& dt);
