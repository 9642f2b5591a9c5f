#pragma once

#include "base/SingleInstance.h"
#include "ledger/ListEditWindow.h"

class ItemListModel;

// The item list window of the open ledger (glngDataKind): item texts typed directly into the
// grid, each with an optional order number 1 to 99 (typed or chosen from the drop-down). New
// rows are added at the end; rows are never deleted. Every cell is stored when confirmed.
class frmDataItem : public ListEditWindow, public SingleInstance<frmDataItem> {
    Q_OBJECT
public:
protected:
    bool load() override;
    void initGrid() override;
    // Stores a cell still being edited first; false when it is refused.
    bool mayClose() override;

private:
    explicit frmDataItem(QWidget* parent = nullptr);

    void onChosen(const QModelIndex& index, const QString& text);
    void onCommitRefused(const QModelIndex& index, const QString& text);
    void reportFailure(const QModelIndex& index, const QString& text, const QString& procName);
    // Another program changed an item list (ChangeNotices): this ledger's list is read again.
    void otherChanged(const QString& table);

    friend class SingleInstance<frmDataItem>;
    int m_kind = 1;
    bool m_refused = false; // a typed cell was refused and the user is being told
    ItemListModel* m_model = nullptr;
};
