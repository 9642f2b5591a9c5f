#include "ledger/ListGridModels.h"

namespace {

bool sameValue(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.toString() == b.toString();
}

} // namespace

ClassListModel::ClassListModel(int classNo, Database& db, QObject* parent)
    : QAbstractTableModel(parent), m_classNo(classNo), m_db(db) {}

bool ClassListModel::load() {
    QList<ClassEntry> entries;
    if (!gGetClassEntries(m_db, m_classNo, entries))
        return false;
    beginResetModel();
    m_entries = entries;
    endResetModel();
    return true;
}

bool ClassListModel::setSort(int row, qint32 sort) {
    m_changedElsewhere = false;
    if (row < 0 || row >= m_entries.size())
        return false;
    if (m_entries.at(row).sort == sort)
        return true;
    bool conflict = false;
    if (!gSetClassEntrySort(m_db, m_classNo, m_entries.at(row).id, sort, &m_entries.at(row),
                            &conflict))
        return reloadChangedElsewhere(conflict);
    m_entries[row].sort = sort;
    emit dataChanged(index(row, 2), index(row, 2));
    return true;
}

bool ClassListModel::setEnabled(int row, bool enabled) {
    m_changedElsewhere = false;
    if (row < 0 || row >= m_entries.size())
        return false;
    if (m_entries.at(row).enabled == enabled)
        return true;
    bool conflict = false;
    if (!gSetClassEntryEnabled(m_db, m_classNo, m_entries.at(row).id, enabled, &m_entries.at(row),
                               &conflict))
        return reloadChangedElsewhere(conflict);
    m_entries[row].enabled = enabled;
    emit dataChanged(index(row, 3), index(row, 3));
    return true;
}

bool ClassListModel::setReduced(int row, bool reduced) {
    m_changedElsewhere = false;
    if (row < 0 || row >= m_entries.size())
        return false;
    if (m_entries.at(row).reduced == reduced)
        return true;
    bool conflict = false;
    if (!gSetClassEntryReduced(m_db, m_classNo, m_entries.at(row).id, reduced, &m_entries.at(row),
                               &conflict))
        return reloadChangedElsewhere(conflict);
    m_entries[row].reduced = reduced;
    emit dataChanged(index(row, 4), index(row, 4));
    return true;
}

bool ClassListModel::reloadChangedElsewhere(bool conflict) {
    // Someone else's values are shown instead of being overwritten; the user decides again.
    if (conflict && load())
        m_changedElsewhere = true;
    return false;
}

bool ClassListModel::addEntry(const QString& text) {
    ClassEntry added;
    if (!gAddClassEntry(m_db, m_classNo, text, added))
        return false;
    const int row = static_cast<int>(m_entries.size());
    beginInsertRows({}, row, row);
    m_entries << added;
    endInsertRows();
    return true;
}

int ClassListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int ClassListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 5;
}

QVariant ClassListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_entries.size())
        return {};
    const ClassEntry& e = m_entries.at(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case 0:
            return e.id;
        case 1:
            return e.text;
        case 2:
            return e.sort;
        case 3:
            return e.enabled ? QStringLiteral("Yes") : QStringLiteral("No");
        case 4:
            return e.reduced ? QStringLiteral("Yes") : QStringLiteral("No");
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() == 2)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant ClassListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return QString();
    switch (section) {
    case 0:
        return QStringLiteral("lngID");
    case 1:
        return QStringLiteral("リスト");
    case 2:
        return QStringLiteral("並び順");
    case 3:
        return QStringLiteral("有効");
    case 4:
        return QStringLiteral("軽減税率 (8%)");
    default:
        return {};
    }
}

Qt::ItemFlags ClassListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

ItemListModel::ItemListModel(int kind, Database& db, QObject* parent)
    : QAbstractTableModel(parent), m_kind(kind), m_db(db) {}

bool ItemListModel::load() {
    QList<ItemEntry> entries;
    if (!gGetItemEntries(m_db, m_kind, entries))
        return false;
    beginResetModel();
    m_entries = entries;
    endResetModel();
    return true;
}

int ItemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : storedRowCount() + 1;
}

int ItemListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::TextAlignmentRole && index.column() == 1)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    if (isNewRow(index.row()))
        return role == Qt::EditRole ? QVariant(QString()) : QVariant();
    const ItemEntry& e = m_entries.at(index.row());
    const QVariant& v = index.column() == 0 ? e.text : e.sort;
    if (role == Qt::EditRole)
        return v.isNull() ? QString() : v.toString();
    return v;
}

QVariant ItemListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return isNewRow(section) ? QStringLiteral("*") : QString();
    switch (section) {
    case 0:
        return QStringLiteral("リスト");
    case 1:
        return QStringLiteral("並び順");
    default:
        return {};
    }
}

Qt::ItemFlags ItemListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool ItemListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    m_failure = ListModelFailure::None;
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount())
        return false;
    const QString typed = value.toString();
    QVariant stored;
    if (index.column() == 1) {
        if (!gChkSortText(typed, kListSortMax, stored)) {
            m_failure = ListModelFailure::InvalidSort;
            return false;
        }
    } else if (!typed.isEmpty()) {
        stored = typed;
    }

    const int row = index.row();
    if (isNewRow(row)) {
        // Nothing typed into the new row: nothing to store.
        if (stored.isNull())
            return true;
        ItemEntry added;
        const QVariant text = index.column() == 0 ? stored : QVariant();
        const QVariant sort = index.column() == 1 ? stored : QVariant();
        if (!gAddItemEntry(m_db, m_kind, text, sort, added)) {
            m_failure = ListModelFailure::Database;
            return false;
        }
        // The stored row takes the place of the new row; a fresh new row follows it.
        beginInsertRows({}, row + 1, row + 1);
        m_entries << added;
        endInsertRows();
        emit dataChanged(this->index(row, 0), this->index(row, 1));
        emit headerDataChanged(Qt::Vertical, row, row + 1);
        return true;
    }

    ItemEntry& e = m_entries[row];
    const QVariant& current = index.column() == 0 ? e.text : e.sort;
    if (sameValue(current, stored))
        return true;
    // Written only while the row holds what the list shows.
    bool conflict = false;
    const bool ok = index.column() == 0
                        ? gSetItemText(m_db, m_kind, e.rowId, stored, &e, &conflict)
                        : gSetItemSort(m_db, m_kind, e.rowId, stored, &e, &conflict);
    if (!ok) {
        m_failure =
            conflict && load() ? ListModelFailure::ChangedElsewhere : ListModelFailure::Database;
        return false;
    }
    if (index.column() == 0)
        e.text = stored;
    else
        e.sort = stored;
    emit dataChanged(index, index);
    return true;
}
