#include "store/History.h"
#include "store/ChangeNotices.h"

#include "base/ErrorLog.h"
#include "base/Services.h"
#include "store/EngineSql.h"

#include <QHash>
#include <QSet>
#include <string>
#include <string_view>

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
    if (!rs.openRecordSet(EngineSql::tableColumnsQuery(db.isServer()), {table},
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

// The rows of a group in one table that are no longer as the group left them (the newest entry
// of a row in the group says how): a deleted row that is back; an inserted or updated row that
// is gone or where a recorded column differs from its value after (an update records only the
// columns it changed, the others keep their value before). The line-check mark and the master's
// update time are no change of the books and are not compared. Values are compared as the
// history writes them (through json_object), so a number reads the same on both sides.
bool rowsNotAsLeft(Database& db, qint64 group, const QString& table, const QSet<QString>& known,
                   int& count) {
    const QString key = keyColumnOf(table);
    QStringList same;
    for (const QString& c : known) {
        if (c == key || c == QLatin1String("blnChange") || c == QLatin1String("datLastUpdate"))
            continue;
        const QString path = QStringLiteral("'$.") + c + QLatin1Char('\'');
        same << QStringLiteral("(json_type(coalesce(h.strOld, h.strNew), ") + path +
                    QStringLiteral(") IS NULL OR json_extract(json_object('v', t.") + quoted(c) +
                    QStringLiteral("), '$.v') IS CASE WHEN json_type(h.strNew, ") + path +
                    QStringLiteral(") IS NULL THEN json_extract(h.strOld, ") + path +
                    QStringLiteral(") ELSE json_extract(h.strNew, ") + path +
                    QStringLiteral(") END)");
    }
    same.sort(); // a stable text, whatever the order of the set
    const QString sql =
        QStringLiteral("SELECT count(*) FROM (SELECT lngRowID, strAction, strOld, strNew, "
                       "max(lngID) FROM T_HISTORY WHERE lngID >= ?1 AND lngGroup = ?1 AND "
                       "strTable = ?2 GROUP BY lngRowID) h LEFT JOIN ") +
        table + QStringLiteral(" t ON t.") + key +
        QStringLiteral(" = h.lngRowID WHERE NOT CASE WHEN h.strAction = 'D' THEN t.") + key +
        QStringLiteral(" IS NULL ELSE t.") + key + QStringLiteral(" IS NOT NULL") +
        (same.isEmpty() ? QString()
                        : QStringLiteral(" AND ") + same.join(QStringLiteral(" AND "))) +
        QStringLiteral(" END");
    ResultSet rs(db);
    if (!rs.openRecordSet(sql, {group, table}, QStringLiteral("gUndoHistoryGroup")) ||
        !rs.moveFirst())
        return false;
    count = int(rs.lng(0));
    return true;
}

// One member of a flat JSON object as SQLite's json_object writes it ({"key":value,...}, no
// spaces, scalar values): the key and the value's text as written ("null", a number, or a
// string with its quotes).
struct JsonMember {
    std::string_view key;
    std::string_view value;
};

// Splits such an object into its members; an empty text (no row) gives none. False for text
// that is not such an object.
bool parseFlatObject(std::string_view json, std::vector<JsonMember>& members) {
    members.clear();
    if (json.empty())
        return true;
    std::size_t i = 0;
    const std::size_t n = json.size();
    if (json[i++] != '{')
        return false;
    if (i < n && json[i] == '}')
        return true;
    while (i < n) {
        if (json[i] != '"')
            return false;
        const std::size_t keyStart = ++i;
        while (i < n && json[i] != '"')
            ++i;
        if (i + 1 >= n || json[i + 1] != ':')
            return false;
        const std::string_view key = json.substr(keyStart, i - keyStart);
        i += 2;
        const std::size_t valueStart = i;
        if (i < n && json[i] == '"') {
            for (++i; i < n && json[i] != '"'; ++i)
                if (json[i] == '\\')
                    ++i;
            ++i;
        } else {
            while (i < n && json[i] != ',' && json[i] != '}')
                ++i;
        }
        if (i >= n)
            return false;
        members.push_back({key, json.substr(valueStart, i - valueStart)});
        if (json[i] == '}')
            return i + 1 == n;
        ++i; // the comma
    }
    return false;
}

std::string_view memberValue(const std::vector<JsonMember>& members, std::string_view key) {
    for (const JsonMember& m : members)
        if (m.key == key)
            return m.value;
    return "null";
}

// The value of a member's text: NULL, an integer, a real or a text.
QVariant jsonValue(std::string_view v) {
    if (v.empty() || v == "null")
        return {};
    if (v.front() != '"') {
        const QByteArray number(v.data(), qsizetype(v.size()));
        if (number.contains('.') || number.contains('e') || number.contains('E'))
            return QVariant(number.toDouble());
        return QVariant(number.toLongLong());
    }
    const QString raw = QString::fromUtf8(v.data() + 1, qsizetype(v.size()) - 2);
    if (v.find('\\') == std::string_view::npos)
        return raw;
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= raw.size()) {
            out += c;
            continue;
        }
        const QChar e = raw.at(++i);
        switch (e.unicode()) {
        case 'b':
            out += QLatin1Char('\b');
            break;
        case 'f':
            out += QLatin1Char('\f');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'u':
            out += QChar(raw.mid(i + 1, 4).toUShort(nullptr, 16));
            i += 4;
            break;
        default: // '"', '\\', '/'
            out += e;
        }
    }
    return out;
}

// "YYYY-MM-DD HH:MM:SS" as stored; an invalid time for anything else.
QDateTime timeOf(std::string_view t) {
    const auto number = [&t](std::size_t at, std::size_t digits) {
        int v = 0;
        for (std::size_t i = at; i < at + digits; ++i) {
            if (i >= t.size() || t[i] < '0' || t[i] > '9')
                return -1;
            v = v * 10 + (t[i] - '0');
        }
        return v;
    };
    if (t.size() != 19)
        return {};
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2));
    return date.isValid() && time.isValid() ? QDateTime(date, time) : QDateTime();
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

namespace {

// Sets the one row of T_HISTORY_ORIGIN (origin, group, time) that the triggers read, adding it
// when the file has none.
bool writeOrigin(Database& db, const QVariantList& values, const QString& proc) {
    return db.executeSQL(
        QStringLiteral(
            "INSERT INTO T_HISTORY_ORIGIN (lngID, strOrigin, lngGroup, datNow, blnQuiet) "
            "VALUES (1, ?, ?, ?, ?) ON CONFLICT (lngID) DO UPDATE SET "
            "strOrigin = excluded.strOrigin, lngGroup = excluded.lngGroup, "
            "datNow = excluded.datNow, blnQuiet = excluded.blnQuiet"),
        values, proc);
}

} // namespace

HistoryScope::HistoryScope(Database& db, const QString& origin) : m_db(db), m_tx(db) {
    const QString proc = QStringLiteral("HistoryScope");
    if (!m_tx.ok())
        return;
    ResultSet rs(db);
    if (!rs.openRecordSet(
            QStringLiteral("SELECT coalesce(o.strOrigin, 'other') AS strOrigin, o.lngGroup, "
                           "o.datNow, o.blnQuiet, ") +
                EngineSql::lastHistoryNumber(db.isServer()) +
                QStringLiteral(" AS lngSeq FROM (SELECT 1 AS one) AS x LEFT JOIN "
                               "T_HISTORY_ORIGIN o ON o.lngID = 1"),
            {}, proc) ||
        !rs.moveFirst())
        return;
    m_previous = {rs.value(0), rs.value(1), rs.value(2), rs.value(3)};
    m_group = rs.lng(4) + 1;
    m_values = {origin, m_group, dbDateTimeText(svc().clock().now()), QVariant()};
    m_ok = writeOrigin(db, m_values, proc);
}

bool HistoryScope::quietLines() {
    if (!m_ok)
        return false;
    m_values[3] = 1;
    return writeOrigin(m_db, m_values, QStringLiteral("HistoryScope"));
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
    // On a server the other programs hear which ledgers and suppliers changed, when the
    // transaction commits (a rollback sends nothing): a moved line names its supplier before as
    // well, an import's entry (no supplier) names the whole ledger as supplier 0.
    if (m_db.isServer() &&
        !m_db.executeSQL(
            QStringLiteral(
                "SELECT pg_notify('%1', t || ' ' || m) FROM (SELECT strTable AS t, "
                "coalesce(lngMasterID, 0)::text AS m FROM T_HISTORY WHERE lngID >= ?1 AND "
                "lngGroup = ?1 UNION SELECT strTable, strOld::json ->> 'lngMasterID' FROM "
                "T_HISTORY WHERE lngID >= ?1 AND lngGroup = ?1 AND strAction = 'U') AS c "
                "WHERE m IS NOT NULL AND t IN ('T_DATA1', 'T_DATA2', 'T_MASTER')")
                .arg(QLatin1String(kChangeChannel)),
            {m_group}, proc))
        return false;
    QVariantList previous = m_previous;
    if (!writeOrigin(m_db, previous, proc))
        return false;
    return m_tx.commit();
}

bool gReadHistoryChanges(Database& db, const HistoryFilter& filter,
                         std::vector<HistoryChange>& changes) {
    const QString proc = QStringLiteral("gReadHistoryChanges");
    // The entries with their rows before and after. A row deleted and inserted again in one step
    // (the supplier master is saved so) is one update: the insertion takes the deletion's row
    // before, and the deletion is not listed on its own. The columns are compared here rather
    // than with SQLite's JSON functions, which parse an object again for every column.
    const QString pair =
        QStringLiteral(" AND x.strTable = h.strTable AND x.lngRowID = h.lngRowID AND "
                       "x.lngGroup = h.lngGroup");
    QString sql =
        QStringLiteral("SELECT h.lngID, h.datChanged, h.strTable, h.lngRowID, h.lngMasterID, "
                       "CASE WHEN p.lngID IS NULL THEN h.strAction ELSE 'U' END, h.strOrigin, "
                       "coalesce(p.strOld, h.strOld), h.strNew FROM T_HISTORY h "
                       "LEFT JOIN T_HISTORY p ON h.strAction = 'I' AND p.lngID = h.lngID - 1 AND "
                       "p.strAction = 'D'") +
        QString(pair).replace(QLatin1String("x."), QLatin1String("p.")) +
        QStringLiteral(" LEFT JOIN T_HISTORY n ON h.strAction = 'D' AND n.lngID = h.lngID + 1 "
                       "AND n.strAction = 'I'") +
        QString(pair).replace(QLatin1String("x."), QLatin1String("n.")) +
        QStringLiteral(" WHERE n.lngID IS NULL");
    if (filter.masterID)
        sql += QStringLiteral(" AND h.lngMasterID = ?");
    if (filter.from.isValid())
        sql += QStringLiteral(" AND h.datChanged >= ?");
    if (filter.to.isValid())
        sql += QStringLiteral(" AND h.datChanged < ?");
    sql += filter.masterID ? QStringLiteral(" ORDER BY h.datChanged, h.lngID")
                           : QStringLiteral(" ORDER BY h.lngID");
    RowCursor st(db);
    QVariantList params;
    if (filter.masterID)
        params << qint64(*filter.masterID);
    if (filter.from.isValid())
        params << dbDateText(filter.from);
    if (filter.to.isValid())
        params << dbDateText(filter.to.addDays(1));
    auto fail = [&](const QString& why = {}) {
        if (!why.isEmpty()) {
            gSetLastError(0, QStringLiteral("tovaki"), why);
            gProcError(proc, QStringLiteral("SQL=") + sql);
        }
        return false;
    };
    if (!st.open(sql, params, proc))
        return false;
    std::vector<HistoryChange> result;
    std::string lastWhen;
    QDateTime lastTime;
    std::vector<JsonMember> before;
    std::vector<JsonMember> after;
    QHash<QByteArray, QString> names; // shared texts of the few table, origin and column names
    const auto shared = [&names](const char* p, int n) {
        const QByteArray key(p, n);
        auto it = names.find(key);
        if (it == names.end())
            it = names.insert(key, QString::fromUtf8(key));
        return *it;
    };
    const auto text = [&shared, &st](int col) {
        const std::string_view t = st.text(col);
        return shared(t.data(), int(t.size()));
    };
    while (st.next()) {
        const auto json = [&st](int col) { return st.text(col); };
        if (!parseFlatObject(json(7), before) || !parseFlatObject(json(8), after))
            return fail(QStringLiteral("history entry %1 holds no row").arg(st.int64(0)));
        const std::vector<JsonMember>& row = after.empty() ? before : after;
        HistoryChange c;
        c.lngID = st.int64(0);
        if (st.isNull(3)) {
            // An import's summary entry, or its undo's.
            HistoryImport import;
            import.file = jsonValue(memberValue(row, "strFile")).toString();
            import.rows = jsonValue(memberValue(row, "lngRows")).toLongLong();
            import.sha256 = jsonValue(memberValue(row, "strSha256")).toString();
            import.ids = jsonValue(memberValue(row, "strIDs")).toString();
            import.undoOf = jsonValue(memberValue(row, "lngImport")).toLongLong();
            c.import = std::move(import);
            c.column = kImportColumn;
        }
        // Neighbouring entries mostly share their time; each new one is read by hand (the
        // general date parser costs more than the rest of the row).
        const std::string_view when = json(1);
        if (when != lastWhen) {
            lastWhen.assign(when);
            lastTime = timeOf(when);
        }
        c.datChanged = lastTime;
        c.strTable = text(2);
        c.lngRowID = st.int64(3);
        c.lngMasterID = st.int64(4);
        c.strAction = text(5);
        c.strOrigin = text(6);
        // An update's row after holds only the columns that changed: the line's date and item
        // come from after, else from before.
        for (const std::vector<JsonMember>* side : {&before, &after}) {
            for (const JsonMember& m : *side) {
                if (m.key == "date1")
                    c.lineDate = jsonValue(m.value);
                else if (m.key == "strItem")
                    c.lineItem = jsonValue(m.value);
            }
        }
        if (c.import) {
            result.push_back(std::move(c));
            continue;
        }
        // Columns in the row's order: for an update those after (the ones that changed), for an
        // insert or a deletion every column of its one side that holds a value (an empty text is
        // none).
        for (const JsonMember& m : row) {
            if (m.key == "lngID" || m.key == "blnChange" || m.key == "datLastUpdate")
                continue;
            // A row added or removed names its supplier already.
            if (m.key == "lngMasterID" && c.strAction != QLatin1String("U"))
                continue;
            // Both sides list the same columns in the same order, as a rule.
            const std::size_t at = std::size_t(&m - row.data());
            const std::string_view old = at < before.size() && before[at].key == m.key
                                             ? before[at].value
                                             : memberValue(before, m.key);
            const std::string_view now = at < after.size() && after[at].key == m.key
                                             ? after[at].value
                                             : memberValue(after, m.key);
            const auto blank = [](std::string_view v) { return v == "null" || v == "\"\""; };
            if (old == now || (blank(old) && blank(now)))
                continue;
            HistoryChange one = c;
            one.column = shared(m.key.data(), int(m.key.size()));
            one.before = jsonValue(old);
            one.after = jsonValue(now);
            result.push_back(std::move(one));
        }
    }
    if (st.failed())
        return false;
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

    HistoryScope scope(db, origin);
    if (!scope.ok())
        return false;
    QHash<QString, QSet<QString>> known;
    // Refused as a whole when any of its rows is no longer as the group left it. Comparing the
    // rows themselves rather than looking for later entries lets the steps of a window be undone
    // one after the other: a later step undone since leaves the row as this group left it,
    // although both it and its undo have entries of their own.
    for (const GroupRow& r : groupRows) {
        if (known.contains(r.table))
            continue;
        if (keyColumnOf(r.table).isEmpty()) {
            gProcError(proc, QStringLiteral("table=") + r.table);
            return false;
        }
        int changed = 0;
        if (!tableColumns(db, r.table, known[r.table]) ||
            !rowsNotAsLeft(db, group, r.table, known[r.table], changed))
            return false;
        if (changed > 0) {
            outcome = UndoOutcome::Changed;
            return true;
        }
    }
    std::vector<std::pair<QString, qint64>> touched;
    for (const GroupRow& r : groupRows) {
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

QString gHistoryIdRanges(const std::vector<qint64>& ids) {
    QStringList parts;
    for (std::size_t i = 0; i < ids.size();) {
        std::size_t j = i;
        while (j + 1 < ids.size() && ids[j + 1] == ids[j] + 1)
            ++j;
        parts << QStringLiteral("%1-%2").arg(ids[i]).arg(ids[j]);
        i = j + 1;
    }
    return parts.join(QLatin1Char(','));
}

bool gParseHistoryIdRanges(const QString& text, std::vector<std::pair<qint64, qint64>>& ranges) {
    ranges.clear();
    if (text.isEmpty())
        return true;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const qsizetype dash = part.indexOf(QLatin1Char('-'));
        bool ok1 = false;
        bool ok2 = false;
        const qint64 first = part.left(dash).toLongLong(&ok1);
        const qint64 last = part.mid(dash + 1).toLongLong(&ok2);
        if (dash <= 0 || !ok1 || !ok2 || first > last)
            return false;
        ranges.emplace_back(first, last);
    }
    return true;
}

namespace {

bool writeSummary(Database& db, const QString& table, const QString& action,
                  const HistoryImport& import, const QString& proc) {
    // The origin, group and time of the open scope, as the triggers take them.
    const QString object =
        QStringLiteral("json_object('strFile', ?2, 'lngRows', ?3, 'strSha256', ?4, 'strIDs', ?5") +
        (import.undoOf != 0 ? QStringLiteral(", 'lngImport', ?6)") : QStringLiteral(")"));
    const bool undo = action == QLatin1String("D");
    QVariantList values{table, import.file, import.rows, import.sha256, import.ids};
    if (import.undoOf != 0)
        values << import.undoOf;
    return db.executeSQL(
        QStringLiteral("INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, "
                       "strAction, strOrigin, lngGroup, strOld, strNew) SELECT "
                       "coalesce(o.datNow, datetime('now', 'localtime')), ?1, NULL, NULL, '") +
            action + QStringLiteral("', coalesce(o.strOrigin, 'other'), o.lngGroup, ") +
            (undo ? object + QStringLiteral(", NULL") : QStringLiteral("NULL, ") + object) +
            QStringLiteral(" FROM (SELECT 1) LEFT JOIN T_HISTORY_ORIGIN o ON o.lngID = 1"),
        values, proc);
}

} // namespace

bool gWriteImportEntry(Database& db, const QString& table, const HistoryImport& import) {
    const QString proc = QStringLiteral("gWriteImportEntry");
    if (table != QLatin1String("T_DATA1") && table != QLatin1String("T_DATA2")) {
        gProcError(proc, QStringLiteral("table=") + table);
        return false;
    }
    return writeSummary(db, table, QStringLiteral("I"), import, proc);
}

bool gUndoImport(Database& db, qint64 entryID, ImportUndoOutcome& outcome, qint64* removed) {
    const QString proc = QStringLiteral("gUndoImport");
    outcome = ImportUndoOutcome::Changed;
    if (removed)
        *removed = 0;
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT strTable, json_extract(strNew, '$.strFile'), "
                                         "json_extract(strNew, '$.lngRows'), "
                                         "json_extract(strNew, '$.strSha256'), "
                                         "json_extract(strNew, '$.strIDs') FROM T_HISTORY "
                                         "WHERE lngID = ? AND lngRowID IS NULL AND "
                                         "strAction = 'I'"),
                          {entryID}, proc))
        return false;
    if (!rs.moveFirst()) {
        gProcError(proc, QStringLiteral("no import entry %1").arg(entryID));
        return false;
    }
    const QString table = rs.value(0).toString();
    HistoryImport import{rs.value(1).toString(), rs.value(2).toLongLong(), rs.value(3).toString(),
                         rs.value(4).toString(), entryID};
    std::vector<std::pair<qint64, qint64>> ranges;
    if (keyColumnOf(table) != QLatin1String("lngID") ||
        !gParseHistoryIdRanges(import.ids, ranges)) {
        gProcError(proc, QStringLiteral("entry %1 names no lines").arg(entryID));
        return false;
    }
    ResultSet undone(db);
    if (!undone.openRecordSet(QStringLiteral("SELECT lngID FROM T_HISTORY WHERE lngID > ?1 AND "
                                             "strTable = ?2 AND lngRowID IS NULL AND "
                                             "strAction = 'D' AND "
                                             "json_extract(strOld, '$.lngImport') = ?1"),
                              {entryID, table}, proc))
        return false;
    if (undone.recordCount() > 0) {
        outcome = ImportUndoOutcome::AlreadyUndone;
        return true;
    }
    // A line is as the import left it while it is there and no entry followed the import's
    // (every later change of a line, by any writer, is recorded).
    for (const auto& [first, last] : ranges) {
        ResultSet later(db);
        ResultSet there(db);
        if (!later.openRecordSet(QStringLiteral("SELECT count(*) FROM T_HISTORY WHERE lngRowID "
                                                "BETWEEN ? AND ? AND lngID > ? AND strTable = ?"),
                                 {first, last, entryID, table}, proc) ||
            !later.moveFirst() ||
            !there.openRecordSet(QStringLiteral("SELECT count(*) FROM ") + table +
                                     QStringLiteral(" WHERE lngID BETWEEN ? AND ?"),
                                 {first, last}, proc) ||
            !there.moveFirst())
            return false;
        if (later.lng(0) > 0 || there.lng(0) != last - first + 1)
            return true;
    }
    HistoryScope scope(db, HistoryOrigin::Undo);
    if (!scope.ok() || !scope.quietLines())
        return false;
    qint64 count = 0;
    for (const auto& [first, last] : ranges) {
        if (!db.executeSQL(QStringLiteral("DELETE FROM ") + table +
                               QStringLiteral(" WHERE lngID BETWEEN ? AND ?"),
                           {first, last}, proc))
            return false;
        count += db.changes();
    }
    if (!writeSummary(db, table, QStringLiteral("D"), import, proc) || !scope.commit())
        return false;
    outcome = ImportUndoOutcome::Done;
    if (removed)
        *removed = count;
    return true;
}
