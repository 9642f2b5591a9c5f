// The profit table's run: the checks and messages around the computed table (ProfitTable.h) and
// its renderer (ProfitSheet.cpp); and the settings and window choices the report reads.
#include "reports/ProfitReport.h"

#include "base/ErrorLog.h"
#include "ledger/Captions.h"
#include "master/SupplierRecords.h"
#include "reports/SupplierList.h"
#include "store/AmountLimits.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "store/Settings.h"

#include <algorithm>

namespace {

const QString kProcRun = QStringLiteral("frmPrint_cmdMargin_Click");

constexpr int kMsgNothingToReport = 22;
constexpr int kMsgStartAfterEnd = 40;

} // namespace

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
    return gMakeManageProfit(gdbData(), p, callbacks, savedPath, afterSave);
}

ProfitOutcome gMakeManageProfit(Database& db, const ProfitReportParams& p,
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
    // The window is busy from here on: the sums of a large file take a moment.
    if (!run.begin(kExcelTemplateMargin))
        return ProfitOutcome::Failed;
    ProfitTable table;
    size_t beyond = 0;
    switch (gComputeProfitTable(db, p, table, &beyond)) {
    case ProfitComputeStatus::Ok:
        break;
    case ProfitComputeStatus::NothingToReport:
        run.abandon();
        gDispMsg(kMsgNothingToReport);
        return ProfitOutcome::NothingToReport;
    case ProfitComputeStatus::OutOfRange: {
        // Sums of a supplier written that leave the currency range: the window's message naming
        // the supplier, no file.
        const ProfitSupplier& s = p.suppliers.at(beyond);
        run.refuse(gSumOutOfRangeText() +
                   QStringLiteral("\r\n\r\n仕入先番号 %1「%2」").arg(s.supplier).arg(s.shortName));
        return ProfitOutcome::OutOfRange;
    }
    case ProfitComputeStatus::Failed:
        return failed();
    }
    const std::vector<int> sheets = gProfitBlockSheets(table, p.settings.rowsPerSheet);
    std::vector<ProfitRankingRow> ranking = gProfitRankingRows(table, sheets);
    if (!gStoreProfitRanking(db, ranking) ||
        (p.ranking && !gSortProfitRanking(ranking, p.rankingOrder)) ||
        !gWriteProfitWorkbook(run, p, table, sheets, ranking) || !run.deleteTemplateSheet())
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
