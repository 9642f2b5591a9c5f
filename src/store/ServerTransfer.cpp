#include "store/ServerTransfer.h"

#include "base/ErrorLog.h"
#include "base/Services.h"
#include "store/DataFile.h"
#include "store/Database.h"
#include "store/EngineConnection.h"
#include "store/EngineSql.h"
#include "store/Migration.h"
#include "store/ServerSchema.h"
#include "store/SettingsRegistry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

const QString kProc = QStringLiteral("gServerTransfer");

// The tables whose changes the history records, and the history itself (whose trigger names the
// user and PC of a new entry): their triggers stay out of a copy, which carries the recorded
// history as it is.
const QStringList kRecordedTables = {QStringLiteral("T_DATA1"), QStringLiteral("T_DATA2"),
                                     QStringLiteral("T_MASTER"), QStringLiteral("T_TAX_RATE"),
                                     QStringLiteral("T_HISTORY")};

// Copies every row of a data file's table into the server's table through COPY, the rows sent
// a few hundred kilobytes at a time, in the data file's stored order.
bool copyIntoServer(Database& file, Database& server, const QString& table,
                    const QStringList& columns) {
    constexpr qsizetype kChunk = 256 * 1024;
    EngineConnection* engine = server.engine();
    const QString list = columns.join(QLatin1Char(','));
    const QByteArray statement = "COPY " + table.toUtf8() + " (" + list.toUtf8() + ") FROM STDIN";
    RowCursor read(file);
    if (!read.open(QStringLiteral("SELECT ") + list + QStringLiteral(" FROM ") + table +
                       QStringLiteral(" ORDER BY rowid"),
                   {}, kProc))
        return false;
    if (!engine || !engine->beginCopy(statement)) {
        if (engine)
            gSetLastError(engine->errorCode(), engine->engineName(), engine->errorText());
        gProcError(kProc, QString::fromUtf8(statement));
        return false;
    }
    QByteArray buffer;
    buffer.reserve(kChunk + 4096);
    bool sent = true;
    while (sent && read.next()) {
        for (int c = 0; c < columns.size(); ++c) {
            if (c)
                buffer += '\t';
            gAppendCopyValue(buffer, read, c);
        }
        buffer += '\n';
        if (buffer.size() >= kChunk) {
            sent = engine->putCopyData(buffer);
            buffer.clear();
        }
    }
    sent = sent && !read.failed() && (buffer.isEmpty() || engine->putCopyData(buffer));
    const bool done = engine->endCopy(!sent) && sent;
    if (!done && !read.failed()) {
        gSetLastError(engine->errorCode(), engine->engineName(), engine->errorText());
        gProcError(kProc, QString::fromUtf8(statement));
    }
    return done;
}

// Copies every row of table from one database into the emptied table of the other.
bool copyTable(Database& from, Database& to, const QString& table, const QStringList& columns) {
    if (!to.executeSQL(QStringLiteral("DELETE FROM ") + table, {}, kProc))
        return false;
    if (to.isServer() && !from.isServer())
        return copyIntoServer(from, to, table, columns);
    const QString list = columns.join(QLatin1Char(','));
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    RowCursor read(from);
    RowCursor write(to);
    // In the data file's stored order, which a server keeps for rows loaded in one go.
    const QString order = from.isServer() ? QString() : QStringLiteral(" ORDER BY rowid");
    if (!read.open(QStringLiteral("SELECT ") + list + QStringLiteral(" FROM ") + table + order, {},
                   kProc) ||
        !write.prepare(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + list +
                           QStringLiteral(") VALUES (") + marks.join(QLatin1Char(',')) +
                           QLatin1Char(')'),
                       kProc))
        return false;
    while (read.next()) {
        write.reset();
        for (int c = 0; c < columns.size(); ++c) {
            switch (read.type(c)) {
            case RowCursor::Type::Null:
                write.bindNull(c + 1);
                break;
            case RowCursor::Type::Integer:
                write.bindInt(c + 1, read.int64(c));
                break;
            case RowCursor::Type::Real:
                write.bindText(c + 1, QString::number(read.real(c), 'g', 17));
                break;
            default:
                write.bindText(c + 1, read.qtext(c));
                break;
            }
        }
        if (!write.run())
            return false;
    }
    return !read.failed();
}

// Sets each of the server's key sequences after the largest key loaded.
bool resetServerKeys(Database& server) {
    ResultSet rs(server);
    if (!rs.openRecordSet(QStringLiteral("SELECT table_name AS strTable, column_name AS strColumn "
                                         "FROM information_schema.columns WHERE table_schema = "
                                         "current_schema() AND is_identity = 'YES'"),
                          {}, kProc))
        return false;
    for (const QVariantList& row : rs.rows()) {
        const QString table = row.value(0).toString();
        const QString column = row.value(1).toString();
        if (!server.executeSQL(
                QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), coalesce(max(") +
                    column + QStringLiteral("), 0) + 1, false) FROM ") + table,
                {table, column}, kProc))
            return false;
    }
    return true;
}

bool setServerTriggers(Database& server, bool enabled) {
    for (const QString& table : kRecordedTables)
        if (!server.executeSQL(
                QStringLiteral("ALTER TABLE ") + table +
                    (enabled ? QStringLiteral(" ENABLE") : QStringLiteral(" DISABLE")) +
                    QStringLiteral(" TRIGGER USER"),
                {}, kProc))
            return false;
    return true;
}

} // namespace

// The tables of a data file, in name order.
bool gDataFileTables(Database& file, QStringList& tables) {
    ResultSet rs(file);
    if (!rs.openRecordSet(QStringLiteral("SELECT name AS strName FROM sqlite_master WHERE "
                                         "type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                                         "ESCAPE '\\' ORDER BY name"),
                          {}, kProc))
        return false;
    tables.clear();
    for (const QVariantList& row : rs.rows())
        tables << row.value(0).toString();
    return true;
}

// The columns of a data file's table as the copy names them (the item lists' row key too).
bool gDataFileColumns(Database& file, const QString& table, QStringList& columns) {
    ResultSet rs(file);
    if (!rs.openRecordSet(EngineSql::tableColumnsQuery(false), {table}, kProc))
        return false;
    columns.clear();
    for (const QVariantList& row : rs.rows())
        columns << row.value(0).toString();
    if (table.endsWith(QLatin1String("_ITEM")))
        columns << QStringLiteral("rowid");
    return !columns.isEmpty();
}

// A value of the current row in the text format of the server's COPY: \N for NULL; the
// backslash, tab, newline and carriage return escaped.
void gAppendCopyValue(QByteArray& out, const RowCursor& read, int c) {
    switch (read.type(c)) {
    case RowCursor::Type::Null:
        out += "\\N";
        return;
    case RowCursor::Type::Integer:
        out += QByteArray::number(read.int64(c));
        return;
    case RowCursor::Type::Real:
        out += QByteArray::number(read.real(c), 'g', 17);
        return;
    default:
        break;
    }
    for (const char ch : read.text(c)) {
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += ch;
        }
    }
}

bool gServerLoad(Database& server, const QString& file, QString& message) {
    const QString shown = QDir::toNativeSeparators(file);
    DataFileFindings findings;
    const DataFileStatus status = gChkDataFile(file, &findings);
    if (status != DataFileStatus::Ok) {
        message = gDataFileStatusText(status, findings) + QStringLiteral("\r\n") + shown;
        return false;
    }
    Database source;
    if (!source.open(file, kProc, true)) {
        message = QStringLiteral("ファイルを開けません。\r\n") + shown;
        return false;
    }
    if (source.schemaVersion() != kDbSchemaVersion) {
        message = QStringLiteral("ファイルは以前のバージョンの形式です。本ソフトで一度開いて"
                                 "新しい形式にしてから、読み込んでください。\r\n") +
                  shown;
        return false;
    }
    const ServerSchemaState state = gServerSchemaState(server);
    if (state != ServerSchemaState::Empty) {
        message = QStringLiteral("読み込み先のデータベースが空ではありません。\r\n"
                                 "空のデータベースを指定してください。"
                                 "データベースは変更していません。");
        return false;
    }
    QStringList tables;
    if (!gDataFileTables(source, tables)) {
        message = QStringLiteral("ファイルを読み込めません。\r\n") + shown;
        return false;
    }
    Transaction tx(server);
    bool ok = tx.ok() && gServerInit(server, kProc) && setServerTriggers(server, false);
    for (const QString& table : tables) {
        QStringList columns;
        if (!ok)
            break;
        ok = gDataFileColumns(source, table, columns) && copyTable(source, server, table, columns);
    }
    ok = ok && setServerTriggers(server, true) && resetServerKeys(server) && tx.commit();
    if (!ok)
        message = QStringLiteral("サーバーに読み込めませんでした。データベースは変更していません。"
                                 "\r\n") +
                  server.lastErrorText();
    return ok;
}

bool gServerDump(Database& server, const QString& file, QString& message) {
    const QString shown = QDir::toNativeSeparators(file);
    if (QFileInfo::exists(file)) {
        message = QStringLiteral("同じ名前のファイルがあります。別の名前を指定してください。\r\n") +
                  shown;
        return false;
    }
    if (gServerSchemaState(server) != ServerSchemaState::Current) {
        message = QStringLiteral("サーバーのデータベースは本ソフトのこのバージョンの帳簿では"
                                 "ありません。\r\n");
        return false;
    }
    // The backup's time, in the copy (the restore shows it) and, once the copy is complete, in
    // the server's books as their last backup, as the backup window does for the data file.
    const QDateTime now = svc().clock().now();
    const QString part = file + QStringLiteral(".part");
    QFile::remove(part);
    {
        QFile empty(part);
        if (!empty.open(QIODevice::WriteOnly)) {
            message = QStringLiteral("ファイルを書き込めません。フォルダーの権限と空き容量を"
                                     "確認してください。\r\n") +
                      shown;
            return false;
        }
    }
    // One snapshot of the books: what other programs commit meanwhile is all in or all out.
    bool ok = server.executeSQL(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY"),
                                {}, kProc);
    if (ok) {
        Database target;
        ok = target.open(part, kProc) &&
             target.executeScript(QString::fromUtf8(gBaseSchemaScript()), kProc);
        int count = 0;
        const MigrationScript* scripts = gMigrationScripts(&count);
        for (int i = 0; ok && i < count; ++i)
            if (scripts[i].version <= kDbSchemaVersion)
                ok = target.executeScript(QString::fromUtf8(scripts[i].sql), kProc);
        ok = ok && target.executeScript(EngineSql::userVersionStatement(kDbSchemaVersion), kProc);
        // The history's triggers stay out of the copy, which carries the recorded history.
        ResultSet triggers(target);
        ok = ok && triggers.openRecordSet(
                       QStringLiteral("SELECT name AS strName, sql AS strSql FROM sqlite_master "
                                      "WHERE type = 'trigger' AND name LIKE '%HISTORY%'"),
                       {}, kProc);
        QStringList tables;
        ok = ok && gDataFileTables(target, tables);
        Transaction tx(target);
        ok = ok && tx.ok();
        for (int i = 0; ok && i < triggers.recordCount(); ++i)
            ok = target.executeSQL(QStringLiteral("DROP TRIGGER ") +
                                       triggers.rows()[std::size_t(i)].value(0).toString(),
                                   {}, kProc);
        for (const QString& table : tables) {
            QStringList columns;
            if (!ok)
                break;
            ok = gDataFileColumns(target, table, columns) &&
                 copyTable(server, target, table, columns);
        }
        for (int i = 0; ok && i < triggers.recordCount(); ++i)
            ok = target.executeScript(triggers.rows()[std::size_t(i)].value(1).toString(), kProc);
        ok = ok && gRecordSystemTime(target, SettingNo::LastBackupTime, now, kProc) && tx.commit();
        if (!ok)
            message = QStringLiteral("バックアップを書き込めませんでした。\r\n") +
                      (target.isOpen() ? target.lastErrorText() : server.lastErrorText());
    } else {
        message =
            QStringLiteral("バックアップを書き込めませんでした。\r\n") + server.lastErrorText();
    }
    // The snapshot only read: it ends without a change.
    if (server.engine())
        server.engine()->rollbackQuietly();
    if (ok && !QFile::rename(part, file)) {
        message = QStringLiteral("ファイルを書き込めません。\r\n") + shown;
        ok = false;
    }
    if (!ok) {
        QFile::remove(part);
        return false;
    }
    if (!gRecordSystemTime(server, SettingNo::LastBackupTime, now, kProc)) {
        message = QStringLiteral("バックアップは書き込みましたが、サーバーの帳簿にバックアップの"
                                 "日時を記録できませんでした。\r\n") +
                  server.lastErrorText();
        return false;
    }
    return true;
}
