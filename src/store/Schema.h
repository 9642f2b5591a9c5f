#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

struct sqlite3;

// The shape of a data file's schema: its tables with their columns, its views, indexes and
// triggers. Names are compared without regard to case; each is kept as first written.
struct SchemaShape {
    QMap<QString, QString> tables;   // upper-case name -> name
    QMap<QString, QString> columns;  // "TABLE.COLUMN" in upper case -> "Table.column"
    QMap<QString, QString> views;    // upper-case name -> name
    QMap<QString, QString> indexes;  // upper-case name -> name (not SQLite's own)
    QMap<QString, QString> triggers; // upper-case name -> name
    QMap<QString, QString> owners;   // index or trigger (upper case) -> its table or view
};

// The shape a data file of schema version `version` (1 .. kDbSchemaVersion) has: built once in
// memory from the scripts the program ships (resources/db1.sql and the migrations up to that
// version), so that it always follows them. False for another version.
bool gExpectedSchema(int version, SchemaShape& shape);

// The shape of the main database of an open connection. False (with SQLite's result code in
// *rc) when its schema cannot be read.
bool gReadSchema(sqlite3* db, SchemaShape& shape, int* rc = nullptr);

// What `expected` has and `actual` lacks, in words ("テーブル T_HISTORY", "列
// T_MASTER.strInvoiceNo", "ビュー …", "索引 …", "トリガー …"): tables and views first, then the
// columns, indexes and triggers of the tables and views that are there (a missing table is named
// once for all that belongs to it). Empty when nothing is missing. Extra parts are allowed.
QStringList gMissingSchemaParts(const SchemaShape& expected, const SchemaShape& actual);

// What a file of `version` must not hold yet: the parts a migration from that version adds
// (by name, whatever kind of object holds the name in the file; columns of tables the file has),
// in the same words. Empty when the file can be migrated.
QStringList gPartsAheadOfVersion(int version, const SchemaShape& actual);

// A list of parts for a message: the first few, then "ほか n 件".
QString gSchemaPartsText(const QStringList& parts);
