#pragma once

#include <QString>

class Database;

// One script of the migration chain: it leads a data file to schema version `version`.
struct MigrationScript {
    int version;
    const char* name; // file name under resources/migrations
    const char* sql;
};

// The chain, ordered by version and name (generated from resources/migrations at build time).
const MigrationScript* gMigrationScripts(int* count);
// resources/db1.sql, the schema of version 1 that the chain starts from.
const char* gBaseSchemaScript();

// Brings the open file to kDbSchemaVersion: every script of a later version than the file's,
// in order, a check that the result has the version's whole schema (store/Schema.h), and the
// new version, in one transaction. A file already at the version is left alone. On failure
// nothing is changed; reported under procName. *contentsMismatch tells a failure caused by the
// file's contents (a script that meets parts already there, an incomplete result) from one of
// the storage (disk, permissions, locks).
bool DbMigrate(Database& db, const QString& procName, bool* contentsMismatch = nullptr);

// Opens the file at path (not the program's data file: a restored backup's copy) and migrates
// it (DbMigrate).
bool DbMigrateFile(const QString& path, const QString& procName);

// The folder beside the data file that holds the program's own copies of it: the automatic
// backups and the copy taken before a migration.
QString gDataBackupFolder(const QString& dataFile);

// Copies the data file into gDataBackupFolder as "<name>.v<version>-<yyyyMMdd-HHmmss>" before
// it is migrated; returns the copy's path, or empty (reported) when the copy failed.
QString gCopyBeforeMigration(const QString& dataFile, int version, const QString& procName);
