#pragma once

#include <QString>

class Database;

// The books' schema on a PostgreSQL server: resources/server/db1.sql and one script per data-file
// migration under resources/server/migrations (the same names and versions as the data file's
// chain, in the server's dialect). The version is the one row of T_SCHEMA_VERSION, which also
// marks the database as tovaki's.

// What an open server database holds.
enum class ServerSchemaState {
    Empty,   // no tables: init may create the schema
    Current, // tovaki's books of this program's version
    Older,   // tovaki's books of an older version: migrated when opened
    Newer,   // written by a newer version of the program
    Foreign, // tables, but not tovaki's
    Failed,  // the state could not be read (logged)
};

ServerSchemaState gServerSchemaState(Database& db, int* version = nullptr);

// Creates the whole schema of this version in an empty database, in one transaction: on failure
// nothing is left. False (reported under procName) when it fails or the database is not empty.
bool gServerInit(Database& db, const QString& procName);
// Brings tovaki's books of an older version to this version, in one transaction.
bool gServerMigrate(Database& db, const QString& procName);

// The user's explanation of a state that is neither Current nor Older.
QString gServerSchemaStateText(ServerSchemaState state, int version);

// The user's explanation of a failed connection, from the client library's text (or the
// build's "not available"): what went wrong and what to check. Every failure to connect is
// worded here.
QString gServerConnectFailureText(const QString& clientText);
