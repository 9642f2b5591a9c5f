#pragma once

#include "ledger/LineRules.h"

#include <QString>
#include <optional>
#include <unordered_set>
#include <vector>

class Database;

// The two orders of the ledger grid.
enum class LedgerView {
    Normal, // "通常": ORDER BY date1,lngSort,lngID,strItem
    Entry,  // "入力順": ORDER BY lngID
};

// The view of a name of the view-order box ("通常", "入力順"); false for any other name.
bool ledgerViewFromName(const QString& name, LedgerView& view);

// The lines of one ledger (T_DATA1 or T_DATA2) as the grid model reads and writes them. Every
// value is bound; a write changes the database first and the caller's line only after it
// succeeded. Failures are logged under "LedgerStore_" + the operation and return false.
class LedgerStore {
public:
    // kind 1: T_DATA1 (purchase), 2: T_DATA2 (sales). Another kind makes every call fail.
    LedgerStore(int kind, Database& db);

    int kind() const { return m_kind; }
    QString table() const;
    Database& database() const { return m_db; }

    // All lines of supplier masterID in the view's order (master ID 0: none).
    bool load(qint32 masterID, LedgerView view, std::vector<LedgerLine>& lines);
    // The lngIDs of supplier masterID's lines in the view's order, read from the index alone:
    // a grid over a long ledger opens with these and reads the lines it shows with readLines.
    bool loadOrder(qint32 masterID, LedgerView view, std::vector<qint64>& ids);
    // The lines of ids[first] .. ids[first + count - 1] (cut at the end of ids), in that order.
    // A line that no longer exists is a failure (logged).
    bool readLines(const std::vector<qint64>& ids, std::size_t first, std::size_t count,
                   std::vector<LedgerLine>& lines);
    // Reads one stored line back by its lngID; false (logged) when it does not exist.
    bool readLine(qint64 lngID, LedgerLine& line);
    // The lines of supplier masterID whose blnChange is set, in the view's order.
    bool changedLines(qint32 masterID, LedgerView view, std::vector<LedgerLine>& lines);
    // Puts lines into the order of a view (date1, lngSort, lngID with NULL first; or lngID).
    static void sortForView(std::vector<LedgerLine>& lines, LedgerView view);

    // Inserts the line with all its columns and reads it back: line then holds the stored row
    // with its new lngID.
    bool insertLine(LedgerLine& line);
    // Writes one column of a stored line. A value equal to the line's current one is not
    // written (written false). The value must suit the column (LedgerLine::setValue).
    bool updateCell(LedgerLine& line, int column, const QVariant& value, bool* written = nullptr);
    // Writes after: inserted when not stored yet, otherwise the columns that differ from before
    // in one statement (nothing when none differs). On a server, where others write the same
    // books, the columns are written only while they still hold before's values: otherwise
    // nothing is written and lastWriteConflicted() is true (not logged: not a failure).
    bool storeChanges(const LedgerLine& before, LedgerLine& after);
    // Whether the last write was refused because another program had changed the line (or
    // removed it) since it was read.
    bool lastWriteConflicted() const { return m_conflict; }
    // A confirmed cell: the value goes into the column, then the after-update processing
    // (gAfterCellUpdate with masterID), then the line is inserted (its first stored cell) or
    // its changed columns are written. On failure the line is left as it was.
    bool storeCell(LedgerLine& line, int column, const QVariant& value, qint32 masterID);
    // A derived value (gDeriveColumn) of a line: the after-update processing runs as for a typed
    // cell and the changed columns are stored. before: the line as it was before deriving.
    bool storeDerived(const LedgerLine& before, LedgerLine& line, qint32 masterID);
    // Deletes a stored line.
    bool deleteLine(qint64 lngID);
    // Sets curCheck to 0 for every line of supplier masterID, or of every supplier when none is
    // given (NULL check marks included), in one change of the history (origin "check"); group:
    // its history group, 0 when no mark changed.
    bool resetChecks(std::optional<qint32> masterID, qint64* group = nullptr);
    // The lines of supplier masterID whose item or note contains text, or, when text is a
    // number, that hold it as quantity, unit price, regular price, amount or payment.
    bool findLines(qint32 masterID, const QString& text, std::unordered_set<qint64>& ids);

    // The line check over the changed lines (blnChange set) of supplier masterID in the view's
    // order: those that pass get blnChange cleared in the database; the first failing line
    // stops the check with errorFound and the result naming its message. errorLineID names the
    // failing line (0 when none); result.focusRow stays -1.
    bool mChkInputDate(qint32 masterID, LedgerView view, const LineCheckTexts& texts,
                       bool hasDefaultRatio, bool& errorFound, RuleResult& result,
                       qint64& errorLineID);

private:
    bool validKind(const QString& proc) const;
    // Clears blnChange of the lines in one transaction.
    bool clearChanged(const std::vector<qint64>& ids, const QString& proc);
    // shown: the line as it was read; on a server the columns are written only while they hold
    // its values (a conflict otherwise).
    bool writeColumns(qint64 lngID, const QList<int>& columns, const LedgerLine& line,
                      const QString& proc, const LedgerLine* shown = nullptr);
    // The lines of supplier masterID that also meet `condition` (SQL after "AND"; empty: all of
    // them), in the view's order. expected: room to reserve for the lines.
    bool selectLines(qint32 masterID, const QString& condition, std::size_t expected,
                     LedgerView view, const QString& proc, std::vector<LedgerLine>& lines);

    int m_kind;
    Database& m_db;
    bool m_conflict = false;
};
