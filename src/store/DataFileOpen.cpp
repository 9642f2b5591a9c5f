// Opening, checking, migrating, compacting and replacing the program's SQLite data file. The
// connection itself (Database, statements, transactions, result sets) is in Database.cpp; this
// file decides when and how the data file is opened through it.
#include "store/DataFile.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "base/SystemFiles.h"
#include "store/Database.h"
#include "store/EngineSql.h"
#include "store/FileCopy.h"
#include "store/Migration.h"
#include "store/Schema.h"
#include "store/ServerSchema.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <sqlite3.h>
#include <system_error>

Database& gdbData() {
    static Database db;
    // A damaged page met by the program's connection is told to the user (once per file).
    static const bool told = [] {
        db.setDamageNotice([] { gReportDataFileDamaged(); });
        return true;
    }();
    (void)told;
    return db;
}

namespace {

QString sqliteError(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("no database");
}

QString rightTrimmed(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1).isSpace())
        --n;
    return s.left(n);
}

QString& initRefusal() {
    static QString text;
    return text;
}

// An older file whose contents do not agree with its version: it cannot be migrated. `parts`
// names what the version should not hold yet, when known.
QString versionMismatchText(int version, const QString& parts) {
    QString text = QStringLiteral("データファイルの内容が、記録されているバージョン（%1）の形式と"
                                  "一致しないため、新しい形式に変換できません。")
                       .arg(version);
    if (!parts.isEmpty())
        text += QStringLiteral("\r\nバージョン%1にはないもの：").arg(version) + parts;
    return text + QStringLiteral("\r\nファイルは変更していません。バックアップから復元するか、"
                                 "正しいデータファイルを置いてください。");
}

// What the user reads when the data file cannot be used, by what was found.
QString refusalText(DataFileStatus status, const QString& path,
                    const DataFileFindings& findings = {}) {
    const QString file = QStringLiteral("\r\n") + QDir::toNativeSeparators(path);
    switch (status) {
    case DataFileStatus::Ok:
        break;
    case DataFileStatus::Unreadable:
        return QStringLiteral("データファイルが見つからないか、読み込めません。") + file;
    case DataFileStatus::NotDatabase:
    case DataFileStatus::NotDataFile:
        return QStringLiteral("このファイルは本ソフトのデータファイルではありません。\r\n"
                              "ファイルは変更していません。正しいデータファイルを置くか、"
                              "バックアップから復元してください。") +
               file;
    case DataFileStatus::Damaged:
        return QStringLiteral("データファイルが壊れているため、開けません。\r\n"
                              "ファイルは変更していません。バックアップから復元してください。") +
               file;
    case DataFileStatus::NewerVersion:
        return QStringLiteral("データファイルは新しいバージョンの本ソフトで作られたため、"
                              "このバージョンでは開けません。\r\n"
                              "ファイルは変更していません。新しいバージョンをお使いください。") +
               file;
    case DataFileStatus::Incomplete:
        return QStringLiteral("データファイルに必要な部分が欠けているため、開けません。\r\n"
                              "足りないもの：") +
               gSchemaPartsText(findings.parts) +
               QStringLiteral(
                   "\r\nファイルは変更していません。バックアップから復元してください。") +
               file;
    case DataFileStatus::VersionMismatch:
        return versionMismatchText(findings.version, gSchemaPartsText(findings.parts)) + file;
    }
    return {};
}

// What an engine failure while opening means for the user.
QString openFailureText(int rc, const QString& path) {
    const QString file = QStringLiteral("\r\n") + QDir::toNativeSeparators(path);
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("データファイルは他のプログラムが使用中のため、開けません。\r\n"
                              "他のプログラムを終了してから、もう一度起動してください。") +
               file;
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return QStringLiteral("データファイルを開けません（ディスクの読み書きに失敗しました）。\r\n"
                              "ディスクの空き容量と、ファイル・フォルダーの権限を確認してください。"
                              "空きを作ってから、もう一度起動してください。") +
               file;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return refusalText(DataFileStatus::Damaged, path);
    default:
        return QStringLiteral("データファイルを開けません。") + file;
    }
}

bool refuse(const QString& path, const QString& text, int rc, const QString& why) {
    initRefusal() = text;
    gSetLastError(rc, QStringLiteral("SQLite"), why);
    gProcError(QStringLiteral("DbInit"), path);
    return false;
}

// A read-only file keeps the settings and the ranking table in memory for the session: the
// names resolve to these copies first, and nothing reaches the file.
bool shadowWritableTables(Database& db) {
    return db.executeSQL(
               QStringLiteral("CREATE TEMP TABLE T_SYSTEM AS SELECT * FROM main.T_SYSTEM"), {},
               QStringLiteral("DbInit")) &&
           db.executeSQL(QStringLiteral("CREATE TEMP TABLE T_MP_RANKING AS SELECT * FROM "
                                        "main.T_MP_RANKING WHERE 0"),
                         {}, QStringLiteral("DbInit"));
}

// An older file is brought to the program's version before anything else touches it: checked
// in full first (a damaged file is never rewritten), copied into the backup folder, then
// migrated in one transaction. A file that cannot be written cannot be migrated and is refused.
bool migrateDataFile(Database& db, const QString& path, int version, bool readOnly) {
    const QString file = QStringLiteral("\r\n") + QDir::toNativeSeparators(path);
    const auto fail = [&](const QString& text) {
        db.close();
        initRefusal() = text + file;
        return false;
    };
    if (readOnly)
        return fail(QStringLiteral("データファイルは以前のバージョンの形式で、書き込みできないため"
                                   "新しい形式に変換できません。\r\n"
                                   "ファイルは変更していません。書き込みできる場所に置いてから、"
                                   "もう一度起動してください。"));
    if (!gQuickCheckDataFile(path))
        return fail(refusalText(DataFileStatus::Damaged, path));
    const QString copy = gCopyBeforeMigration(path, version, QStringLiteral("DbInit"));
    if (copy.isEmpty())
        return fail(QStringLiteral("データファイルを新しい形式に変換できませんでした。\r\n"
                                   "ファイルは変更していません。ディスクの空き容量と、"
                                   "フォルダーの権限を確認してください。"));
    bool contents = false;
    if (!DbMigrate(db, QStringLiteral("DbInit"), &contents)) {
        // The migration changed nothing: its copy would only pile up with every attempt.
        QFile::remove(copy);
        if (contents)
            return fail(versionMismatchText(version, {}));
        return fail(QStringLiteral("データファイルを新しい形式に変換できませんでした。\r\n"
                                   "ファイルは変更していません。ディスクの空き容量と、"
                                   "フォルダーの権限を確認してください。"));
    }
    return true;
}

} // namespace

bool DbInit(Database& db, const QString& path, bool walNow) {
    initRefusal().clear();
    gResetDataFileState(path, false, false);
    db.close();
    // A file on another computer is locked by that computer's file sharing, which does not keep
    // two programs from writing it at once as a local disk does.
    if (gOnNetworkDrive(path))
        return refuse(
            path,
            QStringLiteral("データファイルがネットワーク上の場所にあるため使えません。\r\n"
                           "ネットワーク越しのファイルは、複数のパソコンから同時に書き込"
                           "まれるのを確実に防げず、帳簿が壊れるおそれがあります。\r\n"
                           "データファイルはこのパソコンのドライブに置いてください。"
                           "複数のパソコンで同じ帳簿を使うには、サーバーモード"
                           "（データベースサーバー）を使ってください。\r\n") +
                QDir::toNativeSeparators(path),
            SQLITE_CANTOPEN, QStringLiteral("data file on a network drive"));
    DataFileFindings found;
    const DataFileStatus shape = gChkDataFileShape(path, &found);
    if (shape == DataFileStatus::Unreadable && !QFileInfo(path).isFile())
        return refuse(path, refusalText(shape, path), SQLITE_CANTOPEN,
                      QStringLiteral("file not found"));
    if (shape != DataFileStatus::Ok && shape != DataFileStatus::Unreadable)
        return refuse(path, refusalText(shape, path, found), SQLITE_MISMATCH,
                      QStringLiteral("not a data file of this program (%1) %2")
                          .arg(int(shape))
                          .arg(found.parts.join(QLatin1Char(','))));

    const bool readOnly = !gDataFileWritable(path);
    if (!db.open(path, QStringLiteral("DbInit"), readOnly)) {
        initRefusal() = openFailureText(db.lastErrorCode(), path);
        return false;
    }
    if (shape == DataFileStatus::Unreadable) {
        // The shape could not be read through a connection of its own (a log left by a crash
        // that a read-only look cannot recover): the program's connection has recovered it now.
        const DataFileStatus again = gChkDataFileShape(path, &found);
        if (again != DataFileStatus::Ok) {
            db.close();
            return refuse(path, refusalText(again, path, found), SQLITE_MISMATCH,
                          QStringLiteral("not a data file of this program (%1)").arg(int(again)));
        }
    }
    const int version = db.schemaVersion();
    if (version < 1 || version > kDbSchemaVersion) {
        db.close();
        return refuse(path,
                      refusalText(version > kDbSchemaVersion ? DataFileStatus::NewerVersion
                                                             : DataFileStatus::NotDataFile,
                                  path),
                      SQLITE_MISMATCH,
                      QStringLiteral("unsupported schema version %1").arg(version));
    }
    if (version < kDbSchemaVersion && !migrateDataFile(db, path, version, readOnly))
        return false;
    if (readOnly) {
        if (!shadowWritableTables(db)) {
            initRefusal() = openFailureText(db.lastErrorCode(), path);
            db.close();
            return false;
        }
        gResetDataFileState(path, true, true);
        return true;
    }
    EngineSql::setSynchronousFull(db.handle());
    gResetDataFileState(path, true, false);
    if (walNow)
        DbEnableWriteAheadLog(db);
    return true;
}

bool DbInit(const QString& path, bool walNow) {
    return DbInit(gdbData(), path, walNow);
}

bool DbInitServer(Database& db, const QString& conninfo, const QString& password) {
    initRefusal().clear();
    gResetDataFileState(QString(), false, false);
    db.close();
    const auto refuseServer = [&db](const QString& text, const QString& why) {
        db.close();
        initRefusal() = text;
        gSetLastError(SQLITE_CANTOPEN, QStringLiteral("PostgreSQL"), why);
        gProcError(QStringLiteral("DbInit"), QStringLiteral("server"));
        return false;
    };
    if (!db.openServer(conninfo, QStringLiteral("DbInit"), password)) {
        initRefusal() = gServerConnectFailureText(db.serverFailure());
        return false;
    }
    int version = 0;
    const ServerSchemaState state = gServerSchemaState(db, &version);
    if (state == ServerSchemaState::Older) {
        if (!gServerMigrate(db, QStringLiteral("DbInit")))
            return refuseServer(
                QStringLiteral("サーバーのデータベースを新しい形式に変換できませんでした。\r\n"
                               "データベースは変更していません。"),
                QStringLiteral("migration failed"));
    } else if (state != ServerSchemaState::Current) {
        return refuseServer(
            gServerSchemaStateText(state, version),
            QStringLiteral("server schema state %1 version %2").arg(int(state)).arg(version));
    }
    gResetDataFileState(QString(), true, false);
    return true;
}

bool DbEnableWriteAheadLog(Database& db) {
    if (!db.isOpen() || db.isServer() || gDataFileReadOnly() || gDataFileDamaged())
        return false;
    // Each confirmed cell is one commit. A write-ahead log with full synchronisation keeps every
    // commit durable across a power loss at a fraction of the rollback journal's cost (one
    // flush instead of three). Where the log cannot be used the rollback journal stays. In
    // this mode every other connection to the file is visible to SQLite's locks, which the
    // compaction relies on.
    return EngineSql::setJournalMode(db.handle(), EngineSql::JournalMode::Wal) == SQLITE_OK;
}

QString DbInitRefusal() {
    return initRefusal();
}

void DbClose(Database& db) {
    // Back to a plain rollback journal: the write-ahead log is folded into the file and removed,
    // so the closed file can be copied, compacted or replaced on its own. (Another connection
    // to the file keeps the log: SQLite refuses the switch then.)
    if (db.isOpen() && !db.isServer() && !gDataFileReadOnly())
        EngineSql::setJournalMode(db.handle(), EngineSql::JournalMode::Delete);
    db.close();
}

void DbClose() {
    DbClose(gdbData());
}

namespace {

// Compaction rewrites every page (about ten times a plain copy of the file; about 5 to 8
// seconds at a million lines), so it runs only where it gives back a real share of the file,
// and at most once a week.
bool compactionDue(Database& db) {
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT freelist_count AS lngFree, page_count AS "
                                         "lngPages FROM pragma_freelist_count, "
                                         "pragma_page_count")) ||
        rs.recordCount() != 1)
        return true; // no figures: compact as before
    const qint64 freePages = rs.lng(0);
    const qint64 pages = rs.lng(1);
    QDateTime last;
    ResultSet time(db);
    if (time.openRecordSet(QStringLiteral("SELECT datField FROM T_SYSTEM WHERE lngID = ?"),
                           {kCompactionTimeRow}) &&
        time.recordCount() == 1)
        last = time.value(0).toDateTime();
    return DbCompactionDue(freePages, pages, last, svc().clock().now());
}

// Records the time of a compaction in the compacted copy (closed, not yet in place).
bool recordCompactionTime(const QString& copy, const QString& procName) {
    Database db;
    return db.open(copy, procName) &&
           gRecordSystemTime(db, kCompactionTimeRow, svc().clock().now(), procName);
}

} // namespace

bool DbCompactionDue(qint64 freePages, qint64 pages, const QDateTime& lastCompaction,
                     const QDateTime& now) {
    if (freePages * 4 < pages)
        return false;
    if (!lastCompaction.isValid() || lastCompaction > now)
        return true;
    return lastCompaction.addDays(7) <= now;
}

void DbCloseAndCompact(Database& db, const QString& path,
                       const std::function<void()>& beforeCompacting) {
    gWaitDataFileCheck();
    bool compact = gDataFileAccepted() && !gDataFileReadOnly() && !gDataFileDamaged();
    if (compact) {
        if (db.isOpen()) {
            compact = compactionDue(db);
        } else if (QFileInfo(path).isFile()) {
            // The figures of a file closed before: read-only, and only when it is there (a
            // missing file is the compaction's failure to report).
            Database closed;
            if (closed.open(path, QStringLiteral("DbCloseAndCompact"), true))
                compact = compactionDue(closed);
        }
    }
    DbClose(db);
    if (!compact)
        return;
    if (beforeCompacting)
        beforeCompacting();
    DbCompactDataBase(path);
}

namespace {

// DbReplaceExclusively, handing the connection that holds the exclusive lock to prepare (the
// work that reads the file), then swapping the files with swap. A system that cannot replace an
// open file (Windows) gives up the engine's lock just before the swap; the lock beside the file
// still keeps every other program of ours out.
bool replaceExclusively(const QString& path, const QString& procName,
                        const std::function<bool(sqlite3*)>& prepare,
                        const std::function<bool()>& swap) {
    // The lock beside the file first: held by this process for its session, or taken for
    // this call.
    const bool heldBefore = gDataFileLockedByUs(path);
    if (!heldBefore) {
        DataLockHolder holder;
        if (gLockDataFile(path, &holder) != DataLockResult::Locked) {
            gSetLastError(SQLITE_BUSY, QStringLiteral("SQLite"),
                          QStringLiteral("the data file is in use (lock %1, process %2)")
                              .arg(gDataLockPath(path))
                              .arg(holder.pid));
            gProcError(procName, path);
            return false;
        }
    }
    struct ReleaseLock {
        bool release;
        ~ReleaseLock() {
            if (release)
                gUnlockDataFile();
        }
    } releaseLock{!heldBefore};

    // Then SQLite's own lock, which also sees a program that ignored the lock file: another
    // connection in write-ahead-log mode makes the switch to a rollback journal fail, and an
    // active reader or writer makes the exclusive lock fail. The lock is kept (exclusive
    // locking mode) until the file has been replaced.
    sqlite3* db = nullptr;
    const QByteArray p = gNativeFileBytes(path);
    int rc = sqlite3_open_v2(p.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    QStringList mode;
    if (rc == SQLITE_OK)
        rc = EngineSql::setLockingExclusive(db);
    if (rc == SQLITE_OK) {
        QString mode;
        rc = EngineSql::setJournalMode(db, EngineSql::JournalMode::Delete, &mode);
        if (rc == SQLITE_OK && mode != QLatin1String("delete"))
            rc = SQLITE_BUSY;
    }
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "BEGIN EXCLUSIVE; COMMIT", nullptr, nullptr, nullptr);
    // A damaged file cannot be locked through its pages, but it can still be replaced (by a
    // restore) under the lock beside it.
    if ((rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB)
        rc = SQLITE_OK;
    if (rc != SQLITE_OK) {
        gSetLastError(rc, QStringLiteral("SQLite"),
                      (rc & 0xff) == SQLITE_BUSY
                          ? QStringLiteral("another connection has the data file open")
                          : sqliteError(db));
        sqlite3_close_v2(db);
        gProcError(procName, path);
        return false;
    }
    bool ok = prepare(db);
    if (!gCanReplaceOpenFile()) {
        sqlite3_close_v2(db);
        db = nullptr;
    }
    ok = ok && swap();
    if (db)
        sqlite3_close_v2(db);
    return ok;
}

} // namespace

bool DbReplaceExclusively(const QString& path, const QString& procName,
                          const std::function<bool()>& replace) {
    return replaceExclusively(
        path, procName, [](sqlite3*) { return true; }, replace);
}

bool DbCompactDataBase(const QString& pathIn) {
    const QString path = rightTrimmed(pathIn);
    const QString proc = QStringLiteral("DbCompactDataBase");
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        gProcError(proc, path);
        return false;
    }
    const QFileInfo fi(path);
    if (gdbData().isOpen() &&
        QFileInfo(gdbData().path()).canonicalFilePath() == fi.canonicalFilePath()) {
        gSetLastError(SQLITE_BUSY, QStringLiteral("SQLite"), QStringLiteral("the file is open"));
        gProcError(proc, path);
        return false;
    }
    // Only this program's own data file is ever rewritten.
    const DataFileStatus shape = gChkDataFileShape(path);
    if (shape != DataFileStatus::Ok) {
        gSetLastError(SQLITE_MISMATCH, QStringLiteral("SQLite"),
                      QStringLiteral("not a data file of this program (%1)").arg(int(shape)));
        gProcError(proc, path);
        return false;
    }
    const QString folder = gAddBackSlash(fi.absolutePath());
    QString temp;
    const auto compact = [&](sqlite3* db) {
        for (int n = 1;; ++n) {
            temp = folder + QStringLiteral("CompactDataBase%1.mdb").arg(n);
            if (!QFileInfo::exists(temp))
                break;
        }
        // The copy is owner-only from its first byte: VACUUM INTO fills an empty file, and
        // SQLite gives its journal the same permissions.
        QFile made(temp);
        if (!made.open(QIODevice::NewOnly | QIODevice::WriteOnly,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            gSetLastError(int(made.error()), QStringLiteral("file"), made.errorString());
            gProcError(proc, temp);
            return false;
        }
        made.close();
        const int rc = EngineSql::vacuumInto(db, temp);
        if (rc != SQLITE_OK) {
            gSetLastError(rc, QStringLiteral("SQLite"), sqliteError(db));
            QFile::remove(temp);
            QFile::remove(temp + QStringLiteral("-journal"));
            gProcError(proc, path);
            return false;
        }
        if (!recordCompactionTime(temp, proc)) {
            QFile::remove(temp);
            QFile::remove(temp + QStringLiteral("-journal"));
            return false;
        }
        return true;
    };
    const auto swap = [&] {
        std::error_code ec;
        std::filesystem::rename(gFsPath(temp), gFsPath(path), ec);
        if (ec) {
            gSetLastError(ec.value(), QStringLiteral("filesystem"),
                          QString::fromLocal8Bit(ec.message().c_str()));
            QFile::remove(temp);
            gProcError(proc, path);
            return false;
        }
        return true;
    };
    return replaceExclusively(path, proc, compact, swap);
}

bool gRecordSystemTime(Database& db, int row, const QDateTime& time, const QString& procName) {
    Transaction tr(db);
    if (!tr.ok())
        return false;
    if (!db.executeSQL(QStringLiteral("UPDATE T_SYSTEM SET datField = ? WHERE lngID = ?"),
                       {time, row}, procName))
        return false;
    // A file that never had the row gets it now, or the time would silently not be kept.
    if (db.changes() == 0 &&
        !db.executeSQL(QStringLiteral("INSERT INTO T_SYSTEM (lngID, datField) VALUES (?, ?)"),
                       {row, time}, procName))
        return false;
    return tr.commit();
}

bool gUseRollbackJournal(Database& db, const QString& procName) {
    const int rc = db.isOpen()
                       ? EngineSql::setJournalMode(db.handle(), EngineSql::JournalMode::Delete)
                       : SQLITE_MISUSE;
    if (rc == SQLITE_OK)
        return true;
    gSetLastError(rc, QStringLiteral("SQLite"), sqliteError(db.handle()));
    gProcError(procName, db.path());
    return false;
}
