#pragma once

#include "ledger/LedgerStore.h"
#include "ledger/LineRules.h"

#include <QAbstractTableModel>
#include <functional>
#include <unordered_map>
#include <vector>

// The ledger grid's model: the lines of one supplier of T_DATA1 / T_DATA2 in the view's order,
// kLedgerColumns as the view's SELECT list, and one empty row after the stored lines for a new
// line (only while a supplier is shown). It holds the order of the lines (their lngIDs) and
// reads the lines themselves in blocks as the grid shows them, so a supplier with a hundred
// thousand lines opens at once. Every confirmed cell is written to the database first;
// the cache changes and the view hears of it only after the write succeeded. A new line is
// inserted on its first confirmed cell, read back, and then shown as a stored row, with a fresh
// empty row after it. The model shows no messages: a refused cell returns false with the rule's
// result (lastRefusal), and a failed write returns false with an ok result (already logged),
// except a write that failed because the server's connection was lost: refused with the
// explanation for the user, nothing of it stored, the line as last stored (the grid keeps the
// typed text in its editor, to be confirmed again once the server is back).
class LedgerModel : public QAbstractTableModel {
    Q_OBJECT

public:
    LedgerModel(int kind, Database& db, QObject* parent = nullptr);

    int kind() const { return m_store.kind(); }
    LedgerStore& store() { return m_store; }

    // Loads the lines of supplier masterID in the view's order; master ID 0 shows nothing (not
    // even the new row). On failure the model keeps what it showed.
    bool load(qint32 masterID, LedgerView view);
    // Reads the current supplier's lines again in the current order.
    bool reload();
    // Shows the lines as now stored after another program changed them: when the same lines are
    // still there in the same order, the rows keep their place (the current cell stays);
    // otherwise the model is reset as by reload().
    bool refresh();
    // While busy() holds (a cell being edited in the window), a change another program made is
    // shown only afterwards.
    void setRefreshHold(std::function<bool()> busy) { m_busy = std::move(busy); }
    qint32 masterID() const { return m_masterID; }
    LedgerView view() const { return m_view; }

    // Stored lines (the new row not counted).
    int lineCount() const { return static_cast<int>(m_ids.size()); }
    bool isNewRow(int row) const { return m_masterID != 0 && row == lineCount(); }
    // The row of a stored line; -1 when it is not shown.
    int rowOfLine(qint64 lngID) const;
    // The line of a row (read from the database when it is not at hand); the new row gives its
    // (empty) draft. An empty line when the row does not exist or cannot be read (logged).
    LedgerLine line(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Edit role with the typed text: checked and stored as setCellText does.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // A cell confirmed with the typed text. The text is checked (gCheckCellText; the list
    // columns 2, 4, 5, 6 against their current lists in the database); a refused text stores
    // nothing, sets refusal and returns false. An accepted value equal to the cell's is not
    // written. Otherwise the line gets the value and the after-update processing and is stored.
    // False with refusal.ok on a failed list read or write (logged).
    bool setCellText(int row, int column, const QString& text, RuleResult& refusal);
    // Stores a value that already passed the cell check (a date, number or text; null clears).
    bool setCellValue(int row, int column, const QVariant& value);
    // Stores a line the window changed outside a cell edit (a derived amount, a class default):
    // every column that differs from the row's line is written, after the after-update
    // processing. Nothing is written when nothing differs. origin: how the history records it
    // (HistoryOrigin, store/History.h). A server out of reach leaves its explanation in
    // lastRefusal.
    bool storeLine(int row, const LedgerLine& changed, const QString& origin);
    // Deletes stored lines (rows of the new line are ignored) in one transaction: all of them or
    // none. The view loses the rows only after the deletion is committed. A server out of reach
    // leaves its explanation in lastRefusal.
    bool removeLines(QList<int> rows);
    // The line check over the shown supplier's changed lines in the view's order
    // (LedgerStore::mChkInputDate); result.focusRow is the row of the failing line.
    bool checkLines(const LineCheckTexts& texts, bool hasDefaultRatio, bool& errorFound,
                    RuleResult& result);
    // Lines read and kept at hand (for tests and measurements).
    std::size_t cachedLines() const { return m_cache.size(); }

    const RuleResult& lastRefusal() const { return m_lastRefusal; }

    // The next row after afterRow (wrapping round) whose line matches text
    // (LedgerStore::findLines); -1 when none does or the search failed (logged).
    int findRow(const QString& text, int afterRow);

signals:
    // A write of the model was recorded in the change history as this group (undo works on it).
    void changeRecorded(qint64 group);
    // The lines were read again because another program changed them.
    void refreshed();

private:
    // Another program changed rows of table of supplier masterID (0: any supplier).
    void otherChanged(const QString& table, qint64 masterID);
    // Refreshes once the hold is over.
    void refreshWhenFree();
    // Writes next in place of the line of row (inserting it when it is the new line), recorded
    // in the history under origin.
    bool commitLine(int row, LedgerLine& next, const LedgerLine& before, const QString& origin);
    bool removeStoredLines(const QList<int>& rows);
    // After a failed write: when the server's connection was lost, leaves the user's explanation
    // in lastRefusal (the write was not stored, or whether it was is not known).
    void noteLostServer();
    // After a write refused because another program changed the line: shows the line as now
    // stored and leaves the user's explanation in lastRefusal.
    void reloadChangedElsewhere(int row, qint64 lngID);
    // The line of a stored row, read with its block when needed; nullptr when it cannot be read.
    const LedgerLine* cached(int row) const;
    // The line of a row about to change: the draft for the new row. False (logged under proc)
    // when the row does not exist or cannot be read.
    bool lineForEdit(int row, LedgerLine& out, const QString& proc) const;

    mutable LedgerStore m_store;
    qint32 m_masterID = 0;
    LedgerView m_view = LedgerView::Normal;
    std::vector<qint64> m_ids; // the shown lines in the view's order
    mutable std::unordered_map<qint64, LedgerLine> m_cache;
    LedgerLine m_draft;
    RuleResult m_lastRefusal;
    std::function<bool()> m_busy;
    bool m_refreshPending = false;
};
