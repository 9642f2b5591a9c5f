#pragma once

#include <QList>
#include <QModelIndex>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QStyledItemDelegate>

class QComboBox;
class QTableView;

// Paints a drop-down button at the right edge of the cells of some columns (on the current row).
// Other editing is the standard delegate's; a text typed into a cell that the model refuses is
// reported instead of being silently dropped.
class DropDownButtonDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    DropDownButtonDelegate(QTableView* view, QList<int> buttonColumns);

    bool isButtonColumn(int column) const { return m_buttonColumns.contains(column); }
    // The rectangle of the button inside a cell rectangle.
    static QRect buttonRect(const QRect& cell);
    // The next editor opened on index starts with text instead of the stored value (used to
    // reopen a refused edit with what the user typed).
    void setPendingText(const QModelIndex& index, const QString& text);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

signals:
    // The model refused the typed text (setData returned false).
    void commitRefused(const QModelIndex& index, const QString& text) const;

private:
    QTableView* m_view;
    QList<int> m_buttonColumns;
    mutable QPersistentModelIndex m_pendingIndex;
    mutable QString m_pendingText;
};

// The drop-down cell editor of a list grid: a combo box of the window, shown over one cell when
// the cell's button is clicked (or Alt+Down / F4 is pressed in a button column), with its list
// open. A click or Enter chooses; the arrow keys only browse; Escape or losing the focus hides
// it without a choice. The window decides what a choice does (chosen).
class CellDropDown : public QObject {
    Q_OBJECT
public:
    CellDropDown(QTableView* view, QComboBox* combo, QList<int> buttonColumns);

    DropDownButtonDelegate* delegate() const { return m_delegate; }
    // Shows the combo over index with entries (current entry: the cell's display text when
    // listed) and opens its list.
    void open(const QModelIndex& index, const QStringList& entries);
    void hide();
    QModelIndex editIndex() const { return m_index; }

signals:
    void buttonClicked(const QModelIndex& index);
    void chosen(const QModelIndex& index, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void choose();

    QTableView* m_view;
    QComboBox* m_combo;
    DropDownButtonDelegate* m_delegate;
    QPersistentModelIndex m_index;
    QPersistentModelIndex m_pressed; // the cell whose button the mouse went down on
};
