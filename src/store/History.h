#pragma once

#include "store/Database.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

// The change history of the ledgers (T_DATA1, T_DATA2) and the supplier master (T_MASTER),
// written by triggers in the data file (resources/migrations/2-2-history.sql) into T_HISTORY: one
// row per inserted, updated or deleted row, with the row before and after as JSON objects, the
// origin of the change and the group of the user action it belongs to.

// How a change was made (T_HISTORY.strOrigin).
namespace HistoryOrigin {
inline const QString Typed = QStringLiteral("typed");
inline const QString Derived = QStringLiteral("derived");
inline const QString CheckReset = QStringLiteral("check");
inline const QString Deleted = QStringLiteral("deleted");
inline const QString Undo = QStringLiteral("undo");
inline const QString Redo = QStringLiteral("redo");
inline const QString Restored = QStringLiteral("restored");
inline const QString Imported = QStringLiteral("imported");
inline const QString Other = QStringLiteral("other"); // a write by another tool
} // namespace HistoryOrigin

// The origin in words for the user ("入力", "計算", ...); an unknown origin as it is.
QString gHistoryOriginText(const QString& origin);

// Who makes this program's changes and on which PC, as every history entry names them
// (T_HISTORY.strUser, strHost): the user's login name and the PC's host name, read once. An empty
// text names none (on a server the entry then names the database user, or the address the
// connection came from).
struct HistoryIdentity {
    QString user;
    QString host;
};
const HistoryIdentity& gHistoryIdentity();
// Names another user and PC from now on (tests: two programs in one process).
void gSetHistoryIdentity(const HistoryIdentity& identity);

// One transaction whose changes the history records under an origin and one new group, by the
// user and PC of gHistoryIdentity(). The origin row is set when the scope opens and put back
// before the commit, so that it never holds the program's origin outside a transaction of the
// program. Opened inside another transaction
// it is a savepoint (Transaction). Without commit() everything is rolled back. The time of the
// change is the clock service's.
class HistoryScope {
public:
    HistoryScope(Database& db, const QString& origin);
    bool ok() const { return m_ok; }
    // The group the changes of this scope carry (the lngID of their first history row).
    qint64 group() const { return m_group; }
    // Puts the previous origin back and commits. recorded: whether any history row was written.
    bool commit(bool* recorded = nullptr);
    // From here to the commit, lines inserted into or deleted from the ledgers write no history
    // row of their own (T_HISTORY_ORIGIN.blnQuiet): the caller writes one summary entry instead
    // (gWriteImportEntry). Updates and the supplier master are recorded as always.
    bool quietLines();

private:
    Database& m_db;
    Transaction m_tx;
    bool m_ok = false;
    qint64 m_group = 0;
    QVariantList m_previous;
    QVariantList m_values; // what the scope wrote into the origin row
};

// A CSV import of ledger lines as its one history entry: the file, what it held and which lines
// it inserted (their lngID ranges, "first-last" joined by commas).
struct HistoryImport {
    QString file;      // the file's name, without its folder
    qint64 rows = 0;   // the lines inserted
    QString sha256;    // the file's checksum, hexadecimal
    QString ids;       // "1-200000,200005-200010"
    qint64 undoOf = 0; // an undo's entry: the import's entry undone
};

// The lngID ranges of ascending ids as HistoryImport::ids, and back (false for other text).
QString gHistoryIdRanges(const std::vector<qint64>& ascendingIds);
bool gParseHistoryIdRanges(const QString& text, std::vector<std::pair<qint64, qint64>>& ranges);

// Writes the summary entry of an import into table (T_DATA1 or T_DATA2) inside an open scope, under
// its origin, group and time. Failure: logged "gWriteImportEntry", false.
bool gWriteImportEntry(Database& db, const QString& table, const HistoryImport& import);

enum class ImportUndoOutcome {
    Done,
    Changed,       // a line of the import was changed or deleted since: nothing was done
    AlreadyUndone, // the import was undone before
};

// Deletes the lines an import inserted, in one transaction recorded as one entry (origin undo),
// unless a line was changed or deleted since (its history has a later entry, or it is gone).
// entryID: the import's entry. removed: the lines deleted. Failure (no such import entry
// included): logged "gUndoImport", false.
bool gUndoImport(Database& db, qint64 entryID, ImportUndoOutcome& outcome,
                 qint64* removed = nullptr);

struct HistoryFilter {
    std::optional<qint64> masterID; // none: every supplier
    QDate from;                     // invalid: no lower bound
    QDate to;                       // invalid: no upper bound (the whole day counts)
};

// One changed column of one history entry. An update lists the columns whose value differs, an
// insert those with a value after, a deletion those with a value before; the line-check mark,
// the master's update time, the row's own number and (for an insert or a deletion) its supplier
// are left out.
struct HistoryChange {
    qint64 lngID = 0; // the history entry
    QDateTime datChanged;
    QString strTable;
    qint64 lngRowID = 0;
    qint64 lngMasterID = 0;
    QString strAction; // "I", "U", "D"
    QString strOrigin;
    QString strUser; // who made it and on which PC ("" for entries written before they were named)
    QString strHost;
    QVariant lineDate; // a ledger line's date1 and item (after the change, else before)
    QVariant lineItem;
    QString column;
    QVariant before; // as stored; null for none
    QVariant after;
    // An import's summary entry (or its undo's): column is kImportColumn, lngRowID and lngMasterID
    // 0, before and after null.
    std::optional<HistoryImport> import;
};
inline const QString kImportColumn = QStringLiteral("#import");

// The changes that meet the filter, in the order they were made.
bool gReadHistoryChanges(Database& db, const HistoryFilter& filter,
                         std::vector<HistoryChange>& changes);

enum class UndoOutcome {
    Done,
    Nothing, // the group recorded no change
    Changed, // a row of the group is no longer as the group left it: nothing was done
};

// Undoes every change of a group, newest first, in one transaction recorded under origin
// (HistoryOrigin::Undo, or Redo when the group undone was itself an undo): a changed row gets its
// values before back, an inserted row is deleted, a deleted row comes back with its number and
// values. Refused (Changed) when any row of the group is no longer as the group left it (changed
// since by another writer, or by a later step that was not undone); a later step undone since
// leaves it so, which lets steps be undone and redone one after the other. The rows are compared
// (and on a server locked until the undo commits) inside the undo's transaction, so a change by
// another program that came first refuses it. newGroup: the group of
// the changes the undo made; rows: the rows it touched as (table, row number).
bool gUndoHistoryGroup(Database& db, qint64 group, const QString& origin, UndoOutcome& outcome,
                       qint64* newGroup = nullptr,
                       std::vector<std::pair<QString, qint64>>* rows = nullptr);
