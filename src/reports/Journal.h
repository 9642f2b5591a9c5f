#pragma once

#include "master/SupplierRecords.h"
#include "reports/ExcelLayer.h"
#include "store/Currency.h"

#include <QDate>
#include <QList>
#include <QString>

class Database;

// The journal entries (仕訳) of the period's ledgers for an accounting program: one entry per
// amount and per payment of every dated line of a valid supplier, in both ledgers.
//
//   purchase amount   仕入高 / 買掛金 (sub-account: the supplier's short name)
//   purchase payment  買掛金 / 現金
//   sales amount      売掛金 / 売上高
//   sales receipt     現金 / 売掛金
//   a 消費税 line      仮払消費税等 / 買掛金, or 売掛金 / 仮受消費税等
//
// The account names are settings (SettingNo::Journal…). An amount below zero swaps the sides
// and is written as its magnitude; an amount cut to whole yen (toward zero) that is 0 gives no
// entry. The tax category of an amount follows the line's date: the rate table's row in force,
// the reduced mark of its entry in the tax class (setting 50, as the tax summary reads it), and
// for a purchase the supplier's registration on that date (full share when registered or before
// 2023-10-01, else gTransitionalShare). Payments and receipts are outside the tax.

enum class JournalFormat {
    Yayoi,  // 弥生インポート形式: 25 columns, code page 932, no heading
    Generic // a heading and ten columns, UTF-8 with a byte-order mark
};

struct JournalAccounts {
    QString purchases;
    QString payables;
    QString cash;
    QString receivables;
    QString sales;
    QString inputTax;
    QString outputTax;
};

// The account names as stored (their defaults when not). Failure: logged, false.
bool gGetJournalAccounts(JournalAccounts& accounts);

enum class JournalTax {
    None,     // payments and receipts: outside the tax
    Purchase, // a taxable purchase (or its tax line)
    Sale      // a taxable sale (or its tax line)
};

struct JournalEntry {
    QDate date;
    QString debit;
    QString debitSub;
    QString credit;
    QString creditSub;
    qint64 amount = 0; // whole yen, above 0
    JournalTax tax = JournalTax::None;
    bool taxOnDebit = false; // the side whose account the tax category belongs to
    Currency rate;           // percent; 0 when outside the tax or before the first rate row
    bool reduced = false;
    int share = 100;         // deductible percent of a purchase: 100, 80, 50 or 0
    bool registered = false; // the supplier is registered on the date
    QString supplier;        // short name
    QString invoiceNo;       // the supplier's registration number when registered on the date
    QString memo;            // the line's item, its note after a full-width space
};

struct Journal {
    QList<JournalEntry> entries;
    QString badRateRow; // a rate row no window writes: the message naming it, nothing else set
};

// The entries of both ledgers over from..to (both included) for the suppliers given, by date,
// then purchase before sales, then supplier in list order, then line order. Failure: logged
// "gCalcJournal", false.
bool gCalcJournal(Database& db, const QList<SupplierRecord>& suppliers, const QDate& from,
                  const QDate& to, const JournalAccounts& accounts, Journal& journal);

// The tax category as the Yayoi import reads it ("課対仕入10%適格", "課税売上8%(軽)", "対象外"),
// and the generic file's category ("課税仕入", "課税売上（軽減）", "対象外").
QString gYayoiTaxCategory(const JournalEntry& e);
QString gGenericTaxCategory(const JournalEntry& e);

// The records of the file in its format (the generic file's heading first).
QList<QStringList> gJournalRecords(const Journal& journal, JournalFormat format);

// Writes the file: Yayoi in code page 932 with its texts cut to the import's widths, generic in
// UTF-8 with a byte-order mark; CR LF, fields quoted only when they need it. A text code page
// 932 cannot hold is refused: false, the entry's date and the character in failureText. A
// file that cannot be written: false, the cause for the user in failureText. Logged
// "gWriteJournalCsv".
bool gWriteJournalCsv(const QString& path, const Journal& journal, JournalFormat format,
                      QString* failureText = nullptr);

enum class JournalOutcome { Written, InvalidInput, NothingToReport, Failed };

struct JournalParams {
    QString startText; // as typed ("yyyy/MM/dd")
    QString endText;
    JournalFormat format = JournalFormat::Yayoi;
    QList<SupplierRecord> suppliers; // valid suppliers, in list order
    QString outputFolder;            // empty: the desktop
    QString procName = QStringLiteral("frmPrint_mMakeJournal");
};

// The whole run: the range checked (message 4, 40), the entries formed (message 22 when there
// are none), the file written beside the other reports ("…　仕訳（弥生）.csv" or "…　仕訳.csv").
JournalOutcome gMakeJournal(Database& db, const JournalParams& params,
                            QString* savedPath = nullptr);

inline const QString kCsvSuffixJournalYayoi = QStringLiteral("　仕訳（弥生）.csv");
inline const QString kCsvSuffixJournalGeneric = QStringLiteral("　仕訳.csv");
// The widths of the Yayoi import in bytes of code page 932.
constexpr int kYayoiAccountBytes = 24;
constexpr int kYayoiMemoBytes = 64;
