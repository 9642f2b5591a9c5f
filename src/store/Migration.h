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

// Brings the open file to kDbSchemaVersion: every script of a later version than the file's,
// in order, and the new version, in one transaction. A file already at the version is left
// alone. On failure nothing is changed; reported under procName.
bool DbMigrate(Database& db, const QString& procName);

// Opens the file at path (not the program's data file: a restored backup's copy) and migrates
// it (DbMigrate).
bool DbMigrateFile(const QString& path, const QString& procName);

// The folder beside the data file that holds the program's own copies of it: the automatic
// backups and the copy taken before a migration.
QString gDataBackupFolder(const QString& dataFile);

// Copies the data file into gDataBackupFolder as "<name>.v<version>-<yyyyMMdd-HHmmss>" before
// it is migrated; returns the copy's path, or empty (reported) when the copy failed.
QString gCopyBeforeMigration(const QString& dataFile, int version, const QString& procName);
