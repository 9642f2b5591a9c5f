#pragma once

#include "reports/ExcelLayer.h"
#include "reports/ProfitTable.h"
#include "store/Currency.h"
#include "store/SettingsRegistry.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

// The profit management table (利益管理表) and its ranking sheet: one block per supplier with
// the purchase and sales totals of every term in a range (with running totals), optional class
// breakdowns, the gross margin, the profit rate and the stock value; optionally a sheet
// "ランキング" that orders the written suppliers by margin or by rate. Core rules only: the
// report window (or a command-line tool) fills ProfitReportParams and calls gMakeManageProfit,
// which computes the table (ProfitTable.h), renders it (gWriteProfitWorkbook) and tells the
// user what came of it.

// Settings numbers of the profit table and its settings window.
namespace ProfitSetting {
constexpr int Sampling1Class = SettingNo::Sampling1Class;
constexpr int Sampling1ClassItem = SettingNo::Sampling1ClassItem;
constexpr int Sampling2Class = SettingNo::Sampling2Class;
constexpr int Sampling2ClassItem = SettingNo::Sampling2ClassItem;
constexpr int SamplingAndOr = SettingNo::SamplingAndOr;
constexpr int PurchaseGroupingClass = SettingNo::PurchaseGroupingClass;
constexpr int SaleGroupingClass = SettingNo::SaleGroupingClass;
constexpr int ColorSupplier = SettingNo::ColorSupplier;
constexpr int SupplierBold = SettingNo::SupplierBold;
constexpr int ColorPurchase = SettingNo::ColorPurchase;
constexpr int ColorSale = SettingNo::ColorSale;
constexpr int ColorMargin = SettingNo::ColorMargin;
constexpr int ColorRate = SettingNo::ColorRate;
constexpr int MaxLine = SettingNo::LinesPerSheet;
constexpr int ColorStock = SettingNo::ColorStock;
constexpr int CellColorOn = SettingNo::CellColorOn;
constexpr int NoSumNoTarget = SettingNo::NoSumNoTarget;
constexpr int SumOnly = SettingNo::SumOnly;
constexpr int Ranking = SettingNo::Ranking;
constexpr int SortRanking = SettingNo::SortRanking;
} // namespace ProfitSetting

// The colour settings of the six kinds of cells, in the order of the settings window's labels:
// supplier name, purchase total, sales total, gross margin, profit rate, stock.
constexpr int kProfitColorCount = 6;
constexpr int kProfitColorSettings[kProfitColorCount] = {
    ProfitSetting::ColorSupplier, ProfitSetting::ColorPurchase, ProfitSetting::ColorSale,
    ProfitSetting::ColorMargin,   ProfitSetting::ColorRate,     ProfitSetting::ColorStock};

// The choices of the settings window that shape the workbook.
struct ProfitSheetSettings {
    bool cellColorOn = false;  // setting 35; without it no cell is filled
    bool supplierBold = false; // setting 26: supplier names in bold
    // Excel colour indexes (1..56) of supplier name, purchase, sales, margin, rate, stock
    // (settings 25, 28, 29, 30, 31, 34; 1 each by default).
    int colors[kProfitColorCount] = {1, 1, 1, 1, 1, 1};
    // Rows a sheet holds before the next supplier starts a new sheet: the "１ページで使用する
    // 行数" of the settings window (setting 33, 29 by default).
    int rowsPerSheet = 29;
};

// Reads the settings above. Failure (settings store): logged "mGetManegeProfitSetting", false.
bool gGetProfitSheetSettings(ProfitSheetSettings& settings);

// One supplier of the report window's list, in list order.
struct ProfitSupplier {
    qint32 masterID = 0;
    qint32 supplier = 0; // the number the user sees
    QString shortName;
    bool checked = true;
};

// The suppliers of the report window's list (its supplier records, gGetReportSuppliers): valid
// suppliers in the order of setting 9, all checked. Failure: logged, false.
bool gGetProfitSuppliers(std::vector<ProfitSupplier>& suppliers);

// Everything one run needs.
struct ProfitReportParams {
    QDate start; // the range; normally a term start and a term end
    QDate end;
    // The range as the window shows it, for the ranking title; empty: the dates as yyyy/MM/dd.
    QString startText;
    QString endText;
    std::vector<ProfitSupplier> suppliers; // in list order; unchecked ones write nothing
    // Line filter: class number 1..3 (0 none) and value. The second condition counts only
    // together with the first; andOr 0 joins them with AND ("かつ"), 1 with OR ("または").
    int sampling1Class = 0;
    QString sampling1Item;
    int sampling2Class = 0;
    QString sampling2Item;
    int andOr = 0;
    // Class (1..3, 0 none) by which the purchase and the sales lines are broken down.
    int purchaseGroupingClass = 0;
    int saleGroupingClass = 0;
    // Cumulative columns only; ignored when the range spans fewer than two calendar months.
    // Suppliers without any line in the range are then left out as well.
    bool sumOnly = false;
    bool ranking = false;
    int rankingOrder = 1; // 1 "粗利" (gross margin), 2 "利益率" (profit rate)
    ProfitSheetSettings settings;
    QString outputFolder; // where the workbook is saved; the desktop when empty
};

enum class ProfitOutcome {
    Saved,           // the workbook was saved (and offered for opening)
    StartAfterEnd,   // message 40 shown
    NothingToReport, // message 22 shown
    OutOfRange,      // the stored amounts of a supplier written add up beyond the currency
                     // range: that message (gSumOutOfRangeText) naming the supplier, no file
    Failed           // failure path taken: message shown, logged "frmPrint_cmdMargin_Click"
};

// Runs the whole report: checks, busy state through the callbacks, the template "Margin.xlsx",
// the computed table, the ranking table T_MP_RANKING, the rendered sheets, the saved workbook
// and the question whether to open it. This is the layer that speaks to the user; the
// computation and the renderer do not. Expected conditions are shown as catalogue messages 40
// and 22. afterSave runs once the workbook is saved, before the question (the window keeps its
// choices there); when it fails the question is not asked and the outcome is Failed (the file
// stays).
ProfitOutcome gMakeManageProfit(Database& db, const ProfitReportParams& params,
                                const ExcelReportRun::Callbacks& callbacks = {},
                                QString* savedPath = nullptr,
                                const std::function<bool()>& afterSave = {});
// The same on the program's data file (gdbData()).
ProfitOutcome gMakeManageProfit(const ProfitReportParams& params,
                                const ExcelReportRun::Callbacks& callbacks = {},
                                QString* savedPath = nullptr,
                                const std::function<bool()>& afterSave = {});

// The renderer: writes a computed table on the run's workbook (the table sheets "1", "2", … as
// sheets places the blocks, and with params.ranking the sheet "ランキング" from the ranking rows
// in the order given). Failure: logged, false.
bool gWriteProfitWorkbook(ExcelReportRun& run, const ProfitReportParams& params,
                          const ProfitTable& table, const std::vector<int>& sheets,
                          const std::vector<ProfitRankingRow>& ranking);

// ---- The report window's choices -----------------------------------------------------------

// The controls of the frame "利益管理表" that are kept between runs, as texts and flags.
struct ProfitWindowChoices {
    QString sampling1Class;        // 16
    QString sampling1Item;         // 17
    QString sampling2Class;        // 18
    QString sampling2Item;         // 19
    int andOr = 0;                 // 20: 0 "かつ", 1 "または"
    QString purchaseGroupingClass; // 21
    QString saleGroupingClass;     // 22
    bool noSumNoTarget = false;    // 36
    bool sumOnly = false;          // 37
    bool ranking = false;          // 42
    int sortRanking = 1;           // 43: 1 "粗利", 2 "利益率"
};

// Reads and stores the choices (settings 16 to 22, 36, 37, 42, 43). Failures are logged
// "frmPrint_mDspSetting_ManegeProfit" / "frmPrint_mSetSystem_ManegeProfitSetting".
bool gGetProfitWindowChoices(ProfitWindowChoices& choices);
bool gSetProfitWindowChoices(const ProfitWindowChoices& choices);

// The captions of the class columns 1 to 3 of the purchase ledger, as the class combos offer
// them after an empty first entry. Failure: logged "frmPrint_mGetClassCaptions", false.
bool gGetProfitClassCaptions(QStringList& captions);
// The values of class list classNo (1..3) in list order. Failure: logged
// "frmPrint_cboSamplingClass_Click", false.
bool gGetProfitClassItems(int classNo, QStringList& items);
