#include "ledger/LedgerGrid.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>

// ---- LedgerDelegate ----------------------------------------------------------------------------

LedgerDelegate::LedgerDelegate(LedgerGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

QWidget* LedgerDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_grid->editorCreated(editor, index);
    return editor;
}

void LedgerDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    // The date and the order number stay on one line.
    if (index.column() <= 2)
        option->features &= ~QStyleOptionViewItem::WrapText;
}

QRect LedgerDelegate::buttonRect(const QRect& cell) {
    const int w = qMin(18, cell.width() / 2);
    return QRect(cell.right() - w + 1, cell.top() + 1, w - 1, cell.height() - 2);
}

void LedgerDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    const bool button = m_grid->hasDropDown && m_grid->hasDropDown(index.column()) &&
                        index == m_grid->currentIndex();
    if (!button) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem textOption = option;
    textOption.rect.setRight(buttonRect(option.rect).left() - 1);
    QStyledItemDelegate::paint(painter, textOption, index);
    QStyleOptionButton b;
    b.rect = buttonRect(option.rect);
    b.state = QStyle::State_Enabled | QStyle::State_Raised;
    QStyle* style = m_grid->style();
    style->drawControl(QStyle::CE_PushButtonBevel, &b, painter, m_grid);
    QStyleOption arrow;
    arrow.rect = b.rect.adjusted(3, 3, -3, -3);
    arrow.palette = option.palette;
    arrow.state = QStyle::State_Enabled;
    style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, m_grid);
}

bool LedgerDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                 const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() == QEvent::MouseButtonPress && m_grid->hasDropDown &&
        m_grid->hasDropDown(index.column()) && index == m_grid->currentIndex()) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton &&
            buttonRect(option.rect).contains(me->position().toPoint())) {
            if (m_grid->buttonClick)
                m_grid->buttonClick(index);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

bool LedgerDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(object);
    if (editor && event->type() == QEvent::KeyPress) {
        auto* ke = static_cast<QKeyEvent*>(event);
        if (m_grid->handleKey(ke))
            return true;
        if ((ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) &&
            !(ke->modifiers() & (Qt::AltModifier | Qt::ControlModifier))) {
            m_grid->advanceFromEditor(editor);
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

// ---- LedgerGrid --------------------------------------------------------------------------------

LedgerGrid::LedgerGrid(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new LedgerDelegate(this));
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(true);
}

void LedgerGrid::editorCreated(QWidget* editor, const QModelIndex& index) {
    m_editor = editor;
    m_editIndex = index;
    m_refusedUnchanged = false;
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
        connect(edit, &QLineEdit::textChanged, this, [this] { m_refusedUnchanged = false; });
}

bool LedgerGrid::handleKey(QKeyEvent* event) {
    return keyDown && keyDown(event);
}

void LedgerGrid::keyPressEvent(QKeyEvent* event) {
    if (handleKey(event))
        return;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mods == Qt::NoModifier) {
            moveToNextCell();
            return;
        }
        break;
    case Qt::Key_Delete:
        if (mods == Qt::ControlModifier) {
            if (deleteRows && currentIndex().isValid())
                deleteRows({currentIndex().row()});
            return;
        }
        if (mods == Qt::NoModifier) {
            // Whole lines selected: they are deleted; otherwise the current cell is emptied.
            const QList<int> rows = selectedLineRows();
            if (!rows.isEmpty()) {
                if (deleteRows)
                    deleteRows(rows);
            } else {
                storeIntoCurrentCell(QString());
            }
            return;
        }
        break;
    case Qt::Key_Space:
        if (mods == Qt::ShiftModifier && currentIndex().isValid()) {
            selectRow(currentIndex().row());
            return;
        }
        break;
    default:
        break;
    }
    if (event->matches(QKeySequence::Paste)) {
        // The first cell of what was copied: up to a tab or a line break, as a spreadsheet
        // copies one cell.
        // Nothing copied: nothing changes.
        static const QRegularExpression cellEnd(QStringLiteral("[\\t\\r\\n]"));
        const QString copied = QGuiApplication::clipboard()->text();
        if (!copied.isEmpty())
            storeIntoCurrentCell(copied.section(cellEnd, 0, 0));
        return;
    }
    QTableView::keyPressEvent(event);
}

void LedgerGrid::storeIntoCurrentCell(const QString& text) {
    const QModelIndex cur = currentIndex();
    if (!cur.isValid() || !(cur.flags() & Qt::ItemIsEditable) || !commitCell)
        return;
    // A refused text is stored nowhere; the window has told the user why.
    commitCell(cur, text);
}

QList<int> LedgerGrid::selectedLineRows() const {
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        rows << i.row();
    return rows;
}

void LedgerGrid::commitData(QWidget* editor) {
    if (m_inCommit) {
        // The focus went to the message box that explains a refusal: nothing to confirm.
        m_refused = true;
        return;
    }
    if (editor != m_editor || !m_editIndex.isValid()) {
        QTableView::commitData(editor);
        return;
    }
    if (m_refusedUnchanged) {
        // The user was told about this text already; leaving the cell (a click elsewhere, a
        // button) does not repeat the message.
        m_refused = true;
        return;
    }
    QString text;
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
        text = edit->text();
    m_inCommit = true;
    const bool accepted = commitCell ? commitCell(m_editIndex, text) : true;
    m_inCommit = false;
    m_refused = !accepted;
    m_refusedUnchanged = !accepted;
}

void LedgerGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (m_refused && editor == m_editor) {
        // The user stays in the cell with the text as typed.
        m_refused = false;
        if (m_editIndex.isValid() && currentIndex() != QModelIndex(m_editIndex)) {
            const QPersistentModelIndex back = m_editIndex;
            QMetaObject::invokeMethod(
                this,
                [this, back] {
                    if (back.isValid())
                        selectionModel()->setCurrentIndex(back,
                                                          QItemSelectionModel::ClearAndSelect);
                    if (m_editor)
                        m_editor->setFocus();
                },
                Qt::QueuedConnection);
        }
        editor->setFocus();
        return;
    }
    if (editor == m_editor) {
        m_editor = nullptr;
        m_editIndex = QPersistentModelIndex();
        m_refusedUnchanged = false;
    }
    QTableView::closeEditor(editor, hint);
}

void LedgerGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    // The drop-down button follows the current cell.
    if (previous.isValid())
        update(previous);
    if (current.isValid())
        update(current);
}

bool LedgerGrid::commitPendingEdit() {
    QWidget* editor = m_editor;
    if (!editor)
        return true;
    commitData(editor);
    if (m_refused) {
        m_refused = false;
        editor->setFocus();
        return false;
    }
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void LedgerGrid::cancelPendingEdit() {
    QWidget* editor = m_editor;
    if (!editor)
        return;
    m_refused = false;
    m_refusedUnchanged = false;
    closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

void LedgerGrid::advanceFromEditor(QWidget* editor) {
    if (editor != m_editor)
        return;
    // Enter always checks the text again, and tells again when it is still refused.
    m_refusedUnchanged = false;
    if (commitPendingEdit()) {
        moveToNextCell();
        setFocus();
    }
}

void LedgerGrid::moveToNextCell() {
    const QModelIndex cur = currentIndex();
    if (!cur.isValid() || !model())
        return;
    int row = cur.row();
    int column = cur.column() + 1;
    const int columns = model()->columnCount();
    while (column < columns && isColumnHidden(column))
        ++column;
    if (column >= columns) {
        if (row + 1 >= model()->rowCount())
            return;
        ++row;
        column = 0;
        while (column < columns && isColumnHidden(column))
            ++column;
    }
    setCurrentIndex(model()->index(row, column));
}
