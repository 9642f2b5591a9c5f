#include "reports/ReportRegistry.h"

#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/LineRules.h"
#include "master/SupplierRecords.h"
#include "reports/Journal.h"
#include "reports/LedgerPrint.h"
#include "reports/ProfitReport.h"
#include "reports/SupplierList.h"
#include "reports/TaxSummary.h"
#include "store/MsgCatalogue.h"
#include "store/Period.h"
#include "store/Settings.h"

#include <algorithm>
#include <optional>

namespace {

// The period lists of today's term, for the close day read once.
bool todaysTerms(TermLists& lists) {
    qint32 closeDay = 0;
    return gGetSystemCloseDay(closeDay) && gGetTermLists(svc().clock().today(), closeDay, lists);
}

using Kind = ReportOptionKind;

const QStringList kSides = {QStringLiteral("purchase"), QStringLiteral("sales")};

template <typename T> const T* byName(const std::vector<T>& list, const QString& name) {
    const auto it =
        std::find_if(list.begin(), list.end(), [&name](const T& t) { return t.name == name; });
    return it == list.end() ? nullptr : &*it;
}

ReportResult refused(const QString& message = {}) {
    return {ReportOutcome::Refused, {}, message};
}
ReportResult failed() {
    return {ReportOutcome::Failed, {}, {}};
}
ReportResult written(const QString& path) {
    return {ReportOutcome::Written, path, {}};
}

// A builder's outcome as a report's result: its written value, its failure, any other a
// refusal (the builder has told the user why).
template <typename Outcome>
ReportResult resultOf(Outcome outcome, Outcome writtenValue, Outcome failedValue,
                      const QString& path) {
    if (outcome == writtenValue)
        return written(path);
    return outcome == failedValue ? failed() : refused();
}

QString notValidSupplier(qint32 n) {
    return QStringLiteral("仕入先番号 %1 は有効な仕入先ではありません"
                          " / supplier %1 is not a valid supplier")
        .arg(n);
}

// Every supplier number asked for must be a valid supplier: the smallest one that is not.
std::optional<qint32> notValid(const ReportArgs& a, const QList<qint32>& valid) {
    if (!a.only)
        return std::nullopt;
    QList<qint32> numbers(a.only->begin(), a.only->end());
    std::sort(numbers.begin(), numbers.end());
    for (qint32 n : numbers)
        if (!valid.contains(n))
            return n;
    return std::nullopt;
}

// The valid suppliers and those of them the run asks for.
bool suppliersOf(const ReportArgs& a, QList<SupplierRecord>& chosen, QList<qint32>& valid) {
    QList<SupplierRecord> all;
    if (!gGetReportSuppliers(all))
        return false;
    for (const SupplierRecord& r : std::as_const(all)) {
        valid << r.lngSupplier;
        if (a.includes(r.lngSupplier))
            chosen << r;
    }
    return true;
}

ReportResult runSupplierList(const ReportArgs& a, bool balances) {
    QList<SupplierRecord> chosen;
    QList<qint32> valid;
    if (!suppliersOf(a, chosen, valid))
        return failed();
    if (const auto n = notValid(a, valid))
        return refused(notValidSupplier(*n));
    if (chosen.isEmpty()) {
        svc().prompt().show(QStringLiteral("仕入先がありません"), gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Information);
        return refused();
    }
    QDate asOf;
    if (balances) {
        TermLists lists;
        if (!todaysTerms(lists))
            return failed();
        asOf = parseLedgerDate(
            gReportDateText(a.text(QStringLiteral("date")).value_or(lists.endText)));
        if (!asOf.isValid()) {
            gDispMsg(4);
            return refused();
        }
    }
    QString saved;
    const SupplierListOutcome outcome =
        gRunSupplierList(chosen, balances, asOf, a.number(QStringLiteral("kind")).value_or(0) + 1,
                         a.callbacks, a.outputFolder, &saved);
    return resultOf(outcome, SupplierListOutcome::Written, SupplierListOutcome::Failed, saved);
}

ReportResult runLedger(const ReportArgs& a, Database& db) {
    LedgerPrintParams p;
    p.outputFolder = a.outputFolder;
    TermLists lists;
    if (!todaysTerms(lists) || !gGetLedgerPrintOptions(p.options))
        return failed();
    p.startText = gReportDateText(a.text(QStringLiteral("from")).value_or(lists.startText));
    p.endText = gReportDateText(a.text(QStringLiteral("to")).value_or(lists.endText));
    LedgerPrintOptions& opt = p.options;
    if (const auto form = a.number(QStringLiteral("form"))) {
        opt.kokuyoRi103 = *form == 1;
        p.kokuyoRi101 = *form == 2;
    }
    opt.linesPerPage = a.number(QStringLiteral("lines")).value_or(opt.linesPerPage);
    opt.balanceInterval = a.number(QStringLiteral("interval")).value_or(opt.balanceInterval);
    opt.offsetVertical = a.number(QStringLiteral("offset-vertical")).value_or(opt.offsetVertical);
    opt.offsetHorizontal =
        a.number(QStringLiteral("offset-horizontal")).value_or(opt.offsetHorizontal);
    opt.noteInBalance = a.flag(QStringLiteral("note-in-balance")).value_or(opt.noteInBalance);
    opt.omitMonth = a.flag(QStringLiteral("omit-month")).value_or(opt.omitMonth);
    opt.omitDay = a.flag(QStringLiteral("omit-day")).value_or(opt.omitDay);
    if (const auto blank = a.number(QStringLiteral("close-day-blank"))) {
        opt.closeDayBlank = *blank > 0;
        if (*blank > 0)
            opt.closeDayBlankRows = *blank;
    }

    QList<SupplierRecord> all;
    if (!gGetReportSuppliers(all))
        return failed();
    QList<qint32> valid;
    for (const SupplierRecord& r : std::as_const(all)) {
        valid << r.lngSupplier;
        p.suppliers << LedgerPrintSupplier{r.lngSupplier, r.strSupplierShortName,
                                           a.includes(r.lngSupplier), 1};
    }
    if (const auto n = notValid(a, valid))
        return refused(notValidSupplier(*n));
    for (const QString& entry : a.pairs(QStringLiteral("start-row"))) {
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        const qint32 supplier = entry.left(eq).trimmed().toInt();
        int row = 0;
        QString message;
        if (!gParseLedgerStartRow(entry.mid(eq + 1), row, message)) {
            svc().prompt().show(message, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Critical);
            return refused();
        }
        if (!valid.contains(supplier))
            return refused(notValidSupplier(supplier));
        p.suppliers[valid.indexOf(supplier)].startRow = row;
    }

    LedgerPrintResult result;
    gPrintLedger(db, p, a.callbacks, result);
    return resultOf(result.outcome, LedgerPrintOutcome::Written, LedgerPrintOutcome::Failed,
                    result.savedPath);
}

ReportResult runProfit(const ReportArgs& a, Database& db) {
    ProfitReportParams p;
    p.outputFolder = a.outputFolder;
    TermLists lists;
    ProfitWindowChoices c;
    QStringList captions;
    if (!todaysTerms(lists) || !gGetProfitWindowChoices(c) || !gGetProfitClassCaptions(captions) ||
        !gGetProfitSheetSettings(p.settings))
        return failed();
    // The window offers the range from three months before the current term.
    const QDate current = termDateFromText(lists.startText);
    p.start = parseLedgerDate(gReportDateText(
        a.text(QStringLiteral("from")).value_or(termDateText(current.addMonths(-3)))));
    p.end = parseLedgerDate(gReportDateText(a.text(QStringLiteral("to")).value_or(lists.endText)));
    if (!p.start.isValid() || !p.end.isValid()) {
        gDispMsg(4);
        return refused();
    }
    p.startText = termDateText(p.start);
    p.endText = termDateText(p.end);

    // The stored choices as the window restores them: a class text that is no longer among
    // the captions counts as none.
    const auto classIndex = [&](const QString& text) {
        const qsizetype i = captions.indexOf(text);
        return text.isEmpty() || i < 0 ? 0 : static_cast<int>(i) + 1;
    };
    const auto number = [&a](const char* name) { return a.number(QString::fromLatin1(name)); };
    p.sampling1Class = number("class1").value_or(classIndex(c.sampling1Class));
    p.sampling2Class = number("class2").value_or(classIndex(c.sampling2Class));
    p.sampling1Item =
        p.sampling1Class ? a.text(QStringLiteral("item1")).value_or(c.sampling1Item) : QString();
    p.sampling2Item =
        p.sampling2Class ? a.text(QStringLiteral("item2")).value_or(c.sampling2Item) : QString();
    p.andOr = number("join").value_or(c.andOr == 1 ? 1 : 0);
    p.purchaseGroupingClass =
        number("purchase-group").value_or(classIndex(c.purchaseGroupingClass));
    p.saleGroupingClass = number("sale-group").value_or(classIndex(c.saleGroupingClass));
    p.sumOnly = a.flag(QStringLiteral("sum-only")).value_or(c.sumOnly);
    p.ranking = a.flag(QStringLiteral("ranking")).value_or(c.ranking);
    const auto sort = number("sort");
    p.rankingOrder = sort ? *sort + 1 : (c.sortRanking == 2 ? 2 : 1);

    std::vector<ProfitSupplier> all;
    if (!gGetProfitSuppliers(all))
        return failed();
    QList<qint32> valid;
    for (ProfitSupplier& s : all) {
        valid << s.supplier;
        s.checked = a.includes(s.supplier);
    }
    if (const auto n = notValid(a, valid))
        return refused(notValidSupplier(*n));
    p.suppliers = all;

    QString saved;
    const ProfitOutcome outcome = gMakeManageProfit(db, p, a.callbacks, &saved);
    return resultOf(outcome, ProfitOutcome::Saved, ProfitOutcome::Failed, saved);
}

// The range (--from/--to, else today's term) and the suppliers of a period report; a result
// when the run stops here.
std::optional<ReportResult> rangeAndSuppliers(const ReportArgs& a, QString& startText,
                                              QString& endText, QList<SupplierRecord>& suppliers) {
    TermLists lists;
    if (!todaysTerms(lists))
        return failed();
    startText = gReportDateText(a.text(QStringLiteral("from")).value_or(lists.startText));
    endText = gReportDateText(a.text(QStringLiteral("to")).value_or(lists.endText));
    QList<qint32> valid;
    if (!suppliersOf(a, suppliers, valid))
        return failed();
    if (const auto n = notValid(a, valid))
        return refused(notValidSupplier(*n));
    return std::nullopt;
}

ReportResult runTax(const ReportArgs& a, Database& db) {
    TaxSummaryParams p;
    p.procName = QStringLiteral("tovaki-report tax");
    p.outputFolder = a.outputFolder;
    p.kind = a.number(QStringLiteral("kind")).value_or(0) + 1;
    p.csv = a.flag(QStringLiteral("csv")).value_or(false);
    if (auto stop = rangeAndSuppliers(a, p.startText, p.endText, p.suppliers))
        return *stop;
    QString saved;
    const TaxSummaryOutcome outcome = gPrintTaxSummary(db, p, a.callbacks, &saved);
    return resultOf(outcome, TaxSummaryOutcome::Written, TaxSummaryOutcome::Failed, saved);
}

ReportResult runJournal(const ReportArgs& a, Database& db) {
    JournalParams p;
    p.procName = QStringLiteral("tovaki-report journal");
    p.outputFolder = a.outputFolder;
    p.format = a.number(QStringLiteral("format")).value_or(0) == 1 ? JournalFormat::Generic
                                                                   : JournalFormat::Yayoi;
    if (auto stop = rangeAndSuppliers(a, p.startText, p.endText, p.suppliers))
        return *stop;
    QString saved;
    const JournalOutcome outcome = gMakeJournal(db, p, &saved);
    return resultOf(outcome, JournalOutcome::Written, JournalOutcome::Failed, saved);
}

} // namespace

const std::vector<ReportOption>& gReportOptions() {
    static const std::vector<ReportOption> options = {
        // The ledger print.
        {QStringLiteral("form"),
         Kind::Choice,
         0,
         0,
         {QStringLiteral("plain"), QStringLiteral("ri103"), QStringLiteral("ri101")}},
        {QStringLiteral("lines"), Kind::Number, kLedgerLinesMin, kLedgerLinesMax, {}},
        {QStringLiteral("interval"), Kind::Number, 1, kLedgerIntervalMax, {}},
        {QStringLiteral("note-in-balance"), Kind::Flag, 0, 0, {}},
        {QStringLiteral("omit-month"), Kind::Flag, 0, 0, {}},
        {QStringLiteral("omit-day"), Kind::Flag, 0, 0, {}},
        {QStringLiteral("close-day-blank"), Kind::Number, 0, kLedgerBlankRowsMax, {}},
        {QStringLiteral("offset-vertical"), Kind::Number, -kLedgerOffsetMax, kLedgerOffsetMax, {}},
        {QStringLiteral("offset-horizontal"),
         Kind::Number,
         -kLedgerOffsetMax,
         kLedgerOffsetMax,
         {}},
        {QStringLiteral("start-row"), Kind::Pairs, 0, 0, {}},
        // The profit table: line filter, breakdowns, layout and ranking.
        {QStringLiteral("class1"), Kind::Number, 0, 3, {}},
        {QStringLiteral("item1"), Kind::Text, 0, 0, {}},
        {QStringLiteral("class2"), Kind::Number, 0, 3, {}},
        {QStringLiteral("item2"), Kind::Text, 0, 0, {}},
        {QStringLiteral("join"), Kind::Choice, 0, 0, {QStringLiteral("and"), QStringLiteral("or")}},
        {QStringLiteral("purchase-group"), Kind::Number, 0, 3, {}},
        {QStringLiteral("sale-group"), Kind::Number, 0, 3, {}},
        {QStringLiteral("sum-only"), Kind::Flag, 0, 0, {}},
        {QStringLiteral("ranking"), Kind::Flag, 0, 0, {}},
        {QStringLiteral("sort"),
         Kind::Choice,
         0,
         0,
         {QStringLiteral("margin"), QStringLiteral("rate")}},
        // Shared: the range, the date of the balances, the ledger, the tax summary's CSV.
        {QStringLiteral("from"), Kind::Text, 0, 0, {}},
        {QStringLiteral("to"), Kind::Text, 0, 0, {}},
        {QStringLiteral("date"), Kind::Text, 0, 0, {}},
        {QStringLiteral("kind"), Kind::Choice, 0, 0, kSides},
        {QStringLiteral("csv"), Kind::Switch, 0, 0, {}},
        // The journal entries: the accounting program's import or the generic file.
        {QStringLiteral("format"),
         Kind::Choice,
         0,
         0,
         {QStringLiteral("yayoi"), QStringLiteral("generic")}},
    };
    return options;
}

const ReportOption* gFindReportOption(const QString& name) {
    return byName(gReportOptions(), name);
}

const std::vector<ReportEntry>& gReports() {
    static const std::vector<ReportEntry> reports = {
        {QStringLiteral("suppliers"),
         QStringLiteral("仕入先名簿（住所録）"),
         {},
         [](const ReportArgs& a, Database&) { return runSupplierList(a, false); }},
        {QStringLiteral("balances"),
         QStringLiteral("仕入先名簿（支払残確認用）"),
         {QStringLiteral("date"), QStringLiteral("kind")},
         [](const ReportArgs& a, Database&) { return runSupplierList(a, true); }},
        {QStringLiteral("profit"),
         QStringLiteral("利益管理表"),
         {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("class1"),
          QStringLiteral("class2"), QStringLiteral("purchase-group"), QStringLiteral("sale-group"),
          QStringLiteral("join"), QStringLiteral("sort"), QStringLiteral("sum-only"),
          QStringLiteral("ranking"), QStringLiteral("item1"), QStringLiteral("item2")},
         runProfit},
        {QStringLiteral("ledger"),
         QStringLiteral("仕入帳"),
         {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("form"),
          QStringLiteral("lines"), QStringLiteral("interval"), QStringLiteral("offset-vertical"),
          QStringLiteral("offset-horizontal"), QStringLiteral("close-day-blank"),
          QStringLiteral("note-in-balance"), QStringLiteral("omit-month"),
          QStringLiteral("omit-day"), QStringLiteral("start-row")},
         runLedger},
        {QStringLiteral("tax"),
         QStringLiteral("消費税集計表"),
         {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("kind"),
          QStringLiteral("csv")},
         runTax},
        {QStringLiteral("journal"),
         QStringLiteral("仕訳（会計ソフト用）"),
         {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("format")},
         runJournal},
    };
    return reports;
}

const ReportEntry* gFindReport(const QString& name) {
    return byName(gReports(), name);
}

QString gReportCaption(const QString& report) {
    const ReportEntry* e = gFindReport(report);
    return e ? e->caption : report;
}

QStringList gReportOwnOptions(const QString& report) {
    QStringList own;
    for (const ReportOption& o : gReportOptions()) {
        const auto takes = [&o](const ReportEntry& e) { return e.takes(o.name); };
        const auto n = std::count_if(gReports().begin(), gReports().end(), takes);
        const ReportEntry* e = gFindReport(report);
        if (n == 1 && e && e->takes(o.name))
            own << o.name;
    }
    return own;
}

std::optional<int> ReportArgs::number(const QString& name) const {
    const auto it = values.constFind(name);
    return it == values.constEnd() ? std::nullopt : std::optional<int>(it->toInt());
}

std::optional<bool> ReportArgs::flag(const QString& name) const {
    const auto it = values.constFind(name);
    return it == values.constEnd() ? std::nullopt : std::optional<bool>(it->toBool());
}

std::optional<QString> ReportArgs::text(const QString& name) const {
    const auto it = values.constFind(name);
    return it == values.constEnd() ? std::nullopt : std::optional<QString>(it->toString());
}

QStringList ReportArgs::pairs(const QString& name) const {
    return values.value(name).toStringList();
}

QString gReportDateText(const QString& v) {
    const QDate iso = QDate::fromString(v.trimmed(), QStringLiteral("yyyy-MM-dd"));
    return iso.isValid() ? termDateText(iso) : v.trimmed();
}
