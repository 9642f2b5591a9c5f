#include "maintenance/Backup.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "base/SystemFiles.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/Migration.h"
#include "store/MsgCatalogue.h"
#include "store/ServerTransfer.h"
#include "util/FileHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <filesystem>
#include <system_error>

namespace {

FreeSpaceLookup& freeSpaceLookup() {
    static FreeSpaceLookup lookup;
    return lookup;
}

// --- files ---------------------------------------------------------------------------------

bool reportFs(const QString& proc, const std::error_code& ec, const QString& text) {
    gSetLastError(ec.value(), QStringLiteral("filesystem"),
                  QString::fromLocal8Bit(ec.message().c_str()));
    gProcError(proc, text);
    return false;
}

std::filesystem::path fsPath(const QString& path) {
    return gFsPath(path);
}

// Closes the data file and compacts it, as at shutdown. A failed compaction is logged and the
// file is used as it is.
void closeDataFile(Database& db) {
    svc().process().processEvents();
    DbCloseAndCompact(db, svc().paths().db);
    svc().process().processEvents();
}

// Whatever happened, the rest of the program needs the data file open.
class ReopenDataFile {
public:
    explicit ReopenDataFile(Database& db) : m_db(db) {}
    ~ReopenDataFile() {
        if (!m_db.isOpen())
            DbInit(m_db, svc().paths().db);
    }

private:
    Database& m_db;
};

// A network folder ("\\server\share", "//server/share") has no drive to check.
bool isNetworkPath(const QString& folder) {
    return folder.startsWith(QLatin1String("\\\\")) || folder.startsWith(QLatin1String("//"));
}

// "yyyy年MM月dd日 <weekday> HH時mm分.tvk" of the time the backup started.
bool backupFileName(const QDateTime& started, QString& name) {
    QString base;
    if (!gDateToFileName(started.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")), base))
        return false;
    name = base + QLatin1Char('.') + kBackupExtension;
    return true;
}

// Records the current time in T_SYSTEM row `row` of the data file (0 last backup, 1 last restore).
bool recordSystemTime(Database& db, int row) {
    return gRecordSystemTime(db, row, svc().clock().now());
}

// A backup file's copy cut off while it was written: "<backup name>.tvk.part", the name
// numbered as gGetUniqueFName numbers it.
QRegularExpression partialBackupPattern() {
    return QRegularExpression(
        QStringLiteral("^[0-9]{4}年[0-9]{2}月[0-9]{2}日 .曜日 [0-9]{2}時[0-9]{2}分(\\([0-9]+\\))?"
                       "\\.%1\\.part$")
            .arg(kBackupExtension));
}

// The backup's folder checked, what a backup into it that was cut off left removed, and the
// backup's name taken (logged under gProcDataBackup when it fails).
bool takeBackupName(const QString& folder, QString& name) {
    const QString proc = QStringLiteral("gProcDataBackup");
    if (!gChkFolderExist(folder)) {
        gProcError(proc, QStringLiteral("バックアップ先がありません：") + folder);
        return false;
    }
    gRemovePartialCopies(folder, partialBackupPattern());
    QString unique;
    if (!backupFileName(svc().clock().now(), name) || !gGetUniqueFName(folder, name, unique)) {
        gProcError(proc, folder);
        return false;
    }
    return true;
}

// Message 55 names the file, and can still be cancelled: nothing is written then. The name is
// taken again afterwards: a file of that name may have appeared while the message was shown,
// and an existing backup is never replaced.
bool confirmBackupTarget(const QString& folder, const QString& name, QString& target,
                         bool* cancelled) {
    QString unique;
    if (!gGetUniqueFName(folder, name, unique)) {
        gProcError(QStringLiteral("gProcDataBackup"), folder);
        return false;
    }
    if (gDispMsg(55, QDir::toNativeSeparators(gAddBackSlash(folder) + unique)) ==
        MsgResult::Cancel) {
        if (cancelled)
            *cancelled = true;
        return false;
    }
    svc().process().processEvents();
    if (!gGetUniqueFName(folder, name, unique)) {
        gProcError(QStringLiteral("gProcDataBackup"), folder);
        return false;
    }
    target = gAddBackSlash(folder) + unique;
    return true;
}

// The books on a server are written into the folder as a backup file of the same format (a
// data file of this version, one snapshot); the server records its time as its last backup. The
// program stays connected to the server throughout.
bool serverBackup(Database& db, const QString& folder, QString* written, QString* refusal,
                  bool* cancelled) {
    QString name;
    QString target;
    if (!takeBackupName(folder, name) || !confirmBackupTarget(folder, name, target, cancelled))
        return false;
    QString message;
    if (!gServerDump(db, target, message)) {
        if (refusal)
            *refusal = message;
        return false;
    }
    if (written)
        *written = target;
    return true;
}

} // namespace

QString gServerRestoreRefusal() {
    return QStringLiteral(
        "サーバーの帳簿には、この画面から復元できません。\r\n"
        "バックアップをサーバーに戻すには、ほかのパソコンの本ソフトをすべて終了し、"
        "tovaki-admin load で空のデータベースに読み込んでください。\r\n"
        "現在のデータは変更していません。");
}

void gSetFreeSpaceLookup(FreeSpaceLookup lookup) {
    freeSpaceLookup() = std::move(lookup);
}

bool gChkBackupSpace(const QString& folder) {
    if (isNetworkPath(folder))
        return true;
    const double needed = static_cast<double>(QFileInfo(svc().paths().db).size());
    double freeBytes = 0;
    const FreeSpaceLookup& lookup = freeSpaceLookup();
    const bool known = lookup ? lookup(folder, freeBytes) : gGetDriveFreeSpace(folder, freeBytes);
    return known && needed <= freeBytes;
}

bool gProcDataBackup(Database& db, const QString& folder, QString* written, QString* refusal,
                     bool* cancelled) {
    const QString proc = QStringLiteral("gProcDataBackup");
    if (refusal)
        refusal->clear();
    if (cancelled)
        *cancelled = false;
    if (db.isServer())
        return serverBackup(db, folder, written, refusal, cancelled);
    const auto refuseDamaged = [&]() {
        if (refusal)
            *refusal = QStringLiteral("データファイルが壊れているため、バックアップを作成しません"
                                      "（壊れたバックアップは復元に使えません）。\r\n") +
                       gDataFileDamagedText(svc().paths().db);
        return false;
    };
    // A copy of a damaged file would only be found out at restore: every page is checked
    // first, every time, before anything is closed or compacted.
    if (gDataFileDamaged())
        return refuseDamaged();
    if (!gQuickCheckDataFile(svc().paths().db)) {
        gReportDataFileDamaged(false);
        return refuseDamaged();
    }
    const ReopenDataFile reopen(db);
    // Checked before anything is closed: a missing folder leaves the data file as it was.
    QString name;
    if (!takeBackupName(folder, name))
        return false;
    // The copy carries its own time (row 0), which the restore shows; a backup that does not
    // come about puts the previous time back.
    QVariant previousTime;
    bool hadTime = false;
    {
        ResultSet rs(db);
        if (rs.openRecordSet(QStringLiteral("SELECT datField FROM T_SYSTEM WHERE lngID = ?"),
                             {SettingNo::LastBackupTime}) &&
            rs.recordCount() == 1) {
            previousTime = rs.value(0);
            hadTime = true;
        }
    }
    if (!recordSystemTime(db, SettingNo::LastBackupTime)) {
        gProcError(proc);
        return false;
    }
    struct KeepPreviousTime {
        Database& db;
        QVariant time;
        bool had;
        bool done = false;
        ~KeepPreviousTime() {
            if (done || gDataFileReadOnly())
                return;
            if (!db.isOpen())
                DbInit(db, svc().paths().db);
            if (had)
                db.executeSQL(QStringLiteral("UPDATE T_SYSTEM SET datField = ? WHERE lngID = ?"),
                              {time, SettingNo::LastBackupTime});
            else
                db.executeSQL(QStringLiteral("DELETE FROM T_SYSTEM WHERE lngID = ?"),
                              {SettingNo::LastBackupTime});
        }
    } keepPrevious{db, previousTime, hadTime};
    closeDataFile(db);
    QString target;
    if (!confirmBackupTarget(folder, name, target, cancelled))
        return false;
    if (!gCopyDataFile(svc().paths().db, target, proc))
        return false;
    gProcTune(100);
    if (!DbInit(db, svc().paths().db) || !recordSystemTime(db, SettingNo::LastBackupTime)) {
        gProcError(proc);
        return false;
    }
    keepPrevious.done = true;
    if (written)
        *written = target;
    return true;
}

QDateTime gBackupTimeOf(const QString& file) {
    Database db;
    if (db.open(file, QStringLiteral("gBackupTimeOf"), true)) {
        ResultSet rs(db);
        if (rs.openRecordSet(QStringLiteral("SELECT datField FROM T_SYSTEM WHERE lngID = ?"),
                             {SettingNo::LastBackupTime}) &&
            rs.recordCount() == 1 && rs.value(0).toDateTime().isValid())
            return rs.value(0).toDateTime();
    }
    return QFileInfo(file).lastModified();
}

bool gProcDataRestore(Database& db, const QString& file, QString* refusal) {
    const QString proc = QStringLiteral("gProcDataRestore");
    if (refusal)
        refusal->clear();
    if (db.isServer()) {
        if (refusal)
            *refusal = gServerRestoreRefusal();
        return false;
    }
    DataFileFindings found;
    const DataFileStatus status = gChkDataFile(file, &found);
    if (status != DataFileStatus::Ok) {
        if (refusal)
            *refusal = gDataFileStatusText(status, found) + QStringLiteral("\r\n") +
                       QStringLiteral("現在のデータは変更していません。");
        return false;
    }

    if (gDataFileReadOnly()) {
        if (refusal)
            *refusal = gDataFileReadOnlyText(svc().paths().db) + QStringLiteral("\r\n") +
                       QStringLiteral("現在のデータは変更していません。");
        return false;
    }

    const ReopenDataFile reopen(db);
    const QString incoming = svc().paths().db + QStringLiteral(".restoring");
    const QString before = svc().paths().db + kBeforeRestoreSuffix;

    // The backup is copied beside the data file first (owner-only from its first byte), so that
    // replacing it is one rename on the same volume and a failed copy leaves the data file as
    // it was.
    QFile::remove(incoming);
    if (!gCopyDataFile(file, incoming, proc))
        return false;
    // A backup of an older version is migrated on its copy, before anything is replaced.
    if (!DbMigrateFile(incoming, proc)) {
        QFile::remove(incoming);
        return false;
    }

    closeDataFile(db);

    // The file is replaced only while no other program has it open; the replaced file stays as
    // "db1.before-restore": a second name for the same file where the volume allows it, a copy
    // otherwise.
    const bool replaced = DbReplaceExclusively(svc().paths().db, proc, [&]() {
        std::error_code ec;
        std::filesystem::remove(fsPath(before), ec);
        ec.clear();
        std::filesystem::create_hard_link(fsPath(svc().paths().db), fsPath(before), ec);
        if (ec) {
            ec.clear();
            std::filesystem::copy_file(fsPath(svc().paths().db), fsPath(before), ec);
            QFile::setPermissions(before, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        if (ec)
            return reportFs(proc, ec, before);
        std::filesystem::rename(fsPath(incoming), fsPath(svc().paths().db), ec);
        if (ec)
            return reportFs(proc, ec, svc().paths().db);
        return true;
    });
    if (!replaced) {
        QFile::remove(incoming);
        return false;
    }
    gClearDataFileDamage();
    svc().process().processEvents();
    if (!DbInit(db, svc().paths().db)) {
        // The checked copy would not open after all: the previous data comes back.
        std::error_code ec;
        std::filesystem::rename(fsPath(before), fsPath(svc().paths().db), ec);
        gProcError(proc, svc().paths().db);
        return false;
    }
    svc().process().processEvents();
    if (!recordSystemTime(db, SettingNo::LastRestoreTime)) {
        gProcError(proc);
        return false;
    }
    return true;
}

// --- automatic backups ----------------------------------------------------------------------

namespace {

const QString kAutoInfix = QStringLiteral(".auto-");
const QString kCheckingSuffix = QStringLiteral(".checking");

QString autoPrefix(const QString& dataFile) {
    return QFileInfo(dataFile).fileName() + kAutoInfix;
}

} // namespace

QStringList gAutoBackupFiles(const QString& dataFile) {
    const QDir folder(gDataBackupFolder(dataFile));
    QStringList files;
    const QStringList names = folder.entryList({autoPrefix(dataFile) + QLatin1Char('*')},
                                               QDir::Files, QDir::Name | QDir::Reversed);
    for (const QString& name : names) {
        if (!name.endsWith(kCheckingSuffix) && !name.endsWith(QLatin1String(".part")))
            files << folder.filePath(name);
    }
    return files;
}

bool gWriteAutoBackup(const QString& dataFile, int keep, QString* written) {
    const QString proc = QStringLiteral("gWriteAutoBackup");
    if (written)
        written->clear();
    if (keep <= 0)
        return true;
    const QString folderPath = gDataBackupFolder(dataFile);
    if (!QDir().mkpath(folderPath)) {
        gSetLastError(0, QStringLiteral("QDir"), QStringLiteral("cannot create ") + folderPath);
        gProcError(proc, folderPath);
        return false;
    }
    QFile::setPermissions(folderPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QDir folder(folderPath);
    // Left by a run that was cut off: never a finished copy.
    gRemovePartialCopies(
        folderPath, QRegularExpression(
                        QStringLiteral("^%1.+(\\.checking(\\.part|-wal|-shm|-journal)?|\\.part)$")
                            .arg(QRegularExpression::escape(autoPrefix(dataFile)))));
    const QDateTime now = svc().clock().now();
    const QString base =
        folder.filePath(autoPrefix(dataFile) + now.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QStringLiteral("_%1").arg(n);
    const QString checking = target + kCheckingSuffix;
    if (!gCopyDataFile(dataFile, checking, proc))
        return false;
    const auto removeChecking = [&checking]() {
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"),
                                      QStringLiteral("-journal")})
            QFile::remove(checking + suffix);
    };
    // The copy carries its own time (row 0, shown when it is restored) and the rollback
    // journal: a file that another connection kept in the write-ahead log would otherwise
    // leave the log's files beside the copy whenever the copy is read.
    {
        Database copy;
        if (!copy.open(checking, proc) || !gUseRollbackJournal(copy, proc) ||
            !gRecordSystemTime(copy, SettingNo::LastBackupTime, now, proc)) {
            copy.close();
            removeChecking();
            gProcError(proc, checking);
            return false;
        }
    }
    if (!gQuickCheckDataFile(checking) || gChkDataFileShape(checking) != DataFileStatus::Ok) {
        removeChecking();
        gSetLastError(0, QStringLiteral("PRAGMA quick_check"),
                      QStringLiteral("the copy failed its check"));
        gProcError(proc, checking);
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(fsPath(checking), fsPath(target), ec);
    if (ec) {
        QFile::remove(checking);
        return reportFs(proc, ec, target);
    }
    if (written)
        *written = target;
    const QStringList copies = gAutoBackupFiles(dataFile);
    for (qsizetype i = keep; i < copies.size(); ++i) {
        if (!QFile::remove(copies[i])) {
            gSetLastError(0, QStringLiteral("QFile"), QStringLiteral("cannot remove"));
            gProcError(proc, copies[i]);
            return false;
        }
    }
    return true;
}

bool gReadBackupSummary(const QString& file, BackupSummary& summary) {
    const QFileInfo info(file);
    if (!info.isFile() || gChkDataFileShape(file) != DataFileStatus::Ok)
        return false;
    Database db;
    if (!db.open(file, QStringLiteral("gReadBackupSummary"), true))
        return false;
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT (SELECT count(*) FROM T_MASTER), "
                                         "(SELECT count(*) FROM T_DATA1) + "
                                         "(SELECT count(*) FROM T_DATA2)"),
                          {}, QStringLiteral("gReadBackupSummary")) ||
        !rs.moveFirst())
        return false;
    summary.suppliers = rs.value(0).toLongLong();
    summary.lines = rs.value(1).toLongLong();
    summary.bytes = info.size();
    const QString name = info.fileName();
    const qsizetype at = name.lastIndexOf(kAutoInfix);
    summary.time = at < 0 ? QDateTime()
                          : QDateTime::fromString(name.mid(at + kAutoInfix.size(), 15),
                                                  QStringLiteral("yyyyMMdd-HHmmss"));
    if (!summary.time.isValid())
        summary.time = gBackupTimeOf(file);
    return true;
}
