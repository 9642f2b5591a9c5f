#include "store/EngineConnection.h"
#include "store/EngineSql.h"

#include <QChar>
#include <cstring>
#include <sqlite3.h>

namespace {

// The text after the first statement may hold only spaces and semicolons: a second statement
// would otherwise be dropped without a word.
bool onlyOneStatement(const char* tail) {
    for (; tail && *tail; ++tail)
        if (*tail != ';' && !QChar::isSpace(static_cast<uchar>(*tail)))
            return false;
    return true;
}

class SqliteStatement final : public EngineStatement {
public:
    explicit SqliteStatement(sqlite3_stmt* st) : m_st(st) {}
    ~SqliteStatement() override { sqlite3_finalize(m_st); }

    int parameterCount() const override { return sqlite3_bind_parameter_count(m_st); }
    bool bindNull(int index) override { return sqlite3_bind_null(m_st, index) == SQLITE_OK; }
    bool bindInt(int index, qint64 v) override {
        return sqlite3_bind_int64(m_st, index, v) == SQLITE_OK;
    }
    bool bindDouble(int index, double v) override {
        return sqlite3_bind_double(m_st, index, v) == SQLITE_OK;
    }
    bool bindText(int index, const QByteArray& utf8) override {
        return sqlite3_bind_text(m_st, index, utf8.constData(), static_cast<int>(utf8.size()),
                                 SQLITE_TRANSIENT) == SQLITE_OK;
    }
    void reset() override {
        sqlite3_reset(m_st);
        sqlite3_clear_bindings(m_st);
    }
    Step step() override {
        const int rc = sqlite3_step(m_st);
        return rc == SQLITE_ROW ? Step::Row : rc == SQLITE_DONE ? Step::Done : Step::Error;
    }
    int columnCount() const override { return sqlite3_column_count(m_st); }
    QString columnName(int col) const override {
        return QString::fromUtf8(sqlite3_column_name(m_st, col));
    }
    bool columnDeclaredNumeric(int col) const override {
        const char* decl = sqlite3_column_decltype(m_st, col);
        const QByteArray d = QByteArray(decl ? decl : "").toUpper();
        return d.contains("INT") || d.contains("REAL") || d.contains("NUM") || d.contains("DOUB") ||
               d.contains("FLOA");
    }
    ValueType type(int col) const override {
        switch (sqlite3_column_type(m_st, col)) {
        case SQLITE_INTEGER:
            return ValueType::Integer;
        case SQLITE_FLOAT:
            return ValueType::Real;
        case SQLITE_TEXT:
            return ValueType::Text;
        case SQLITE_BLOB:
            return ValueType::Blob;
        default:
            return ValueType::Null;
        }
    }
    qint64 int64(int col) const override { return sqlite3_column_int64(m_st, col); }
    double real(int col) const override { return sqlite3_column_double(m_st, col); }
    std::string_view text(int col) const override {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(m_st, col));
        return t ? std::string_view(t, static_cast<std::size_t>(sqlite3_column_bytes(m_st, col)))
                 : std::string_view();
    }

private:
    sqlite3_stmt* m_st;
};

class SqliteConnection final : public EngineConnection {
public:
    explicit SqliteConnection(sqlite3* db) : m_db(db) {}
    ~SqliteConnection() override { sqlite3_close_v2(m_db); }

    QString engineName() const override { return QStringLiteral("SQLite"); }
    std::unique_ptr<EngineStatement> prepare(const QString& sql, int& code, QString& why) override {
        const QByteArray q = sql.toUtf8();
        const char* tail = nullptr;
        sqlite3_stmt* st = nullptr;
        code = sqlite3_prepare_v2(m_db, q.constData(), static_cast<int>(q.size()), &st, &tail);
        if (code != SQLITE_OK) {
            sqlite3_finalize(st);
            return nullptr;
        }
        if (!st) {
            why = QStringLiteral("no statement");
            code = SQLITE_MISUSE;
            return nullptr;
        }
        if (!onlyOneStatement(tail)) {
            sqlite3_finalize(st);
            why = QStringLiteral("more than one statement");
            code = SQLITE_MISUSE;
            return nullptr;
        }
        return std::make_unique<SqliteStatement>(st);
    }
    bool executeScript(const QString& sql) override {
        const QByteArray q = sql.toUtf8();
        return sqlite3_exec(m_db, q.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    int schemaVersion() override {
        int version = -1;
        EngineSql::readUserVersion(m_db, version);
        return version;
    }
    qint64 lastInsertId() const override { return sqlite3_last_insert_rowid(m_db); }
    int changes() const override { return sqlite3_changes(m_db); }
    QString errorText() const override { return QString::fromUtf8(sqlite3_errmsg(m_db)); }
    int errorCode() const override { return sqlite3_extended_errcode(m_db); }
    bool isDamage(int code) const override {
        const int primary = code & 0xff;
        return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
    }
    bool sumOverflowed() const override {
        return sqlite3_errcode(m_db) == SQLITE_ERROR &&
               std::strcmp(sqlite3_errmsg(m_db), "integer overflow") == 0;
    }
    bool inTransaction() const override { return !sqlite3_get_autocommit(m_db); }
    QString beginStatement() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
    void rollbackQuietly() override {
        if (inTransaction())
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void runQuietly(const QByteArray& sql) override {
        sqlite3_exec(m_db, sql.constData(), nullptr, nullptr, nullptr);
    }
    sqlite3* sqliteHandle() const override { return m_db; }

private:
    sqlite3* m_db;
};

} // namespace

std::unique_ptr<EngineConnection> openSqliteConnection(const QByteArray& nativePath, bool readOnly,
                                                       int& code, QString& text) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(
        nativePath.constData(), &db,
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        // Long enough to wait out the start-up check's read of the whole file, which holds a
        // read lock until the file is switched to the write-ahead log.
        sqlite3_busy_timeout(db, 10000);
        // Reading the schema proves the file is a database.
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) {
        code = db ? sqlite3_extended_errcode(db) : rc;
        text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("no database");
        sqlite3_close_v2(db);
        return nullptr;
    }
    EngineSql::setForeignKeysOff(db);
    return std::make_unique<SqliteConnection>(db);
}
