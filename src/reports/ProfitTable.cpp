#include "reports/ProfitTable.h"

#include "base/ErrorLog.h"
#include "ledger/Captions.h"
#include "ledger/Totals.h"
#include "reports/ProfitReport.h"
#include "store/AmountLimits.h"
#include "store/Database.h"
#include "store/Formats.h"
#include "store/Period.h"
#include "store/Settings.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

const QString kNotComputable = QStringLiteral("計算不能");

// One supplier's sums of one ledger, per term.
struct KindSums {
    std::vector<Currency> cost;
    std::vector<Currency> regular;  // regular-price total; 0 where the ratio is not valid
    std::vector<char> regularValid; // 0 where a line without ratio made the total invalid
    qint64 lines = 0;               // lines passing the filter in the whole range
};

struct SupplierSums {
    KindSums kind[2];
};

// One row of a class breakdown.
struct ClassRow {
    QVariant value; // the class value; null for lines without one
    QVariant sort;  // lngSort of the class list; null when the value is not in the list
    std::vector<Currency> sums;
};

// What the scans of a run found.
struct ScanResult {
    QHash<qint32, SupplierSums> sums;
    QHash<qint32, std::vector<ClassRow>> classRows[2];
    QSet<qint32> outOfRange; // master IDs whose sums leave the currency range
    qint64 lines[2] = {0, 0};

    const KindSums& kindSums(qint32 id, int kind) const {
        static const KindSums empty;
        auto it = sums.constFind(id);
        if (it == sums.constEnd() || it->kind[kind - 1].cost.empty())
            return empty;
        return it->kind[kind - 1];
    }
};

// The sizes of every figure the table starts from (per supplier written, ledger and term: the
// amount and the regular-price total; the class sums), added up. Every figure the table forms from
// them (running totals, margins, stock, the ranking's totals) is at most this size, so while
// it fits the currency range, none of them can leave it.
struct RangeBudget {
    Currency size;
    bool exceeded = false;
    void add(Currency v) {
        const std::optional<Currency> magnitude = v.raw() < 0 ? gCheckedSub(Currency(), v) : v;
        if (!magnitude || !gAddInto(size, *magnitude))
            exceeded = true;
    }
};

Currency cutToWhole(Currency c) {
    return Currency::fromInt(c.truncated());
}

// Whole part as a classic CLng would give it (halves to even), for the test whether a class
// row adds up to nothing.
qint64 roundHalfEven(Currency c) {
    const qint64 raw = c.raw();
    qint64 whole = raw / Currency::Scale;
    const qint64 rest = raw % Currency::Scale;
    const qint64 half = Currency::Scale / 2;
    if (rest > half || (rest == half && (whole % 2 != 0)))
        ++whole;
    else if (rest < -half || (rest == -half && (whole % 2 != 0)))
        --whole;
    return whole;
}

// ---- Filter, counts and sums -------------------------------------------------------------

// The filter condition of a run as bound SQL: the range, amount lines only, the sampling
// classes, no tax lines. Failure: logged "mGetManageProfitWhereSQL", false.
bool mGetManageProfitWhereSQL(const ProfitReportParams& p, QString& sql, QVariantList& params) {
    const QString proc = QStringLiteral("mGetManageProfitWhereSQL");
    LineFilter f;
    f.from = p.start;
    f.to = p.end;
    f.costOnly = true;
    f.excludeTaxLines = true;
    if (p.sampling1Class > 0) {
        f.first = ClassCondition{p.sampling1Class, p.sampling1Item};
        if (p.sampling2Class > 0) {
            if (p.andOr != 0 && p.andOr != 1) {
                gProcError(proc, QStringLiteral("andOr=") + QString::number(p.andOr));
                return false;
            }
            f.second = ClassCondition{p.sampling2Class, p.sampling2Item};
            f.join = p.andOr == 0 ? FilterJoin::And : FilterJoin::Or;
        }
    }
    return gLineFilterSql(f, sql, params, proc);
}

// The order of a supplier's class rows: the order of the class list; values not in it, and
// lines without a class, first.
bool classRowBefore(const ClassRow& a, const ClassRow& b) {
    if (a.sort.isNull() != b.sort.isNull())
        return a.sort.isNull();
    if (!a.sort.isNull() && a.sort.toLongLong() != b.sort.toLongLong())
        return a.sort.toLongLong() < b.sort.toLongLong();
    if (a.value.isNull() != b.value.isNull())
        return a.value.isNull();
    return a.value.toString() < b.value.toString();
}

// ---- Sums from one scan of the range ----------------------------------------------------
//
// The range is read once through the index by date (the cost follows the range, not the file's
// history) and added up in place per supplier and term; the filter and each line's
// regular-price amount are formed by SQL. Lines of any supplier count, so the line counts over
// all suppliers are those of the whole range. A supplier whose sums leave the currency range is
// marked (outOfRange) and its figures are not used; the other suppliers' are unaffected.
// Values of a form the store never writes (written by another program) are taken as SQLite
// converts them: an amount that is not a whole count is rounded, one beyond 64 bits leaves the
// range.

// Columns 0 and 1 of every scan: the supplier and the date, as stored. Every other figure of a
// line is formed here from its stored columns, so that the scan reads them as they are.
constexpr int kScanFirstColumn = 2;

// Term ends as stored text: a line's term is the first whose end is not before the line's date
// as SQL compares them (text by bytes; numbers before any text, NULL after every term). The
// scan runs in date order, so the last line's term is tried first.
class TermFinder {
public:
    explicit TermFinder(const std::vector<ProfitTerm>& terms) {
        for (size_t i = 0; i + 1 < terms.size(); ++i)
            m_ends.push_back(dbDateText(terms[i].end).toStdString());
    }
    size_t term(const RowCursor& c) {
        switch (c.type(1)) {
        case RowCursor::Type::Text:
            break;
        case RowCursor::Type::Null:
            return m_ends.size();
        default:
            return 0;
        }
        const std::string_view date = c.text(1);
        const auto after = [&](size_t t) { return t < m_ends.size() && m_ends[t] < date; };
        if (after(m_last) || (m_last > 0 && !after(m_last - 1)))
            m_last = static_cast<size_t>(
                std::lower_bound(m_ends.begin(), m_ends.end(), date,
                                 [](const std::string& a, std::string_view b) { return a < b; }) -
                m_ends.begin());
        return m_last;
    }

private:
    std::vector<std::string> m_ends;
    size_t m_last = 0;
};

// Opens the scan of one ledger's lines in the run's range and filter: the common columns, then
// `columns`.
bool openRangeScan(RowCursor& c, const ProfitReportParams& p, int kind, const QString& columns,
                   const QString& proc) {
    QVariantList params;
    QString sql = QStringLiteral("SELECT d.lngMasterID, d.date1, ") + columns +
                  QStringLiteral(" FROM T_DATA") + QString::number(kind) +
                  QStringLiteral(" AS d WHERE 1=1");
    if (!mGetManageProfitWhereSQL(p, sql, params)) {
        gProcError(proc);
        return false;
    }
    return c.open(sql, params, proc);
}

bool addInto(qint64& sum, qint64 v) {
    return !__builtin_add_overflow(sum, v, &sum);
}

// A number beyond 64 bits made whole as SQL's CAST does: the nearest end of the range.
qint64 realToInt(double r) {
    if (r <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    if (r >= 9223372036854775807.0)
        return std::numeric_limits<qint64>::max();
    return static_cast<qint64>(r);
}

// A line's regular-price amount from whole stored values, as SQL forms it:
// CAST((regular price × COALESCE(quantity, 10000)) / 100000000 AS INTEGER) with a regular price,
// else CAST((cost × 100) / COALESCE(ratio, the supplier's default ratio, 0) AS INTEGER); a
// product beyond 64 bits is worked out as a real, a division by 0 gives none.
std::optional<qint64> regularAmount(std::optional<qint64> regularPrice,
                                    std::optional<qint64> quantity, qint64 cost,
                                    std::optional<qint64> ratio) {
    qint64 product = 0;
    if (regularPrice) {
        const qint64 q = quantity.value_or(10000);
        if (__builtin_mul_overflow(*regularPrice, q, &product))
            return realToInt(static_cast<double>(*regularPrice) * static_cast<double>(q) / 1e8);
        return product / 100000000;
    }
    const qint64 divisor = ratio.value_or(0);
    if (divisor == 0)
        return std::nullopt;
    if (__builtin_mul_overflow(cost, qint64(100), &product) ||
        (product == std::numeric_limits<qint64>::min() && divisor == -1))
        return realToInt(static_cast<double>(cost) * 100.0 / static_cast<double>(divisor));
    return product / divisor;
}

// A stored whole number or none; false for a value of another form (a real, a text).
bool wholeOrNone(const RowCursor& c, int col, std::optional<qint64>& v) {
    switch (c.type(col)) {
    case RowCursor::Type::Integer:
        v = c.int64(col);
        return true;
    case RowCursor::Type::Null:
        v.reset();
        return true;
    default:
        return false;
    }
}

// Lines holding a value of a form the store never writes (a real or a text that another
// program wrote, or such a default ratio of the supplier): the engine forms their figures with
// the expressions the whole numbers follow above, from the values bound as they are stored. An
// amount that is not a whole count is rounded, one beyond 64 bits gives none.
class StoredForms {
public:
    StoredForms(Database& db, const QString& ratioColumn, QString proc)
        : m_cursor(db), m_ratioColumn(ratioColumn), m_proc(std::move(proc)) {}

    // The amount of the cost column and the regular-price amount; false on a failure.
    bool figures(const RowCursor& line, int costCol, int ratioCol, int regularCol, int quantityCol,
                 std::optional<qint64>& cost, std::optional<qint64>& regular) {
        if (!m_cursor.ready() &&
            !m_cursor.prepare(
                QStringLiteral("SELECT CASE WHEN abs(?) < 9.2e18 THEN CAST(round(?) AS INTEGER)"
                               " END, CASE WHEN ? IS NOT NULL THEN"
                               " CAST((?*COALESCE(?,10000))/100000000 AS INTEGER)"
                               " ELSE CAST((?*100)/COALESCE(?,(SELECT m.") +
                    m_ratioColumn +
                    QStringLiteral(" FROM T_MASTER AS m WHERE m.lngMasterID=?),0) AS INTEGER)"
                                   " END"),
                m_proc))
            return false;
        m_cursor.reset();
        const int columns[8] = {costCol,     costCol, regularCol, regularCol,
                                quantityCol, costCol, ratioCol,   0};
        for (int i = 0; i < 8; ++i)
            bindStored(i + 1, line, columns[i]);
        if (!m_cursor.next())
            return false;
        cost = m_cursor.isInteger(0) ? std::optional<qint64>(m_cursor.int64(0)) : std::nullopt;
        regular = m_cursor.isInteger(1) ? std::optional<qint64>(m_cursor.int64(1)) : std::nullopt;
        return true;
    }

private:
    void bindStored(int index, const RowCursor& line, int col) {
        switch (col < 0 ? RowCursor::Type::Null : line.type(col)) {
        case RowCursor::Type::Integer:
            m_cursor.bindInt(index, line.int64(col));
            break;
        case RowCursor::Type::Real:
            m_cursor.bindReal(index, line.real(col));
            break;
        case RowCursor::Type::Null:
            m_cursor.bindNull(index);
            break;
        default:
            m_cursor.bindText(index, QString::fromUtf8(line.text(col)));
        }
    }

    RowCursor m_cursor;
    QString m_ratioColumn;
    QString m_proc;
};

// A slot per supplier for the scans' sums: the suppliers' IDs are small numbers, so most are
// found by position.
class SupplierSlots {
public:
    // The slot of an ID, added when new.
    size_t slot(qint64 id) {
        if (id >= 0 && id < kDirect) {
            if (static_cast<size_t>(id) >= m_direct.size())
                m_direct.resize(static_cast<size_t>(id) + 1, kNone);
            size_t& s = m_direct[static_cast<size_t>(id)];
            if (s == kNone)
                s = add(id);
            return s;
        }
        const auto [it, added] = m_other.try_emplace(id, m_ids.size());
        if (added)
            m_ids.push_back(id);
        return it->second;
    }
    const std::vector<qint64>& ids() const { return m_ids; }

private:
    static constexpr qint64 kDirect = 1 << 20;
    static constexpr size_t kNone = static_cast<size_t>(-1);
    size_t add(qint64 id) {
        m_ids.push_back(id);
        return m_ids.size() - 1;
    }
    std::vector<size_t> m_direct;
    std::unordered_map<qint64, size_t> m_other;
    std::vector<qint64> m_ids;
};

// The sums of every supplier and term of one ledger: cost, lines, and the regular-price total as
// the ledger's totals form it (each line's regular-price amount cut to whole yen; with no default
// ratio, a line without ratio and regular price makes the term's total invalid, counted as 0).
bool mManegeProfit_Sums(Database& db, const ProfitReportParams& p,
                        const std::vector<ProfitTerm>& terms, int kind, ScanResult& scan) {
    const QString proc = QStringLiteral("mManageProfit_Sums");
    const QString ratioColumn =
        kind == 1 ? QStringLiteral("curRegularSupplyRatio") : QStringLiteral("curRegularSaleRatio");
    // The default ratio of every supplier (0 where none is set or the supplier is unknown).
    QHash<qint64, bool> hasDefault;
    {
        ResultSet rs(db);
        if (!rs.openRecordSet(QStringLiteral("SELECT lngMasterID, COALESCE(") + ratioColumn +
                                  QStringLiteral(",0) AS curDefault FROM T_MASTER"),
                              {}, proc))
            return false;
        for (const QVariantList& row : rs.rows())
            if (!row.at(0).isNull())
                hasDefault.insert(row.at(0).toLongLong(), !row.at(1).value<Currency>().isZero());
    }
    // The same ratios as stored, for the lines' regular-price amounts: whole numbers by
    // supplier; the suppliers whose ratio has another form are left to the engine.
    struct StoredRatio {
        bool whole = true; // a whole number or none
        std::optional<qint64> ratio;
    };
    std::unordered_map<qint64, StoredRatio> defaultRatio;
    {
        RowCursor m(db);
        if (!m.open(QStringLiteral("SELECT lngMasterID, ") + ratioColumn +
                        QStringLiteral(" FROM T_MASTER"),
                    {}, proc))
            return false;
        while (m.next()) {
            StoredRatio r;
            r.whole = wholeOrNone(m, 1, r.ratio);
            if (m.isInteger(0))
                defaultRatio.emplace(m.int64(0), r);
        }
        if (m.failed())
            return false;
    }
    struct Group {
        qint64 lines = 0;
        qint64 cost = 0;
        qint64 noRatio = 0;
        qint64 regular = 0;
    };
    const size_t n = terms.size();
    SupplierSlots idSlots;
    std::vector<Group> groups;                 // per slot, n terms
    std::vector<char> beyond;                  // per slot: a sum beyond 64 bits
    std::vector<const StoredRatio*> slotRatio; // per slot: the supplier's default ratio
    TermFinder finder(terms);
    StoredForms stored(db, ratioColumn, proc);
    RowCursor c(db);
    if (!openRangeScan(c, p, kind,
                       QStringLiteral("d.curCost, d.curRatio, d.curRegularPrice, d.curQuantity"),
                       proc))
        return false;
    constexpr int costCol = kScanFirstColumn, ratioCol = costCol + 1, regularCol = costCol + 2,
                  quantityCol = costCol + 3;
    while (c.next()) {
        const qint64 id = c.int64(0);
        const size_t slot = idSlots.slot(id);
        if (slot == beyond.size()) {
            groups.resize(groups.size() + n);
            beyond.push_back(0);
            const auto found = defaultRatio.find(id);
            slotRatio.push_back(found == defaultRatio.end() ? nullptr : &found->second);
        }
        Group& t = groups[slot * n + std::min(finder.term(c), n - 1)];
        ++t.lines;
        std::optional<qint64> cost, ratio, regularPrice, quantity, regular;
        // The supplier's default ratio; none when the supplier is not in the list.
        const StoredRatio* supplier = slotRatio[slot];
        const bool whole = c.isInteger(0) && wholeOrNone(c, costCol, cost) &&
                           wholeOrNone(c, ratioCol, ratio) &&
                           wholeOrNone(c, regularCol, regularPrice) &&
                           wholeOrNone(c, quantityCol, quantity) && (!supplier || supplier->whole);
        if (!ratio && !regularPrice)
            ++t.noRatio;
        if (whole && cost) {
            regular = regularAmount(regularPrice, quantity, *cost,
                                    ratio      ? ratio
                                    : supplier ? supplier->ratio
                                               : std::nullopt);
        } else if (!stored.figures(c, costCol, ratioCol, regularCol, quantityCol, cost, regular)) {
            return false;
        }
        if (!cost || !addInto(t.cost, *cost) || (regular && !addInto(t.regular, *regular)))
            beyond[slot] = 1;
    }
    if (c.failed())
        return false;
    const int ki = kind - 1;
    for (size_t slot = 0; slot < beyond.size(); ++slot) {
        const qint64 id = idSlots.ids()[slot];
        const Group* g = &groups[slot * n];
        const qint32 masterID = static_cast<qint32>(id);
        KindSums& s = scan.sums[masterID].kind[ki];
        if (s.cost.empty()) {
            s.cost.assign(n, Currency());
            s.regular.assign(n, Currency());
            s.regularValid.assign(n, 1);
        }
        const bool noDefault = !hasDefault.value(id, false);
        if (beyond[slot])
            scan.outOfRange.insert(masterID);
        for (size_t term = 0; term < n; ++term) {
            const Group& t = g[term];
            if (t.lines == 0)
                continue;
            s.lines += t.lines;
            scan.lines[ki] += t.lines;
            s.cost[term] = Currency::fromRaw(t.cost);
            if (noDefault && t.noRatio > 0) {
                s.regularValid[term] = 0;
            } else {
                const std::optional<Currency> regular = gCheckedFromInt(t.regular);
                if (!regular)
                    scan.outOfRange.insert(masterID);
                s.regular[term] = regular.value_or(Currency());
            }
        }
    }
    return true;
}

// The class breakdown of one ledger for every supplier: per supplier the rows in the order of
// the class list (values not in the list, and lines without a class, first), each with its sums
// per term.
bool mManegeProfit_GroupClass(Database& db, const ProfitReportParams& p,
                              const std::vector<ProfitTerm>& terms, int kind, int classNo,
                              ScanResult& scan) {
    const QString proc = QStringLiteral("mManegeProfit_GroupClass");
    if (classNo < 1 || classNo > 3) {
        gProcError(proc, QStringLiteral("class=") + QString::number(classNo));
        return false;
    }
    const QString c = QString::number(classNo);
    // The class list: each value's first place.
    std::unordered_map<std::string, QVariant> sortOf;
    {
        RowCursor list(db);
        if (!list.open(QStringLiteral("SELECT strClassItem, MIN(lngSort), MIN(lngSort) IS NULL"
                                      " FROM T_DATA_CLASS") +
                           c +
                           QStringLiteral(" WHERE strClassItem IS NOT NULL GROUP BY strClassItem"),
                       {}, proc))
            return false;
        while (list.next())
            sortOf.emplace(std::string(list.text(0)),
                           list.int64(2) ? QVariant() : QVariant(list.int64(1)));
        if (list.failed())
            return false;
    }
    const size_t n = terms.size();
    TermFinder finder(terms);
    StoredForms stored(db,
                       kind == 1 ? QStringLiteral("curRegularSupplyRatio")
                                 : QStringLiteral("curRegularSaleRatio"),
                       proc);
    // Per supplier and class value (null apart from every text), the sum and lines per term.
    struct Sums {
        std::vector<qint64> cost;
        std::vector<char> seen;
    };
    using Key = std::pair<qint64, std::optional<std::string>>;
    std::map<Key, Sums> groups;
    RowCursor cur(db);
    if (!openRangeScan(cur, p, kind,
                       QStringLiteral("d.strClass") + c + QStringLiteral(", d.curCost"), proc))
        return false;
    constexpr int value = kScanFirstColumn, cost = value + 1;
    while (cur.next()) {
        Key key{cur.int64(0), cur.isNull(value)
                                  ? std::nullopt
                                  : std::optional<std::string>(std::string(cur.text(value)))};
        Sums& g = groups[key];
        if (g.cost.empty()) {
            g.cost.assign(n, 0);
            g.seen.assign(n, 0);
        }
        const size_t term = std::min(finder.term(cur), n - 1);
        g.seen[term] = 1;
        std::optional<qint64> amount, regular;
        if (!wholeOrNone(cur, cost, amount) &&
            !stored.figures(cur, cost, -1, -1, -1, amount, regular))
            return false;
        if (!amount || !addInto(g.cost[term], *amount))
            scan.outOfRange.insert(static_cast<qint32>(key.first));
    }
    if (cur.failed())
        return false;
    QHash<qint32, std::vector<ClassRow>>& rows = scan.classRows[kind - 1];
    for (const auto& [key, g] : groups) {
        ClassRow row;
        if (key.second) {
            row.value = QString::fromStdString(*key.second);
            const auto it = sortOf.find(*key.second);
            if (it != sortOf.end())
                row.sort = it->second;
        }
        row.sums.assign(n, Currency());
        for (size_t t = 0; t < n; ++t)
            if (g.seen[t])
                row.sums[t] = Currency::fromRaw(g.cost[t]);
        rows[static_cast<qint32>(key.first)].push_back(std::move(row));
    }
    for (auto it = rows.begin(); it != rows.end(); ++it)
        std::stable_sort(it->begin(), it->end(), classRowBefore);
    return true;
}

// ---- Forming the table -------------------------------------------------------------------

std::vector<ProfitColumn> columnsOf(size_t terms, bool sumOnly) {
    std::vector<ProfitColumn> columns;
    for (size_t t = 0; t < terms; ++t) {
        if (!sumOnly)
            columns.push_back({t, false});
        if (sumOnly || t >= 1)
            columns.push_back({t, true});
    }
    return columns;
}

// Figures per term → figures per column (a term's own, or the running total up to it).
std::vector<Currency> perColumn(const ProfitTable& table, const std::vector<Currency>& perTerm) {
    std::vector<Currency> running(perTerm.size());
    Currency sum;
    for (size_t t = 0; t < perTerm.size(); ++t)
        running[t] = sum += perTerm[t];
    std::vector<Currency> out;
    for (const ProfitColumn& c : table.columns)
        out.push_back(c.running ? running[c.term] : perTerm[c.term]);
    return out;
}

// The same for figures that may not be computable: a running total is not as soon as one of
// its terms is not.
std::vector<std::optional<Currency>>
perColumn(const ProfitTable& table, const std::vector<std::optional<Currency>>& perTerm) {
    std::vector<std::optional<Currency>> running(perTerm.size());
    std::optional<Currency> sum = Currency();
    for (size_t t = 0; t < perTerm.size(); ++t) {
        if (sum && perTerm[t])
            *sum += *perTerm[t];
        else
            sum.reset();
        running[t] = sum;
    }
    std::vector<std::optional<Currency>> out;
    for (const ProfitColumn& c : table.columns)
        out.push_back(c.running ? running[c.term] : perTerm[c.term]);
    return out;
}

std::vector<Currency> costPerTerm(const KindSums& k, size_t terms) {
    return k.cost.empty() ? std::vector<Currency>(terms) : k.cost;
}

// The class rows of one ledger that add up to something.
std::vector<ProfitRow> classRowsOf(const ProfitTable& table, const std::vector<ClassRow>& rows) {
    std::vector<ProfitRow> out;
    for (const ClassRow& r : rows) {
        qint64 whole = 0;
        for (const Currency& c : r.sums)
            whole += roundHalfEven(c);
        if (whole != 0)
            out.push_back({QStringLiteral("「") + r.value.toString() + QStringLiteral("」"),
                           perColumn(table, r.sums)});
    }
    return out;
}

ProfitBlock blockOf(const ProfitTable& table, const ProfitReportParams& p, const ScanResult& scan,
                    const QString captions[2], size_t listIndex) {
    const ProfitSupplier& s = p.suppliers[listIndex];
    const size_t n = table.terms.size();
    ProfitBlock b;
    b.masterID = s.masterID;
    b.supplier = s.supplier;
    b.shortName = s.shortName;
    b.listIndex = listIndex;
    const KindSums& purchase = scan.kindSums(s.masterID, 1);
    const KindSums& sale = scan.kindSums(s.masterID, 2);
    const std::vector<Currency> purchaseCost = costPerTerm(purchase, n);
    const std::vector<Currency> saleCost = costPerTerm(sale, n);
    b.purchase = {captions[0] + QStringLiteral(" 合計"), perColumn(table, purchaseCost)};
    b.sale = {captions[1] + QStringLiteral(" 合計"), perColumn(table, saleCost)};
    if (p.purchaseGroupingClass > 0 && purchase.lines > 0)
        b.purchaseClasses = classRowsOf(table, scan.classRows[0].value(s.masterID));
    if (p.saleGroupingClass > 0 && sale.lines > 0)
        b.saleClasses = classRowsOf(table, scan.classRows[1].value(s.masterID));
    // A stock figure needs both sides' regular-price totals: one that is not valid (a line with
    // neither ratio nor regular price, and no default ratio) makes it "計算不能", for the term
    // and for every running total that includes the term.
    const auto valid = [](const KindSums& k, size_t t) {
        return k.regularValid.empty() || k.regularValid[t] != 0;
    };
    const auto regular = [](const KindSums& k, size_t t) {
        return k.regular.empty() ? Currency() : k.regular[t];
    };
    std::vector<Currency> margin(n);
    std::vector<std::optional<Currency>> stock(n);
    for (size_t t = 0; t < n; ++t) {
        margin[t] = cutToWhole(saleCost[t] - purchaseCost[t]);
        if (valid(purchase, t) && valid(sale, t))
            stock[t] = regular(purchase, t) - regular(sale, t);
    }
    b.margin = perColumn(table, margin);
    b.stock = perColumn(table, stock);
    for (size_t c = 0; c < b.margin.size(); ++c) {
        std::optional<Currency> rate;
        gProfitRateText(b.margin[c], b.sale.values[c], &rate);
        b.rate.push_back(rate);
    }
    return b;
}

// The first ticked supplier, in list order, whose figures leave the currency range (its own,
// or all figures written up to it together); none when every one fits.
std::optional<size_t> firstBeyondRange(const ProfitReportParams& p, const ScanResult& scan) {
    RangeBudget budget;
    for (size_t i = 0; i < p.suppliers.size(); ++i) {
        const ProfitSupplier& s = p.suppliers[i];
        if (!s.checked)
            continue;
        if (!scan.outOfRange.contains(s.masterID)) {
            for (int k = 0; k < 2; ++k) {
                const auto it = scan.sums.constFind(s.masterID);
                if (it != scan.sums.constEnd()) {
                    for (const Currency& v : it->kind[k].cost)
                        budget.add(v);
                    for (const Currency& v : it->kind[k].regular)
                        budget.add(v);
                }
                for (const ClassRow& row : scan.classRows[k].value(s.masterID))
                    for (const Currency& v : row.sums)
                        budget.add(v);
            }
        }
        if (scan.outOfRange.contains(s.masterID) || budget.exceeded)
            return i;
    }
    return std::nullopt;
}

} // namespace

// ---- Public routines -------------------------------------------------------------------------

ProfitComputeStatus gComputeProfitTable(Database& db, const ProfitReportParams& p,
                                        ProfitTable& table, size_t* beyond) {
    ProfitTable t;
    qint32 closeDay = 0;
    if (!gGetSystemCloseDay(closeDay) || !gGetProfitTerms(p.start, p.end, closeDay, t.terms))
        return ProfitComputeStatus::Failed;
    // Cumulative-only needs a range over two calendar months or more.
    const int months =
        (p.end.year() * 12 + p.end.month()) - (p.start.year() * 12 + p.start.month());
    t.sumOnly = p.sumOnly && months >= 2;
    t.columns = columnsOf(t.terms.size(), t.sumOnly);
    t.listed = p.suppliers.size();

    ScanResult scan;
    if (!mManegeProfit_Sums(db, p, t.terms, 1, scan) ||
        !mManegeProfit_Sums(db, p, t.terms, 2, scan)) {
        gProcError(QStringLiteral("mGetManageProfitTargetRecordCount"));
        return ProfitComputeStatus::Failed;
    }
    if (scan.lines[0] == 0 && scan.lines[1] == 0)
        return ProfitComputeStatus::NothingToReport;
    QString captions[2];
    if (!gGetDataCaption(1, captions[0]) || !gGetDataCaption(2, captions[1]))
        return ProfitComputeStatus::Failed;
    const int grouping[2] = {p.purchaseGroupingClass, p.saleGroupingClass};
    for (int k = 0; k < 2; ++k)
        if (grouping[k] > 0 && !mManegeProfit_GroupClass(db, p, t.terms, k + 1, grouping[k], scan))
            return ProfitComputeStatus::Failed;
    if (const std::optional<size_t> i = firstBeyondRange(p, scan)) {
        if (beyond)
            *beyond = *i;
        return ProfitComputeStatus::OutOfRange;
    }
    for (size_t i = 0; i < p.suppliers.size(); ++i) {
        const ProfitSupplier& s = p.suppliers[i];
        // Cumulative-only leaves out suppliers without any line in the range.
        if (s.checked && !(p.sumOnly && scan.kindSums(s.masterID, 1).lines == 0 &&
                           scan.kindSums(s.masterID, 2).lines == 0))
            t.blocks.push_back(blockOf(t, p, scan, captions, i));
    }
    table = std::move(t);
    return ProfitComputeStatus::Ok;
}

std::vector<int> gProfitBlockSheets(const ProfitTable& table, int rowsPerSheet) {
    std::vector<int> sheets;
    int sheet = 1;
    int lastRow = kProfitFirstRow; // the last row used on the sheet
    for (const ProfitBlock& b : table.blocks) {
        if (lastRow + 2 >= rowsPerSheet && lastRow > kProfitFirstRow) {
            ++sheet;
            lastRow = kProfitFirstRow;
        }
        sheets.push_back(sheet);
        lastRow += 2 + gProfitBlockHeight(b) - 1;
    }
    return sheets;
}

int gProfitBlockHeight(const ProfitBlock& b) {
    // Name, purchase total, its classes, sales total, its classes, margin, rate, stock.
    return 6 + static_cast<int>(b.purchaseClasses.size() + b.saleClasses.size());
}

std::vector<ProfitRankingRow> gProfitRankingRows(const ProfitTable& table,
                                                 const std::vector<int>& sheets) {
    std::vector<ProfitRankingRow> rows;
    for (size_t i = 0; i < table.blocks.size(); ++i) {
        const ProfitBlock& b = table.blocks[i];
        rows.push_back({b.masterID, b.shortName, b.purchase.values.back(), b.sale.values.back(),
                        b.margin.back(), b.rate.back(), b.stock.back(), sheets.at(i)});
    }
    return rows;
}

bool gSortProfitRanking(std::vector<ProfitRankingRow>& rows, int order) {
    if (order == 1) {
        std::stable_sort(rows.begin(), rows.end(),
                         [](const ProfitRankingRow& a, const ProfitRankingRow& b) {
                             return a.margin > b.margin;
                         });
        return true;
    }
    if (order == 2) {
        // Highest first; rows without a rate after every rate.
        std::stable_sort(rows.begin(), rows.end(),
                         [](const ProfitRankingRow& a, const ProfitRankingRow& b) {
                             return a.rate && (!b.rate || *a.rate > *b.rate);
                         });
        return true;
    }
    gProcError(QStringLiteral("mManegeProfit_RankingSheet"),
               QStringLiteral("order=") + QString::number(order));
    return false;
}

bool gStoreProfitRanking(Database& db, const std::vector<ProfitRankingRow>& rows) {
    const QString proc = QStringLiteral("mManegeProfit_Data");
    Transaction tr(db);
    if (!tr.ok()) {
        gProcError(proc, QStringLiteral("transaction"));
        return false;
    }
    if (!db.executeSQL(QStringLiteral("DELETE FROM T_MP_RANKING"), {}, proc))
        return false;
    RowCursor insert(db);
    if (!insert.prepare(QStringLiteral("INSERT INTO T_MP_RANKING (lngMasterID,"
                                       " strSupplierShortName, curPurchase, curSale,"
                                       " curGrossMargin, curProfitability, curStock,"
                                       " lngSheetNo) VALUES (?,?,?,?,?,?,?,?)"),
                        proc))
        return false;
    for (const ProfitRankingRow& r : rows) {
        insert.reset();
        insert.bindInt(1, r.masterID);
        insert.bindText(2, r.shortName);
        insert.bindOptional(3, std::optional<Currency>(r.purchase));
        insert.bindOptional(4, std::optional<Currency>(r.sale));
        insert.bindOptional(5, std::optional<Currency>(r.margin));
        insert.bindOptional(6, r.rate);
        insert.bindOptional(7, r.stock);
        insert.bindInt(8, r.sheetNo);
        if (!insert.run())
            return false;
    }
    if (!tr.commit()) {
        gProcError(proc, QStringLiteral("commit"));
        return false;
    }
    return true;
}

QString gProfitRateText(Currency margin, Currency sales, std::optional<Currency>* rate) {
    if (rate)
        rate->reset();
    if (margin.isZero() || sales.isZero())
        return kNotComputable;
    const double cut = gROUNDOFF(margin.toDouble() / sales.toDouble() * 100.0, 1, 0);
    if (rate)
        *rate = Currency::fromDouble(cut);
    // A table shows the same few hundred rates again and again: each text is formed once,
    // keyed by its count of tenths and its sign (a cut rate is a whole number of tenths).
    if (!(std::abs(cut) < 1e15))
        return formatNumber(cut, QStringLiteral("#.0")) + QLatin1Char('%');
    thread_local std::unordered_map<qint64, QString> texts;
    const qint64 key = std::llround(cut * 10) * 2 + (std::signbit(cut) ? 1 : 0);
    if (const auto it = texts.find(key); it != texts.end())
        return it->second;
    if (texts.size() >= 4096)
        texts.clear();
    return texts.emplace(key, formatNumber(cut, QStringLiteral("#.0")) + QLatin1Char('%'))
        .first->second;
}

bool gGetProfitTerms(const QDate& start, const QDate& end, int closeDay,
                     std::vector<ProfitTerm>& terms) {
    terms.clear();
    if (!start.isValid() || !end.isValid() || end < start) {
        gProcError(QStringLiteral("gGetCurrentMonthTerm"), QStringLiteral("invalid range"));
        return false;
    }
    QDate d = start;
    // Each term ends on or after its start, so the walk reaches the term that holds end; the
    // cap only guards against a broken term routine.
    for (int guard = 0; guard < 100000; ++guard) {
        QString s, e;
        if (!gGetCurrentMonthTerm(d, closeDay, s, e, 0))
            return false;
        const ProfitTerm t{termDateFromText(s), termDateFromText(e)};
        if (!t.start.isValid() || !t.end.isValid() || t.end < d) {
            gProcError(QStringLiteral("gGetCurrentMonthTerm"), QStringLiteral("term=") + s + e);
            return false;
        }
        terms.push_back(t);
        if (t.end >= end)
            return true;
        d = t.end.addDays(1);
    }
    gProcError(QStringLiteral("gGetCurrentMonthTerm"), QStringLiteral("too many terms"));
    return false;
}
