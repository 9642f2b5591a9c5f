#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QRegularExpression;

// The data file as a whole: what a candidate file is, who may use it, whether it can be written,
// and whether it is sound. Database.h opens and closes it; this file decides whether it may be.

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
// is reported (gReportDataFileDamaged) and a sound one switched to the write-ahead log
// (DbEnableWriteAheadLog). gWaitDataFileCheck waits for a running check (the
// shutdown does, before it closes the file).
void gStartDataFileCheck(const QString& path);
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
