#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

// The SQLite engine's own statements that the store runs on a connection: every PRAGMA and the
// VACUUM INTO of the program are written here, once each, and called by name. Only the store
// uses them (the connection in Database.cpp, the data-file layer in DataFile*.cpp); the
// engine-specific SQL elsewhere is listed in docs/storage.md ("Engine-specific SQL"). Each
// returns SQLite's result code (SQLITE_OK when the statement ran). The texts at the end are the
// parts of shared statements (of the store and the reports) that each engine writes its own way.
namespace EngineSql {

enum class JournalMode { Delete, Wal };

// PRAGMA foreign_keys=OFF: the schema's references are kept by the program, not the engine.
int setForeignKeysOff(sqlite3* db);
// PRAGMA synchronous=FULL: every commit reaches the disk before it returns.
int setSynchronousFull(sqlite3* db);
// PRAGMA journal_mode: the mode the file is in afterwards (lower case: "delete", "wal") in
// *inEffect when given; the engine may keep another mode without an error.
int setJournalMode(sqlite3* db, JournalMode mode, QString* inEffect = nullptr);
// PRAGMA locking_mode=EXCLUSIVE: locks once taken are kept until the connection closes.
int setLockingExclusive(sqlite3* db);
// PRAGMA integrity_check (every page and index) or PRAGMA quick_check (every page): "ok" as the
// only row when sound, else the problems found.
int integrityCheck(sqlite3* db, bool quick, QStringList& rows);
// PRAGMA user_version: the schema version of the file.
int readUserVersion(sqlite3* db, int& version);
// PRAGMA user_version = version. The pragma takes no bound value: the text is built from the
// number alone.
QString userVersionStatement(int version);
// VACUUM INTO target: a compacted copy of the database into the empty or missing file target.
int vacuumInto(sqlite3* db, const QString& target);

// Statements whose text differs between the data file and a server (server true), in the
// store's shared SQL (docs/storage.md, "One SQL text for both engines"):
// A scalar subquery: the last number given to a T_HISTORY row (NULL or 0 when none).
QString lastHistoryNumber(bool server);
// The names of a table's columns, one a row; the table's name is the one value.
QString tableColumnsQuery(bool server);
// Ends a query on one table whose rows stay locked against other writers until the transaction
// ends: " FOR UPDATE" on a server; nothing on the data file, whose writing transaction holds the
// whole file.
QString lockRowsClause(bool server);

} // namespace EngineSql
