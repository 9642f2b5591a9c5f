#pragma once

#include "store/DataFile.h"
#include "store/SettingsRegistry.h"

class Database;

#include <QDateTime>
#include <QString>
#include <functional>

// Backup and restore of the data file (svc().paths().db).
//
// A backup is a copy of the closed and compacted data file, named after the time the backup
// started ("2024年01月02日 火曜日 10時15分.tvk"), written under a temporary name and renamed
// when complete; an existing file is never overwritten. A restore replaces the data file by a
// checked copy of a backup file in one rename and keeps the replaced file beside it as
// "db1.before-restore". Both record their time in T_SYSTEM (row 0: last backup, row 1: last
// restore) and leave the data file open in every case.

inline const QString kBackupExtension = QStringLiteral("tvk");
inline const QString kBeforeRestoreSuffix = QStringLiteral(".before-restore");

// The free bytes of the volume holding a folder. Replaceable for tests; an empty function
// restores the system's own lookup.
using FreeSpaceLookup = std::function<bool(const QString& folder, double& bytes)>;
void gSetFreeSpaceLookup(FreeSpaceLookup lookup);

// Whether the folder can take a copy of the data file: true when its volume has at least the
// data file's size free (equal is enough), and always for a network folder ("\\server\share",
// "//server/share"), which has no drive to check. A failed lookup counts as not enough (the
// user is asked to choose another folder).
bool gChkBackupSpace(const QString& folder);

// db is the program's connection to the data file (svc().paths().db): backup and restore close
// it, copy or replace the file, and open it again through DbInit.

// Writes a backup file into the folder; the path written is returned in `written`. Shows
// message 55 with the file's full path before copying; it can be cancelled: false with
// *cancelled set, nothing written. The copy carries the time it was made (T_SYSTEM row 0). A
// damaged data file (known, or found by the check of every page that runs before every copy) is
// refused: false, with the reason in `refusal`, nothing written. Other failures are logged under
// "gProcDataBackup" (with the system's cause, a full disk included) and leave no partial copy;
// the previous backup time is kept then.
// On a server the books are written as one snapshot into the backup file (gServerDump), and the
// server records the time; a failure's reason is in `refusal`.
bool gProcDataBackup(Database& db, const QString& folder, QString* written = nullptr,
                     QString* refusal = nullptr, bool* cancelled = nullptr);
// The time a backup file was made: its T_SYSTEM row 0, else the file's modification time.
QDateTime gBackupTimeOf(const QString& file);

// Replaces the data file by the backup file, while no other program has it open. A file that is
// not a sound data file of this program, or a data file opened read-only, is refused before
// anything changes: false, with the reason in `refusal` and nothing
// logged. Other failures are logged under "gProcDataRestore" and leave `refusal` empty; the data
// file is then the previous one whenever it could be kept. Either way the data file is open
// afterwards unless it could not be opened at all (db.isOpen() tells).
bool gProcDataRestore(Database& db, const QString& file, QString* refusal = nullptr);
// Books on a server are not replaced from the window (other programs work on them): the
// restore refuses with this text, which names tovaki-admin load.
QString gServerRestoreRefusal();

// --- automatic backups ----------------------------------------------------------------------
//
// At shutdown the program copies the closed data file into gDataBackupFolder (store/Migration.h)
// as "<name>.auto-yyyyMMdd-HHmmss" and keeps the newest N (setting 51; 0 writes none). A copy is
// written under a temporary name, checked page by page (PRAGMA quick_check) and only then takes
// its name, so a copy that is listed was sound when it was written.

inline constexpr int kAutoBackupSetting = SettingNo::AutoBackups;
inline constexpr int kAutoBackupDefault = settingDef(kAutoBackupSetting).defaultValue;
inline constexpr int kAutoBackupMax = settingDef(kAutoBackupSetting).maximum;

// The automatic backups of the data file, newest first (full paths).
QStringList gAutoBackupFiles(const QString& dataFile);

// Writes one automatic backup of the closed data file and removes the oldest beyond keep (keep
// 0: nothing is written or removed). What an interrupted run left is removed first. On failure
// (folder not writable, disk full, the copy fails its check) nothing of the new copy is left,
// the older copies and the data file stay as they are; logged under "gWriteAutoBackup".
bool gWriteAutoBackup(const QString& dataFile, int keep, QString* written = nullptr);

// What the restore window lists of a backup file.
struct BackupSummary {
    QDateTime time; // the time in the name of an automatic copy, else gBackupTimeOf
    qint64 bytes = 0;
    qint64 suppliers = 0;
    qint64 lines = 0; // purchase and sales lines together
};
// False (not logged) when the file cannot be read as a data file.
bool gReadBackupSummary(const QString& file, BackupSummary& summary);
