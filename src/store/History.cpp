#include "store/History.h"
#include "store/ChangeNotices.h"

#include "base/ErrorLog.h"
#include "base/Services.h"
#include "base/SystemFiles.h"
#include "store/EngineSql.h"

#include <QHash>
#include <QSet>
#include <QSysInfo>
#include <algorithm>
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

// The members of an import's entry (its row after, or its undo's row before).
HistoryImport importOf(const std::vector<JsonMember>& row) {
    HistoryImport import;
    import.file = jsonValue(memberValue(row, "strFile")).toString();
    import.rows = jsonValue(memberValue(row, "lngRows")).toLongLong();
    import.sha256 = jsonValue(memberValue(row, "strSha256")).toString();
    import.ids = jsonValue(memberValue(row, "strIDs")).toString();
    import.undoOf = jsonValue(memberValue(row, "lngImport")).toLongLong();
    return import;
}

// A text as a JSON string, escaped as SQLite's json_object escapes it.
void appendJsonString(QString& out, const QString& text) {
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
        case '\\':
            out += QLatin1Char('\\');
            out += c;
            break;
        case '\b':
            out += QLatin1String("\\b");
            break;
        case '\f':
            out += QLatin1String("\\f");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
}

// An import's entry as the JSON object the history keeps ({"strFile":...}, no spaces).
QString importObject(const HistoryImport& import) {
    QString out = QStringLiteral("{\"strFile\":");
    appendJsonString(out, import.file);
    out += QStringLiteral(",\"lngRows\":%1,\"strSha256\":").arg(import.rows);
    appendJsonString(out, import.sha256);
    out += QLatin1String(",\"strIDs\":");
    appendJsonString(out, import.ids);
    if (import.undoOf != 0)
        out += QStringLiteral(",\"lngImport\":%1").arg(import.undoOf);
    return out + QLatin1Char('}');
}

const QString kUndoProc = QStringLiteral("gUndoHistoryGroup");

// The columns of a covered table, their names in lower case (as a server gives them). A key of a
// recorded row reaches SQL only when it names one of them.
bool tableColumns(Database& db, const QString& table, QSet<QString>& columns) {
    ResultSet rs(db);
    if (!rs.openRecordSet(EngineSql::tableColumnsQuery(db.isServer()), {table}, kUndoProc))
        return false;
    columns.clear();
    for (const QVariantList& row : rs.rows())
        columns.insert(row.value(0).toString().toLower());
    return !columns.isEmpty();
}

struct GroupRow {
    qint64 id;
    QString table;
    qint64 rowID;
    QString action;
    QByteArray oldJson;
    QByteArray newJson;
};

// The members of one side of a recorded change that name columns of its table, in the row's
// order, with their values. A name is used in SQL as the row holds it (both engines take names
// in any case). False for a text that is no recorded row.
bool recordedValues(const QByteArray& json, const QSet<QString>& known,
                    std::vector<std::pair<QString, QVariant>>& values) {
    std::vector<JsonMember> members;
    if (!parseFlatObject(std::string_view(json.constData(), std::size_t(json.size())), members))
        return false;
    values.clear();
    for (const JsonMember& m : members) {
        const QString name = QString::fromUtf8(m.key.data(), qsizetype(m.key.size()));
        if (known.contains(name.toLower()))
            values.emplace_back(name, jsonValue(m.value));
    }
    return true;
}

// Writes the values before of one recorded change back.
bool undoRow(Database& db, const GroupRow& r, const QSet<QString>& known, bool& missing) {
    const QString key = keyColumnOf(r.table);
    missing = false;
    if (r.action == QLatin1String("I")) {
        if (!db.executeSQL(QStringLiteral("DELETE FROM ") + r.table + QStringLiteral(" WHERE ") +
                               key + QStringLiteral("=?"),
                           {r.rowID}, kUndoProc))
            return false;
        missing = db.changes() != 1;
        return true;
    }
    std::vector<std::pair<QString, QVariant>> columns;
    if (!recordedValues(r.oldJson, known, columns)) {
        gProcError(kUndoProc, QStringLiteral("history entry %1 holds no row").arg(r.id));
        return false;
    }
    QStringList names;
    QStringList marks;
    QVariantList values;
    for (const auto& [name, value] : columns) {
        if (r.action == QLatin1String("U") && name.compare(key, Qt::CaseInsensitive) == 0)
            continue;
        names << name;
        marks << QStringLiteral("?");
        values << value;
    }
    if (r.action == QLatin1String("U")) {
        if (names.isEmpty())
            return true;
        for (QString& name : names)
            name += QStringLiteral("=?");
        values << r.rowID;
        if (!db.executeSQL(QStringLiteral("UPDATE ") + r.table + QStringLiteral(" SET ") +
                               names.join(QLatin1Char(',')) + QStringLiteral(" WHERE ") + key +
                               QStringLiteral("=?"),
                           values, kUndoProc))
            return false;
        missing = db.changes() != 1;
        return true;
    }
    // A deleted row comes back with its own number.
    return db.executeSQL(QStringLiteral("INSERT INTO ") + r.table + QStringLiteral(" (") +
                             names.join(QLatin1Char(',')) + QStringLiteral(") VALUES (") +
                             marks.join(QLatin1Char(',')) + QLatin1Char(')'),
                         values, kUndoProc);
}

// A stored value as read: NULL, an integer, a real or a text.
QVariant storedValue(const RowCursor& cursor, int column) {
    switch (cursor.type(column)) {
    case RowCursor::Type::Null:
        return {};
    case RowCursor::Type::Integer:
        return cursor.int64(column);
    case RowCursor::Type::Real:
        return cursor.real(column);
    default:
        return cursor.qtext(column);
    }
}

// Whether a stored value is the one the history recorded: both none, the same number (an integer
// and a real by their value), or the same text.
bool sameValue(const QVariant& stored, const QVariant& recorded) {
    if (stored.isNull() || recorded.isNull())
        return stored.isNull() && recorded.isNull();
    const auto number = [](const QVariant& v) {
        return v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double;
    };
    if (number(stored) != number(recorded))
        return false;
    if (!number(stored))
        return stored.toString() == recorded.toString();
    if (stored.typeId() == QMetaType::LongLong && recorded.typeId() == QMetaType::LongLong)
        return stored.toLongLong() == recorded.toLongLong();
    return stored.toDouble() == recorded.toDouble();
}

// Whether a row of the group in one table is no longer as the group left it (the newest entry of
// a row in the group says how): a deleted row that is back; an inserted or updated row that is
// gone or where a recorded column differs from its value after (an update records only the
// columns it changed, the others keep their value before). The line-check mark and the master's
// update time are no change of the books and are not compared. The rows are read once, in the
// undo's transaction; on a server they stay locked until it ends, so no other program changes
// them between this comparison and the undo.
bool rowsNotAsLeft(Database& db, qint64 group, const QString& table, const QSet<QString>& known,
                   const std::vector<GroupRow>& groupRows, bool& changed) {
    const QString key = keyColumnOf(table).toLower();
    QStringList columns(known.begin(), known.end());
    columns.sort(); // a stable text, whatever the order of the set
    const qsizetype keyAt = columns.indexOf(key);
    if (keyAt < 0) {
        gProcError(kUndoProc, QStringLiteral("table=") + table);
        return false;
    }
    RowCursor cursor(db);
    if (!cursor.open(QStringLiteral("SELECT ") + columns.join(QLatin1Char(',')) +
                         QStringLiteral(" FROM ") + table + QStringLiteral(" WHERE ") + key +
                         QStringLiteral(" IN (SELECT lngRowID FROM T_HISTORY WHERE lngID >= ? "
                                        "AND lngGroup = ? AND strTable = ?)") +
                         EngineSql::lockRowsClause(db.isServer()),
                     {group, group, table}, kUndoProc))
        return false;
    QHash<qint64, QVariantList> rows;
    while (cursor.next()) {
        QVariantList values;
        for (int c = 0; c < columns.size(); ++c)
            values << storedValue(cursor, c);
        rows.insert(values.at(keyAt).toLongLong(), values);
    }
    if (cursor.failed())
        return false;
    changed = false;
    QSet<qint64> seen;
    std::vector<JsonMember> before;
    std::vector<JsonMember> after;
    for (const GroupRow& r : groupRows) { // newest first
        if (r.table != table || seen.contains(r.rowID))
            continue;
        seen.insert(r.rowID);
        const auto row = rows.constFind(r.rowID);
        if (r.action == QLatin1String("D")) {
            changed = row != rows.constEnd();
        } else if (row == rows.constEnd()) {
            changed = true;
        } else {
            const auto view = [](const QByteArray& b) {
                return std::string_view(b.constData(), std::size_t(b.size()));
            };
            if (!parseFlatObject(view(r.oldJson), before) ||
                !parseFlatObject(view(r.newJson), after)) {
                gProcError(kUndoProc, QStringLiteral("history entry %1 holds no row").arg(r.id));
                return false;
            }
            for (const JsonMember& m : before.empty() ? after : before) {
                const QString name = QString::fromUtf8(m.key.data(), qsizetype(m.key.size()));
                const qsizetype at = columns.indexOf(name.toLower());
                if (at < 0 || at == keyAt || m.key == "blnChange" || m.key == "datLastUpdate")
                    continue;
                // The value after: the update's, else the row's before.
                const auto now = std::find_if(after.begin(), after.end(),
                                              [&m](const JsonMember& a) { return a.key == m.key; });
                if (!sameValue(row->at(at), jsonValue(now != after.end() ? now->value : m.value))) {
                    changed = true;
                    break;
                }
            }
        }
        if (changed)
            return true;
    }
    return true;
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

// Sets the one row of T_HISTORY_ORIGIN (origin, group, time, quiet lines, user, PC) that the
// triggers read, adding it when the file has none.
bool writeOrigin(Database& db, const QVariantList& values, const QString& proc) {
    return db.executeSQL(
        QStringLiteral("INSERT INTO T_HISTORY_ORIGIN (lngID, strOrigin, lngGroup, datNow, "
                       "blnQuiet, strUser, strHost) VALUES (1, ?, ?, ?, ?, ?, ?) "
                       "ON CONFLICT (lngID) DO UPDATE SET "
                       "strOrigin = excluded.strOrigin, lngGroup = excluded.lngGroup, "
                       "datNow = excluded.datNow, blnQuiet = excluded.blnQuiet, "
                       "strUser = excluded.strUser, strHost = excluded.strHost"),
        values, proc);
}

HistoryIdentity& identity() {
    static HistoryIdentity named{gSystemLoginName(), QSysInfo::machineHostName()};
    return named;
}

// A name as the origin row holds it: NULL for none.
QVariant nameOrNull(const QString& name) {
    return name.isEmpty() ? QVariant() : QVariant(name);
}

} // namespace

const HistoryIdentity& gHistoryIdentity() {
    return identity();
}

void gSetHistoryIdentity(const HistoryIdentity& named) {
    identity() = named;
}

HistoryScope::HistoryScope(Database& db, const QString& origin) : m_db(db), m_tx(db) {
    const QString proc = QStringLiteral("HistoryScope");
    if (!m_tx.ok())
        return;
    ResultSet rs(db);
    if (!rs.openRecordSet(
            QStringLiteral("SELECT coalesce(o.strOrigin, 'other') AS strOrigin, o.lngGroup, "
                           "o.datNow, o.blnQuiet, o.strUser, o.strHost, ") +
                EngineSql::lastHistoryNumber(db.isServer()) +
                QStringLiteral(" AS lngSeq FROM (SELECT 1 AS one) AS x LEFT JOIN "
                               "T_HISTORY_ORIGIN o ON o.lngID = 1"),
            {}, proc) ||
        !rs.moveFirst())
        return;
    m_previous = {rs.value(0), rs.value(1), rs.value(2), rs.value(3), rs.value(4), rs.value(5)};
    m_group = rs.lng(6) + 1;
    m_values = {origin,
                m_group,
                dbDateTimeText(svc().clock().now()),
                QVariant(),
                nameOrNull(identity().user),
                nameOrNull(identity().host)};
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
                       "coalesce(p.strOld, h.strOld), h.strNew, h.strUser, h.strHost "
                       "FROM T_HISTORY h "
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
            c.import = importOf(row);
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
        c.strUser = text(9);
        c.strHost = text(10);
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
    outcome = UndoOutcome::Nothing;
    // A group's rows follow its first one; they are undone newest first.
    ResultSet rs(db);
    if (!rs.openRecordSet(QStringLiteral("SELECT lngID, strTable, lngRowID, strAction, strOld, "
                                         "strNew FROM T_HISTORY WHERE lngID >= ? AND "
                                         "lngGroup = ? ORDER BY lngID DESC"),
                          {group, group}, kUndoProc))
        return false;
    std::vector<GroupRow> groupRows;
    for (const QVariantList& row : rs.rows())
        groupRows.push_back({row.value(0).toLongLong(), row.value(1).toString(),
                             row.value(2).toLongLong(), row.value(3).toString(),
                             row.value(4).toString().toUtf8(), row.value(5).toString().toUtf8()});
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
            gProcError(kUndoProc, QStringLiteral("table=") + r.table);
            return false;
        }
        bool changed = false;
        if (!tableColumns(db, r.table, known[r.table]) ||
            !rowsNotAsLeft(db, group, r.table, known[r.table], groupRows, changed))
            return false;
        if (changed) {
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

// The one entry of an import (action I) or of its undo (D), under the origin, group and time of
// the open scope as the triggers take them.
bool writeSummary(Database& db, const QString& table, const QString& action,
                  const HistoryImport& import, const QString& proc) {
    const QString object = importObject(import);
    const bool undo = action == QLatin1String("D");
    return db.executeSQL(
        QStringLiteral("INSERT INTO T_HISTORY (datChanged, strTable, lngRowID, lngMasterID, "
                       "strAction, strOrigin, lngGroup, strOld, strNew) SELECT "
                       "coalesce(o.datNow, ?), ?, NULL, NULL, ?, coalesce(o.strOrigin, 'other'), "
                       "o.lngGroup, ?, ? FROM (SELECT 1 AS one) AS x LEFT JOIN "
                       "T_HISTORY_ORIGIN o ON o.lngID = 1"),
        {dbDateTimeText(svc().clock().now()), table, action, undo ? QVariant(object) : QVariant(),
         undo ? QVariant() : QVariant(object)},
        proc);
}

// An entry's object as its members; false (logged) for a text that is none.
bool entryMembers(const QByteArray& json, std::vector<JsonMember>& members, qint64 entryID,
                  const QString& proc) {
    if (parseFlatObject(std::string_view(json.constData(), std::size_t(json.size())), members))
        return true;
    gProcError(proc, QStringLiteral("history entry %1 holds no row").arg(entryID));
    return false;
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
    if (!rs.openRecordSet(QStringLiteral("SELECT strTable, strNew FROM T_HISTORY WHERE lngID = ? "
                                         "AND lngRowID IS NULL AND strAction = 'I'"),
                          {entryID}, proc))
        return false;
    if (!rs.moveFirst()) {
        gProcError(proc, QStringLiteral("no import entry %1").arg(entryID));
        return false;
    }
    const QString table = rs.value(0).toString();
    const QByteArray json = rs.value(1).toString().toUtf8();
    std::vector<JsonMember> members;
    if (!entryMembers(json, members, entryID, proc))
        return false;
    HistoryImport import = importOf(members);
    import.undoOf = entryID;
    std::vector<std::pair<qint64, qint64>> ranges;
    if (keyColumnOf(table) != QLatin1String("lngID") ||
        !gParseHistoryIdRanges(import.ids, ranges)) {
        gProcError(proc, QStringLiteral("entry %1 names no lines").arg(entryID));
        return false;
    }
    // Compared and deleted in one transaction: on a server the import's lines stay locked from
    // their comparison to the commit, so a change another program made first refuses the undo and
    // one it makes later finds the lines gone.
    HistoryScope scope(db, HistoryOrigin::Undo);
    if (!scope.ok() || !scope.quietLines())
        return false;
    ResultSet undone(db);
    if (!undone.openRecordSet(QStringLiteral("SELECT lngID, strOld FROM T_HISTORY WHERE "
                                             "lngID > ? AND strTable = ? AND lngRowID IS NULL "
                                             "AND strAction = 'D'"),
                              {entryID, table}, proc))
        return false;
    for (const QVariantList& row : undone.rows()) {
        const QByteArray old = row.value(1).toString().toUtf8();
        std::vector<JsonMember> undoneMembers;
        if (!entryMembers(old, undoneMembers, row.value(0).toLongLong(), proc))
            return false;
        if (importOf(undoneMembers).undoOf == entryID) {
            outcome = ImportUndoOutcome::AlreadyUndone;
            return true;
        }
    }
    // A line is as the import left it while it is there and no entry followed the import's
    // (every later change of a line, by any writer, is recorded).
    for (const auto& [first, last] : ranges) {
        ResultSet there(db);
        ResultSet later(db);
        if (!there.openRecordSet(QStringLiteral("SELECT count(*) FROM (SELECT lngID FROM ") +
                                     table + QStringLiteral(" WHERE lngID BETWEEN ? AND ?") +
                                     EngineSql::lockRowsClause(db.isServer()) +
                                     QStringLiteral(") AS lines"),
                                 {first, last}, proc) ||
            !there.moveFirst() ||
            !later.openRecordSet(QStringLiteral("SELECT count(*) FROM T_HISTORY WHERE lngRowID "
                                                "BETWEEN ? AND ? AND lngID > ? AND strTable = ?"),
                                 {first, last, entryID, table}, proc) ||
            !later.moveFirst())
            return false;
        if (later.lng(0) > 0 || there.lng(0) != last - first + 1)
            return true;
    }
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
