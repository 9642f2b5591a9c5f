#include "reports/LedgerPrint.h"

#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/Totals.h"
#include "master/SupplierRecords.h"
#include "store/AmountLimits.h"
#include "store/Database.h"
#include "store/Formats.h"
#include "store/MsgCatalogue.h"
#include "store/Period.h"
#include "store/Settings.h"

#include <QSet>
#include <algorithm>
#include <optional>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The narrowest the print position makes the month column (characters): room for "12".
constexpr double kLedgerMonthMinWidth = 2.0;

// The notes added to the completion question of a form print.
QString formNotes() {
    return kCrLf + kCrLf + QStringLiteral("  作成された各シートは左穴用です。      ") + kCrLf +
           QStringLiteral("  バインダー穴が右で印刷する場合は、") + kCrLf +
           QStringLiteral("  そのシートの一番左の列の幅を") + kCrLf +
           QStringLiteral("  ０ にすればＯＫです。");
}

Currency currencyOf(const QVariant& v) {
    return v.isNull() ? Currency() : v.value<Currency>();
}

int clampTo(int value, int low, int high) {
    return std::clamp(value, low, high);
}

} // namespace

// Sheet names: the short name followed by the page number. A short name Excel refuses is made
// valid, and a short name an earlier supplier of the run already used gets the supplier
// number, so every supplier's pages stay apart and no page is refused.
class LedgerSheetNames {
public:
    QString baseFor(qint32 supplier, const QString& shortName) {
        QString base = shortName.trimmed().isEmpty() ? QStringLiteral("仕入先%1_").arg(supplier)
                                                     : Workbook::validSheetName(shortName, {});
        if (containsFold(base))
            base += QStringLiteral("(%1)").arg(supplier);
        m_bases << base.toCaseFolded();
        return base;
    }
    static QString pageName(const QString& base, int page) {
        const QString number = QString::number(page);
        QString cut = base;
        // Keep the page number when the name is long: cut the base, not the number.
        while (cut.size() + number.size() > 31)
            cut.chop(1);
        // Never leave half of a character that needs two code units.
        while (!cut.isEmpty() && cut.back().isHighSurrogate())
            cut.chop(1);
        return cut + number;
    }

private:
    bool containsFold(const QString& base) const { return m_bases.contains(base.toCaseFolded()); }
    QSet<QString> m_bases;
};

namespace {

// Writes a laid-out page on the run's workbook, from the template with the short name in its
// head; the name the workbook gave it goes into sheets. Failure: false, the reason in the
// workbook's error text.
bool writePage(ExcelReportRun& run, const LedgerColumns& cols, const LedgerPrintPage& page,
               QStringList& sheets) {
    Worksheet* sheet = run.addPage(page.name);
    if (!sheet)
        return false;
    sheets << sheet->name();
    if (!sheet->setText(kLedgerNameRow, kLedgerNameColumn, page.shortName))
        return false;
    // A template edited before the year had its cell still holds the title there: it stays.
    if (!page.year.isEmpty() &&
        sheet->value(kLedgerYearRow, kLedgerYearColumn).toString().isEmpty() &&
        !sheet->setText(kLedgerYearRow, kLedgerYearColumn, page.year))
        return false;
    for (const LedgerPrintRow& r : page.rows) {
        const auto text = [&](int col, const QString& value) {
            return sheet->setText(r.row, col, value);
        };
        if (!text(cols.month, r.month) || !text(cols.day, r.day) || !text(cols.item, r.item))
            return false;
        const double size = gLedgerItemFontSize(r.item);
        if (size > 0 && !sheet->setFontSize(r.row, cols.item, size))
            return false;
        if (cols.quantity == cols.unitPrice) {
            // "リ-101" has no boxes of its own for them: both go into the margin column, the
            // unit price last.
            QString both = r.quantity;
            if (!r.unitPrice.isEmpty())
                both += (both.isEmpty() ? QString() : QStringLiteral(" ")) + QStringLiteral("@") +
                        r.unitPrice;
            if (!text(cols.quantity, both))
                return false;
        } else if (!text(cols.quantity, r.quantity) || !text(cols.unitPrice, r.unitPrice)) {
            return false;
        }
        if (!text(cols.amount, r.amount) || !text(cols.payment, r.payment) ||
            (r.balance && !text(cols.balance, *r.balance)))
            return false;
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------

// ---- The computed pages ------------------------------------------------------------------

LedgerPrintLayout::LedgerPrintLayout(const LedgerPrintOptions& options, int closeDay,
                                     LedgerForm form)
    : m_opt(options), m_closeDay(closeDay), m_plain(form == LedgerForm::Plain),
      m_pattern(gLedgerAmountPattern(form)), m_names(std::make_unique<LedgerSheetNames>()) {
    m_lines = clampTo(options.linesPerPage, 1, 200);
    m_interval = std::max(0, options.balanceInterval);
}

LedgerPrintLayout::~LedgerPrintLayout() = default;

bool LedgerPrintLayout::isCloseDay(const QDate& d) const {
    QDate start, end;
    termContaining(d, m_closeDay, start, end);
    return end == d;
}

void LedgerPrintLayout::newPage(const LedgerPrintSupplier& s, bool firstPage,
                                LedgerPrintPage& page) {
    ++m_page;
    // A page starts its own month and day: the first line of every page shows both, also when
    // it does not stand on the first line row.
    m_prevMonth = 0;
    m_prevDay = 0;
    page = {LedgerSheetNames::pageName(m_base, m_page), s.shortName, {}, {}};
    const int skip = firstPage ? clampTo(s.startRow, 1, kLedgerStartRowMax) - 1 : 0;
    m_row = kLedgerFirstLineRow + skip;
    m_used = skip;
    m_lineOnPage = 0;
    m_yearFrom = 0;
    m_yearTo = 0;
}

void LedgerPrintLayout::finishPage(LedgerPrintPage& page) const {
    if (!m_plain || m_yearFrom == 0)
        return;
    page.year = m_yearFrom == m_yearTo ? QStringLiteral("%1年").arg(m_yearFrom)
                                       : QStringLiteral("%1〜%2年").arg(m_yearFrom).arg(m_yearTo);
}

bool LedgerPrintLayout::addSupplier(const LedgerPrintSupplier& s, Currency carry,
                                    const QList<LedgerPrintLine>& lines, const PageSink& sink) {
    if (lines.isEmpty())
        return true;
    m_base = m_names->baseFor(s.supplier, s.shortName);
    m_page = 0;
    LedgerPrintPage page;
    const auto handOver = [&] {
        finishPage(page);
        return sink(page);
    };
    const auto amount = [&](const QVariant& v) {
        return gFormatLedgerAmount(v, QStringLiteral("▲"), m_pattern);
    };
    Currency balance = carry;
    bool balanceDue = false;
    bool firstPage = true;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const LedgerPrintLine& line = lines.at(i);
        const bool last = i + 1 == lines.size();
        if (m_page == 0 || m_used % m_lines == 0 || m_used >= m_lines) {
            if (m_page > 0 && !handOver())
                return false;
            newPage(s, firstPage, page);
            // A plain page tells where the balance starts: the carried-forward row on the
            // supplier's first page, in the row the first line would have taken.
            if (firstPage && m_plain && carry.raw() != 0) {
                LedgerPrintRow c;
                c.row = m_row++;
                c.item = kLedgerCarryItem;
                c.balance = amount(QVariant::fromValue(carry));
                page.rows.push_back(std::move(c));
                ++m_used;
                m_yearFrom = m_yearTo = line.date.year();
                if (m_used >= m_lines) { // the carry took the page's last row
                    if (!handOver())
                        return false;
                    newPage(s, false, page);
                }
            }
            firstPage = false;
        }
        ++m_used;
        ++m_lineOnPage;

        LedgerPrintRow r;
        r.row = m_row;
        const int month = line.date.month();
        r.month = QString::number(month);
        if (m_opt.omitMonth && month == m_prevMonth && m_row != kLedgerFirstLineRow)
            r.month = QStringLiteral(" ");
        m_prevMonth = month;
        const int day = line.date.day();
        r.day = QString::number(day);
        if (m_opt.omitDay && day == m_prevDay && m_row != kLedgerFirstLineRow)
            r.day = QStringLiteral(" ");
        m_prevDay = day;
        r.item = line.item;
        r.quantity = amount(line.quantity);
        r.unitPrice = amount(line.unitPrice);
        r.amount = amount(line.cost);
        r.payment = amount(line.payment);
        const int year = line.date.year();
        if (m_yearFrom == 0)
            m_yearFrom = year;
        m_yearTo = std::max(m_yearTo, year);

        std::optional<Currency> next = gCheckedAdd(balance, currencyOf(line.cost));
        if (next)
            next = gCheckedSub(*next, currencyOf(line.payment));
        if (!next)
            return false;
        const Currency after = *next;
        if (m_opt.noteInBalance) {
            bool numeric = false;
            line.note.trimmed().toDouble(&numeric);
            r.balance = numeric ? amount(line.note) : line.note;
        } else {
            const bool due = (m_lineOnPage - 1) % (m_interval + 1) == 0 || m_used == 1 ||
                             m_used % m_lines == 0 || last || balanceDue;
            if (due) {
                r.balance = amount(QVariant::fromValue(after));
                balanceDue = false;
            }
        }
        balance = after;

        // The last line of a close day: its balance, then blank rows that count toward the
        // page; the next line shows the balance again.
        if (m_opt.closeDayBlank && !last && lines.at(i + 1).date != line.date &&
            isCloseDay(line.date)) {
            // With notes in the balance column the close-day line keeps its note.
            if (!m_opt.noteInBalance)
                r.balance = amount(QVariant::fromValue(balance));
            const int blank = clampTo(m_opt.closeDayBlankRows, 1, kLedgerBlankRowsMax);
            m_row += blank;
            m_used += blank;
            balanceDue = true;
        }
        page.rows.push_back(std::move(r));
        ++m_row;
    }
    return handOver();
}

bool gReadLedgerPrintLines(Database& db, qint32 masterID, const QDate& start, const QDate& end,
                           QList<LedgerPrintLine>& lines, const QString& procName) {
    ResultSet rs(db);
    const QString sql = QStringLiteral("SELECT date1,strItem,curQuantity,curUnitPrice,curCost,"
                                       "curPayment,strNote FROM T_DATA1"
                                       " WHERE lngMasterID=? AND date1>=? AND date1<=?"
                                       " ORDER BY date1,lngSort NULLS FIRST,lngID");
    if (!rs.openRecordSet(sql, {masterID, start, end}, procName))
        return false;
    lines.clear();
    for (const QVariantList& row : rs.rows()) {
        LedgerPrintLine l;
        l.date = row.value(0).toDate();
        l.item = row.value(1).toString();
        l.quantity = row.value(2);
        l.unitPrice = row.value(3);
        l.cost = row.value(4);
        l.payment = row.value(5);
        l.note = row.value(6).toString();
        lines << l;
    }
    return true;
}

bool gGetLedgerPrintOptions(LedgerPrintOptions& options) {
    using namespace LedgerPrintSetting;
    LedgerPrintOptions o;
    qint32 lines = 29, interval = 2, vertical = 0, horizontal = 0, blank = 1;
    const bool ok = gGetSystemBlnField(NoteInBalance, o.noteInBalance, false) &&
                    gGetSystemBlnField(OmitMonth, o.omitMonth, false) &&
                    gGetSystemBlnField(OmitDay, o.omitDay, false) &&
                    gGetSystemLngField(LinesPerPage, lines, 29) &&
                    gGetSystemLngField(BalanceInterval, interval, 2) &&
                    gGetSystemBlnField(KokuyoRi103, o.kokuyoRi103, false) &&
                    gGetSystemLngField(OffsetVertical, vertical, 0) &&
                    gGetSystemLngField(OffsetHorizontal, horizontal, 0) &&
                    gGetSystemBlnField(CloseDayBlank, o.closeDayBlank, false) &&
                    gGetSystemLngField(CloseDayBlankRows, blank, 1);
    if (!ok) {
        gProcError(QStringLiteral("gGetLedgerPrintOptions"),
                   QStringLiteral("設定を読めません（33, 38〜41, 44〜48）"));
        return false;
    }
    o.linesPerPage = clampTo(lines, kLedgerLinesMin, kLedgerLinesMax);
    o.balanceInterval = clampTo(interval, 1, kLedgerIntervalMax);
    o.offsetVertical = clampTo(vertical, -kLedgerOffsetMax, kLedgerOffsetMax);
    o.offsetHorizontal = clampTo(horizontal, -kLedgerOffsetMax, kLedgerOffsetMax);
    o.closeDayBlankRows = clampTo(blank, 1, kLedgerBlankRowsMax);
    options = o;
    return true;
}

LedgerForm gLedgerForm(bool kokuyoRi101, const LedgerPrintOptions& options) {
    if (kokuyoRi101)
        return LedgerForm::KokuyoRi101;
    return options.kokuyoRi103 ? LedgerForm::KokuyoRi103 : LedgerForm::Plain;
}

QString gLedgerTemplateFile(LedgerForm form) {
    switch (form) {
    case LedgerForm::KokuyoRi101:
        return kExcelTemplateKokuyoRi101;
    case LedgerForm::KokuyoRi103:
        return kExcelTemplateKokuyoRi103;
    case LedgerForm::Plain:
        break;
    }
    return kExcelTemplateStockBook;
}

LedgerColumns gLedgerColumns(LedgerForm form) {
    if (form == LedgerForm::KokuyoRi101)
        return {2, 3, 5, 1, 1, 6, 8, 10};
    return {2, 3, 4, 5, 6, 7, 9, 11};
}

QString gLedgerAmountPattern(LedgerForm form) {
    return form == LedgerForm::Plain ? kLedgerPlainPattern : kSpacedDigitPattern;
}

QString gFormatLedgerAmount(const QVariant& value, const QString& sign, const QString& pattern) {
    if (!value.isValid() || value.isNull())
        return {};
    std::optional<Currency> amount;
    if (value.metaType() == QMetaType::fromType<Currency>()) {
        amount = value.value<Currency>();
    } else if (value.metaType().id() == QMetaType::QString) {
        const QString t = value.toString();
        bool ok = false;
        const double d = t.trimmed().toDouble(&ok);
        if (!ok)
            return t;
        amount = Currency::fromDouble(d);
    } else {
        bool ok = false;
        const double d = value.toDouble(&ok);
        if (!ok)
            return value.toString();
        amount = Currency::fromDouble(d);
    }
    const Currency a = amount->raw() < 0 ? -*amount : *amount;
    const Currency whole = Currency::fromInt(a.truncated());
    QString text = formatNumber(whole, pattern);
    if (!a.isWhole()) {
        QString frac = QStringLiteral("%1").arg(a.raw() % Currency::Scale, 4, 10, QLatin1Char('0'));
        while (frac.endsWith(QLatin1Char('0')))
            frac.chop(1);
        text = (text.isEmpty() ? QStringLiteral("0") : text) + QLatin1Char('.') + frac;
    }
    text = text.trimmed();
    if (text.isEmpty())
        return {};
    return amount->raw() < 0 ? sign + text : text;
}

double gLedgerItemFontSize(const QString& item) {
    const qsizetype length = item.toUcs4().size();
    double size = 0;
    if (length > 8)
        size = 10;
    if (length > 10)
        size = 9;
    if (length > 12)
        size = 8;
    return size;
}

bool gParseLedgerStartRow(const QString& text, int& row, QString& message) {
    QString t = text.trimmed();
    // Full-width digits and sign as typed with a Japanese input method.
    for (QChar& c : t) {
        if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19)
            c = QChar(u'0' + (c.unicode() - 0xFF10));
        else if (c.unicode() == 0xFF0B)
            c = QLatin1Char('+');
        else if (c.unicode() == 0xFF0D)
            c = QLatin1Char('-');
    }
    const qsizetype signs = t.startsWith(u'+') || t.startsWith(u'-') ? 1 : 0;
    bool whole = t.size() > signs;
    for (qsizetype i = signs; whole && i < t.size(); ++i)
        whole = t.at(i) >= u'0' && t.at(i) <= u'9';
    if (!whole) {
        message = QStringLiteral("開始行には整数を入力してください");
        return false;
    }
    bool fits = false;
    const qlonglong value = t.toLongLong(&fits);
    if (!fits || value < 1 || value > kLedgerStartRowMax) {
        message = QStringLiteral("開始行は 1以上 ") + QString::number(kLedgerStartRowMax) +
                  QStringLiteral("以下 の整数を入力してください");
        return false;
    }
    row = static_cast<int>(value);
    return true;
}

bool gCheckLedgerPrintInput(const LedgerPrintParams& params, LedgerPrintResult& result) {
    const QDate start = termDateFromText(params.startText);
    const QDate end = termDateFromText(params.endText);
    if (!start.isValid() || !end.isValid()) {
        result.outcome = LedgerPrintOutcome::InvalidInput;
        result.focus = !start.isValid() ? QStringLiteral("cboPrintDataStartDate")
                                        : QStringLiteral("cboPrintDataEndDate");
        gDispMsg(4);
        return false;
    }
    if (start.daysTo(end) < 0) {
        result.outcome = LedgerPrintOutcome::InvalidInput;
        result.focus = QStringLiteral("cboPrintDataStartDate");
        gDispMsg(40);
        return false;
    }
    const QString* text = nullptr;
    if (params.suppliers.isEmpty())
        text = &kLedgerNoSuppliers;
    else if (std::none_of(params.suppliers.begin(), params.suppliers.end(),
                          [](const LedgerPrintSupplier& s) { return s.checked; }))
        text = &kLedgerNoneChecked;
    if (text) {
        result.outcome = LedgerPrintOutcome::NothingToReport;
        result.focus.clear();
        svc().prompt().show(*text, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Information);
        return false;
    }
    return true;
}

bool gPrintLedger(const LedgerPrintParams& params, const ExcelReportRun::Callbacks& callbacks,
                  LedgerPrintResult& result) {
    return gPrintLedger(gdbData(), params, callbacks, result);
}

bool gPrintLedger(Database& db, const LedgerPrintParams& params,
                  const ExcelReportRun::Callbacks& callbacks, LedgerPrintResult& result) {
    result = LedgerPrintResult();
    if (!gCheckLedgerPrintInput(params, result))
        return true;
    const QDate start = termDateFromText(params.startText);
    const QDate end = termDateFromText(params.endText);
    const LedgerForm form = gLedgerForm(params.kokuyoRi101, params.options);

    ExcelReportRun run(params.procName);
    run.setCallbacks(callbacks);
    run.setOutputFolder(params.outputFolder);
    auto failed = [&](const QString& reason = {}) {
        run.fail(reason);
        result.outcome = LedgerPrintOutcome::Failed;
        return false;
    };
    // The stored amounts of a supplier add up beyond the currency range: the window's message,
    // no file.
    auto outOfRange = [&](qint32 supplier) {
        run.refuse(gSumOutOfRangeText() + QStringLiteral("\r\n\r\n仕入先番号 ") +
                   QString::number(supplier));
        result.outcome = LedgerPrintOutcome::OutOfRange;
        return true;
    };
    if (!run.begin(gLedgerTemplateFile(form))) {
        result.outcome = LedgerPrintOutcome::Failed;
        return false;
    }

    // The print position: every page copied from the template inherits it.
    Worksheet* tpl = run.templateSheet();
    if (!tpl)
        return failed();
    // Row 1 cannot be less than nothing, and column 2 (the month) keeps room for two digits.
    const double height = std::clamp(tpl->rowHeight(1) + params.options.offsetVertical, 0.0, 409.0);
    const double width2 = tpl->columnWidth(2);
    const double width = std::clamp(width2 + params.options.offsetHorizontal,
                                    std::min(width2, kLedgerMonthMinWidth), 255.0);
    if (!tpl->setRowHeight(1, height) || !tpl->setColumnWidth(2, width))
        return failed();

    qint32 closeDay = 20;
    if (params.options.closeDayBlank && !gGetSystemCloseDay(closeDay))
        return failed(QStringLiteral("締め日を読めません"));

    run.setProgressMaximum(static_cast<int>(params.suppliers.size()));
    LedgerPrintLayout layout(params.options, closeDay, form);
    const LedgerColumns cols = gLedgerColumns(form);
    bool anyWritten = false;
    QStringList sheets;
    for (const LedgerPrintSupplier& s : params.suppliers) {
        if (s.checked) {
            qint32 masterID = 0;
            if (!gGetMasterIDBySupplier(s.supplier, masterID))
                return failed(QStringLiteral("仕入先番号 %1 がありません").arg(s.supplier));
            DataTotals totals;
            if (!gCalcDATAEachTotal(masterID, start, end, 1, Currency::fromInt(100), totals))
                return failed(
                    QStringLiteral("仕入先番号 %1 の繰越を計算できません").arg(s.supplier));
            if (totals.outOfRange)
                return outOfRange(s.supplier);
            QList<LedgerPrintLine> lines;
            if (!gReadLedgerPrintLines(db, masterID, start, end, lines, params.procName))
                return failed(QStringLiteral("仕入先番号 %1 の明細を読めません").arg(s.supplier));
            // Each page goes to the workbook as soon as it is laid out.
            bool writeFailed = false;
            const bool laidOut =
                layout.addSupplier(s, totals.carry, lines, [&](const LedgerPrintPage& page) {
                    writeFailed = !writePage(run, cols, page, sheets);
                    anyWritten = true;
                    return !writeFailed;
                });
            if (writeFailed)
                return failed();
            if (!laidOut)
                return outOfRange(s.supplier);
        }
        run.advance();
    }

    if (!anyWritten) {
        run.abandon();
        result.outcome = LedgerPrintOutcome::NothingToReport;
        svc().prompt().show(kLedgerNoData, gstrAppTitle, MsgStyle::OKOnly | MsgStyle::Information);
        return true;
    }
    if (!run.deleteTemplateSheet())
        return failed();
    result.sheets = sheets;
    QString completion = QStringLiteral("表が作成されました");
    if (form != LedgerForm::Plain)
        completion += formNotes();
    if (!run.finish(kExcelSuffixLedger, completion)) {
        result.outcome = LedgerPrintOutcome::Failed;
        return false;
    }
    result.savedPath = run.savedPath();
    result.outcome = LedgerPrintOutcome::Written;
    return true;
}
