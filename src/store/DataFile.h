#pragma once

#include "store/SettingsRegistry.h"

#include <QString>
#include <QStringList>
#include <functional>

class Database;
class QDateTime;
class QRegularExpression;

// The data file as a whole: what a candidate file is, who may use it, whether it can be written,
// and whether it is sound; and opening, migrating, compacting and replacing it. Database.h is the
// connection to it (statements, transactions, result sets); this file decides whether and how
// the program's data file is opened through it.

// What a candidate data file turned out to be.
enum class DataFileStatus {
    Ok,
    Unreadable,      // missing, not a file, or cannot be read
    NotDatabase,     // not an SQLite database at all (a text file, a picture, zero bytes ...)
    Damaged,         // an SQLite file that is truncated or fails its integrity check
    NotDataFile,     // a sound SQLite database without this program's tables
    NewerVersion,    // written by a newer version of this program
    Incomplete,      // this program's file, lacking parts of its version's schema
    VersionMismatch, // holds parts that only a later version has: its contents and its version
                     // disagree (it cannot be migrated)
};

// What the shape check found beyond the status: the file's schema version, and the parts of the
// schema that are missing (Incomplete) or ahead of the version (VersionMismatch), in words.
struct DataFileFindings {
    int version = 0;
    QStringList parts;
};

// Checks a file without changing it: an SQLite database, complete, passing its integrity check,
// holding this program's tables, with a schema version this program reads, and the whole schema
// of that version (tables, columns, views, indexes, triggers; store/Schema.h). Extra parts are
// allowed, except those a migration of an older file would add.
DataFileStatus gChkDataFile(const QString& path, DataFileFindings* findings = nullptr);
// The same without the integrity check (which reads every page): header, schema and version.
// Used before a file is opened, where reading a large file in full would delay the start.
DataFileStatus gChkDataFileShape(const QString& path, DataFileFindings* findings = nullptr);
// The user's explanation of a status other than Ok, for a file the user chose.
QString gDataFileStatusText(DataFileStatus status, const DataFileFindings& findings = {});

// --- the lock beside the data file -----------------------------------------------------------
//
// "<data file>.lock" (sys/db1.lock beside sys/db1) marks the program that uses the file, on any
// computer and for any user that reaches the folder; it is held for the whole session. It names
// the process, its computer and (by the file's owner) its user. A lock left by a process that
// no longer runs on this computer is taken over.

enum class DataLockResult {
    Locked,         // this process holds the lock now
    InUse,          // another program holds it
    FolderReadOnly, // the folder cannot take the lock file: nobody can write the data there
    Failed,         // anything else (logged)
};

struct DataLockHolder {
    qint64 pid = 0;
    QString host;
    QString user;
};

QString gDataLockPath(const QString& dataFile);
DataLockResult gLockDataFile(const QString& dataFile, DataLockHolder* holder = nullptr);
// Gives the lock up (at the end of the session, or before another file is taken).
void gUnlockDataFile();
// Whether this process holds the lock of that data file.
bool gDataFileLockedByUs(const QString& dataFile);
// "The data is in use" with the holder's computer, user and process where known.
QString gDataInUseText(const QString& dataFile, const DataLockHolder& holder);

// Removes what an interrupted compaction or restore left beside the data file
// ("CompactDataBase<n>.mdb" with its journal, "<data file>.restoring"), and the partial copies
// in its backup folder (store/Migration.h): an automatic copy that never took its name
// ("<name>.auto-….checking" with SQLite's "-wal", "-shm", "-journal" beside it, "….part") and
// a copy before a migration cut off while written ("<name>.v1-….part"). Only called while the
// lock is held, so nothing of a running program is touched. "<data file>.before-restore" is the
// data a restore replaced and stays, as does every file of another name.
void gRemoveDataFileLeftovers(const QString& dataFile);

// Removes the files of a folder whose whole names match pattern and that no process is still
// writing (a copy being written by gCopyDataFile is locked). Nothing else is touched.
void gRemovePartialCopies(const QString& folder, const QRegularExpression& pattern);

// Whether the file and its folder can be written (SQLite writes its journal beside the file).
bool gDataFileWritable(const QString& dataFile);

// Writes a copy of a file that is owner-only from the moment it exists: to "<target>.part"
// (locked while it is written), flushed, then renamed to target (which must not exist). A failure
// (a full disk included) removes the partial copy and reports the system's own cause under
// procName.
bool gCopyDataFile(const QString& source, const QString& target, const QString& procName);

// --- the sound-file check --------------------------------------------------------------------

// "PRAGMA quick_check" of the file through a connection of its own: true when sound. Reads
// every page; a large file takes a while, so start-up runs it after the menu shows.
bool gQuickCheckDataFile(const QString& path);

// Runs gQuickCheckDataFile in the background; once it is done, on the main thread, a damaged file
// is reported (gReportDataFileDamaged) and a sound one that db still has open switched to the
// write-ahead log (DbEnableWriteAheadLog). gWaitDataFileCheck waits for a running check (the
// shutdown does, before it closes the file).
void gStartDataFileCheck(Database& db, const QString& path);
void gWaitDataFileCheck();

// The text shown when the data file is found damaged: what happened and what to do.
QString gDataFileDamagedText(const QString& dataFile);
// The text shown when the data file cannot be written.
QString gDataFileReadOnlyText(const QString& dataFile);

// Called (once per session) on the first sign that the open data file is damaged: a failed
// check, or a statement that met a damaged page. The program shows gDataFileDamagedText.
// tell false: the caller tells the user itself; the handler is not called for this file then.
void gSetDataFileDamageHandler(std::function<void()> handler);
void gReportDataFileDamaged(bool tell = true);

// The state of the data file opened by DbInit: accepted (opened as this program's data file;
// only an accepted file is ever compacted), opened read-only (the file or its folder cannot be
// written; windows then allow looking and reporting only), and found damaged this session.
bool gDataFileAccepted();
bool gDataFileReadOnly();
bool gDataFileDamaged();
// Set by DbInit for each file it opens or refuses; the damage of another file is forgotten.
void gResetDataFileState(const QString& path, bool accepted, bool readOnly);
// Forgets the damage (the file was replaced).
void gClearDataFileDamage();

// --- opening, closing and compacting the program's data file ---------------------------------

// The schema version this program reads and writes (PRAGMA user_version of the data file). A
// later version can migrate files of an earlier one; a file of a later version is refused.
constexpr int kDbSchemaVersion = 4;

// Opens the data file into db (the program's connection, gdbData()). The file is looked at before
// it is opened: a file that is not this program's data file (no SQLite header, zero bytes, cut
// short, foreign tables, a schema version not in 1..kDbSchemaVersion) is refused without being
// changed (logged "DbInit", the reason in DbInitRefusal()). A writable file of an older version
// passes the full check, is copied into the backup folder beside it and is migrated
// (store/Migration.h); a read-only one is refused. A file that cannot be written, or whose folder
// cannot, is opened read-only (gDataFileReadOnly()); the settings and the ranking table then live
// in memory for the session, so reports still run. A writable file is switched to the write-ahead
// log at once, or, with walNow false, only by DbEnableWriteAheadLog: start-up first checks the file
// in full in the background, and a file that fails the check must stay exactly as it was (the
// switch rewrites the file's header).
bool DbInit(Database& db, const QString& path, bool walNow = true);
// The same into gdbData(), for the command line and the tests.
bool DbInit(const QString& path, bool walNow = true);
// Server mode: connects db to the books on a PostgreSQL server (a libpq connection string). A
// database of an older schema version is migrated (one transaction); an empty one, another
// program's, or one of a newer version is refused unchanged, as is a failed connection: the
// reason in DbInitRefusal(), naming what to check. No lock file: the server keeps its own
// concurrency.
// password: one the user typed when the server asked for it ("" to rely on ~/.pgpass).
bool DbInitServer(Database& db, const QString& conninfo, const QString& password = {});
// Switches the open, writable data file to the write-ahead log (see DbInit).
bool DbEnableWriteAheadLog(Database& db);
// Why the last DbInit failed, in words for the user (what is wrong and what to do).
QString DbInitRefusal();
// Closes the data file opened by DbInit, back in the rollback journal (see docs/storage.md).
void DbClose(Database& db);
// The same for gdbData(), for the command line and the tests.
void DbClose();
// T_SYSTEM row whose datField holds the time of the data file's last compaction (row 0 is the
// last backup, row 1 the last restore).
inline constexpr int kCompactionTimeRow = SettingNo::LastCompactionTime;
// Whether a compaction is due: it gives back at least a quarter of the file (free pages against
// all pages) and the last one was at least seven days before now. A file never compacted (an
// invalid time), or whose recorded time lies after now (the clock was turned back), is due.
bool DbCompactionDue(qint64 freePages, qint64 pages, const QDateTime& lastCompaction,
                     const QDateTime& now);
// Closes the data file and, when it is this program's sound and writable data file (accepted by
// DbInit, not read-only, not found damaged) and a compaction is due (DbCompactionDue, at the
// clock service's time), compacts it. beforeCompacting runs just before a compaction starts,
// and only then. A refused or damaged file is never changed.
void DbCloseAndCompact(Database& db, const QString& path,
                       const std::function<void()>& beforeCompacting = {});
// Compacts the file at path: VACUUM INTO "CompactDataBase<n>.mdb" beside it (first free n,
// owner-only from the start), which records the time of the compaction (T_SYSTEM row
// kCompactionTimeRow, the clock service's time), then the copy replaces the file. Refused while
// gdbData() has the file open, while another program holds the file's lock or has it open
// (SQLite's own locks: the file is held exclusively from the check until it is replaced), and
// for a file that is not this program's data file. On any failure the file stays as it was and
// no temporary file is left.
bool DbCompactDataBase(const QString& path);

// Runs replace(connection) while this process alone has the data file at path: under its lock
// beside it (taken for the call when this process does not hold it) and with SQLite's exclusive
// lock on the file, held by a connection of its own, so that no other connection reads or
// writes it until it is replaced. False
// (logged under procName) when another program has the file open.
bool DbReplaceExclusively(const QString& path, const QString& procName,
                          const std::function<bool()>& replace);

// Records a time in datField of T_SYSTEM row `row` of db (0 last backup, 1 last restore, 2 last
// compaction), adding the row when the file never had it; one transaction.
bool gRecordSystemTime(Database& db, int row, const QDateTime& time,
                       const QString& procName = QStringLiteral("DbExecuteSQL"));

// Switches a file opened by db to the rollback journal (PRAGMA journal_mode=DELETE), so that it
// stands alone without a write-ahead log beside it. A failure is logged under procName.
bool gUseRollbackJournal(Database& db, const QString& procName);
