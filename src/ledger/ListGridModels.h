#pragma once

#include "ledger/ClassLists.h"

#include <QAbstractTableModel>

// Why a model refused a change.
enum class ListModelFailure {
    None,
    InvalidSort,      // an order number that is not one of the offered numbers
    Database,         // the store reported a failure (already logged)
    ChangedElsewhere, // another program changed the row since it was shown: the list was read again
};

// The entries of one class list (columns: 0 lngID, 1 "リスト", 2 "並び順", 3 "有効" and
// 4 "軽減税率 (8%)" shown as "Yes" / "No"). Nothing is editable by typing; the class window
// changes the order number, the enabled state and the reduced-rate mark through setSort /
// setEnabled / setReduced, which write to the database first and update the view after.
class ClassListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    ClassListModel(int classNo, Database& db, QObject* parent = nullptr);

    bool load();
    int classNo() const { return m_classNo; }
    const ClassEntry& entry(int row) const { return m_entries.at(row); }

    // Each is written only while the entry holds what the list shows: when another program
    // changed it since, the list is read again and the result is false with changedElsewhere().
    bool setSort(int row, qint32 sort);
    bool setEnabled(int row, bool enabled);
    bool setReduced(int row, bool reduced);
    bool changedElsewhere() const { return m_changedElsewhere; }
    // Adds an entry to the store and shows it as the last row.
    bool addEntry(const QString& text);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // After a refused write: reads the list again (another program changed the entry).
    bool reloadChangedElsewhere(bool conflict);

    int m_classNo;
    Database& m_db;
    QList<ClassEntry> m_entries;
    bool m_changedElsewhere = false;
};

// The item list of one ledger (columns: 0 "リスト" strItem, 1 "並び順" lngSort), followed by an
// empty row for a new entry. Both columns are edited by typing; rows are never removed. A new
// row is stored on its first non-empty cell and only then shown as a stored row. An empty text
// stores NULL; an order number must be empty or one of 1 to 99.
class ItemListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    ItemListModel(int kind, Database& db, QObject* parent = nullptr);

    bool load();
    int kind() const { return m_kind; }
    int storedRowCount() const { return static_cast<int>(m_entries.size()); }
    bool isNewRow(int row) const { return row == storedRowCount(); }
    ListModelFailure lastFailure() const { return m_failure; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Takes the typed text of a cell. False (lastFailure says why) when refused or not stored.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    int m_kind;
    Database& m_db;
    QList<ItemEntry> m_entries;
    ListModelFailure m_failure = ListModelFailure::None;
};
