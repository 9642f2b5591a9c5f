#pragma once

#include "store/Currency.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

class Database;
class ShownRow;

// Supplier records: rows of T_MASTER. Routines return true when no unexpected failure occurred
// (unless another result is named) and report a failure once through gProcError with their own
// name. Every value is bound, so any text is stored exactly as typed.

// Supplier numbers and master IDs have at most three digits: the system holds at most 999
// suppliers.
constexpr qint32 kMaxSupplierNumber = 999;

// The longest text of each supplier field, in Shift_JIS bytes (a full-width character counts two):
// the master window's boxes and the CSV import hold the same limits.
namespace SupplierTextBytes {
constexpr int kName = 125;
constexpr int kPosition = 125;
constexpr int kShortName = 8;
constexpr int kKana = 30;
constexpr int kChargePerson = 20; // the person and the note beside them
constexpr int kPostCode = 8;
constexpr int kAddress = 50;
constexpr int kPhone = 20; // phone and fax numbers
constexpr int kBankAccount = 50;
} // namespace SupplierTextBytes

// One supplier, in the column order of T_MASTER.
struct SupplierRecord {
    qint32 lngMasterID = 0; // internal key, referenced by the ledger lines; never changes
    qint32 lngSupplier = 0; // the number the user sees, unique
    bool blnValid = false;
    Currency curRegularSupplyRatio; // default ratio, purchase side (percent)
    Currency curRegularSaleRatio;   // default ratio, sales side
    Currency curStartSupplyCarry;   // opening balance, purchase side
    Currency curStartSaleCarry;     // opening balance, sales side
    QString strSupplierName;
    QString strPosition;
    QString strSupplierShortName;
    QString strKana;
    qint32 lngChargePerson = 1; // main contact: 1 or 2
    QString strChargePerson1;
    QString strChargePersonNotes1;
    QString strChargePerson2;
    QString strChargePersonNotes2;
    QString strPostCode1;
    QString strAddress1;
    QString strPostCode2;
    QString strAddress2;
    QString strPhone1;
    QString strPhone1Notes;
    QString strPhone2;
    QString strPhone2Notes;
    QString strFax;
    QString strFaxNotes;
    qint32 lngBankAccount = 1; // main transfer account: 1 or 2
    QString strBankAccount1;
    QString strBankAccount2;
    QString strNotes;
    QDateTime datLastUpdate; // time of the last add or modify
    QString strInvoiceNo;    // invoice registration number: "" or "T" + 13 digits
    QDate datInvoiceFrom;    // the date the number applies from; null when there is none
};

// ---- Numbering -------------------------------------------------------------------------------

// The master ID for a new supplier: the highest one + 1 (1 when there is none). When that would
// exceed 999, the lowest ID of 1-999 that no supplier and no ledger line uses. masterID is 0
// when every ID is taken.
bool gGetNewLngMasterID(Database& db, qint32& masterID);
// The supplier number for a new supplier: the highest one + 1 (1 when there is none); when that
// would exceed 999, the lowest free number of 1-999. supplier is 0 when every number is taken.
bool gGetNewLngSupplier(Database& db, qint32& supplier);

// ---- Lookups ---------------------------------------------------------------------------------

// duplicate is true when a supplier other than masterID has the number.
bool gChkDuplicateSupplier(Database& db, qint32 masterID, qint32 supplier, bool& duplicate);
// True and masterID set when a supplier has the number; false when none has it (not an error)
// or the query failed (reported).
bool gGetMasterIDBySupplier(Database& db, qint32 supplier, qint32& masterID);
// Number of suppliers (valid ones only when validOnly).
bool gGetSupplierCount(Database& db, qint32& count, bool validOnly);
// The ORDER BY clause of supplier lists from setting 9: 0 " ORDER BY lngSupplier",
// 1 " ORDER BY strKana,strSuppLierShortName"; any other value is a failure.
bool gGetSQLSupplierShortNameSort(QString& clause);
// Reads one supplier. The last-update time comes back without its seconds. Null columns read as
// empty text, 0 or false. False when the read failed or no supplier has the ID (reported).
bool gGetMasterData(Database& db, qint32 masterID, SupplierRecord& record);
// Opening balance of a supplier: side 1 purchase (curStartSupplyCarry), 2 sales
// (curStartSaleCarry). Another side or a failed read is a failure.
bool gGetStartCarry(Database& db, qint32 masterID, int side, Currency& carry);

// The labels of one side in the master window: kind 1 purchase (setting 10 and column 8 of
// T_DATA1_CAPTION), 2 sales (setting 11, T_DATA2_CAPTION): "規定" + word + column caption and
// "開始" + word + "残高". A missing caption row gives an empty caption.
bool gGetMasterSideLabels(Database& db, int kind, QString& ratioLabel, QString& carryLabel);

// ---- Lists -----------------------------------------------------------------------------------

// One list entry: the number right-aligned in three half-width characters, "：", the short name
// ("  7：ABC商会").
QString gFormatSupplierItem(qint32 supplier, const QString& shortName);
// The entry of items (gFormatSupplierItem entries) that a typed search text finds: the first
// whose number is the text, else whose short name, reading or full name (readings: supplier
// number -> strKana and strSupplierName) holds it. Width, case and hiragana/katakana do not matter
// ("やま" finds "ﾔﾏﾀﾞ"). -1 when none does.
int gFindSupplierItem(const QStringList& items, const QHash<qint32, QStringList>& readings,
                      const QString& text);
// The reading (strKana) and full name (strSupplierName) of all suppliers by supplier number.
bool gGetSupplierReadings(Database& db, QHash<qint32, QStringList>& readings);
// The supplier number of a list entry: the numeric value of its first three characters (leading
// spaces ignored); 0 when they hold no number.
qint32 gGetSupplierFromItem(const QString& item);
// The entries of all suppliers (valid ones only when validOnly), in the order of setting 9.
// The widget routine gSetSupplierShortNameToComboBoxItem (master/SupplierWidgets.h) fills a
// combo box with them.
bool gGetSupplierShortNameItems(Database& db, QStringList& items, bool validOnly);
// The phone-note list: "自宅", "携帯電話", then every other distinct non-blank strPhone1Notes and
// strPhone2Notes of all suppliers in ascending order. gSetComboItem fills the boxes with it.
bool gGetPhoneNoteItems(Database& db, QStringList& items);

// ---- Entry validation ------------------------------------------------------------------------

// The master window's entries as typed (boxes already trimmed of half-width spaces).
struct SupplierEntry {
    QString masterID; // txtMasterID
    QString supplier; // cboLngSupplier
    bool valid = false;
    QString regularSupplyRatio;
    QString regularSaleRatio;
    QString startSupplyCarry;
    QString startSaleCarry;
    QString supplierName;
    QString position;
    QString supplierShortName;
    QString kana;
    qint32 chargePerson = 1;
    QString chargePerson1;
    QString chargePersonNotes1;
    QString chargePerson2;
    QString chargePersonNotes2;
    QString postCode1;
    QString address1;
    QString postCode2;
    QString address2;
    QString phone1;
    QString phone1Notes;
    QString phone2;
    QString phone2Notes;
    QString fax;
    QString faxNotes;
    qint32 bankAccount = 1;
    QString bankAccount1;
    QString bankAccount2;
    QString notes;
    QString invoiceNo;   // txtInvoiceNo, as typed
    QString invoiceFrom; // txtInvoiceFrom, as typed

    bool operator==(const SupplierEntry&) const = default;
};

// The outcome of the entry rules: when not valid, the catalogue message to show (code and the
// text placed before it) and the objectName of the box that gets the focus.
struct SupplierCheck {
    bool valid = true;
    int msgCode = 0;
    QString msgPrefix;
    QString focus;
    // Valid entries whose registration number has a check digit that does not match: the
    // question to ask (yes stores, no goes back to txtInvoiceNo). Empty otherwise.
    QString confirmText;
};

// The entry rules in their fixed order; the first that fails decides the result. After the
// number rules come the registration number rules (master/InvoiceNumber.h: a wrong form or a
// leading zero is refused, a number needs its date and a date its number, the date must be a
// date); then a supplier number outside 1-999 (only possible with a damaged row) asks for the
// number (message 19, focus cboLngSupplier).
SupplierCheck mChkMasterData(const SupplierEntry& entry);
// The value of a number box as the rules see it: thousands separators, full-width digits and
// signs accepted. No value when the text is not a number.
std::optional<Currency> gParseEntryNumber(const QString& text);
// The record of checked entries (numbers converted, the registration number normalised;
// datLastUpdate left empty). False when a number does not convert (entries that passed
// mChkMasterData always convert).
bool gEntryToRecord(const SupplierEntry& entry, SupplierRecord& record);

// ---- Storing ---------------------------------------------------------------------------------

// Inserts the record as a new row, last update = now (clock service).
bool mDataInsert2(Database& db, const SupplierRecord& record);
// Deletes the supplier row of the master ID; ledger lines are not touched.
bool mDataDel(Database& db, qint32 masterID);
// Replaces the row of record.lngMasterID with the record (last update = now) in one
// transaction: a failure leaves the old row as it was. With shown (the row as the window read
// it, gReadShownSupplier), the row is replaced only while it still holds those values: when
// another program changed or removed it since, nothing is written, conflict is set and the
// result is false without a report.
bool mDataModify(Database& db, const SupplierRecord& record, const ShownRow* shown = nullptr,
                 bool* conflict = nullptr);
// By mode: 0 mDataInsert2, 1 mDataModify (with shown and conflict as there); any other mode is a
// failure.
bool mSaveMasterData(Database& db, qint32 mode, const SupplierRecord& record,
                     const ShownRow* shown = nullptr, bool* conflict = nullptr);
// The supplier's row as stored, for the condition of a later mDataModify; an absent row leaves
// shown empty (not found).
bool gReadShownSupplier(Database& db, qint32 masterID, ShownRow& shown);

// The button actions of the master window (gProcMasterData1) live with the window
// (master/frmMaster.h); the widget list fillers in master/SupplierWidgets.h.

// ---- On the program's data file --------------------------------------------------------------

// The same routines on gdbData(), for the report code, which does not pass its database yet.
bool gGetNewLngMasterID(qint32& masterID);
bool gChkDuplicateSupplier(qint32 masterID, qint32 supplier, bool& duplicate);
bool gGetMasterIDBySupplier(qint32 supplier, qint32& masterID);
bool gGetSupplierCount(qint32& count, bool validOnly);
bool gGetMasterData(qint32 masterID, SupplierRecord& record);
bool mDataInsert2(const SupplierRecord& record);
