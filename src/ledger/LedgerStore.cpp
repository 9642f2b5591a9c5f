#include "ledger/LedgerStore.h"
#include "store/DataFile.h"

#include "base/ErrorLog.h"
#include "store/Database.h"
#include "store/History.h"

#include <algorithm>
#include <utility>

namespace {

// "SELECT lngID,<the columns of kLedgerColumns> FROM ": readRow reads the columns in this order.
const QString kSelectColumns = [] {
    QString sql = QStringLiteral("SELECT lngID");
    for (const LedgerColumn& c : kLedgerColumns)
        sql += QLatin1Char(',') + QLatin1String(c.sqlName);
    return sql + QStringLiteral(" FROM ");
}();

// "YYYY-MM-DD" (a time part after it is ignored); an invalid date otherwise.
QDate dateFromText(std::string_view s) {
    if (s.size() < 10)
        return {};
    auto digits = [&](int from, int count, bool& ok) {
        int v = 0;
        for (int i = from; i < from + count; ++i) {
            if (s[i] < '0' || s[i] > '9') {
                ok = false;
                return 0;
            }
            v = v * 10 + (s[i] - '0');
        }
        return v;
    };
    bool ok = s[4] == '-' && s[7] == '-';
    const int y = digits(0, 4, ok);
    const int m = digits(5, 2, ok);
    const int d = digits(8, 2, ok);
    return ok ? QDate(y, m, d) : QDate();
}

std::optional<QString> textColumn(const RowCursor& c, int col) {
    if (c.isNull(col))
        return std::nullopt;
    return c.qtext(col);
}

std::optional<Currency> curColumn(const RowCursor& c, int col) {
    switch (c.type(col)) {
    case RowCursor::Type::Null:
        return std::nullopt;
    case RowCursor::Type::Integer:
        return Currency::fromRaw(c.int64(col));
    default:
        return Currency::fromDouble(c.real(col) / static_cast<double>(Currency::Scale));
    }
}

std::optional<qint32> lngColumn(const RowCursor& c, int col) {
    if (c.isNull(col))
        return std::nullopt;
    return static_cast<qint32>(c.int64(col));
}

// Reads grid column I from result column I + 1 (after lngID). The kind is known when compiling,
// so a row is read as directly as if every column were written out.
template <std::size_t I> void readColumn(const RowCursor& c, LedgerLine& l) {
    constexpr LedgerField f = kLedgerColumns[I].field;
    constexpr int col = static_cast<int>(I) + 1;
    if constexpr (f.kind == LedgerKind::Number) {
        l.*f.number = lngColumn(c, col);
    } else if constexpr (f.kind == LedgerKind::Date) {
        std::optional<QDate>& date = l.*f.date;
        if (c.isNull(col)) {
            date.reset();
        } else {
            const QDate d = dateFromText(c.text(col));
            if (d.isValid())
                date = d;
            else
                date.reset();
        }
    } else if constexpr (f.kind == LedgerKind::Text) {
        l.*f.text = textColumn(c, col);
    } else if constexpr (f.kind == LedgerKind::Amount) {
        l.*f.amount = curColumn(c, col);
    } else {
        l.*f.flag = !c.isNull(col) && c.int64(col) != 0;
    }
}

template <std::size_t... I>
void readColumns(const RowCursor& c, LedgerLine& l, std::index_sequence<I...>) {
    (readColumn<I>(c, l), ...);
}

// One row of a kSelectColumns query.
void readRow(const RowCursor& c, LedgerLine& l) {
    l.lngID = c.int64(0);
    readColumns(c, l, std::make_index_sequence<kLedgerColumns.size()>());
}

} // namespace

bool ledgerViewFromName(const QString& name, LedgerView& view) {
    if (name == QStringLiteral("通常")) {
        view = LedgerView::Normal;
        return true;
    }
    if (name == QStringLiteral("入力順")) {
        view = LedgerView::Entry;
        return true;
    }
    return false;
}

LedgerStore::LedgerStore(int kind, Database& db) : m_kind(kind), m_db(db) {}

QString LedgerStore::table() const {
    return QStringLiteral("T_DATA") + QString::number(m_kind);
}

bool LedgerStore::validKind(const QString& proc) const {
    if (m_kind == 1 || m_kind == 2)
        return true;
    gProcError(proc, QStringLiteral("kind=") + QString::number(m_kind));
    return false;
}

void LedgerStore::sortForView(std::vector<LedgerLine>& lines, LedgerView view) {
    // The engine's order: NULL first, then ascending. lngID is unique, so the item (last in the
    // grid's ORDER BY) never decides.
    if (view == LedgerView::Normal) {
        std::sort(lines.begin(), lines.end(), [](const LedgerLine& a, const LedgerLine& b) {
            if (a.date1 != b.date1)
                return a.date1 < b.date1; // an empty optional sorts first
            if (a.lngSort != b.lngSort)
                return a.lngSort < b.lngSort;
            return a.lngID < b.lngID;
        });
    } else {
        std::sort(lines.begin(), lines.end(),
                  [](const LedgerLine& a, const LedgerLine& b) { return a.lngID < b.lngID; });
    }
}

bool LedgerStore::load(qint32 masterID, LedgerView view, std::vector<LedgerLine>& lines) {
    const QString proc = QStringLiteral("LedgerStore_load");
    if (!validKind(proc))
        return false;
    std::size_t expected = 0;
    {
        RowCursor count(m_db);
        if (!count.open(QStringLiteral("SELECT count(*) FROM ") + table() +
                            QStringLiteral(" WHERE lngMasterID=?"),
                        {masterID}, proc) ||
            !count.next())
            return false;
        expected = static_cast<std::size_t>(count.int64(0));
    }
    return selectLines(masterID, QString(), expected, view, proc, lines);
}

bool LedgerStore::selectLines(qint32 masterID, const QString& condition, std::size_t expected,
                              LedgerView view, const QString& proc,
                              std::vector<LedgerLine>& lines) {
    // The rows come by the supplier's index; putting the finished lines in order is cheaper
    // than letting the engine sort whole rows.
    QString sql = kSelectColumns + table() + QStringLiteral(" WHERE lngMasterID=?");
    if (!condition.isEmpty())
        sql += QStringLiteral(" AND ") + condition;
    RowCursor q(m_db);
    if (!q.open(sql, {masterID}, proc))
        return false;
    std::vector<LedgerLine> result;
    result.reserve(expected);
    while (q.next()) {
        result.emplace_back();
        readRow(q, result.back());
    }
    if (q.failed())
        return false;
    sortForView(result, view);
    lines = std::move(result);
    return true;
}

bool LedgerStore::loadOrder(qint32 masterID, LedgerView view, std::vector<qint64>& ids) {
    const QString proc = QStringLiteral("LedgerStore_loadOrder");
    if (!validKind(proc))
        return false;
    // Both orders come from the (lngMasterID, date1, lngSort) index alone.
    RowCursor q(m_db);
    if (!q.open(QStringLiteral("SELECT lngID FROM ") + table() +
                    QStringLiteral(" WHERE lngMasterID=?") +
                    (view == LedgerView::Normal
                         ? QStringLiteral(" ORDER BY date1 NULLS FIRST,lngSort NULLS FIRST,lngID")
                         : QStringLiteral(" ORDER BY lngID")),
                {masterID}, proc))
        return false;
    std::vector<qint64> result;
    while (q.next())
        result.push_back(q.int64(0));
    if (q.failed())
        return false;
    ids = std::move(result);
    return true;
}

bool LedgerStore::readLines(const std::vector<qint64>& ids, std::size_t first, std::size_t count,
                            std::vector<LedgerLine>& lines) {
    const QString proc = QStringLiteral("LedgerStore_readLines");
    if (!validKind(proc))
        return false;
    const std::size_t end = std::min(ids.size(), first + std::min(count, ids.size()));
    std::vector<LedgerLine> result;
    if (first < end)
        result.resize(end - first);
    RowCursor q(m_db);
    if (!q.prepare(kSelectColumns + table() + QStringLiteral(" WHERE lngID=?"), proc))
        return false;
    for (std::size_t i = first; i < end; ++i) {
        q.reset();
        q.bindInt(1, ids[i]);
        if (!q.next()) {
            if (!q.failed())
                gProcError(proc, QStringLiteral("lngID=") + QString::number(ids[i]));
            return false;
        }
        readRow(q, result[i - first]);
    }
    lines = std::move(result);
    return true;
}

bool LedgerStore::readLine(qint64 lngID, LedgerLine& line) {
    std::vector<LedgerLine> one;
    if (!readLines({lngID}, 0, 1, one))
        return false;
    line = one.front();
    return true;
}

bool LedgerStore::changedLines(qint32 masterID, LedgerView view, std::vector<LedgerLine>& lines) {
    const QString proc = QStringLiteral("LedgerStore_changedLines");
    if (!validKind(proc))
        return false;
    return selectLines(masterID, QStringLiteral("blnChange=1"), 0, view, proc, lines);
}

bool LedgerStore::insertLine(LedgerLine& line) {
    const QString proc = QStringLiteral("LedgerStore_insertLine");
    if (!validKind(proc))
        return false;
    QString columns;
    QString marks;
    QVariantList params;
    for (int c = 0; c < LedgerCol::Count; ++c) {
        if (c > 0) {
            columns += QLatin1Char(',');
            marks += QLatin1Char(',');
        }
        columns += ledgerFieldName(c);
        marks += QLatin1Char('?');
        params << line.value(c);
    }
    const QString sql = QStringLiteral("INSERT INTO ") + table() + QStringLiteral(" (") + columns +
                        QStringLiteral(") VALUES (") + marks + QStringLiteral(") RETURNING lngID");
    qint64 id = 0;
    if (!m_db.insertRow(sql, params, proc, id))
        return false;
    // Read back, so the caller holds the row exactly as stored, with its new lngID.
    return readLine(id, line);
}

bool LedgerStore::writeColumns(qint64 lngID, const QList<int>& columns, const LedgerLine& line,
                               const QString& proc, const LedgerLine* shown) {
    m_conflict = false;
    if (columns.isEmpty())
        return true;
    // The values are numbered (?N): a value compared twice is bound once.
    QString sets;
    QVariantList params;
    for (int c : columns) {
        if (!sets.isEmpty())
            sets += QLatin1Char(',');
        params << line.value(c);
        sets += ledgerFieldName(c) + QStringLiteral("=?") + QString::number(params.size());
    }
    params << lngID;
    QString sql = QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET ") + sets +
                  QStringLiteral(" WHERE lngID=?") + QString::number(params.size());
    // On a server another program may have changed the line since it was shown: the row is
    // written only while the columns still hold the shown values. (The data file has one
    // writer, held by its lock.)
    const bool guarded = shown && m_db.isServer();
    if (guarded) {
        for (int c : columns) {
            params << shown->value(c);
            const QString name = ledgerFieldName(c);
            const QString n = QStringLiteral("?") + QString::number(params.size());
            sql += QStringLiteral(" AND (") + name + QLatin1Char('=') + n +
                   QStringLiteral(" OR (") + name + QStringLiteral(" IS NULL AND ") + n +
                   QStringLiteral(" IS NULL))");
        }
    }
    if (!m_db.executeSQL(sql, params, proc))
        return false;
    if (guarded && m_db.changes() == 0) {
        m_conflict = true;
        return false;
    }
    if (m_db.changes() != 1) {
        gProcError(proc, QStringLiteral("lngID=") + QString::number(lngID) +
                             QStringLiteral(" SQL=") + sql);
        return false;
    }
    return true;
}

bool LedgerStore::updateCell(LedgerLine& line, int column, const QVariant& value, bool* written) {
    const QString proc = QStringLiteral("LedgerStore_updateCell");
    if (written)
        *written = false;
    if (!validKind(proc))
        return false;
    LedgerLine next = line;
    if (column < 0 || column >= LedgerCol::Count || !next.setValue(column, value) ||
        !line.isStored()) {
        gProcError(proc, QStringLiteral("column=") + QString::number(column) +
                             QStringLiteral(" lngID=") + QString::number(line.lngID));
        return false;
    }
    if (next.sameValue(column, line))
        return true;
    if (!writeColumns(line.lngID, {column}, next, proc))
        return false;
    line = next;
    if (written)
        *written = true;
    return true;
}

bool LedgerStore::storeChanges(const LedgerLine& before, LedgerLine& after) {
    const QString proc = QStringLiteral("LedgerStore_storeChanges");
    if (!validKind(proc))
        return false;
    if (!after.isStored())
        return insertLine(after);
    QList<int> changed;
    for (int c = 0; c < LedgerCol::Count; ++c) {
        if (!before.sameValue(c, after))
            changed << c;
    }
    return writeColumns(after.lngID, changed, after, proc, &before);
}

bool LedgerStore::storeCell(LedgerLine& line, int column, const QVariant& value, qint32 masterID) {
    const QString proc = QStringLiteral("LedgerStore_storeCell");
    LedgerLine next = line;
    if (!next.setValue(column, value)) {
        gProcError(proc, QStringLiteral("column=") + QString::number(column));
        return false;
    }
    if (!gAfterCellUpdate(next, masterID))
        return false;
    if (!storeChanges(line, next))
        return false;
    line = next;
    return true;
}

bool LedgerStore::storeDerived(const LedgerLine& before, LedgerLine& line, qint32 masterID) {
    if (before == line)
        return true;
    LedgerLine next = line;
    if (!gAfterCellUpdate(next, masterID))
        return false;
    if (!storeChanges(before, next))
        return false;
    line = next;
    return true;
}

bool LedgerStore::deleteLine(qint64 lngID) {
    const QString proc = QStringLiteral("LedgerStore_deleteLine");
    if (!validKind(proc))
        return false;
    return m_db.executeSQL(
        QStringLiteral("DELETE FROM ") + table() + QStringLiteral(" WHERE lngID=?"), {lngID}, proc);
}

bool LedgerStore::resetChecks(std::optional<qint32> masterID, qint64* group) {
    const QString proc = QStringLiteral("LedgerStore_resetChecks");
    if (group)
        *group = 0;
    if (!validKind(proc))
        return false;
    // Only the lines that carry a check: a line without one keeps its empty cell (and writes no
    // history entry).
    QString sql =
        QStringLiteral(" UPDATE ") + table() + QStringLiteral(" SET curCheck=0 WHERE curCheck<>0");
    QVariantList params;
    if (masterID) {
        sql += QStringLiteral(" AND lngMasterID=?");
        params << *masterID;
    }
    HistoryScope history(m_db, HistoryOrigin::CheckReset);
    bool recorded = false;
    if (!history.ok() || !m_db.executeSQL(sql, params, proc) || !history.commit(&recorded))
        return false;
    if (group && recorded)
        *group = history.group();
    return true;
}

bool LedgerStore::findLines(qint32 masterID, const QString& text, std::unordered_set<qint64>& ids) {
    const QString proc = QStringLiteral("LedgerStore_findLines");
    ids.clear();
    if (!validKind(proc))
        return false;
    if (text.trimmed().isEmpty())
        return true;
    QString sql = QStringLiteral("SELECT lngID FROM ") + table() +
                  QStringLiteral(" WHERE lngMasterID=? AND (instr(strItem,?)>0 OR "
                                 "instr(strNote,?)>0");
    QVariantList params{masterID, text.trimmed(), text.trimmed()};
    if (const std::optional<Currency> amount = Currency::parse(text)) {
        sql += QStringLiteral(" OR curQuantity=? OR curUnitPrice=? OR curRegularPrice=? OR "
                              "curCost=? OR curPayment=?");
        for (int i = 0; i < 5; ++i)
            params << QVariant::fromValue(*amount);
    }
    ResultSet rs(m_db);
    if (!rs.openRecordSet(sql + u')', params, proc))
        return false;
    for (const QVariantList& row : rs.rows())
        ids.insert(row.value(0).toLongLong());
    return true;
}

bool LedgerStore::clearChanged(const std::vector<qint64>& ids, const QString& proc) {
    // The changed marks stay in a file that cannot be written (the lines were checked all the
    // same).
    if (ids.empty() || gDataFileReadOnly())
        return true;
    if (!validKind(proc))
        return false;
    Transaction tr(m_db);
    if (!tr.ok()) {
        gProcError(proc);
        return false;
    }
    const QString sql =
        QStringLiteral("UPDATE ") + table() + QStringLiteral(" SET blnChange=0 WHERE lngID=?");
    for (qint64 id : ids) {
        if (!m_db.executeSQL(sql, {id}, proc))
            return false;
    }
    if (!tr.commit()) {
        gProcError(proc);
        return false;
    }
    return true;
}

bool LedgerStore::mChkInputDate(qint32 masterID, LedgerView view, const LineCheckTexts& texts,
                                bool hasDefaultRatio, bool& errorFound, RuleResult& result,
                                qint64& errorLineID) {
    const QString proc = QStringLiteral("frmData_mChkInputDate");
    errorFound = false;
    errorLineID = 0;
    result = {};
    std::vector<LedgerLine> changed;
    if (!changedLines(masterID, view, changed))
        return false;
    std::vector<qint64> passedIds;
    for (const LedgerLine& line : changed) {
        const RuleResult r = gCheckLine(line, texts, hasDefaultRatio);
        if (!r.ok) {
            result = r;
            errorFound = true;
            errorLineID = line.lngID;
            break;
        }
        passedIds.push_back(line.lngID);
    }
    return clearChanged(passedIds, proc);
}
