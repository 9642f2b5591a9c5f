#pragma once

#include <QString>

class Database;

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
