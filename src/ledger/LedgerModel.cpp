#include "ledger/LedgerModel.h"

#include "app/ErrorLog.h"
#include "ledger/ClassLists.h"
#include "ledger/LedgerLayout.h"

LedgerModel::LedgerModel(int kind, QObject* parent) : QAbstractTableModel(parent), m_store(kind) {}

bool LedgerModel::load(qint32 masterID, LedgerView view) {
    std::vector<LedgerLine> lines;
    if (masterID != 0 && !m_store.load(masterID, view, lines))
        return false;
    beginResetModel();
    m_masterID = masterID;
    m_view = view;
    m_lines = std::move(lines);
    m_draft = LedgerLine();
    endResetModel();
    return true;
}

bool LedgerModel::reload() {
    return load(m_masterID, m_view);
}

const LedgerLine& LedgerModel::line(int row) const {
    if (row >= 0 && row < lineCount())
        return m_lines[static_cast<std::size_t>(row)];
    return m_draft;
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
    switch (role) {
    case Qt::DisplayRole:
        return gLedgerCellText(line(index.row()), column);
    case Qt::EditRole:
        return gLedgerEditText(line(index.row()), column);
    case Qt::TextAlignmentRole:
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
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
    if (index.column() != LedgerCol::MasterID && index.column() != LedgerCol::Change)
        f |= Qt::ItemIsEditable;
    return f;
}

bool LedgerModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const int column = index.column();
    const QString text = value.toString();
    QStringList choices;
    const bool listColumn = column == LedgerCol::Sort || column == LedgerCol::Class1 ||
                            column == LedgerCol::Class2 || column == LedgerCol::Class3;
    if (listColumn && !text.isEmpty() && !gGetLedgerListEntries(column, kind(), choices))
        return false;
    RuleResult refusal;
    return setCellText(index.row(), column, text, choices, refusal);
}

bool LedgerModel::setCellText(int row, int column, const QString& text, const QStringList& choices,
                              RuleResult& refusal) {
    refusal = RuleResult();
    m_lastRefusal = RuleResult();
    if (row < 0 || row >= rowCount() || column < 0 || column >= LedgerCol::Count) {
        gProcError(QStringLiteral("LedgerModel_setCellText"),
                   QStringLiteral("row=%1 column=%2").arg(row).arg(column));
        return false;
    }
    QVariant value;
    refusal = gCheckCellText(column, text, choices, value);
    if (!refusal.ok) {
        m_lastRefusal = refusal;
        return false;
    }
    return setCellValue(row, column, value);
}

bool LedgerModel::setCellValue(int row, int column, const QVariant& value) {
    if (row < 0 || row >= rowCount()) {
        gProcError(QStringLiteral("LedgerModel_setCellValue"), QStringLiteral("row=%1").arg(row));
        return false;
    }
    const LedgerLine before = line(row);
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
    return commitLine(row, next, before);
}

bool LedgerModel::storeLine(int row, const LedgerLine& changed) {
    if (row < 0 || row >= rowCount()) {
        gProcError(QStringLiteral("LedgerModel_storeLine"), QStringLiteral("row=%1").arg(row));
        return false;
    }
    const LedgerLine before = line(row);
    if (changed == before)
        return true;
    LedgerLine next = changed;
    if (!gAfterCellUpdate(next, m_masterID))
        return false;
    return commitLine(row, next, before);
}

bool LedgerModel::commitLine(int row, LedgerLine& next, const LedgerLine& before) {
    if (isNewRow(row)) {
        next.lngID = 0;
        if (!m_store.insertLine(next))
            return false;
        LedgerLine stored;
        if (!m_store.readLine(next.lngID, stored))
            return false;
        // The draft becomes a stored line; a fresh new row follows it.
        const int newRow = lineCount() + 1;
        beginInsertRows(QModelIndex(), newRow, newRow);
        m_lines.push_back(stored);
        m_draft = LedgerLine();
        endInsertRows();
        emit dataChanged(index(row, 0), index(row, LedgerCol::Count - 1));
        emit headerDataChanged(Qt::Vertical, row, newRow);
        return true;
    }
    if (!m_store.storeChanges(before, next))
        return false;
    m_lines[static_cast<std::size_t>(row)] = next;
    emit dataChanged(index(row, 0), index(row, LedgerCol::Count - 1));
    return true;
}

bool LedgerModel::removeLines(QList<int> rows) {
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows) {
        if (row < 0 || row >= lineCount())
            continue;
        if (!m_store.deleteLine(m_lines[static_cast<std::size_t>(row)].lngID))
            return false;
        beginRemoveRows(QModelIndex(), row, row);
        m_lines.erase(m_lines.begin() + row);
        endRemoveRows();
    }
    return true;
}

bool LedgerModel::checkLines(const LineCheckTexts& texts, bool hasDefaultRatio, bool& errorFound,
                             RuleResult& result) {
    return m_store.mChkInputDate(m_lines, texts, hasDefaultRatio, errorFound, result);
}
