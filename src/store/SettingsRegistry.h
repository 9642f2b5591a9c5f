#pragma once

#include <QString>
#include <QtGlobal>

// Every numbered row of T_SYSTEM the program reads or writes, in one table: its number, type,
// default, the range the windows offer and the caption the システム window shows. Readers, the
// windows and the reports name a setting by its SettingNo constant and take default and range
// from its row (settingDef, or gFindSettingDef at run time), so a number is defined once.
// docs/storage.md says how to add a setting.

namespace SettingNo {
// Times (datField) written by the backup, the restore and the compaction.
inline constexpr int LastBackupTime = 0;
inline constexpr int LastRestoreTime = 1;
inline constexpr int LastCompactionTime = 2;
// The システム window.
inline constexpr int CloseDay = 8;
inline constexpr int SupplierOrder = 9;
inline constexpr int PurchaseCaption = 10;
inline constexpr int SaleCaption = 11;
inline constexpr int TaxRate = 32;
inline constexpr int TaxClass = 50;
inline constexpr int AutoBackups = 51;
// The class window: the value a new ledger line takes in class 1, 2, 3 (13 + class - 1).
inline constexpr int Class1Default = 13;
inline constexpr int Class2Default = 14;
inline constexpr int Class3Default = 15;
// The report window's profit table choices.
inline constexpr int Sampling1Class = 16;
inline constexpr int Sampling1ClassItem = 17;
inline constexpr int Sampling2Class = 18;
inline constexpr int Sampling2ClassItem = 19;
inline constexpr int SamplingAndOr = 20;
inline constexpr int PurchaseGroupingClass = 21;
inline constexpr int SaleGroupingClass = 22;
inline constexpr int NoSumNoTarget = 36;
inline constexpr int SumOnly = 37;
inline constexpr int Ranking = 42;
inline constexpr int SortRanking = 43;
// The profit table's settings window: cell colours (Excel colour indexes) and styles.
inline constexpr int ColorSupplier = 25;
inline constexpr int SupplierBold = 26;
inline constexpr int ColorPurchase = 28;
inline constexpr int ColorSale = 29;
inline constexpr int ColorMargin = 30;
inline constexpr int ColorRate = 31;
inline constexpr int ColorStock = 34;
inline constexpr int CellColorOn = 35;
// Lines per sheet: one number shared by the ledger print and the profit table.
inline constexpr int LinesPerSheet = 33;
// The ledger print's settings and print position windows.
inline constexpr int NoteInBalance = 38;
inline constexpr int OmitMonth = 39;
inline constexpr int KokuyoRi103 = 40;
inline constexpr int BalanceInterval = 41;
inline constexpr int CloseDayBlank = 44;
inline constexpr int OmitDay = 45;
inline constexpr int OffsetVertical = 46;
inline constexpr int OffsetHorizontal = 47;
inline constexpr int CloseDayBlankRows = 48;
// The accounts of the journal entries written for an accounting program.
inline constexpr int JournalPurchases = 60;
inline constexpr int JournalPayables = 61;
inline constexpr int JournalCash = 62;
inline constexpr int JournalReceivables = 63;
inline constexpr int JournalSales = 64;
inline constexpr int JournalInputTax = 65;
inline constexpr int JournalOutputTax = 66;
// The shop's name in the reports' title area, and how the ledgers' amounts were entered for the
// consumption tax summary: 0 without the tax (税抜), 1 with it (税込).
inline constexpr int ShopName = 67;
inline constexpr int TaxEntry = 68;
// The report window's "PDFも作成".
inline constexpr int ReportPdf = 69;
// The folder of the last backup made in the バックアップ window, where its restore starts.
inline constexpr int LastBackupFolder = 70;
} // namespace SettingNo

// The column of T_SYSTEM that holds the value: lngField, curField, blnField, strField, datField.
enum class SettingType { Lng, Cur, Bln, Str, Time };

struct SettingDef {
    int number;
    SettingType type;
    // Lng: the value of a missing row; Bln: 0 or 1; Cur, Str, Time: unused.
    qint32 defaultValue;
    // Lng: the values the windows offer; Cur: the range in whole units; Str: 0 and the most
    // characters the window takes (0: no limit).
    qint32 minimum;
    qint32 maximum;
    // Str: the value of a missing row.
    const char16_t* defaultText;
    // False when a missing row means "no value" (Cur: the tax rate) or the row has no default.
    bool hasDefault;
    // The caption of the setting in the システム window; empty for the settings it does not show.
    const char16_t* caption;

    QString captionText() const { return QString::fromUtf16(caption); }
    QString defaultString() const { return QString::fromUtf16(defaultText); }
    bool inRange(qint64 value) const { return value >= minimum && value <= maximum; }
};

namespace SettingRows {
constexpr SettingDef lng(int number, qint32 def, qint32 min, qint32 max,
                         const char16_t* caption = u"") {
    return {number, SettingType::Lng, def, min, max, u"", true, caption};
}
constexpr SettingDef bln(int number, bool def = false) {
    return {number, SettingType::Bln, def ? 1 : 0, 0, 1, u"", true, u""};
}
constexpr SettingDef str(int number, const char16_t* def = u"", qint32 maxChars = 0,
                         const char16_t* caption = u"") {
    return {number, SettingType::Str, 0, 0, maxChars, def, true, caption};
}
constexpr SettingDef time(int number) {
    return {number, SettingType::Time, 0, 0, 0, u"", false, u""};
}
} // namespace SettingRows

// The table, in number order.
inline constexpr SettingDef kSettingDefs[] = {
    SettingRows::time(SettingNo::LastBackupTime),
    SettingRows::time(SettingNo::LastRestoreTime),
    SettingRows::time(SettingNo::LastCompactionTime),
    // 1 to 31; 31 is the month's end.
    SettingRows::lng(SettingNo::CloseDay, 20, 1, 31, u"当社締日"),
    // 0 by supplier number, 1 by reading and short name.
    SettingRows::lng(SettingNo::SupplierOrder, 0, 0, 1, u"仕入先の並び順"),
    SettingRows::str(SettingNo::PurchaseCaption, u"仕入", 3, u"仕入 →"),
    SettingRows::str(SettingNo::SaleCaption, u"売上", 3, u"売上 →"),
    SettingRows::str(SettingNo::Class1Default),
    SettingRows::str(SettingNo::Class2Default),
    SettingRows::str(SettingNo::Class3Default),
    SettingRows::str(SettingNo::Sampling1Class),
    SettingRows::str(SettingNo::Sampling1ClassItem),
    SettingRows::str(SettingNo::Sampling2Class),
    SettingRows::str(SettingNo::Sampling2ClassItem),
    // 0 and, 1 or.
    SettingRows::lng(SettingNo::SamplingAndOr, 0, 0, 1),
    SettingRows::str(SettingNo::PurchaseGroupingClass),
    SettingRows::str(SettingNo::SaleGroupingClass),
    // Excel colour indexes 1 to 56.
    SettingRows::lng(SettingNo::ColorSupplier, 1, 1, 56),
    SettingRows::bln(SettingNo::SupplierBold),
    SettingRows::lng(SettingNo::ColorPurchase, 1, 1, 56),
    SettingRows::lng(SettingNo::ColorSale, 1, 1, 56),
    SettingRows::lng(SettingNo::ColorMargin, 1, 1, 56),
    SettingRows::lng(SettingNo::ColorRate, 1, 1, 56),
    // In percent, 0 to 100 (AmountLimit::TaxRate); no row: the rate table's standard rate.
    {SettingNo::TaxRate, SettingType::Cur, 0, 0, 100, u"", false, u"消費税率"},
    SettingRows::lng(SettingNo::LinesPerSheet, 29, 29, 31),
    SettingRows::lng(SettingNo::ColorStock, 1, 1, 56),
    SettingRows::bln(SettingNo::CellColorOn),
    SettingRows::bln(SettingNo::NoSumNoTarget),
    SettingRows::bln(SettingNo::SumOnly),
    SettingRows::bln(SettingNo::NoteInBalance),
    SettingRows::bln(SettingNo::OmitMonth),
    SettingRows::bln(SettingNo::KokuyoRi103),
    SettingRows::lng(SettingNo::BalanceInterval, 2, 1, 4),
    SettingRows::bln(SettingNo::Ranking),
    // 1 by gross margin, 2 by profit rate.
    SettingRows::lng(SettingNo::SortRanking, 1, 1, 2),
    SettingRows::bln(SettingNo::CloseDayBlank),
    SettingRows::bln(SettingNo::OmitDay),
    // Points added to row 1 and characters added to column 2 of the ledger form.
    SettingRows::lng(SettingNo::OffsetVertical, 0, -10, 10),
    SettingRows::lng(SettingNo::OffsetHorizontal, 0, -10, 10),
    SettingRows::lng(SettingNo::CloseDayBlankRows, 1, 1, 4),
    // The class (1 to 3) whose entries carry the reduced-rate mark.
    SettingRows::lng(SettingNo::TaxClass, 1, 1, 3, u"軽減税率の区分"),
    // Automatic backups kept at shutdown; 0 writes none.
    SettingRows::lng(SettingNo::AutoBackups, 10, 0, 99, u"自動バックアップ"),
    // Account names of the journal entries, at most 12 characters (the import's width).
    SettingRows::str(SettingNo::JournalPurchases, u"仕入高", 12),
    SettingRows::str(SettingNo::JournalPayables, u"買掛金", 12),
    SettingRows::str(SettingNo::JournalCash, u"現金", 12),
    SettingRows::str(SettingNo::JournalReceivables, u"売掛金", 12),
    SettingRows::str(SettingNo::JournalSales, u"売上高", 12),
    SettingRows::str(SettingNo::JournalInputTax, u"仮払消費税等", 12),
    SettingRows::str(SettingNo::JournalOutputTax, u"仮受消費税等", 12),
    SettingRows::str(SettingNo::ShopName, u"", 30, u"店名"),
    // 0 税抜 (as the ledgers have always been read), 1 税込.
    SettingRows::lng(SettingNo::TaxEntry, 0, 0, 1, u"金額の入力"),
    SettingRows::bln(SettingNo::ReportPdf),
    SettingRows::str(SettingNo::LastBackupFolder),
};

// The row of a number the table holds; a number it does not hold does not compile.
consteval const SettingDef& settingDef(int number) {
    for (const SettingDef& d : kSettingDefs)
        if (d.number == number)
            return d;
    throw "setting number not in kSettingDefs";
}

// The row of `number`; nullptr for a number the table does not hold.
const SettingDef* gFindSettingDef(int number);
