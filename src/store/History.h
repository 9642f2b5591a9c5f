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

// One transaction whose changes the history records under an origin and one new group. The
// origin row is set when the scope opens and put back before the commit, so that it never holds
// the program's origin outside a transaction of the program. Opened inside another transaction
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

private:
    Database& m_db;
    Transaction m_tx;
    bool m_ok = false;
    qint64 m_group = 0;
    QVariantList m_previous;
};

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
    QVariant lineDate; // a ledger line's date1 and item (after the change, else before)
    QVariant lineItem;
    QString column;
    QVariant before; // as stored; null for none
    QVariant after;
};

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
// leaves it so, which lets steps be undone and redone one after the other. newGroup: the group of
// the changes the undo made; rows: the rows it touched as (table, row number).
bool gUndoHistoryGroup(Database& db, qint64 group, const QString& origin, UndoOutcome& outcome,
                       qint64* newGroup = nullptr,
                       std::vector<std::pair<QString, qint64>>* rows = nullptr);
