#include "store/EngineSql.h"

#include "base/SystemFiles.h"

#include <QFile>
#include <sqlite3.h>

namespace {

// Runs a statement and collects the first column of every row.
int queryColumn(sqlite3* db, const char* sql, QStringList& out) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    sqlite3_finalize(st);
    return rc;
}

int run(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

} // namespace

namespace EngineSql {

int setForeignKeysOff(sqlite3* db) {
    return run(db, "PRAGMA foreign_keys=OFF");
}

int setSynchronousFull(sqlite3* db) {
    return run(db, "PRAGMA synchronous=FULL");
}

int setJournalMode(sqlite3* db, JournalMode mode, QString* inEffect) {
    QStringList rows;
    const int rc = queryColumn(
        db, mode == JournalMode::Wal ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode=DELETE",
        rows);
    if (inEffect)
        *inEffect = rows.value(0).toLower();
    return rc;
}

int setLockingExclusive(sqlite3* db) {
    return run(db, "PRAGMA locking_mode=EXCLUSIVE");
}

int integrityCheck(sqlite3* db, bool quick, QStringList& rows) {
    return queryColumn(db, quick ? "PRAGMA quick_check" : "PRAGMA integrity_check", rows);
}

int readUserVersion(sqlite3* db, int& version) {
    QStringList rows;
    const int rc = queryColumn(db, "PRAGMA user_version", rows);
    version = rc == SQLITE_OK && !rows.isEmpty() ? rows.first().toInt() : -1;
    return rc;
}

QString userVersionStatement(int version) {
    return QStringLiteral("PRAGMA user_version = %1").arg(version);
}

int vacuumInto(sqlite3* db, const QString& target) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, "VACUUM INTO ?1", -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        const QByteArray t = gNativeFileBytes(target);
        sqlite3_bind_text(st, 1, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(st);
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    sqlite3_finalize(st);
    return rc;
}

QString lastHistoryNumber(bool server) {
    // The identity's sequence is not rolled back with a transaction; its last value is the
    // number the next row follows.
    if (server)
        return QStringLiteral("(SELECT CASE WHEN is_called THEN last_value ELSE 0 END "
                              "FROM t_history_lngid_seq)");
    return QStringLiteral("(SELECT seq FROM sqlite_sequence WHERE name = 'T_HISTORY')");
}

QString tableColumnsQuery(bool server) {
    if (server)
        return QStringLiteral("SELECT column_name FROM information_schema.columns WHERE "
                              "table_schema = current_schema() AND table_name = lower(?) "
                              "ORDER BY ordinal_position");
    return QStringLiteral("SELECT name FROM pragma_table_info(?)");
}

QString lockRowsClause(bool server) {
    return server ? QStringLiteral(" FOR UPDATE") : QString();
}

} // namespace EngineSql
