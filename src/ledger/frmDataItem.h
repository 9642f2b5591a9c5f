#pragma once

#include "base/SingleInstance.h"

#include <QDialog>

class CellDropDown;
class ItemListModel;
class QComboBox;
class QPushButton;
class QTableView;

// The item list window of the open ledger (glngDataKind): item texts typed directly into the
// grid, each with an optional order number 1 to 99 (typed or chosen from the drop-down). New
// rows are added at the end; rows are never deleted. Every cell is stored when confirmed.
class frmDataItem : public QDialog, public SingleInstance<frmDataItem> {
    Q_OBJECT
public:
    QTableView* DBGrid01;
    QComboBox* cboEditGrid;
    QPushButton* cmdClose;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void reject() override;

private:
    explicit frmDataItem(QWidget* parent = nullptr);

    bool load();
    void initGrid();
    void onChosen(const QModelIndex& index, const QString& text);
    void onCommitRefused(const QModelIndex& index, const QString& text);
    void reportFailure(const QModelIndex& index, const QString& text, const QString& procName);

    friend class SingleInstance<frmDataItem>;
    int m_kind = 1;
    bool m_loaded = false;
    bool m_refused = false; // a typed cell was refused and the user is being told
    ItemListModel* m_model = nullptr;
    CellDropDown* m_dropDown = nullptr;
};
