#include "reports/TaxSummary.h"

#include "base/CheckedFileWriter.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/LineRules.h"
#include "master/InvoiceNumber.h"
#include "store/AmountLimits.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "store/Period.h"
#include "store/Settings.h"
#include "store/TaxRates.h"
#include "util/FileHelpers.h"
#include "workbook/Workbook.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <limits>
#include <string_view>
#include <vector>

namespace {

using Wide = __int128;

constexpr int kMsgInvalidDate = 4;
constexpr int kMsgNothingToReport = 22;
constexpr int kMsgStartAfterEnd = 40;

// A whole-yen figure as currency; no value beyond the currency range.
std::optional<Currency> yen(Wide whole) {
    const Wide limit = std::numeric_limits<std::int64_t>::max() / Currency::Scale;
    if (whole > limit || whole < -limit)
        return std::nullopt;
    return Currency::fromInt(static_cast<std::int64_t>(whole));
}

std::optional<Currency> raw(Wide value) {
    if (value > std::numeric_limits<std::int64_t>::max() ||
        value < std::numeric_limits<std::int64_t>::min())
        return std::nullopt;
    return Currency::fromRaw(static_cast<std::int64_t>(value));
}

// A date as the number yyyymmdd: ordered as the dates are, compared without a QDate.
constexpr int dateKey(int y, int m, int d) {
    return y * 10000 + m * 100 + d;
}

int dateKey(const QDate& d) {
    return dateKey(d.year(), d.month(), d.day());
}

constexpr int kInvoiceStartKey = dateKey(2023, 10, 1);
constexpr int kShare50FromKey = dateKey(2026, 10, 1);
constexpr int kShareNoneFromKey = dateKey(2029, 10, 1);
constexpr int kNever = std::numeric_limits<int>::max();

int shareOn(int key) {
    if (key < kInvoiceStartKey)
        return 100;
    if (key < kShare50FromKey)
        return 80;
    if (key < kShareNoneFromKey)
        return 50;
    return 0;
}

// The date of a line as read from the table, 0 when it is none. A stored date 'YYYY-MM-DD' is
// read from its digits; any other text is read as the result set reads a date column (a time
// stamp by its date, other text as an ISO date), so such rows count exactly as they always did.
int lineDateKey(std::string_view t) {
    const auto digit = [&](std::size_t i) { return t[i] >= '0' && t[i] <= '9'; };
    if (t.size() == 10 && t[4] == '-' && t[7] == '-' && digit(0) && digit(1) && digit(2) &&
        digit(3) && digit(5) && digit(6) && digit(8) && digit(9)) {
        const auto num = [&](std::size_t i, std::size_t n) {
            int v = 0;
            for (std::size_t k = i; k < i + n; ++k)
                v = v * 10 + (t[k] - '0');
            return v;
        };
        const int y = num(0, 4), m = num(5, 2), d = num(8, 2);
        static constexpr int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        if (y >= 1 && m >= 1 && m <= 12 && d >= 1 &&
            d <= kMonthDays[m - 1] + (m == 2 && leap ? 1 : 0))
            return dateKey(y, m, d);
    }
    const QString s = QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
    QDate date;
    if (s.size() == 10)
        date = QDate::fromString(s, QStringLiteral("yyyy-MM-dd"));
    else if (s.size() == 19)
        date = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss")).date();
    if (!date.isValid())
        date = QVariant(s).toDate();
    return date.isValid() ? dateKey(date) : 0;
}

// The amounts of one supplier in one group: category (reduced or not), rate and share.
struct Group {
    bool reduced;
    std::int64_t percent;
    int share;
    Wide amount;
};

struct SupplierSums {
    Wide standard = 0;
    Wide reduced = 0;
    Wide stated = 0;
    std::vector<Group> groups; // a handful: looked up in place
    int firstLine = 0;         // dateKey, 0 when there is none
    int lastLine = 0;
    int registeredFrom = kNever; // dateKey of the registration, kNever without one
    bool any = false;

    void add(bool isReduced, std::int64_t percent, int share, Wide amount) {
        for (Group& g : groups) {
            if (g.reduced == isReduced && g.percent == percent && g.share == share) {
                g.amount += amount;
                return;
            }
        }
        groups.push_back(Group{isReduced, percent, share, amount});
    }
};

// The amounts of the whole ledger (every listed supplier) in one group of the rate table.
struct LedgerGroup {
    int category; // 0 standard, 1 reduced, 2 older rate (a rate row from before 2019-10-01)
    std::int64_t percent;
    std::int64_t national;
    int share;
    Wide amount;
};

constexpr int kReducedStartKey = dateKey(2019, 10, 1);

void addToLedger(std::vector<LedgerGroup>& groups, int category, std::int64_t percent,
                 std::int64_t national, int share, Wide amount) {
    for (LedgerGroup& g : groups) {
        if (g.category == category && g.percent == percent && g.national == national &&
            g.share == share) {
            g.amount += amount;
            return;
        }
    }
    groups.push_back(LedgerGroup{category, percent, national, share, amount});
}

// The figures of one group in whole yen, each cut toward zero once. amount is in 1/10 000 yen,
// percent and national in 1/10 000 percent, share in percent. Without the tax: amount × rate
// ÷ 100; with it: amount × rate ÷ (100 + rate).
struct GroupTax {
    Wide tax;
    Wide national;
    Wide deductible;
    Wide deductibleNational;
};

GroupTax groupTax(Wide amount, std::int64_t percent, std::int64_t national, int share,
                  TaxEntry entry) {
    const Wide den = entry == TaxEntry::Inclusive ? Wide(10'000) * (Wide(1'000'000) + percent)
                                                  : Wide(10'000'000'000LL);
    return GroupTax{amount * percent / den, amount * national / den,
                    amount * percent * share / (den * 100),
                    amount * national * share / (den * 100)};
}

QDate keyDate(int key) {
    return QDate(key / 10000, key / 100 % 100, key % 100);
}

QString statusText(const SupplierRecord& s, const SupplierSums& sums) {
    if (s.strInvoiceNo.isEmpty() || !s.datInvoiceFrom.isValid())
        return QStringLiteral("未登録");
    const QString from = termDateText(s.datInvoiceFrom);
    if (sums.firstLine == 0 || s.datInvoiceFrom <= keyDate(sums.firstLine))
        return QStringLiteral("登録");
    if (s.datInvoiceFrom > keyDate(sums.lastLine))
        return QStringLiteral("未登録（") + from + QStringLiteral(" から登録）");
    return QStringLiteral("未登録／") + from + QStringLiteral(" から登録");
}

// A row of the rate table by date key; the rates as counts of 1/10 000 percent.
struct RateRow {
    int from;
    std::int64_t standard;
    std::int64_t reduced;
    std::int64_t standardNational; // the national parts (gNationalTaxRate)
    std::int64_t reducedNational;
};

// Adds up the lines of the range of one ledger in one scan through the index by date: every
// line of a listed supplier to that supplier's sums (index in `sums` by lngMasterID).
bool scanLedger(Database& db, const QString& table, int taxClass, const std::vector<RateRow>& rates,
                const TaxSummary& summary, const QHash<qint64, int>& index,
                std::vector<SupplierSums>& sums, std::vector<LedgerGroup>& ledger) {
    const QString cls = QString::number(taxClass);
    // The reduced mark as a list built once for the statement (not a lookup per line); a line
    // without a class is not reduced.
    const QString sql = QStringLiteral("SELECT d.lngMasterID, d.date1, d.curCost,"
                                       " (CASE WHEN d.strItem IS NOT NULL AND instr(d.strItem,?)>0"
                                       " THEN 1 ELSE 0 END), (CASE WHEN d.strClass") +
                        cls + QStringLiteral(" IN (SELECT c.strClassItem FROM T_DATA_CLASS") + cls +
                        QStringLiteral(" c WHERE c.blnReduced=1) THEN 1 ELSE 0 END) FROM ") +
                        table +
                        QStringLiteral(" d WHERE d.date1>=? AND d.date1<=?"
                                       " AND d.curCost IS NOT NULL");
    RowCursor c(db);
    if (!c.open(sql, {kTaxItemText, summary.from, summary.to}, QStringLiteral("gCalcTaxSummary")))
        return false;
    // The rate row in force over [rateFrom, rateUntil): the index gives the lines in date order,
    // so the table is searched only when a line's date leaves that span.
    int rateFrom = kNever, rateUntil = kNever;
    const RateRow* rate = nullptr;
    while (c.next()) {
        const auto found = index.constFind(c.int64(0));
        if (found == index.cend())
            continue;
        const int date = lineDateKey(c.text(1));
        if (date == 0)
            continue;
        // As the result set reads a currency column: an integer as it is, anything else as a
        // number scaled.
        const Wide amount = c.isInteger(2)
                                ? Wide(c.int64(2))
                                : Wide(Currency::fromDouble(c.real(2) / Currency::Scale).raw());
        SupplierSums& s = sums[static_cast<std::size_t>(*found)];
        s.any = true;
        if (c.int64(3) != 0) {
            s.stated += amount;
            continue;
        }
        if (s.firstLine == 0 || date < s.firstLine)
            s.firstLine = date;
        if (date > s.lastLine)
            s.lastLine = date;
        if (date < rateFrom || date >= rateUntil) {
            const auto next = std::upper_bound(rates.begin(), rates.end(), date,
                                               [](int d, const RateRow& r) { return d < r.from; });
            rate = next == rates.begin() ? nullptr : &*(next - 1);
            rateFrom = rate ? rate->from : std::numeric_limits<int>::min();
            rateUntil = next == rates.end() ? kNever : next->from;
        }
        const bool reduced = c.int64(4) != 0 && rate && rate->reduced < rate->standard;
        const std::int64_t percent = rate ? (reduced ? rate->reduced : rate->standard) : 0;
        const int share = summary.kind == 1 && date < s.registeredFrom ? shareOn(date) : 100;
        (reduced ? s.reduced : s.standard) += amount;
        s.add(reduced, percent, share, amount);
        const std::int64_t national =
            rate ? (reduced ? rate->reducedNational : rate->standardNational) : 0;
        const int category = rate && rate->from < kReducedStartKey ? 2 : (reduced ? 1 : 0);
        addToLedger(ledger, category, percent, national, share, amount);
    }
    return !c.failed();
}

} // namespace

int gTransitionalShare(const QDate& date) {
    return shareOn(dateKey(date));
}

namespace {

const QString& categoryText(int category) {
    static const QString texts[] = {QStringLiteral("標準税率"), QStringLiteral("軽減税率"),
                                    QStringLiteral("旧税率")};
    return texts[category];
}

// The rate table from the ledger's groups; false when a figure leaves the currency range.
bool rateTable(std::vector<LedgerGroup> groups, TaxEntry entry, TaxSummary& out) {
    std::sort(groups.begin(), groups.end(), [](const LedgerGroup& a, const LedgerGroup& b) {
        if (a.category != b.category)
            return a.category < b.category;
        if (a.percent != b.percent)
            return a.percent > b.percent;
        if (a.national != b.national)
            return a.national > b.national;
        return a.share > b.share;
    });
    // net, gross, tax, national, deductible, deductible national
    Wide total[6] = {};
    const auto row = [&](TaxRateShareRow& r, const Wide(&f)[6]) {
        const auto net = raw(f[0]), gross = raw(f[1]);
        const auto tax = yen(f[2]), nat = yen(f[3]), local = yen(f[2] - f[3]);
        const auto ded = yen(f[4]), dedNat = yen(f[5]), dedLocal = yen(f[4] - f[5]);
        if (!net || !gross || !tax || !nat || !local || !ded || !dedNat || !dedLocal)
            return false;
        r.net = *net;
        r.gross = *gross;
        r.tax = *tax;
        r.nationalTax = *nat;
        r.localTax = *local;
        if (out.kind == 1) {
            r.deductible = *ded;
            r.deductibleNational = *dedNat;
            r.deductibleLocal = *dedLocal;
        }
        return true;
    };
    for (const LedgerGroup& g : groups) {
        const GroupTax t = groupTax(g.amount, g.percent, g.national, g.share, entry);
        const Wide taxRaw = t.tax * Currency::Scale;
        const Wide f[6] = {entry == TaxEntry::Inclusive ? g.amount - taxRaw : g.amount,
                           entry == TaxEntry::Inclusive ? g.amount : g.amount + taxRaw,
                           t.tax,
                           t.national,
                           t.deductible,
                           t.deductibleNational};
        for (int i = 0; i < 6; ++i)
            total[i] += f[i];
        TaxRateShareRow r;
        r.category = categoryText(g.category);
        r.rate = Currency::fromRaw(g.percent);
        r.nationalRate = Currency::fromRaw(g.national);
        r.localRate = Currency::fromRaw(g.percent - g.national);
        r.share = g.share;
        if (!row(r, f))
            return false;
        out.rateRows << r;
    }
    out.rateTotal = TaxRateShareRow();
    out.rateTotal.category = QStringLiteral("合計");
    return row(out.rateTotal, total);
}

} // namespace

bool gCalcTaxSummary(Database& db, const QList<SupplierRecord>& suppliers, const QDate& from,
                     const QDate& to, int kind, TaxSummary& summary, TaxEntry entry) {
    const QString proc = QStringLiteral("gCalcTaxSummary");
    if (kind != 1 && kind != 2) {
        gProcError(proc, QStringLiteral("kind=%1").arg(kind));
        return false;
    }
    TaxSummary out;
    out.kind = kind;
    out.from = from;
    out.to = to;
    out.entry = entry;
    if (!gChkStoredTaxRates(out.badRateRow)) {
        gProcError(proc);
        return false;
    }
    if (!out.badRateRow.isEmpty()) {
        summary = out;
        return true;
    }
    QList<TaxRate> rates;
    qint32 taxClass = 1;
    if (!gGetTaxRates(rates) || !gGetTaxClass(taxClass)) {
        gProcError(proc);
        return false;
    }
    std::vector<RateRow> rateRows;
    for (const TaxRate& r : rates)
        rateRows.push_back(RateRow{dateKey(r.from), r.standard.raw(), r.reduced.raw(),
                                   gNationalTaxRate(r.from, r.standard).raw(),
                                   gNationalTaxRate(r.from, r.reduced).raw()});
    // Each supplier's sums, by the first entry of its number in the list.
    QHash<qint64, int> index;
    std::vector<SupplierSums> perSupplier(static_cast<std::size_t>(suppliers.size()));
    for (qsizetype i = 0; i < suppliers.size(); ++i) {
        const SupplierRecord& s = suppliers.at(i);
        if (index.contains(s.lngMasterID))
            continue;
        index.insert(s.lngMasterID, static_cast<int>(i));
        if (!s.strInvoiceNo.isEmpty() && s.datInvoiceFrom.isValid())
            perSupplier[static_cast<std::size_t>(i)].registeredFrom = dateKey(s.datInvoiceFrom);
    }
    std::vector<LedgerGroup> ledger;
    if (!scanLedger(db, QStringLiteral("T_DATA") + QString::number(kind), taxClass, rateRows, out,
                    index, perSupplier, ledger)) {
        gProcError(proc);
        return false;
    }
    Wide total[7] = {};
    bool inRange = true;
    for (const SupplierRecord& s : suppliers) {
        const SupplierSums& sums =
            perSupplier[static_cast<std::size_t>(index.value(s.lngMasterID))];
        if (!sums.any)
            continue;
        Wide tax = 0, deductible = 0, outStandard = 0, outReduced = 0;
        for (const auto& [reduced, percent, share, amount] : sums.groups) {
            // Cut toward zero once per group (groupTax).
            const GroupTax t = groupTax(amount, percent, 0, share, entry);
            tax += t.tax;
            deductible += t.deductible;
            (reduced ? outReduced : outStandard) += t.tax;
        }
        const Wide figures[7] = {sums.standard, sums.reduced, sums.stated, tax,
                                 deductible,    outStandard,  outReduced};
        for (int i = 0; i < 7; ++i)
            total[i] += figures[i];
        TaxSummaryRow r;
        r.supplier = s.lngSupplier;
        r.shortName = s.strSupplierShortName;
        r.invoiceNo = s.strInvoiceNo;
        r.status = statusText(s, sums);
        const auto a = raw(sums.standard), b = raw(sums.reduced), c = raw(sums.stated);
        const auto d = yen(tax), e = yen(deductible), f = yen(outStandard), g = yen(outReduced);
        if (!a || !b || !c || !d || !e || !f || !g) {
            inRange = false;
            break;
        }
        r.standardAmount = *a;
        r.reducedAmount = *b;
        r.statedTax = *c;
        r.tax = *d;
        if (kind == 1) {
            r.deductible = *e;
        } else {
            r.outputStandard = *f;
            r.outputReduced = *g;
        }
        out.rows << r;
    }
    if (inRange) {
        const auto a = raw(total[0]), b = raw(total[1]), c = raw(total[2]);
        const auto d = yen(total[3]), e = yen(total[4]), f = yen(total[5]), g = yen(total[6]);
        inRange = a && b && c && d && e && f && g;
        if (inRange) {
            out.total.shortName = QStringLiteral("合計");
            out.total.standardAmount = *a;
            out.total.reducedAmount = *b;
            out.total.statedTax = *c;
            out.total.tax = *d;
            if (kind == 1) {
                out.total.deductible = *e;
            } else {
                out.total.outputStandard = *f;
                out.total.outputReduced = *g;
            }
        }
    }
    if (inRange)
        inRange = rateTable(std::move(ledger), entry, out);
    if (!inRange) {
        summary = TaxSummary();
        summary.kind = kind;
        summary.outOfRange = true;
        return true;
    }
    summary = out;
    return true;
}

QStringList gTaxSummaryHeadings(int kind, TaxEntry entry) {
    const QString with = entry == TaxEntry::Inclusive ? QStringLiteral("（税込）") : QString();
    QStringList h{QStringLiteral("番号"), QStringLiteral("仕入先")};
    if (kind == 1)
        h << QStringLiteral("登録番号") << QStringLiteral("登録状況");
    h << QStringLiteral("標準税率対象額") + with << QStringLiteral("軽減税率対象額") + with
      << QStringLiteral("計算税額") << QStringLiteral("記載税額（消費税伝票）");
    if (kind == 1)
        h << QStringLiteral("控除対象仕入税額");
    else
        h << QStringLiteral("売上税額（標準税率）") << QStringLiteral("売上税額（軽減税率）");
    return h;
}

int gTaxSummaryTextColumns(int kind) {
    return kind == 1 ? 4 : 2;
}

QStringList gTaxSummaryCells(const TaxSummaryRow& r, int kind) {
    QStringList c{r.supplier > 0 ? QString::number(r.supplier) : QString(), r.shortName};
    if (kind == 1)
        c << r.invoiceNo << r.status;
    c << r.standardAmount.toString() << r.reducedAmount.toString() << r.tax.toString()
      << r.statedTax.toString();
    if (kind == 1)
        c << r.deductible.toString();
    else
        c << r.outputStandard.toString() << r.outputReduced.toString();
    return c;
}

QStringList gTaxRateShareHeadings(int kind) {
    QStringList h{QStringLiteral("区分"), QStringLiteral("税率"), QStringLiteral("うち国税"),
                  QStringLiteral("うち地方税")};
    if (kind == 1)
        h << QStringLiteral("控除割合");
    h << QStringLiteral("税抜金額") << QStringLiteral("税込金額") << QStringLiteral("消費税額")
      << QStringLiteral("国税分") << QStringLiteral("地方税分");
    if (kind == 1)
        h << QStringLiteral("控除対象仕入税額") << QStringLiteral("控除対象の国税分")
          << QStringLiteral("控除対象の地方税分");
    return h;
}

int gTaxRateShareTextColumns(int kind) {
    return kind == 1 ? 5 : 4;
}

namespace {
QString percentText(Currency rate) {
    return rate.toString() + QLatin1Char('%');
}
} // namespace

QStringList gTaxRateShareCells(const TaxRateShareRow& r, int kind) {
    const bool total = r.category == QStringLiteral("合計");
    QStringList c{r.category, total ? QString() : percentText(r.rate),
                  total ? QString() : percentText(r.nationalRate),
                  total ? QString() : percentText(r.localRate)};
    if (kind == 1)
        c << (total ? QString() : QString::number(r.share) + QLatin1Char('%'));
    c << r.net.toString() << r.gross.toString() << r.tax.toString() << r.nationalTax.toString()
      << r.localTax.toString();
    if (kind == 1)
        c << r.deductible.toString() << r.deductibleNational.toString()
          << r.deductibleLocal.toString();
    return c;
}

namespace {
bool writeCsv(const QString& path, std::vector<QStringList> records, QString* failureText) {
    QString error;
    if (!gWriteQuotedCsv(path, records, error, failureText)) {
        gSetLastError(0, QStringLiteral("CheckedFileWriter"), error);
        gProcError(QStringLiteral("gWriteTaxSummaryCsv"), path);
        return false;
    }
    return true;
}
} // namespace

bool gWriteTaxSummaryCsv(const QString& path, const TaxSummary& summary, QString* failureText) {
    std::vector<QStringList> records{gTaxSummaryHeadings(summary.kind, summary.entry)};
    for (const TaxSummaryRow& r : summary.rows)
        records.push_back(gTaxSummaryCells(r, summary.kind));
    records.push_back(gTaxSummaryCells(summary.total, summary.kind));
    return writeCsv(path, std::move(records), failureText);
}

bool gWriteTaxRateShareCsv(const QString& path, const TaxSummary& summary, QString* failureText) {
    std::vector<QStringList> records{gTaxRateShareHeadings(summary.kind)};
    for (const TaxRateShareRow& r : summary.rateRows)
        records.push_back(gTaxRateShareCells(r, summary.kind));
    records.push_back(gTaxRateShareCells(summary.rateTotal, summary.kind));
    return writeCsv(path, std::move(records), failureText);
}

namespace {

// The title area of both sheets: the title (and the shop's name) in B2, the range, the ledger
// and what the amounts are in B3, the day made in B4.
bool writeTitle(Worksheet* sheet, const TaxSummary& s, const QString& title,
                const QString& shopName, const QDate& made) {
    const QString ledger = s.kind == 1 ? QStringLiteral("仕入帳") : QStringLiteral("売上帳");
    const QString amounts = s.entry == TaxEntry::Inclusive
                                ? QStringLiteral("（金額は税込で入力、消費税伝票を除く金額、"
                                                 "伝票の日付の税率）")
                                : QStringLiteral("（消費税伝票を除く金額、伝票の日付の税率）");
    return sheet->setText(2, 2,
                          shopName.isEmpty() ? title : title + QStringLiteral("　") + shopName) &&
           sheet->setText(3, 2,
                          termDateText(s.from) + QStringLiteral(" ～ ") + termDateText(s.to) +
                              QStringLiteral("　") + ledger + amounts) &&
           sheet->setText(4, 2, QStringLiteral("作成日 ") + termDateText(made));
}

// A table from the heading row on: the headings, the rows (cells as text; the first textColumns
// stay text, the others are written as numbers "#,##0") and a bold total row with rules above
// and below; then the notes, one a row, after a blank row.
bool writeTable(Worksheet* sheet, const QStringList& headings, const std::vector<QStringList>& rows,
                int textColumns, const QStringList& notes) {
    for (int i = 0; i < headings.size(); ++i)
        if (!sheet->setText(kTaxSummaryHeadingRow, 2 + i, headings.at(i)))
            return false;
    int row = kTaxSummaryFirstRow;
    for (const QStringList& cells : rows) {
        for (int i = 0; i < cells.size(); ++i) {
            const int col = 2 + i;
            const QString& cell = cells.at(i);
            if (i < textColumns) {
                if (cell.isEmpty())
                    continue;
                bool number = false;
                const int n = i == 0 ? cell.toInt(&number) : 0;
                if (!(number ? sheet->setNumber(row, col, n) : sheet->setText(row, col, cell)))
                    return false;
            } else if (!sheet->setNumber(row, col, Currency::parse(cell)->toDouble()) ||
                       !sheet->setNumberFormat(row, col, QStringLiteral("#,##0"))) {
                return false;
            }
        }
        // Each row but the total (styled below) leaves memory when done.
        if (++row < kTaxSummaryFirstRow + static_cast<int>(rows.size()) &&
            !sheet->writeOutRows(row))
            return false;
    }
    const int last = row - 1;
    const int lastCol = 1 + static_cast<int>(headings.size());
    if (!gExcel_CellLine(sheet, CellRange{last, 2, last, lastCol}, true, true, false, false, false,
                         false))
        return false;
    for (int c = 2; c <= lastCol; ++c)
        if (!sheet->setBold(last, c, true))
            return false;
    row = last + 2;
    for (const QString& note : notes)
        if (!sheet->setText(row++, 2, note))
            return false;
    return true;
}

QString entryNote(TaxEntry entry) {
    return entry == TaxEntry::Inclusive
               ? QStringLiteral("金額は税込で入力（システム画面の設定）："
                                "税額＝金額×税率÷（100＋税率）")
               : QStringLiteral("金額は税抜で入力（システム画面の設定）：税額＝金額×税率÷100");
}

bool writeSupplierSheet(Worksheet* sheet, const TaxSummary& s, const QString& shopName,
                        const QDate& made) {
    std::vector<QStringList> rows;
    for (const TaxSummaryRow& r : s.rows)
        rows.push_back(gTaxSummaryCells(r, s.kind));
    rows.push_back(gTaxSummaryCells(s.total, s.kind));
    return writeTitle(sheet, s, kTaxSummarySheet, shopName, made) &&
           writeTable(sheet, gTaxSummaryHeadings(s.kind, s.entry), rows,
                      gTaxSummaryTextColumns(s.kind),
                      {entryNote(s.entry),
                       QStringLiteral("端数処理：仕入先ごとに、税率・控除割合の同じ金額の合計から"
                                      "1円未満を切り捨てています。")});
}

bool writeRateSheet(Worksheet* sheet, const TaxSummary& s, const QString& shopName,
                    const QDate& made) {
    std::vector<QStringList> rows;
    for (const TaxRateShareRow& r : s.rateRows)
        rows.push_back(gTaxRateShareCells(r, s.kind));
    rows.push_back(gTaxRateShareCells(s.rateTotal, s.kind));
    const int textColumns = gTaxRateShareTextColumns(s.kind);
    const int lastCol = 1 + static_cast<int>(gTaxRateShareHeadings(s.kind).size());
    // The template's columns are the supplier table's: the rate table sets its own widths.
    if (!sheet->setColumnWidth(2, 10) || !sheet->setColumnWidth(3, 1 + textColumns, 9) ||
        !sheet->setColumnWidth(2 + textColumns, lastCol, 14))
        return false;
    return writeTitle(sheet, s, kTaxSummarySheet + QStringLiteral("（税率別）"), shopName, made) &&
           writeTable(sheet, gTaxRateShareHeadings(s.kind), rows, textColumns,
                      {entryNote(s.entry),
                       QStringLiteral("端数処理：税率・控除割合ごとに全仕入先の金額を合計し、"
                                      "税額・国税分・控除対象税額をそれぞれ1円未満切り捨て。"
                                      "地方税分は税額から国税分を引いた額です。"),
                       QStringLiteral("仕入先別の表は仕入先ごとに切り捨てるため、"
                                      "その合計とは数円違うことがあります。"),
                       QStringLiteral("旧税率：2019/09/30 以前の伝票（8% は国税 6.3%、5% は国税 "
                                      "4%、3% は国税のみ）。")});
}

} // namespace

TaxSummaryOutcome gPrintTaxSummary(const TaxSummaryParams& p,
                                   const ExcelReportRun::Callbacks& callbacks, QString* savedPath) {
    return gPrintTaxSummary(gdbData(), p, callbacks, savedPath);
}

TaxSummaryOutcome gPrintTaxSummary(Database& db, const TaxSummaryParams& p,
                                   const ExcelReportRun::Callbacks& callbacks, QString* savedPath) {
    const QDate from = termDateFromText(p.startText);
    const QDate to = termDateFromText(p.endText);
    if (!from.isValid() || !to.isValid()) {
        gDispMsg(kMsgInvalidDate);
        return TaxSummaryOutcome::InvalidInput;
    }
    if (from > to) {
        gDispMsg(kMsgStartAfterEnd);
        return TaxSummaryOutcome::InvalidInput;
    }
    TaxEntry entry = TaxEntry::Exclusive;
    QString shopName;
    if (!gGetTaxEntry(entry) || !gGetSetting(SettingNo::ShopName, shopName)) {
        gProcError(p.procName);
        svc().prompt().show(kExcelReportFailed, gstrAppTitle, MsgStyle::OKOnly);
        return TaxSummaryOutcome::Failed;
    }
    TaxSummary summary;
    if (!gCalcTaxSummary(db, p.suppliers, from, to, p.kind, summary, entry)) {
        gProcError(p.procName);
        svc().prompt().show(kExcelReportFailed, gstrAppTitle, MsgStyle::OKOnly);
        return TaxSummaryOutcome::Failed;
    }
    if (!summary.badRateRow.isEmpty()) {
        svc().prompt().show(summary.badRateRow, gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return TaxSummaryOutcome::Failed;
    }
    if (summary.outOfRange) {
        svc().prompt().show(gSumOutOfRangeText(), gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return TaxSummaryOutcome::OutOfRange;
    }
    if (summary.rows.isEmpty()) {
        gDispMsg(kMsgNothingToReport);
        return TaxSummaryOutcome::NothingToReport;
    }
    if (p.csv) {
        QString folder = p.outputFolder;
        if (folder.isEmpty() && !gGetDesktopPath(folder)) {
            gProcError(p.procName, QStringLiteral("desktop"));
            return TaxSummaryOutcome::Failed;
        }
        QString path = gExcelReportPath(folder, svc().clock().now(), kCsvSuffixTaxSummary);
        QString unique;
        if (QFileInfo::exists(path) && gGetUniqueFName(folder, QFileInfo(path).fileName(), unique))
            path = gAddBackSlash(folder) + unique;
        // The rate table beside it, under the same time.
        QString ratePath = path;
        ratePath.replace(ratePath.size() - kCsvSuffixTaxSummary.size(), kCsvSuffixTaxSummary.size(),
                         kCsvSuffixTaxRates);
        if (QFileInfo::exists(ratePath) &&
            gGetUniqueFName(folder, QFileInfo(ratePath).fileName(), unique))
            ratePath = gAddBackSlash(folder) + unique;
        QString why;
        if (!gWriteTaxSummaryCsv(path, summary, &why) ||
            !gWriteTaxRateShareCsv(ratePath, summary, &why)) {
            gProcError(p.procName);
            svc().prompt().show(kCsvFileReportFailed + QStringLiteral("\r\n\r\n") + why,
                                gstrAppTitle, MsgStyle::OKOnly);
            return TaxSummaryOutcome::Failed;
        }
        if (savedPath)
            *savedPath = path;
        return TaxSummaryOutcome::Written;
    }
    ExcelReportRun run(p.procName);
    run.setCallbacks(callbacks);
    run.setOutputFolder(p.outputFolder);
    run.setProgressMaximum(1);
    if (!run.begin(kExcelTemplateTaxSummary))
        return TaxSummaryOutcome::Failed;
    const QDate made = svc().clock().today();
    Worksheet* rates = run.addPage(kTaxRateSheet);
    Worksheet* sheet = run.templateSheet();
    if (!rates || !sheet || !writeSupplierSheet(sheet, summary, shopName, made) ||
        !writeRateSheet(rates, summary, shopName, made) ||
        !run.book().renameSheet(sheet->index(), kTaxSummarySheet) ||
        !run.book().setActiveSheet(sheet->index())) {
        run.fail();
        return TaxSummaryOutcome::Failed;
    }
    run.advance();
    if (!run.finish(kExcelSuffixTaxSummary, QStringLiteral("消費税集計表が作成されました")))
        return TaxSummaryOutcome::Failed;
    if (savedPath)
        *savedPath = run.savedPath();
    return TaxSummaryOutcome::Written;
}
