#pragma once

#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>
#include <functional>

class LedgerGrid;

// Paints the ledger cells (no wrapping in the date and order columns, the drop-down button on
// the current cell of a list column) and routes the editor's keys through the grid.
class LedgerDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit LedgerDelegate(LedgerGrid* grid);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    // The drop-down button's rectangle inside a cell.
    static QRect buttonRect(const QRect& cell);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    LedgerGrid* m_grid;
};

// The ledger grid: a table view whose cell edits are confirmed through the window. A confirmed
// text goes to commitCell (so do Ctrl+V and Delete on a cell not being edited); when the window
// refuses it (and has told the user why), the editor stays open with the typed text and the user
// stays in the cell.
class LedgerGrid : public QTableView {
    Q_OBJECT

public:
    // Whether a cell's editor is open.
    bool isEditing() const { return state() == EditingState; }
    explicit LedgerGrid(QWidget* parent = nullptr);

    // The window's part. commitCell: true when the text was stored (or left unchanged), false
    // when refused. keyDown: a key pressed in the grid or its editor; true when handled (the
    // key then goes no further). buttonClick: the drop-down button of a cell was pressed.
    // deleteRows: the user asked to delete the selected whole lines (Delete) or the current line
    // (Ctrl+Delete).
    std::function<bool(const QModelIndex&, const QString&)> commitCell;
    std::function<bool(QKeyEvent*)> keyDown;
    std::function<void(const QModelIndex&)> buttonClick;
    std::function<void(const QList<int>&)> deleteRows;
    // Columns that carry a drop-down button.
    std::function<bool(int)> hasDropDown;

    // The open cell editor, or nullptr.
    QWidget* activeEditor() const { return m_editor; }
    QModelIndex editIndex() const { return m_editIndex; }
    // An editor is open with a text that was refused and not changed since.
    bool hasRefusedEdit() const { return m_editor && m_refusedUnchanged; }
    // Confirms an open edit. True when no edit is left open (confirmed, or none was open);
    // false when the text was refused and the editor stays (a text refused before and not
    // changed since is not checked, nor reported, again).
    bool commitPendingEdit();
    // Drops an open edit without storing it.
    void cancelPendingEdit();
    // Moves the current cell one visible column to the right, to the first visible column of
    // the next row after the last one.
    void moveToNextCell();

    // Called by the delegate.
    void editorCreated(QWidget* editor, const QModelIndex& index);
    bool handleKey(QKeyEvent* event);
    void advanceFromEditor(QWidget* editor);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    QList<int> selectedLineRows() const;
    // A text for the current cell outside an edit (Ctrl+V, Delete), confirmed through
    // commitCell as a typed one is: stored with its undo step, or refused with the reason.
    void storeIntoCurrentCell(const QString& text);

    QPointer<QWidget> m_editor;
    QPersistentModelIndex m_editIndex;
    bool m_inCommit = false;
    bool m_refused = false;
    // The open editor's text was refused and has not changed since.
    bool m_refusedUnchanged = false;
};
