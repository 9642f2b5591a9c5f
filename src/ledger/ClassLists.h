#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

class Database;

// Choice lists of the ledgers: three class lists shared by both ledgers (T_DATA_CLASS1..3, read
// through the views Q_DATA_CLASS1..3), one item list per ledger (T_DATA1_ITEM, T_DATA2_ITEM),
// the class defaults (text settings 13, 14, 15) and the lists and checks of the ledger's
// drop-down editor. Every routine reports an unexpected failure once under its own name and
// returns false; wrong arguments (a class number other than 1-3, a ledger kind other than 1-2)
// are such failures.

// The order numbers offered by the ledger's order column and by the two list windows.
constexpr int kLedgerSortMax = 40;
constexpr int kListSortMax = 99;

// "1" .. "max", in order.
QStringList gSortChoices(int max);

// ---- The ledger's drop-down editor and list checks ------------------------------------------

// The entries the ledger's drop-down editor offers for grid column 2 to 6 of ledger kind:
// column 2 "1" to "40"; column 3 an empty entry, then the items of T_DATA<kind>_ITEM by order
// number; columns 4, 5, 6 an empty entry, then the enabled entries of class 1, 2, 3 by order
// number and entry order. When the item or class list has no rows, entries is empty (the
// ledger then shows message 34 with "アイテムが"). Another column: false.
bool gGetLedgerListEntries(Database& db, int column, int kind, QStringList& entries);

// The list check of the ledger's columns 2, 4, 5 and 6: an empty text passes; otherwise it must
// equal one of the column's current entries exactly (a disabled class entry is refused). The
// item column 3 and every other column have no list check and always pass.
bool gChkLedgerListText(Database& db, int column, int kind, const QString& text, bool& valid);

// ---- Class lists -------------------------------------------------------------------------------

struct ClassEntry {
    qint64 id = 0;
    QString text;
    qint32 sort = 0;
    bool enabled = true;
    bool reduced = false; // blnReduced: lines with this entry are at the reduced tax rate when
                          // the class is the tax class (setting 50)
};

// Every entry of class classNo (disabled ones included) in the order of Q_DATA_CLASS<n>: by
// order number, then by entry order.
bool gGetClassEntries(Database& db, int classNo, QList<ClassEntry>& entries);

// The text an entry would be added with: half-width spaces trimmed from both ends. Returns
// false (blank, nothing may be added) when the trimmed text is empty or holds nothing but
// spaces (full-width or half-width); a full-width space between letters is kept and accepted.
bool gChkClassText(const QString& typed, QString& trimmed);

// Adds an entry: the text exactly as given, order number 1, enabled. A blank text (see
// gChkClassText) is refused as a failure. added receives the stored entry with its key.
bool gAddClassEntry(Database& db, int classNo, const QString& text, ClassEntry& added);

// Entries keep their text and are never deleted; only their order number (1-99) and enabled
// state change. With shown (the entry as a window showed it), the value is written only while
// the entry still holds the shown one: when another program changed it since, nothing is
// written, conflict is set and the result is false without a report. Adding and changing an
// entry tells the other programs on a server (ChangeNotices, table T_DATA_CLASS<n>).
bool gSetClassEntrySort(Database& db, int classNo, qint64 id, qint32 sort,
                        const ClassEntry* shown = nullptr, bool* conflict = nullptr);
bool gSetClassEntryEnabled(Database& db, int classNo, qint64 id, bool enabled,
                           const ClassEntry* shown = nullptr, bool* conflict = nullptr);
// The reduced-rate mark ("軽減税率 (8%)") of an entry.
bool gSetClassEntryReduced(Database& db, int classNo, qint64 id, bool reduced,
                           const ClassEntry* shown = nullptr, bool* conflict = nullptr);

// The choices of the class window's default box: an empty entry, then the text of every entry
// (disabled ones included) in list order.
bool gGetClassDefaultChoices(Database& db, int classNo, QStringList& choices);

// The default text of class classNo (text setting 12 + classNo; "" = no default), which new
// ledger lines receive in empty class cells.
int gClassDefaultSettingNo(int classNo);
bool gGetClassDefault(int classNo, QString& text);
bool gSetClassDefault(int classNo, const QString& text);

// ---- Item lists ----------------------------------------------------------------------------

// One row of T_DATA<kind>_ITEM; rowId is its rowid (the data file's own row key; a server's
// schema gives the table a column of that name).
// text and sort are null when the row holds NULL.
struct ItemEntry {
    qint64 rowId = 0;
    QVariant text; // QString or null
    QVariant sort; // qint64 or null
};

// Every item row of ledger kind, in entry order.
bool gGetItemEntries(Database& db, int kind, QList<ItemEntry>& entries);
// Inserts a row with the given text and order number (either may be null) and returns it with
// its row key.
bool gAddItemEntry(Database& db, int kind, const QVariant& text, const QVariant& sort,
                   ItemEntry& added);
// Changes one column of a row; a missing row is a failure.
// With shown (the row as a window showed it), written only while the row holds the shown value
// (as gSetClassEntrySort); adding and changing a row tells the other programs (T_DATA<kind>_ITEM).
bool gSetItemText(Database& db, int kind, qint64 rowId, const QVariant& text,
                  const ItemEntry* shown = nullptr, bool* conflict = nullptr);
bool gSetItemSort(Database& db, int kind, qint64 rowId, const QVariant& sort,
                  const ItemEntry* shown = nullptr, bool* conflict = nullptr);

// The order-number check of the list windows: the text, trimmed of half-width spaces, must be
// empty (value null) or one of "1" to max (value the number). Anything else: false.
bool gChkSortText(const QString& text, int max, QVariant& value);

// The same routines on gdbData(), for the callers that do not pass their database yet (the line
// rules and the report code).
bool gGetLedgerListEntries(int column, int kind, QStringList& entries);
bool gChkLedgerListText(int column, int kind, const QString& text, bool& valid);
bool gAddClassEntry(int classNo, const QString& text, ClassEntry& added);
