#include "store/Migration.h"

#include "base/CheckedFileWriter.h"
#include "base/ErrorLog.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/EngineSql.h"
#include "store/Schema.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

// Failures of the engine's storage (disk, permissions, locks) as opposed to the file's contents.
bool storageFailure(int rc) {
    switch (rc & 0xff) {
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_NOMEM:
        return true;
    default:
        return false;
    }
}

} // namespace

bool DbMigrate(Database& db, const QString& procName, bool* contentsMismatch) {
    if (contentsMismatch)
        *contentsMismatch = false;
    const int from = db.schemaVersion();
    if (from < 1 || from > kDbSchemaVersion) {
        gSetLastError(0, QStringLiteral("DbMigrate"),
                      QStringLiteral("unsupported schema version %1").arg(from));
        gProcError(procName, db.path());
        return false;
    }
    if (from == kDbSchemaVersion)
        return true;
    Transaction tx(db);
    if (!tx.ok())
        return false;
    int count = 0;
    const MigrationScript* scripts = gMigrationScripts(&count);
    for (int i = 0; i < count; ++i) {
        if (scripts[i].version <= from || scripts[i].version > kDbSchemaVersion)
            continue;
        if (!db.executeScript(QString::fromUtf8(scripts[i].sql), procName)) {
            // A script that the engine refuses on a sound file (a column or table that is there
            // already) meets contents that do not match the file's version.
            if (contentsMismatch)
                *contentsMismatch = !storageFailure(db.lastErrorCode());
            return false;
        }
    }
    // The result has the whole schema of the program's version before it is kept.
    SchemaShape expected, actual;
    int rc = SQLITE_OK;
    if (!gExpectedSchema(kDbSchemaVersion, expected) || !gReadSchema(db.handle(), actual, &rc)) {
        gSetLastError(rc, QStringLiteral("DbMigrate"), QStringLiteral("schema not readable"));
        gProcError(procName, db.path());
        return false;
    }
    if (const QStringList missing = gMissingSchemaParts(expected, actual); !missing.isEmpty()) {
        gSetLastError(SQLITE_SCHEMA, QStringLiteral("DbMigrate"),
                      QStringLiteral("missing after migration: ") + missing.join(QLatin1Char(',')));
        gProcError(procName, db.path());
        if (contentsMismatch)
            *contentsMismatch = true;
        return false;
    }
    return db.executeScript(EngineSql::userVersionStatement(kDbSchemaVersion), procName) &&
           tx.commit();
}

bool DbMigrateFile(const QString& path, const QString& procName) {
    Database db;
    return db.open(path, procName) && DbMigrate(db, procName);
}

QString gDataBackupFolder(const QString& dataFile) {
    return QFileInfo(dataFile).absoluteDir().filePath(QStringLiteral("backups"));
}

QString gCopyBeforeMigration(const QString& dataFile, int version, const QString& procName) {
    const QString folder = gDataBackupFolder(dataFile);
    if (!gMakeOwnerOnlyFolder(folder)) { // the copies in it are the books
        gSetLastError(0, QStringLiteral("QDir"), QStringLiteral("cannot create ") + folder);
        gProcError(procName, folder);
        return {};
    }
    const QString target = QDir(folder).filePath(
        QStringLiteral("%1.v%2-%3")
            .arg(QFileInfo(dataFile).fileName())
            .arg(version)
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    if (!gCopyDataFile(dataFile, target, procName))
        return {};
    return target;
}
