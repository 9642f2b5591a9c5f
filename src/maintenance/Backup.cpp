#include "maintenance/Backup.h"

#include "app/ErrorLog.h"
#include "app/Globals.h"
#include "app/MsgCatalogue.h"
#include "app/Services.h"
#include "store/Database.h"
#include "store/Schema.h"
#include "util/FileHelpers.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <filesystem>
#include <sqlite3.h>
#include <system_error>

namespace {

FreeSpaceLookup& freeSpaceLookup() {
    static FreeSpaceLookup lookup;
    return lookup;
}

// --- the data-file check -------------------------------------------------------------------

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
    // version-valid-for number (an older library may have written the file).
    const quint32 pages = bigEndian32(head, 28);
    if (pages != 0 && bigEndian32(head, 24) == bigEndian32(head, 92) &&
        size < qint64(pages) * pageSize)
        return DataFileStatus::Damaged;
    return DataFileStatus::Ok;
}

// Runs a statement and collects the first column of every row. False when SQLite refuses it
// (with its result code in rc).
bool queryColumn(sqlite3* db, const char* sql, QStringList& out, int& rc) {
    sqlite3_stmt* st = nullptr;
    rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    sqlite3_finalize(st);
    return rc == SQLITE_OK;
}

DataFileStatus checkContents(const QString& path) {
    sqlite3* db = nullptr;
    const QByteArray p = QFile::encodeName(path);
    int rc = sqlite3_open_v2(p.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const auto finish = [&db](DataFileStatus s) {
        sqlite3_close_v2(db);
        return s;
    };
    if (rc != SQLITE_OK)
        return finish(DataFileStatus::Unreadable);
    sqlite3_busy_timeout(db, 2000);

    QStringList rows;
    if (!queryColumn(db, "PRAGMA integrity_check", rows, rc))
        return finish(rc == SQLITE_NOTADB ? DataFileStatus::NotDatabase : DataFileStatus::Damaged);
    if (rows.value(0) != QLatin1String("ok"))
        return finish(DataFileStatus::Damaged);

    QStringList names;
    if (!queryColumn(db, "SELECT name FROM sqlite_master WHERE type = 'table'", names, rc))
        return finish(DataFileStatus::Damaged);
    QSet<QString> tables;
    for (const QString& n : names)
        tables.insert(n.toUpper());
    // Without its supplier and settings tables a file is not ours at all, whatever its version.
    if (!tables.contains(QStringLiteral("T_MASTER")) ||
        !tables.contains(QStringLiteral("T_SYSTEM")))
        return finish(DataFileStatus::NotDataFile);

    QStringList version;
    if (!queryColumn(db, "PRAGMA user_version", version, rc))
        return finish(DataFileStatus::Damaged);
    // Every file this program wrote carries a version from 1 on.
    const int v = version.value(0).toInt();
    if (v > kDbSchemaVersion)
        return finish(DataFileStatus::NewerVersion);
    if (v < 1)
        return finish(DataFileStatus::NotDataFile);

    for (const std::string_view t : kSchemaTables) {
        if (!tables.contains(QString::fromLatin1(t.data(), qsizetype(t.size()))))
            return finish(DataFileStatus::NotDataFile);
    }
    return finish(DataFileStatus::Ok);
}

// --- files ---------------------------------------------------------------------------------

bool reportFs(const QString& proc, const std::error_code& ec, const QString& text) {
    gSetLastError(ec.value(), QStringLiteral("filesystem"),
                  QString::fromLocal8Bit(ec.message().c_str()));
    gProcError(proc, text);
    return false;
}

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Closes the data file and compacts it, as at shutdown. A failed compaction is logged and the
// file is used as it is.
void closeDataFile() {
    svc().process().processEvents();
    DbClose();
    DbCompactDataBase(gstrDbPath);
    svc().process().processEvents();
}

// Whatever happened, the rest of the program needs the data file open.
class ReopenDataFile {
public:
    ~ReopenDataFile() {
        if (!gdbData().isOpen())
            DbInit(gstrDbPath);
    }
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

// Records the current time in datField of T_SYSTEM row `row` (0 last backup, 1 last restore).
bool recordSystemTime(int row) {
    Database& db = gdbData();
    Transaction tr(db);
    if (!tr.ok())
        return false;
    const QDateTime now = svc().clock().now();
    if (!db.executeSQL(QStringLiteral("UPDATE T_SYSTEM SET datField = ? WHERE lngID = ?"),
                       {now, row}))
        return false;
    // A store that never had the row gets it now, or the time would silently not be kept.
    if (db.changes() == 0 &&
        !db.executeSQL(QStringLiteral("INSERT INTO T_SYSTEM (lngID, datField) VALUES (?, ?)"),
                       {row, now}))
        return false;
    return tr.commit();
}

} // namespace

DataFileStatus gChkDataFile(const QString& path) {
    const QFileInfo fi(path);
    if (path.trimmed().isEmpty() || !fi.isFile() || !fi.isReadable())
        return DataFileStatus::Unreadable;
    const DataFileStatus header = checkHeader(path);
    if (header != DataFileStatus::Ok)
        return header;
    return checkContents(path);
}

QString gDataFileStatusText(DataFileStatus status) {
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
    }
    return {};
}

void gSetFreeSpaceLookup(FreeSpaceLookup lookup) {
    freeSpaceLookup() = std::move(lookup);
}

bool gChkBackupSpace(const QString& folder) {
    if (isNetworkPath(folder))
        return true;
    const double needed = static_cast<double>(QFileInfo(gstrDbPath).size());
    double freeBytes = 0;
    const FreeSpaceLookup& lookup = freeSpaceLookup();
    const bool known = lookup ? lookup(folder, freeBytes) : gGetDriveFreeSpace(folder, freeBytes);
    return known && needed <= freeBytes;
}

bool gProcDataBackup(const QString& folder, QString* written) {
    const QString proc = QStringLiteral("gProcDataBackup");
    const ReopenDataFile reopen;
    // Checked before anything is closed: a missing folder leaves the data file as it was.
    if (!gChkFolderExist(folder)) {
        gProcError(proc, QStringLiteral("バックアップ先がありません：") + folder);
        return false;
    }
    QString name;
    QString unique;
    if (!backupFileName(svc().clock().now(), name) || !gGetUniqueFName(folder, name, unique)) {
        gProcError(proc, folder);
        return false;
    }
    closeDataFile();
    gDispMsg(55, unique);
    svc().process().processEvents();

    // The name is taken again: a file of that name may have appeared while the message was
    // shown, and an existing backup is never replaced.
    if (!gGetUniqueFName(folder, name, unique)) {
        gProcError(proc, folder);
        return false;
    }
    const QString target = gAddBackSlash(folder) + unique;
    if (!gCopyFile(gstrDbPath, target)) {
        gProcError(proc, target);
        return false;
    }
    gProcTune(100);
    if (!DbInit(gstrDbPath) || !recordSystemTime(0)) {
        gProcError(proc);
        return false;
    }
    if (written)
        *written = target;
    return true;
}

bool gProcDataRestore(const QString& file, QString* refusal) {
    const QString proc = QStringLiteral("gProcDataRestore");
    if (refusal)
        refusal->clear();
    const DataFileStatus status = gChkDataFile(file);
    if (status != DataFileStatus::Ok) {
        if (refusal)
            *refusal = gDataFileStatusText(status) + QStringLiteral("\r\n") +
                       QStringLiteral("現在のデータは変更していません。");
        return false;
    }

    const ReopenDataFile reopen;
    const QString incoming = gstrDbPath + QStringLiteral(".restoring");
    const QString before = gstrDbPath + kBeforeRestoreSuffix;
    std::error_code ec;

    // The backup is copied beside the data file first, so that replacing it is one rename on
    // the same volume and a failed copy leaves the data file as it was.
    if (!gCopyFile(file, incoming)) {
        gProcError(proc, file);
        return false;
    }
    QFile::setPermissions(incoming, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    closeDataFile();

    // The replaced file stays as "db1.before-restore": a second name for the same file where
    // the volume allows it, a copy otherwise.
    std::filesystem::remove(fsPath(before), ec);
    ec.clear();
    std::filesystem::create_hard_link(fsPath(gstrDbPath), fsPath(before), ec);
    if (ec) {
        ec.clear();
        std::filesystem::copy_file(fsPath(gstrDbPath), fsPath(before), ec);
    }
    if (ec) {
        QFile::remove(incoming);
        return reportFs(proc, ec, before);
    }
    std::filesystem::rename(fsPath(incoming), fsPath(gstrDbPath), ec);
    if (ec) {
        QFile::remove(incoming);
        return reportFs(proc, ec, gstrDbPath);
    }
    svc().process().processEvents();
    if (!DbInit(gstrDbPath)) {
        // The checked copy would not open after all: the previous data comes back.
        std::filesystem::rename(fsPath(before), fsPath(gstrDbPath), ec);
        gProcError(proc, gstrDbPath);
        return false;
    }
    svc().process().processEvents();
    if (!recordSystemTime(1)) {
        gProcError(proc);
        return false;
    }
    return true;
}
