#pragma once

#include <QAbstractItemView>
#include <QDialog>
#include <QList>
#include <utility>

class CellDropDown;
class QComboBox;
class QPushButton;
class QTableView;

// What the list windows of the ledger (a class list, the item list) share: a modal dialog with
// the list grid DBGrid01, whose button cells drop their choices down in cboEditGrid, and the
// close button cmdClose. The list is loaded when the window is first shown; the grid is laid out
// again whenever the window becomes active; Esc closes the window as the close button does.
class ListEditWindow : public QDialog {
    Q_OBJECT
public:
    QTableView* DBGrid01;
    QComboBox* cboEditGrid;
    QPushButton* cmdClose = nullptr;

protected:
    // name: the window's objectName, also the start of its failure reports ("<name>_Form_Load");
    // dropDownColumns: the grid columns with a drop-down button.
    ListEditWindow(const QString& name, QList<int> dropDownColumns, QWidget* parent);

    // Fills the grid (setListModel); false when the list cannot be read (already reported).
    virtual bool load() = 0;
    // Lays the grid out (layoutGrid).
    virtual void initGrid() = 0;
    // Runs when the window is closing; false keeps it open.
    virtual bool mayClose() { return true; }

    // The list boxes are pale yellow and drop down as plain scrolling lists.
    static void setListBoxStyle(QComboBox* box);
    // The close button, made where it comes in the tab order.
    QPushButton* makeCloseButton();
    // Shows the model in the grid and lays the grid out.
    void setListModel(QAbstractItemModel* model);
    // Single cells are selected; the columns are as wide as given in twips (0: hidden) and the
    // grid as wide as its columns and as high as the number of rows.
    void layoutGrid(QAbstractItemView::EditTriggers triggers,
                    const QList<std::pair<int, int>>& columnTwips, int visibleRows);

    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

    CellDropDown* m_dropDown = nullptr;
    bool m_loaded = false;
};
