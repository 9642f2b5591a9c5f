#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <vector>

struct sqlite3;

// One open SQLite data file. Every statement binds its values: QString, integers, double, bool
// (0/1), Currency (its raw count), QDate ("yyyy-MM-dd"), QDateTime ("yyyy-MM-dd HH:mm:ss") and
// a null QVariant (NULL). No value is ever pasted into SQL text.
class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing data file read-write. Never creates one: a missing file, or a file that
    // is not an SQLite database, fails. Failures are reported under procName.
    bool open(const QString& path, const QString& procName = QStringLiteral("DbOpenDataBase"));
    void close();
    bool isOpen() const { return m_db != nullptr; }
    QString path() const { return m_path; }
    sqlite3* handle() const { return m_db; }

    // Runs one statement (trailing spaces removed). Blank text, a preparing or running error:
    // reported under procName with "SQL=" + sql, false.
    bool executeSQL(const QString& sql, const QVariantList& params = {},
                    const QString& procName = QStringLiteral("DbExecuteSQL"));
    // Runs several statements without parameters (schema scripts).
    bool executeScript(const QString& sql, const QString& procName);

    qint64 lastInsertId() const;
    int changes() const;
    QString lastErrorText() const;

    // Explicit transactions; see Transaction below for the usual form.
    bool begin();
    bool commit();
    void rollback();

private:
    sqlite3* m_db = nullptr;
    QString m_path;
};

// Rolls back unless commit() was called.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    bool ok() const { return m_active; }
    bool commit();

private:
    Database& m_db;
    bool m_active = false;
};

// A result set owned by one object: all rows are read when it is opened, so the record count is
// exact and rows can be revisited. Values are typed by the column's (or alias's) name prefix:
// "cur" -> Currency, "bln" -> bool, "lng" -> qint64, "dat"/"date1" -> QDate (10 characters) or
// QDateTime (19), "str" -> QString; other columns keep SQLite's own type. NULL is a null
// QVariant.
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
    bool moveNext();  // false (reported) at the last row
    void moveLast();
    bool eof() const { return m_pos >= m_rows.size(); }
    int position() const { return static_cast<int>(m_pos); }

    // The typed value of the current row; null QVariant for NULL or out of range.
    QVariant value(int index) const;
    QVariant value(const QString& name) const;
    bool isNull(int index) const { return value(index).isNull(); }
    // The value with the fixed Null conversion: numeric columns ("lng", "cur", integer and real
    // values) give 0, date columns "1000/01/01 00:00:00", every other column "" (bln: false).
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
    std::size_t m_pos = 0;
};

// The open data file of the program.
Database& gdbData();

bool DbInit(const QString& path);
void DbClose();
// Compacts the file at path (which must not be open elsewhere): VACUUM INTO
// "CompactDataBase<n>.mdb" beside it (first free n), then the copy replaces the file. On any
// failure the file stays as it was and no temporary file is left.
bool DbCompactDataBase(const QString& path);

// The SQLite text of a date and of a time stamp, as stored.
QString dbDateText(const QDate& d);
QString dbDateTimeText(const QDateTime& dt);
