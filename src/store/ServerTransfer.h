#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class Database;
class RowCursor;

// Moving the books between a data file and a server (tovaki-admin load / dump). Every table of
// the data file's schema is copied row for row, value for value (keys, amounts as their raw
// integers, texts, dates as stored), the history included as it was recorded.

// Copies the data file or backup at file (this version's sound data file) into the empty server
// database that server is connected to: the schema and every row in one transaction, so a
// failure leaves the database empty. message: the user's explanation of a refusal.
bool gServerLoad(Database& server, const QString& file, QString& message);

// Writes the server's books, as one snapshot, into a new backup file at file (the backup format:
// a data file of this version); an existing file is never overwritten. The backup's time (the
// clock service's) goes into the copy's T_SYSTEM row 0 and, once the file is complete, into the
// server's row 0 (its last backup), as the backup window records a backup of the data file.
// message: as above.
bool gServerDump(Database& server, const QString& file, QString& message);

// The tables of a data file, in name order, and the columns of one as the copy names them (the
// item lists' row key too): what load and dump copy.
bool gDataFileTables(Database& file, QStringList& tables);
bool gDataFileColumns(Database& file, const QString& table, QStringList& columns);
// Appends a value of the cursor's current row in the text format of the server's COPY: \N for
// NULL; the backslash, tab, newline and carriage return escaped.
void gAppendCopyValue(QByteArray& out, const RowCursor& read, int c);
