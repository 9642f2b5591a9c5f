#include "ledger/LedgerModel.h"
#include "store/DataFile.h"

#include "base/ErrorLog.h"
#include "ledger/LedgerLayout.h"
#include "store/ChangeNotices.h"
#include "store/Database.h"
#include "store/History.h"
#include "store/ShownRow.h"

#include <QTimer>
#include <algorithm>

namespace {

// How long a change another program made waits while a cell is being edited before it looks
// again.
constexpr int kHoldRetryMs = 250;

// Lines read together when the grid reaches a line not at hand, and the most kept at once.
constexpr int kBlockLines = 128;
constexpr std::size_t kMaxCachedLines = 16384;

} // namespace

LedgerModel::LedgerModel(int kind, Database& db, QObject* parent)
    : QAbstractTableModel(parent), m_store(kind, db) {
    connect(&db.changeNotices(), &ChangeNotices::rowsChanged, this, &LedgerModel::otherChanged);
}

bool LedgerModel::load(qint32 masterID, LedgerView view) {
    std::vector<qint64> ids;
    if (masterID != 0 && !m_store.loadOrder(masterID, view, ids))
        return false;
    beginResetModel();
    m_masterID = masterID;
    m_view = view;
    m_ids = std::move(ids);
    m_cache.clear();
    m_draft = LedgerLine();
    endResetModel();
    return true;
}

bool LedgerModel::reload() {
    return load(m_masterID, m_view);
}

bool LedgerModel::refresh() {
    m_refreshPending = false;
    if (m_masterID == 0)
        return true;
    std::vector<qint64> ids;
    if (!m_store.loadOrder(m_masterID, m_view, ids))
        return false;
    if (ids != m_ids) {
        if (!load(m_masterID, m_view))
            return false;
    } else {
        m_cache.clear();
        if (lineCount() > 0)
            emit dataChanged(index(0, 0), index(lineCount() - 1, LedgerCol::Count - 1));
    }
    emit refreshed();
    return true;
}

void LedgerModel::otherChanged(const QString& table, qint64 masterID) {
    if (m_masterID == 0 || table != m_store.table() || (masterID != 0 && masterID != m_masterID))
        return;
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    refreshWhenFree();
}

void LedgerModel::refreshWhenFree() {
    if (!m_refreshPending)
        return;
    if (m_busy && m_busy()) {
        QTimer::singleShot(kHoldRetryMs, this, &LedgerModel::refreshWhenFree);
        return;
    }
    refresh();
}

int LedgerModel::rowOfLine(qint64 lngID) const {
    const auto it = std::find(m_ids.begin(), m_ids.end(), lngID);
    return it == m_ids.end() ? -1 : static_cast<int>(it - m_ids.begin());
}

const LedgerLine* LedgerModel::cached(int row) const {
    if (row < 0 || row >= lineCount())
        return nullptr;
    const qint64 id = m_ids[static_cast<std::size_t>(row)];
    auto it = m_cache.find(id);
    if (it != m_cache.end())
        return &it->second;
    if (m_cache.size() > kMaxCachedLines)
        m_cache.clear();
    // The block around the row, so that scrolling either way finds its neighbours at hand.
    const std::size_t first = static_cast<std::size_t>(std::max(0, row - kBlockLines / 2));
    std::vector<LedgerLine> block;
    if (!m_store.readLines(m_ids, first, kBlockLines, block))
        return nullptr;
    for (LedgerLine& l : block)
        m_cache.insert_or_assign(l.lngID, std::move(l));
    it = m_cache.find(id);
    return it == m_cache.end() ? nullptr : &it->second;
}

bool LedgerModel::lineForEdit(int row, LedgerLine& out, const QString& proc) const {
    if (isNewRow(row)) {
        out = m_draft;
        return true;
    }
    if (const LedgerLine* l = cached(row)) {
        out = *l;
        return true;
    }
    gProcError(proc, QStringLiteral("row=%1").arg(row));
    return false;
}

LedgerLine LedgerModel::line(int row) const {
    if (const LedgerLine* l = cached(row))
        return *l;
    return isNewRow(row) ? m_draft : LedgerLine();
}

int LedgerModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return lineCount() + (m_masterID != 0 ? 1 : 0);
}

int LedgerModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : LedgerCol::Count;
}

QVariant LedgerModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int column = index.column();
    // Text reads from the left, figures and dates line up on the right. The text columns are
    // cut to their width in the grid: the whole text shows as a tooltip.
    const bool textColumn =
        column >= 0 && column < LedgerCol::Count && ledgerColumn(column).kind() == LedgerKind::Text;
    if (role == Qt::TextAlignmentRole)
        return QVariant((textColumn ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole && !(role == Qt::ToolTipRole && textColumn))
        return {};
    const LedgerLine* l = isNewRow(index.row()) ? &m_draft : cached(index.row());
    if (!l)
        return {};
    if (role == Qt::ToolTipRole) {
        const QString text = gLedgerCellText(*l, column);
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    return role == Qt::DisplayRole ? gLedgerCellText(*l, column) : gLedgerEditText(*l, column);
}

QVariant LedgerModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return ledgerFieldName(section);
    // The record selector marks the new line.
    return isNewRow(section) ? QStringLiteral("*") : QString();
}

Qt::ItemFlags LedgerModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // A data file that cannot be written is shown, never edited.
    if (!gDataFileReadOnly() && ledgerColumnShown(index.column()))
        f |= Qt::ItemIsEditable;
    return f;
}

bool LedgerModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    RuleResult refusal;
    return setCellText(index.row(), index.column(), value.toString(), refusal);
}

bool LedgerModel::setCellText(int row, int column, const QString& text, RuleResult& refusal) {
    refusal = RuleResult();
    m_lastRefusal = RuleResult();
    if (row < 0 || row >= rowCount() || column < 0 || column >= LedgerCol::Count) {
        gProcError(QStringLiteral("LedgerModel_setCellText"),
                   QStringLiteral("row=%1 column=%2").arg(row).arg(column));
        return false;
    }
    QVariant value;
    const bool checked = gCheckCellText(column, kind(), text, value, refusal);
    if (checked && !refusal.ok) {
        m_lastRefusal = refusal;
        return false;
    }
    if (checked && setCellValue(row, column, value))
        return true;
    if (m_lastRefusal.ok)
        noteLostServer();
    refusal = m_lastRefusal;
    return false;
}

void LedgerModel::reloadChangedElsewhere(int row, qint64 lngID) {
    // Someone else's values are shown instead of being overwritten; the user decides again.
    LedgerLine fresh;
    if (m_store.readLine(lngID, fresh)) {
        m_cache.insert_or_assign(lngID, fresh);
        emit dataChanged(index(row, 0), index(row, LedgerCol::Count - 1));
    }
    m_lastRefusal.ok = false;
    m_lastRefusal.text = gRowChangedElsewhereText();
}

bool LedgerModel::setCellValue(int row, int column, const QVariant& value) {
    LedgerLine before;
    if (!lineForEdit(row, before, QStringLiteral("LedgerModel_setCellValue")))
        return false;
    LedgerLine next = before;
    if (!next.setValue(column, value)) {
        gProcError(QStringLiteral("LedgerModel_setCellValue"),
                   QStringLiteral("column=%1").arg(column));
        return false;
    }
    // A cell confirmed without a change is not written (and does not mark the line changed);
    // nor does an empty cell of the new line start a line.
    if (next.sameValue(column, before))
        return true;
    if (!gAfterCellUpdate(next, m_masterID))
        return false;
    return commitLine(row, next, before, HistoryOrigin::Typed);
}

bool LedgerModel::storeLine(int row, const LedgerLine& changed, const QString& origin) {
    m_lastRefusal = RuleResult();
    LedgerLine before;
    if (!lineForEdit(row, before, QStringLiteral("LedgerModel_storeLine")))
        return false;
    if (changed == before)
        return true;
    LedgerLine next = changed;
    if (gAfterCellUpdate(next, m_masterID) && commitLine(row, next, before, origin))
        return true;
    if (m_lastRefusal.ok)
        noteLostServer();
    return false;
}

void LedgerModel::noteLostServer() {
    Database& db = m_store.database();
    if (!db.connectionLost() && !db.commitOutcomeUnknown())
        return;
    // The line stays as last stored; the next operation connects again and every grid reads
    // its lines anew (ChangeNotices::announceMissed), so what shows is what the server holds.
    m_lastRefusal.ok = false;
    m_lastRefusal.msgCode = 0;
    m_lastRefusal.text =
        db.commitOutcomeUnknown()
            ? QStringLiteral(
                  "サーバーとの接続が切れたため、この変更が保存されたかどうか確かめられま"
                  "せんでした。\r\n"
                  "サーバーにつながったら、表示される内容を確かめてください。")
            : QStringLiteral("サーバーとの接続が切れたため、この変更は保存していません。\r\n"
                             "サーバーが動いているか、ネットワークにつながっているかを確かめ、"
                             "つながってからもう一度入力してください。");
}

bool LedgerModel::commitLine(int row, LedgerLine& next, const LedgerLine& before,
                             const QString& origin) {
    HistoryScope history(m_store.database(), origin);
    if (!history.ok())
        return false;
    bool recorded = false;
    if (isNewRow(row)) {
        // Inserted and read back: the cache holds the line as stored.
        next.lngID = 0;
        if (!m_store.insertLine(next) || !history.commit(&recorded))
            return false;
        // The draft becomes a stored line; a fresh new row follows it.
        const int newRow = lineCount() + 1;
        beginInsertRows(QModelIndex(), newRow, newRow);
        m_ids.push_back(next.lngID);
        m_cache.insert_or_assign(next.lngID, next);
        m_draft = LedgerLine();
        endInsertRows();
        emit dataChanged(index(row, 0), index(row, LedgerCol::Count - 1));
        emit headerDataChanged(Qt::Vertical, row, newRow);
        emit changeRecorded(history.group());
        return true;
    }
    if (!m_store.storeChanges(before, next)) {
        if (m_store.lastWriteConflicted())
            reloadChangedElsewhere(row, next.lngID);
        return false;
    }
    if (!history.commit(&recorded))
        return false;
    m_cache.insert_or_assign(next.lngID, next);
    emit dataChanged(index(row, 0), index(row, LedgerCol::Count - 1));
    if (recorded)
        emit changeRecorded(history.group());
    return true;
}

bool LedgerModel::removeLines(QList<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.removeIf([this](int row) { return row < 0 || row >= lineCount(); });
    if (rows.isEmpty())
        return true;
    m_lastRefusal = RuleResult();
    if (removeStoredLines(rows))
        return true;
    noteLostServer();
    return false;
}

bool LedgerModel::removeStoredLines(const QList<int>& rows) {
    HistoryScope tx(m_store.database(), HistoryOrigin::Deleted);
    if (!tx.ok())
        return false;
    for (int row : rows) {
        if (!m_store.deleteLine(m_ids[static_cast<std::size_t>(row)]))
            return false;
    }
    bool recorded = false;
    if (!tx.commit(&recorded))
        return false;
    for (int row : rows) {
        const qint64 id = m_ids[static_cast<std::size_t>(row)];
        beginRemoveRows(QModelIndex(), row, row);
        m_ids.erase(m_ids.begin() + row);
        m_cache.erase(id);
        endRemoveRows();
    }
    if (recorded)
        emit changeRecorded(tx.group());
    return true;
}

bool LedgerModel::checkLines(const LineCheckTexts& texts, bool hasDefaultRatio, bool& errorFound,
                             RuleResult& result) {
    qint64 errorLine = 0;
    if (!m_store.mChkInputDate(m_masterID, m_view, texts, hasDefaultRatio, errorFound, result,
                               errorLine))
        return false;
    // Lines that passed had their changed flag cleared in the database: those at hand are read
    // again when next shown.
    for (auto it = m_cache.begin(); it != m_cache.end();) {
        if (it->second.blnChange)
            it = m_cache.erase(it);
        else
            ++it;
    }
    result.focusRow = errorFound ? rowOfLine(errorLine) : -1;
    return true;
}

int LedgerModel::findRow(const QString& text, int afterRow) {
    std::unordered_set<qint64> found;
    if (m_masterID == 0 || !m_store.findLines(m_masterID, text, found) || found.empty())
        return -1;
    const int n = lineCount();
    for (int step = 1; step <= n; ++step) {
        const int row = ((afterRow + step) % n + n) % n;
        if (found.count(m_ids[static_cast<std::size_t>(row)]))
            return row;
    }
    return -1;
}
