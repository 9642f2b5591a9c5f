#include "reports/ProfitReport.h"

#include "base/ErrorLog.h"
#include "ledger/Captions.h"
#include "ledger/Totals.h"
#include "master/SupplierRecords.h"
#include "reports/SupplierList.h"
#include "store/AmountLimits.h"
#include "store/Database.h"
#include "store/Formats.h"
#include "store/MsgCatalogue.h"
#include "store/Period.h"
#include "store/Settings.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

const QString kProcRun = QStringLiteral("frmPrint_cmdMargin_Click");
const QString kRankingTable = QStringLiteral("T_MP_RANKING");
const QString kRankingSheet = QStringLiteral("ランキング");
const QString kNotComputable = QStringLiteral("計算不能");

constexpr int kMsgNothingToReport = 22;
constexpr int kMsgStartAfterEnd = 40;

// Colour slots of ProfitSheetSettings::colors.
enum ColorSlot { SlotSupplier = 0, SlotPurchase, SlotSale, SlotMargin, SlotRate, SlotStock };

// Columns of the table: B the supplier name, C the row labels, values from D.
constexpr int kNameCol = 2;
constexpr int kLabelCol = 3;
constexpr int kFirstValueCol = 4;
constexpr int kFirstRow = 3;

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

struct RankingRow {
    qint32 masterID = 0;
    QString shortName;
    Currency purchase;
    Currency sale;
    Currency margin;
    std::optional<Currency> rate;
    std::optional<Currency> stock; // none when a regular-price total it needs is not valid
    int sheetNo = 1;
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

// Term ends as stored text: a line's term is the first whose end is not before the line's date
// as SQL compares them (text by bytes; numbers before any text, NULL after every term).
class TermFinder {
public:
    explicit TermFinder(const std::vector<ProfitTerm>& terms) {
        for (size_t i = 0; i + 1 < terms.size(); ++i)
            m_ends.push_back(dbDateText(terms[i].end).toStdString());
    }
    size_t term(const RowCursor& c, int col) const {
        switch (c.type(col)) {
        case RowCursor::Type::Integer:
        case RowCursor::Type::Real:
            return 0;
        case RowCursor::Type::Text:
            return static_cast<size_t>(
                std::lower_bound(m_ends.begin(), m_ends.end(), c.text(col),
                                 [](const std::string& a, std::string_view b) { return a < b; }) -
                m_ends.begin());
        default:
            return m_ends.size();
        }
    }

private:
    std::vector<std::string> m_ends;
};

bool addInto(qint64& sum, qint64 v) {
    return !__builtin_add_overflow(sum, v, &sum);
}

// An amount as the scan adds it: an integer as stored; another form rounded to an integer, NULL
// when it lies beyond 64 bits.
QString amountSql(const QString& column) {
    return QStringLiteral("CASE WHEN typeof(") + column + QStringLiteral(")='integer' THEN ") +
           column + QStringLiteral(" WHEN abs(") + column +
           QStringLiteral(") < 9.2e18 THEN CAST(round(") + column +
           QStringLiteral(") AS INTEGER) END");
}

// The sums of every supplier and term of one ledger: cost, lines, and the regular-price total as
// the ledger's totals form it (each line's regular-price amount cut to whole yen; with no default
// ratio, a line without ratio and regular price makes the term's total invalid, counted as 0).
// Suppliers whose sums leave the currency range go into outOfRange (master IDs).
bool mManegeProfit_Sums(const ProfitReportParams& p, const std::vector<ProfitTerm>& terms, int kind,
                        QHash<qint32, SupplierSums>& sums, qint64& allLines,
                        QSet<qint32>& outOfRange) {
    const QString proc = QStringLiteral("mManageProfit_Sums");
    const QString k = QString::number(kind);
    const QString ratioColumn =
        kind == 1 ? QStringLiteral("curRegularSupplyRatio") : QStringLiteral("curRegularSaleRatio");
    // The default ratio of every supplier (0 where none is set or the supplier is unknown).
    QHash<qint64, bool> hasDefault;
    {
        ResultSet rs(gdbData());
        if (!rs.openRecordSet(QStringLiteral("SELECT lngMasterID, COALESCE(") + ratioColumn +
                                  QStringLiteral(",0) AS curDefault FROM T_MASTER"),
                              {}, proc))
            return false;
        for (const QVariantList& row : rs.rows())
            if (!row.at(0).isNull())
                hasDefault.insert(row.at(0).toLongLong(), !row.at(1).value<Currency>().isZero());
    }
    QVariantList params;
    QString sql =
        QStringLiteral("SELECT d.lngMasterID, d.date1, ") + amountSql(QStringLiteral("d.curCost")) +
        QStringLiteral(
            ", (d.curRatio IS NULL AND d.curRegularPrice IS NULL),"
            " CASE WHEN d.curRegularPrice IS NOT NULL THEN"
            " CAST((d.curRegularPrice*COALESCE(d.curQuantity,10000))/100000000 AS INTEGER)"
            " ELSE CAST((d.curCost*100)/COALESCE(d.curRatio,(SELECT m.") +
        ratioColumn +
        QStringLiteral(" FROM T_MASTER AS m WHERE m.lngMasterID=d.lngMasterID),0)"
                       " AS INTEGER) END FROM T_DATA") +
        k + QStringLiteral(" AS d WHERE 1=1");
    if (!mGetManageProfitWhereSQL(p, sql, params)) {
        gProcError(proc);
        return false;
    }
    struct Group {
        qint64 lines = 0;
        qint64 cost = 0;
        qint64 noRatio = 0;
        qint64 regular = 0;
    };
    const size_t n = terms.size();
    std::unordered_map<qint64, std::vector<Group>> groups;
    QSet<qint64> beyond; // suppliers with a sum beyond 64 bits
    const TermFinder finder(terms);
    RowCursor c(gdbData());
    if (!c.open(sql, params, proc))
        return false;
    while (c.next()) {
        const qint64 id = c.int64(0);
        std::vector<Group>& g = groups[id];
        if (g.empty())
            g.resize(n);
        Group& t = g[std::min(finder.term(c, 1), n - 1)];
        ++t.lines;
        t.noRatio += c.int64(3);
        if (c.isNull(2) || !addInto(t.cost, c.int64(2)) ||
            (c.isInteger(4) && !addInto(t.regular, c.int64(4))))
            beyond.insert(id);
    }
    if (c.failed())
        return false;
    const int ki = kind - 1;
    for (const auto& [id, g] : groups) {
        const qint32 masterID = static_cast<qint32>(id);
        KindSums& s = sums[masterID].kind[ki];
        if (s.cost.empty()) {
            s.cost.assign(n, Currency());
            s.regular.assign(n, Currency());
            s.regularValid.assign(n, 1);
        }
        const bool noDefault = !hasDefault.value(id, false);
        if (beyond.contains(id))
            outOfRange.insert(masterID);
        for (size_t term = 0; term < n; ++term) {
            const Group& t = g[term];
            if (t.lines == 0)
                continue;
            s.lines += t.lines;
            allLines += t.lines;
            s.cost[term] = Currency::fromRaw(t.cost);
            if (noDefault && t.noRatio > 0) {
                s.regularValid[term] = 0;
            } else {
                const std::optional<Currency> regular = gCheckedFromInt(t.regular);
                if (!regular)
                    outOfRange.insert(masterID);
                s.regular[term] = regular.value_or(Currency());
            }
        }
    }
    return true;
}

// The class breakdown of one ledger for every supplier: per supplier the rows in the order of
// the class list (values not in the list, and lines without a class, first), each with its sums
// per term. Suppliers whose sums leave the currency range go into outOfRange (master IDs).
bool mManegeProfit_GroupClass(const ProfitReportParams& p, const std::vector<ProfitTerm>& terms,
                              int kind, int classNo, QHash<qint32, std::vector<ClassRow>>& rows,
                              QSet<qint32>& outOfRange) {
    const QString proc = QStringLiteral("mManegeProfit_GroupClass");
    if (classNo < 1 || classNo > 3) {
        gProcError(proc, QStringLiteral("class=") + QString::number(classNo));
        return false;
    }
    const QString c = QString::number(classNo);
    // The class list: each value's first place.
    std::unordered_map<std::string, QVariant> sortOf;
    {
        RowCursor list(gdbData());
        if (!list.open(QStringLiteral("SELECT strClassItem, MIN(lngSort) FROM T_DATA_CLASS") + c +
                           QStringLiteral(" WHERE strClassItem IS NOT NULL GROUP BY strClassItem"),
                       {}, proc))
            return false;
        while (list.next())
            sortOf.emplace(std::string(list.text(0)),
                           list.isNull(1) ? QVariant() : QVariant(list.int64(1)));
        if (list.failed())
            return false;
    }
    QVariantList params;
    QString sql = QStringLiteral("SELECT d.lngMasterID, d.strClass") + c +
                  QStringLiteral(", d.date1, ") + amountSql(QStringLiteral("d.curCost")) +
                  QStringLiteral(" FROM T_DATA") + QString::number(kind) +
                  QStringLiteral(" AS d WHERE 1=1");
    if (!mGetManageProfitWhereSQL(p, sql, params)) {
        gProcError(proc);
        return false;
    }
    const size_t n = terms.size();
    const TermFinder finder(terms);
    // Per supplier and class value (null apart from every text), the sum and lines per term.
    struct Sums {
        std::vector<qint64> cost;
        std::vector<char> seen;
    };
    using Key = std::pair<qint64, std::optional<std::string>>;
    std::map<Key, Sums> groups;
    RowCursor cur(gdbData());
    if (!cur.open(sql, params, proc))
        return false;
    while (cur.next()) {
        Key key{cur.int64(0), cur.isNull(1) ? std::nullopt
                                            : std::optional<std::string>(std::string(cur.text(1)))};
        Sums& g = groups[key];
        if (g.cost.empty()) {
            g.cost.assign(n, 0);
            g.seen.assign(n, 0);
        }
        const size_t term = std::min(finder.term(cur, 2), n - 1);
        g.seen[term] = 1;
        if (cur.isNull(3) || !addInto(g.cost[term], cur.int64(3)))
            outOfRange.insert(static_cast<qint32>(key.first));
    }
    if (cur.failed())
        return false;
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

// ---- Writing ------------------------------------------------------------------------------

class ProfitWriter {
public:
    ProfitWriter(ExcelReportRun& run, const ProfitReportParams& p,
                 const std::vector<ProfitTerm>& terms, bool sumOnly)
        : m_run(run), m_p(p), m_terms(terms), m_sumOnly(sumOnly) {}

    QString captions[2];
    QHash<qint32, SupplierSums> sums;
    QHash<qint32, std::vector<ClassRow>> classRows[2];
    std::vector<RankingRow> ranking;

    bool writeTable();
    bool writeRanking();

private:
    int color(ColorSlot slot) const {
        return m_p.settings.cellColorOn ? m_p.settings.colors[slot] : 0;
    }
    bool put(int row, int col, const QVariant& value, int fill,
             const QString& numberFormat = QString(), bool bold = false);
    bool putMoney(int row, int col, Currency value, int fill, const QString& numberFormat = {}) {
        return put(row, col, value.toDouble(), fill, numberFormat);
    }
    bool writeBlock(const ProfitSupplier& s);
    bool writeTotalRow(int kind, const KindSums& k, Currency& last);
    bool writeClassRows(int kind, qint32 masterID);
    bool writeResultRows(const KindSums& purchase, const KindSums& sale, RankingRow& rank);
    bool rule(int row1, int col1, int row2, int col2);
    bool newSheet();
    const KindSums& kindSums(qint32 id, int kind) {
        static const KindSums empty;
        auto it = sums.constFind(id);
        if (it == sums.constEnd() || it->kind[kind - 1].cost.empty())
            return empty;
        return it->kind[kind - 1];
    }
    Currency costAt(const KindSums& k, size_t t) const {
        return k.cost.empty() ? Currency() : k.cost[t];
    }
    Currency regularAt(const KindSums& k, size_t t) const {
        return k.regular.empty() ? Currency() : k.regular[t];
    }
    static bool regularValidAt(const KindSums& k, size_t t) {
        return k.regularValid.empty() || k.regularValid[t] != 0;
    }
    // The first column of term t: one column per term in cumulative-only mode; otherwise the
    // first term has one and every later term two (its own value, then the running total).
    int termColumn(size_t t) const {
        if (m_sumOnly || t == 0)
            return kFirstValueCol + static_cast<int>(t);
        return kFirstValueCol + 1 + 2 * (static_cast<int>(t) - 1);
    }
    bool hasOwnColumn() const { return !m_sumOnly; }
    bool hasRunningColumn(size_t t) const { return m_sumOnly || t >= 1; }
    int lastColumn() const {
        return termColumn(m_terms.size() - 1) + (m_sumOnly || m_terms.size() == 1 ? 0 : 1);
    }

    ExcelReportRun& m_run;
    const ProfitReportParams& m_p;
    const std::vector<ProfitTerm>& m_terms;
    const bool m_sumOnly;
    Worksheet* m_sheet = nullptr;
    int m_row = kFirstRow;
    int m_sheetNo = 1;
    bool m_firstOnSheet = true;
    bool m_breakPending = false;
};

bool ProfitWriter::put(int row, int col, const QVariant& value, int fill,
                       const QString& numberFormat, bool bold) {
    bool ok = value.typeId() == QMetaType::QString ? m_sheet->setText(row, col, value.toString())
                                                   : m_sheet->setNumber(row, col, value.toDouble());
    if (ok && (fill > 0 || !numberFormat.isEmpty() || bold)) {
        StyleChange ch;
        if (fill > 0)
            ch.fillColorIndex = fill;
        if (!numberFormat.isEmpty())
            ch.numberFormat = numberFormat;
        if (bold)
            ch.bold = true;
        ok = m_sheet->applyStyle(row, col, ch);
    }
    if (!ok)
        gProcError(QStringLiteral("mManegeProfit_Data"), m_run.book().errorText());
    return ok;
}

bool ProfitWriter::rule(int row1, int col1, int row2, int col2) {
    if (!gExcel_CellLine(m_sheet, CellRange{row1, col1, row2, col2}, true, true, true, true, true,
                         true)) {
        gProcError(QStringLiteral("mManegeProfit_RuledLine"));
        return false;
    }
    return true;
}

bool ProfitWriter::newSheet() {
    m_sheet = m_run.addPage(QString::number(m_sheetNo));
    if (!m_sheet) {
        gProcError(QStringLiteral("mManegeProfit_Data"), m_run.book().errorText());
        return false;
    }
    m_row = kFirstRow;
    // The title row names the line filter, when one is set, so a printed sheet says which lines
    // it sums.
    if (m_p.sampling1Class > 0) {
        QString filter = QStringLiteral(" 抽出分類：区分%1「%2」")
                             .arg(m_p.sampling1Class)
                             .arg(m_p.sampling1Item);
        if (m_p.sampling2Class > 0)
            filter += (m_p.andOr == 1 ? QStringLiteral(" または ") : QStringLiteral(" かつ ")) +
                      QStringLiteral("区分%1「%2」").arg(m_p.sampling2Class).arg(m_p.sampling2Item);
        if (!m_sheet->setText(2, 4, filter)) {
            gProcError(QStringLiteral("mManegeProfit_Data"), m_run.book().errorText());
            return false;
        }
    }
    return true;
}

bool ProfitWriter::writeTable() {
    if (!newSheet())
        return false;
    m_run.setProgressMaximum(static_cast<int>(m_p.suppliers.size()));
    m_run.setStatus(QStringLiteral("データを書き込んでいます"));
    m_firstOnSheet = true;
    for (const ProfitSupplier& s : m_p.suppliers) {
        // Lets window events run between suppliers; no deliberate pause.
        m_run.advance();
        if (s.checked) {
            const bool skip = m_p.sumOnly && kindSums(s.masterID, 1).lines == 0 &&
                              kindSums(s.masterID, 2).lines == 0;
            if (!skip) {
                // A sheet is added only when a block is going to stand on it.
                if (m_breakPending) {
                    ++m_sheetNo;
                    if (!newSheet())
                        return false;
                    m_breakPending = false;
                }
                if (!writeBlock(s))
                    return false;
            }
        }
        if (m_row + 2 >= m_p.settings.rowsPerSheet) {
            if (m_row > kFirstRow)
                m_breakPending = true;
            m_firstOnSheet = true;
        }
    }
    m_run.setStatus(QString());
    return true;
}

bool ProfitWriter::writeBlock(const ProfitSupplier& s) {
    m_row += 2;
    const int blockRow = m_row;
    const int nameColor = color(SlotSupplier);
    if (!put(m_row, kNameCol, s.shortName, nameColor, {}, m_p.settings.supplierBold))
        return false;
    if (nameColor > 0 && !m_sheet->setFill(m_row, kLabelCol, nameColor)) {
        gProcError(QStringLiteral("mManegeProfit_Data"), m_run.book().errorText());
        return false;
    }
    m_row += 1;

    RankingRow rank;
    rank.masterID = s.masterID;
    rank.shortName = s.shortName;
    rank.sheetNo = m_sheetNo;
    const KindSums& purchase = kindSums(s.masterID, 1);
    const KindSums& sale = kindSums(s.masterID, 2);
    if (!writeTotalRow(1, purchase, rank.purchase))
        return false;
    m_firstOnSheet = false;
    m_row += 1;
    if (m_p.purchaseGroupingClass > 0 && purchase.lines > 0 && !writeClassRows(1, s.masterID))
        return false;
    if (!writeTotalRow(2, sale, rank.sale))
        return false;
    m_row += 1;
    if (m_p.saleGroupingClass > 0 && sale.lines > 0 && !writeClassRows(2, s.masterID))
        return false;
    if (!writeResultRows(purchase, sale, rank))
        return false;
    ranking.push_back(rank);
    return rule(blockRow, kNameCol, m_row, lastColumn());
}

bool ProfitWriter::writeTotalRow(int kind, const KindSums& k, Currency& last) {
    const int fill = color(kind == 1 ? SlotPurchase : SlotSale);
    if (!put(m_row, kLabelCol, captions[kind - 1] + QStringLiteral(" 合計"), fill))
        return false;
    // Headings of the term columns stand three rows above the first block's purchase row.
    const bool headings = kind == 1 && m_firstOnSheet && m_row - 3 >= 1;
    Currency running;
    for (size_t t = 0; t < m_terms.size(); ++t) {
        const Currency cost = costAt(k, t);
        running += cost;
        int col = termColumn(t);
        if (hasOwnColumn()) {
            if (headings &&
                !put(m_row - 3, col,
                     formatDate(m_terms[t].end, QStringLiteral("YY/M/D")) + QStringLiteral("締"),
                     0))
                return false;
            if (!putMoney(m_row, col, cost, fill))
                return false;
            last = cost;
            ++col;
        }
        if (hasRunningColumn(t)) {
            if (headings) {
                const QString heading =
                    m_sumOnly
                        ? formatDate(m_terms[t].end, QStringLiteral("M/D")) + QStringLiteral("累計")
                        : QStringLiteral("累計");
                if (!put(m_row - 3, col, heading, 0))
                    return false;
            }
            if (!putMoney(m_row, col, running, fill))
                return false;
            last = running;
        }
    }
    return true;
}

bool ProfitWriter::writeClassRows(int kind, qint32 masterID) {
    const auto it = classRows[kind - 1].constFind(masterID);
    if (it == classRows[kind - 1].constEnd())
        return true;
    for (const ClassRow& r : *it) {
        qint64 whole = 0;
        for (const Currency& c : r.sums)
            whole += roundHalfEven(c);
        if (whole == 0)
            continue;
        if (!put(m_row, kLabelCol, QStringLiteral("「") + r.value.toString() + QStringLiteral("」"),
                 0))
            return false;
        Currency running;
        for (size_t t = 0; t < m_terms.size(); ++t) {
            running += r.sums[t];
            int col = termColumn(t);
            if (hasOwnColumn()) {
                if (!putMoney(m_row, col, r.sums[t], 0))
                    return false;
                ++col;
            }
            if (hasRunningColumn(t) && !putMoney(m_row, col, running, 0))
                return false;
        }
        ++m_row;
    }
    return true;
}

bool ProfitWriter::writeResultRows(const KindSums& purchase, const KindSums& sale,
                                   RankingRow& rank) {
    const int marginRow = m_row;
    const int rateRow = m_row + 1;
    const int stockRow = m_row + 2;
    const int marginFill = color(SlotMargin);
    const int rateFill = color(SlotRate);
    const int stockFill = color(SlotStock);
    if (!put(marginRow, kLabelCol, QStringLiteral("荒利"), marginFill) ||
        !put(rateRow, kLabelCol, QStringLiteral("利益率"), rateFill) ||
        !put(stockRow, kLabelCol, QStringLiteral("在庫"), stockFill))
        return false;
    const QString marginFormat = QStringLiteral("#0");
    const QString stockFormat = QStringLiteral("0");
    const QString textFormat = QStringLiteral("@");
    Currency runMargin, runSale, runStock;
    // A stock figure needs both sides' regular-price totals: one that is not valid (a line with
    // neither ratio nor regular price, and no default ratio) makes it "計算不能", for the term
    // and for every running total that includes the term.
    bool runStockValid = true;
    const auto putStock = [&](int col, const std::optional<Currency>& value) {
        return value ? putMoney(stockRow, col, *value, stockFill, stockFormat)
                     : put(stockRow, col, kNotComputable, stockFill, textFormat);
    };
    for (size_t t = 0; t < m_terms.size(); ++t) {
        const Currency saleCost = costAt(sale, t);
        const Currency margin = cutToWhole(saleCost - costAt(purchase, t));
        const bool stockValid = regularValidAt(purchase, t) && regularValidAt(sale, t);
        const std::optional<Currency> stock =
            stockValid ? std::optional<Currency>(regularAt(purchase, t) - regularAt(sale, t))
                       : std::nullopt;
        runMargin += margin;
        runSale += saleCost;
        runStockValid = runStockValid && stockValid;
        if (stock)
            runStock += *stock;
        const std::optional<Currency> runningStock =
            runStockValid ? std::optional<Currency>(runStock) : std::nullopt;
        int col = termColumn(t);
        if (hasOwnColumn()) {
            std::optional<Currency> rate;
            const QString rateText = gProfitRateText(margin, saleCost, &rate);
            if (!putMoney(marginRow, col, margin, marginFill, marginFormat) ||
                !put(rateRow, col, rateText, rateFill, textFormat) || !putStock(col, stock))
                return false;
            rank.margin = margin;
            rank.rate = rate;
            rank.stock = stock;
            ++col;
        }
        if (hasRunningColumn(t)) {
            std::optional<Currency> rate;
            const QString rateText = gProfitRateText(runMargin, runSale, &rate);
            if (!putMoney(marginRow, col, runMargin, marginFill, marginFormat) ||
                !put(rateRow, col, rateText, rateFill, textFormat) || !putStock(col, runningStock))
                return false;
            rank.margin = runMargin;
            rank.rate = rate;
            rank.stock = runningStock;
        }
    }
    m_row = stockRow;
    return true;
}

bool ProfitWriter::writeRanking() {
    const QString proc = QStringLiteral("mManegeProfit_RankingSheet");
    QString sortText;
    QString order;
    if (m_p.rankingOrder == 1) {
        sortText = QStringLiteral("粗利");
        order = QStringLiteral(" ORDER BY curGrossMargin DESC, rowid");
    } else if (m_p.rankingOrder == 2) {
        sortText = QStringLiteral("利益率");
        order = QStringLiteral(" ORDER BY curProfitability DESC, rowid");
    } else {
        gProcError(proc, QStringLiteral("order=") + QString::number(m_p.rankingOrder));
        return false;
    }
    m_sheet = m_run.addPage(kRankingSheet);
    if (!m_sheet) {
        gProcError(proc, m_run.book().errorText());
        return false;
    }
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(QStringLiteral("SELECT lngMasterID, strSupplierShortName, curPurchase,"
                                         " curSale, curGrossMargin, curProfitability, curStock,"
                                         " lngSheetNo FROM ") +
                              kRankingTable + order,
                          {}, proc))
        return false;
    const QString startText = m_p.startText.isEmpty() ? termDateText(m_p.start) : m_p.startText;
    const QString endText = m_p.endText.isEmpty() ? termDateText(m_p.end) : m_p.endText;
    const int nameFill = color(SlotSupplier);
    const int fills[5] = {color(SlotPurchase), color(SlotSale), color(SlotMargin), color(SlotRate),
                          color(SlotStock)};
    auto fail = [&]() {
        gProcError(proc, m_run.book().errorText());
        return false;
    };
    auto nameCells = [&](int row, const QString& name) {
        if (!put(row, 2, name, nameFill, {}, m_p.settings.supplierBold))
            return false;
        return nameFill <= 0 || m_sheet->setFill(row, 3, nameFill);
    };
    if (!put(2, 4,
             QStringLiteral(" ランキングシート(") + sortText + QStringLiteral(") ") + startText +
                 QStringLiteral(" - ") + endText,
             0))
        return fail();
    const QString headings[5] = {QStringLiteral(" 仕入"), QStringLiteral(" 売上"),
                                 QStringLiteral(" 粗利"), QStringLiteral(" 利益率"),
                                 QStringLiteral(" 在庫")};
    for (int i = 0; i < 5; ++i)
        if (!put(3, 4 + i, headings[i], 0))
            return fail();
    int row = 5;
    Currency total[4]; // purchase, sale, margin, stock
    bool totalStockValid = true;
    // A stock that could not be computed is stored as NULL and shown as "計算不能"; so is the
    // total it would be part of.
    const auto putStock = [&](int at, bool valid, Currency value) {
        return valid ? putMoney(at, 8, value, fills[4])
                     : put(at, 8, kNotComputable, fills[4], QStringLiteral("@"));
    };
    for (const QVariantList& r : rs.rows()) {
        const Currency purchase = r.at(2).value<Currency>();
        const Currency sale = r.at(3).value<Currency>();
        const Currency margin = r.at(4).value<Currency>();
        const bool stockValid = !r.at(6).isNull();
        const Currency stock = r.at(6).value<Currency>();
        if (!nameCells(row, r.at(1).toString()) || !putMoney(row, 4, purchase, fills[0]) ||
            !putMoney(row, 5, sale, fills[1]) || !putMoney(row, 6, margin, fills[2]) ||
            !put(row, 7, gProfitRateText(margin, sale), fills[3], QStringLiteral("@")) ||
            !putStock(row, stockValid, stock) || !put(row, 9, r.at(7).toDouble(), 0))
            return fail();
        total[0] += purchase;
        total[1] += sale;
        total[2] += margin;
        total[3] += stock;
        totalStockValid = totalStockValid && stockValid;
        ++row;
    }
    const int totalRow = row + 1;
    if (!nameCells(totalRow, QStringLiteral("合計")) ||
        !putMoney(totalRow, 4, total[0], fills[0]) || !putMoney(totalRow, 5, total[1], fills[1]) ||
        !putMoney(totalRow, 6, total[2], fills[2]) ||
        !put(totalRow, 7, gProfitRateText(total[2], total[1]), fills[3], QStringLiteral("@")) ||
        !putStock(totalRow, totalStockValid, total[3]))
        return fail();
    if (!rule(3, 2, totalRow, 8)) {
        gProcError(proc);
        return false;
    }
    return true;
}

bool storeRanking(const std::vector<RankingRow>& rows) {
    const QString proc = QStringLiteral("mManegeProfit_Data");
    Database& db = gdbData();
    Transaction tr(db);
    if (!tr.ok()) {
        gProcError(proc, QStringLiteral("transaction"));
        return false;
    }
    for (const RankingRow& r : rows) {
        if (!db.executeSQL(QStringLiteral("INSERT INTO T_MP_RANKING (lngMasterID,"
                                          " strSupplierShortName, curPurchase, curSale,"
                                          " curGrossMargin, curProfitability, curStock,"
                                          " lngSheetNo) VALUES (?,?,?,?,?,?,?,?)"),
                           {r.masterID, r.shortName, QVariant::fromValue(r.purchase),
                            QVariant::fromValue(r.sale), QVariant::fromValue(r.margin),
                            r.rate ? QVariant::fromValue(*r.rate) : QVariant(),
                            r.stock ? QVariant::fromValue(*r.stock) : QVariant(), r.sheetNo},
                           proc))
            return false;
    }
    if (!tr.commit()) {
        gProcError(proc, QStringLiteral("commit"));
        return false;
    }
    return true;
}

} // namespace

// ---- Public routines -------------------------------------------------------------------------

QString gProfitRateText(Currency margin, Currency sales, std::optional<Currency>* rate) {
    if (rate)
        rate->reset();
    if (margin.isZero() || sales.isZero())
        return kNotComputable;
    const double cut = gROUNDOFF(margin.toDouble() / sales.toDouble() * 100.0, 1, 0);
    if (rate)
        *rate = Currency::fromDouble(cut);
    return formatNumber(cut, QStringLiteral("#.0")) + QLatin1Char('%');
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

bool gGetProfitSheetSettings(ProfitSheetSettings& settings) {
    ProfitSheetSettings s;
    qint32 maxLine = 29;
    bool ok = gGetSystemBlnField(ProfitSetting::SupplierBold, s.supplierBold, false) &&
              gGetSystemBlnField(ProfitSetting::CellColorOn, s.cellColorOn, false) &&
              gGetSystemLngField(ProfitSetting::MaxLine, maxLine, 29);
    for (int i = 0; ok && i < kProfitColorCount; ++i) {
        qint32 v = 1;
        ok = gGetSystemLngField(kProfitColorSettings[i], v, 1);
        s.colors[i] = v;
    }
    if (!ok) {
        gProcError(QStringLiteral("mGetManegeProfitSetting"));
        return false;
    }
    s.rowsPerSheet = maxLine;
    settings = s;
    return true;
}

bool gGetProfitSuppliers(std::vector<ProfitSupplier>& suppliers) {
    QList<SupplierRecord> records;
    if (!gGetReportSuppliers(records))
        return false;
    std::vector<ProfitSupplier> out;
    out.reserve(records.size());
    for (const SupplierRecord& r : records)
        out.push_back({r.lngMasterID, r.lngSupplier, r.strSupplierShortName, true});
    suppliers = std::move(out);
    return true;
}

ProfitOutcome gMakeManageProfit(const ProfitReportParams& p,
                                const ExcelReportRun::Callbacks& callbacks, QString* savedPath,
                                const std::function<bool()>& afterSave) {
    if (!p.start.isValid() || !p.end.isValid()) {
        ExcelReportRun run(kProcRun);
        run.fail(QStringLiteral("期間が日付ではありません"));
        return ProfitOutcome::Failed;
    }
    if (p.start.daysTo(p.end) < 0) {
        gDispMsg(kMsgStartAfterEnd);
        return ProfitOutcome::StartAfterEnd;
    }
    const bool anyChecked = std::any_of(p.suppliers.begin(), p.suppliers.end(),
                                        [](const ProfitSupplier& s) { return s.checked; });
    if (!anyChecked) {
        gDispMsg(kMsgNothingToReport);
        return ProfitOutcome::NothingToReport;
    }

    ExcelReportRun run(kProcRun);
    run.setCallbacks(callbacks);
    if (!p.outputFolder.isEmpty())
        run.setOutputFolder(p.outputFolder);
    auto failed = [&run]() {
        run.fail(QStringLiteral("利益管理表の作成に失敗しました"));
        return ProfitOutcome::Failed;
    };

    std::vector<ProfitTerm> terms;
    qint32 closeDay = 0;
    if (!gGetSystemCloseDay(closeDay) || !gGetProfitTerms(p.start, p.end, closeDay, terms))
        return failed();
    // Cumulative-only needs a range over two calendar months or more.
    const int months =
        (p.end.year() * 12 + p.end.month()) - (p.start.year() * 12 + p.start.month());
    const bool sumOnly = p.sumOnly && months >= 2;

    // The window is busy from here on: the sums of a large file take a moment.
    if (!run.begin(kExcelTemplateMargin))
        return ProfitOutcome::Failed;
    ProfitWriter w(run, p, terms, sumOnly);
    // Sums of the suppliers written that leave the currency range: the window's message naming
    // the supplier, no file. Another supplier's sums do not count.
    QSet<qint32> outOfRange;
    qint64 lines[2] = {0, 0};
    if (!mManegeProfit_Sums(p, terms, 1, w.sums, lines[0], outOfRange) ||
        !mManegeProfit_Sums(p, terms, 2, w.sums, lines[1], outOfRange)) {
        gProcError(QStringLiteral("mGetManageProfitTargetRecordCount"));
        return failed();
    }
    if (lines[0] == 0 && lines[1] == 0) {
        run.abandon();
        gDispMsg(kMsgNothingToReport);
        return ProfitOutcome::NothingToReport;
    }
    if (!gGetDataCaption(1, w.captions[0]) || !gGetDataCaption(2, w.captions[1]))
        return failed();
    const int grouping[2] = {p.purchaseGroupingClass, p.saleGroupingClass};
    for (int k = 0; k < 2; ++k)
        if (grouping[k] > 0 &&
            !mManegeProfit_GroupClass(p, terms, k + 1, grouping[k], w.classRows[k], outOfRange))
            return failed();
    RangeBudget budget;
    for (const ProfitSupplier& s : p.suppliers) {
        if (!s.checked)
            continue;
        if (!outOfRange.contains(s.masterID)) {
            for (int k = 0; k < 2; ++k) {
                const auto it = w.sums.constFind(s.masterID);
                if (it != w.sums.constEnd()) {
                    for (const Currency& v : it->kind[k].cost)
                        budget.add(v);
                    for (const Currency& v : it->kind[k].regular)
                        budget.add(v);
                }
                for (const ClassRow& row : w.classRows[k].value(s.masterID))
                    for (const Currency& v : row.sums)
                        budget.add(v);
            }
        }
        if (outOfRange.contains(s.masterID) || budget.exceeded) {
            run.refuse(
                gSumOutOfRangeText() +
                QStringLiteral("\r\n\r\n仕入先番号 %1「%2」").arg(s.supplier).arg(s.shortName));
            return ProfitOutcome::OutOfRange;
        }
    }
    if (!gdbData().executeSQL(QStringLiteral("DELETE FROM T_MP_RANKING"), {}, kProcRun))
        return failed();
    if (!w.writeTable() || !storeRanking(w.ranking))
        return failed();
    if (p.ranking) {
        run.setStatus(QStringLiteral("ランキングシートを作成中"));
        if (!w.writeRanking())
            return failed();
        run.setStatus(QString());
    }
    if (!run.deleteTemplateSheet())
        return failed();
    if (!run.save(gExcelSuffixMargin()))
        return ProfitOutcome::Failed;
    if (savedPath)
        *savedPath = run.savedPath();
    // The window keeps its choices once the workbook is saved, before the question.
    if (afterSave && !afterSave())
        return ProfitOutcome::Failed;
    run.askToOpen(QStringLiteral("利益管理表が作成されました"));
    return ProfitOutcome::Saved;
}

// ---- Window choices ------------------------------------------------------------------------

bool gGetProfitWindowChoices(ProfitWindowChoices& choices) {
    ProfitWindowChoices c;
    qint32 andOr = 0, sort = 1;
    const bool ok =
        gGetSystemStrField(ProfitSetting::Sampling1Class, c.sampling1Class, QString()) &&
        gGetSystemStrField(ProfitSetting::Sampling1ClassItem, c.sampling1Item, QString()) &&
        gGetSystemStrField(ProfitSetting::Sampling2Class, c.sampling2Class, QString()) &&
        gGetSystemStrField(ProfitSetting::Sampling2ClassItem, c.sampling2Item, QString()) &&
        gGetSystemLngField(ProfitSetting::SamplingAndOr, andOr, 0) &&
        gGetSystemStrField(ProfitSetting::PurchaseGroupingClass, c.purchaseGroupingClass,
                           QString()) &&
        gGetSystemStrField(ProfitSetting::SaleGroupingClass, c.saleGroupingClass, QString()) &&
        gGetSystemBlnField(ProfitSetting::NoSumNoTarget, c.noSumNoTarget, false) &&
        gGetSystemBlnField(ProfitSetting::SumOnly, c.sumOnly, false) &&
        gGetSystemBlnField(ProfitSetting::Ranking, c.ranking, false) &&
        gGetSystemLngField(ProfitSetting::SortRanking, sort, 1);
    if (!ok) {
        gProcError(QStringLiteral("frmPrint_mDspSetting_ManegeProfit"));
        return false;
    }
    c.andOr = andOr;
    c.sortRanking = sort;
    choices = c;
    return true;
}

bool gSetProfitWindowChoices(const ProfitWindowChoices& c) {
    Transaction tr(gdbData());
    const bool ok =
        tr.ok() && gSetSystemStrField(ProfitSetting::Sampling1Class, c.sampling1Class) &&
        gSetSystemStrField(ProfitSetting::Sampling1ClassItem, c.sampling1Item) &&
        gSetSystemStrField(ProfitSetting::Sampling2Class, c.sampling2Class) &&
        gSetSystemStrField(ProfitSetting::Sampling2ClassItem, c.sampling2Item) &&
        gSetSystemLngField(ProfitSetting::SamplingAndOr, c.andOr) &&
        gSetSystemStrField(ProfitSetting::PurchaseGroupingClass, c.purchaseGroupingClass) &&
        gSetSystemStrField(ProfitSetting::SaleGroupingClass, c.saleGroupingClass) &&
        gSetSystemBlnField(ProfitSetting::NoSumNoTarget, c.noSumNoTarget) &&
        gSetSystemBlnField(ProfitSetting::SumOnly, c.sumOnly) &&
        gSetSystemBlnField(ProfitSetting::Ranking, c.ranking) &&
        gSetSystemLngField(ProfitSetting::SortRanking, c.sortRanking) && tr.commit();
    if (!ok) {
        gProcError(QStringLiteral("frmPrint_mSetSystem_ManegeProfitSetting"));
        return false;
    }
    return true;
}

bool gGetProfitClassCaptions(QStringList& captions) {
    QStringList out;
    for (int no : {CaptionNo::Class1, CaptionNo::Class2, CaptionNo::Class3}) {
        QString def, caption;
        if (!gGetColumnCaption(no, 1, def, caption)) {
            gProcError(QStringLiteral("frmPrint_mGetClassCaptions"),
                       QStringLiteral("caption=") + QString::number(no));
            return false;
        }
        out << caption;
    }
    captions = out;
    return true;
}

bool gGetProfitClassItems(int classNo, QStringList& items) {
    const QString proc = QStringLiteral("frmPrint_cboSamplingClass_Click");
    if (classNo < 1 || classNo > 3) {
        gProcError(proc, QStringLiteral("class=") + QString::number(classNo));
        return false;
    }
    ResultSet rs(gdbData());
    if (!rs.openRecordSet(QStringLiteral("SELECT strClassItem FROM Q_DATA_CLASS") +
                              QString::number(classNo),
                          {}, proc))
        return false;
    QStringList out;
    for (const QVariantList& r : rs.rows())
        out << r.at(0).toString();
    items = out;
    return true;
}
