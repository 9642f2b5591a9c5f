#pragma once

#include "store/AmountLimits.h"
#include "store/Currency.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// The columns of a ledger line (T_DATA1 / T_DATA2), described once in kLedgerColumns below: the
// line store, the line rules, the grid's layout, the ledger window's header buttons, the history
// and the CSV exchange all read that table. docs/ledger-core.md says how to add a column.

// One row of T_DATA1 / T_DATA2. An empty optional is NULL.
struct LedgerLine {
    qint64 lngID = 0; // 0: not stored yet
    std::optional<qint32> lngMasterID;
    std::optional<QDate> date1;
    std::optional<qint32> lngSort;
    std::optional<QString> strItem;
    std::optional<QString> strClass1;
    std::optional<QString> strClass2;
    std::optional<QString> strClass3;
    std::optional<Currency> curQuantity;
    std::optional<Currency> curUnitPrice;
    std::optional<Currency> curRegularPrice;
    std::optional<Currency> curRatio;
    std::optional<Currency> curCost;
    std::optional<Currency> curPayment;
    std::optional<Currency> curCheck;
    std::optional<QString> strNote;
    bool blnChange = false; // NULL reads as false

    bool isStored() const { return lngID != 0; }
    // The value of a grid column: a null QVariant for NULL, otherwise by the column's kind an
    // int (Number), a QDate (Date), a QString (Text), a Currency (Amount) or a bool (Flag).
    QVariant value(int column) const;
    // Sets a grid column; a null QVariant makes it NULL. False when the column is unknown or
    // the value does not convert to the column's type (the line is then unchanged).
    bool setValue(int column, const QVariant& v);
    // The column holds the same value (NULL equals NULL only) in both lines.
    bool sameValue(int column, const LedgerLine& other) const;
    // Null, or a text that is empty.
    bool isEmpty(int column) const;
    // The item contains "消費税".
    bool isTaxLine() const;

    bool operator==(const LedgerLine&) const = default;
};

// What a column holds, and so how it is read, stored, shown and exchanged.
enum class LedgerKind : std::uint8_t {
    Number, // a whole number, std::optional<qint32>
    Date,   // std::optional<QDate>, stored as "yyyy-MM-dd"
    Text,   // std::optional<QString>
    Amount, // std::optional<Currency>, stored as its raw count of 1/10 000
    Flag,   // bool; NULL reads as false
};

// The member of LedgerLine that holds a column; the kind follows from the member's type.
struct LedgerField {
    LedgerKind kind;
    std::optional<qint32> LedgerLine::*number = nullptr;
    std::optional<QDate> LedgerLine::*date = nullptr;
    std::optional<QString> LedgerLine::*text = nullptr;
    std::optional<Currency> LedgerLine::*amount = nullptr;
    bool LedgerLine::*flag = nullptr;

    constexpr LedgerField(std::optional<qint32> LedgerLine::*m)
        : kind(LedgerKind::Number), number(m) {}
    constexpr LedgerField(std::optional<QDate> LedgerLine::*m) : kind(LedgerKind::Date), date(m) {}
    constexpr LedgerField(std::optional<QString> LedgerLine::*m)
        : kind(LedgerKind::Text), text(m) {}
    constexpr LedgerField(std::optional<Currency> LedgerLine::*m)
        : kind(LedgerKind::Amount), amount(m) {}
    constexpr LedgerField(bool LedgerLine::*m) : kind(LedgerKind::Flag), flag(m) {}
};

// What a typed amount may be (gCheckCellText); a derived one is held to the same limit.
struct AmountRule {
    std::int64_t limit = 0;    // the largest size in whole units (store/AmountLimits.h)
    bool positiveOnly = false; // below 0 refused; the refusal names only the upper limit
    bool decimals = false;     // up to four decimals (otherwise whole)
    bool zero = false;         // 0 accepted
};

// One column of a ledger line.
struct LedgerColumn {
    const char* sqlName; // the column of T_DATA1 / T_DATA2
    LedgerField field;
    AmountRule amount{};             // Amount columns
    bool list = false;               // a cell holds one of a list's entries (gChkLedgerListText)
    bool keepBlank = false;          // Text: a blank text stays (mSetNulls makes it NULL otherwise)
    int captionNo = -1;              // the caption row naming it (ledger/Captions.h); -1: none
    const char16_t* title = nullptr; // the header button's text before the captions apply; the
                                     // CSV heading when no caption names the column
    const char16_t* historyWord = nullptr; // the history's word when no caption names it
                                           // (nullptr: the SQL name)
    int widthTwips = 0;      // grid width; 0: hidden (not in the grid, not in the CSV)
    const char* format = ""; // display pattern (store/Formats.h); "": the value as it is
    bool dropDown = false;   // the cell carries a drop-down button
    bool wrap = false;       // long text wraps inside the cell
    bool inHistory = true;   // a change of it alone is a change of the history (the update
                             // trigger of resources/migrations fires on it)

    constexpr LedgerKind kind() const { return field.kind; }
    constexpr bool shown() const { return widthTwips > 0; }
};

// The columns in grid order: the grid, the SELECT lists and the CSV follow it. The shown
// columns stand side by side in this order; the hidden ones are left out of the grid's width.
inline constexpr std::array kLedgerColumns{
    LedgerColumn{
        .sqlName = "lngMasterID", .field = &LedgerLine::lngMasterID, .historyWord = u"仕入先"},
    LedgerColumn{.sqlName = "date1",
                 .field = &LedgerLine::date1,
                 .captionNo = 0,
                 .title = u"日付",
                 .widthTwips = 1010,
                 .format = "YY/MM/DD"},
    LedgerColumn{.sqlName = "lngSort",
                 .field = &LedgerLine::lngSort,
                 .list = true,
                 .title = u"並順",
                 .historyWord = u"順",
                 .widthTwips = 650,
                 .format = "#",
                 .dropDown = true},
    LedgerColumn{.sqlName = "strItem",
                 .field = &LedgerLine::strItem,
                 .captionNo = 1,
                 .title = u"品名",
                 .widthTwips = 2000,
                 .dropDown = true,
                 .wrap = true},
    LedgerColumn{.sqlName = "strClass1",
                 .field = &LedgerLine::strClass1,
                 .list = true,
                 .captionNo = 2,
                 .title = u"区分1",
                 .widthTwips = 1050,
                 .dropDown = true,
                 .wrap = true},
    LedgerColumn{.sqlName = "strClass2",
                 .field = &LedgerLine::strClass2,
                 .list = true,
                 .captionNo = 3,
                 .title = u"区分2",
                 .widthTwips = 1050,
                 .dropDown = true,
                 .wrap = true},
    LedgerColumn{.sqlName = "strClass3",
                 .field = &LedgerLine::strClass3,
                 .list = true,
                 .captionNo = 4,
                 .title = u"区分3",
                 .widthTwips = 1250,
                 .dropDown = true,
                 .wrap = true},
    LedgerColumn{.sqlName = "curQuantity",
                 .field = &LedgerLine::curQuantity,
                 .amount = {.limit = AmountLimit::Quantity},
                 .title = u"数量",
                 .historyWord = u"数量",
                 .widthTwips = 580,
                 .format = "#,###",
                 .wrap = true},
    LedgerColumn{.sqlName = "curUnitPrice",
                 .field = &LedgerLine::curUnitPrice,
                 .amount = {.limit = AmountLimit::Price, .positiveOnly = true},
                 .captionNo = 6,
                 .title = u"単価",
                 .widthTwips = 1050,
                 .format = "#,###",
                 .wrap = true},
    LedgerColumn{.sqlName = "curRegularPrice",
                 .field = &LedgerLine::curRegularPrice,
                 .amount = {.limit = AmountLimit::Price, .positiveOnly = true},
                 .captionNo = 7,
                 .title = u"定価",
                 .widthTwips = 1050,
                 .format = "#,###",
                 .wrap = true},
    LedgerColumn{.sqlName = "curRatio",
                 .field = &LedgerLine::curRatio,
                 .amount = {.limit = AmountLimit::Ratio, .positiveOnly = true, .decimals = true},
                 .captionNo = 8,
                 .title = u"掛率",
                 .widthTwips = 650,
                 .format = "#.0",
                 .wrap = true},
    LedgerColumn{.sqlName = "curCost",
                 .field = &LedgerLine::curCost,
                 .amount = {.limit = AmountLimit::Amount},
                 .captionNo = 9,
                 .title = u"仕入金額 F12",
                 .widthTwips = 1150,
                 .format = "#,###",
                 .wrap = true},
    LedgerColumn{.sqlName = "curPayment",
                 .field = &LedgerLine::curPayment,
                 .amount = {.limit = AmountLimit::Amount},
                 .captionNo = 10,
                 .title = u"支払金額",
                 .widthTwips = 1150,
                 .format = "#,###",
                 .wrap = true},
    LedgerColumn{.sqlName = "curCheck",
                 .field = &LedgerLine::curCheck,
                 .amount = {.limit = AmountLimit::Amount, .positiveOnly = true, .zero = true},
                 .title = u"チェック",
                 .historyWord = u"チェック",
                 .widthTwips = 380,
                 .format = "#",
                 .wrap = true},
    LedgerColumn{.sqlName = "strNote",
                 .field = &LedgerLine::strNote,
                 .keepBlank = true,
                 .title = u"備考",
                 .historyWord = u"備考",
                 .widthTwips = 1150,
                 .wrap = true},
    LedgerColumn{.sqlName = "blnChange", .field = &LedgerLine::blnChange, .inHistory = false},
};

// Grid columns the rules name, by their place in kLedgerColumns.
namespace LedgerCol {
constexpr int MasterID = 0;
constexpr int Date = 1;
constexpr int Sort = 2;
constexpr int Item = 3;
constexpr int Class1 = 4;
constexpr int Class2 = 5;
constexpr int Class3 = 6;
constexpr int Quantity = 7;
constexpr int UnitPrice = 8;
constexpr int RegularPrice = 9;
constexpr int Ratio = 10;
constexpr int Cost = 11;
constexpr int Payment = 12;
constexpr int Check = 13;
constexpr int Note = 14;
constexpr int Change = 15;
constexpr int Count = static_cast<int>(kLedgerColumns.size());
} // namespace LedgerCol

// The column's row of kLedgerColumns; column must be 0 .. LedgerCol::Count - 1.
inline const LedgerColumn& ledgerColumn(int column) {
    return kLedgerColumns[static_cast<std::size_t>(column)];
}

// A grid column shown in the grid (and exchanged in the CSV); false outside the table.
inline bool ledgerColumnShown(int column) {
    return column >= 0 && column < LedgerCol::Count && ledgerColumn(column).shown();
}

namespace LedgerColumnsCheck {
constexpr bool named(int column, std::string_view name) {
    return kLedgerColumns[static_cast<std::size_t>(column)].sqlName == name;
}
static_assert(named(LedgerCol::MasterID, "lngMasterID") && named(LedgerCol::Date, "date1") &&
                  named(LedgerCol::Sort, "lngSort") && named(LedgerCol::Item, "strItem") &&
                  named(LedgerCol::Class1, "strClass1") && named(LedgerCol::Class2, "strClass2") &&
                  named(LedgerCol::Class3, "strClass3") &&
                  named(LedgerCol::Quantity, "curQuantity") &&
                  named(LedgerCol::UnitPrice, "curUnitPrice") &&
                  named(LedgerCol::RegularPrice, "curRegularPrice") &&
                  named(LedgerCol::Ratio, "curRatio") && named(LedgerCol::Cost, "curCost") &&
                  named(LedgerCol::Payment, "curPayment") && named(LedgerCol::Check, "curCheck") &&
                  named(LedgerCol::Note, "strNote") && named(LedgerCol::Change, "blnChange"),
              "the named grid columns must stand where kLedgerColumns has them");
} // namespace LedgerColumnsCheck
