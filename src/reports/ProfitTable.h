#pragma once

#include "store/Currency.h"

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

// The figures of the profit management table (利益管理表) as a plain table: what the report
// computes from the ledgers before anything is laid out. gComputeProfitTable forms it from the
// data file, without windows, messages or workbook; the renderer (ProfitReport.h,
// gWriteProfitWorkbook) lays it out on sheets, and the run (gMakeManageProfit) tells the user.

class Database;
struct ProfitReportParams;

// The terms of a range: the first contains start, each next one contains the day after the
// previous end, the last contains end.
struct ProfitTerm {
    QDate start;
    QDate end;
};

// One value column of the table: a term's own figure, or the running total up to and
// including the term.
struct ProfitColumn {
    size_t term = 0;
    bool running = false;
};

// A labelled row with one figure per column of the table.
struct ProfitRow {
    QString label; // "仕入 合計" (the ledger's caption), or a class value in 「」
    std::vector<Currency> values;
};

// One supplier's block.
struct ProfitBlock {
    qint32 masterID = 0;
    qint32 supplier = 0;
    QString shortName;
    size_t listIndex = 0; // the supplier's place in ProfitReportParams::suppliers
    ProfitRow purchase;
    std::vector<ProfitRow> purchaseClasses; // class rows that add up to something
    ProfitRow sale;
    std::vector<ProfitRow> saleClasses;
    std::vector<Currency> margin; // "荒利": sales less purchases, cut to whole yen per term
    // "利益率" and "在庫" per column; none where they cannot be computed ("計算不能").
    std::vector<std::optional<Currency>> rate;
    std::vector<std::optional<Currency>> stock;
};

struct ProfitTable {
    std::vector<ProfitTerm> terms;
    // Cumulative-only: one running column per term. Otherwise the first term has its own
    // column and every later term its own and a running one.
    bool sumOnly = false;
    std::vector<ProfitColumn> columns;
    size_t listed = 0;               // suppliers in the run's list, ticked or not
    std::vector<ProfitBlock> blocks; // the blocks written, in list order
};

enum class ProfitComputeStatus {
    Ok,
    NothingToReport, // no line of either ledger in the range passes the filter
    OutOfRange,      // a ticked supplier's figures leave the currency range (see beyond)
    Failed           // logged
};

// Computes the table of a run from db: the terms of the range, the sums of both ledgers per
// supplier and term through the filter, the class breakdowns, margins, rates and stock. Only
// ticked suppliers get a block; in cumulative-only mode suppliers without any line are left
// out as well. On OutOfRange, beyond receives the list index of the first ticked supplier
// whose figures (or all figures up to them together) leave the range. Nothing is shown to the
// user.
ProfitComputeStatus gComputeProfitTable(Database& db, const ProfitReportParams& params,
                                        ProfitTable& table, size_t* beyond = nullptr);

// ---- Layout ------------------------------------------------------------------------------------

// The row above the first block of a sheet (the term headings stand there); a block starts two
// rows below the last row used.
constexpr int kProfitFirstRow = 3;
// The rows of a block: name, purchase total and its class rows, sales total and its class rows,
// margin, rate, stock.
int gProfitBlockHeight(const ProfitBlock& block);
// The number of the sheet ("1", "2", …) each block of the table stands on when a sheet holds
// rowsPerSheet rows: a block starts a new sheet when the previous one ended within two rows
// of the limit.
std::vector<int> gProfitBlockSheets(const ProfitTable& table, int rowsPerSheet);

// One row of the ranking: a block's range figures (those of its last column).
struct ProfitRankingRow {
    qint32 masterID = 0;
    QString shortName;
    Currency purchase;
    Currency sale;
    Currency margin;
    std::optional<Currency> rate;
    std::optional<Currency> stock;
    int sheetNo = 1;
};

// The ranking rows of the table in block order, with the sheets of gProfitBlockSheets.
std::vector<ProfitRankingRow> gProfitRankingRows(const ProfitTable& table,
                                                 const std::vector<int>& sheets);
// Orders ranking rows: order 1 by gross margin, 2 by profit rate (rows without a rate last),
// highest first, equal ones in block order. Another order: logged, false.
bool gSortProfitRanking(std::vector<ProfitRankingRow>& rows, int order);
// Replaces the rows of the ranking table T_MP_RANKING of db. Failure: logged, false.
bool gStoreProfitRanking(Database& db, const std::vector<ProfitRankingRow>& rows);

// The terms of start..end for `closeDay`. Failure: logged "gGetCurrentMonthTerm", false.
bool gGetProfitTerms(const QDate& start, const QDate& end, int closeDay,
                     std::vector<ProfitTerm>& terms);

// The profit rate text of a margin over sales: the rate in percent cut toward zero to one
// decimal, formatted "#.0" with "%" ("12.3%", ".5%"), or "計算不能" when either is zero. rate
// receives the number when there is one.
QString gProfitRateText(Currency margin, Currency sales, std::optional<Currency>* rate = nullptr);
