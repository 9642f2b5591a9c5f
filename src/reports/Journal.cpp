#include "reports/Journal.h"

#include "base/CheckedFileWriter.h"
#include "base/ErrorLog.h"
#include "base/Globals.h"
#include "base/Services.h"
#include "ledger/ClassLists.h"
#include "ledger/LineRules.h"
#include "reports/CsvCodec.h"
#include "reports/TaxSummary.h"
#include "store/Database.h"
#include "store/MsgCatalogue.h"
#include "store/Period.h"
#include "store/Settings.h"
#include "store/TaxRates.h"
#include "util/FileHelpers.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace {

constexpr int kMsgInvalidDate = 4;
constexpr int kMsgNothingToReport = 22;
constexpr int kMsgStartAfterEnd = 40;

const QDate kInvoiceStart(2023, 10, 1);

// One entry with the keys it is ordered by.
struct Keyed {
    JournalEntry entry;
    int kind;
    qsizetype supplier; // position in the list
    qint64 sort;
    qint64 id;
    int part; // the amount before the payment of the same line
};

// A text cut to at most `bytes` bytes of code page 932, never inside a character. Characters
// code page 932 does not hold are left for the writer to refuse.
QString cutToBytes(const QString& text, int bytes) {
    QByteArray encoded;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QByteArray one;
        if (!gCp932Encode(QStringView(text).mid(i, n), one))
            return text; // refused when written, with its character named
        if (encoded.size() + one.size() > bytes)
            return text.left(i);
        encoded += one;
        i += n;
    }
    return text;
}

} // namespace

bool gGetJournalAccounts(JournalAccounts& a) {
    const std::pair<int, QString*> rows[] = {{SettingNo::JournalPurchases, &a.purchases},
                                             {SettingNo::JournalPayables, &a.payables},
                                             {SettingNo::JournalCash, &a.cash},
                                             {SettingNo::JournalReceivables, &a.receivables},
                                             {SettingNo::JournalSales, &a.sales},
                                             {SettingNo::JournalInputTax, &a.inputTax},
                                             {SettingNo::JournalOutputTax, &a.outputTax}};
    for (const auto& [number, value] : rows) {
        if (!gGetSetting(number, *value)) {
            gProcError(QStringLiteral("gGetJournalAccounts"));
            return false;
        }
        // An account the user cleared: the import needs one, so the default stands in.
        if (value->trimmed().isEmpty())
            *value = gFindSettingDef(number)->defaultString();
    }
    return true;
}

bool gCalcJournal(Database& db, const QList<SupplierRecord>& suppliers, const QDate& from,
                  const QDate& to, const JournalAccounts& acc, Journal& journal) {
    const QString proc = QStringLiteral("gCalcJournal");
    Journal out;
    if (!gChkStoredTaxRates(db, out.badRateRow)) {
        gProcError(proc);
        return false;
    }
    if (!out.badRateRow.isEmpty()) {
        journal = out;
        return true;
    }
    QList<TaxRate> rates;
    qint32 taxClass = 1;
    QList<ClassEntry> classEntries;
    if (!gGetTaxRates(db, rates) || !gGetTaxClass(taxClass) ||
        !gGetClassEntries(db, taxClass, classEntries)) {
        gProcError(proc);
        return false;
    }
    QSet<QString> reducedEntries;
    for (const ClassEntry& c : std::as_const(classEntries))
        if (c.reduced)
            reducedEntries.insert(c.text);
    QHash<qint64, qsizetype> index;
    for (qsizetype i = 0; i < suppliers.size(); ++i)
        if (!index.contains(suppliers.at(i).lngMasterID))
            index.insert(suppliers.at(i).lngMasterID, i);

    std::vector<Keyed> keyed;
    for (int kind = 1; kind <= 2; ++kind) {
        const QString sql = QStringLiteral("SELECT lngMasterID, date1, lngSort, lngID, strItem,"
                                           " strClass%1, curCost, curPayment, strNote FROM T_DATA%2"
                                           " WHERE date1>=? AND date1<=?")
                                .arg(taxClass)
                                .arg(kind);
        RowCursor c(db);
        if (!c.open(sql, {from, to}, proc))
            return false;
        while (c.next()) {
            const auto found = index.constFind(c.int64(0));
            const QDate date = QDate::fromString(c.qtext(1), QStringLiteral("yyyy-MM-dd"));
            if (found == index.cend() || !date.isValid())
                continue;
            const SupplierRecord& s = suppliers.at(*found);
            const QString item = c.qtext(4);
            const QString note = c.qtext(8);
            JournalEntry base;
            base.date = date;
            base.supplier = s.strSupplierShortName;
            base.memo =
                item.isEmpty() || note.isEmpty() ? item + note : item + QStringLiteral("　") + note;
            const bool registered =
                !s.strInvoiceNo.isEmpty() && s.datInvoiceFrom.isValid() && date >= s.datInvoiceFrom;
            const bool purchase = kind == 1;
            for (int part = 0; part < 2; ++part) {
                const int col = part == 0 ? 6 : 7;
                if (c.isNull(col))
                    continue;
                // Cut toward zero to whole yen. As the result set reads a currency column: an
                // integer is a count of 1/10 000, anything else a number scaled.
                const qint64 raw = c.isInteger(col)
                                       ? c.int64(col)
                                       : Currency::fromDouble(c.real(col) / Currency::Scale).raw();
                qint64 yen = raw / Currency::Scale;
                if (yen == 0)
                    continue;
                JournalEntry e = base;
                const QString& sub = s.strSupplierShortName;
                if (part == 0) {
                    const bool taxLine = item.contains(kTaxItemText);
                    e.tax = purchase ? JournalTax::Purchase : JournalTax::Sale;
                    e.taxOnDebit = purchase;
                    if (purchase) {
                        e.debit = taxLine ? acc.inputTax : acc.purchases;
                        e.credit = acc.payables;
                        e.creditSub = sub;
                    } else {
                        e.debit = acc.receivables;
                        e.debitSub = sub;
                        e.credit = taxLine ? acc.outputTax : acc.sales;
                    }
                    if (const auto r = gTaxRateOn(rates, date)) {
                        e.reduced = reducedEntries.contains(c.qtext(5)) && r->reduced < r->standard;
                        e.rate = e.reduced ? r->reduced : r->standard;
                    }
                    if (purchase) {
                        e.registered = registered;
                        e.share = registered ? 100 : gTransitionalShare(date);
                        if (registered)
                            e.invoiceNo = s.strInvoiceNo;
                    }
                } else if (purchase) {
                    e.debit = acc.payables;
                    e.debitSub = sub;
                    e.credit = acc.cash;
                } else {
                    e.debit = acc.cash;
                    e.credit = acc.receivables;
                    e.creditSub = sub;
                }
                if (yen < 0) {
                    yen = -yen;
                    std::swap(e.debit, e.credit);
                    std::swap(e.debitSub, e.creditSub);
                    e.taxOnDebit = !e.taxOnDebit;
                }
                e.amount = yen;
                keyed.push_back(
                    Keyed{e, kind, *found, c.isNull(2) ? 0 : c.int64(2), c.int64(3), part});
            }
        }
        if (c.failed())
            return false;
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        return std::tie(a.entry.date, a.kind, a.supplier, a.sort, a.id, a.part) <
               std::tie(b.entry.date, b.kind, b.supplier, b.sort, b.id, b.part);
    });
    for (const Keyed& k : keyed)
        out.entries << k.entry;
    journal = out;
    return true;
}

QString gYayoiTaxCategory(const JournalEntry& e) {
    if (e.tax == JournalTax::None || e.rate.raw() == 0)
        return QStringLiteral("対象外");
    QString text =
        (e.tax == JournalTax::Purchase ? QStringLiteral("課対仕入") : QStringLiteral("課税売上")) +
        e.rate.toString() + QStringLiteral("%");
    if (e.reduced)
        text += QStringLiteral("(軽)");
    if (e.tax == JournalTax::Sale || e.date < kInvoiceStart)
        return text;
    if (e.registered)
        return text + QStringLiteral("適格");
    return text + (e.share == 0 ? QStringLiteral("控不") : QStringLiteral("区分%1%").arg(e.share));
}

QString gGenericTaxCategory(const JournalEntry& e) {
    if (e.tax == JournalTax::None || e.rate.raw() == 0)
        return QStringLiteral("対象外");
    return (e.tax == JournalTax::Purchase ? QStringLiteral("課税仕入")
                                          : QStringLiteral("課税売上")) +
           (e.reduced ? QStringLiteral("（軽減）") : QString());
}

QList<QStringList> gJournalRecords(const Journal& journal, JournalFormat format) {
    QList<QStringList> records;
    if (format == JournalFormat::Generic)
        records << QStringList{QStringLiteral("日付"),     QStringLiteral("借方"),
                               QStringLiteral("貸方"),     QStringLiteral("金額"),
                               QStringLiteral("税区分"),   QStringLiteral("税率"),
                               QStringLiteral("控除割合"), QStringLiteral("仕入先"),
                               QStringLiteral("登録番号"), QStringLiteral("摘要")};
    for (const JournalEntry& e : journal.entries) {
        const QString date = termDateText(e.date);
        const QString amount = QString::number(e.amount);
        if (format == JournalFormat::Generic) {
            const bool taxed = e.tax != JournalTax::None && e.rate.raw() != 0;
            records << QStringList{date,
                                   e.debit,
                                   e.credit,
                                   amount,
                                   gGenericTaxCategory(e),
                                   taxed ? e.rate.toString() : QString(),
                                   taxed && e.tax == JournalTax::Purchase ? QString::number(e.share)
                                                                          : QString(),
                                   e.supplier,
                                   e.invoiceNo,
                                   e.memo};
            continue;
        }
        const QString category = gYayoiTaxCategory(e);
        const QString outside = QStringLiteral("対象外");
        const auto cut = [](const QString& t) { return cutToBytes(t, kYayoiAccountBytes); };
        records << QStringList{QStringLiteral("2000"),
                               QString(),
                               QString(),
                               date,
                               cut(e.debit),
                               cut(e.debitSub),
                               QString(),
                               e.taxOnDebit ? category : outside,
                               amount,
                               QString(),
                               cut(e.credit),
                               cut(e.creditSub),
                               QString(),
                               e.taxOnDebit ? outside : category,
                               amount,
                               QString(),
                               cutToBytes(e.memo, kYayoiMemoBytes),
                               QString(),
                               QString(),
                               QStringLiteral("0"),
                               QString(),
                               QString(),
                               QStringLiteral("0"),
                               QStringLiteral("0"),
                               QStringLiteral("no")};
    }
    return records;
}

bool gWriteJournalCsv(const QString& path, const Journal& journal, JournalFormat format,
                      QString* failureText) {
    const QString proc = QStringLiteral("gWriteJournalCsv");
    CsvRecordWriter w(format == JournalFormat::Yayoi ? CsvEncoding::Cp932 : CsvEncoding::Utf8);
    w.writeStart();
    const QList<QStringList> records = gJournalRecords(journal, format);
    const qsizetype first = format == JournalFormat::Generic ? 1 : 0;
    for (qsizetype r = 0; r < records.size(); ++r) {
        for (const QString& field : records.at(r)) {
            QString bad;
            if (!w.addField(field, &bad)) {
                const QString date =
                    r >= first ? termDateText(journal.entries.at(r - first).date) : QString();
                gProcError(proc, path + QStringLiteral(" ") + date);
                if (failureText)
                    *failureText = QStringLiteral("%1 の仕訳の「%2」は Shift_JIS で書けません。")
                                       .arg(date, bad);
                return false;
            }
        }
        w.endRecord();
    }
    CheckedFileWriter file(path);
    if (!file.open() || !file.write(w.bytes()) || !file.commit()) {
        gSetLastError(0, QStringLiteral("CheckedFileWriter"), file.errorString());
        gProcError(proc, path);
        if (failureText)
            *failureText = file.failureText();
        return false;
    }
    return true;
}

JournalOutcome gMakeJournal(Database& db, const JournalParams& p, QString* savedPath) {
    const QDate from = termDateFromText(p.startText);
    const QDate to = termDateFromText(p.endText);
    if (!from.isValid() || !to.isValid()) {
        gDispMsg(kMsgInvalidDate);
        return JournalOutcome::InvalidInput;
    }
    if (from > to) {
        gDispMsg(kMsgStartAfterEnd);
        return JournalOutcome::InvalidInput;
    }
    JournalAccounts accounts;
    Journal journal;
    if (!gGetJournalAccounts(accounts) ||
        !gCalcJournal(db, p.suppliers, from, to, accounts, journal)) {
        gProcError(p.procName);
        svc().prompt().show(kCsvFileReportFailed, gstrAppTitle, MsgStyle::OKOnly);
        return JournalOutcome::Failed;
    }
    if (!journal.badRateRow.isEmpty()) {
        svc().prompt().show(journal.badRateRow, gstrAppTitle,
                            MsgStyle::OKOnly | MsgStyle::Exclamation);
        return JournalOutcome::Failed;
    }
    if (journal.entries.isEmpty()) {
        gDispMsg(kMsgNothingToReport);
        return JournalOutcome::NothingToReport;
    }
    QString folder = p.outputFolder;
    if (folder.isEmpty() && !gGetDesktopPath(folder)) {
        gProcError(p.procName, QStringLiteral("desktop"));
        return JournalOutcome::Failed;
    }
    const QString suffix =
        p.format == JournalFormat::Yayoi ? kCsvSuffixJournalYayoi : kCsvSuffixJournalGeneric;
    QString path = gExcelReportPath(folder, svc().clock().now(), suffix);
    QString unique;
    if (QFileInfo::exists(path) && gGetUniqueFName(folder, QFileInfo(path).fileName(), unique))
        path = gAddBackSlash(folder) + unique;
    QString why;
    if (!gWriteJournalCsv(path, journal, p.format, &why)) {
        gProcError(p.procName);
        svc().prompt().show(kCsvFileReportFailed + QStringLiteral("\r\n\r\n") + why, gstrAppTitle,
                            MsgStyle::OKOnly);
        return JournalOutcome::Failed;
    }
    if (savedPath)
        *savedPath = path;
    return JournalOutcome::Written;
}
