#include "store/DataFile.h"

#include "base/ErrorLog.h"
#include "base/SystemFiles.h"
#include "store/Database.h"
#include "store/EngineSql.h"
#include "store/FileCopy.h"
#include "store/Migration.h"
#include "store/Schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QThread>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sqlite3.h>
#include <system_error>

namespace {

struct OpenState {
    bool accepted = false;
    bool readOnly = false;
    // Damage belongs to a file: it stays known while that file is closed and opened again
    // (backup), and is forgotten when another file is opened or the file is replaced (restore).
    bool damaged = false;
    bool damageReported = false;
    QString damagedPath;
};

OpenState& openState() {
    static OpenState s;
    return s;
}

std::function<void()>& damageHandler() {
    static std::function<void()> handler;
    return handler;
}

std::unique_ptr<QLockFile>& heldLock() {
    static std::unique_ptr<QLockFile> lock;
    return lock;
}

QString& heldLockData() {
    static QString path;
    return path;
}

QString canonicalOrAbsolute(const QString& path) {
    const QFileInfo fi(path);
    const QString c = fi.canonicalFilePath();
    return c.isEmpty() ? fi.absoluteFilePath() : c;
}

// --- the file's shape ------------------------------------------------------------------------

quint32 bigEndian32(const QByteArray& b, int at) {
    return (quint32(quint8(b.at(at))) << 24) | (quint32(quint8(b.at(at + 1))) << 16) |
           (quint32(quint8(b.at(at + 2))) << 8) | quint32(quint8(b.at(at + 3)));
}

// Reads the file's header: is it an SQLite file, and is it as long as the header says? A copy
// cut short keeps a sound header, so its length is compared with the page count it declares.
DataFileStatus checkHeader(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return DataFileStatus::Unreadable;
    const qint64 size = f.size();
    const QByteArray head = f.read(100);
    static const QByteArray magic("SQLite format 3\0", 16);
    if (!head.startsWith(magic))
        return DataFileStatus::NotDatabase;
    if (head.size() < 100)
        return DataFileStatus::Damaged;
    qint64 pageSize = (quint8(head.at(16)) << 8) | quint8(head.at(17));
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0 || size % pageSize != 0)
        return DataFileStatus::Damaged;
    // The declared page count is valid only while the change counter matches the
    // version-valid-for number (an older library may have written the file). A file in
    // write-ahead-log mode may be longer in its log than in the file itself.
    const quint32 pages = bigEndian32(head, 28);
    const bool walMode = quint8(head.at(18)) == 2;
    if (!walMode && pages != 0 && bigEndian32(head, 24) == bigEndian32(head, 92) &&
        size < qint64(pages) * pageSize)
        return DataFileStatus::Damaged;
    return DataFileStatus::Ok;
}

DataFileStatus damagedOr(int rc, DataFileStatus otherwise) {
    const int primary = rc & 0xff;
    if (primary == SQLITE_NOTADB)
        return DataFileStatus::NotDatabase;
    if (primary == SQLITE_CORRUPT)
        return DataFileStatus::Damaged;
    return otherwise;
}

// Opens the file read-only: the check never changes it.
sqlite3* openForCheck(const QString& path) {
    sqlite3* db = nullptr;
    const QByteArray p = gNativeFileBytes(path);
    if (sqlite3_open_v2(p.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 2000);
    return db;
}

DataFileStatus checkContents(const QString& path, bool integrity, DataFileFindings& found) {
    sqlite3* db = openForCheck(path);
    if (!db)
        return DataFileStatus::Unreadable;
    const auto finish = [&db](DataFileStatus s) {
        sqlite3_close_v2(db);
        return s;
    };
    int rc = SQLITE_OK;
    QStringList rows;
    if (integrity) {
        if ((rc = EngineSql::integrityCheck(db, false, rows)) != SQLITE_OK)
            return finish(damagedOr(rc, DataFileStatus::Damaged));
        if (rows.value(0) != QLatin1String("ok"))
            return finish(DataFileStatus::Damaged);
    }

    SchemaShape actual;
    if (!gReadSchema(db, actual, &rc))
        return finish(damagedOr(rc, DataFileStatus::Unreadable));
    // Without its supplier and settings tables a file is not ours at all, whatever its version.
    if (!actual.tables.contains(QStringLiteral("T_MASTER")) ||
        !actual.tables.contains(QStringLiteral("T_SYSTEM")))
        return finish(DataFileStatus::NotDataFile);

    int v = 0;
    if ((rc = EngineSql::readUserVersion(db, v)) != SQLITE_OK)
        return finish(damagedOr(rc, DataFileStatus::Damaged));
    // Every file this program wrote carries a version from 1 on.
    found.version = v;
    if (v > kDbSchemaVersion)
        return finish(DataFileStatus::NewerVersion);
    if (v < 1)
        return finish(DataFileStatus::NotDataFile);

    // The whole schema of its version, as the shipped scripts make it: a file without a part
    // would be opened and then fail at the first statement that needs it.
    SchemaShape expected;
    if (!gExpectedSchema(v, expected))
        return finish(DataFileStatus::Unreadable);
    found.parts = gMissingSchemaParts(expected, actual);
    if (!found.parts.isEmpty())
        return finish(DataFileStatus::Incomplete);
    // An older file whose contents are already partly of a later version cannot be migrated
    // (its scripts would add what is there).
    found.parts = gPartsAheadOfVersion(v, actual);
    if (!found.parts.isEmpty())
        return finish(DataFileStatus::VersionMismatch);
    return finish(DataFileStatus::Ok);
}

DataFileStatus checkFile(const QString& path, bool integrity, DataFileFindings* findings) {
    DataFileFindings found;
    DataFileStatus status = DataFileStatus::Unreadable;
    const QFileInfo fi(path);
    if (!path.trimmed().isEmpty() && fi.isFile() && fi.isReadable()) {
        status = checkHeader(path);
        if (status == DataFileStatus::Ok)
            status = checkContents(path, integrity, found);
    }
    if (findings)
        *findings = found;
    return status;
}

QString systemError(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

DataFileStatus gChkDataFile(const QString& path, DataFileFindings* findings) {
    return checkFile(path, true, findings);
}

DataFileStatus gChkDataFileShape(const QString& path, DataFileFindings* findings) {
    return checkFile(path, false, findings);
}

QString gDataFileStatusText(DataFileStatus status, const DataFileFindings& findings) {
    switch (status) {
    case DataFileStatus::Ok:
        return {};
    case DataFileStatus::Unreadable:
        return QStringLiteral("選択されたファイルが見つからないか、読み込むことができません。");
    case DataFileStatus::NotDatabase:
        return QStringLiteral("選択されたファイルはバックアップデータではありません。");
    case DataFileStatus::Damaged:
        return QStringLiteral("選択されたファイルは壊れているため、使うことができません。");
    case DataFileStatus::NotDataFile:
        return QStringLiteral("選択されたファイルは本ソフトのデータではありません。");
    case DataFileStatus::NewerVersion:
        return QStringLiteral("選択されたファイルは新しいバージョンの本ソフトで作られたため、"
                              "このバージョンでは読み込めません。");
    case DataFileStatus::Incomplete:
        return QStringLiteral(
                   "選択されたファイルは本ソフトのデータですが、必要な部分が欠けているため"
                   "使えません。\r\n足りないもの：") +
               gSchemaPartsText(findings.parts);
    case DataFileStatus::VersionMismatch:
        return QStringLiteral(
                   "選択されたファイルは、内容が記録されているバージョン（%1）と一致しない"
                   "ため使えません。\r\nバージョン%1にはないもの：")
                   .arg(findings.version) +
               gSchemaPartsText(findings.parts);
    }
    return {};
}

namespace {
// Writable for this user, and not marked read-only by its owner: the superuser may write any
// file, but a file or folder its owner made read-only is meant to stay as it is.
bool writableEntry(const QFileInfo& fi) {
    return fi.isWritable() && !gOwnerMadeReadOnly(fi);
}
} // namespace

// --- the lock --------------------------------------------------------------------------------

QString gDataLockPath(const QString& dataFile) {
    return dataFile + QStringLiteral(".lock");
}

DataLockResult gLockDataFile(const QString& dataFile, DataLockHolder* holder) {
    const QString wanted = canonicalOrAbsolute(dataFile);
    if (heldLock() && heldLockData() == wanted)
        return DataLockResult::Locked;
    gUnlockDataFile();
    const QString path = gDataLockPath(dataFile);
    // Nothing is made in a folder that is marked read-only.
    if (!writableEntry(QFileInfo(QFileInfo(dataFile).absolutePath())))
        return DataLockResult::FolderReadOnly;
    auto lock = std::make_unique<QLockFile>(path);
    // Held for the whole session: only a lock whose process is gone is stale.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        heldLock() = std::move(lock);
        heldLockData() = wanted;
        return DataLockResult::Locked;
    }
    switch (lock->error()) {
    case QLockFile::LockFailedError:
        if (holder) {
            QString app;
            lock->getLockInfo(&holder->pid, &holder->host, &app);
            holder->user = QFileInfo(path).owner();
        }
        return DataLockResult::InUse;
    case QLockFile::PermissionError:
        if (!QFileInfo(QFileInfo(path).absolutePath()).isWritable())
            return DataLockResult::FolderReadOnly;
        break;
    default:
        break;
    }
    gSetLastError(int(lock->error()), QStringLiteral("QLockFile"),
                  QStringLiteral("the lock file cannot be created"));
    gProcError(QStringLiteral("gLockDataFile"), path);
    return DataLockResult::Failed;
}

void gUnlockDataFile() {
    heldLock().reset();
    heldLockData().clear();
}

bool gDataFileLockedByUs(const QString& dataFile) {
    return heldLock() && heldLockData() == canonicalOrAbsolute(dataFile);
}

QString gDataInUseText(const QString& dataFile, const DataLockHolder& h) {
    QString who;
    if (!h.host.isEmpty())
        who += QStringLiteral("コンピューター：") + h.host + QStringLiteral("\r\n");
    if (!h.user.isEmpty())
        who += QStringLiteral("ユーザー：") + h.user + QStringLiteral("\r\n");
    if (h.pid > 0)
        who += QStringLiteral("プロセス番号：%1\r\n").arg(h.pid);
    return QStringLiteral("データファイルは他のプログラムで使用中のため、開けません。\r\n") + who +
           QStringLiteral("使用中のプログラムを終了してから、もう一度起動してください。\r\n"
                          "そのプログラムが既に動いていないときは、次のファイルを削除してください。"
                          "\r\n%1\r\n\r\nデータファイル：%2")
               .arg(QDir::toNativeSeparators(gDataLockPath(dataFile)),
                    QDir::toNativeSeparators(dataFile));
}

void gRemoveDataFileLeftovers(const QString& dataFile) {
    const QFileInfo fi(dataFile);
    QDir folder = fi.absoluteDir();
    const QStringList copies = folder.entryList(
        {QStringLiteral("CompactDataBase*.mdb"), QStringLiteral("CompactDataBase*.mdb-journal"),
         QStringLiteral("CompactDataBase*.mdb-wal"), QStringLiteral("CompactDataBase*.mdb-shm")},
        QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : copies)
        folder.remove(name);
    for (const QString& suffix : {QStringLiteral(".restoring"), QStringLiteral(".restoring.part"),
                                  QStringLiteral(".restoring-journal")})
        QFile::remove(dataFile + suffix);
    // In the backup folder: the automatic copy cut off before it took its name (with what
    // SQLite keeps beside a file it has open), and the copy before a migration cut off while
    // it was written. Finished copies end in their time and stay.
    const QString name = QRegularExpression::escape(fi.fileName());
    gRemovePartialCopies(gDataBackupFolder(dataFile),
                         QRegularExpression(QStringLiteral("^%1\\.(auto-.+\\.checking"
                                                           "(\\.part|-wal|-shm|-journal)?"
                                                           "|(auto|v[0-9]+)-.+\\.part)$")
                                                .arg(name)));
}

void gRemovePartialCopies(const QString& folder, const QRegularExpression& pattern) {
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (!pattern.match(name).hasMatch())
            continue;
        // A copy that another process is still writing (gCopyDataFile) stays.
        gRemoveUnlessBeingWritten(dir.filePath(name));
    }
}

bool gDataFileWritable(const QString& dataFile) {
    const QFileInfo fi(dataFile);
    return writableEntry(fi) && writableEntry(QFileInfo(fi.absolutePath()));
}

bool gCopyDataFile(const QString& source, const QString& target, const QString& procName) {
    const QString part = target + QStringLiteral(".part");
    const auto fail = [&](int err, const QString& text) {
        gSetLastError(err, QStringLiteral("file"), systemError(err));
        QFile::remove(part);
        gProcError(procName, text);
        return false;
    };
    QFile::remove(part);
    if (const int err = gCopyFileDurably(source, part); err != 0)
        return fail(err, source + QStringLiteral(" -> ") + target);
    if (QFileInfo::exists(target))
        return fail(EEXIST, target);
    std::error_code ec;
    std::filesystem::rename(gFsPath(part), gFsPath(target), ec);
    if (ec)
        return fail(ec.value(), target);
    return true;
}

// --- the sound-file check --------------------------------------------------------------------

bool gQuickCheckDataFile(const QString& path) {
    sqlite3* db = openForCheck(path);
    if (!db)
        return checkHeader(path) == DataFileStatus::Ok;
    QStringList rows;
    const int rc = EngineSql::integrityCheck(db, true, rows);
    const bool ran = rc == SQLITE_OK;
    sqlite3_close_v2(db);
    if (!ran) {
        // Only a damaged page is a finding; a busy or unreadable file is no verdict.
        return damagedOr(rc, DataFileStatus::Ok) == DataFileStatus::Ok;
    }
    return rows.value(0) == QLatin1String("ok");
}

namespace {
std::unique_ptr<QThread>& checkThread() {
    static std::unique_ptr<QThread> thread;
    return thread;
}
} // namespace

void gStartDataFileCheck(Database& db, const QString& path) {
    gWaitDataFileCheck();
    QCoreApplication* app = QCoreApplication::instance();
    checkThread().reset(QThread::create([&db, path, app]() {
        const bool sound = gQuickCheckDataFile(path);
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [&db, path, sound]() {
                // Only while the same file is still the open one.
                if (!db.isOpen() || db.path() != path)
                    return;
                if (sound)
                    DbEnableWriteAheadLog(db);
                else
                    gReportDataFileDamaged();
            },
            Qt::QueuedConnection);
    }));
    checkThread()->start(QThread::LowPriority);
}

void gWaitDataFileCheck() {
    if (checkThread()) {
        checkThread()->wait();
        checkThread().reset();
    }
}

QString gDataFileDamagedText(const QString& dataFile) {
    return QStringLiteral(
               "データファイルが壊れています。\r\n"
               "入力や帳票の内容が正しくない可能性があります。\r\n"
               "メニューの「バックアップ」から、最新のバックアップを復元してください。\r\n"
               "データファイルは変更せず、そのまま残してあります。\r\n%1")
        .arg(QDir::toNativeSeparators(dataFile));
}

QString gDataFileReadOnlyText(const QString& dataFile) {
    return QStringLiteral("データファイルに書き込めないため、読み取り専用で開きました。\r\n"
                          "データの表示と帳票の作成はできますが、入力・変更はできません。\r\n"
                          "入力するには、ファイルとフォルダーに書き込みの権限を与えてください。"
                          "\r\n%1")
        .arg(QDir::toNativeSeparators(dataFile));
}

void gSetDataFileDamageHandler(std::function<void()> handler) {
    damageHandler() = std::move(handler);
}

void gReportDataFileDamaged(bool tell) {
    OpenState& s = openState();
    s.damaged = true;
    s.damagedPath = gdbData().path();
    if (s.damageReported)
        return;
    s.damageReported = true;
    if (!tell)
        return;
    if (damageHandler())
        damageHandler()();
}

bool gDataFileReadOnly() {
    return openState().readOnly;
}

bool gDataFileDamaged() {
    return openState().damaged;
}

bool gDataFileAccepted() {
    return openState().accepted;
}

void gResetDataFileState(const QString& path, bool accepted, bool readOnly) {
    OpenState& s = openState();
    s.accepted = accepted;
    s.readOnly = readOnly;
    if (path != s.damagedPath)
        gClearDataFileDamage();
}

void gClearDataFileDamage() {
    OpenState& s = openState();
    s.damaged = false;
    s.damageReported = false;
    s.damagedPath.clear();
}
