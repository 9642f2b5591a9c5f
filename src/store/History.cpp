#include "store/History.h"

#include "base/ErrorLog.h"
#include "base/Services.h"

#include <QHash>
#include <QSet>
#include <sqlite3.h>

namespace {

// The tables the history covers and the column that names their rows. Only these names ever
// reach SQL text.
QString keyColumnOf(const QString& table) {
    if (table == QLatin1String("T_DATA1") || table == QLatin1String("T_DATA2"))
        return QStringLiteral("lngID");
    if (table == QLatin1String("T_MASTER"))
        return QStringLiteral("lngMasterID");
    return {};
}

// The columns of a covered table (names read from the schema, so a key of a recorded row is
// used in SQL only when it is one of them).
bool tableColumns(Database& db, const QString& table, QSet<QString>& columns) {
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT name FROM pragma_table_info(?)"), {table},
                          QStringLiteral("gUndoHistoryGroup")))
        return false;
    columns.clear();
    for (const QVariantList& row : rs.rows())
        columns.insert(row.value(0).toString());
    return !columns.isEmpty();
}

// The keys of a recorded row that are columns of its table, in the row's order.
bool rowColumns(Database& db, const QString& json, const QSet<QString>& known,
                QStringList& columns) {
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT key FROM json_each(?)"), {json},
                          QStringLiteral("gUndoHistoryGroup")))
        return false;
    columns.clear();
    for (const QVariantList& row : rs.rows()) {
        const QString key = row.value(0).toString();
        if (known.contains(key))
            columns << key;
    }
    return true;
}

QString quoted(const QString& column) {
    return QLatin1Char('"') + column + QLatin1Char('"');
}

QString valueOf(const QString& column) {
    return QStringLiteral("json_extract(?1, '$.") + column + QStringLiteral("')");
}

struct GroupRow {
    qint64 id;
    QString table;
    qint64 rowID;
    QString action;
    QString oldJson;
};

// Writes the values before of one recorded change back.
bool undoRow(Database& db, const GroupRow& r, const QSet<QString>& known, bool& missing) {
    const QString proc = QStringLiteral("gUndoHistoryGroup");
    const QString key = keyColumnOf(r.table);
    missing = false;
    if (r.action == QLatin1String("I")) {
        if (!db.executeSQL(QStringLiteral("DELETE FROM ") + r.table + QStringLiteral(" WHERE ") +
                               key + QStringLiteral("=?"),
                           {r.rowID}, proc))
            return false;
        missing = db.changes() != 1;
        return true;
    }
    QStringList columns;
    if (!rowColumns(db, r.oldJson, known, columns))
        return false;
    if (r.action == QLatin1String("U")) {
        QStringList sets;
        for (const QString& c : columns)
            if (c != key)
                sets << quoted(c) + QLatin1Char('=') + valueOf(c);
        if (sets.isEmpty())
            return true;
        if (!db.executeSQL(QStringLiteral("UPDATE ") + r.table + QStringLiteral(" SET ") +
                               sets.join(QLatin1Char(',')) + QStringLiteral(" WHERE ") + key +
                               QStringLiteral("=?2"),
                           {r.oldJson, r.rowID}, proc))
            return false;
        missing = db.changes() != 1;
        return true;
    }
    // A deleted row comes back with its own number.
    QStringList names;
    QStringList values;
    for (const QString& c : columns) {
        names << quoted(c);
        values << valueOf(c);
    }
    return db.executeSQL(QStringLiteral("INSERT INTO ") + r.table + QStringLiteral(" (") +
                             names.join(QLatin1Char(',')) + QStringLiteral(") VALUES (") +
                             values.join(QLatin1Char(',')) + QLatin1Char(')'),
                         {r.oldJson}, proc);
}

QVariant columnValue(sqlite3_stmt* st, int col) {
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant(static_cast<qint64>(sqlite3_column_int64(st, col)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(st, col));
    default:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)),
                                 sqlite3_column_bytes(st, col));
    }
}

} // namespace

QString gHistoryOriginText(const QString& origin) {
    static const QHash<QString, QString> texts = {
        {HistoryOrigin::Typed, QStringLiteral("入力")},
        {HistoryOrigin::Derived, QStringLiteral("計算")},
        {HistoryOrigin::CheckReset, QStringLiteral("チェック解除")},
        {HistoryOrigin::Deleted, QStringLiteral("削除")},
        {HistoryOrigin::Undo, QStringLiteral("元に戻す")},
        {HistoryOrigin::Redo, QStringLiteral("やり直し")},
        {HistoryOrigin::Restored, QStringLiteral("復元")},
        {HistoryOrigin::Imported, QStringLiteral("取り込み")},
        {HistoryOrigin::Other, QStringLiteral("他のプログラム")},
    };
    return texts.value(origin, origin);
}

HistoryScope::HistoryScope(Database& db, const QString& origin) : m_db(db), m_tx(db) {
    const QString proc = QStringLiteral("HistoryScope");
    if (!m_tx.ok())
        return;
    ResultSet rs(db);
    if (!rs.openRecordSet(
            QStringLiteral("SELECT coalesce(o.strOrigin, 'other') AS strOrigin, o.lngGroup, "
                           "o.datNow, (SELECT seq FROM sqlite_sequence WHERE name = 'T_HISTORY') "
                           "AS lngSeq FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1"),
            {}, proc) ||
        !rs.moveFirst())
        return;
    m_previous = {rs.value(0), rs.value(1), rs.value(2)};
    m_group = rs.lng(3) + 1;
    m_ok = db.executeSQL(QStringLiteral("INSERT OR REPLACE INTO T_HISTORY_ORIGIN "
                                        "(lngID, strOrigin, lngGroup, datNow) VALUES (1, ?, ?, ?)"),
                         {origin, m_group, dbDateTimeText(svc().clock().now())}, proc);
}

bool HistoryScope::commit(bool* recorded) {
    const QString proc = QStringLiteral("HistoryScope");
    if (recorded)
        *recorded = false;
    if (!m_ok)
        return false;
    m_ok = false;
    if (recorded) {
        ResultSet rs(m_db);
        if (!rs.openRecordSet(QStringLiteral("SELECT lngID FROM T_HISTORY WHERE lngID = ?"),
                              {m_group}, proc))
            return false;
        *recorded = rs.recordCount() > 0;
    }
    QVariantList previous = m_previous;
    if (!m_db.executeSQL(QStringLiteral("INSERT OR REPLACE INTO T_HISTORY_ORIGIN "
                                        "(lngID, strOrigin, lngGroup, datNow) VALUES (1, ?, ?, ?)"),
                         previous, proc))
        return false;
    return m_tx.commit();
}

bool gReadHistoryChanges(Database& db, const HistoryFilter& filter,
                         std::vector<HistoryChange>& changes) {
    const QString proc = QStringLiteral("gReadHistoryChanges");
    // The columns of every entry come from its JSON objects: each key of the row after (or
    // before, for a deletion) whose value differs from the other side. A row deleted and
    // inserted again in one step (the supplier master is saved so) is one update: the insert
    // takes the deletion's row before, and the deletion is not listed on its own.
    const QString pair =
        QStringLiteral(" AND x.strTable = h.strTable AND x.lngRowID = h.lngRowID AND "
                       "x.lngGroup = h.lngGroup");
    QString sql =
        QStringLiteral("SELECT h.lngID, h.datChanged, h.strTable, h.lngRowID, h.lngMasterID, "
                       "CASE WHEN p.lngID IS NULL THEN h.strAction ELSE 'U' END, h.strOrigin, "
                       "json_extract(coalesce(h.strNew, h.strOld), '$.date1'), "
                       "json_extract(coalesce(h.strNew, h.strOld), '$.strItem'), k.key, "
                       "json_extract(coalesce(p.strOld, h.strOld), '$.' || k.key), "
                       "json_extract(h.strNew, '$.' || k.key) FROM T_HISTORY h "
                       "LEFT JOIN T_HISTORY p ON h.strAction = 'I' AND p.lngID = h.lngID - 1 AND "
                       "p.strAction = 'D'") +
        QString(pair).replace(QLatin1String("x."), QLatin1String("p.")) +
        QStringLiteral(" LEFT JOIN T_HISTORY n ON h.strAction = 'D' AND n.lngID = h.lngID + 1 "
                       "AND n.strAction = 'I'") +
        QString(pair).replace(QLatin1String("x."), QLatin1String("n.")) +
        QStringLiteral(", json_each(coalesce(h.strNew, h.strOld)) k WHERE n.lngID IS NULL");
    if (filter.masterID)
        sql += QStringLiteral(" AND h.lngMasterID = ?");
    if (filter.from.isValid())
        sql += QStringLiteral(" AND h.datChanged >= ?");
    if (filter.to.isValid())
        sql += QStringLiteral(" AND h.datChanged < ?");
    sql += QStringLiteral(" AND k.key NOT IN ('lngID', 'blnChange', 'datLastUpdate')"
                          " AND json_extract(coalesce(p.strOld, h.strOld), '$.' || k.key) IS NOT"
                          " json_extract(h.strNew, '$.' || k.key)");
    sql += filter.masterID ? QStringLiteral(" ORDER BY h.datChanged, h.lngID, k.id")
                           : QStringLiteral(" ORDER BY h.lngID, k.id");
    sqlite3* handle = db.handle();
    sqlite3_stmt* st = nullptr;
    const QByteArray q = sql.toUtf8();
    auto fail = [&]() {
        gSetLastError(handle ? sqlite3_extended_errcode(handle) : 0, QStringLiteral("SQLite"),
                      handle ? QString::fromUtf8(sqlite3_errmsg(handle))
                             : QStringLiteral("no database"));
        gProcError(proc, QStringLiteral("SQL=") + sql);
        sqlite3_finalize(st);
        return false;
    };
    if (!handle ||
        sqlite3_prepare_v2(handle, q.constData(), int(q.size()), &st, nullptr) != SQLITE_OK)
        return fail();
    int index = 1;
    if (filter.masterID)
        sqlite3_bind_int64(st, index++, *filter.masterID);
    const QByteArray from = dbDateText(filter.from).toUtf8();
    const QByteArray to = dbDateText(filter.to.addDays(1)).toUtf8();
    if (filter.from.isValid())
        sqlite3_bind_text(st, index++, from.constData(), int(from.size()), SQLITE_STATIC);
    if (filter.to.isValid())
        sqlite3_bind_text(st, index++, to.constData(), int(to.size()), SQLITE_STATIC);
    std::vector<HistoryChange> result;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        HistoryChange c;
        c.lngID = sqlite3_column_int64(st, 0);
        c.datChanged = QDateTime::fromString(columnValue(st, 1).toString(),
                                             QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        c.strTable = columnValue(st, 2).toString();
        c.lngRowID = sqlite3_column_int64(st, 3);
        c.lngMasterID = sqlite3_column_int64(st, 4);
        c.strAction = columnValue(st, 5).toString();
        c.strOrigin = columnValue(st, 6).toString();
        c.lineDate = columnValue(st, 7);
        c.lineItem = columnValue(st, 8);
        c.column = columnValue(st, 9).toString();
        c.before = columnValue(st, 10);
        c.after = columnValue(st, 11);
        result.push_back(std::move(c));
    }
    if (rc != SQLITE_DONE)
        return fail();
    sqlite3_finalize(st);
    changes = std::move(result);
    return true;
}

bool gUndoHistoryGroup(Database& db, qint64 group, const QString& origin, UndoOutcome& outcome,
                       qint64* newGroup, std::vector<std::pair<QString, qint64>>* rows) {
    const QString proc = QStringLiteral("gUndoHistoryGroup");
    outcome = UndoOutcome::Nothing;
    // A group's rows follow its first one; they are undone newest first.
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT lngID, strTable, lngRowID, strAction, strOld "
                                         "FROM T_HISTORY WHERE lngID >= ? AND lngGroup = ? "
                                         "ORDER BY lngID DESC"),
                          {group, group}, proc))
        return false;
    std::vector<GroupRow> groupRows;
    for (const QVariantList& row : rs.rows())
        groupRows.push_back({row.value(0).toLongLong(), row.value(1).toString(),
                             row.value(2).toLongLong(), row.value(3).toString(),
                             row.value(4).toString()});
    if (groupRows.empty())
        return true;
    const qint64 last = groupRows.front().id;

    // Refused as a whole when any of its rows changed afterwards.
    for (const GroupRow& r : groupRows) {
        if (keyColumnOf(r.table).isEmpty()) {
            gProcError(proc, QStringLiteral("table=") + r.table);
            return false;
        }
        ResultSet later(db);
        if (!later.openRecordSet(QStringLiteral("SELECT lngID FROM T_HISTORY WHERE lngRowID = ? "
                                                "AND strTable = ? AND lngID > ? LIMIT 1"),
                                 {r.rowID, r.table, last}, proc))
            return false;
        if (later.recordCount() > 0) {
            outcome = UndoOutcome::Changed;
            return true;
        }
    }

    HistoryScope scope(db, origin);
    if (!scope.ok())
        return false;
    QHash<QString, QSet<QString>> known;
    std::vector<std::pair<QString, qint64>> touched;
    for (const GroupRow& r : groupRows) {
        if (!known.contains(r.table) && !tableColumns(db, r.table, known[r.table]))
            return false;
        bool missing = false;
        if (!undoRow(db, r, known[r.table], missing))
            return false;
        if (missing) {
            // Written meanwhile by something the history did not see: left alone.
            outcome = UndoOutcome::Changed;
            return true;
        }
        touched.emplace_back(r.table, r.rowID);
    }
    if (!scope.commit())
        return false;
    outcome = UndoOutcome::Done;
    if (newGroup)
        *newGroup = scope.group();
    if (rows)
        *rows = std::move(touched);
    return true;
}
