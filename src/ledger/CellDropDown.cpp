#include "ledger/CellDropDown.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTableView>
#include <QTimer>

DropDownButtonDelegate::DropDownButtonDelegate(QTableView* view, QList<int> buttonColumns)
    : QStyledItemDelegate(view), m_view(view), m_buttonColumns(std::move(buttonColumns)) {}

QRect DropDownButtonDelegate::buttonRect(const QRect& cell) {
    const int w = qMin(cell.height(), 18);
    return QRect(cell.right() - w + 1, cell.top() + 1, w - 1, cell.height() - 2);
}

void DropDownButtonDelegate::setPendingText(const QModelIndex& index, const QString& text) {
    m_pendingIndex = index;
    m_pendingText = text;
}

void DropDownButtonDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    if (!isButtonColumn(index.column()) || index.row() != m_view->currentIndex().row()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The value keeps clear of the button.
    const QRect button = buttonRect(option.rect);
    QStyleOptionViewItem textOption(option);
    textOption.rect.setRight(button.left() - 1);
    QStyledItemDelegate::paint(painter, textOption, index);
    QStyle* style = m_view->style();
    QStyleOptionButton panel;
    panel.rect = button;
    panel.state = QStyle::State_Enabled | QStyle::State_Raised;
    panel.palette = option.palette;
    style->drawPrimitive(QStyle::PE_PanelButtonCommand, &panel, painter, m_view);
    QStyleOption arrow;
    arrow.rect = button.adjusted(3, 3, -3, -3);
    arrow.state = QStyle::State_Enabled;
    arrow.palette = option.palette;
    style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, m_view);
}

void DropDownButtonDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line && m_pendingIndex.isValid() && m_pendingIndex == index) {
        line->setText(m_pendingText);
        m_pendingIndex = QPersistentModelIndex();
        m_pendingText.clear();
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void DropDownButtonDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                          const QModelIndex& index) const {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    if (!model->setData(index, line->text(), Qt::EditRole))
        emit commitRefused(index, line->text());
}

CellDropDown::CellDropDown(QTableView* view, QComboBox* combo, QList<int> buttonColumns)
    : QObject(view), m_view(view), m_combo(combo),
      m_delegate(new DropDownButtonDelegate(view, std::move(buttonColumns))) {
    m_view->setItemDelegate(m_delegate);
    m_combo->hide();
    m_combo->installEventFilter(this);
    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);
    connect(m_combo, &QComboBox::activated, this, [this](int) { choose(); });
}

void CellDropDown::open(const QModelIndex& index, const QStringList& entries) {
    if (!index.isValid())
        return;
    m_index = index;
    m_combo->clear();
    m_combo->addItems(entries);
    const int current = m_combo->findText(index.data(Qt::DisplayRole).toString());
    m_combo->setCurrentIndex(current >= 0 ? current : 0);
    QRect cell = m_view->visualRect(index);
    const QPoint topLeft = m_view->viewport()->mapTo(m_combo->parentWidget(), cell.topLeft());
    cell.moveTopLeft(topLeft);
    cell.setHeight(qMax(cell.height(), m_combo->sizeHint().height()));
    m_combo->setGeometry(cell);
    m_combo->raise();
    m_combo->show();
    m_combo->setFocus(Qt::OtherFocusReason);
    m_combo->showPopup();
}

void CellDropDown::hide() {
    m_combo->hide();
}

void CellDropDown::choose() {
    const QModelIndex index = m_index;
    const QString text = m_combo->currentText();
    m_view->setFocus(Qt::OtherFocusReason);
    m_combo->hide();
    if (index.isValid())
        emit chosen(index, text);
}

bool CellDropDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_combo) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            switch (key->key()) {
            case Qt::Key_Up:
            case Qt::Key_Down:
                // The arrow keys browse a closed list without choosing.
                if (key->modifiers() == Qt::NoModifier) {
                    const int step = key->key() == Qt::Key_Up ? -1 : 1;
                    const int next = m_combo->currentIndex() + step;
                    if (next >= 0 && next < m_combo->count())
                        m_combo->setCurrentIndex(next);
                    return true;
                }
                break;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                choose();
                return true;
            case Qt::Key_Escape:
                m_view->setFocus(Qt::OtherFocusReason);
                m_combo->hide();
                return true;
            default:
                break;
            }
        } else if (event->type() == QEvent::FocusOut) {
            // Opening the list moves the focus into it; only a focus elsewhere hides the combo.
            QTimer::singleShot(0, this, [this] {
                if (!m_combo->view()->isVisible() && QApplication::focusWidget() != m_combo)
                    m_combo->hide();
            });
        }
        return false;
    }
    if (watched == m_view->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                          event->type() == QEvent::MouseButtonDblClick ||
                                          event->type() == QEvent::MouseButtonRelease)) {
        // The list opens when the button is let go: opened on the press, the release that
        // follows would close it again at once.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        const QModelIndex index = m_view->indexAt(at);
        const bool onButton =
            mouse->button() == Qt::LeftButton && index.isValid() &&
            m_delegate->isButtonColumn(index.column()) &&
            DropDownButtonDelegate::buttonRect(m_view->visualRect(index)).contains(at);
        if (event->type() != QEvent::MouseButtonRelease) {
            m_pressed = onButton ? QPersistentModelIndex(index) : QPersistentModelIndex();
            if (!onButton)
                return false;
            m_view->setCurrentIndex(index);
            return true;
        }
        const bool click = onButton && m_pressed.isValid() && m_pressed == index;
        const bool wasPressed = m_pressed.isValid();
        m_pressed = QPersistentModelIndex();
        if (click)
            emit buttonClicked(index);
        return wasPressed;
    }
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool altDown = key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier);
        const bool f4 = key->key() == Qt::Key_F4 && key->modifiers() == Qt::NoModifier;
        const QModelIndex current = m_view->currentIndex();
        if ((altDown || f4) && current.isValid() && m_delegate->isButtonColumn(current.column())) {
            emit buttonClicked(current);
            return true;
        }
    }
    return false;
}
